// GIF output: the image reduced to a palette of the system's own (an octree
// palette or the halftone palette), every pixel mapped to its nearest entry,
// the entries that transparent pixels land on made transparent, and the
// indexed result written as a GIF file.
#pragma once

#include "platform/file_name.h"
#include "platform/gdiplus.h"
#include "image/bitmap.h"
#include "rastelle_h.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::codecs {

// Results of the build besides GDI+ statuses.
inline constexpr Status kGifNoPalette = static_cast<Status>(1);        // no palette, or a fault in the pixel walk
inline constexpr Status kGifUnknownPaletteType = static_cast<Status>(2);
inline constexpr Status kGifNoMemory = static_cast<Status>(3);

// An 8-bit indexed image whose palette (with its flags) is already set.
struct IndexedImage {
    std::unique_ptr<Bitmap> bitmap;
    std::vector<Gdiplus::ARGB> palette;
};

// Builds the indexed copy of source with a palette of colourCount entries
// (clamped to 2..256). With antialiasingPreprocess the source itself is
// flattened against its background first. Returns 0, one of the results
// above or a GDI+ status.
Status BuildIndexedImage(Bitmap& source, UINT colourCount, bool transparent, bool antialiasingPreprocess,
                         PaletteTypes paletteType, IndexedImage& indexed);

// Builds the indexed image and saves it as a GIF with the system's own GIF
// writer. Returns a GDI+-style status.
Status SaveGifWithPalette(Bitmap& source, const platform::FileName& fileName, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);
Status SaveGifWithPalette(Bitmap& source, IStream* stream, UINT colourCount,
                          VARIANT_BOOL transparent, VARIANT_BOOL antialiasingPreprocess, PaletteTypes paletteType);

// Hundredths of a second each frame of an animated GIF is shown.
inline constexpr int kFrameDelay = 100;

// The system's own animated GIF: every frame reduced to its own octree
// palette (transparent entries kept) as a local colour table, delay
// kFrameDelay, looping forever. Returns a GDI+-style status.
Status EncodeAnimatedGif(const std::vector<Bitmap*>& frames, std::vector<std::uint8_t>& bytes) noexcept;

}  // namespace rastelle::codecs
