// RasterCollection and RasterItem through COM: interface maps, positions and
// keys, moves and removal, the enumerator over the live list, and items as
// raster objects.
#include "layers/layers_test_support.h"

#include "com/com_object.h"

#include <string>
#include <vector>

namespace rastelle::test {
namespace {

constexpr HRESULT kNoPosition = static_cast<HRESULT>(0xA0000038);
constexpr HRESULT kNoKey = static_cast<HRESULT>(0xA0000039);
constexpr HRESULT kEmptyIndex = static_cast<HRESULT>(0xA0000066);
const std::wstring kItemText = L"Cannot get access to the item. Probably the index is out of bounds";

// The keys of the collection's items in position order, each checked
// against its Index.
std::vector<std::wstring> Keys(IRasterCollection* collection) {
    LONG count = 0;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    std::vector<std::wstring> keys;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IRasterItem> item;
        EXPECT_EQ(collection->get_Item(*Var(i), item.put()), S_OK);
        EXPECT_EQ(IndexOf(item.get()), i);
        keys.push_back(KeyOf(item.get()));
    }
    return keys;
}

void SetKey(IRasterItem* item, const std::wstring& key) { ASSERT_EQ(item->put_Key(Bstr(key).get()), S_OK); }

// A collection of items keyed A, B, C, ... in that order.
ComPtr<IRasterCollection> Lettered(int count) {
    auto collection = NewCollection();
    for (int i = 0; i < count; ++i) SetKey(AddItem(collection.get()).get(), std::wstring(1, L'A' + i));
    return collection;
}

// An automation object whose default value is a fixed text, or whose
// default value fails with a fixed HRESULT.
class DefaultValue final : public com::ComObject<DefaultValue, IDispatch> {
public:
    static ComPtr<IDispatch> New(const std::wstring& value, HRESULT failure) {
        ComPtr<IDispatch> object;
        EXPECT_EQ(com::CreateComObject<DefaultValue>(nullptr, IID_IDispatch, object.put_void()), S_OK);
        auto* self = static_cast<DefaultValue*>(object.get());
        self->value_ = value;
        self->failure_ = failure;
        return object;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (FAILED(failure_)) return failure_;
        if (id != DISPID_VALUE || !result) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(value_.c_str());
        return S_OK;
    }

private:
    std::wstring value_;
    HRESULT failure_ = S_OK;
};

IUnknown* Identity(IUnknown* object) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    return unknown.get();
}

bool Answers(IUnknown* object, REFIID iid) {
    ComPtr<IUnknown> answer;
    return object->QueryInterface(iid, answer.put_void()) == S_OK;
}

TEST(RasterLayers, InterfaceMapsOfCollectionAndItem) {
    auto collection = NewCollection();
    EXPECT_TRUE(Answers(collection.get(), IID_IDispatch));
    EXPECT_TRUE(Answers(collection.get(), IID_IMarshal));
    EXPECT_FALSE(Answers(collection.get(), IID_IRasterItem));
    EXPECT_FALSE(Answers(collection.get(), IID_IRasterObject));
    ComPtr<ISupportErrorInfo> collectionErrors;
    ASSERT_EQ(collection.As(collectionErrors), S_OK);
    EXPECT_EQ(collectionErrors->InterfaceSupportsErrorInfo(IID_IRasterCollection), S_OK);
    EXPECT_EQ(collectionErrors->InterfaceSupportsErrorInfo(IID_IRasterItem), S_FALSE);

    auto item = AddItem(collection.get());
    ComPtr<IRasterObject> asRaster;
    ComPtr<IDispatch> asDispatch;
    ASSERT_EQ(item.As(asRaster), S_OK);
    ASSERT_EQ(item.As(asDispatch), S_OK);
    // One vtable serves IRasterItem, IRasterObject and IDispatch.
    EXPECT_EQ(static_cast<void*>(asRaster.get()), static_cast<void*>(item.get()));
    EXPECT_EQ(static_cast<void*>(asDispatch.get()), static_cast<void*>(item.get()));
    EXPECT_EQ(Identity(asRaster.get()), Identity(item.get()));
    EXPECT_NE(Identity(item.get()), Identity(RasterOf(item.get()).get()));
    EXPECT_TRUE(Answers(item.get(), IID_IMarshal));
    EXPECT_FALSE(Answers(item.get(), IID_IRasterObjectInternal));
    EXPECT_FALSE(Answers(item.get(), IID_IRasterCollection));
    ComPtr<ISupportErrorInfo> itemErrors;
    ASSERT_EQ(item.As(itemErrors), S_OK);
    EXPECT_EQ(itemErrors->InterfaceSupportsErrorInfo(IID_IRasterItem), S_OK);
    EXPECT_EQ(itemErrors->InterfaceSupportsErrorInfo(IID_IRasterObject), S_OK);
    EXPECT_EQ(itemErrors->InterfaceSupportsErrorInfo(IID_IRasterCollection), S_FALSE);

    ComPtr<IUnknown> unused;
    EXPECT_NE(CoCreateInstance(CLSID_RasterItem, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unused.put_void()),
              S_OK)
        << "items are made only by a collection";
}

