// Shared helpers of the DLL's tests.
#pragma once

#include "com/automation.h"
#include "com/com_ptr.h"
#include "rastelle_h.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace rastelle {
class Bitmap;
}

namespace rastelle::test {

using com::ComPtr;

// The error object a failing call left on the thread, taken or cleared.
struct ThreadError {
    bool present = false;
    std::wstring description, source;
    GUID guid{};
};
ThreadError TakeThreadError();
void ClearThreadError();

// Creates any class, or a RasterObject, through COM (the registered DLL).
template <class Itf>
ComPtr<Itf> NewObject(REFCLSID clsid) {
    ComPtr<Itf> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Itf), object.put_void()), S_OK);
    return object;
}
inline ComPtr<IRasterObject> NewRaster() { return NewObject<IRasterObject>(CLSID_RasterObject); }
template <class Itf>
ComPtr<IDispatch> AsDispatch(const ComPtr<Itf>& object) {
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(object.As(dispatch), S_OK);
    return dispatch;
}

// A late-bound call by member name, as a script makes it: the arguments
// first to last; argError gets Invoke's puArgErr. And a VT_I4 variant.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args = {},
                   VARIANT* result = nullptr, UINT* argError = nullptr);
VARIANT LongVariant(LONG value);

// For each interface in turn: the object's QueryInterface result, and what
// its ISupportErrorInfo says of it.
std::vector<HRESULT> Answers(IUnknown* object, std::initializer_list<IID> iids);
std::vector<HRESULT> SupportsErrorInfo(IUnknown* object, std::initializer_list<IID> iids);

// A raster object holding a width x height image of the given ARGB pixels
// (row-major), and the pixels and size of one.
ComPtr<IRasterObject> RasterWith(int width, int height, const std::vector<std::uint32_t>& argb);
std::vector<std::uint32_t> PixelsOf(IRasterObject* raster);
std::pair<LONG, LONG> SizeOf(IRasterObject* raster);
// The bitmap a raster object lends through IRasterObjectInternal.
Bitmap* BitmapOf(IUnknown* raster);
// Horizontal and vertical resolution, output and current file type.
using Settings = std::tuple<float, float, OutputFileTypes, OutputFileTypes>;
Settings SettingsOf(IRasterObject* raster);
// Pixels numbered so that each one tells its position: 0xFF000000 | y << 8 | x.
std::vector<std::uint32_t> NumberedPixels(int width, int height);
// Opaque pixels whose three channels all vary.
std::vector<std::uint32_t> OpaqueGradient(int width, int height);

// A height x width SAFEARRAY of VT_I4 holding argb row by row, and the
// values an array holds, in memory order.
SAFEARRAY* PixelArray(int width, int height, const std::vector<std::uint32_t>& argb);
std::vector<std::uint32_t> ArrayValues(SAFEARRAY* array);

// Full path of the DLL under test and its loaded module; a text value under
// HKEY_CLASSES_ROOT ("<missing>" when absent); the process's committed
// private memory (Wine fills in only PagefileUsage).
std::wstring DllPath();
HMODULE DllModule();
std::wstring RegistryText(const std::wstring& key, const wchar_t* name = nullptr);
SIZE_T PrivateBytes();
// A fresh folder for a test's files, removed with its contents at exit.
std::wstring TempDir();
std::wstring TempPath(const std::wstring& name);
std::wstring WriteFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Appends each value as `bytes` little-endian bytes. Small images in standard
// formats, made by the test itself: a 24-bit BMP from ARGB pixels (alpha
// dropped) and PNG/JPEG/GIF/TIFF through the GDI+ encoders of the platform.
void PutLe(std::vector<std::uint8_t>& out, int bytes, std::initializer_list<std::uint32_t> values);
std::vector<std::uint8_t> MakeBmp(int width, int height, const std::vector<std::uint32_t>& argb);
std::vector<std::uint8_t> EncodeWithGdiplus(int width, int height, const std::vector<std::uint32_t>& argb,
                                            const wchar_t* mimeType);
std::vector<std::uint8_t> MakeIcon();  // 16x16, one 32-bit image
// An IStream over a copy of bytes, the bytes of a stream, what SaveStream
// writes into a new stream, and the resolution GDI+ reads from encoded bytes.
ComPtr<IStream> StreamOver(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> BytesOf(IStream* stream);
std::vector<std::uint8_t> SavedStream(IRasterObject* raster, IDispatch* encoder = nullptr);
std::pair<float, float> ResolutionOf(const std::vector<std::uint8_t>& bytes);

inline com::UniqueBstr Bstr(const std::wstring& s) { return com::UniqueBstr(std::wstring_view(s)); }

// Checks a failed call's HRESULT and the error object it left: its text (a
// description ending in "*" is compared as a prefix), its source (the
// class's ProgID) and its GUID (the class's interface).
void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& description,
                 std::string_view progId = "Rastelle.RasterObject.1", REFIID iid = IID_IRasterObject);

