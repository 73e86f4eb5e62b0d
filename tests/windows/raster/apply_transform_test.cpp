// ApplyTransform with transforms written here: an automation object with an
// Apply method, an IHBitmapTransform and an IGDIPlusTransform; and the bitmap
// locks and OLE handles of the hand-over.
#include "test_support.h"

#include "fake_com.h"

#include "com/errors.h"
#include "image/bitmap.h"
#include "image/bitmap_lock.h"
#include "image/gdi_handles.h"

#include <olectl.h>

#include <functional>
#include <memory>

namespace rastelle::test {
namespace {

std::wstring Contact(const wchar_t* what) {
    return com::WithSupportAddress(L"If you see that error message, please contact ") + what;
}

// A client-written transform: an automation object whose only member is
// Apply, answering as `apply` says.
struct ClientTransform : FakeDispatch<IDispatch> {
    std::function<HRESULT(SAFEARRAY* input, SAFEARRAY** output)> apply;
    VARTYPE inputType = VT_EMPTY, outputType = VT_EMPTY;

    ClientTransform() {
        names = [](const wchar_t* name, DISPID* id) {
            return _wcsicmp(name, L"Apply") != 0 ? DISP_E_UNKNOWNNAME : (*id = 7, S_OK);
        };
        invoke = [this](DISPID id, WORD flags, DISPPARAMS* params) {
            if (id != 7 || flags != DISPATCH_METHOD || params->cArgs != 2) return DISP_E_MEMBERNOTFOUND;
            inputType = params->rgvarg[1].vt, outputType = params->rgvarg[0].vt;
            return apply(params->rgvarg[1].parray, params->rgvarg[0].pparray);
        };
    }
};

TEST(ApplyTransform, ClientApplyGetsThePixelArrayAndMayChangeTheSize) {
    auto raster = RasterWith(3, 2, NumberedPixels(3, 2));
    auto client = MakeFake<ClientTransform>();
    std::vector<std::uint32_t> received;
    LONG rows = -1;
    client->apply = [&](SAFEARRAY* input, SAFEARRAY** output) {
        SafeArrayGetUBound(input, 1, &rows);
        received = ArrayValues(input);
        *output = PixelArray(4, 1, {0x80000000, 0x80000001, 0x80000002, 0x80000003});
        return S_OK;
    };
    ASSERT_EQ(raster->ApplyTransform(client.get()), S_OK);
    EXPECT_EQ(std::make_tuple(client->inputType, client->outputType, rows, received),
              std::make_tuple(VARTYPE{VT_ARRAY | VT_I4}, VARTYPE{VT_BYREF | VT_ARRAY | VT_I4}, 1L, NumberedPixels(3, 2)));
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0x80000000, 0x80000001, 0x80000002, 0x80000003}));
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{4, 1}));
    EXPECT_EQ(client->refs, 1u) << "no reference is kept";
}

TEST(ApplyTransform, FailuresOfTheClientObjectLeaveTheImage) {
    auto raster = NewRaster();
    auto client = MakeFake<ClientTransform>();
    ExpectError(raster->ApplyTransform(nullptr), com::kErrInvalidCall,
                L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    raster = RasterWith(2, 2, NumberedPixels(2, 2));
    ExpectError(raster->ApplyTransform(nullptr), E_INVALIDARG, L"Cannot use the transform: NULL reference.");
    client->apply = [](SAFEARRAY*, SAFEARRAY**) { return S_OK; };  // no output
    ExpectError(raster->ApplyTransform(client.get()), DISP_E_EXCEPTION, Contact(L". Output array didn't passed!"));
    client->apply = [](SAFEARRAY*, SAFEARRAY** output) {
        SAFEARRAYBOUND bound{4, 0};
        return *output = SafeArrayCreate(VT_I4, 1, &bound), S_OK;
    };
    ExpectError(raster->ApplyTransform(client.get()), E_INVALIDARG,
                Contact(L". Some error occured during array->bitmap conversion"));
    client->apply = [](SAFEARRAY*, SAFEARRAY**) { return E_ACCESSDENIED; };
    EXPECT_EQ(raster->ApplyTransform(client.get()), E_ACCESSDENIED) << "passed through";

    client->names = [](const wchar_t*, DISPID*) { return DISP_E_UNKNOWNNAME; };
    ExpectError(raster->ApplyTransform(client.get()), com::kErrInvalidCall,
                L"Cannot find Apply method among the members of the object, you passed");
    client->names = [](const wchar_t*, DISPID*) { return Fault(), S_OK; };  // a broken object
    EXPECT_EQ(raster->ApplyTransform(client.get()), E_INVALIDARG) << "a fault in GetIDsOfNames is a bad argument";
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_EQ(PixelsOf(raster.get()), NumberedPixels(2, 2));
}

// An outside transform speaking bitmap handles: it returns a picture of a new
// 1 x 2 bitmap that the raster object must take over and delete.
struct HandleTransform : FakeDispatch<IHBitmapTransform> {
    STDMETHODIMP ApplyHBitmap(LONG handle, IUnknown** picture) override {
        BITMAP info{};
        GetObjectW(reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(handle)), sizeof(info), &info);
        inputWidth = info.bmWidth;
        if (!returnPicture) return S_OK;
        const std::uint32_t bits[2] = {0x00FF0000, 0x000000FF};  // BGRA in memory: red, blue
        PICTDESC desc{sizeof(PICTDESC), PICTYPE_BITMAP, {}};
        desc.bmp.hbitmap = CreateBitmap(1, 2, 1, 32, bits);
        return OleCreatePictureIndirect(&desc, IID_IUnknown, FALSE, reinterpret_cast<void**>(picture));
    }
    LONG inputWidth = 0;
    bool returnPicture = true;
};

