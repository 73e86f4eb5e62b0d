#include "test_support.h"

#include "image/bitmap_lock.h"
#include "platform/gdiplus.h"

#include <gif_lib.h>
#include <psapi.h>
#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace rastelle::test {

ThreadError TakeThreadError() {
    ThreadError error;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return error;
    error.present = true;
    com::UniqueBstr text, source;
    if (SUCCEEDED(info->GetDescription(text.put())) && text.get()) error.description = text.get();
    if (SUCCEEDED(info->GetSource(source.put())) && source.get()) error.source = source.get();
    info->GetGUID(&error.guid);
    return error;
}

void ClearThreadError() { SetErrorInfo(0, nullptr); }

HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                   UINT* argError) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());  // rgvarg holds them last first
    DISPID put = DISPID_PROPERTYPUT;
    const bool named = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{args.data(), named ? &put : nullptr, static_cast<UINT>(args.size()), named ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, argError);
}

VARIANT LongVariant(LONG value) {
    VARIANT v{};
    v.vt = VT_I4, v.lVal = value;
    return v;
}

std::vector<HRESULT> Answers(IUnknown* object, std::initializer_list<IID> iids) {
    std::vector<HRESULT> answers;
    for (const IID& iid : iids) {
        ComPtr<IUnknown> answer;
        answers.push_back(object->QueryInterface(iid, answer.put_void()));
        if (FAILED(answers.back()) && answer) answers.back() = E_UNEXPECTED;  // a failure must leave null
    }
    return answers;
}

std::vector<HRESULT> SupportsErrorInfo(IUnknown* object, std::initializer_list<IID> iids) {
    ComPtr<ISupportErrorInfo> support;
    EXPECT_EQ(object->QueryInterface(IID_ISupportErrorInfo, support.put_void()), S_OK);
    std::vector<HRESULT> answers;
    for (const IID& iid : iids) answers.push_back(support ? support->InterfaceSupportsErrorInfo(iid) : E_NOINTERFACE);
    return answers;
}

namespace {

// width x height pixels, row by row, each what `at` gives for its position.
template <class At>
std::vector<std::uint32_t> Pixels(int width, int height, At at) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(static_cast<std::uint32_t>(at(x, y)));
    return pixels;
}

}  // namespace

void PutLe(std::vector<std::uint8_t>& out, int bytes, std::initializer_list<std::uint32_t> values) {
    for (std::uint32_t value : values)
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

ComPtr<IRasterObject> RasterWith(int width, int height, const std::vector<std::uint32_t>& argb) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->EmptyImage(width, height, 0), S_OK);
    for (int i = 0; i < width * height; ++i)
        raster->put_Pixels(i % width, i / width, static_cast<LONG>(argb[static_cast<size_t>(i)]));
    return raster;
}

std::vector<std::uint32_t> PixelsOf(IRasterObject* raster) {
    const auto [width, height] = SizeOf(raster);
    return Pixels(width, height, [&](int x, int y) {
        LONG value = 0;
        raster->get_Pixels(x, y, &value);
        return value;
    });
}

std::pair<LONG, LONG> SizeOf(IRasterObject* raster) {
    LONG width = 0, height = 0;
    raster->get_Width(&width), raster->get_Height(&height);
    return {width, height};
}

Bitmap* BitmapOf(IUnknown* raster) {
    ComPtr<IRasterObjectInternal> internal;
    EXPECT_EQ(raster->QueryInterface(IID_IRasterObjectInternal, internal.put_void()), S_OK);
    LONG* data = nullptr;
    EXPECT_EQ(internal->GetDataPointer(&data), S_OK);
    return reinterpret_cast<Bitmap*>(data);
}

Settings SettingsOf(IRasterObject* raster) {
    Settings s{-1.0f, -1.0f, oftSWF, oftSWF};
    raster->get_HorizontalResolution(&std::get<0>(s)), raster->get_VerticalResolution(&std::get<1>(s));
    raster->get_OutputFileType(&std::get<2>(s)), raster->get_CurrentFileType(&std::get<3>(s));
    return s;
}

std::vector<std::uint32_t> NumberedPixels(int width, int height) {
    return Pixels(width, height, [](int x, int y) { return 0xFF000000u | unsigned(y) << 8 | unsigned(x); });
}

std::vector<std::uint32_t> OpaqueGradient(int width, int height) {
    return Pixels(width, height, [](int x, int y) {
        return 0xFF000000u | unsigned(x * 37 & 0xFF) << 16 | unsigned(y * 53 & 0xFF) << 8 | unsigned(x * y * 11 & 0xFF);
    });
}

