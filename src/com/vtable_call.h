// Calls a method of a COM interface by its index in the virtual-function
// table, for interfaces known only by their layout (the effect classes'
// setters are named by slot, not by a declared interface).
#pragma once

#include <objbase.h>

#include <climits>
#include <cstdint>
#include <type_traits>

namespace rastelle::com {

// A vtable index, and where the caller knows it the number of slots of the
// interface, so that an index past its end is refused instead of calling
// whatever lies behind the table.
struct VtableSlot {
    constexpr VtableSlot(unsigned index, unsigned count = UINT_MAX) noexcept : index(index), count(count) {}
    unsigned index;
    unsigned count;
};

// Arguments passed by value in one 32-bit word: integers and float.
template <class T>
concept SlotArgument = (std::is_integral_v<T> && sizeof(T) == 4) || std::is_same_v<T, float>;

// Calls method slot.index of object with args under the COM calling
// convention and returns its HRESULT. The method is called through a plain
// function pointer whose first parameter is the interface pointer: that is
// the COM binary convention on both ABIs, so the compiler places each
// argument itself (x64: this in RCX, a float as the second argument in XMM1;
// i686: stdcall, all on the stack). Slots 0-2 (IUnknown) take no such
// arguments and are refused.
template <SlotArgument... Args>
HRESULT CallSlot(IUnknown* object, VtableSlot slot, Args... args) noexcept {
    if (!object) return E_POINTER;
    if (slot.index < 3 || slot.index >= slot.count) return E_INVALIDARG;
    using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
    void* const* table = *reinterpret_cast<void* const* const*>(object);
    return reinterpret_cast<Method>(table[slot.index])(object, args...);
}

}  // namespace rastelle::com
