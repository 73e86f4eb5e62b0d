// RasterObjectForwarder and the IRasterObject method list: a forwarding
// object of the tests' own reaches a real raster object with the caller's
// arguments, and the list follows the type library's virtual table.
#include "test_support.h"

#include "com/dispatch.h"
#include "raster/raster_object_methods.h"

#include <string>
#include <type_traits>
#include <vector>

namespace rastelle::test {
namespace {

class ForwardingRaster final
    : public com::ComObject<ForwardingRaster, RasterObjectForwarder<ForwardingRaster, com::Dispatch<IRasterObject>>> {
public:
    IRasterObject* ForwardTarget() const noexcept { return inner.get(); }
    ComPtr<IRasterObject> inner;
};
static_assert(!std::is_abstract_v<ForwardingRaster>, "every method of IRasterObject is forwarded");

ComPtr<IRasterObject> NewForwarder(ComPtr<IRasterObject> inner) {
    ComPtr<IRasterObject> outer;
    EXPECT_EQ(com::CreateComObject<ForwardingRaster>(nullptr, IID_IRasterObject, outer.put_void()), S_OK);
    static_cast<ForwardingRaster*>(outer.get())->inner = std::move(inner);
    return outer;
}

TEST(RasterObjectForwarder, CallsReachTheInnerObjectWithTheirArgumentsAndErrors) {
    auto inner = NewRaster();
    auto outer = NewForwarder(inner);

    ASSERT_EQ(outer->EmptyImage(3, 2, -1), S_OK);
    EXPECT_EQ(SizeOf(inner.get()), std::make_pair(LONG{3}, LONG{2}));
    EXPECT_EQ(outer->put_Pixels(2, 1, 0x12345678), S_OK);
    EXPECT_EQ(PixelsOf(inner.get())[5], 0x12345678u);
    EXPECT_EQ(outer->put_VerticalResolution(300.25f), S_OK);
    EXPECT_EQ(std::get<1>(SettingsOf(inner.get())), 300.25f);

    ComPtr<IRasterObject> clone;
    ASSERT_EQ(outer->Clone(clone.put()), S_OK);
    ASSERT_NE(clone.get(), nullptr);
    EXPECT_NE(clone.get(), inner.get());
    EXPECT_EQ(SizeOf(clone.get()), std::make_pair(LONG{3}, LONG{2}));

    ClearThreadError();
    ExpectError(outer->put_OutputFileType(static_cast<OutputFileTypes>(7)), E_INVALIDARG,
                      L"This output file type is unsupported!");

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(outer->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(outer.get()));
}

TEST(RasterObjectForwarder, WithoutATargetCallsFailUnexpected) {
    auto outer = NewForwarder(nullptr);
    LONG width = 0;
    EXPECT_EQ(std::make_pair(outer->get_Width(&width), outer->PageCurl(1, 2, 3, 4, 5)),
              std::make_pair(E_UNEXPECTED, E_UNEXPECTED));
}

// Each row's name, as the type library spells the function (get_/put_ for
// properties), in the list's order.
std::vector<std::wstring> ListedNames() {
#define RASTELLE_LISTED_NAME(name, params, args) L"" #name,
    return {RASTELLE_RASTER_OBJECT_METHODS(RASTELLE_LISTED_NAME)};
#undef RASTELLE_LISTED_NAME
}

TEST(RasterObjectMethodList, FollowsTheVirtualTableOfTheTypeLibrary) {
    auto raster = NewRaster();
    ComPtr<ITypeInfo> dispatchInfo, info;
    ASSERT_EQ(raster->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchInfo.put()), S_OK);
    HREFTYPE interfacePart = 0;
    ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &interfacePart), S_OK) << "IRasterObject is dual";
    ASSERT_EQ(dispatchInfo->GetRefTypeInfo(interfacePart, info.put()), S_OK);

    const auto listed = ListedNames();
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    const UINT functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    ASSERT_EQ(functions, listed.size());

    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        std::wstring spelled = function->invkind == INVOKE_PROPERTYGET   ? L"get_"
                               : function->invkind == INVOKE_PROPERTYPUT ? L"put_"
                                                                         : L"";
        spelled += name ? name : L"";
        SysFreeString(name);
        const auto slot = static_cast<std::size_t>(function->oVft) / sizeof(void*);
        info->ReleaseFuncDesc(function);
        EXPECT_EQ(spelled, listed[i]) << "row " << i;
        EXPECT_EQ(slot, 7 + i) << Narrow(spelled);
    }
}

}  // namespace
}  // namespace rastelle::test
