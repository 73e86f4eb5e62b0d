// Type-library-driven fuzzer of the DLL's automation surface.
//
//   rastelle_dispatch_fuzzer.exe [--seed S] [--calls N] [--limit SECONDS] [--trace]
//
// Loads Rastelle.dll from the folder of this program and its type library,
// creates every creatable class through the DLL's class objects and calls
// IDispatch::Invoke on every member of their dual interfaces (restricted
// interfaces, whose callers are trusted with raw addresses, are left out)
// with generated arguments: every VARIANT type a script can produce, values
// at their limits, arrays of several ranks and bounds, by-reference
// variants, other objects, missing optionals. Calls go in random order on a
// shared pool of objects, so that states combine (no image, 1 x 1, large,
// after a failure); objects a call returns join the pool.
//
// Passes when no call crashes or hangs (a watchdog stops the run when one
// call takes longer than the limit), every failure is an HRESULT (an
// exception's EXCEPINFO carries a failing code), every result can be
// cleared, and at the end, with every object released, DllCanUnloadNow
// answers S_OK. The same
// seed gives the same calls; --trace prints each call before making it, to
// find the one that crashes.
#include <windows.h>

#include "fuzz_support.h"
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// --- Run settings and the watchdog ----------------------------------------------

struct Settings {
    std::uint32_t seed = 1;
    long calls = 2000;
    DWORD limitSeconds = 20;
    bool trace = false;
};

// What the current call is, for the watchdog and the crash report.
char g_current[512] = "(no call yet)";
std::atomic<ULONGLONG> g_callStarted{0};  // tick count; 0 between calls
std::atomic<bool> g_finished{false};

