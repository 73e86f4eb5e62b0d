// The indexed image of a GIF save: palette, nearest entries, transparency.
#include "codecs/gif_writer.h"

#include "codecs/flatten_bitmap.h"
#include "com/protected_region.h"
#include "com/unique_any.h"
#include "image/bitmap_lock.h"
#include "image/gdi_handles.h"
#include "kernels/octree_palette.h"
#include "kernels/palette_search.h"
#include "platform/gdiplus_raii.h"

#include <algorithm>
#include <new>

namespace rastelle::codecs {

namespace {

using UniqueHgdiobj = UniqueGdiObject<HGDIOBJ>;
using UniqueDc = OwningHolder<HDC, &DeleteDC, HolderKind::Gdi>;

constexpr unsigned kOctreeColours = 236;
constexpr unsigned kOctreeBits = 8;

// A GDI palette of the colours (flags 0).
HPALETTE CreateGdiPalette(const std::vector<kernels::PaletteColour>& colours) {
    std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(colours.size());
    for (size_t i = 0; i < colours.size(); ++i)
        logical->palPalEntry[i] = {colours[i].red, colours[i].green, colours[i].blue, 0};
    return CreatePalette(logical);
}

// The octree palette of a 32-bit DIB section (the form GDI+ gives bitmaps
// in), its rows visited in memory order; null for any other layout or when
// the tree cannot be built.
HPALETTE CreateOctreePalette(HBITMAP bitmap, unsigned maxColours, unsigned colourBits) {
    if (colourBits > 8) return nullptr;
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits) return nullptr;
    if (section.dsBm.bmBitsPixel != 32) return nullptr;
    if (section.dsBmih.biCompression == BI_BITFIELDS &&
        (section.dsBitfields[0] != 0xFF0000u || section.dsBitfields[1] != 0xFF00u || section.dsBitfields[2] != 0xFFu))
        return nullptr;
    const kernels::ConstImageView pixels(static_cast<const std::uint32_t*>(section.dsBm.bmBits), section.dsBm.bmWidth,
                                         section.dsBm.bmHeight, section.dsBm.bmWidthBytes);
    std::vector<kernels::PaletteColour> colours;
    if (!kernels::BuildOctreePalette(pixels, maxColours, colourBits, colours) || colours.empty()) return nullptr;
    return CreateGdiPalette(colours);
}

// The platform's halftone palette; GDI's where GDI+ gives none.
HPALETTE CreateHalftone() {
    if (HPALETTE palette = gp::GdipCreateHalftonePalette()) return palette;
    UniqueDc dc(CreateCompatibleDC(nullptr));
    return dc ? CreateHalftonePalette(dc.get()) : nullptr;
}

// Maps every source pixel to its nearest entry; entries that pixels of
// alpha 0 or 1 land on lose their alpha when transparent is set.
void MapPixels(const kernels::ConstImageView& source, const Gdiplus::BitmapData& target,
               kernels::NearestPaletteSearch& search, bool transparent, Gdiplus::ARGB* entries) {
    for (int y = 0; y < source.height; ++y) {
        const std::uint32_t* in = source.row(y);
        auto* out = static_cast<std::uint8_t*>(target.Scan0) + static_cast<std::ptrdiff_t>(y) * target.Stride;
        search.FindRow(in, out, source.width);
        if (transparent)
            for (int x = 0; x < source.width; ++x)
                if ((in[x] >> 24) <= 1) entries[out[x]] &= 0x00FFFFFFu;
    }
}

}  // namespace

Status BuildIndexedImage(Bitmap& source, UINT colourCount, bool transparent, bool antialiasingPreprocess,
                         PaletteTypes paletteType, IndexedImage& indexed) {
    const int width = source.width();
    const int height = source.height();
    std::unique_ptr<Bitmap> bitmap(Bitmap::Create(width, height, PixelFormat8bppIndexed));
    if (!bitmap) return Gdiplus::OutOfMemory;
    if (bitmap->lastStatus() != Gdiplus::Ok) return bitmap->lastStatus();

    const UINT count = std::clamp<UINT>(colourCount, 2, 256);
    // The ColorPalette block: flags, count, entries.
    std::vector<Gdiplus::ARGB> block;
    try {
        block.assign(count + 2, 0);
    } catch (const std::bad_alloc&) {
        return kGifNoMemory;
    }
    block[0] = transparent ? Gdiplus::PaletteFlagsHasAlpha : 0;
    block[1] = count;
    Gdiplus::ARGB* entries = block.data() + 2;

    if (antialiasingPreprocess) FlattenAgainstBackground(source);

    UniqueHgdiobj gdiBitmap;
    {
        HBITMAP handle = nullptr;
        const Status status = source.record(gp::GdipCreateHBITMAPFromBitmap(source.native(), &handle, 0xFF000000u));
        if (status != Gdiplus::Ok) return status;
        gdiBitmap.reset(handle);
    }
    UniqueHgdiobj palette;
    switch (paletteType) {
    case ptOctree: {
        HPALETTE made = nullptr;
        const auto handle = static_cast<HBITMAP>(gdiBitmap.get());
        if (!com::RunProtected([&] { made = CreateOctreePalette(handle, kOctreeColours, kOctreeBits); }))
            made = nullptr;
        palette.reset(made);
        break;
    }
    case ptHalftone:
        palette.reset(CreateHalftone());
        block[0] |= Gdiplus::PaletteFlagsHalftone;
        break;
    default: return kGifUnknownPaletteType;
    }

    PALETTEENTRY gdiEntries[256] = {};
    const UINT filled =
        palette ? GetPaletteEntries(static_cast<HPALETTE>(palette.get()), 0, 256, gdiEntries) : 0;
    if (filled == 0) return kGifNoPalette;
    for (UINT i = 0; i < count; ++i)
        entries[i] = 0xFF000000u | gdiEntries[i].peRed << 16 | gdiEntries[i].peGreen << 8 | gdiEntries[i].peBlue;
    std::vector<kernels::PaletteColour> colours;
    for (UINT i = 0; i < filled; ++i) colours.push_back({gdiEntries[i].peRed, gdiEntries[i].peGreen, gdiEntries[i].peBlue});
    kernels::NearestPaletteSearch search(colours);

    Status failure = Gdiplus::Ok;  // failures recorded on the source by this call
    BitmapLock target;
    Status status = bitmap->record(target.Lock(bitmap->native(), Gdiplus::GpRect(0, 0, width, height),
                                               Gdiplus::ImageLockModeWrite, PixelFormat8bppIndexed));
    if (status != Gdiplus::Ok) return status;
    PixelLock sourceLock;
    status = sourceLock.Lock(source, Gdiplus::ImageLockModeRead);
    if (status != Gdiplus::Ok) return status;
    const kernels::ConstImageView pixels = sourceLock.view();
    const Gdiplus::BitmapData& targetData = target.data();
    if (!com::RunProtected([&] { MapPixels(pixels, targetData, search, transparent, entries); }))
        return kGifNoPalette;
    failure = sourceLock.Unlock();
    bitmap->record(target.Unlock());
    gdiBitmap.reset();
    palette.reset();
    if (failure == Gdiplus::Ok)
        failure = bitmap->record(gp::GdipSetImagePalette(bitmap->native(),
                                                         reinterpret_cast<Gdiplus::ColorPalette*>(block.data())));
    if (failure != Gdiplus::Ok) return failure;

    indexed.bitmap = std::move(bitmap);
    indexed.palette.assign(entries, entries + count);
    return Gdiplus::Ok;
}

}  // namespace rastelle::codecs
