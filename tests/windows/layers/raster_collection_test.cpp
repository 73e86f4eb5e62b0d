// RasterCollection and RasterItem through COM: interface maps, positions and
// keys, moves and removal, the enumerator over the live list, and items as
// raster objects.
#include "layers/layers_test_support.h"

#include "fake_com.h"

#include <string>
#include <vector>

namespace rastelle::test {
namespace {

using Keys = std::vector<std::wstring>;
using Pixels = std::vector<std::uint32_t>;

constexpr HRESULT kNoPosition = static_cast<HRESULT>(0xA0000038);
constexpr HRESULT kNoKey = static_cast<HRESULT>(0xA0000039);
constexpr HRESULT kEmptyIndex = static_cast<HRESULT>(0xA0000066);

// The keys in position order, each item's Index checked on the way.
Keys KeysOf(IRasterCollection* collection) {
    LONG count = 0;
    collection->get_Count(&count);
    Keys keys;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IRasterItem> item;
        EXPECT_EQ(collection->get_Item(*Var(i), item.put()), S_OK);
        EXPECT_EQ(IndexOf(item.get()), i);
        keys.push_back(KeyOf(item.get()));
    }
    return keys;
}

HRESULT PutKey(IRasterItem* item, const std::wstring& key) { return item->put_Key(Bstr(key).get()); }

// Items keyed A, B, C, ... in that order.
ComPtr<IRasterCollection> Lettered(int count) {
    auto collection = NewCollection();
    for (int i = 0; i < count; ++i) EXPECT_EQ(PutKey(AddItem(collection.get()).get(), std::wstring(1, L'A' + i)), S_OK);
    return collection;
}

// An automation object whose default value is a text, or fails.
struct DefaultValue final : FakeDispatch<IDispatch> {
    const wchar_t* value = L"";
    HRESULT failure = S_OK;
    static Var New(const wchar_t* value, HRESULT failure) {
        auto object = MakeFake<DefaultValue>();
        object->value = value, object->failure = failure;
        return Var(static_cast<IDispatch*>(object.get()));
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (FAILED(failure) || id != DISPID_VALUE) return FAILED(failure) ? failure : DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BSTR, V_BSTR(result) = SysAllocString(value);
        return S_OK;
    }
};

TEST(RasterLayers, InterfaceMapsOfCollectionAndItem) {
    auto collection = NewCollection();
    EXPECT_EQ(Answers(collection.get(), {IID_IDispatch, IID_IMarshal, IID_IRasterObject}),
              (std::vector<HRESULT>{S_OK, S_OK, E_NOINTERFACE}));
    EXPECT_EQ(SupportsErrorInfo(collection.get(), {IID_IRasterCollection, IID_IRasterItem}),
              (std::vector<HRESULT>{S_OK, S_FALSE}));

    auto item = AddItem(collection.get());
    // One vtable serves IRasterItem, IRasterObject and IDispatch; IUnknown is
    // the item's own, not its raster object's.
    for (REFIID iid : {IID_IRasterObject, IID_IDispatch}) {
        ComPtr<IUnknown> other;
        ASSERT_EQ(item->QueryInterface(iid, other.put_void()), S_OK);
        EXPECT_EQ(static_cast<void*>(other.get()), static_cast<void*>(item.get()));
    }
    ComPtr<IUnknown> identity, innerIdentity;
    item->QueryInterface(IID_IUnknown, identity.put_void());
    RasterOf(item.get())->QueryInterface(IID_IUnknown, innerIdentity.put_void());
    EXPECT_NE(identity.get(), innerIdentity.get());
    EXPECT_EQ(Answers(item.get(), {IID_IMarshal, IID_IRasterObjectInternal}), (std::vector<HRESULT>{S_OK, E_NOINTERFACE}));
    EXPECT_EQ(SupportsErrorInfo(item.get(), {IID_IRasterItem, IID_IRasterObject, IID_IRasterCollection}),
              (std::vector<HRESULT>{S_OK, S_OK, S_FALSE}));

    ComPtr<IUnknown> unused;
    EXPECT_NE(CoCreateInstance(CLSID_RasterItem, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unused.put_void()), S_OK)
        << "items are made only by a collection";
}

TEST(RasterLayers, AddDefaultsPositionsAndKeys) {
    auto collection = NewCollection();
    auto item = AddItem(collection.get());
    EXPECT_EQ(KeyOf(item.get()), L"RasterObject0");
    VARIANT_BOOL visible = 0;
    BYTE opacity = 0;
    LONG width = 0;
    item->get_IsVisible(&visible);
    item->get_Opacity(&opacity);
    EXPECT_EQ(std::make_pair(visible, opacity), std::make_pair(VARIANT_BOOL{1}, BYTE{255}))
        << "the stored true is 1, not VARIANT_TRUE";
    EXPECT_EQ(item->get_Width(&width), E_FAIL) << "the inner raster object starts empty";

    // 0 .. Count - 1 inserts there; anything else appends.
    auto lettered = Lettered(2);
    for (LONG index : {0, 5, -7, 4}) ASSERT_EQ(PutKey(AddItem(lettered.get(), index).get(), std::to_wstring(index + 20)), S_OK);
    EXPECT_EQ(KeysOf(lettered.get()), (Keys{L"20", L"A", L"B", L"25", L"24", L"13"}));

    // Default keys start at the count and skip taken ones, in any case.
    AddItem(collection.get());
    ASSERT_EQ(collection->Remove(*Var(0L)), S_OK);
    EXPECT_EQ(KeysOf(collection.get()), (Keys{L"RasterObject1"}));
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject2") << "RasterObject0 is lower than the count";
    ASSERT_EQ(PutKey(ItemAt(collection.get(), Var(1L)).get(), L"rasterobject3"), S_OK);
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject2");
    EXPECT_EQ(KeyOf(AddItem(collection.get()).get()), L"RasterObject4");
    EXPECT_EQ(collection->Add(-1, nullptr), S_OK);
    EXPECT_EQ(KeysOf(collection.get()).size(), 5u);
}

TEST(RasterLayers, ItemResolvesKeysNumbersAndOtherVariants) {
    auto collection = NewCollection();
    for (int i = 0; i < 6; ++i) AddItem(collection.get());
    ASSERT_EQ(PutKey(ItemAt(collection.get(), Var(3L)).get(), L"7"), S_OK) << "7 is no position of six items";
    // Keys beyond ASCII letters and digits compare as the system's
    // case-insensitive comparison of their ANSI texts does.
    ASSERT_EQ(PutKey(ItemAt(collection.get(), Var(5L)).get(), L"\u00e9b\u00e8ne-1"), S_OK);
    AddItem(collection.get());
    AddItem(collection.get());

    const struct {
        Var index;
        LONG expected;
    } found[] = {{Var(2.6), 3},
                 {Var(L"7"), 3} /* a key wins over a position */, {DefaultValue::New(L"RasterObject2", S_OK), 2},
                 {Var(L"\u00c9B\u00c8NE-1"), 5}};
    for (const auto& c : found) EXPECT_EQ(IndexOf(ItemAt(collection.get(), c.index).get()), c.expected);

    const struct {
        Var index;
        HRESULT expected;
    } refused[] = {{Var(L"ebene-1"), kNoKey} /* accents count */, {Var(8L), kNoPosition},
                   {Var::OfType(VT_NULL), kEmptyIndex}, {Var::OfType(VT_BSTR), E_POINTER},
                   {DefaultValue::New(L"", DISP_E_MEMBERNOTFOUND), DISP_E_MEMBERNOTFOUND}};
    for (const auto& c : refused) {
        ComPtr<IRasterItem> item;
        ExpectCollectionClassError(collection->get_Item(*c.index, item.put()), c.expected,
                                   L"Cannot get access to the item. Probably the index is out of bounds");
        EXPECT_EQ(item.get(), nullptr);
    }
    EXPECT_EQ(collection->get_Item(*Var(0L), nullptr), E_POINTER);
}

// The script suites check Move and Remove's and Item's failures as scripts see them.
TEST(RasterLayers, MoveRemoveAndKeyPutWithTheirFailures) {
    auto collection = Lettered(4);
    ASSERT_EQ(collection->Move(*Var(L"d"), 0), S_OK);
    EXPECT_EQ(KeysOf(collection.get()), (Keys{L"D", L"A", L"B", L"C"}));
    // NewIndex is checked first and fails without an error object, as do failed conversions.
    ExpectCollectionError(collection->Remove(*Var(L"nope")), kNoKey);
    ClearThreadError();
    EXPECT_EQ(collection->Move(*Var(), 4), E_INVALIDARG);
    EXPECT_TRUE(FAILED(collection->Remove(*Var::OfType(VT_UNKNOWN))));
    EXPECT_FALSE(TakeThreadError().present);

    // A key that finds an item (its own, another's, a valid position) is
    // refused with the item's interface.
    auto d = ItemAt(collection.get(), Var(0L));
    for (const wchar_t* taken : {L"D", L"3"}) ExpectCollectionError(PutKey(d.get(), taken), kNoKey, IID_IRasterItem);
    EXPECT_EQ(d->put_Key(nullptr), S_OK);
    com::UniqueBstr key;
    ASSERT_EQ(d->get_Key(key.put()), S_OK);
    EXPECT_EQ(key.get(), nullptr) << "a null key stays null";
    EXPECT_EQ(IndexOf(ItemAt(collection.get(), Var(L"A")).get()), 1) << "keyless items are skipped";

    // A removed item keeps its state; releasing the collection detaches the rest.
    auto b = ItemAt(collection.get(), Var(L"B"));
    ASSERT_EQ(b->EmptyImage(2, 2, 0x11223344), S_OK);
    ASSERT_EQ(collection->Remove(*Var(L"B")), S_OK);
    EXPECT_EQ(PixelsOf(b.get()), Pixels(4, 0x11223344));
    EXPECT_EQ(std::make_pair(IndexOf(b.get()), PutKey(b.get(), L"A")), std::make_pair(0L, S_OK)) << "detached";
    auto c = ItemAt(collection.get(), Var(L"C"));
    collection.reset();
    EXPECT_EQ(std::make_pair(IndexOf(c.get()), PutKey(c.get(), L"A")), std::make_pair(0L, S_OK));
}

ComPtr<IEnumVARIANT> NewEnum(IRasterCollection* collection, WORD flags = DISPATCH_PROPERTYGET) {
    DISPPARAMS none{};
    Var result;
    EXPECT_EQ(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result.get(), nullptr,
                                 nullptr),
              S_OK);
    ComPtr<IEnumVARIANT> enumerator;
    EXPECT_EQ(V_UNKNOWN(result.get())->QueryInterface(IID_IEnumVARIANT, enumerator.put_void()), S_OK);
    return enumerator;
}