DWORD WINAPI Watchdog(void* parameter) {
    const ULONGLONG limit = static_cast<ULONGLONG>(*static_cast<DWORD*>(parameter)) * 1000;
    while (!g_finished.load()) {
        Sleep(250);
        const ULONGLONG started = g_callStarted.load();
        if (started != 0 && GetTickCount64() - started > limit) {
            std::fprintf(stderr, "dispatch fuzzer: HANG: call took over %llu s: %s\n", limit / 1000, g_current);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    return 0;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "dispatch fuzzer: CRASH: exception 0x%08lX during: %s\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode), g_current);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 4);
    return EXCEPTION_EXECUTE_HANDLER;
}

// --- COM helpers --------------------------------------------------------------------

using rastelle::fuzz::Ref;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

// A member of a dual interface, as the type library describes it.
struct Member {
    std::string name;  // Interface.Member
    MEMBERID id;
    INVOKEKIND kind;
    std::vector<VARTYPE> params;  // declared types
    int required;                 // parameters without default or optional flag
};

struct Interface {
    IID iid;
    std::string name;
    std::vector<Member> members;
};

// A creatable class: how to make it and the interfaces to call.
struct ClassInfo {
    CLSID clsid;
    std::string name;
    std::vector<const Interface*> interfaces;
};

std::vector<Member> MembersOf(ITypeInfo* info, const std::string& interfaceName) {
    std::vector<Member> members;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return members;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func))) continue;
        BSTR name = nullptr;
        info->GetDocumentation(func->memid, &name, nullptr, nullptr, nullptr);
        const std::string memberName = Narrow(name);
        SysFreeString(name);
        // IUnknown's and IDispatch's own members come with the dual interface.
        const bool inherited = func->oVft < static_cast<SHORT>(7 * sizeof(void*));
        const bool restrictedWithArguments = (func->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0 && func->cParams > 0;
        if (!inherited && !restrictedWithArguments) {
            Member member{interfaceName + "." + memberName, func->memid, func->invkind, {}, 0};
            for (SHORT p = 0; p < func->cParams; ++p) {
                const ELEMDESC& e = func->lprgelemdescParam[p];
                const bool optional = (e.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0;
                const bool out = (e.paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0 &&
                                 (e.paramdesc.wParamFlags & PARAMFLAG_FIN) == 0;
                if (out) continue;  // the retval
                VARTYPE vt = e.tdesc.vt;
                if (vt == VT_PTR && e.tdesc.lptdesc) vt = static_cast<VARTYPE>(e.tdesc.lptdesc->vt | VT_BYREF);
                if (vt == VT_USERDEFINED) vt = VT_I4;  // enumerations
                member.params.push_back(vt);
                if (!optional) member.required = static_cast<int>(member.params.size());
            }
            members.push_back(std::move(member));
        }
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

// --- Argument generation ----------------------------------------------------------

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}
    std::uint32_t Next() { return random_(); }
    bool Chance(unsigned percent) { return random_() % 100 < percent; }
    template <class T>
    const T& Pick(const std::vector<T>& items) { return items[random_() % items.size()]; }

    // Set for members that take image sizes: their any-32-bit values stay
    // below 4097 (a 1 x 470000000 image is valid, and takes long to make).
    bool sizes = false;

    // An integer: mostly small (image sizes stay small), sometimes one at a
    // limit of its type.
    LONG Integer() {
        static const std::vector<LONG> limits = {0, -1, 1, INT_MAX, INT_MIN, 32767, -32768, 65535, 65536,
                                                 INT_MAX - 1, INT_MIN + 1, 0x7FFF0000, 255, 256, -255};
        if (Chance(12)) return Pick(limits);
        switch (random_() % 4) {
            case 0: return static_cast<LONG>(random_() % 4);
            case 1: return static_cast<LONG>(random_() % 64);
            case 2: return static_cast<LONG>(random_() % 513) - 16;
            default: return static_cast<LONG>(sizes ? random_() % 4097 : random_());  // any 32 bits (colours)
        }
    }

    double Real() {
        static const std::vector<double> specials = {std::numeric_limits<double>::quiet_NaN(),
                                                     std::numeric_limits<double>::infinity(),
                                                     -std::numeric_limits<double>::infinity(),
                                                     std::numeric_limits<double>::max(),
                                                     -std::numeric_limits<double>::max(),
                                                     std::numeric_limits<double>::denorm_min(),
                                                     -0.0, 1e300, -1e300, 2147483648.0, -2147483649.0, 0.5, 2.5};
        if (Chance(25)) return Pick(specials);
        return (static_cast<double>(random_() % 200001) - 100000.0) / 100.0;
    }

    std::wstring Text() {
        switch (random_() % 10) {
            case 0: return L"";
            case 1: return std::wstring(100000 + random_() % 1000, L'x');
            case 2: return std::wstring(L"a\0b\0", 4);
            case 3: return L"12";
            case 4: return L"-1";
            case 5: return L"1e400";
            case 6: return L"C:\\no such folder\\x.png";
            case 7: return L"fuzz_output.bin";
            case 8: return L"\\\\?\\C:\\";
            default: {
                std::wstring s;
                const unsigned n = random_() % 12;
                for (unsigned i = 0; i < n; ++i) s += static_cast<wchar_t>(L' ' + random_() % 95);
                return s;
            }
        }
    }

private:
    std::mt19937 random_;
};

// Storage that by-reference arguments point into; lives until the call ends.
struct CallStorage {
    std::vector<std::unique_ptr<VARIANT>> variants;
    std::vector<std::unique_ptr<LONG>> longs;
    std::vector<std::unique_ptr<BSTR>> strings;
    std::vector<std::unique_ptr<double>> doubles;
    ~CallStorage() {
        for (auto& v : variants) VariantClear(v.get());
        for (auto& s : strings) SysFreeString(*s);
    }
};

class Fuzzer {
public:
    Fuzzer(const Settings& settings, IClassFactory* (*factoryOf)(REFCLSID))
        : settings_(settings), random_(settings.seed), factoryOf_(factoryOf) {}

    bool Load(const std::wstring& dllPath);
    int Run();
    void ReleaseAll() { pool_.clear(); }

private:
    struct PoolObject {
        Ref<IDispatch> dispatch;
        std::string name;                          // its class, or "returned object"
        std::vector<const Interface*> interfaces;  // those of the type library it answers
    };
    PoolObject Pooled(Ref<IDispatch> object, const ClassInfo* cls);

    Ref<IDispatch> Create(const ClassInfo& cls);
    void FillArgument(VARIANT& v, VARTYPE declared, CallStorage& storage, int depth = 0);
    void AnyVariant(VARIANT& v, CallStorage& storage, int depth);
    SAFEARRAY* AnyArray();
    IDispatch* AnyObject();
    bool Call(PoolObject& target, const Interface& itf, const Member& member);
    void KeepImagesSmall(IDispatch* object);

    Settings settings_;
    Generator random_;
    IClassFactory* (*factoryOf_)(REFCLSID);
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::vector<ClassInfo> classes_;
    std::vector<PoolObject> pool_;
    long failures_ = 0, successes_ = 0, faults_ = 0;
};

bool Fuzzer::Load(const std::wstring& dllPath) {
    ITypeLib* rawLib = nullptr;
    if (FAILED(LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &rawLib))) return false;
    const Ref<ITypeLib> lib(rawLib);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ITypeInfo* raw = nullptr;
        if (FAILED(lib->GetTypeInfo(i, &raw))) continue;
        const Ref<ITypeInfo> info(raw);
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) continue;
        const bool creatable = attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0;
        ClassInfo cls{attr->guid, {}, {}};
        const WORD implemented = attr->cImplTypes;
        info->ReleaseTypeAttr(attr);
        if (!creatable) continue;
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        cls.name = Narrow(name);
        SysFreeString(name);
        for (UINT k = 0; k < implemented; ++k) {
            HREFTYPE href = 0;
            ITypeInfo* rawItf = nullptr;
            if (FAILED(info->GetRefTypeOfImplType(k, &href)) || FAILED(info->GetRefTypeInfo(href, &rawItf))) continue;
            Ref<ITypeInfo> itfInfo(rawItf);
            TYPEATTR* itfAttr = nullptr;
            if (FAILED(itfInfo->GetTypeAttr(&itfAttr))) continue;
            const IID iid = itfAttr->guid;
            const bool dual = (itfAttr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
            const bool restricted = (itfAttr->wTypeFlags & TYPEFLAG_FRESTRICTED) != 0;
            itfInfo->ReleaseTypeAttr(itfAttr);
            if (!dual || restricted) continue;
            {  // the interface form of a dual interface describes its vtable members
                HREFTYPE vtable = 0;
                ITypeInfo* rawVtable = nullptr;
                if (SUCCEEDED(itfInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable)) &&
                    SUCCEEDED(itfInfo->GetRefTypeInfo(vtable, &rawVtable)))
                    itfInfo.reset(rawVtable);
            }
            const Interface* known = nullptr;
            for (const auto& existing : interfaces_)
                if (IsEqualIID(existing->iid, iid)) known = existing.get();
            if (!known) {
                BSTR itfName = nullptr;
                itfInfo->GetDocumentation(MEMBERID_NIL, &itfName, nullptr, nullptr, nullptr);
                auto added = std::make_unique<Interface>(Interface{iid, Narrow(itfName), {}});
                SysFreeString(itfName);
                added->members = MembersOf(itfInfo.get(), added->name);
                known = added.get();
                interfaces_.push_back(std::move(added));
            }
            cls.interfaces.push_back(known);
        }
        if (!cls.interfaces.empty()) classes_.push_back(std::move(cls));
    }
    return !classes_.empty();
}