SAFEARRAY* PixelArray(int width, int height, const std::vector<std::uint32_t>& argb) {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(height), 0}, {static_cast<ULONG>(width), 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    com::SafeArrayDataLock access(array);
    std::copy(argb.begin(), argb.end(), static_cast<std::uint32_t*>(access.data()));
    return array;
}

std::vector<std::uint32_t> ArrayValues(SAFEARRAY* array) {
    size_t count = 1;
    for (UINT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
    com::SafeArrayDataLock access(array);
    const auto* data = static_cast<const std::uint32_t*>(access.data());
    return {data, data + count};
}

std::wstring DllPath() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return (std::filesystem::path(exe).parent_path() / L"Rastelle.dll").wstring();
}

HMODULE DllModule() {
    static HMODULE module = LoadLibraryW(DllPath().c_str());
    return module;
}

std::wstring RegistryText(const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD bytes = sizeof(data);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return data;
}

SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters), counters.PagefileUsage;
}

std::wstring TempDir() {
    static const struct Folder {
        std::filesystem::path path;
        Folder() : path(std::filesystem::temp_directory_path() / L"rastelle-tests-") {
            path += std::to_wstring(GetCurrentProcessId());
            std::filesystem::create_directories(path);
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } folder;
    return folder.path.wstring();
}

std::wstring TempPath(const std::wstring& name) { return (std::filesystem::path(TempDir()) / name).wstring(); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring WriteFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = TempPath(name);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return path;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

std::vector<std::uint8_t> MakeBmp(int width, int height, const std::vector<std::uint32_t>& argb) {
    const int rowBytes = (width * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * height);
    std::vector<std::uint8_t> out{'B', 'M'};
    PutLe(out, 4, {54 + dataSize, 0, 54, 40, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)});
    PutLe(out, 2, {1, 24});
    PutLe(out, 4, {0, dataSize, 2835, 2835, 0, 0});  // 72 dpi, which loading must not take over
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) PutLe(out, 3, {argb[static_cast<size_t>(y * width + x)] & 0xFFFFFF});
        out.resize(out.size() + static_cast<size_t>(rowBytes - width * 3));
    }
    return out;
}

std::vector<std::uint8_t> EncodeWithGdiplus(int width, int height, const std::vector<std::uint32_t>& argb,
                                            const wchar_t* mimeType) {
    UINT count = 0, size = 0;
    Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size);
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs);
    const auto* codec = std::find_if(codecs, codecs + count, [&](auto& c) { return wcscmp(c.MimeType, mimeType) == 0; });
    EXPECT_NE(codec, codecs + count) << Narrow(mimeType);
    if (codec == codecs + count) return {};
    std::vector<std::uint32_t> pixels(argb);
    Gdiplus::GpBitmap* bitmap = nullptr;
    Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                                   reinterpret_cast<BYTE*>(pixels.data()), &bitmap);
    const ComPtr<IStream> stream = StreamOver({});
    EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToStream(bitmap, stream.get(), &codec->Clsid, nullptr), Gdiplus::Ok);
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    return BytesOf(stream.get());
}

std::vector<std::uint8_t> MakeIcon() {
    constexpr int kSide = 16;
    std::vector<std::uint8_t> out;
    PutLe(out, 2, {0, 1, 1});  // an icon of one image
    PutLe(out, 1, {kSide, kSide, 0, 0});
    PutLe(out, 2, {1, 32});
    PutLe(out, 4, {40 + kSide * kSide * 4 + kSide * 4, 22, 40, kSide, kSide * 2});  // the height of colour and mask
    PutLe(out, 2, {1, 32});
    PutLe(out, 4, {0, 0, 0, 0, 0, 0});
    for (int i = 0; i < kSide * kSide; ++i) PutLe(out, 4, {0xFF3366CC});
    out.resize(out.size() + kSide * 4);  // the mask
    return out;
}

ComPtr<IStream> StreamOver(const std::vector<std::uint8_t>& bytes) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    return stream;
}

std::vector<std::uint8_t> BytesOf(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

std::vector<std::uint8_t> SavedStream(IRasterObject* raster, IDispatch* encoder) {
    const ComPtr<IStream> stream = StreamOver({});
    EXPECT_EQ(raster->SaveStream(stream.get(), encoder), S_OK);
    return BytesOf(stream.get());
}

std::pair<float, float> ResolutionOf(const std::vector<std::uint8_t>& bytes) {
    std::pair<float, float> resolution{};
    Gdiplus::GpImage* image = nullptr;
    if (Gdiplus::DllExports::GdipLoadImageFromStream(StreamOver(bytes).get(), &image) != Gdiplus::Ok) return {};
    Gdiplus::DllExports::GdipGetImageHorizontalResolution(image, &resolution.first);
    Gdiplus::DllExports::GdipGetImageVerticalResolution(image, &resolution.second);
    Gdiplus::DllExports::GdipDisposeImage(image);
    return resolution;
}

void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description, std::string_view progId,
                 REFIID iid) {
    EXPECT_EQ(static_cast<unsigned long>(hr), static_cast<unsigned long>(expectedHr));
    const ThreadError error = TakeThreadError();
    ASSERT_TRUE(error.present) << "no error object";
    const bool prefix = !description.empty() && description.back() == L'*';
    const std::wstring expected = prefix ? description.substr(0, description.size() - 1) : description;
    EXPECT_EQ(Narrow(prefix ? error.description.substr(0, expected.size()) : error.description), Narrow(expected))
        << Narrow(error.description);
    EXPECT_EQ(Narrow(error.source), progId);
    EXPECT_TRUE(IsEqualGUID(error.guid, iid));
}

