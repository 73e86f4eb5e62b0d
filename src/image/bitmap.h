// The bitmap object: the holder of a native GDI+ bitmap and the status of the
// last GDI+ call made on it. Objects of the system hand it to each other by
// address (the raster object's internal interface, transforms); whoever holds
// it owns it and destroys it with delete.
#pragma once

#include "image/pixel_memory.h"
#include "platform/gdiplus.h"
#include "platform/gdiplus_raii.h"

#include <utility>

namespace rastelle {

// The file types the system reads and writes.
enum class FileType : long {
    Unknown = -1,
    JPEG = 0,
    BMP = 1,
    PNG = 2,
    TIFF = 3,
    GIF = 4,
    SWF = 5,
    EMF = 6,
    EXIF = 7,
    WebP = 8,
};

class Bitmap {
public:
    // Takes ownership of native (which may be null when creation failed).
    explicit Bitmap(Gdiplus::GpBitmap* native, Status lastStatus = Gdiplus::Ok) noexcept
        : native_(native), lastStatus_(lastStatus) {
        if (native_) ReportTaken(HolderKind::Gdiplus);
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    ~Bitmap();

    // A new bitmap of the given size and format (a new bitmap reads as
    // transparent black). 32-bit bitmaps are made over pixel memory of our
    // own, from the block cache, which the holder keeps for the bitmap's life;
    // GDI+ allocates the others. The creation status is the new object's last
    // status; null only when memory for the holder is out.
    static Bitmap* Create(int width, int height, Gdiplus::PixelFormat format = PixelFormat32bppARGB) noexcept;
    // The same for a 32-bit ARGB bitmap whose every pixel the caller writes
    // before anything reads it: its memory is not cleared first.
    static Bitmap* CreateToOverwrite(int width, int height) noexcept;
    // A new holder of native (null or not) with the status that made it;
    // null, with native disposed of, when memory for the holder is out.
    static Bitmap* Adopt(Gdiplus::GpBitmap* native, Status status) noexcept;

    Gdiplus::GpBitmap* native() const noexcept { return native_; }
    Gdiplus::GpImage* image() const noexcept { return native_; }
    Status lastStatus() const noexcept { return lastStatus_; }
    // Records a status (and returns it) so that callers can chain on it.
    Status record(Status status) noexcept {
        if (status != Gdiplus::Ok) lastStatus_ = status;
        return status;
    }

    // Width and height in pixels; 0 when GDI+ cannot tell.
    int width() noexcept;
    int height() noexcept;

private:
    static Bitmap* Create(int width, int height, Gdiplus::PixelFormat format, PixelMemory::Contents contents) noexcept;

    Gdiplus::GpBitmap* native_;
    Status lastStatus_;
    PixelMemory memory_;  // the pixels of a bitmap made over our own memory; outlives native_
};

// Maps a loaded image's raw format to a file type. Icon and cursor data is
// unknown whatever raw format the decoder reports for it.
FileType DetectFileType(Gdiplus::GpImage* image, bool isIconOrCursor = false) noexcept;

// Fills the whole bitmap with argb (not premultiplied). Returns the GDI+
// status; OutOfMemory when the staging buffer cannot be had, GenericError when
// the fill is abandoned by a fault.
Status FillBitmap(Bitmap& bitmap, Gdiplus::ARGB argb) noexcept;

// Makes *target a 32-bit ARGB copy of source, deleting a bitmap already in
// *target. GenericError when an argument is missing, the first failing lock or
// unlock status, InsufficientBuffer when the copy is abandoned by a fault; on
// failure *target may hold a bitmap of undefined pixels, for the caller to
// delete.
Status CloneBitmap32(Bitmap* source, Bitmap** target) noexcept;

}  // namespace rastelle