Fuzzer::PoolObject Fuzzer::Pooled(Ref<IDispatch> object, const ClassInfo* cls) {
    PoolObject pooled{std::move(object), cls ? cls->name : "returned object", {}};
    if (cls) {
        pooled.interfaces = cls->interfaces;
        return pooled;
    }
    for (const auto& itf : interfaces_) {
        IUnknown* answer = nullptr;
        if (SUCCEEDED(pooled.dispatch->QueryInterface(itf->iid, reinterpret_cast<void**>(&answer))) && answer) {
            answer->Release();
            pooled.interfaces.push_back(itf.get());
        }
    }
    return pooled;
}

Ref<IDispatch> Fuzzer::Create(const ClassInfo& cls) {
    IClassFactory* factory = factoryOf_(cls.clsid);
    if (!factory) return nullptr;
    IDispatch* object = nullptr;
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    return Ref<IDispatch>(object);
}

IDispatch* Fuzzer::AnyObject() {
    if (pool_.empty() || random_.Chance(10)) return nullptr;  // Nothing
    return random_.Pick(pool_).dispatch.get();
}

SAFEARRAY* Fuzzer::AnyArray() {
    static const std::vector<VARTYPE> elements = {VT_I4, VT_VARIANT, VT_UI1, VT_BSTR, VT_R8, VT_I2, VT_BOOL, VT_DISPATCH};
    const VARTYPE vt = random_.Pick(elements);
    const UINT rank = 1 + random_.Next() % 3;
    SAFEARRAYBOUND bounds[3];
    ULONG total = 1;
    for (UINT d = 0; d < rank; ++d) {
        bounds[d].cElements = random_.Chance(10) ? 0 : 1 + random_.Next() % (rank == 1 ? 40 : 9);
        bounds[d].lLbound = random_.Chance(20) ? static_cast<LONG>(random_.Next() % 7) - 3 : 0;
        total *= bounds[d].cElements;
    }
    SAFEARRAY* array = SafeArrayCreate(vt, rank, bounds);
    if (!array || total == 0) return array;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return array;
    for (ULONG i = 0; i < total; ++i) {
        switch (vt) {
            case VT_I4: static_cast<LONG*>(data)[i] = random_.Integer(); break;
            case VT_UI1: static_cast<BYTE*>(data)[i] = static_cast<BYTE>(random_.Next()); break;
            case VT_I2: static_cast<SHORT*>(data)[i] = static_cast<SHORT>(random_.Next()); break;
            case VT_BOOL: static_cast<VARIANT_BOOL*>(data)[i] = random_.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE; break;
            case VT_R8: static_cast<double*>(data)[i] = random_.Real(); break;
            case VT_BSTR: static_cast<BSTR*>(data)[i] = SysAllocString(random_.Chance(50) ? L"7" : L"x"); break;
            case VT_DISPATCH: {
                IDispatch* object = AnyObject();
                if (object) object->AddRef();
                static_cast<IDispatch**>(data)[i] = object;
                break;
            }
            default: {
                VARIANT& v = static_cast<VARIANT*>(data)[i];
                v.vt = VT_I4;
                v.lVal = random_.Integer();
                if (random_.Chance(10)) {
                    v.vt = VT_BSTR;
                    v.bstrVal = SysAllocString(L"-3");
                }
            }
        }
    }
    SafeArrayUnaccessData(array);
    return array;
}