using Fetched = std::pair<HRESULT, Keys>;

Fetched Next(IEnumVARIANT* enumerator, ULONG count) {
    std::vector<VARIANT> slots(count);
    ULONG fetched = 999;
    const HRESULT hr = enumerator->Next(count, slots.data(), &fetched);
    Keys keys;
    for (ULONG i = 0; i < fetched && i < count; ++i) {
        ComPtr<IRasterItem> item;
        EXPECT_EQ(V_VT(&slots[i]), VT_DISPATCH);
        EXPECT_EQ(V_DISPATCH(&slots[i])->QueryInterface(IID_IRasterItem, item.put_void()), S_OK);
        keys.push_back(KeyOf(item.get()));
        VariantClear(&slots[i]);
    }
    return {hr, keys};
}

// The script suites walk the live list with For Each and Enumerator.
TEST(RasterLayers, EnumeratorCursorsClonesAndLifetime) {
    auto collection = Lettered(3);
    auto enumerator = NewEnum(collection.get());
    EXPECT_EQ(Next(enumerator.get(), 2), (Fetched{S_OK, {L"A", L"B"}}));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(enumerator->Clone(clone.put()), S_OK);
    EXPECT_EQ(Next(enumerator.get(), 2), (Fetched{S_FALSE, {L"C"}})) << "fewer than asked";
    EXPECT_EQ(Next(clone.get(), 1), (Fetched{S_OK, {L"C"}})) << "the clone has its own cursor";
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_OK) << "to the end";
    EXPECT_EQ(enumerator->Skip(1), S_FALSE) << "past it";

    // Hosts that ask for _NewEnum as a method get it too, and an enumerator
    // keeps its collection alive.
    auto byMethod = NewEnum(collection.get(), DISPATCH_METHOD);
    collection.reset();
    EXPECT_EQ(Next(byMethod.get(), 4), (Fetched{S_FALSE, {L"A", L"B", L"C"}}));
}

