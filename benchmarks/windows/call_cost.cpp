// What a raster object's lock adds to a call: RasterObject.Width read through
// IDispatch::Invoke (as a script reads it) from the object clients get, beside
// the same read from the same class without the lock, and the time of one
// uncontended take-and-release of the lock; in alternating rounds in one
// process. Prints each round and the medians of the ratios.
#include "com/com_ptr.h"
#include "com/module_state.h"
#include "com/object_lock.h"
#include "raster/raster_object.h"
#include "rastelle_h.h"

#include <oleauto.h>

#include "platform/gdiplus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double NanosecondsPer(int count, auto&& body) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) body();
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / count;
}

// The raster object without its lock, for the comparison only.
class UnlockedRasterObject final : public rastelle::RasterObject {};

rastelle::com::ComPtr<IDispatch> WithImage(rastelle::com::ComPtr<IDispatch> raster) {
    DISPID id = 0;
    wchar_t name[] = L"EmptyImage";
    LPOLESTR names[] = {name};
    raster->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT args[3];
    for (VARIANT& arg : args) VariantInit(&arg), arg.vt = VT_I4, arg.lVal = 16;
    DISPPARAMS params{args, nullptr, 3, 0};
    raster->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    return raster;
}

double WidthNanoseconds(IDispatch* raster) {
    DISPID id = 0;
    wchar_t name[] = L"Width";
    LPOLESTR names[] = {name};
    raster->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    DISPPARAMS none{};
    return NanosecondsPer(200000, [&] {
        VARIANT result;
        VariantInit(&result);
        raster->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    });
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    using rastelle::com::ComPtr;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The objects below are this program's own; their type information is
    // the DLL's, found through the module they take for theirs.
    rastelle::com::SetModuleInstance(LoadLibraryW(L"Rastelle.dll"));
    ComPtr<IDispatch> locked, unlocked;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    if (FAILED(rastelle::RasterObject::Create(nullptr, IID_IDispatch, locked.put_void())) ||
        FAILED(rastelle::com::CreateComObject<UnlockedRasterObject>(nullptr, IID_IDispatch, unlocked.put_void()))) {
        std::puts("cannot make the raster objects");
        return 1;
    }
    locked = WithImage(std::move(locked));
    unlocked = WithImage(std::move(unlocked));

    rastelle::com::ObjectLock lock;
    std::vector<double> added, lockShare;
    for (int round = 0; round < 9; ++round) {
        const double with = WidthNanoseconds(locked.get());
        const double without = WidthNanoseconds(unlocked.get());
        const double pair = NanosecondsPer(5000000, [&] { rastelle::com::ObjectLock::Hold hold(lock); });
        added.push_back((with - without) / without);
        lockShare.push_back(pair / without);
        std::printf("round %d: Width through IDispatch %.1f ns with the lock, %.1f ns without; "
                    "the lock alone %.2f ns\n", round, with, without, pair);
    }
    std::printf("time added to Width by the lock: median %+.2f %% (range %+.2f .. %+.2f %%)\n", 100 * Median(added),
                100 * *std::min_element(added.begin(), added.end()), 100 * *std::max_element(added.begin(), added.end()));
    std::printf("the lock alone, as a share of Width: median %.2f %%\n", 100 * Median(lockShare));
    locked.reset();
    unlocked.reset();
    Gdiplus::GdiplusShutdown(token);
    CoUninitialize();
    return 0;
}