void Fuzzer::AnyVariant(VARIANT& v, CallStorage& storage, int depth) {
    VariantInit(&v);
    switch (random_.Next() % 22) {
        case 0: v.vt = VT_EMPTY; break;
        case 1: v.vt = VT_NULL; break;
        case 2: v.vt = VT_I2; v.iVal = static_cast<SHORT>(random_.Integer()); break;
        case 3: case 4: v.vt = VT_I4; v.lVal = random_.Integer(); break;
        case 5: v.vt = VT_R4; v.fltVal = static_cast<float>(random_.Real()); break;
        case 6: case 7: v.vt = VT_R8; v.dblVal = random_.Real(); break;
        case 8: v.vt = VT_BOOL; v.boolVal = random_.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE; break;
        case 9: {
            const std::wstring text = random_.Text();
            v.vt = VT_BSTR;  // sometimes a null BSTR, which scripts pass for ""
            v.bstrVal = random_.Chance(10) ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            break;
        }
        case 10: v.vt = VT_DATE; v.date = random_.Real(); break;
        case 11: v.vt = VT_CY; v.cyVal.int64 = static_cast<LONGLONG>(random_.Next()) << (random_.Next() % 32); break;
        case 12: v.vt = VT_ERROR; v.scode = random_.Chance(70) ? DISP_E_PARAMNOTFOUND : E_FAIL; break;
        case 13: v.vt = VT_UI1; v.bVal = static_cast<BYTE>(random_.Next()); break;
        case 14: case 15: {
            IDispatch* object = AnyObject();
            if (object) object->AddRef();
            v.vt = VT_DISPATCH;
            v.pdispVal = object;
            break;
        }
        case 16: {
            IDispatch* object = AnyObject();
            if (object) object->AddRef();
            v.vt = VT_UNKNOWN;
            v.punkVal = object;
            break;
        }
        case 17: case 18: {
            SAFEARRAY* array = AnyArray();
            if (!array) break;
            VARTYPE element = VT_EMPTY;
            SafeArrayGetVartype(array, &element);
            v.vt = static_cast<VARTYPE>(VT_ARRAY | element);
            v.parray = array;
            break;
        }
        case 19: v.vt = VT_I8; v.llVal = random_.Chance(50) ? LLONG_MIN : static_cast<LONGLONG>(random_.Integer()) * 4096; break;
        case 20: v.vt = VT_DECIMAL; v.decVal.Lo64 = random_.Next(); v.decVal.scale = static_cast<BYTE>(random_.Next() % 29); v.decVal.sign = random_.Chance(50) ? DECIMAL_NEG : 0; break;
        default: {
            if (depth > 1) break;
            // By reference, as scripts pass variables to ByRef parameters.
            auto target = std::make_unique<VARIANT>();
            AnyVariant(*target, storage, depth + 1);
            v.vt = VT_BYREF | VT_VARIANT;
            v.pvarVal = target.get();
            storage.variants.push_back(std::move(target));
        }
    }
}

