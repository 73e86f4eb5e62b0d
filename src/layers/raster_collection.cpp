#include "layers/raster_collection.h"

#include "com/errors.h"
#include "com/properties.h"
#include "layers/collection_enumerator.h"
#include "layers/combine_layers.h"
#include "layers/multiframe_files.h"
#include "layers/raster_item.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace rastelle::layers {

using com::ThrowError;
using com::ThrowSilent;

namespace {

constexpr com::ErrorOrigin kOrigin{CLSID_RasterCollection, IID_IRasterCollection};
constexpr wchar_t kItemFailure[] = L"Cannot get access to the item. Probably the index is out of bounds";
// An object whose default value is an object again is followed this deep.
constexpr int kMaxDefaultValueDepth = 8;
// The list grows by this many slots at a time.
constexpr size_t kGrowthStep = 16;

// The collection's error for code, or S_FALSE for a lookup that must not raise.
HRESULT LookupFailure(HRESULT code, bool silent) {
    if (silent) return S_FALSE;
    com::RaiseCollectionError(IID_IRasterCollection);
    return code;
}

HRESULT ChangeToLong(const VARIANT& value, LONG* number) {
    com::UniqueVariant converted;
    const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&value), 0, VT_I4);
    if (SUCCEEDED(hr)) *number = V_I4(converted.get());
    return hr;
}

}  // namespace

HRESULT RasterCollection::Create(IUnknown* outer, REFIID iid, void** out) noexcept {
    return com::CreateComObject<RasterCollection>(outer, iid, out);
}

HRESULT RasterCollection::FinalConstruct() noexcept {
    try {
        lock_ = std::make_shared<com::ObjectLock>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CreateMarshaler();
}

// Items are released from the last position to the first; a client's
// reference keeps a detached item alive.
RasterCollection::~RasterCollection() {
    if (!lock_) return;
    const com::ObjectLock::Hold hold(*lock_);
    while (!items_.empty()) {
        com::ComPtr<IRasterItem> last = std::move(items_.back());
        items_.pop_back();
        RasterItem::From(last.get())->Detach();
    }
}

IRasterItem* RasterCollection::ItemAt(LONG position) const noexcept {
    return position >= 0 && position < count() ? items_[static_cast<size_t>(position)].get() : nullptr;
}

// ---------------------------------------------------------------------------
// Finding items

LONG RasterCollection::FindKey(std::wstring_view key) const {
    const AnsiKey wanted = AnsiKey::Of(key);
    for (size_t i = 0; i < items_.size(); ++i) {
        const RasterItem* item = RasterItem::From(items_[i].get());
        if (item->hasKey() && item->ansiKey().SameAs(wanted)) return static_cast<LONG>(i);
    }
    return -1;
}

HRESULT RasterCollection::ResolveNumber(LONG value, bool silent, LONG* position) const {
    if (value < 0 || value >= count()) return LookupFailure(com::kErrCollectionIndex, silent);
    *position = value;
    return S_OK;
}

HRESULT RasterCollection::ResolveKey(BSTR key, bool silent, LONG* position) {
    if (!key) return E_POINTER;
    const LONG found = FindKey(std::wstring_view(key, SysStringLen(key)));
    if (found >= 0) {
        *position = found;
        return S_OK;
    }
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = key;
    LONG number = 0;
    if (FAILED(ChangeToLong(text, &number))) return LookupFailure(com::kErrCollectionName, silent);
    return ResolveNumber(number, silent, position);
}

HRESULT RasterCollection::ResolveDefaultValue(IDispatch* object, bool silent, LONG* position, int depth) {
    if (depth >= kMaxDefaultValueDepth) return DISP_E_TYPEMISMATCH;
    com::UniqueVariant value;
    DISPPARAMS none{};
    HRESULT hr;
    {
        // The object may be the client's: no lock of ours is held while it
        // answers, and the list is read afresh afterwards.
        const com::CallOut callOut(*lock_);
        hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                            value.get(), nullptr, nullptr);
    }
    if (FAILED(hr)) return hr;
    return Resolve(*value.get(), silent, position, depth + 1);
}

