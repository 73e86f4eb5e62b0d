// The one place that includes the GDI+ headers. The SDK's headers expect the
// min and max macros of windows.h, which this project keeps disabled.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

namespace rastelle {
namespace gp = Gdiplus::DllExports;
using Gdiplus::Status;
}  // namespace rastelle
