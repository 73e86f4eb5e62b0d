// Error objects and failure texts.
#include "test_support.h"

#include "com/errors.h"
#include "platform/gdiplus_errors.h"

namespace rastelle::test {
namespace {

using namespace rastelle::com;
using namespace rastelle::platform;

TEST(ErrorTexts, StatusTextsCoverTheKnownStatusesAndAFallback) {
    const std::string unknown = "GDI+ error which is not provided during coding this software.";
    for (auto [status, text] : {std::pair{0, "Success! Gdi+ status is Ok. GDI+ status code 0"},
                                {2, "Invalid parameter. GDI+ status code 2"},
                                {6, "The method is not implemented in GDI+. GDI+ status code 6"},
                                {20, "Specified property is not supported by the format of the image. GDI+ status code 20"},
                                {21, unknown.c_str()}, {-1, unknown.c_str()}})
        EXPECT_STREQ(GdiplusStatusText(static_cast<Status>(status)), text);
    for (int status = 0; status <= 20; ++status)
        EXPECT_TRUE(std::string(GdiplusStatusText(static_cast<Status>(status))).ends_with("GDI+ status code " + std::to_string(status)));
}

TEST(ErrorTexts, FailureMessageGdiplusForm) {
    const std::wstring expected = std::wstring(L"GDI+ error occured in EmptyImage method of the RasterObject object. "
                                               L"If you get this error, please contact ") +
                                  std::wstring(kSupportAddress, kSupportAddress + strlen(kSupportAddress)) +
                                  L". Error message: Invalid parameter. GDI+ status code 2";
    UniqueBstr text(FormatFailureMessage(Gdiplus::InvalidParameter, "RasterObject", "EmptyImage", 0));
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(Narrow(std::wstring(text.view())), Narrow(expected));

    const std::wstring unknown = FailureMessage(static_cast<Status>(33), "O", "M", 0);
    EXPECT_TRUE(unknown.ends_with(L"GDI+ error which is not provided during coding this software."));
}

TEST(ErrorTexts, FailureMessageWindowsFormHidesTheStatus) {
    const std::wstring text = FailureMessage(Gdiplus::Win32Error, "RasterObject", "LoadFile", ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(text.starts_with(L"Windows error in RasterObject.LoadFile: ")) << Narrow(text);
    EXPECT_GT(text.size(), wcslen(L"Windows error in RasterObject.LoadFile: ")) << "the system's text follows";
    EXPECT_EQ(text.find(L"GDI+"), std::wstring::npos);
    // A code the system has no text for leaves nothing after the colon.
    EXPECT_EQ(Narrow(FailureMessage(Gdiplus::Ok, "A", "B", 0x3FFFFFFF)), "Windows error in A.B: ");
}

TEST(ErrorObjects, RaiseComErrorFillsTheThreadErrorObject) {
    // The source is the registered ProgID.
    ClearThreadError();
    ExpectError(RaiseComError(CLSID_RasterObject, L"Something failed", IID_IRasterObject, E_FAIL), E_FAIL,
                L"Something failed");

    // A success code of 0 becomes DISP_E_EXCEPTION.
    EXPECT_EQ(RaiseComError(CLSID_RasterObject, L"x", IID_IRasterObject, S_OK), DISP_E_EXCEPTION);
    ClearThreadError();

    // The 8-bit form, and a class without a ProgID: no source.
    const CLSID unregistered = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    ExpectError(RaiseComErrorA(unregistered, "Eight-bit text", IID_NULL, kErrInvalidCall), kErrInvalidCall,
                L"Eight-bit text", "", IID_NULL);
}

TEST(ErrorObjects, CollectionErrorHasTheFixedTextAndNoSource) {
    ClearThreadError();
    RaiseCollectionError(IID_IRasterCollection, 42, "key %s %d");
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(Narrow(error.description), "Error in the collection occured (it is possible wrong index)");
    EXPECT_TRUE(error.source.empty());
    EXPECT_TRUE(IsEqualGUID(error.guid, IID_IRasterCollection));
}

TEST(ErrorObjects, BoundaryMapsThrownErrors) {
    const ErrorOrigin origin{CLSID_RasterObject, IID_IRasterObject};
    ClearThreadError();
    EXPECT_EQ(Boundary(origin, []() -> HRESULT { ThrowSilent(E_POINTER); }), E_POINTER);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_EQ(Boundary(origin, []() -> HRESULT { ThrowError(kErrArrayToBitmap, L"bad array"); }),
              kErrArrayToBitmap);
    EXPECT_EQ(Narrow(TakeThreadError().description), "bad array");
    EXPECT_EQ(Boundary(origin, []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(Boundary(origin, []() -> HRESULT { throw 7; }), E_UNEXPECTED);
}

}  // namespace
}  // namespace rastelle::test
