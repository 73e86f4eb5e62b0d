// Type-library-driven fuzzer of the DLL's automation surface (docs/reliability.md).
//
//   rastelle_dispatch_fuzzer.exe [--seed S] [--calls N] [--limit SECONDS] [--trace]
//
// Calls every member of the dual interfaces (restricted ones left out) of
// every creatable class through IDispatch::Invoke with generated arguments,
// in random order on a shared pool of objects (returned objects join it).
// A fault is a crash, a call over the limit, a failure without a failing
// code, a result that cannot be cleared, or DllCanUnloadNow not answering
// S_OK at the end. --trace prints each call before making it.
#include "fuzz_support.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>

namespace {

using namespace rastelle::fuzz;

// A member of a dual interface, as the type library describes it: its
// name (Interface.Member), declared parameter types and how many of them
// have neither a default nor the optional flag.
struct Member {
    std::string name;
    MEMBERID id;
    INVOKEKIND kind;
    std::vector<VARTYPE> params;
    int required;
};
struct Interface {
    IID iid;
    std::string name;
    std::vector<Member> members;
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
        Member member{interfaceName + "." + Narrow(name), func->memid, func->invkind, {}, 0};
        SysFreeString(name);
        // IUnknown's and IDispatch's own members come with the dual interface.
        const bool inherited = func->oVft < static_cast<SHORT>(7 * sizeof(void*));
        const bool restrictedWithArguments = (func->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0 && func->cParams > 0;
        for (SHORT p = 0; p < func->cParams; ++p) {
            const ELEMDESC& e = func->lprgelemdescParam[p];
            const USHORT flags = e.paramdesc.wParamFlags;
            if ((flags & PARAMFLAG_FOUT) && !(flags & PARAMFLAG_FIN)) continue;  // the retval
            VARTYPE vt = e.tdesc.vt;
            if (vt == VT_PTR && e.tdesc.lptdesc) vt = static_cast<VARTYPE>(e.tdesc.lptdesc->vt | VT_BYREF);
            member.params.push_back(vt == VT_USERDEFINED ? VARTYPE{VT_I4} : vt);  // enumerations
            if (!(flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) member.required = int(member.params.size());
        }
        if (!inherited && !restrictedWithArguments) members.push_back(std::move(member));
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);
    return members;
}

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

    // Mostly small (image sizes stay small), sometimes at a limit of its type.
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
        using limits = std::numeric_limits<double>;
        static const std::vector<double> specials = {limits::quiet_NaN(), limits::infinity(), -limits::infinity(),
                                                     limits::max(), -limits::max(), limits::denorm_min(), -0.0,
                                                     1e300, -1e300, 2147483648.0, -2147483649.0, 0.5, 2.5,
                                                     // font sizes whose captions dwarf any image
                                                     200.0, 1000.0, 2000.0, 12000.0, 33.0};
        if (Chance(25)) return Pick(specials);
        return (static_cast<double>(random_() % 200001) - 100000.0) / 100.0;
    }

    std::wstring Text() {
        static const std::vector<std::wstring> fixed = {
            L"", L"", L"", L"12", L"-1", L"1e400", L"C:\\no such folder\\x.png", L"fuzz_output.bin", L"\\\\?\\C:\\"};
        const unsigned kind = random_() % 10;
        if (kind == 1) return std::wstring(100000 + random_() % 1000, L'x');
        if (kind == 3 && Chance(50)) return std::wstring(1500 + random_() % 20000, L'W');  // a long caption
        if (kind == 2) return std::wstring(L"a\0b\0", 4);
        if (kind < 9) return fixed[kind];
        std::wstring s;
        for (unsigned n = random_() % 12; n > 0; --n) s += static_cast<wchar_t>(L' ' + random_() % 95);
        return s;
    }
    // Text() as a BSTR; in `nulls` percent of the cases a null one, which scripts pass for "".
    BSTR String(unsigned nulls = 0) {
        const std::wstring text = Text();
        return nulls && Chance(nulls) ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }

private:
    std::mt19937 random_;
};

// What by-reference arguments point into; lives until the call ends.
using CallStorage = std::vector<std::unique_ptr<Variant>>;

class Fuzzer {
public:
    Fuzzer(const Session& session, std::uint32_t seed, bool trace)
        : session_(session), seed_(seed), random_(seed), trace_(trace) {}

    bool Load();
    long Run(long calls);
    void ReleaseAll() { pool_.clear(); }

private:
    struct PoolObject {
        Ref<IDispatch> dispatch;
        std::string name;                          // its class, or "returned object"
        std::vector<const Interface*> interfaces;  // those of the type library it answers
    };
    struct ClassInfo {
        CLSID clsid;
        std::string name;
        std::vector<const Interface*> interfaces;
    };
    PoolObject Pooled(Ref<IDispatch> object, const ClassInfo* cls);
    void FillArgument(VARIANT& v, VARTYPE declared, CallStorage& storage);
    void AnyVariant(VARIANT& v, CallStorage& storage, int depth);
    SAFEARRAY* AnyArray();
    IDispatch* AnyObject();
    bool Call(PoolObject& target, const Interface& itf, const Member& member);
    void KeepImagesSmall(IDispatch* object);

