// Helpers of the layer tests: collections made through COM and index
// variants.
#pragma once

#include "test_support.h"

#include <string>

namespace rastelle::test {

inline ComPtr<IRasterCollection> NewCollection() { return NewObject<IRasterCollection>(CLSID_RasterCollection); }
// Adds an item at index (default: append) and returns it.
inline ComPtr<IRasterItem> AddItem(IRasterCollection* collection, LONG index = -1) {
    ComPtr<IRasterItem> item;
    EXPECT_EQ(collection->Add(index, item.put()), S_OK);
    return item;
}
// A collection whose items show the given raster objects, in order.
inline ComPtr<IRasterCollection> LayersOf(std::initializer_list<ComPtr<IRasterObject>> images) {
    auto collection = NewCollection();
    for (const auto& image : images) EXPECT_EQ(AddItem(collection.get())->put_RasterObject(image.get()), S_OK);
    return collection;
}
inline LONG CountOf(IRasterCollection* collection) {
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    return count;
}
inline std::wstring KeyOf(IRasterItem* item) {
    com::UniqueBstr key;
    EXPECT_EQ(item->get_Key(key.put()), S_OK);
    return std::wstring(key.view());
}
inline LONG IndexOf(IRasterItem* item) {
    LONG index = -100;
    EXPECT_EQ(item->get_Index(&index), S_OK);
    return index;
}
// The inner raster object of an item.
inline ComPtr<IRasterObject> RasterOf(IRasterItem* item) {
    ComPtr<IRasterObject> raster;
    EXPECT_EQ(item->get_RasterObject(raster.put()), S_OK);
    return raster;
}

// An index variant; COM methods take it by value (*var).
struct Var : com::UniqueVariant {
    Var() = default;
    explicit Var(LONG value) { V_VT(get()) = VT_I4, V_I4(get()) = value; }
    explicit Var(double value) { V_VT(get()) = VT_R8, V_R8(get()) = value; }
    explicit Var(const wchar_t* key) { V_VT(get()) = VT_BSTR, V_BSTR(get()) = SysAllocString(key); }
    explicit Var(IDispatch* object) { V_VT(get()) = VT_DISPATCH, V_DISPATCH(get()) = object, object->AddRef(); }
    // A variant of that type holding zeros (VT_NULL, a null VT_BSTR, VT_UNKNOWN without an object).
    static Var OfType(VARTYPE type) { return Var(type, 0); }
    const VARIANT& operator*() const noexcept { return *get(); }

private:
    Var(VARTYPE type, int) { V_VT(get()) = type, V_UNKNOWN(get()) = nullptr; }
};

inline ComPtr<IRasterItem> ItemAt(IRasterCollection* collection, const Var& index) {
    ComPtr<IRasterItem> item;
    EXPECT_EQ(collection->get_Item(*index, item.put()), S_OK);
    return item;
}

// The collection's own error: the fixed text, GUID iid, no source.
inline void ExpectCollectionError(HRESULT hr, HRESULT expectedHr, REFIID iid = IID_IRasterCollection) {
    ExpectError(hr, expectedHr, L"Error in the collection occured (it is possible wrong index)", "", iid);
}
// An error of the collection class with the given text (source its ProgID).
inline void ExpectCollectionClassError(HRESULT hr, HRESULT expectedHr, const std::wstring& text,
                                       REFIID iid = IID_IRasterCollection) {
    ExpectError(hr, expectedHr, text, "Rastelle.RasterCollection.1", iid);
}

}  // namespace rastelle::test