TEST(RasterLayers, NewItemDefaultsAndEmptyCollection) {
    auto collection = NewCollection();
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    LONG background = 0;
    EXPECT_EQ(collection->get_BackgroundColor(&background), S_OK);
    EXPECT_EQ(background, -1);
    EXPECT_EQ(collection->get_BackgroundColor(nullptr), E_INVALIDARG);

    auto item = AddItem(collection.get());
    EXPECT_EQ(KeyOf(item.get()), L"RasterObject0");
    EXPECT_EQ(IndexOf(item.get()), 0);
    VARIANT_BOOL visible = 0;
    BYTE opacity = 0;
    CombineModes mode = cmDissolve;
    LONG x = -1, y = -1;
    EXPECT_EQ(item->get_IsVisible(&visible), S_OK);
    EXPECT_EQ(visible, 1) << "stored true is 1, not VARIANT_TRUE";
    EXPECT_EQ(item->get_Opacity(&opacity), S_OK);
    EXPECT_EQ(opacity, 255);
    EXPECT_EQ(item->get_Mode(&mode), S_OK);
    EXPECT_EQ(mode, cmAlphaBlend);
    EXPECT_EQ(item->get_OffsetX(&x), S_OK);
    EXPECT_EQ(item->get_OffsetY(&y), S_OK);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    LONG width = 0;
    EXPECT_EQ(item->get_Width(&width), E_FAIL) << "the inner raster object starts empty";

    EXPECT_EQ(item->get_Key(nullptr), E_POINTER);
    EXPECT_EQ(item->get_Index(nullptr), E_POINTER);
    EXPECT_EQ(item->get_IsVisible(nullptr), E_INVALIDARG);
    EXPECT_EQ(item->get_Opacity(nullptr), E_INVALIDARG);
    EXPECT_EQ(collection->Add(-1, nullptr), S_OK) << "Add without an out pointer still adds";
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"RasterObject0", L"RasterObject1"}));
}

TEST(RasterLayers, AddInsertsAtAValidPositionAndAppendsOtherwise) {
    auto collection = Lettered(2);
    SetKey(AddItem(collection.get(), 0).get(), L"front");
    SetKey(AddItem(collection.get(), 5).get(), L"five");
    SetKey(AddItem(collection.get(), -7).get(), L"minus");
    SetKey(AddItem(collection.get(), 4).get(), L"last");  // 4 = Count - 1: before the last one
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"front", L"A", L"B", L"five", L"last", L"minus"}));
}

