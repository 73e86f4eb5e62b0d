// Error objects and failure texts.
#include "test_support.h"

#include "com/errors.h"
#include "platform/gdiplus_errors.h"

namespace rastelle::test {
namespace {

using namespace rastelle::com;
using namespace rastelle::platform;

TEST(ErrorTexts, StatusTextsAndBothFailureMessageForms) {
    for (auto [status, text] : {std::pair{20, "Specified property is not supported by the format of the image. GDI+ status code 20"},
                                {21, "GDI+ error which is not provided during coding this software."}})
        EXPECT_STREQ(GdiplusStatusText(static_cast<Status>(status)), text);

    const std::wstring expected = std::wstring(L"GDI+ error occured in EmptyImage method of the RasterObject object. "
                                               L"If you get this error, please contact ") +
                                  std::wstring(kSupportAddress, kSupportAddress + strlen(kSupportAddress)) +
                                  L". Error message: Invalid parameter. GDI+ status code 2";
    UniqueBstr text(FormatFailureMessage(Gdiplus::InvalidParameter, "RasterObject", "EmptyImage", 0));
    EXPECT_EQ(Narrow(std::wstring(text.view())), Narrow(expected));

    // The Windows form: nothing after the colon for a code the system has no text for.
    EXPECT_EQ(Narrow(FailureMessage(Gdiplus::Ok, "A", "B", 0x3FFFFFFF)), "Windows error in A.B: ");
}

TEST(ErrorObjects, RaiseComErrorNamesTheProgIdAndNeverAnswersSuccess) {
    ExpectError(RaiseComError(CLSID_RasterObject, L"Something failed", IID_IRasterObject, S_OK), DISP_E_EXCEPTION,
                L"Something failed");
    // The 8-bit form, and a class without a ProgID: no source.
    const CLSID unregistered = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    ExpectError(RaiseComErrorA(unregistered, "Eight-bit text", IID_NULL, kErrInvalidCall), kErrInvalidCall,
                L"Eight-bit text", "", IID_NULL);
}

}  // namespace
}  // namespace rastelle::test