void Fault() {
    volatile std::uint32_t* volatile nowhere = nullptr;
    *nowhere = 1;
}

bool Unlocked(Bitmap& bitmap) {
    PixelLock probe;
    return probe.Lock(bitmap, Gdiplus::ImageLockModeWrite) == Gdiplus::Ok;
}

namespace {
DWORD WINAPI RunBody(void* body) { return reinterpret_cast<DWORD (*)()>(body)(); }
}  // namespace

std::vector<DWORD> RunOnThreads(int count, DWORD (*body)()) {
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i)
        threads.push_back(CreateThread(nullptr, 0, &RunBody, reinterpret_cast<void*>(body), 0, nullptr));
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    std::vector<DWORD> results(threads.size());
    for (size_t i = 0; i < threads.size(); ++i) GetExitCodeThread(threads[i], &results[i]), CloseHandle(threads[i]);
    return results;
}

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text ? text : L"";
    LocalFree(text);
    return result;
}

namespace {
// Stores one number as an element of type vt.
void PutNumber(SAFEARRAY* array, LONG* indices, VARTYPE vt, double number) {
    VARIANT element{};
    element.vt = VT_R8, element.dblVal = number;
    if (vt != VT_VARIANT) {
        ASSERT_EQ(VariantChangeType(&element, &element, 0, vt), S_OK);
    }
    ASSERT_EQ(SafeArrayPutElement(array, indices, vt == VT_VARIANT ? static_cast<void*>(&element) : &element.lVal), S_OK);
}
}  // namespace

SAFEARRAY* PointTable(VARTYPE vt, const NumberPairs& points, LONG lowerBound) {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(points.size()), lowerBound}, {2, lowerBound}};
    SAFEARRAY* array = SafeArrayCreate(vt, 2, bounds);
    for (size_t i = 0; i < points.size(); ++i) {
        LONG x[2] = {static_cast<LONG>(i) + lowerBound, lowerBound}, y[2] = {x[0], lowerBound + 1};
        PutNumber(array, x, vt, points[i].first);
        PutNumber(array, y, vt, points[i].second);
    }
    return array;
}

SAFEARRAY* PointPair(VARTYPE vt, double x, double y, ULONG size) {
    SAFEARRAYBOUND bound{size, 0};
    SAFEARRAY* array = SafeArrayCreate(vt, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(size); ++i) PutNumber(array, &i, vt, i == 0 ? x : y);
    return array;
}

SAFEARRAY* VariantArray(size_t count, const std::function<void(size_t, VARIANT&)>& element) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        VARIANT value{};
        element(i, value);
        EXPECT_EQ(SafeArrayPutElement(array, &i, &value), S_OK);
        VariantClear(&value);
    }
    return array;
}

SAFEARRAY* PointPairs(const NumberPairs& points, VARTYPE vt) {
    return VariantArray(points.size(), [&](size_t i, VARIANT& value) {
        value.vt = VT_ARRAY | vt;
        value.parray = PointPair(vt, points[i].first, points[i].second);
    });
}

ComPtr<IRasterObject> LoadedFile(const std::wstring& path, OutputFileTypes expectedType) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadFile(Bstr(path).get()), S_OK) << Narrow(path);
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), expectedType) << Narrow(path);
    return raster;
}

ComPtr<IRasterObject> LoadedStream(const std::vector<std::uint8_t>& bytes, OutputFileTypes expectedType) {
    auto raster = NewRaster();
    EXPECT_EQ(raster->LoadStream(StreamOver(bytes).get()), S_OK);
    EXPECT_EQ(std::get<3>(SettingsOf(raster.get())), expectedType);
    return raster;
}

