// One owning holder for handle-like resources released by a plain function
// (a BSTR, a SAFEARRAY, a GDI+ object): put() releases the old value before
// handing out the address for an out parameter.
#pragma once

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

}  // namespace rastelle::com
