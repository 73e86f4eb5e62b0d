// Writes the CMYK press profile of the tests to the file named.
#include "../tests/support/cmyk_press_profile.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s profile.icc\n", argv[0]);
        return 2;
    }
    return rastelle::test::WriteCmykPressProfile(argv[1]) ? 0 : 1;
}
