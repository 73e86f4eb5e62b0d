// Capability probes of the platform's image encoders: whether a parameter a
// client sets actually changes what the encoder writes. Each runs once per
// process, on first use, and needs GDI+ started.
#pragma once

namespace rastelle::codecs {

// The TIFF encoder writes different files for EncoderCompression none and LZW.
bool PlatformHonoursTiffCompression() noexcept;
// The TIFF encoder writes different files for EncoderColorDepth 24 and 32.
bool PlatformHonoursTiffColorDepth() noexcept;
// The GIF encoder writes an 8-bit indexed image with its transparent palette
// entry as the transparent index of a Graphic Control Extension.
bool PlatformWritesGifTransparency() noexcept;
// Image attributes accept an output channel (the CMYK separation).
bool PlatformSeparatesOutputChannels() noexcept;

}  // namespace rastelle::codecs
