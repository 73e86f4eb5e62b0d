// RasterItem: one layer of a RasterCollection. It wraps a raster object,
// to which every IRasterObject method is forwarded, with the attributes the
// collection combines by (key, visibility, opacity, mode, offset). Items are
// made only by their collection.
#pragma once

#include "com/automation.h"
#include "com/com_object.h"
#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/object_lock.h"
#include "image/bitmap.h"
#include "platform/gdiplus_session.h"
#include "raster/raster_object_methods.h"
#include "rastelle_h.h"

#include <memory>
#include <string>

namespace rastelle::layers {

class RasterCollection;

// The image of an item's raster object, lent for the caller's use: it stays
// valid whatever calls on that object do meanwhile. Null when the object has
// no image; a failure to reach it is thrown with its HRESULT.
std::shared_ptr<Bitmap> LendItemImage(IRasterItem* item);

// A key as keys are compared: its ANSI text, case-insensitively as
// lstrcmpiA compares. Texts of ASCII letters and digits only are equal under
// it exactly when they are equal ignoring ASCII case, which is checked
// without the call: filling a collection compares every new default key
// with every key present.
struct AnsiKey {
    std::string text;
    bool plain = false;

    static AnsiKey Of(std::wstring_view key);  // may throw std::bad_alloc
    bool SameAs(const AnsiKey& other) const noexcept;
};

class RasterItem final
    : public com::ComObject<RasterItem, RasterObjectForwarder<RasterItem, com::Dispatch<IRasterItem>>,
                            com::AlsoAnswers<IRasterObject>, com::SupportErrorInfo<IRasterItem, IRasterObject>> {
public:
    // A new detached item with its defaults and an empty inner raster object,
    // guarded by its collection's lock.
    static HRESULT Create(std::shared_ptr<com::ObjectLock> lock, com::ComPtr<IRasterItem>& out) noexcept;
    // The item behind an interface the collection made.
    static RasterItem* From(IRasterItem* item) noexcept { return static_cast<RasterItem*>(item); }

    RasterItem() = default;
    ~RasterItem() override;
    HRESULT FinalConstruct() noexcept;

    com::ComPtr<IRasterObject> ForwardTarget() const noexcept;

    // IRasterItem
    STDMETHODIMP get_Key(BSTR* value) override;
    STDMETHODIMP put_Key(BSTR value) override;
    STDMETHODIMP get_Index(LONG* value) override;
    STDMETHODIMP get_IsVisible(VARIANT_BOOL* value) override;
    STDMETHODIMP put_IsVisible(VARIANT_BOOL value) override;
    STDMETHODIMP get_Opacity(BYTE* value) override;
    STDMETHODIMP put_Opacity(BYTE value) override;
    STDMETHODIMP get_Mode(CombineModes* value) override;
    STDMETHODIMP put_Mode(CombineModes value) override;
    STDMETHODIMP get_OffsetY(LONG* value) override;
    STDMETHODIMP put_OffsetY(LONG value) override;
    STDMETHODIMP get_OffsetX(LONG* value) override;
    STDMETHODIMP put_OffsetX(LONG value) override;
    STDMETHODIMP put_RasterObject(IRasterObject* value) override;
    STDMETHODIMP get_RasterObject(IRasterObject** value) override;

    // For the owning collection, which holds the lock.
    void Attach(RasterCollection* owner, LONG index) noexcept {
        owner_ = owner;
        index_ = index;
    }
    void Detach() noexcept { Attach(nullptr, 0); }
    void SetIndex(LONG index) noexcept { index_ = index; }
    std::wstring_view key() const noexcept { return key_.view(); }
    bool hasKey() const noexcept { return static_cast<bool>(key_); }
    const AnsiKey& ansiKey() const noexcept { return ansiKey_; }
    // May throw std::bad_alloc.
    void AdoptKey(com::UniqueBstr key);

private:
    platform::GdiplusSession gdiplus_;
    std::shared_ptr<com::ObjectLock> lock_;  // the collection's
    RasterCollection* owner_ = nullptr;  // not counted: the owner holds the item
    LONG index_ = 0;
    com::UniqueBstr key_;
    AnsiKey ansiKey_;  // key_ as it is compared
    // The stored "true" is 1, not VARIANT_TRUE; any non-zero value counts.
    VARIANT_BOOL visible_ = 1;
    BYTE opacity_ = 255;
    CombineModes mode_ = cmAlphaBlend;
    com::ComPtr<IRasterObject> inner_;
    LONG offsetX_ = 0;
    LONG offsetY_ = 0;
};

}  // namespace rastelle::layers