void Fuzzer::FillArgument(VARIANT& v, VARTYPE declared, CallStorage& storage, int depth) {
    if (random_.Chance(30)) {
        AnyVariant(v, storage, depth);
        return;
    }
    VariantInit(&v);
    switch (declared & ~VT_BYREF) {
        case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: case VT_HRESULT:
            v.vt = VT_I4;
            v.lVal = random_.Integer();
            break;
        case VT_R4: case VT_R8: case VT_DATE: case VT_CY:
            v.vt = VT_R8;
            v.dblVal = random_.Real();
            break;
        case VT_BOOL:
            v.vt = VT_BOOL;
            v.boolVal = random_.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_BSTR: {
            const std::wstring text = random_.Text();
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            break;
        }
        case VT_DISPATCH: case VT_UNKNOWN: {
            IDispatch* object = AnyObject();
            if (object) object->AddRef();
            v.vt = VT_DISPATCH;
            v.pdispVal = object;
            break;
        }
        default: AnyVariant(v, storage, depth); return;
    }
    // Sometimes by reference: a script variable passed to the parameter.
    if (random_.Chance(15) && v.vt == VT_I4) {
        auto target = std::make_unique<LONG>(v.lVal);
        v.vt = VT_BYREF | VT_I4;
        v.plVal = target.get();
        storage.longs.push_back(std::move(target));
    } else if (random_.Chance(15) && v.vt == VT_BSTR) {
        auto target = std::make_unique<BSTR>(v.bstrVal);
        v.vt = VT_BYREF | VT_BSTR;
        v.pbstrVal = target.get();
        storage.strings.push_back(std::move(target));
    } else if (random_.Chance(10) && v.vt == VT_R8) {
        auto target = std::make_unique<double>(v.dblVal);
        v.vt = VT_BYREF | VT_R8;
        v.pdblVal = target.get();
        storage.doubles.push_back(std::move(target));
    }
}

// Replaces an image whose size would make later calls slow: many pixels, or
// a long side (turning a 32767 x 40 image makes one of 345 megapixels).
void Fuzzer::KeepImagesSmall(IDispatch* object) {
    auto property = [&](const wchar_t* name) -> LONG {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return 0;
        DISPPARAMS none{};
        VARIANT result;
        VariantInit(&result);
        if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                  nullptr)))
            return 0;
        const LONG value = result.vt == VT_I4 ? result.lVal : 0;
        VariantClear(&result);
        return value;
    };
    const LONG width = property(L"Width"), height = property(L"Height");
    if (static_cast<LONGLONG>(width) * height <= 1200 * 1200 && std::max(width, height) <= 4096) return;
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"EmptyImage")};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    VARIANT args[3];
    for (VARIANT& a : args) {
        VariantInit(&a);
        a.vt = VT_I4;
    }
    args[0].lVal = static_cast<LONG>(random_.Next());  // colour
    args[1].lVal = 1 + static_cast<LONG>(random_.Next() % 40);
    args[2].lVal = 1 + static_cast<LONG>(random_.Next() % 40);
    DISPPARAMS params{args, nullptr, 3, 0};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

