// Owning holders for GDI+ flat-API objects and bitmap locks.
#pragma once

#include "com/unique_any.h"
#include "platform/gdiplus.h"

#include <atomic>
#include <utility>

namespace rastelle {

// How many objects the counted holders took and let go of (deleted, or
// handed on with release()): equal whenever no holder keeps one. The leak
// checks read them; a relaxed atomic add costs nothing beside a GDI call.
struct HolderCounts {
    std::atomic<long long> taken{0};
    std::atomic<long long> letGo{0};
};

inline HolderCounts& GdiplusHolderCounts() noexcept {
    static HolderCounts counts;
    return counts;
}

// An owning holder that counts what it holds. put() hands out the address
// for an out parameter through a proxy that counts the object received once
// the call returns.
template <class T, auto Delete, HolderCounts& (*Counts)() noexcept>
class CountedHolder {
public:
    class Out {
    public:
        explicit Out(CountedHolder& owner) noexcept : owner_(owner) {}
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
        ~Out() {
            if (owner_.value_ != T{}) Counts().taken.fetch_add(1, std::memory_order_relaxed);
        }
        operator T*() const noexcept { return &owner_.value_; }

    private:
        CountedHolder& owner_;
    };

    CountedHolder() noexcept = default;
    explicit CountedHolder(T adopted) noexcept { reset(adopted); }
    CountedHolder(CountedHolder&& other) noexcept : value_(std::exchange(other.value_, T{})) {}
    CountedHolder& operator=(CountedHolder&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, T{});
        }
        return *this;
    }
    CountedHolder(const CountedHolder&) = delete;
    CountedHolder& operator=(const CountedHolder&) = delete;
    ~CountedHolder() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != T{}; }
    Out put() noexcept {
        reset();
        return Out(*this);
    }
    T release() noexcept {
        if (value_ != T{}) Counts().letGo.fetch_add(1, std::memory_order_relaxed);
        return std::exchange(value_, T{});
    }
    void reset(T value = T{}) noexcept {
        if (value_ != T{}) {
            Delete(value_);
            Counts().letGo.fetch_add(1, std::memory_order_relaxed);
        }
        value_ = value;
        if (value_ != T{}) Counts().taken.fetch_add(1, std::memory_order_relaxed);
    }

private:
    T value_{};
};

template <class T, Status(WINGDIPAPI* Delete)(T*)>
using GdipHandle = CountedHolder<T*, Delete, &GdiplusHolderCounts>;

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
