// Machine faults inside protected regions end the region, not the process.
#include "test_support.h"

#include "com/protected_region.h"

#include <stdexcept>

namespace rastelle::test {
namespace {

using com::RunProtected;

#if defined(_MSC_VER)
#define RASTELLE_NOINLINE __declspec(noinline)
#else
#define RASTELLE_NOINLINE __attribute__((noinline))
#endif

// Kept out of line and behind volatile pointers so the optimiser cannot
// prove the faults away.
volatile int* volatile g_nullPointer = nullptr;
volatile int g_zero = 0;
volatile int g_sink = 0;

RASTELLE_NOINLINE void ReadNull() { g_sink = *g_nullPointer; }
RASTELLE_NOINLINE void WriteReadOnly() {
    static const int constant = 5;
    *const_cast<volatile int*>(&constant) = 6;
}
RASTELLE_NOINLINE int DivideByZero() { return 100 / g_zero; }

TEST(ProtectedRegion, CompletedRegionReportsSuccessAndRunsItsCode) {
    int calls = 0;
    EXPECT_TRUE(RunProtected([&] { ++calls; }));
    EXPECT_EQ(calls, 1);
}

TEST(ProtectedRegion, FaultsAndExceptionsAbandonTheRegion) {
    int after = 0;
    EXPECT_FALSE(RunProtected([&] { ReadNull(); ++after; }));
    EXPECT_FALSE(RunProtected([&] { WriteReadOnly(); ++after; }));
    EXPECT_FALSE(RunProtected([&] { after += DivideByZero(); }));
    EXPECT_FALSE(RunProtected([&] { throw std::runtime_error("pixel loop gave up"); }));
    EXPECT_EQ(after, 0) << "nothing after the fault runs";
}

TEST(ProtectedRegion, RepeatedFaultsLeaveTheThreadUsable) {
    int faults = 0;
    for (int i = 0; i < 200; ++i) faults += RunProtected([] { ReadNull(); }) ? 0 : 1;
    EXPECT_EQ(faults, 200);
    EXPECT_TRUE(RunProtected([] {}));
}

TEST(ProtectedRegion, InnerRegionFaultDoesNotEndTheOuterOne) {
    bool innerResult = true;
    int afterInner = 0;
    const bool outerResult = RunProtected([&] {
        innerResult = RunProtected([] { ReadNull(); });
        ++afterInner;
    });
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(afterInner, 1);
    EXPECT_TRUE(outerResult);
}

TEST(ProtectedRegion, WorksOnSeveralThreadsAtOnce) {
    const auto caught = RunOnThreads(4, []() -> DWORD {
        DWORD faults = 0;
        for (int i = 0; i < 100; ++i) faults += RunProtected([] { ReadNull(); }) ? 0 : 1;
        return faults;
    });
    for (DWORD faults : caught) EXPECT_EQ(faults, 100u);
}

}  // namespace
}  // namespace rastelle::test
