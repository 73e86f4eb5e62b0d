// Shared helpers of the DLL's tests.
#pragma once

#include "com/automation.h"
#include "com/com_ptr.h"
#include "rastelle_h.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rastelle::test {

using com::ComPtr;

// The error object a failing call left on the thread.
struct ThreadError {
    bool present = false;
    std::wstring description;
    std::wstring source;
    GUID guid{};
};
ThreadError TakeThreadError();
// Clears any error object left on the thread.
void ClearThreadError();

// Creates a RasterObject through COM (the registered DLL).
ComPtr<IRasterObject> NewRaster();

// A raster object holding a width x height image of the given ARGB pixels
// (row-major), and the pixels and size of one.
ComPtr<IRasterObject> RasterWith(int width, int height, const std::vector<std::uint32_t>& argb);
std::vector<std::uint32_t> PixelsOf(IRasterObject* raster);
std::pair<LONG, LONG> SizeOf(IRasterObject* raster);
// Pixels numbered so that each one tells its position: 0xFF000000 | y << 8 | x.
std::vector<std::uint32_t> NumberedPixels(int width, int height);

// Full path of the DLL under test and its loaded module.
std::wstring DllPath();
HMODULE DllModule();

// A fresh folder for a test's files, removed with its contents at exit.
std::wstring TempDir();
std::wstring WriteFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);

// Small images in standard formats, made by the test itself: a 24-bit BMP
// from ARGB pixels (alpha dropped) and PNG/JPEG/GIF/TIFF through the GDI+
// encoders of the platform.
std::vector<std::uint8_t> MakeBmp(int width, int height, const std::vector<std::uint32_t>& argb);
std::vector<std::uint8_t> EncodeWithGdiplus(int width, int height, const std::vector<std::uint32_t>& argb,
                                            const wchar_t* mimeType);
// A 16x16 icon file with one 32-bit image.
std::vector<std::uint8_t> MakeIcon();

// An IStream over a copy of bytes.
ComPtr<IStream> StreamOver(const std::vector<std::uint8_t>& bytes);

inline com::UniqueBstr Bstr(const std::wstring& s) { return com::UniqueBstr(std::wstring_view(s)); }

// Checks a failed call's HRESULT and the error object it left: its text, its
// source (the class's ProgID) and its GUID (the class's interface).
void ExpectError(HRESULT hr, HRESULT expectedHr, const std::wstring& expectedDescription, const char* progId,
                 REFIID iid);
inline void ExpectRasterError(HRESULT hr, HRESULT expectedHr, const std::wstring& expectedDescription) {
    ExpectError(hr, expectedHr, expectedDescription, "Rastelle.RasterObject.1", IID_IRasterObject);
}

std::string Narrow(const std::wstring& s);

// Runs body on `count` threads at once and returns each thread's result.
std::vector<DWORD> RunOnThreads(int count, DWORD (*body)());

}  // namespace rastelle::test
