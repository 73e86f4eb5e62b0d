// RAII holders for the OLE Automation types: BSTR, VARIANT and SAFEARRAY.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

namespace rastelle::com {

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(BSTR adopted) noexcept : s_(adopted) {}
    // Copies text; an allocation failure leaves the holder empty (check with ok()).
    explicit UniqueBstr(std::wstring_view text) noexcept
        : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    UniqueBstr(UniqueBstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        reset(std::exchange(other.s_, nullptr));
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { reset(); }

    BSTR get() const noexcept { return s_; }
    bool ok() const noexcept { return s_ != nullptr; }
    BSTR* put() noexcept {
        reset();
        return &s_;
    }
    BSTR release() noexcept { return std::exchange(s_, nullptr); }
    void reset(BSTR s = nullptr) noexcept {
        if (s_) SysFreeString(s_);
        s_ = s;
    }
    std::wstring_view view() const noexcept { return s_ ? std::wstring_view(s_, SysStringLen(s_)) : std::wstring_view(); }

private:
    BSTR s_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }
    // Clears the old value before handing out the address for an out parameter.
    VARIANT* put() noexcept {
        VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

class UniqueSafeArray {
public:
    UniqueSafeArray() noexcept = default;
    explicit UniqueSafeArray(SAFEARRAY* adopted) noexcept : a_(adopted) {}
    UniqueSafeArray(UniqueSafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
    UniqueSafeArray& operator=(UniqueSafeArray&& other) noexcept {
        reset(std::exchange(other.a_, nullptr));
        return *this;
    }
    UniqueSafeArray(const UniqueSafeArray&) = delete;
    UniqueSafeArray& operator=(const UniqueSafeArray&) = delete;
    ~UniqueSafeArray() { reset(); }

    SAFEARRAY* get() const noexcept { return a_; }
    SAFEARRAY** put() noexcept {
        reset();
        return &a_;
    }
    SAFEARRAY* release() noexcept { return std::exchange(a_, nullptr); }
    void reset(SAFEARRAY* a = nullptr) noexcept {
        if (a_) SafeArrayDestroy(a_);
        a_ = a;
    }

private:
    SAFEARRAY* a_ = nullptr;
};

// Keeps a SAFEARRAY's data locked (SafeArrayAccessData) for its lifetime.
class SafeArrayDataLock {
public:
    explicit SafeArrayDataLock(SAFEARRAY* array) noexcept : array_(array) {
        hr_ = array ? SafeArrayAccessData(array, &data_) : E_INVALIDARG;
        if (FAILED(hr_)) data_ = nullptr;
    }
    SafeArrayDataLock(const SafeArrayDataLock&) = delete;
    SafeArrayDataLock& operator=(const SafeArrayDataLock&) = delete;
    ~SafeArrayDataLock() {
        if (data_) SafeArrayUnaccessData(array_);
    }

    HRESULT status() const noexcept { return hr_; }
    void* data() const noexcept { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
    HRESULT hr_;
};

}  // namespace rastelle::com
