#include "layers/collection_enumerator.h"

#include "com/com_object.h"
#include "com/com_ptr.h"
#include "layers/raster_collection.h"

namespace rastelle::layers {

namespace {

// Reads the list at the moment of each call, so items added or removed after
// the enumerator was made are seen; its cursor is a position in that list.
class CollectionEnumerator final : public com::ComObject<CollectionEnumerator, IEnumVARIANT> {
public:
    void Init(RasterCollection* collection, ULONG cursor) noexcept {
        collection_ = collection;
        holder_ = com::ComPtr<IRasterCollection>(collection);
        cursor_ = cursor;
    }

    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!items && count > 0) return E_POINTER;
        const com::ObjectLock::Hold hold(collection_->lock());
        ULONG handed = 0;
        while (handed < count) {
            IRasterItem* item = collection_->ItemAt(static_cast<LONG>(cursor_));
            if (!item) break;
            VariantInit(&items[handed]);
            V_VT(&items[handed]) = VT_DISPATCH;
            V_DISPATCH(&items[handed]) = item;
            item->AddRef();
            ++handed;
            ++cursor_;
        }
        if (fetched) *fetched = handed;
        return handed == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) override {
        const com::ObjectLock::Hold hold(collection_->lock());
        const ULONG size = static_cast<ULONG>(collection_->count());
        const ULONG left = cursor_ < size ? size - cursor_ : 0;
        if (count > left) {
            cursor_ = size;
            return S_FALSE;
        }
        cursor_ += count;
        return S_OK;
    }

    STDMETHODIMP Reset() override {
        cursor_ = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(IEnumVARIANT** copy) override { return CreateCollectionEnumerator(collection_, cursor_, copy); }

private:
    RasterCollection* collection_ = nullptr;
    com::ComPtr<IRasterCollection> holder_;  // keeps collection_ alive
    ULONG cursor_ = 0;
};

}  // namespace

HRESULT CreateCollectionEnumerator(RasterCollection* collection, ULONG cursor, IEnumVARIANT** out) noexcept {
    if (!out) return E_POINTER;
    com::ComPtr<IEnumVARIANT> created;
    const HRESULT hr = com::CreateComObject<CollectionEnumerator>(nullptr, IID_IEnumVARIANT, created.put_void());
    if (FAILED(hr)) return hr;
    static_cast<CollectionEnumerator*>(created.get())->Init(collection, cursor);
    *out = created.detach();
    return S_OK;
}

}  // namespace rastelle::layers
