// One owning holder for handle-like resources released by a plain function
// (a BSTR, a SAFEARRAY, a GDI+ object): put() releases the old value before
// handing out the address for an out parameter.
#pragma once

#include <objbase.h>

#include <utility>

namespace rastelle::com {

template <class T, auto Close>
class UniqueAny {
public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T adopted) noexcept : value_(adopted) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        reset(std::exchange(other.value_, T{}));
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != T{}; }
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, T{}); }
    void reset(T value = T{}) noexcept {
        if (value_ != T{}) Close(value_);
        value_ = value;
    }

private:
    T value_{};
};

// A block from CoTaskMemAlloc, viewed as T.
template <class T>
using UniqueCoTaskMem = UniqueAny<T*, &CoTaskMemFree>;

// A new block of bytes (at least one) from CoTaskMemAlloc; empty when out of
// memory.
template <class T>
UniqueCoTaskMem<T> AllocateCoTaskMem(size_t bytes) noexcept {
    return UniqueCoTaskMem<T>(static_cast<T*>(CoTaskMemAlloc(bytes == 0 ? 1 : bytes)));
}

}  // namespace rastelle::com