bool Fuzzer::Call(PoolObject& target, const Interface& itf, const Member& member) {
    IDispatch* view = nullptr;
    if (FAILED(target.dispatch->QueryInterface(itf.iid, reinterpret_cast<void**>(&view))) || !view) return true;
    const Ref<IDispatch> dispatch(view);

    CallStorage storage;
    const int count = static_cast<int>(member.params.size());
    random_.sizes = false;
    for (const char* word : {"Resize", "Crop", "EmptyImage", "Width", "Height"})
        random_.sizes = random_.sizes || member.name.find(word) != std::string::npos;
    // Optional trailing parameters are left out now and then.
    int passed = count;
    if (member.required < count && random_.Chance(40))
        passed = member.required + static_cast<int>(random_.Next() % static_cast<unsigned>(count - member.required + 1));
    std::vector<VARIANT> args(static_cast<size_t>(passed));
    for (int i = 0; i < passed; ++i)  // rgvarg holds the arguments last first
        FillArgument(args[static_cast<size_t>(passed - 1 - i)], member.params[static_cast<size_t>(i)], storage);

    WORD flags = DISPATCH_METHOD;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(passed), 0};
    if (member.kind == INVOKE_PROPERTYGET) flags = DISPATCH_PROPERTYGET | (passed ? DISPATCH_METHOD : 0);
    if (member.kind == INVOKE_PROPERTYPUT || member.kind == INVOKE_PROPERTYPUTREF) {
        if (passed == 0) return true;
        flags = member.kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF;
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }

    std::snprintf(g_current, sizeof g_current, "%s on a %s with %d argument(s) (first type %d)", member.name.c_str(),
                  target.name.c_str(), passed,
                  passed ? static_cast<int>(args[static_cast<size_t>(passed - 1)].vt) : -1);
    if (settings_.trace) {
        // Every argument's type, and the class of each object passed.
        std::string detail;
        for (int i = passed - 1; i >= 0; --i) {
            const VARIANT& a = args[static_cast<size_t>(i)];
            detail += " " + std::to_string(a.vt);
            if (a.vt == VT_I4) detail += "=" + std::to_string(a.lVal);
            if (a.vt == (VT_BYREF | VT_I4)) detail += "=" + std::to_string(*a.plVal);
            if (a.vt == VT_R8) detail += "=" + std::to_string(a.dblVal);
            if (a.vt == (VT_BYREF | VT_R8)) detail += "=" + std::to_string(*a.pdblVal);
            if (a.vt == (VT_BYREF | VT_VARIANT)) detail += "->" + std::to_string(a.pvarVal->vt);
            if ((a.vt == VT_DISPATCH || a.vt == VT_UNKNOWN) && a.punkVal) {
                for (const PoolObject& p : pool_)
                    if (static_cast<IUnknown*>(p.dispatch.get()) == a.punkVal) detail += "(" + p.name + ")";
            }
        }
        std::fprintf(stderr, "%s:%s\n", g_current, detail.c_str());
        std::fflush(stderr);
    }

    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argError = 0;
    g_callStarted.store(GetTickCount64());
    const HRESULT hr = dispatch->Invoke(member.id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                        member.kind == INVOKE_PROPERTYPUT || member.kind == INVOKE_PROPERTYPUTREF
                                            ? nullptr
                                            : &result,
                                        &exception, &argError);
    g_callStarted.store(0);

    bool ok = true;
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        if (SUCCEEDED(exception.scode) && exception.wCode == 0) {
            std::fprintf(stderr, "dispatch fuzzer: FAULT: %s raised an exception without a failing code\n", g_current);
            ok = false;
        }
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr)) ++failures_;
    else ++successes_;

    // An object that came back joins the pool (the oldest returned one leaves
    // when it is full).
    if (SUCCEEDED(hr) && result.vt == VT_DISPATCH && result.pdispVal) {
        result.pdispVal->AddRef();
        if (pool_.size() >= 24) pool_.erase(pool_.begin() + 8 + static_cast<std::ptrdiff_t>(random_.Next() % 16));
        pool_.push_back(Pooled(Ref<IDispatch>(result.pdispVal), nullptr));
    }
    if (FAILED(VariantClear(&result))) {
        std::fprintf(stderr, "dispatch fuzzer: FAULT: %s returned a variant that cannot be cleared\n", g_current);
        ok = false;
    }
    for (VARIANT& a : args) VariantClear(&a);
    KeepImagesSmall(dispatch.get());
    return ok;
}

