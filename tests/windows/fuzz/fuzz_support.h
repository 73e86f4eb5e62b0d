// What the fuzzing programs share: the command line, the watchdog and crash
// report, a work folder, Rastelle.dll loaded from the program's folder with
// its type library, calls through IDispatch that check their EXCEPINFO, and
// the closing DllCanUnloadNow check.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

namespace rastelle::fuzz {

template <class T>
struct Releaser {
    void operator()(T* p) const {
        if (p) p->Release();
    }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser<T>>;

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};
VARIANT Long(long value);

std::string Narrow(const wchar_t* text);

// Where `name` is on the command line (0: absent), and the number after it.
int FindOption(int argc, char** argv, const char* name);
long NumberOption(int argc, char** argv, const char* name, long fallback);

// What the program does now, for the watchdog's and the crash report's
// message, and the file that holds the current input, if any.
void SetCurrent(const std::string& what);
extern std::wstring g_inputPath;

// One Invoke, timed by the watchdog; whether a failure's EXCEPINFO carried a
// failing code and a text.
struct Outcome {
    HRESULT hr = E_FAIL;
    bool failingCode = true;
    bool described = true;
};
Outcome Invoke(IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result);
// By member name, with the arguments first to last.
Outcome Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result);

// A run: reports crashes, hangs (a call over `limitSeconds`) and
// std::terminate under `name`, initializes COM, works in a folder of its own
// (its files removed at the end), and loads Rastelle.dll and its type library.
class Session {
public:
    Session(const char* name, long limitSeconds);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool loaded() const { return library_ != nullptr; }
    const std::wstring& work() const { return work_; }

    // The creatable classes of the type library.
    struct Coclass {
        CLSID clsid;
        std::string name;
        Ref<ITypeInfo> info;
    };
    std::vector<Coclass> Coclasses() const;
    // An object made through the DLL's class object, or null.
    Ref<IDispatch> Create(REFCLSID clsid) const;

    // Stops the watchdog and, with every object released, checks that
    // DllCanUnloadNow answers S_OK; prints "<name>: passed" when all passed.
    int Finish(int result);

private:
    void StopWatchdog();

    std::wstring work_;
    HMODULE dll_ = nullptr;
    Ref<ITypeLib> library_;
    HANDLE watchdog_ = nullptr;
};

}  // namespace rastelle::fuzz
