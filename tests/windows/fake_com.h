// COM objects written by the tests, on one base: a plain reference count and
// QueryInterface over a list of interfaces, and IDispatch members that do
// what the test's lambdas say.
#pragma once

#include "com/com_ptr.h"

#include <oaidl.h>

#include <functional>
#include <tuple>
#include <type_traits>

namespace rastelle::test {

// Answers IUnknown (through the first interface), each of Interfaces, and
// IDispatch when the first derives from it; any other IID goes to
// `otherwise`, which must AddRef what it hands out. Made by MakeFake; `refs`
// shows what a callee kept.
template <class... Interfaces>
class Fake : public Interfaces... {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    std::function<HRESULT(REFIID, void**)> otherwise = [](REFIID, void**) { return E_NOINTERFACE; };
    ULONG refs = 1;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) *out = static_cast<IUnknown*>(static_cast<First*>(this));
        ((!*out && IsEqualIID(iid, __uuidof(Interfaces)) ? void(*out = static_cast<Interfaces*>(this)) : void()),
         ...);
        if constexpr (std::is_base_of_v<IDispatch, First>)
            if (!*out && IsEqualIID(iid, IID_IDispatch)) *out = static_cast<IDispatch*>(static_cast<First*>(this));
        if (!*out) return otherwise(iid, out);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return refs == 1 ? (delete this, 0) : --refs; }
    virtual ~Fake() = default;
};

// The IDispatch members of a fake whose first interface derives from
// IDispatch: no type information; GetIDsOfNames asks `names` about the first
// name, and Invoke hands its arguments to `invoke`.
template <class... Interfaces>
class FakeDispatch : public Fake<Interfaces...> {
public:
    std::function<HRESULT(const wchar_t* name, DISPID* id)> names = [](const wchar_t*, DISPID*) {
        return DISP_E_UNKNOWNNAME;
    };
    std::function<HRESULT(DISPID id, WORD flags, DISPPARAMS* params)> invoke = [](DISPID, WORD, DISPPARAMS*) {
        return E_NOTIMPL;
    };

    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* list, UINT, LCID, DISPID* ids) override {
        return names(list[0], ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return invoke(id, flags, params);
    }
};

template <class T>
com::ComPtr<T> MakeFake() {
    return com::ComPtr<T>::Attach(new T);
}

}  // namespace rastelle::test
