// The object base shared by every class of the system.
//
// ComObject<Derived, Bases...> implements IUnknown for the interfaces listed
// in Bases (an interface, or a mixin that names its interface as
// `using Interface = ...`). Each object keeps an inner, non-delegating
// IUnknown; the IUnknown methods of its interfaces delegate to the
// controlling unknown, which is the inner one or, when the object is
// aggregated, the outer object's. IDispatch is answered by the first listed
// interface that derives from it, IMarshal by the aggregated free-threaded
// marshaler. Objects are made only by CreateComObject.
#pragma once

#include "com/module_state.h"

#include <objbase.h>

#include <new>
#include <type_traits>

namespace rastelle::com {

class ObjectRoot {
public:
    ObjectRoot(const ObjectRoot&) = delete;
    ObjectRoot& operator=(const ObjectRoot&) = delete;

    HRESULT InnerQueryInterface(REFIID iid, void** out) noexcept;
    ULONG InnerAddRef() noexcept { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG InnerRelease() noexcept;

    IUnknown* ControllingUnknown() const noexcept { return controlling_; }
    IUnknown* InnerUnknown() noexcept { return &inner_; }
    void SetOuter(IUnknown* outer) noexcept { controlling_ = outer ? outer : &inner_; }

    // Final construction; classes that need more hide this and call it.
    HRESULT FinalConstruct() noexcept { return CreateMarshaler(); }

protected:
    ObjectRoot() noexcept : inner_(this) { LockModule(); }
    virtual ~ObjectRoot();

    // The interface pointer of this object for iid, without a new reference.
    virtual void* FindInterface(REFIID iid) noexcept = 0;

    HRESULT CreateMarshaler() noexcept;

private:
    struct Inner final : IUnknown {
        explicit Inner(ObjectRoot* owner) : owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return owner->InnerQueryInterface(iid, out); }
        STDMETHODIMP_(ULONG) AddRef() override { return owner->InnerAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner->InnerRelease(); }
        virtual ~Inner() = default;
        ObjectRoot* owner;
    };

    volatile LONG refs_ = 0;
    Inner inner_;
    IUnknown* controlling_ = &inner_;
    IUnknown* marshaler_ = nullptr;
};

template <class T>
concept NamesItsInterface = requires { typename T::Interface; };

template <class T>
struct InterfaceOfT {
    using type = T;
};
template <NamesItsInterface T>
struct InterfaceOfT<T> {
    using type = typename T::Interface;
};
template <class T>
using InterfaceOf = typename InterfaceOfT<T>::type;

template <class Derived, class... Bases>
class ComObject : public ObjectRoot, public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ControllingUnknown()->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return ControllingUnknown()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ControllingUnknown()->Release(); }

protected:
    void* FindInterface(REFIID iid) noexcept override {
        void* found = nullptr;
        if (IsEqualIID(iid, IID_IDispatch)) {
            ((found == nullptr && std::is_base_of_v<IDispatch, InterfaceOf<Bases>> ? (found = As<Bases>()) : nullptr),
             ...);
            return found;
        }
        ((found == nullptr && IsEqualIID(iid, __uuidof(InterfaceOf<Bases>)) ? (found = As<Bases>()) : nullptr), ...);
        return found;
    }

private:
    template <class Base>
    void* As() noexcept {
        return static_cast<InterfaceOf<Base>*>(static_cast<Base*>(static_cast<Derived*>(this)));
    }
};

// Makes an object of class T: aggregated when outer is given (then iid must
// be IUnknown), runs its final construction under a temporary reference, and
// answers the query for iid. The object is destroyed if any step fails.
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    object->SetOuter(outer);
    object->InnerAddRef();
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) hr = object->InnerQueryInterface(iid, out);
    object->InnerRelease();
    return hr;
}

}  // namespace rastelle::com