std::string Narrow(const std::wstring& s);
// The system's text for a Windows error code.
std::wstring SystemText(DWORD code);
// Writes through a null pointer: the machine fault guarded code must survive.
void Fault();
// True when nothing holds a lock on the bitmap (it can be locked for writing).
bool Unlocked(Bitmap& bitmap);
// Runs body on `count` threads at once and returns each thread's result.
std::vector<DWORD> RunOnThreads(int count, DWORD (*body)());

// Point arrays as automation clients build them: an (N, 2) table of numbers
// of type vt (element (i, 0) is x), one pair of numbers, a one-dimensional
// array of variants each made by element(i), and pairs of numbers in
// variants; an ArrayArgument owns the variant that holds one.
struct ArrayArgument {
    VARIANT value;
    ArrayArgument() { VariantInit(&value); }
    ArrayArgument(SAFEARRAY* array, VARTYPE vt) { value.vt = VT_ARRAY | vt, value.parray = array; }
    ArrayArgument(const ArrayArgument&) = delete;
    ~ArrayArgument() { VariantClear(&value); }
};
using NumberPairs = std::vector<std::pair<double, double>>;
SAFEARRAY* PointTable(VARTYPE vt, const NumberPairs& points, LONG lowerBound = 0);
SAFEARRAY* PointPair(VARTYPE vt, double x, double y, ULONG size = 2);
SAFEARRAY* VariantArray(size_t count, const std::function<void(size_t, VARIANT&)>& element);
SAFEARRAY* PointPairs(const NumberPairs& points, VARTYPE vt = VT_VARIANT);

// A raster object loaded from the file, or from a stream over the bytes, whose
// current file type is checked.
ComPtr<IRasterObject> LoadedFile(const std::wstring& path, OutputFileTypes expectedType);
ComPtr<IRasterObject> LoadedStream(const std::vector<std::uint8_t>& bytes, OutputFileTypes expectedType);

// What libtiff reads from each page of a file: the fields, whether the one
// extra sample is unassociated alpha, and the pixels (top row first, alpha
// premultiplied as libtiff's RGBA reader gives it).
struct TiffPage {
    std::uint16_t samples = 0, bits = 0, compression = 0;
    bool unassociatedAlpha = false;
    float xResolution = 0, yResolution = 0;  // 0 when the page states none
    std::vector<std::uint32_t> argb;
};
std::vector<TiffPage> ReadTiffPages(const std::wstring& path);

// A page libtiff writes: opaque RGB pixels, top row first (only the first
// `samples` channels of each, a page the RGBA reader refuses when fewer than
// 3), a resolution when x is above 0 (unit 2: inch, 3: centimetre), in strips
// of `rowsPerStrip` rows under the compression (1: none).
struct TiffPageToWrite {
    int width, height;
    std::vector<std::uint32_t> argb;
    float xResolution = 0, yResolution = 0;
    std::uint16_t unit = 2, samples = 3, compression = 1;
    int rowsPerStrip = 1;
};
// Writes the pages into the named temporary file; its path.
std::wstring WriteTiff(const std::wstring& name, const std::vector<TiffPageToWrite>& pages);
// A TIFFEncoderInfo with the options, to pass as an encoder.
ComPtr<IDispatch> TiffOptions(TIFFCompressionTypes compression, ColorDepths depth, ColorSpaces space = csRGB,
                              const std::wstring& profile = L"");

// What giflib reads from a GIF file: the global colour table (0xRRGGBB),
// whether a NETSCAPE2.0 block makes it loop, and per frame the delay, the
// transparent index (-1 for none), whether it has its own colour table and
// each pixel's colour-table entry (0x1000000 where it is transparent).
struct GifFrame {
    int delay = -1, transparentIndex = -1;
    bool localTable = false;
    std::vector<std::uint32_t> rgb;
};
struct GifFile {
    std::vector<std::uint32_t> colours;
    bool loops = false;
    std::vector<GifFrame> frames;
};
GifFile ReadGif(const std::wstring& path);

}  // namespace rastelle::test