TEST(RasterLayers, DefaultKeysStartAtTheCountAndSkipTakenOnes) {
    auto collection = NewCollection();
    AddItem(collection.get());
    AddItem(collection.get());
    ASSERT_EQ(collection->Remove(*Var(0L)), S_OK);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"RasterObject1"}));
    // Count is 1, RasterObject1 is taken, RasterObject0 is free but lower.
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject2");

    // Case does not matter: "rasterobject3" blocks RasterObject3.
    ComPtr<IRasterItem> second;
    ASSERT_EQ(collection->get_Item(*Var(1L), second.put()), S_OK);
    SetKey(second.get(), L"rasterobject3");
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject2");
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject4");
}

TEST(RasterLayers, ItemResolvesKeysNumbersAndOtherVariants) {
    auto collection = NewCollection();
    for (int i = 0; i < 4; ++i) AddItem(collection.get());
    ComPtr<IRasterItem> item;

    ASSERT_EQ(collection->get_Item(*Var(std::wstring(L"rasterobject1")), item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 1) << "keys compare without case";
    ASSERT_EQ(collection->get_Item(*Var(std::wstring(L"2")), item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 2) << "a number in a string is a position when no key matches";
    ASSERT_EQ(collection->get_Item(*Var(2.6), item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 3) << "2.6 converts to 3";

    // A key that reads as a number wins over the position.
    ComPtr<IRasterItem> last;
    ASSERT_EQ(collection->get_Item(*Var(3L), last.put()), S_OK);
    SetKey(last.get(), L"5");
    AddItem(collection.get());
    AddItem(collection.get());
    ASSERT_EQ(collection->get_Item(*Var(std::wstring(L"5")), item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 3);

    // Variables of script hosts arrive by reference.
    Var target(1L);
    VARIANT byRef;
    V_VT(&byRef) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&byRef) = target.get();
    ASSERT_EQ(collection->get_Item(byRef, item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 1);
    BSTR key = SysAllocString(L"rasterobject2");
    VARIANT stringByRef;
    V_VT(&stringByRef) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&stringByRef) = &key;
    ASSERT_EQ(collection->get_Item(stringByRef, item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 2) << "a string by reference is still a key";
    SysFreeString(key);

    // An object stands for its default value, which is resolved again; its
    // failure is the lookup's.
    ComPtr<IDispatch> named = DefaultValue::New(L"RasterObject2", S_OK);
    Var object;
    V_VT(object.get()) = VT_DISPATCH;
    V_DISPATCH(object.get()) = named.detach();
    ASSERT_EQ(collection->get_Item(*object, item.put()), S_OK);
    EXPECT_EQ(IndexOf(item.get()), 2);
    Var failing;
    V_VT(failing.get()) = VT_DISPATCH;
    V_DISPATCH(failing.get()) = DefaultValue::New(L"", DISP_E_MEMBERNOTFOUND).detach();
    ExpectCollectionClassError(collection->get_Item(*failing, item.put()), DISP_E_MEMBERNOTFOUND, kItemText);

    EXPECT_EQ(collection->get_Item(*Var(0L), nullptr), E_POINTER);
}

TEST(RasterLayers, ItemFailuresRaiseTheItemTextWithTheResolverCode) {
    auto collection = NewCollection();
    for (int i = 0; i < 4; ++i) AddItem(collection.get());
    ComPtr<IRasterItem> item;
    ExpectCollectionClassError(collection->get_Item(*Var(std::wstring(L"abc")), item.put()), kNoKey, kItemText);
    EXPECT_EQ(item.get(), nullptr);
    ExpectCollectionClassError(collection->get_Item(*Var(4L), item.put()), kNoPosition, kItemText);
    ExpectCollectionClassError(collection->get_Item(*Var(-1L), item.put()), kNoPosition, kItemText);
    ExpectCollectionClassError(collection->get_Item(*Var(), item.put()), kEmptyIndex, kItemText);
    Var null;
    V_VT(null.get()) = VT_NULL;
    ExpectCollectionClassError(collection->get_Item(*null, item.put()), kEmptyIndex, kItemText);
    Var nullString;
    V_VT(nullString.get()) = VT_BSTR;
    ExpectCollectionClassError(collection->get_Item(*nullString, item.put()), E_POINTER, kItemText);
}

TEST(RasterLayers, RemoveAndMoveKeepTheResolverErrorAndChangeNothingOnFailure) {
    auto collection = Lettered(3);
    ExpectCollectionError(collection->Remove(*Var(std::wstring(L"nope"))), kNoKey);
    ExpectCollectionError(collection->Remove(*Var(3L)), kNoPosition);
    ExpectCollectionError(collection->Remove(*Var()), kEmptyIndex);
    ExpectCollectionError(collection->Move(*Var(7L), 0), kNoPosition);

    // A failed conversion is passed through without an error object.
    ClearThreadError();
    Var unknown;
    V_VT(unknown.get()) = VT_UNKNOWN;
    V_UNKNOWN(unknown.get()) = nullptr;
    EXPECT_TRUE(FAILED(collection->Remove(*unknown)));
    EXPECT_FALSE(TakeThreadError().present);

    // NewIndex is checked before Index, without an error object.
    EXPECT_EQ(collection->Move(*Var(), 3), E_INVALIDARG);
    EXPECT_EQ(collection->Move(*Var(0L), -1), E_INVALIDARG);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"A", L"B", L"C"}));
}

TEST(RasterLayers, MoveTakesTheItemOutAndReinsertsIt) {
    auto collection = Lettered(4);
    ASSERT_EQ(collection->Move(*Var(0L), 2), S_OK);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"B", L"C", L"A", L"D"}));
    ASSERT_EQ(collection->Move(*Var(std::wstring(L"d")), 0), S_OK);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"D", L"B", L"C", L"A"}));
    ASSERT_EQ(collection->Move(*Var(1L), 1), S_OK);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"D", L"B", L"C", L"A"}));
    EXPECT_EQ(collection->Move(*Var(0L), 4), E_INVALIDARG);
}