// Values passed by reference (script hosts pass their variables so) are
// read in place: a copy would turn a null string into an empty one.
HRESULT RasterCollection::Resolve(const VARIANT& index, bool silent, LONG* position, int depth) {
    switch (V_VT(&index)) {
        case VT_BYREF | VT_VARIANT:
            if (V_VARIANTREF(&index)) return Resolve(*V_VARIANTREF(&index), silent, position, depth);
            break;
        case VT_I4:
            return ResolveNumber(V_I4(&index), silent, position);
        case VT_BYREF | VT_I4:
            if (V_I4REF(&index)) return ResolveNumber(*V_I4REF(&index), silent, position);
            break;
        case VT_BSTR:
            return ResolveKey(V_BSTR(&index), silent, position);
        case VT_BYREF | VT_BSTR:
            if (V_BSTRREF(&index)) return ResolveKey(*V_BSTRREF(&index), silent, position);
            break;
        case VT_EMPTY:
        case VT_NULL:
            // Raised even by a silent lookup.
            com::RaiseCollectionError(IID_IRasterCollection);
            return com::kErrCollectionEmptyIndex;
        case VT_DISPATCH:
            if (V_DISPATCH(&index)) return ResolveDefaultValue(V_DISPATCH(&index), silent, position, depth);
            break;
        case VT_BYREF | VT_DISPATCH:
            if (V_DISPATCHREF(&index) && *V_DISPATCHREF(&index))
                return ResolveDefaultValue(*V_DISPATCHREF(&index), silent, position, depth);
            break;
        default:
            break;
    }
    LONG number = 0;
    const HRESULT hr = ChangeToLong(index, &number);
    if (FAILED(hr)) return hr;
    return ResolveNumber(number, silent, position);
}

bool RasterCollection::KeyTaken(BSTR key) noexcept {
    try {
        VARIANT index;
        V_VT(&index) = VT_BSTR;
        V_BSTR(&index) = key;
        LONG position = 0;
        return Resolve(index, true, &position, 0) == S_OK;
    } catch (const std::bad_alloc&) {
        return true;  // unknown: keep the keys unique
    }
}

STDMETHODIMP RasterCollection::get_Item(VARIANT index, IRasterItem** item) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        if (!item) ThrowSilent(E_POINTER);
        *item = nullptr;
        LONG position = 0;
        const HRESULT hr = Resolve(index, false, &position, 0);
        if (FAILED(hr)) ThrowError(hr, kItemFailure);
        return items_[static_cast<size_t>(position)].CopyTo(item);
    });
}

STDMETHODIMP RasterCollection::Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (id == DISPID_NEWENUM && (flags & DISPATCH_METHOD)) flags |= DISPATCH_PROPERTYGET;
    return com::Dispatch<IRasterCollection>::Invoke(id, riid, locale, flags, params, result, exception, argError);
}

STDMETHODIMP RasterCollection::get__NewEnum(IUnknown** enumerator) {
    const com::ObjectLock::Hold hold(*lock_);
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return CreateCollectionEnumerator(this, 0, reinterpret_cast<IEnumVARIANT**>(enumerator));
}

STDMETHODIMP RasterCollection::get_Count(LONG* value) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::ReadProperty(count(), value);
}

// ---------------------------------------------------------------------------
// Changing the list

com::UniqueBstr RasterCollection::FirstFreeDefaultKey() const {
    // Numbers start at the present count, so a lower free number is never
    // reused; past 99999 the last text is taken as it is.
    char text[32];
    for (LONG n = count();; ++n) {
        std::snprintf(text, sizeof text, "RasterObject%d", static_cast<int>(n));
        if (n >= 99999 || FindKey(com::Widen(text)) < 0) break;
    }
    com::UniqueBstr key(com::Widen(text));
    if (!key.ok()) throw std::bad_alloc();
    return key;
}

void RasterCollection::Renumber(size_t from, size_t to) noexcept {
    for (size_t i = from; i < to; ++i) RasterItem::From(items_[i].get())->Attach(this, static_cast<LONG>(i));
}