std::vector<TiffPage> ReadTiffPages(const std::wstring& path) {
    std::vector<TiffPage> pages;
    TIFF* tif = TIFFOpenW(path.c_str(), "r");
    EXPECT_NE(tif, nullptr) << Narrow(path);
    if (!tif) return pages;
    do {
        TiffPage page;
        std::uint32_t width = 0, height = 0;
        std::uint16_t extraCount = 0, *extra = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width), TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        for (auto [tag, field] : {std::pair{TIFFTAG_SAMPLESPERPIXEL, &page.samples},
                                  std::pair{TIFFTAG_BITSPERSAMPLE, &page.bits}, std::pair{TIFFTAG_COMPRESSION, &page.compression}})
            TIFFGetFieldDefaulted(tif, tag, field);
        page.unassociatedAlpha = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount == 1 &&
                                 extra[0] == EXTRASAMPLE_UNASSALPHA;
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &page.xResolution), TIFFGetField(tif, TIFFTAG_YRESOLUTION, &page.yResolution);
        std::vector<std::uint32_t> raster(static_cast<size_t>(width) * height);
        EXPECT_TRUE(TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0));
        for (const std::uint32_t v : raster)
            page.argb.push_back(TIFFGetA(v) << 24 | TIFFGetR(v) << 16 | TIFFGetG(v) << 8 | TIFFGetB(v));
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return pages;
}

std::wstring WriteTiff(const std::wstring& name, const std::vector<TiffPageToWrite>& pages) {
    const std::wstring path = TempPath(name);
    TIFF* tif = TIFFOpenW(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    if (!tif) return path;
    for (const TiffPageToWrite& page : pages) {
        const std::pair<ttag_t, int> fields[] = {
            {TIFFTAG_IMAGEWIDTH, page.width},       {TIFFTAG_IMAGELENGTH, page.height},
            {TIFFTAG_BITSPERSAMPLE, 8},             {TIFFTAG_SAMPLESPERPIXEL, page.samples},
            {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB}, {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
            {TIFFTAG_COMPRESSION, page.compression}, {TIFFTAG_ROWSPERSTRIP, page.rowsPerStrip}};
        for (auto [tag, value] : fields) TIFFSetField(tif, tag, value);
        if (page.xResolution > 0) {
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(page.xResolution));
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(page.yResolution));
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, page.unit);
        }
        std::vector<std::uint8_t> row;
        for (int y = 0; y < page.height; ++y) {
            row.clear();
            for (int x = 0; x < page.width; ++x)
                for (int s = 0; s < page.samples; ++s)
                    row.push_back(std::uint8_t(page.argb[size_t(y * page.width + x)] >> (16 - 8 * s)));
            TIFFWriteScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return path;
}

ComPtr<IDispatch> TiffOptions(TIFFCompressionTypes compression, ColorDepths depth, ColorSpaces space,
                              const std::wstring& profile) {
    auto tiff = NewObject<ITIFFEncoderInfo>(CLSID_TIFFEncoderInfo);
    tiff->put_CompressionType(compression);
    tiff->put_ColorDepth(depth);
    tiff->put_ColorSpace(space);
    tiff->put_ICCProfileFilename(Bstr(profile).get());
    return AsDispatch(tiff);
}

GifFile ReadGif(const std::wstring& path) {
    GifFile file;
    int error = 0;
    const auto close = [](GifFileType* gif) { DGifCloseFile(gif, nullptr); };
    std::unique_ptr<GifFileType, decltype(close)> gif(DGifOpenFileName(Narrow(path).c_str(), &error), close);
    EXPECT_TRUE(gif && DGifSlurp(gif.get()) == GIF_OK) << Narrow(path);
    if (!gif) return file;
    auto rgb = [](const GifColorType& c) { return std::uint32_t{c.Red} << 16 | c.Green << 8 | c.Blue; };
    for (int i = 0; gif->SColorMap && i < gif->SColorMap->ColorCount; ++i) file.colours.push_back(rgb(gif->SColorMap->Colors[i]));
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int e = 0; e < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            file.loops |= block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                          std::string(reinterpret_cast<const char*>(block.Bytes), 11) == "NETSCAPE2.0";
        }
        GifFrame frame;
        GraphicsControlBlock control{};
        if (DGifSavedExtensionToGCB(gif.get(), i, &control) == GIF_OK)
            frame.delay = control.DelayTime, frame.transparentIndex = control.TransparentColor;
        frame.localTable = image.ImageDesc.ColorMap != nullptr;
        const ColorMapObject* map = frame.localTable ? image.ImageDesc.ColorMap : gif->SColorMap;
        for (int p = 0; map && p < image.ImageDesc.Width * image.ImageDesc.Height; ++p) {
            const int index = image.RasterBits[p];
            frame.rgb.push_back(index == frame.transparentIndex ? 0x1000000u : rgb(map->Colors[index]));
        }
        file.frames.push_back(std::move(frame));
    }
    return file;
}

}  // namespace rastelle::test