TEST(RasterLayers, RemovedItemIsDetachedAndStaysUsable) {
    auto collection = Lettered(3);
    ComPtr<IRasterItem> b;
    ASSERT_EQ(collection->get_Item(*Var(std::wstring(L"B")), b.put()), S_OK);
    ASSERT_EQ(b->EmptyImage(2, 2, 0x11223344), S_OK);
    ASSERT_EQ(b->put_Opacity(7), S_OK);
    ASSERT_EQ(collection->Remove(*Var(1L)), S_OK);
    EXPECT_EQ(Keys(collection.get()), (std::vector<std::wstring>{L"A", L"C"}));
    EXPECT_EQ(IndexOf(b.get()), 0);
    EXPECT_EQ(KeyOf(b.get()), L"B");
    LONG pixel = 0;
    EXPECT_EQ(b->get_Pixels(1, 1, &pixel), S_OK);
    EXPECT_EQ(pixel, 0x11223344);

    // A detached item takes any key, even one its old collection uses.
    SetKey(b.get(), L"A");
    EXPECT_EQ(KeyOf(b.get()), L"A");

    // Releasing the collection detaches the rest the same way.
    ComPtr<IRasterItem> c;
    ASSERT_EQ(collection->get_Item(*Var(1L), c.put()), S_OK);
    collection.reset();
    EXPECT_EQ(IndexOf(c.get()), 0);
    SetKey(c.get(), L"anything");
    BYTE opacity = 0;
    EXPECT_EQ(b->get_Opacity(&opacity), S_OK);
    EXPECT_EQ(opacity, 7);
}

