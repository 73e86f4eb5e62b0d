// The one place that includes the GDI+ headers, and the layer every GDI+ call
// of the system goes through: gp::GdipName calls GDI+'s GdipName only while a
// GDI+ start-up of this module is live (platform/gdiplus_session.h), and
// otherwise answers GdiplusNotInitialized (a null handle for the one function
// that returns one) without calling it. Windows answers so itself; Wine does
// not, and the check makes both platforms behave alike, so that a path
// without a start-up fails in the tests as it would on Windows.
//
// The SDK's headers expect the min and max macros of windows.h, which this
// project keeps disabled.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <type_traits>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

#include "platform/gdiplus_functions.h"

namespace rastelle {
using Gdiplus::Status;

namespace platform {
// True while a GDI+ start-up of this module is live.
bool GdiplusStarted() noexcept;
}  // namespace platform

namespace gp {

template <auto Function>
struct CheckedCall;

template <class Result, class... Args, Result(WINGDIPAPI* Function)(Args...)>
struct CheckedCall<Function> {
    static Result WINGDIPAPI Call(Args... args) noexcept {
        if (!platform::GdiplusStarted()) {
            if constexpr (std::is_same_v<Result, Gdiplus::GpStatus>) return Gdiplus::GdiplusNotInitialized;
            else return Result{};
        }
        return Function(args...);
    }
};

#define RASTELLE_CHECKED_GDIPLUS_CALL(name) \
    inline constexpr auto name = &CheckedCall<&Gdiplus::DllExports::name>::Call;
RASTELLE_GDIPLUS_FUNCTIONS(RASTELLE_CHECKED_GDIPLUS_CALL)
#undef RASTELLE_CHECKED_GDIPLUS_CALL

}  // namespace gp
}  // namespace rastelle
