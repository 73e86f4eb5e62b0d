#include "layers/layers_test_support.h"

namespace rastelle::test {

ComPtr<IRasterCollection> NewCollection() {
    ComPtr<IRasterCollection> collection;
    EXPECT_EQ(CoCreateInstance(CLSID_RasterCollection, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterCollection,
                               collection.put_void()),
              S_OK);
    return collection;
}

ComPtr<IRasterItem> AddItem(IRasterCollection* collection, LONG index) {
    ComPtr<IRasterItem> item;
    EXPECT_EQ(collection->Add(index, item.put()), S_OK);
    return item;
}

std::wstring KeyOf(IRasterItem* item) {
    com::UniqueBstr key;
    EXPECT_EQ(item->get_Key(key.put()), S_OK);
    return std::wstring(key.view());
}

LONG IndexOf(IRasterItem* item) {
    LONG index = -100;
    EXPECT_EQ(item->get_Index(&index), S_OK);
    return index;
}

ComPtr<IRasterObject> RasterOf(IRasterItem* item) {
    ComPtr<IRasterObject> raster;
    EXPECT_EQ(item->get_RasterObject(raster.put()), S_OK);
    return raster;
}

Var::Var(LONG value) noexcept : Var() {
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = value;
}

Var::Var(const std::wstring& key) noexcept : Var() {
    V_VT(&v_) = VT_BSTR;
    V_BSTR(&v_) = SysAllocStringLen(key.data(), static_cast<UINT>(key.size()));
}

Var::Var(double value) noexcept : Var() {
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = value;
}

void ExpectCollectionError(HRESULT hr, HRESULT expectedHr, REFIID iid) {
    ExpectError(hr, expectedHr, L"Error in the collection occured (it is possible wrong index)", "", iid);
}

void ExpectCollectionClassError(HRESULT hr, HRESULT expectedHr, const std::wstring& text, REFIID iid) {
    ExpectError(hr, expectedHr, text, "Rastelle.RasterCollection.1", iid);
}

}  // namespace rastelle::test