TEST(RasterLayers, KeyPutRefusesKeysThatFindAnItem) {
    auto collection = Lettered(4);
    ComPtr<IRasterItem> a;
    ASSERT_EQ(collection->get_Item(*Var(0L), a.put()), S_OK);
    ExpectCollectionError(a->put_Key(Bstr(L"A").get()), kNoKey, IID_IRasterItem);  // its own key
    ExpectCollectionError(a->put_Key(Bstr(L"c").get()), kNoKey, IID_IRasterItem);  // another's, any case
    ExpectCollectionError(a->put_Key(Bstr(L"3").get()), kNoKey, IID_IRasterItem);  // a valid position
    EXPECT_EQ(KeyOf(a.get()), L"A");

    SetKey(a.get(), L"4");  // not a position of four items
    SetKey(a.get(), L"");
    EXPECT_EQ(a->put_Key(nullptr), S_OK);
    EXPECT_EQ(KeyOf(a.get()), L"");
    com::UniqueBstr key;
    ASSERT_EQ(a->get_Key(key.put()), S_OK);
    EXPECT_EQ(key.get(), nullptr) << "a null key stays null";
    // Items without a key are skipped by the search.
    ComPtr<IRasterItem> found;
    ASSERT_EQ(collection->get_Item(*Var(std::wstring(L"D")), found.put()), S_OK);
    EXPECT_EQ(IndexOf(found.get()), 3);
}

ComPtr<IEnumVARIANT> NewEnum(IRasterCollection* collection) {
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(collection->get__NewEnum(unknown.put()), S_OK);
    ComPtr<IEnumVARIANT> enumerator;
    EXPECT_EQ(unknown.As(enumerator), S_OK);
    return enumerator;
}

// Keys handed out by one Next(count) call and its result.
std::pair<HRESULT, std::vector<std::wstring>> NextKeys(IEnumVARIANT* enumerator, ULONG count) {
    std::vector<VARIANT> slots(count);
    ULONG fetched = 999;
    const HRESULT hr = enumerator->Next(count, slots.data(), &fetched);
    std::vector<std::wstring> keys;
    for (ULONG i = 0; i < fetched && i < count; ++i) {
        EXPECT_EQ(V_VT(&slots[i]), VT_DISPATCH);
        ComPtr<IRasterItem> item;
        EXPECT_EQ(V_DISPATCH(&slots[i])->QueryInterface(IID_IRasterItem, item.put_void()), S_OK);
        keys.push_back(KeyOf(item.get()));
        VariantClear(&slots[i]);
    }
    EXPECT_EQ(fetched, keys.size());
    return {hr, keys};
}

using Keyed = std::pair<HRESULT, std::vector<std::wstring>>;

TEST(RasterLayers, EnumeratorNextSkipResetAndClone) {
    auto collection = Lettered(3);
    auto enumerator = NewEnum(collection.get());
    EXPECT_EQ(NextKeys(enumerator.get(), 2), (Keyed{S_OK, {L"A", L"B"}}));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(enumerator->Clone(clone.put()), S_OK);
    EXPECT_EQ(NextKeys(enumerator.get(), 2), (Keyed{S_FALSE, {L"C"}})) << "fewer than asked";
    EXPECT_EQ(NextKeys(enumerator.get(), 1), (Keyed{S_FALSE, {}})) << "at the end";
    EXPECT_EQ(NextKeys(clone.get(), 1), (Keyed{S_OK, {L"C"}})) << "the clone kept its own cursor";

    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_OK) << "reaching the end is not passing it";
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_OK);
    EXPECT_EQ(NextKeys(enumerator.get(), 1), (Keyed{S_OK, {L"B"}}));
    EXPECT_EQ(enumerator->Skip(2), S_FALSE);
    EXPECT_EQ(NextKeys(enumerator.get(), 1), (Keyed{S_FALSE, {}}));
}

TEST(RasterLayers, EnumeratorReadsTheLiveListAndKeepsTheCollectionAlive) {
    auto collection = Lettered(2);
    auto enumerator = NewEnum(collection.get());
    SetKey(AddItem(collection.get()).get(), L"C");
    EXPECT_EQ(NextKeys(enumerator.get(), 1), (Keyed{S_OK, {L"A"}}));
    // Removing the item before the cursor moves the rest under it.
    ASSERT_EQ(collection->Remove(*Var(0L)), S_OK);
    EXPECT_EQ(NextKeys(enumerator.get(), 3), (Keyed{S_FALSE, {L"C"}}));
    // The cursor may end up past a shrunken list.
    ASSERT_EQ(collection->Remove(*Var(1L)), S_OK);
    EXPECT_EQ(NextKeys(enumerator.get(), 1), (Keyed{S_FALSE, {}}));
    EXPECT_EQ(enumerator->Skip(0), S_OK);

    enumerator->Reset();
    collection.reset();
    EXPECT_EQ(NextKeys(enumerator.get(), 2), (Keyed{S_FALSE, {L"B"}}));
}

