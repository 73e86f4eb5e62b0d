// RAII holders for the OLE Automation types: BSTR, VARIANT and SAFEARRAY.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "com/unique_any.h"

#include <string_view>

namespace rastelle::com {

class UniqueBstr : public UniqueAny<BSTR, &SysFreeString> {
public:
    using UniqueAny::UniqueAny;
    // A literal is no BSTR to adopt: copy it through the string_view form.
    explicit UniqueBstr(const wchar_t*) = delete;
    // Copies text; an allocation failure leaves the holder empty.
    explicit UniqueBstr(std::wstring_view text) noexcept
        : UniqueAny(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

    bool ok() const noexcept { return get() != nullptr; }
    std::wstring_view view() const noexcept {
        return get() ? std::wstring_view(get(), SysStringLen(get())) : std::wstring_view();
    }
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

using UniqueSafeArray = UniqueAny<SAFEARRAY*, &SafeArrayDestroy>;

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
