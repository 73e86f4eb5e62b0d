// Whether the platform's GDI+ renders its interpolation modes distinctly.
// Some implementations draw every mode but nearest neighbour as the same
// plain bilinear image; the resampling transforms then use the system's own
// kernels so that each quality choice means what it says.
#pragma once

namespace rastelle::platform {

// Answered once per process.
bool InterpolationModesAreDistinct() noexcept;

// The probe itself: reduces a fine checkerboard with bilinear and with
// high-quality bicubic interpolation and compares the results.
bool ProbeInterpolationModes() noexcept;

}  // namespace rastelle::platform
