// Machine faults inside protected regions end the region, not the process;
// a handler that code inside the region installs keeps its own faults.
#include "test_support.h"

#include "com/protected_region.h"

#include <cstdlib>
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
RASTELLE_NOINLINE int DivideByZero() { return 100 / g_zero; }

// The head of the thread's chain of frame-based handlers; a region must
// leave it as it found it, however the region ends.
void* HandlerChainHead() {
#if defined(__GNUC__) && defined(__i386__)
    void* head;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));  // NtCurrentTeb trips g++ 12's -Warray-bounds
    return head;
#elif defined(_M_IX86)
    return reinterpret_cast<void*>(__readfsdword(0));
#else
    return nullptr;  // x86_64 keeps its handlers in unwind tables, not in a chain
#endif
}

// Faults and exceptions abandon the region; a completed region runs its code
// and reports success, and an inner region's fault does not end the outer one.
TEST(ProtectedRegion, FaultsAndExceptionsAbandonTheirOwnRegionOnly) {
    int after = 0;
    EXPECT_FALSE(RunProtected([&] { ReadNull(); ++after; }));
    EXPECT_FALSE(RunProtected([&] { after += DivideByZero(); }));
    EXPECT_FALSE(RunProtected([&] { throw std::runtime_error("pixel loop gave up"); }));
    EXPECT_EQ(after, 0) << "nothing after the fault runs";
    bool innerResult = true;
    const bool outerResult = RunProtected([&] {
        innerResult = RunProtected([] { ReadNull(); });
        ++after;
    });
    EXPECT_EQ(std::make_tuple(innerResult, after, outerResult), std::make_tuple(false, 1, true));
    EXPECT_FALSE(RunProtected([] { EXPECT_TRUE(RunProtected([] {})); ReadNull(); }))
        << "a completed inner region leaves the outer one protected";
}

TEST(ProtectedRegion, HandlersInsideTheRegionKeepTheirFaults) {
    // IsBadReadPtr and IsBadWritePtr catch their own access violations.
    void* const unreadable = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    void* const readOnly = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READONLY);
    BOOL badRead = FALSE, badWrite = FALSE, goodRead = TRUE;
    EXPECT_TRUE(RunProtected([&] {
        badRead = IsBadReadPtr(unreadable, 4);
        badWrite = IsBadWritePtr(readOnly, 4);
        goodRead = IsBadReadPtr(readOnly, 4);
    }));
    EXPECT_EQ(std::make_tuple(badRead, badWrite, goodRead), std::make_tuple(TRUE, TRUE, FALSE));
    // A later fault nobody handles still abandons the region.
    badRead = FALSE;
    EXPECT_FALSE(RunProtected([&] {
        badRead = IsBadReadPtr(unreadable, 4);
        ReadNull();
    }));
    EXPECT_TRUE(badRead);
    VirtualFree(unreadable, 0, MEM_RELEASE), VirtualFree(readOnly, 0, MEM_RELEASE);
}

// qsort's comparator runs below the C runtime's frames.
int FaultingComparison(const void*, const void*) { return *g_nullPointer; }

TEST(ProtectedRegion, FaultBelowForeignFramesAbandonsTheRegion) {
    void* const head = HandlerChainHead();
    int values[4] = {4, 3, 2, 1};
    EXPECT_FALSE(RunProtected([&] { std::qsort(values, 4, sizeof(int), &FaultingComparison); }));
    EXPECT_EQ(HandlerChainHead(), head);
    EXPECT_TRUE(RunProtected([] {}));
}

// Repeated faults of both kinds, on several threads at once, leave each
// thread's handler chain as it was and the thread usable.
TEST(ProtectedRegion, RepeatedFaultsOnSeveralThreadsAtOnce) {
    const auto caught = RunOnThreads(4, []() -> DWORD {
        void* const head = HandlerChainHead();
        DWORD faults = 0;
        for (int i = 0; i < 100; ++i)
            faults += RunProtected([i] { if (i % 2) ReadNull(); else g_sink = DivideByZero(); }) ? 0 : 1;
        return HandlerChainHead() == head && RunProtected([] {}) ? faults : 0;
    });
    EXPECT_EQ(caught, std::vector<DWORD>(4, 100));
}

}  // namespace
}  // namespace rastelle::test