TEST(RasterLayers, NewEnumAnswersAsPropertyAndAsMethod) {
    auto collection = Lettered(1);
    for (WORD flags : {WORD{DISPATCH_PROPERTYGET}, WORD{DISPATCH_METHOD}}) {
        DISPPARAMS none{};
        Var result;
        ASSERT_EQ(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result.get(),
                                     nullptr, nullptr),
                  S_OK)
            << "flags " << flags;
        ASSERT_EQ(V_VT(result.get()), VT_UNKNOWN);
        ComPtr<IEnumVARIANT> enumerator;
        ASSERT_EQ(V_UNKNOWN(result.get())->QueryInterface(IID_IEnumVARIANT, enumerator.put_void()), S_OK);
        EXPECT_EQ(NextKeys(enumerator.get(), 2), (Keyed{S_FALSE, {L"A"}}));
    }
}

TEST(RasterLayers, ItemForwardsToItsRasterObjectWhichMayBeShared) {
    auto collection = NewCollection();
    auto item = AddItem(collection.get());
    ASSERT_EQ(item->EmptyImage(3, 2, 0x7F00FF00), S_OK);
    ASSERT_EQ(item->put_Pixels(2, 1, 0x12345678), S_OK);
    auto inner = RasterOf(item.get());
    EXPECT_EQ(SizeOf(inner.get()), std::make_pair(LONG{3}, LONG{2}));
    EXPECT_EQ(PixelsOf(inner.get()),
              (std::vector<std::uint32_t>{0x7F00FF00, 0x7F00FF00, 0x7F00FF00, 0x7F00FF00, 0x7F00FF00, 0x12345678}));

    // Errors come from the inner raster object, as it raised them.
    LONG pixel = 0;
    ExpectRasterError(item->get_Pixels(3, 0, &pixel), E_FAIL,
                      L"Cannot get pixel at this coordinates. It possible they are out of bounds!");

    // A client's raster object becomes the layer's image, shared.
    auto shared = RasterWith(1, 1, {0xFF0000FF});
    ASSERT_EQ(item->put_RasterObject(shared.get()), S_OK);
    auto other = AddItem(collection.get());
    ASSERT_EQ(other->put_RasterObject(shared.get()), S_OK);
    ASSERT_EQ(other->put_Pixels(0, 0, 0x01020304), S_OK);
    EXPECT_EQ(item->get_Pixels(0, 0, &pixel), S_OK);
    EXPECT_EQ(pixel, 0x01020304);
    EXPECT_EQ(RasterOf(item.get()).get(), shared.get());

    ExpectError(item->put_RasterObject(nullptr), E_POINTER, L"The raster object of an item cannot be Nothing.",
                "Rastelle.RasterItem.1", IID_IRasterItem);
    EXPECT_EQ(RasterOf(item.get()).get(), shared.get());
    EXPECT_EQ(item->get_RasterObject(nullptr), E_POINTER);
}

TEST(RasterLayers, MultiframeFilesAreNotImplemented) {
    auto collection = NewCollection();
    ClearThreadError();
    EXPECT_EQ(collection->LoadMultiframeImage(Bstr(L"x.tif").get(), VARIANT_TRUE), E_NOTIMPL);
    EXPECT_EQ(collection->SaveMultiframeImage(Bstr(L"x.tif").get(), *Var(3L), VARIANT_TRUE), E_NOTIMPL);
    EXPECT_FALSE(TakeThreadError().present);
}

}  // namespace
}  // namespace rastelle::test
