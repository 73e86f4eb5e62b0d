// ApplyTransform with transforms written here: an automation object with an
// Apply method, an IHBitmapTransform and an IGDIPlusTransform.
#include "test_support.h"

#include "fake_com.h"

#include "com/errors.h"
#include "image/bitmap.h"

#include <olectl.h>

#include <functional>
#include <memory>

namespace rastelle::test {
namespace {

// The contact messages end with the support address.
std::wstring Contact(const wchar_t* what) {
    return com::WithSupportAddress(L"If you see that error message, please contact ") + what;
}

// A client-written transform: an automation object whose only member is
// Apply, answering as `apply` says.
struct ClientTransform : FakeDispatch<IDispatch> {
    std::function<HRESULT(SAFEARRAY* input, SAFEARRAY** output)> apply;
    VARTYPE inputType = VT_EMPTY, outputType = VT_EMPTY;
    UINT argumentCount = 0;

    ClientTransform() {
        names = [](const wchar_t* name, DISPID* id) {
            return _wcsicmp(name, L"Apply") != 0 ? DISP_E_UNKNOWNNAME : (*id = 7, S_OK);
        };
        invoke = [this](DISPID id, WORD flags, DISPPARAMS* params) {
            if (id != 7 || flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
            argumentCount = params->cArgs;
            inputType = params->rgvarg[1].vt;
            outputType = params->rgvarg[0].vt;
            return apply(params->rgvarg[1].parray, params->rgvarg[0].pparray);
        };
    }
};

TEST(ApplyTransformChecks, NoImageComesBeforeANullTransform) {
    auto raster = NewRaster();
    ExpectError(raster->ApplyTransform(nullptr), com::kErrInvalidCall,
                      L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    raster->EmptyImage(2, 2, -1);
    ExpectError(raster->ApplyTransform(nullptr), E_INVALIDARG, L"Cannot use the transform: NULL reference.");
}

TEST(ApplyTransformAutomation, ClientApplyGetsThePixelArrayAndMayChangeTheSize) {
    const auto pixels = NumberedPixels(3, 2);
    auto raster = RasterWith(3, 2, pixels);
    auto client = MakeFake<ClientTransform>();
    std::vector<std::uint32_t> received;
    LONG rows = -1, columns = -1;
    client->apply = [&](SAFEARRAY* input, SAFEARRAY** output) {
        SafeArrayGetUBound(input, 1, &rows);
        SafeArrayGetUBound(input, 2, &columns);
        received = ArrayValues(input);
        *output = PixelArray(4, 1, {0x80000000, 0x80000001, 0x80000002, 0x80000003});
        return S_OK;
    };
    ASSERT_EQ(raster->ApplyTransform(client.get()), S_OK);
    EXPECT_EQ(std::make_tuple(client->argumentCount, client->inputType, client->outputType, rows, columns),
              std::make_tuple(2u, VARTYPE{VT_ARRAY | VT_I4}, VARTYPE{VT_BYREF | VT_ARRAY | VT_I4}, 1L, 2L));
    EXPECT_EQ(received, pixels);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{4, 1}));
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0x80000000, 0x80000001, 0x80000002, 0x80000003}));
    EXPECT_EQ(client->refs, 1u) << "no reference is kept";
}

TEST(ApplyTransformAutomation, FailuresOfTheClientObject) {
    auto raster = RasterWith(2, 2, NumberedPixels(2, 2));
    auto client = MakeFake<ClientTransform>();

    client->apply = [](SAFEARRAY*, SAFEARRAY**) { return S_OK; };  // no output
    ExpectError(raster->ApplyTransform(client.get()), DISP_E_EXCEPTION, Contact(L". Output array didn't passed!"));

    client->apply = [](SAFEARRAY*, SAFEARRAY** output) {
        SAFEARRAYBOUND bound{4, 0};
        *output = SafeArrayCreate(VT_I4, 1, &bound);
        return S_OK;
    };
    ExpectError(raster->ApplyTransform(client.get()), E_INVALIDARG,
                      Contact(L". Some error occured during array->bitmap conversion"));

    client->apply = [](SAFEARRAY*, SAFEARRAY**) { return E_ACCESSDENIED; };
    ClearThreadError();
    EXPECT_EQ(raster->ApplyTransform(client.get()), E_ACCESSDENIED) << "passed through";
    EXPECT_FALSE(TakeThreadError().present);

    client->names = [](const wchar_t*, DISPID*) { return DISP_E_UNKNOWNNAME; };
    ExpectError(raster->ApplyTransform(client.get()), com::kErrInvalidCall,
                      L"Cannot find Apply method among the members of the object, you passed");

    client->names = [](const wchar_t*, DISPID*) {  // a broken object reading through a null pointer
        HRESULT* volatile nowhere = nullptr;
        return *nowhere;
    };
    ClearThreadError();
    EXPECT_EQ(raster->ApplyTransform(client.get()), E_INVALIDARG) << "a fault in GetIDsOfNames is a bad argument";
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_EQ(PixelsOf(raster.get()), NumberedPixels(2, 2)) << "failures leave the image alone";
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
        HBITMAP result = CreateBitmap(1, 2, 1, 32, bits);
        PICTDESC desc{sizeof(PICTDESC), PICTYPE_BITMAP, {}};
        desc.bmp.hbitmap = result;
        // The picture does not own the handle: the raster object deletes it.
        return OleCreatePictureIndirect(&desc, IID_IUnknown, FALSE, reinterpret_cast<void**>(picture));
    }
    LONG inputWidth = 0;
    bool returnPicture = true;
};

