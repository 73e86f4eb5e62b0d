// The limit on pixels decoded from files and streams: a small upload may
// declare a huge picture (a 1 MB PNG of 20000 x 20000 pixels), and a web
// server that decodes a few of those at once runs out of memory. Everything
// read from a file or a stream is held to it, judged from the headers before
// any pixel memory is taken; what a page makes itself is not.
#pragma once

#include <cstdint>

namespace rastelle::platform {

// Pillow's refusal threshold: about 716 MB of 32-bit pixels.
inline constexpr std::uint64_t kDefaultMaxImagePixels = 178956970;

// The limit in force: the REG_DWORD value MaxImagePixels of
// HKLM\SOFTWARE\Rastelle (the 64-bit view, so both builds of the DLL read
// the same value), 0 meaning no limit below what a bitmap can hold; the
// default when the value is missing. Read once per process.
std::uint64_t MaxImagePixels() noexcept;

}  // namespace rastelle::platform