TEST(ApplyTransform, PictureResultBecomesTheImage) {
    auto raster = RasterWith(3, 1, {0x00FFFFFF, 0xFF00FF00, 0xFF0000FF});
    auto transform = MakeFake<HandleTransform>();
    ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
    EXPECT_EQ(transform->inputWidth, 3);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFFFF0000, 0xFF0000FF})) << "1 x 2, opaque";
    EXPECT_EQ(transform->refs, 1u);
    transform->returnPicture = false;
    ExpectError(raster->ApplyTransform(transform.get()), DISP_E_EXCEPTION,
                com::WithSupportAddress(
                    L"Cannot obtain result of transformation. If you see this error message, please contact "));
}

// A system-style transform that asks for its output to be made for it (the
// system's own transforms, reached by every raster method, make theirs).
struct OutsideOutputTransform : FakeDispatch<IGDIPlusTransform> {
    STDMETHODIMP ApplyMe(LONG* input, LONG** output) override {
        in = reinterpret_cast<Bitmap*>(input);
        out = reinterpret_cast<Bitmap*>(output);  // the bitmap itself, not a slot
        Gdiplus::DllExports::GdipBitmapSetPixel(out->native(), 0, 0, 0xFF123456);
        return result;
    }
    STDMETHODIMP get_CreateOutputInsideTransform(VARIANT_BOOL* value) override { return *value = 0, S_OK; }
    Bitmap *in = nullptr, *out = nullptr;
    HRESULT result = E_ABORT;
};

TEST(ApplyTransform, TransformAnsweringFalseDrawsIntoANewBitmapOfTheInputSize) {
    auto raster = RasterWith(2, 3, NumberedPixels(2, 3));
    Bitmap* own = BitmapOf(raster.get());
    auto transform = MakeFake<OutsideOutputTransform>();
    EXPECT_EQ(raster->ApplyTransform(transform.get()), E_ABORT);
    EXPECT_EQ(PixelsOf(raster.get()), NumberedPixels(2, 3)) << "a failed transform leaves the image";

    transform->result = S_OK;
    ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
    EXPECT_EQ(transform->in, own);
    EXPECT_EQ(BitmapOf(raster.get()), transform->out);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF123456, 0, 0, 0, 0, 0}))
        << "2 x 3, transparent black where nothing was drawn";
}

TEST(PixelLocks, AFailedOutputLockLeavesNeitherBitmapLocked) {
    std::unique_ptr<Bitmap> input(Bitmap::Create(5, 3)), output(Bitmap::Create(5, 3));
    PixelLock elsewhere;
    ASSERT_EQ(elsewhere.Lock(*output, Gdiplus::ImageLockModeRead), Gdiplus::Ok);
    PixelLockPair locks;
    const Status status = locks.Lock(*input, *output);
    EXPECT_NE(status, Gdiplus::Ok);
    EXPECT_EQ(output->lastStatus(), status) << "recorded in the bitmap that failed";
    EXPECT_EQ(locks.input().pixels, nullptr);
    EXPECT_TRUE(Unlocked(*input));
}

TEST(OleHandles, WidenWithTheSignAsWindowsDoes) {
    const OLE_HANDLE high = 0x80001234u;
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(HandleFromOle<HBITMAP>(high)), static_cast<LONG_PTR>(LONG(high)));
    EXPECT_EQ(OleHandleOf(HandleFromOle<HANDLE>(high)), high) << "round trip";
}

}  // namespace
}  // namespace rastelle::test