    const Session& session_;
    std::uint32_t seed_;
    Generator random_;
    bool trace_;
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::vector<ClassInfo> classes_;
    std::vector<PoolObject> pool_;
    long failures_ = 0, successes_ = 0;
};

bool Fuzzer::Load() {
    for (const Session::Coclass& coclass : session_.Coclasses()) {
        ClassInfo cls{coclass.clsid, coclass.name, {}};
        TYPEATTR* attr = nullptr;
        if (FAILED(coclass.info->GetTypeAttr(&attr))) continue;
        const WORD implemented = attr->cImplTypes;
        coclass.info->ReleaseTypeAttr(attr);
        for (UINT k = 0; k < implemented; ++k) {
            HREFTYPE href = 0;
            ITypeInfo* raw = nullptr;
            if (FAILED(coclass.info->GetRefTypeOfImplType(k, &href)) || FAILED(coclass.info->GetRefTypeInfo(href, &raw)))
                continue;
            Ref<ITypeInfo> itfInfo(raw);
            if (FAILED(itfInfo->GetTypeAttr(&attr))) continue;
            const IID iid = attr->guid;
            const bool wanted = (attr->wTypeFlags & TYPEFLAG_FDUAL) && !(attr->wTypeFlags & TYPEFLAG_FRESTRICTED);
            itfInfo->ReleaseTypeAttr(attr);
            if (!wanted) continue;
            // The interface form of a dual interface describes its vtable members.
            if (SUCCEEDED(itfInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) &&
                SUCCEEDED(itfInfo->GetRefTypeInfo(href, &raw)))
                itfInfo.reset(raw);
            auto known = std::find_if(interfaces_.begin(), interfaces_.end(),
                                      [&](const auto& existing) { return IsEqualIID(existing->iid, iid); });
            if (known == interfaces_.end()) {
                BSTR name = nullptr;
                itfInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
                auto added = std::make_unique<Interface>(Interface{iid, Narrow(name), {}});
                SysFreeString(name);
                added->members = MembersOf(itfInfo.get(), added->name);
                known = interfaces_.insert(interfaces_.end(), std::move(added));
            }
            cls.interfaces.push_back(known->get());
        }
        if (!cls.interfaces.empty()) classes_.push_back(std::move(cls));
    }
    return !classes_.empty();
}

// A returned object (no class) answers the interfaces it answers.
Fuzzer::PoolObject Fuzzer::Pooled(Ref<IDispatch> object, const ClassInfo* cls) {
    PoolObject pooled{std::move(object), cls ? cls->name : "returned object",
                      cls ? cls->interfaces : std::vector<const Interface*>{}};
    IUnknown* answer = nullptr;
    for (const auto& itf : interfaces_)
        if (!cls && SUCCEEDED(pooled.dispatch->QueryInterface(itf->iid, reinterpret_cast<void**>(&answer))) && answer)
            answer->Release(), pooled.interfaces.push_back(itf.get());
    return pooled;
}