TEST(ApplyTransformHandles, PictureResultBecomesTheImage) {
    auto raster = RasterWith(3, 1, {0x00FFFFFF, 0xFF00FF00, 0xFF0000FF});
    auto transform = MakeFake<HandleTransform>();
    ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
    EXPECT_EQ(transform->inputWidth, 3);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{1, 2}));
    // A bitmap made from a handle reads back opaque.
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFFFF0000, 0xFF0000FF}));
    EXPECT_EQ(transform->refs, 1u);

    transform->returnPicture = false;
    ExpectError(raster->ApplyTransform(transform.get()), DISP_E_EXCEPTION,
                      com::WithSupportAddress(
                          L"Cannot obtain result of transformation. If you see this error message, please contact "));
}

// A system-style transform that asks for its output to be made for it.
struct OutsideOutputTransform : FakeDispatch<IGDIPlusTransform> {
    STDMETHODIMP ApplyMe(LONG* input, LONG** output) override {
        in = reinterpret_cast<Bitmap*>(input);
        out = reinterpret_cast<Bitmap*>(output);  // the bitmap itself, not a slot
        Gdiplus::DllExports::GdipGetImagePixelFormat(out->native(), &format);
        Gdiplus::DllExports::GdipBitmapSetPixel(out->native(), 0, 0, 0xFF123456);
        return result;
    }
    STDMETHODIMP get_CreateOutputInsideTransform(VARIANT_BOOL* value) override { return *value = 0, S_OK; }
    Bitmap* in = nullptr;
    Bitmap* out = nullptr;
    Gdiplus::PixelFormat format = 0;
    HRESULT result = S_OK;
};

TEST(ApplyTransformBitmaps, TransformAnsweringFalseDrawsIntoANewBitmapOfTheInputSize) {
    auto raster = RasterWith(2, 3, NumberedPixels(2, 3));
    Bitmap* own = BitmapOf(raster.get());

    auto transform = MakeFake<OutsideOutputTransform>();
    transform->result = E_ABORT;
    EXPECT_EQ(raster->ApplyTransform(transform.get()), E_ABORT);
    EXPECT_EQ(PixelsOf(raster.get()), NumberedPixels(2, 3)) << "a failed transform leaves the image";

    transform->result = S_OK;
    ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
    EXPECT_EQ(transform->in, own);
    EXPECT_NE(transform->out, transform->in);
    EXPECT_EQ(transform->format, static_cast<Gdiplus::PixelFormat>(PixelFormat32bppARGB));
    EXPECT_EQ(BitmapOf(raster.get()), transform->out);
    EXPECT_EQ(SizeOf(raster.get()), (std::pair<LONG, LONG>{2, 3}));
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF123456, 0, 0, 0, 0, 0}))
        << "a new bitmap reads as transparent black";
}

TEST(ApplyTransformBitmaps, SystemTransformHandsBackItsOwnBitmap) {
    auto raster = RasterWith(2, 2, NumberedPixels(2, 2));
    auto flip = NewObject<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
    flip->put_FlipType(fartNoRotateFlipX);
    Bitmap* before = BitmapOf(raster.get());
    ASSERT_EQ(raster->ApplyTransform(flip.get()), S_OK);
    EXPECT_NE(BitmapOf(raster.get()), before);
    EXPECT_EQ(PixelsOf(raster.get()), (std::vector<std::uint32_t>{0xFF000001, 0xFF000000, 0xFF000101, 0xFF000100}));
}

}  // namespace
}  // namespace rastelle::test
