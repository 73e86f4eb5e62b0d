#include "fuzz_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

namespace rastelle::fuzz {

std::wstring g_inputPath;

namespace {

const char* g_name = "fuzzer";
char g_current[512] = "(no call yet)";
std::atomic<ULONGLONG> g_callStarted{0};  // tick count; 0 between calls
std::atomic<bool> g_finished{false};
DWORD g_limitSeconds = 20;

[[noreturn]] void Die(const char* what, int code) {
    std::fprintf(stderr, "%s: %s during %s", g_name, what, g_current);
    if (!g_inputPath.empty()) std::fprintf(stderr, "; input kept in %s", Narrow(g_inputPath.c_str()).c_str());
    std::fputc('\n', stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    std::abort();
}

DWORD WINAPI Watchdog(void*) {
    while (!g_finished.load()) {
        Sleep(250);
        const ULONGLONG started = g_callStarted.load();
        if (started != 0 && GetTickCount64() - started > g_limitSeconds * 1000ull) {
            char what[64];
            std::snprintf(what, sizeof what, "HANG (a call over %lu s)", static_cast<unsigned long>(g_limitSeconds));
            Die(what, 3);
        }
    }
    return 0;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    char what[64];
    std::snprintf(what, sizeof what, "CRASH (exception 0x%08lX)", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    Die(what, 4);
}

template <class Fn>
Fn Export(HMODULE dll, const char* name) {
    return dll ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
}
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

}  // namespace

VARIANT Long(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4, v.lVal = value;
    return v;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

int FindOption(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return i;
    return 0;
}

long NumberOption(int argc, char** argv, const char* name, long fallback) {
    const int at = FindOption(argc, argv, name);
    return at && at + 1 < argc ? std::strtol(argv[at + 1], nullptr, 10) : fallback;
}

void SetCurrent(const std::string& what) {
    std::snprintf(g_current, sizeof g_current, "%s", what.c_str());
}

Outcome Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
    Outcome out;
    EXCEPINFO exception{};
    g_callStarted.store(GetTickCount64());
    out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, &exception, nullptr);
    g_callStarted.store(0);
    if (out.hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        out.failingCode = FAILED(exception.scode) || exception.wCode != 0;
        out.described = exception.bstrDescription && *exception.bstrDescription;
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return out;
}

Outcome Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
        return {hr};
    std::reverse(args.begin(), args.end());  // DISPPARAMS takes them last first
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return Invoke(object, id, flags, &params, result);
}

Session::Session(const char* name, long limitSeconds) {
    g_name = name;
    g_limitSeconds = static_cast<DWORD>(limitSeconds);
    SetUnhandledExceptionFilter(&ReportCrash);
    std::set_terminate([] { Die("CRASH (terminate)", 5); });
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The calls' files land in a folder of their own.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    work_ = std::wstring(temp) + L"rastelle_" + std::wstring(name, name + std::strcspn(name, " ")) + L"_fuzz_" +
            std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(work_.c_str(), nullptr);
    SetCurrentDirectoryW(work_.c_str());
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring dllPath(program);
    dllPath = dllPath.substr(0, dllPath.find_last_of(L"\\/") + 1) + L"Rastelle.dll";
    dll_ = LoadLibraryW(dllPath.c_str());
    ITypeLib* library = nullptr;
    if (dll_ && SUCCEEDED(LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &library))) library_.reset(library);
    else std::fprintf(stderr, "%s: cannot load %s and its type library\n", name, Narrow(dllPath.c_str()).c_str());
    watchdog_ = CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
}

void Session::StopWatchdog() {
    if (!watchdog_) return;
    g_finished.store(true);
    WaitForSingleObject(watchdog_, INFINITE);
    CloseHandle(std::exchange(watchdog_, nullptr));
}

Session::~Session() {
    StopWatchdog();
    // The calls' files, except those the platform still holds open.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((work_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do DeleteFileW((work_ + L"\\" + found.cFileName).c_str());
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetCurrentDirectoryW((work_ + L"\\..").c_str());
    RemoveDirectoryW(work_.c_str());
    CoUninitialize();
    std::fflush(stdout);
}

std::vector<Session::Coclass> Session::Coclasses() const {
    std::vector<Coclass> classes;
    for (UINT i = 0; library_ && i < library_->GetTypeInfoCount(); ++i) {
        ITypeInfo* raw = nullptr;
        if (FAILED(library_->GetTypeInfo(i, &raw))) continue;
        Coclass cls{{}, {}, Ref<ITypeInfo>(raw)};
        TYPEATTR* attr = nullptr;
        if (FAILED(raw->GetTypeAttr(&attr))) continue;
        const bool creatable = attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0;
        cls.clsid = attr->guid;
        raw->ReleaseTypeAttr(attr);
        BSTR name = nullptr;
        raw->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        cls.name = Narrow(name);
        SysFreeString(name);
        if (creatable) classes.push_back(std::move(cls));
    }
    return classes;
}

Ref<IDispatch> Session::Create(REFCLSID clsid) const {
    IClassFactory* factory = nullptr;
    const auto getClassObject = Export<GetClassObjectFn>(dll_, "DllGetClassObject");
    if (!getClassObject || FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    IDispatch* object = nullptr;
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    return Ref<IDispatch>(object);
}

int Session::Finish(int result) {
    StopWatchdog();
    library_.reset();
    const auto canUnload = Export<CanUnloadFn>(dll_, "DllCanUnloadNow");
    const HRESULT unload = canUnload ? canUnload() : E_FAIL;
    if (unload != S_OK) {
        std::fprintf(stderr, "%s: DllCanUnloadNow answers 0x%08lX after every object was released\n", g_name,
                     static_cast<unsigned long>(unload));
        result = result ? result : 1;
    }
    if (result == 0) std::printf("%s: passed\n", g_name);
    return result;
}

}  // namespace rastelle::fuzz