// An item forwards every call to its raster object, which items may share and
// which is never Nothing nor an item (the forwarding would run in a circle).
TEST(RasterLayers, ItemForwardsToItsRasterObjectWhichMayBeSharedAndIsNeverAnItem) {
    auto collection = NewCollection();
    auto item = AddItem(collection.get());
    ASSERT_EQ(item->EmptyImage(3, 1, 0x7F00FF00), S_OK);
    ASSERT_EQ(item->put_Pixels(2, 0, 0x12345678), S_OK);
    EXPECT_EQ(PixelsOf(RasterOf(item.get()).get()), (Pixels{0x7F00FF00, 0x7F00FF00, 0x12345678}));
    LONG pixel = 0;
    ExpectError(item->get_Pixels(3, 0, &pixel), E_FAIL,
                L"Cannot get pixel at this coordinates. It possible they are out of bounds!");

    auto shared = RasterWith(1, 1, {0xFF0000FF});
    auto other = AddItem(collection.get());
    ASSERT_EQ(item->put_RasterObject(shared.get()), S_OK);
    ASSERT_EQ(other->put_RasterObject(shared.get()), S_OK);
    ASSERT_EQ(other->put_Pixels(0, 0, 0x01020304), S_OK);
    EXPECT_EQ(PixelsOf(item.get()), Pixels{0x01020304});
    ExpectError(item->put_RasterObject(nullptr), E_POINTER, L"The raster object of an item cannot be Nothing.",
                "Rastelle.RasterItem.1", IID_IRasterItem);
    for (auto [from, to] : {std::pair{item.get(), item.get()}, {item.get(), other.get()}, {other.get(), item.get()}}) {
        ExpectError(from->put_RasterObject(to), E_INVALIDARG, L"The raster object of an item cannot be a layer item.",
                    "Rastelle.RasterItem.1", IID_IRasterItem);
    }
    EXPECT_EQ(RasterOf(item.get()).get(), shared.get());
    EXPECT_EQ(SizeOf(item.get()), (std::pair<LONG, LONG>{1, 1}));
}

}  // namespace
}  // namespace rastelle::test