// A new reference to an object of the pool, or Nothing.
IDispatch* Fuzzer::AnyObject() {
    if (pool_.empty() || random_.Chance(10)) return nullptr;
    IDispatch* object = random_.Pick(pool_).dispatch.get();
    return object->AddRef(), object;
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
    void* data = nullptr;
    if (!array || total == 0 || FAILED(SafeArrayAccessData(array, &data))) return array;
    for (ULONG i = 0; i < total; ++i) {
        switch (vt) {
            case VT_I4: static_cast<LONG*>(data)[i] = random_.Integer(); break;
            case VT_UI1: static_cast<BYTE*>(data)[i] = static_cast<BYTE>(random_.Next()); break;
            case VT_I2: static_cast<SHORT*>(data)[i] = static_cast<SHORT>(random_.Next()); break;
            case VT_BOOL: static_cast<VARIANT_BOOL*>(data)[i] = random_.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE; break;
            case VT_R8: static_cast<double*>(data)[i] = random_.Real(); break;
            case VT_BSTR: static_cast<BSTR*>(data)[i] = SysAllocString(random_.Chance(50) ? L"7" : L"x"); break;
            case VT_DISPATCH: static_cast<IDispatch**>(data)[i] = AnyObject(); break;
            default: {
                VARIANT& v = static_cast<VARIANT*>(data)[i];
                v.vt = VT_I4, v.lVal = random_.Integer();
                if (random_.Chance(10)) v.vt = VT_BSTR, v.bstrVal = SysAllocString(L"-3");
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
        case 9: v.vt = VT_BSTR; v.bstrVal = random_.String(10); break;
        case 10: v.vt = VT_DATE; v.date = random_.Real(); break;
        case 11: v.vt = VT_CY; v.cyVal.int64 = static_cast<LONGLONG>(random_.Next()) << (random_.Next() % 32); break;
        case 12: v.vt = VT_ERROR; v.scode = random_.Chance(70) ? DISP_E_PARAMNOTFOUND : E_FAIL; break;
        case 13: v.vt = VT_UI1; v.bVal = static_cast<BYTE>(random_.Next()); break;
        case 14: case 15: v.vt = VT_DISPATCH; v.pdispVal = AnyObject(); break;
        case 16: v.vt = VT_UNKNOWN; v.punkVal = AnyObject(); break;
        case 17: case 18: {
            VARTYPE element = VT_EMPTY;
            if (SAFEARRAY* array = AnyArray())
                SafeArrayGetVartype(array, &element), v.vt = static_cast<VARTYPE>(VT_ARRAY | element), v.parray = array;
            break;
        }
        case 19: v.vt = VT_I8; v.llVal = random_.Chance(50) ? LLONG_MIN : static_cast<LONGLONG>(random_.Integer()) * 4096; break;
        case 20:
            v.vt = VT_DECIMAL, v.decVal.Lo64 = random_.Next(), v.decVal.scale = static_cast<BYTE>(random_.Next() % 29);
            v.decVal.sign = random_.Chance(50) ? DECIMAL_NEG : 0;
            break;
        default:
            if (depth > 1) break;
            // By reference, as scripts pass variables to ByRef parameters.
            storage.push_back(std::make_unique<Variant>());
            AnyVariant(*storage.back(), storage, depth + 1);
            v.vt = VT_BYREF | VT_VARIANT, v.pvarVal = storage.back().get();
    }
}

void Fuzzer::FillArgument(VARIANT& v, VARTYPE declared, CallStorage& storage) {
    if (random_.Chance(30)) return AnyVariant(v, storage, 0);
    VariantInit(&v);
    switch (declared & ~VT_BYREF) {
        case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT: case VT_HRESULT:
            v.vt = VT_I4, v.lVal = random_.Integer();
            break;
        case VT_R4: case VT_R8: case VT_DATE: case VT_CY: v.vt = VT_R8; v.dblVal = random_.Real(); break;
        case VT_BOOL: v.vt = VT_BOOL; v.boolVal = random_.Chance(50) ? VARIANT_TRUE : VARIANT_FALSE; break;
        case VT_BSTR: v.vt = VT_BSTR; v.bstrVal = random_.String(); break;
        case VT_DISPATCH: case VT_UNKNOWN: v.vt = VT_DISPATCH; v.pdispVal = AnyObject(); break;
        default: return AnyVariant(v, storage, 0);
    }
    // Sometimes by reference: a script variable passed to the parameter.
    const bool byRef = (random_.Chance(15) && v.vt == VT_I4) || (random_.Chance(15) && v.vt == VT_BSTR) ||
                       (random_.Chance(10) && v.vt == VT_R8);
    if (byRef) {
        storage.push_back(std::make_unique<Variant>());
        static_cast<VARIANT&>(*storage.back()) = v;  // the target owns the value now
        v.vt |= VT_BYREF, v.byref = &storage.back()->lVal;
    }
}

// Replaces an image whose size would make later calls slow: many pixels, or
// a long side (turning a 32767 x 40 image makes one of 345 megapixels).
void Fuzzer::KeepImagesSmall(IDispatch* object) {
    Variant width, height;
    Invoke(object, L"Width", DISPATCH_PROPERTYGET, {}, &width);
    Invoke(object, L"Height", DISPATCH_PROPERTYGET, {}, &height);
    const LONG w = width.vt == VT_I4 ? width.lVal : 0, h = height.vt == VT_I4 ? height.lVal : 0;
    if (static_cast<LONGLONG>(w) * h <= 1200 * 1200 && std::max(w, h) <= 4096) return;
    const long colour = static_cast<long>(random_.Next()), rows = 1 + random_.Next() % 40;
    Invoke(object, L"EmptyImage", DISPATCH_METHOD, {Long(1 + random_.Next() % 40), Long(rows), Long(colour)}, nullptr);
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

    const bool put = member.kind == INVOKE_PROPERTYPUT || member.kind == INVOKE_PROPERTYPUTREF;
    if (put && passed == 0) return true;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), put ? &named : nullptr, static_cast<UINT>(passed), put ? 1u : 0u};
    const WORD flags = member.kind == INVOKE_PROPERTYPUT      ? DISPATCH_PROPERTYPUT
                       : member.kind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF
                       : member.kind == INVOKE_PROPERTYGET    ? DISPATCH_PROPERTYGET | (passed ? DISPATCH_METHOD : 0)
                                                              : DISPATCH_METHOD;

    const std::string call = member.name + " on a " + target.name + " with " + std::to_string(passed) +
                             " argument(s) (first type " + std::to_string(passed ? args.back().vt : -1) + ")";
    SetCurrent(call);
    if (trace_) {  // each argument's type, and its value when a number
        std::string detail;
        for (auto a = args.rbegin(); a != args.rend(); ++a) {
            detail += " " + std::to_string(a->vt);
            if ((a->vt & ~VT_BYREF) == VT_I4) detail += "=" + std::to_string(a->vt & VT_BYREF ? *a->plVal : a->lVal);
            if ((a->vt & ~VT_BYREF) == VT_R8) detail += "=" + std::to_string(a->vt & VT_BYREF ? *a->pdblVal : a->dblVal);
        }
        std::fprintf(stderr, "%s:%s\n", call.c_str(), detail.c_str());
        std::fflush(stderr);
    }

    Variant result;
    const Outcome outcome = Invoke(dispatch.get(), member.id, flags, &params, put ? nullptr : &result);
    bool ok = outcome.failingCode;
    if (!ok) std::fprintf(stderr, "dispatch fuzzer: FAULT: %s raised an exception without a failing code\n", call.c_str());
    ++(FAILED(outcome.hr) ? failures_ : successes_);

    // An object that came back joins the pool (the oldest returned one leaves
    // when it is full).
    if (SUCCEEDED(outcome.hr) && result.vt == VT_DISPATCH && result.pdispVal) {
        result.pdispVal->AddRef();
        if (pool_.size() >= 24) pool_.erase(pool_.begin() + 8 + static_cast<std::ptrdiff_t>(random_.Next() % 16));
        pool_.push_back(Pooled(Ref<IDispatch>(result.pdispVal), nullptr));
    }
    if (FAILED(VariantClear(&result))) {
        std::fprintf(stderr, "dispatch fuzzer: FAULT: %s returned a variant that cannot be cleared\n", call.c_str());
        ok = false;
    }
    for (VARIANT& a : args) VariantClear(&a);
    KeepImagesSmall(dispatch.get());
    return ok;
}

