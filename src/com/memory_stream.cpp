#include "com/memory_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace rastelle::com {

namespace {

using WeakBytes = std::weak_ptr<const std::vector<std::uint8_t>>;

class ReadOnlyStream final : public IStream {
public:
    ReadOnlyStream(WeakBytes bytes, std::uint64_t position) noexcept : bytes_(std::move(bytes)), position_(position) {}
    ReadOnlyStream(const ReadOnlyStream&) = delete;
    ReadOnlyStream& operator=(const ReadOnlyStream&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ISequentialStream) && !IsEqualIID(iid, IID_IStream))
            return E_NOINTERFACE;
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP Read(void* data, ULONG size, ULONG* read) override {
        if (read) *read = 0;
        if (!data && size) return STG_E_INVALIDPOINTER;
        const SharedBytes bytes = bytes_.lock();
        const std::uint64_t end = bytes ? bytes->size() : 0;
        const auto n = static_cast<ULONG>(position_ >= end ? 0 : std::min<std::uint64_t>(size, end - position_));
        if (n) std::memcpy(data, bytes->data() + position_, n);
        position_ += n;
        if (read) *read = n;
        return n == size ? S_OK : S_FALSE;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }
    // A position past the end is kept (reads there give nothing), as file
    // streams do; one before the start is refused.
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        LONGLONG base = 0;
        switch (origin) {
        case STREAM_SEEK_SET: break;
        case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(position_); break;
        case STREAM_SEEK_END: base = static_cast<LONGLONG>(Size()); break;
        default: return STG_E_INVALIDFUNCTION;
        }
        if (move.QuadPart < -base || (move.QuadPart > 0 && base > LLONG_MAX - move.QuadPart))
            return STG_E_SEEKERROR;
        position_ = static_cast<std::uint64_t>(base + move.QuadPart);
        if (position) position->QuadPart = position_;
        return S_OK;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                        ULARGE_INTEGER* written) override {
        if (read) read->QuadPart = 0;
        if (written) written->QuadPart = 0;
        if (!target) return STG_E_INVALIDPOINTER;
        const SharedBytes bytes = bytes_.lock();
        const std::uint64_t end = bytes ? bytes->size() : 0;
        std::uint64_t left = position_ >= end ? 0 : std::min<std::uint64_t>(size.QuadPart, end - position_);
        std::uint64_t done = 0;
        while (left) {
            const auto chunk = static_cast<ULONG>(std::min<std::uint64_t>(left, 1u << 20));
            ULONG wrote = 0;
            const HRESULT hr = target->Write(bytes->data() + position_, chunk, &wrote);
            position_ += chunk;
            done += chunk;
            left -= chunk;
            if (written) written->QuadPart += wrote;
            if (FAILED(hr)) {
                if (read) read->QuadPart = done;
                return hr;
            }
        }
        if (read) read->QuadPart = done;
        return S_OK;
    }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = Size();
        stat->grfMode = STGM_READ;
        return S_OK;
    }
    STDMETHODIMP Clone(IStream** out) override {
        if (!out) return STG_E_INVALIDPOINTER;
        *out = new (std::nothrow) ReadOnlyStream(bytes_, position_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ReadOnlyStream() = default;
    std::uint64_t Size() const noexcept {
        const SharedBytes bytes = bytes_.lock();
        return bytes ? bytes->size() : 0;
    }

    volatile LONG refs_ = 1;
    WeakBytes bytes_;
    std::uint64_t position_;
};

}  // namespace

HRESULT CreateReadOnlyStream(const SharedBytes& bytes, IStream** stream) noexcept {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (!bytes) return E_INVALIDARG;
    *stream = new (std::nothrow) ReadOnlyStream(bytes, 0);
    return *stream ? S_OK : E_OUTOFMEMORY;
}

}  // namespace rastelle::com
