// CallSlot: arguments reach the method at the given slot bit for bit, on
// either ABI (x64 passes a float in an XMM register, i686 on the stack).
#include "test_support.h"

#include "com/vtable_call.h"
#include "test_interfaces.h"

#include <bit>
#include <climits>
#include <cstring>

namespace rastelle::test {
namespace {

using Setters = TestSetters<>;

ComPtr<ITestMoreSetters> NewSetters() {
    ComPtr<ITestMoreSetters> object;
    EXPECT_EQ(com::CreateComObject<Setters>(nullptr, __uuidof(ITestMoreSetters), object.put_void()), S_OK);
    return object;
}
Setters& Recorded(const ComPtr<ITestMoreSetters>& object) { return *static_cast<Setters*>(object.get()); }

TEST(VtableCall, IntegersAndFloatsArriveExactly) {
    auto object = NewSetters();
    for (const std::int32_t value : {INT_MIN, -1, 0, 1, 0x12345678, INT_MAX}) {
        EXPECT_EQ(com::CallSlot(object.get(), 3, value), 3);
        EXPECT_EQ(Recorded(object).longValue, value);
        EXPECT_EQ(com::CallSlot(object.get(), 6, static_cast<LONG>(~value)), 6);
        EXPECT_EQ(Recorded(object).otherValue, ~value);
    }
    // Compared as bits: -0.0f, a subnormal and a quiet NaN with a payload
    // must not be changed on the way.
    for (const std::uint32_t bits : {0x3FC00000u, 0x80000000u, 0x7149F2CAu, 0x00000001u, 0x7FC12345u, 0xFF7FFFFFu}) {
        const float value = std::bit_cast<float>(bits);
        EXPECT_EQ(com::CallSlot(object.get(), 4, value), 4);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(Recorded(object).floatValue), bits) << std::hex << bits;
    }
    EXPECT_EQ(com::CallSlot(object.get(), 5, std::int32_t{-7}, 1e30f), 5);
    EXPECT_EQ(Recorded(object).longValue, -7);
    EXPECT_EQ(Recorded(object).floatValue, 1e30f);
    EXPECT_EQ(Recorded(object).calls, 6 * 2 + 6 + 1);
}

TEST(VtableCall, RefusesSlotsOfIUnknownAndPastTheInterface) {
    auto object = NewSetters();
    EXPECT_EQ(com::CallSlot(object.get(), 2, 1), E_INVALIDARG) << "Release";
    EXPECT_EQ(com::CallSlot(object.get(), {7, 7}, 1), E_INVALIDARG);
    EXPECT_EQ(com::CallSlot(object.get(), {6, 7}, 1), 6);
    EXPECT_EQ(com::CallSlot(nullptr, 3, 1), E_POINTER);
    EXPECT_EQ(Recorded(object).calls, 1);
    object->AddRef();
    EXPECT_EQ(object->Release(), 1u) << "no reference count was touched";
}

}  // namespace
}  // namespace rastelle::test
