// JPEG files with an embedded ICC profile, made with libjpeg-turbo and Little
// CMS directly, and their pixels as Little CMS converts them to sRGB. Kept
// apart from the Windows headers: jpeglib.h and the SDK disagree about
// `boolean`.
#pragma once

#include <cstdint>
#include <vector>

namespace rastelle::test {

struct ProfiledJpeg {
    std::vector<std::uint8_t> file;
    std::vector<std::uint32_t> decoded;   // djpeg's pixels (accurate DCT, fancy upsampling), 0xAARRGGBB
    std::vector<std::uint32_t> converted; // those pixels from the embedded profile to sRGB, perceptual
};

// A width x height picture of colour ramps, saved at quality 90 with a wide
// gamut RGB profile (Adobe RGB primaries, gamma 2.2) embedded.
ProfiledJpeg MakeProfiledJpeg(int width, int height);

}  // namespace rastelle::test