// Makes `calls` calls; returns the number of faults, or -1 when nothing could be created.
long Fuzzer::Run(long calls) {
    for (const ClassInfo& cls : classes_)
        for (int copies = 0; copies < (cls.name == "RasterObject" ? 4 : 1); ++copies)
            if (Ref<IDispatch> object = session_.Create(cls.clsid)) pool_.push_back(Pooled(std::move(object), &cls));
    if (pool_.empty()) return -1;
    long made = 0, faults = 0;
    std::vector<std::pair<const Interface*, const Member*>> targets;
    while (made < calls) {
        // Now and then a fresh object of some class replaces one of the pool.
        if (random_.Chance(2)) {
            const ClassInfo& cls = random_.Pick(classes_);
            if (Ref<IDispatch> object = session_.Create(cls.clsid))
                pool_[random_.Next() % pool_.size()] = Pooled(std::move(object), &cls);
        }
        PoolObject& target = pool_[random_.Next() % pool_.size()];
        targets.clear();
        for (const Interface* itf : target.interfaces)
            for (const Member& m : itf->members) targets.emplace_back(itf, &m);
        if (targets.empty()) continue;
        const auto [itf, member] = targets[random_.Next() % targets.size()];
        faults += Call(target, *itf, *member) ? 0 : 1;
        ++made;
    }
    std::printf("dispatch fuzzer: seed %lu, %ld calls on %zu classes (%zu interfaces): %ld succeeded, %ld failed "
                "with an HRESULT, %ld faults\n",
                static_cast<unsigned long>(seed_), made, classes_.size(), interfaces_.size(), successes_, failures_, faults);
    return faults;
}

}  // namespace

int main(int argc, char** argv) {
    const long seed = NumberOption(argc, argv, "--seed", 1), calls = NumberOption(argc, argv, "--calls", 2000);
    const bool trace = FindOption(argc, argv, "--trace") != 0;
    Session session("dispatch fuzzer", NumberOption(argc, argv, "--limit", 20));
    long faults = -1;
    {
        Fuzzer fuzzer(session, static_cast<std::uint32_t>(seed), trace);
        if (!session.loaded() || !fuzzer.Load()) std::fprintf(stderr, "dispatch fuzzer: cannot read the type library\n");
        else if ((faults = fuzzer.Run(calls)) < 0) std::fprintf(stderr, "dispatch fuzzer: no class could be created\n");
        SetCurrent("releasing the objects");
        fuzzer.ReleaseAll();
    }
    return session.Finish(faults < 0 ? 2 : faults > 0 ? 1 : 0);
}