int Fuzzer::Run() {
    for (const ClassInfo& cls : classes_)
        for (int copies = 0; copies < (cls.name == "RasterObject" ? 4 : 1); ++copies)
            if (Ref<IDispatch> object = Create(cls)) pool_.push_back(Pooled(std::move(object), &cls));
    if (pool_.empty()) {
        std::fprintf(stderr, "dispatch fuzzer: no class could be created\n");
        return 2;
    }
    long calls = 0;
    std::vector<std::pair<const Interface*, const Member*>> targets;
    while (calls < settings_.calls) {
        // Now and then a fresh object of some class replaces one of the pool.
        if (random_.Chance(2)) {
            const ClassInfo& cls = random_.Pick(classes_);
            if (Ref<IDispatch> object = Create(cls)) pool_[random_.Next() % pool_.size()] = Pooled(std::move(object), &cls);
        }
        PoolObject& target = pool_[random_.Next() % pool_.size()];
        targets.clear();
        for (const Interface* itf : target.interfaces)
            for (const Member& m : itf->members) targets.emplace_back(itf, &m);
        if (targets.empty()) continue;
        const auto [itf, member] = targets[random_.Next() % targets.size()];
        if (!Call(target, *itf, *member)) ++faults_;
        ++calls;
    }
    std::printf("dispatch fuzzer: seed %u, %ld calls on %zu classes (%zu interfaces): %ld succeeded, %ld failed "
                "with an HRESULT, %ld faults\n",
                settings_.seed, calls, classes_.size(), interfaces_.size(), successes_, failures_, faults_);
    return faults_ == 0 ? 0 : 1;
}

// --- The DLL ------------------------------------------------------------------------

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
GetClassObjectFn g_getClassObject = nullptr;

IClassFactory* FactoryOf(REFCLSID clsid) {
    IClassFactory* factory = nullptr;
    if (FAILED(g_getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    return factory;
}

using rastelle::fuzz::ProgramFolder;

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seed" && i + 1 < argc) settings.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--calls" && i + 1 < argc) settings.calls = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--limit" && i + 1 < argc) settings.limitSeconds = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--trace") settings.trace = true;
        else {
            std::fprintf(stderr, "usage: %s [--seed S] [--calls N] [--limit SECONDS] [--trace]\n", argv[0]);
            return 2;
        }
    }
    SetUnhandledExceptionFilter(&ReportCrash);
    std::set_terminate([] {
        std::fprintf(stderr, "dispatch fuzzer: CRASH: terminate during: %s\n", g_current);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 5);
    });
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // Files the calls write land in a folder of their own.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"rastelle_fuzz_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(work.c_str(), nullptr);
    SetCurrentDirectoryW(work.c_str());

    const std::wstring dllPath = ProgramFolder() + L"Rastelle.dll";
    HMODULE dll = LoadLibraryW(dllPath.c_str());
    if (!dll) {
        std::fprintf(stderr, "dispatch fuzzer: cannot load %s\n", Narrow(dllPath.c_str()).c_str());
        return 2;
    }
    g_getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    const auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));

    HANDLE watchdog = CreateThread(nullptr, 0, &Watchdog, &settings.limitSeconds, 0, nullptr);
    int result = 2;
    {
        Fuzzer fuzzer(settings, &FactoryOf);
        if (fuzzer.Load(dllPath)) result = fuzzer.Run();
        else std::fprintf(stderr, "dispatch fuzzer: cannot read the type library\n");
        std::snprintf(g_current, sizeof g_current, "releasing the objects");
        fuzzer.ReleaseAll();
    }
    g_finished.store(true);
    WaitForSingleObject(watchdog, INFINITE);
    CloseHandle(watchdog);
    const HRESULT unload = canUnload ? canUnload() : E_FAIL;
    if (unload != S_OK) {
        std::fprintf(stderr, "dispatch fuzzer: DllCanUnloadNow answers 0x%08lX after every object was released\n",
                     static_cast<unsigned long>(unload));
        result = 1;
    }
    if (result == 0) std::printf("dispatch fuzzer: passed\n");

    // Clean up the work folder (the calls' files and the folder itself).
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((work + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((work + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetCurrentDirectoryW(temp);
    RemoveDirectoryW(work.c_str());
    CoUninitialize();
    std::fflush(stdout);
    return result;
}
