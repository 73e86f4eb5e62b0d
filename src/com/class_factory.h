// Class objects: one IClassFactory per creatable class, made on first request
// and kept until the module unloads. Holding a class object does not lock the
// module; LockServer does.
#pragma once

#include <unknwn.h>

namespace rastelle::com {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}
    virtual ~ClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateFunction create_;
    volatile LONG refs_ = 0;
};

}  // namespace rastelle::com
