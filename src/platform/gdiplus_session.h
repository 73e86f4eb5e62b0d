// A GDI+ start-up of this module, shut down when its holder goes. The raster
// object, the layer item and the drawing tool each hold one for their life;
// work that runs without such an object (a transform or an effect applied to
// arrays, the multi-frame files, the capability probes) holds one for the
// call. GDI+ counts start-ups, so nested ones are cheap.
#pragma once

#include "platform/gdiplus.h"

namespace rastelle::platform {

class GdiplusSession {
public:
    GdiplusSession() noexcept = default;
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession();

    // Starts GDI+ (once); its status.
    Status Start() noexcept;

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

}  // namespace rastelle::platform