STDMETHODIMP RasterCollection::Add(LONG index, IRasterItem** item) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        if (item) *item = nullptr;
        com::ComPtr<IRasterItem> created;
        const HRESULT hr = RasterItem::Create(lock_, created);
        if (FAILED(hr)) ThrowSilent(hr);
        RasterItem::From(created.get())->AdoptKey(FirstFreeDefaultKey());

        if (items_.size() == items_.capacity()) items_.reserve(items_.size() + kGrowthStep);
        const size_t at = index >= 0 && index < count() ? static_cast<size_t>(index) : items_.size();
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), created);
        Renumber(at, items_.size());
        if (item) *item = created.detach();
        return S_OK;
    });
}

STDMETHODIMP RasterCollection::Remove(VARIANT index) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        LONG position = 0;
        const HRESULT hr = Resolve(index, false, &position, 0);
        if (FAILED(hr)) ThrowSilent(hr);
        // Released when this body ends, with the list already consistent.
        com::ComPtr<IRasterItem> removed = std::move(items_[static_cast<size_t>(position)]);
        items_.erase(items_.begin() + position);
        RasterItem::From(removed.get())->Detach();
        Renumber(static_cast<size_t>(position), items_.size());
        return S_OK;
    });
}

STDMETHODIMP RasterCollection::Move(VARIANT index, LONG newIndex) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        if (newIndex < 0 || newIndex >= count()) ThrowSilent(E_INVALIDARG);
        LONG position = 0;
        const HRESULT hr = Resolve(index, false, &position, 0);
        if (FAILED(hr)) ThrowSilent(hr);
        // An index object of the client's may have let another thread shorten the list.
        if (newIndex >= count()) ThrowSilent(E_INVALIDARG);
        // The item leaves its place and the ones in between close up.
        const auto first = items_.begin();
        if (position < newIndex)
            std::rotate(first + position, first + position + 1, first + newIndex + 1);
        else if (newIndex < position)
            std::rotate(first + newIndex, first + position, first + position + 1);
        Renumber(static_cast<size_t>(std::min(position, newIndex)),
                 static_cast<size_t>(std::max(position, newIndex)) + 1);
        return S_OK;
    });
}

// ---------------------------------------------------------------------------
// Combining and the background

STDMETHODIMP RasterCollection::Combine(IRasterObject** result) {
    const com::ObjectLock::Hold hold(*lock_);
    if (!result) return E_INVALIDARG;
    *result = nullptr;
    if (items_.empty())
        return com::RaiseComError(CLSID_RasterCollection, L"Cannot combine: collection does not contain any items!",
                                  IID_NULL, 0);
    return com::Boundary(kOrigin, [&] {
        *result = CombineLayers(items_, backgroundColor_).detach();
        return S_OK;
    });
}

STDMETHODIMP RasterCollection::get_BackgroundColor(LONG* value) {
    return com::ReadProperty(*lock_, backgroundColor_, value, E_INVALIDARG);
}

STDMETHODIMP RasterCollection::put_BackgroundColor(LONG value) {
    return com::WriteProperty(*lock_, backgroundColor_, value);
}

// ---------------------------------------------------------------------------
// Multi-frame files

STDMETHODIMP RasterCollection::LoadMultiframeImage(BSTR fileName, VARIANT_BOOL clearBeforeLoad) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        LoadMultiframeFile(*this, fileName, clearBeforeLoad != VARIANT_FALSE);
        return S_OK;
    });
}

STDMETHODIMP RasterCollection::SaveMultiframeImage(BSTR fileName, VARIANT encoderInfo,
                                                   VARIANT_BOOL ignoreVisibleProperty) {
    const com::ObjectLock::Hold hold(*lock_);
    return com::Boundary(kOrigin, [&] {
        SaveMultiframeFile(items_, fileName, encoderInfo, ignoreVisibleProperty != VARIANT_FALSE);
        return S_OK;
    });
}

}  // namespace rastelle::layers
