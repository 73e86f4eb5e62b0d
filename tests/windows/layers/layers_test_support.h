// Helpers of the layer tests: collections made through COM and index
// variants.
#pragma once

#include "test_support.h"

#include <string>

namespace rastelle::test {

ComPtr<IRasterCollection> NewCollection();
// Adds an item at index (default: append) and returns it.
ComPtr<IRasterItem> AddItem(IRasterCollection* collection, LONG index = -1);
std::wstring KeyOf(IRasterItem* item);
LONG IndexOf(IRasterItem* item);
// The inner raster object of an item.
ComPtr<IRasterObject> RasterOf(IRasterItem* item);

// An index variant (cleared on destruction); COM methods take it by value.
class Var {
public:
    Var() noexcept { VariantInit(&v_); }
    explicit Var(LONG value) noexcept;
    explicit Var(const std::wstring& key) noexcept;
    explicit Var(double value) noexcept;
    Var(Var&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(&v_); }

    const VARIANT& operator*() const noexcept { return v_; }
    VARIANT* get() noexcept { return &v_; }

private:
    VARIANT v_;
};

// The collection's own error: the fixed text, GUID iid, no source.
void ExpectCollectionError(HRESULT hr, HRESULT expectedHr, REFIID iid = IID_IRasterCollection);
// An error of the collection class with the given text (source its ProgID).
void ExpectCollectionClassError(HRESULT hr, HRESULT expectedHr, const std::wstring& text,
                                REFIID iid = IID_IRasterCollection);

}  // namespace rastelle::test
