// RasterCollection: an ordered list of layers (RasterItem), found by
// position or by key, and combined into one raster object.
#pragma once

#include "com/automation.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "rastelle_h.h"

#include <memory>
#include <string_view>
#include <vector>

namespace rastelle::layers {

class RasterCollection final
    : public com::ComObject<RasterCollection, com::Dispatch<IRasterCollection>,
                            com::SupportErrorInfo<IRasterCollection>> {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out) noexcept;

    RasterCollection() = default;
    ~RasterCollection() override;
    HRESULT FinalConstruct() noexcept;

    // IDispatch: _NewEnum asked for as a method (Wine's JScript Enumerator
    // does) is read as the property it is.
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IRasterCollection
    STDMETHODIMP get_Item(VARIANT index, IRasterItem** item) override;
    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override;
    STDMETHODIMP get_Count(LONG* count) override;
    STDMETHODIMP Add(LONG index, IRasterItem** item) override;
    STDMETHODIMP Remove(VARIANT index) override;
    STDMETHODIMP Move(VARIANT index, LONG newIndex) override;
    STDMETHODIMP Combine(IRasterObject** result) override;
    STDMETHODIMP get_BackgroundColor(LONG* value) override;
    STDMETHODIMP put_BackgroundColor(LONG value) override;
    STDMETHODIMP LoadMultiframeImage(BSTR fileName, VARIANT_BOOL clearBeforeLoad) override;
    STDMETHODIMP SaveMultiframeImage(BSTR fileName, VARIANT encoderInfo, VARIANT_BOOL ignoreVisibleProperty) override;

    // For the items and the enumerators. The lock guards the list and every
    // item the collection made: a collection kept in ASP's Application scope
    // is called from many threads at once, and its items with it. It is
    // re-entrant and is taken before any raster object's lock.
    com::ObjectLock& lock() const noexcept { return *lock_; }
    LONG count() const noexcept { return static_cast<LONG>(items_.size()); }
    // The item at position, or null outside 0 .. count - 1.
    IRasterItem* ItemAt(LONG position) const noexcept;
    // True when key names an item of this collection by the silent lookup:
    // its key (compared without case), or a number that is a valid position.
    bool KeyTaken(BSTR key) noexcept;

private:
    // Resolves an index variant to a position: S_OK with *position set, or
    // the failure code with the collection's error object placed. A silent
    // lookup reports "no such position or key" as S_FALSE, raising nothing.
    HRESULT Resolve(const VARIANT& index, bool silent, LONG* position, int depth);
    HRESULT ResolveNumber(LONG value, bool silent, LONG* position) const;
    // A key, or failing that a number in the text.
    HRESULT ResolveKey(BSTR key, bool silent, LONG* position);
    // An object stands for its default value.
    HRESULT ResolveDefaultValue(IDispatch* object, bool silent, LONG* position, int depth);
    // Position of the first item whose key equals key without case, or -1.
    LONG FindKey(std::wstring_view key) const;
    com::UniqueBstr FirstFreeDefaultKey() const;
    void Renumber(size_t from, size_t to) noexcept;

    std::shared_ptr<com::ObjectLock> lock_;  // shared with the items made here
    std::vector<com::ComPtr<IRasterItem>> items_;
    LONG backgroundColor_ = -1;
};

}  // namespace rastelle::layers
