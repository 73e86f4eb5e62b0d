// The ASP interfaces as the platform's asptlb.h declares them, with the
// interface identifiers attached for __uuidof, and the host's own upload
// interface. Their type information comes from asp_host.idl.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <asptlb.h>

#if defined(__GNUC__)
__CRT_UUID_DECL(IStringList, 0xD97A6DA0, 0xA85D, 0x11cf, 0x83, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
__CRT_UUID_DECL(IRequestDictionary, 0xD97A6DA0, 0xA85F, 0x11df, 0x83, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
__CRT_UUID_DECL(IRequest, 0xD97A6DA0, 0xA861, 0x11cf, 0x93, 0xAE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
__CRT_UUID_DECL(IResponse, 0xD97A6DA0, 0xA864, 0x11cf, 0x83, 0xBE, 0x00, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
__CRT_UUID_DECL(IServer, 0xD97A6DA0, 0xA867, 0x11cf, 0x83, 0xAE, 0x01, 0xA0, 0xC9, 0x0C, 0x2B, 0xD8)
#else
struct __declspec(uuid("D97A6DA0-A85D-11cf-83AE-00A0C90C2BD8")) IStringList;
struct __declspec(uuid("D97A6DA0-A85F-11df-83AE-00A0C90C2BD8")) IRequestDictionary;
struct __declspec(uuid("D97A6DA0-A861-11cf-93AE-00A0C90C2BD8")) IRequest;
struct __declspec(uuid("D97A6DA0-A864-11cf-83BE-00A0C90C2BD8")) IResponse;
struct __declspec(uuid("D97A6DA0-A867-11cf-83AE-01A0C90C2BD8")) IServer;
#endif

// A file field of a multipart form; also an IStream over the file's bytes,
// so that a page hands it straight to a component's stream loader.
struct IUploadedFile : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_FileName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(LONG* bytes) = 0;
};
#if defined(__GNUC__)
__CRT_UUID_DECL(IUploadedFile, 0x6F0B7C4E, 0x2D51, 0x4B8A, 0x9E, 0x3C, 0x5A, 0x1D, 0x2B, 0x7C, 0x9E, 0x40)
#else
struct __declspec(uuid("6F0B7C4E-2D51-4B8A-9E3C-5A1D2B7C9E40")) IUploadedFile;
#endif
