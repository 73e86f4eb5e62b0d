// Owning holders for GDI+ flat-API objects and bitmap locks.
#pragma once

#include "com/unique_any.h"
#include "platform/gdiplus.h"

#include <atomic>
#include <utility>

namespace rastelle {

// The kinds of object the owning holders keep.
enum class HolderKind { Gdiplus, Gdi };

// Told of every object a holder takes and lets go of (deletes, or hands on
// with release()). A leak check installs one; without one, which is how the
// DLL runs, a holder reads one null pointer.
class HolderObserver {
public:
    virtual void Taken(HolderKind kind) noexcept = 0;
    virtual void LetGo(HolderKind kind) noexcept = 0;

protected:
    ~HolderObserver() = default;
};

inline std::atomic<HolderObserver*>& HolderObserverSlot() noexcept {
    static std::atomic<HolderObserver*> slot{nullptr};
    return slot;
}
inline void ReportTaken(HolderKind kind) noexcept {
    if (HolderObserver* observer = HolderObserverSlot().load(std::memory_order_acquire)) observer->Taken(kind);
}
inline void ReportLetGo(HolderKind kind) noexcept {
    if (HolderObserver* observer = HolderObserverSlot().load(std::memory_order_acquire)) observer->LetGo(kind);
}

// An owning holder that reports what it holds. put() hands out the address
// for an out parameter through a proxy that reports the object received once
// the call returns.
template <class T, auto Delete, HolderKind Kind>
class OwningHolder {
public:
    class Out {
    public:
        explicit Out(OwningHolder& owner) noexcept : owner_(owner) {}
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
        ~Out() {
            if (owner_.value_ != T{}) ReportTaken(Kind);
        }
        operator T*() const noexcept { return &owner_.value_; }

    private:
        OwningHolder& owner_;
    };

    OwningHolder() noexcept = default;
    explicit OwningHolder(T adopted) noexcept { reset(adopted); }
    OwningHolder(OwningHolder&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    OwningHolder& operator=(OwningHolder&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, T{});
        }
        return *this;
    }
    OwningHolder(const OwningHolder&) = delete;
    OwningHolder& operator=(const OwningHolder&) = delete;
    ~OwningHolder() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != T{}; }
    Out put() noexcept {
        reset();
        return Out(*this);
    }
    T release() noexcept {
        if (value_ != T{}) ReportLetGo(Kind);
        return std::exchange(value_, T{});
    }
    void reset(T value = T{}) noexcept {
        if (value_ != T{}) {
            Delete(value_);
            ReportLetGo(Kind);
        }
        value_ = value;
        if (value_ != T{}) ReportTaken(Kind);
    }

private:
    T value_{};
};

template <class T, Status(WINGDIPAPI* Delete)(T*)>
using GdipHandle = OwningHolder<T*, Delete, HolderKind::Gdiplus>;

using UniqueImage = GdipHandle<Gdiplus::GpImage, gp::GdipDisposeImage>;
using UniqueGraphics = GdipHandle<Gdiplus::GpGraphics, gp::GdipDeleteGraphics>;
using UniqueImageAttributes = GdipHandle<Gdiplus::GpImageAttributes, gp::GdipDisposeImageAttributes>;
using UniqueMatrix = GdipHandle<Gdiplus::GpMatrix, gp::GdipDeleteMatrix>;
using UniquePath = GdipHandle<Gdiplus::GpPath, gp::GdipDeletePath>;
using UniquePen = GdipHandle<Gdiplus::GpPen, gp::GdipDeletePen>;
using UniqueBrush = GdipHandle<Gdiplus::GpBrush, gp::GdipDeleteBrush>;
using UniqueFont = GdipHandle<Gdiplus::GpFont, gp::GdipDeleteFont>;
using UniqueFontFamily = GdipHandle<Gdiplus::GpFontFamily, gp::GdipDeleteFontFamily>;
using UniqueStringFormat = GdipHandle<Gdiplus::GpStringFormat, gp::GdipDeleteStringFormat>;
using UniqueRegion = GdipHandle<Gdiplus::GpRegion, gp::GdipDeleteRegion>;

// A locked rectangle of a bitmap; unlocks on destruction unless unlocked
// explicitly (whose status the caller may need).
class BitmapLock {
public:
    BitmapLock() noexcept = default;
    BitmapLock(const BitmapLock&) = delete;
    BitmapLock& operator=(const BitmapLock&) = delete;
    ~BitmapLock() { Unlock(); }

    Status Lock(Gdiplus::GpBitmap* bitmap, const Gdiplus::GpRect& rect, UINT flags, Gdiplus::PixelFormat format,
                Gdiplus::BitmapData* userBuffer = nullptr) noexcept {
        if (userBuffer) data_ = *userBuffer;
        const Status status = gp::GdipBitmapLockBits(bitmap, &rect, flags, format, &data_);
        if (status == Gdiplus::Ok) bitmap_ = bitmap;
        return status;
    }

    Status Unlock() noexcept {
        if (!bitmap_) return Gdiplus::Ok;
        return gp::GdipBitmapUnlockBits(std::exchange(bitmap_, nullptr), &data_);
    }

    const Gdiplus::BitmapData& data() const noexcept { return data_; }

private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
    Gdiplus::BitmapData data_{};
};

}  // namespace rastelle
