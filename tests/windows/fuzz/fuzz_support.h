// What the fuzzing programs share: the command line, the watchdog and crash
// report, a work folder, Rastelle.dll loaded from the program's folder with
// its type library, calls through IDispatch that check their EXCEPINFO, and
// the closing DllCanUnloadNow check.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <initializer_list>
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

// A command-line option: `--name` alone sets `flag`; `--name N` sets
// `number`; `--name N PATH` sets `number` and `path`.
struct Option {
    const char* name;
    long* number = nullptr;
    bool* flag = nullptr;
    std::string* path = nullptr;
};
// False (after printing `usage`) on an argument no option takes.
bool ParseOptions(int argc, char** argv, std::initializer_list<Option> options, const char* usage);

// What the program does now, named by the watchdog's and the crash report's
// message, with the file that holds the current input when there is one.
void SetCurrent(const std::string& what);
extern std::wstring g_inputPath;

// One Invoke, timed by the watchdog. A failure's EXCEPINFO must carry a
// failing code and a text: `failingCode` and `described` say whether it did.
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
    ITypeLib* library() const { return library_.get(); }
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
