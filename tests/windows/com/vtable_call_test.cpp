// CallSlot: arguments reach the method at the given slot bit for bit, on
// either ABI (x64 passes a float in an XMM register, i686 on the stack).
#include "test_support.h"

#include "com/vtable_call.h"
#include "test_interfaces.h"

#include <bit>
#include <climits>

namespace rastelle::test {
namespace {

TEST(VtableCall, ArgumentsArriveExactlyAndOnlyAtTheInterfacesOwnSlots) {
    ComPtr<ITestMoreSetters> object;
    ASSERT_EQ(com::CreateComObject<TestSetters>(nullptr, __uuidof(ITestMoreSetters), object.put_void()), S_OK);
    auto& recorded = *static_cast<TestSetters*>(object.get());
    // A quiet NaN with a payload, compared as bits, must not change on the way.
    EXPECT_EQ(std::make_tuple(com::CallSlot(object.get(), 3, std::int32_t{INT_MIN}), com::CallSlot(object.get(), 6, -1L),
                              com::CallSlot(object.get(), 4, std::bit_cast<float>(0x7FC12345u))),
              std::make_tuple(3, 6, 4));
    EXPECT_EQ(std::make_tuple(recorded.longValue, recorded.otherValue, std::bit_cast<std::uint32_t>(recorded.floatValue)),
              std::make_tuple(LONG{INT_MIN}, -1L, 0x7FC12345u));
    EXPECT_EQ(com::CallSlot(object.get(), 5, std::int32_t{-7}, 1e30f), 5);
    EXPECT_EQ(std::make_pair(recorded.longValue, recorded.floatValue), std::make_pair(-7L, 1e30f));

    EXPECT_EQ(com::CallSlot(object.get(), 2, 1), E_INVALIDARG) << "Release";
    EXPECT_EQ(com::CallSlot(object.get(), {7, 7}, 1), E_INVALIDARG);
    EXPECT_EQ(com::CallSlot(object.get(), {6, 7}, 1), 6);
    EXPECT_EQ(com::CallSlot(nullptr, 3, 1), E_POINTER);
    EXPECT_EQ(recorded.calls, 5);
    object->AddRef();
    EXPECT_EQ(object->Release(), 1u) << "no reference count was touched";
}

}  // namespace
}  // namespace rastelle::test
