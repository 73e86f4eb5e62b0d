// The read-only stream our decoders get: reads and seeks never leave its
// bytes, and once its maker lets the bytes go it reads nothing.
#include "test_support.h"

#include "com/memory_stream.h"

namespace rastelle::test {
namespace {

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
