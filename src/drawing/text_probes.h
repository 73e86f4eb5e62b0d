// What the platform's GDI+ does with text, probed once per process: whether
// it honours the single-bit-per-pixel rendering hint and the vertical and
// right-to-left string format flags. Where it does not, text drawing makes
// up for it (see primitives.h). A probe that cannot draw (no font) reports
// the platform as faithful.
#pragma once

namespace rastelle::drawing {

bool PlatformDrawsSingleBitText() noexcept;
bool PlatformHonoursVerticalText() noexcept;
bool PlatformHonoursRightToLeftText() noexcept;

}  // namespace rastelle::drawing
