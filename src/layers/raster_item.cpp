#include "layers/raster_item.h"

#include "com/errors.h"
#include "com/properties.h"
#include "layers/raster_collection.h"
#include "raster/raster_object.h"
#include "platform/gdiplus.h"
#include "platform/gdiplus_errors.h"
#include "platform/gdiplus_session.h"

#include <algorithm>
#include <new>

namespace rastelle::layers {

using com::ThrowError;

namespace {

constexpr com::ErrorOrigin kOrigin{CLSID_RasterItem, IID_IRasterItem};

}  // namespace

HRESULT RasterItem::Create(std::shared_ptr<com::ObjectLock> lock, com::ComPtr<IRasterItem>& out) noexcept {
    const HRESULT hr = com::CreateComObject<RasterItem>(nullptr, IID_IRasterItem, out.put_void());
    if (SUCCEEDED(hr)) From(out.get())->lock_ = std::move(lock);
    return hr;
}

std::shared_ptr<Bitmap> LendItemImage(IRasterItem* item) {
    com::ComPtr<IRasterObject> raster;
    const HRESULT hr = item->get_RasterObject(raster.put());
    if (FAILED(hr)) com::ThrowSilent(hr);
    RasterObject* own = OwnRasterObject(raster.get());
    if (!own) com::ThrowSilent(E_NOINTERFACE);
    return own->LendImage();
}

com::ComPtr<IRasterObject> RasterItem::ForwardTarget() const noexcept {
    const com::ObjectLock::Hold hold(*lock_);
    return inner_;
}

HRESULT RasterItem::FinalConstruct() noexcept {
    const Status status = gdiplus_.Start();
    if (status != Gdiplus::Ok) {
        return com::Boundary(kOrigin, [&]() -> HRESULT {
            platform::ThrowGdiplusFailure(status, "RasterItem", "constructor", 0, com::kErrGdiplusStartup);
        });
    }
    // The layer's image lives in a raster object of its own, made here
    // because the collection reaches its bitmap by address.
    const HRESULT hr = RasterObject::Create(nullptr, IID_IRasterObject, inner_.put_void());
    if (FAILED(hr)) return hr;
    return CreateMarshaler();
}

AnsiKey AnsiKey::Of(std::wstring_view key) {
    AnsiKey ansi{com::ToAnsi(key)};
    ansi.plain = std::all_of(ansi.text.begin(), ansi.text.end(),
                             [](char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); });
    return ansi;
}

bool AnsiKey::SameAs(const AnsiKey& other) const noexcept {
    if (plain && other.plain)
        return text.size() == other.text.size() &&
               std::equal(text.begin(), text.end(), other.text.begin(), [](char a, char b) { return (a | 0x20) == (b | 0x20); });
    return lstrcmpiA(text.c_str(), other.text.c_str()) == 0;
}

void RasterItem::AdoptKey(com::UniqueBstr key) {
    ansiKey_ = key ? AnsiKey::Of(key.view()) : AnsiKey{};
    key_ = std::move(key);
}

RasterItem::~RasterItem() {
    inner_.reset();
}

STDMETHODIMP RasterItem::get_Key(BSTR* value) {
    const com::ObjectLock::Hold hold(*lock_);
    if (!value) return E_POINTER;
    *value = nullptr;
    if (!key_) return S_OK;
    com::UniqueBstr copy(key_.view());
    if (!copy.ok()) return E_OUTOFMEMORY;
    *value = copy.release();
    return S_OK;
}

STDMETHODIMP RasterItem::put_Key(BSTR value) {
    const com::ObjectLock::Hold hold(*lock_);
    // A key that already names an item of the owner (this one included), by
    // key or as a position, is refused.
    if (owner_ && owner_->KeyTaken(value)) {
        com::RaiseCollectionError(IID_IRasterItem);
        return com::kErrCollectionName;
    }
    com::UniqueBstr copy;
    if (value) {
        copy = com::UniqueBstr(std::wstring_view(value, SysStringLen(value)));
        if (!copy.ok()) return E_OUTOFMEMORY;
    }
    try {
        AdoptKey(std::move(copy));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP RasterItem::get_Index(LONG* value) { return com::ReadProperty(*lock_, index_, value); }
STDMETHODIMP RasterItem::get_IsVisible(VARIANT_BOOL* value) {
    return com::ReadProperty(*lock_, visible_, value, E_INVALIDARG);
}
STDMETHODIMP RasterItem::put_IsVisible(VARIANT_BOOL value) { return com::WriteProperty(*lock_, visible_, value); }
STDMETHODIMP RasterItem::get_Opacity(BYTE* value) { return com::ReadProperty(*lock_, opacity_, value, E_INVALIDARG); }
STDMETHODIMP RasterItem::put_Opacity(BYTE value) { return com::WriteProperty(*lock_, opacity_, value); }
STDMETHODIMP RasterItem::get_Mode(CombineModes* value) { return com::ReadProperty(*lock_, mode_, value, E_INVALIDARG); }
// Any value is stored; Combine refuses the unknown ones.
STDMETHODIMP RasterItem::put_Mode(CombineModes value) { return com::WriteProperty(*lock_, mode_, value); }
STDMETHODIMP RasterItem::get_OffsetY(LONG* value) { return com::ReadProperty(*lock_, offsetY_, value, E_INVALIDARG); }
STDMETHODIMP RasterItem::put_OffsetY(LONG value) { return com::WriteProperty(*lock_, offsetY_, value); }
STDMETHODIMP RasterItem::get_OffsetX(LONG* value) { return com::ReadProperty(*lock_, offsetX_, value, E_INVALIDARG); }
STDMETHODIMP RasterItem::put_OffsetX(LONG value) { return com::WriteProperty(*lock_, offsetX_, value); }

STDMETHODIMP RasterItem::put_RasterObject(IRasterObject* value) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        // Every forwarded method needs an object to work on.
        if (!value) ThrowError(E_POINTER, L"The raster object of an item cannot be Nothing.");
        // An item forwards every call to its raster object: an item there
        // (itself, or one whose chain leads back here) would forward without
        // end and hold itself alive. Only plain raster objects are taken.
        com::ComPtr<IRasterItem> item;
        if (SUCCEEDED(value->QueryInterface(IID_IRasterItem, item.put_void())))
            ThrowError(E_INVALIDARG, L"The raster object of an item cannot be a layer item.");
        inner_ = com::ComPtr<IRasterObject>(value);
        return S_OK;
    });
}

STDMETHODIMP RasterItem::get_RasterObject(IRasterObject** value) {
    const com::ObjectLock::Hold hold(*lock_);
    if (!value) return E_POINTER;
    return inner_.CopyTo(value);
}

}  // namespace rastelle::layers
