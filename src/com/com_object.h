// The object base shared by every class of the system.
//
// ComObject<Derived, Bases...> implements IUnknown for the interfaces listed
// in Bases (an interface, or a mixin that names its interface as
// `using Interface = ...`). Each object keeps an inner, non-delegating
// IUnknown; the IUnknown methods of its interfaces delegate to the
// controlling unknown, which is the inner one or, when the object is
// aggregated, the outer object's. IDispatch, and every base interface named
// by an AlsoAnswers<> marker in Bases, is answered by the first listed
// interface that derives from it; IMarshal by the aggregated free-threaded
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

// Marker in the Bases of ComObject: the object also answers Itf, a base
// interface of a listed one, with that listed interface's pointer (an object
// implementing IRasterItem, which derives from IRasterObject, lists
// AlsoAnswers<IRasterObject>). The C++ base list cannot be walked, so the
// interfaces to answer this way are named.
template <class Itf>
struct AlsoAnswers {
    using Answered = Itf;
};

template <class T>
concept AnswersMarker = requires { typename T::Answered; };

template <class Derived, class... Bases>
class ComObject : public ObjectRoot, public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return ControllingUnknown()->QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return ControllingUnknown()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ControllingUnknown()->Release(); }

protected:
    void* FindInterface(REFIID iid) noexcept override {
        void* found = nullptr;
        ((found = found ? found : ListedInterface<Bases>(iid)), ...);
        if (!found && IsEqualIID(iid, IID_IDispatch)) found = FirstDerivedFrom<IDispatch>();
        ((found = found ? found : AnsweredByMarker<Bases>(iid)), ...);
        return found;
    }

private:
    template <class Itf, class Base>
    static constexpr bool kDerivesFrom = !AnswersMarker<Base> && std::is_base_of_v<Itf, InterfaceOf<Base>>;

    template <class Base>
    static constexpr bool MarkerCovered() {
        if constexpr (AnswersMarker<Base>) return (kDerivesFrom<typename Base::Answered, Bases> || ...);
        else return true;
    }
    static_assert((MarkerCovered<Bases>() && ...), "AlsoAnswers<Itf> needs a listed interface derived from Itf");

    template <class Base>
    void* ListedInterface(REFIID iid) noexcept {
        if constexpr (AnswersMarker<Base>) return nullptr;
        else return IsEqualIID(iid, __uuidof(InterfaceOf<Base>)) ? As<InterfaceOf<Base>, Base>() : nullptr;
    }

    template <class Base>
    void* AnsweredByMarker(REFIID iid) noexcept {
        if constexpr (AnswersMarker<Base>) {
            using Itf = typename Base::Answered;
            return IsEqualIID(iid, __uuidof(Itf)) ? FirstDerivedFrom<Itf>() : nullptr;
        } else {
            return nullptr;
        }
    }

    // The first listed interface that derives from Itf, as an Itf pointer.
    template <class Itf>
    void* FirstDerivedFrom() noexcept {
        void* found = nullptr;
        ((found = found ? found : As<Itf, Bases>()), ...);
        return found;
    }

    template <class Itf, class Base>
    void* As() noexcept {
        if constexpr (kDerivesFrom<Itf, Base>)
            return static_cast<Itf*>(static_cast<InterfaceOf<Base>*>(static_cast<Base*>(static_cast<Derived*>(this))));
        else
            return nullptr;
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
