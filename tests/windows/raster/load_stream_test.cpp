// LoadStream reads a caller's stream once, never past the end its Stat
// reports; the read-only stream the decoders get keeps to its bytes likewise.
#include "fake_com.h"
#include "test_support.h"

#include "com/memory_stream.h"

#include <tiffio.h>

#include <cstring>

namespace rastelle::test {
namespace {

// A stream whose data ends just before an inaccessible page and whose Read
// copies all it is asked for, as Wine's does: a read past the end faults.
class EdgeStream final : public Fake<IStream> {
public:
    explicit EdgeStream(const std::vector<std::uint8_t>& bytes) : size_(bytes.size()) {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        span_ = (size_ + page - 1) / page * page + page;
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, span_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + span_ - page, page, PAGE_NOACCESS, &old);
        data_ = base_ + span_ - page - size_;
        std::memcpy(data_, bytes.data(), size_);
    }
    ~EdgeStream() override { VirtualFree(base_, 0, MEM_RELEASE); }

    STDMETHODIMP Read(void* into, ULONG size, ULONG* read) override {
        std::memcpy(into, data_ + position_, size);  // no bounds check, on purpose
        position_ += size;
        if (read) *read = size;
        return S_OK;
    }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* now) override {
        const LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? position_ : size_;
        position_ = static_cast<size_t>(base + move.QuadPart);
        if (now) now->QuadPart = position_;
        return S_OK;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = size_;
        return S_OK;
    }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

private:
    size_t size_;
    size_t span_ = 0;
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    size_t position_ = 0;
};

// 64 x 48 TIFFs in strips of 8 rows in three compressions, a PNG and a JPEG,
// each whole and cut at 30 % and 90 %.
std::vector<std::vector<std::uint8_t>> DamagedFiles() {
    std::vector<std::vector<std::uint8_t>> whole;
    for (const std::uint16_t compression : {COMPRESSION_PACKBITS, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
        const TiffPageToWrite strips{
            .width = 64, .height = 48, .argb = OpaqueGradient(64, 48), .compression = compression, .rowsPerStrip = 8};
        whole.push_back(ReadFileBytes(WriteTiff(L"strips-" + std::to_wstring(compression) + L".tif", {strips})));
    }
    for (const wchar_t* type : {L"image/png", L"image/jpeg"})
        whole.push_back(EncodeWithGdiplus(64, 48, NumberedPixels(64, 48), type));
    std::vector<std::vector<std::uint8_t>> damaged;
    for (const auto& file : whole) {
        EXPECT_GT(file.size(), 100u);
        for (const size_t percent : {30u, 90u, 100u})
            damaged.emplace_back(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() * percent / 100));
    }
    return damaged;
}

// Truncated files (TIFF strips of three compressions, PNG, JPEG) give a clean
// load or a clean failure, never a read past their end, however often: the
// stream at the edge of a page faults on the first byte too many.
TEST(LoadStream, TruncatedFilesNeverReadPastTheEndOfTheCallersStream) {
    const auto files = DamagedFiles();
    for (size_t i = 0; i < files.size(); ++i) {
        const bool whole = i % 3 == 2;
        for (int round = 0; round < 20; ++round) {
            auto edge = com::ComPtr<IStream>::Attach(new EdgeStream(files[i]));
            const HRESULT atEdge = NewRaster()->LoadStream(edge.get());
            const HRESULT onGlobal = NewRaster()->LoadStream(StreamOver(files[i]).get());
            ClearThreadError();
            const auto clean = [whole](HRESULT hr) { return hr == S_OK || (!whole && hr == E_FAIL); };
            EXPECT_TRUE(clean(atEdge) && clean(onGlobal)) << i << ": " << std::hex << atEdge << ", " << onGlobal;
        }
    }
}

// The stream is read from its current position: what comes before it is
// not part of the image.
TEST(LoadStream, ReadsFromTheCurrentPosition) {
    std::vector<std::uint8_t> bytes = {'j', 'u', 'n', 'k'};
    const std::vector<std::uint8_t> bmp = MakeBmp(3, 2, OpaqueGradient(3, 2));
    bytes.insert(bytes.end(), bmp.begin(), bmp.end());
    auto stream = StreamOver(bytes);
    LARGE_INTEGER skip{};
    skip.QuadPart = 4;
    stream->Seek(skip, STREAM_SEEK_SET, nullptr);
    auto raster = NewRaster();
    ASSERT_EQ(raster->LoadStream(stream.get()), S_OK);
    EXPECT_EQ(PixelsOf(raster.get()), OpaqueGradient(3, 2));
}

TEST(ReadOnlyStream, ReadsStayInsideTheBytesWhereverItIsSought) {
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    ComPtr<IStream> stream;
    ASSERT_EQ(com::CreateReadOnlyStream(bytes, stream.put()), S_OK);
    std::uint8_t buffer[8] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(read, 5u);
    EXPECT_EQ(buffer[4], 5);

    LARGE_INTEGER move{};
    ULARGE_INTEGER now{};
    move.QuadPart = 1 << 20;  // far past the end: allowed, and reads there give nothing
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, &now), S_OK);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(read, 0u);
    move.QuadPart = -6;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &now), STG_E_SEEKERROR);
    move.QuadPart = -2;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &now), S_OK);
    EXPECT_EQ(now.QuadPart, 3u);

    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.put()), S_OK);
    EXPECT_EQ(clone->Read(buffer, 2, &read), S_OK);
    EXPECT_EQ((std::vector<std::uint8_t>{buffer[0], buffer[1]}), (std::vector<std::uint8_t>{4, 5}));
    EXPECT_EQ(stream->Write(buffer, 1, &read), STG_E_ACCESSDENIED);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 5u);

    bytes.reset();  // the maker is done: a reference kept past it reads nothing
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(read, 0u);
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 0u);
}

}  // namespace
}  // namespace rastelle::test
