// The SWF writer: every byte of a saved image's movie apart from the
// compressed pixels (the bit order, record headers and rectangle with them),
// the bitmap tags and the character-ID numbering.
#include "swf/swf_image_movie.h"

#include "../support/swf_tags.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace rastelle::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

using test::WalkSwfTags;

Bytes Inflate(const std::uint8_t* data, std::size_t length, std::size_t expected) {
    Bytes out(expected);
    uLongf size = static_cast<uLongf>(expected);
    EXPECT_EQ(uncompress(out.data(), &size, data, static_cast<uLong>(length)), Z_OK);
    out.resize(size);
    return out;
}

std::vector<std::uint32_t> Gradient(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                0xFF000000u | static_cast<std::uint32_t>((x * 255 / width) << 16 | (y * 255 / height) << 8 | 0x40);
    return pixels;
}

std::unique_ptr<SwfTag> LosslessOf(const std::uint32_t* pixels, int width, int height) {
    Bytes argb(static_cast<std::size_t>(width) * height * 4);
    ToSwfArgb(kernels::ConstImageView(pixels, width, height, width * 4), argb.data());
    return MakeLosslessBitmap(argb.data(), width, height);
}

TEST(SwfMovie, ImageMovieHasTheFixedBytesAroundTheBitmap) {
    const auto pixels = Gradient(100, 50);
    const Bytes file = MakeImageMovie(0xFF112233, LosslessOf(pixels.data(), 100, 50), 100, 50)->SaveToBytes();
    ASSERT_GE(file.size(), 21u);
    EXPECT_EQ(Slice(file, 0, 4), (Bytes{0x46, 0x57, 0x53, 5}));
    EXPECT_EQ(file[4] | file[5] << 8 | file[6] << 16 | static_cast<std::size_t>(file[7]) << 24, file.size());
    EXPECT_EQ(Slice(file, 8, 9), (Bytes{0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}));
    EXPECT_EQ(Slice(file, 17, 4), (Bytes{0x00, 0x0C, 1, 0}));

    const auto tags = WalkSwfTags(file);
    ASSERT_EQ(tags.size(), 6u);
    EXPECT_EQ(Slice(file, tags[0].header, 5), (Bytes{0x43, 0x02, 0x11, 0x22, 0x33}));  // red, green, blue of the ARGB colour

    EXPECT_EQ(std::make_pair(tags[1].code, tags[1].body), std::make_pair(36, tags[1].header + 6));  // long header
    EXPECT_EQ(Slice(file, tags[1].body, 7), (Bytes{1, 0, 5, 100, 0, 50, 0}));
    Bytes argb;
    for (const std::uint32_t p : Gradient(100, 50)) argb.insert(argb.end(), {0xFF, std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
    EXPECT_EQ(Inflate(file.data() + tags[1].body + 7, tags[1].length - 7, 100 * 50 * 4), argb);

    const Bytes shape{0x34, 0x08, 0x02, 0x00, 0x60, 0x00, 0x3E, 0x80, 0x00, 0x1F, 0x40, 0x02, 0x41, 0xFF,
                      0xFF, 0xD5, 0x40, 0x00, 0x0A, 0x00, 0x00, 0x04, 0x41, 0x01, 0x00, 0xD9, 0x40, 0x28,
                      0xF5, 0x01, 0x47, 0x81, 0x00, 0x01, 0x14, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x21, 0x34,
                      0x25, 0xE8, 0x7D, 0x1E, 0x57, 0xD3, 0xD1, 0x05, 0xFC, 0xB0, 0x5C, 0x00};
    EXPECT_EQ(Slice(file, tags[2].header, shape.size()), shape);
    EXPECT_EQ(tags[2].body + tags[2].length - tags[2].header, 54u);

    EXPECT_EQ(Slice(file, tags[3].header, 7), (Bytes{0x85, 0x06, 0x02, 0x00, 0x00, 0x02, 0x00}));
    EXPECT_EQ(Slice(file, tags[4].header, 2), (Bytes{0x40, 0x00}));
    EXPECT_EQ(Slice(file, tags[5].header, 2), (Bytes{0x00, 0x00}));
    EXPECT_EQ(tags[5].header + 2, file.size());
}

TEST(SwfBitmapTags, LosslessPixelsAreArgbBytesWithStraightAlpha) {
    const std::uint32_t pixels[] = {0x80FF0000, 0xFF00FF00};
    auto bitmap = LosslessOf(pixels, 2, 1);
    const auto& compressed = static_cast<const LosslessBitmapTag&>(*bitmap).compressed();
    EXPECT_EQ(Inflate(compressed.data(), compressed.size(), 8), (Bytes{0x80, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00}));
    ResetCharacterIds();
}

TEST(SwfBitmapTags, JpegTagFramesTheStreamWithMarkers) {
    const Bytes jpeg{0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    const Bytes file = MakeImageMovie(0xFFFFFFFF, std::make_unique<JpegBitmapTag>(jpeg.data(), 7), 3, 2)->SaveToBytes();
    const auto tags = WalkSwfTags(file);
    ASSERT_EQ(tags.size(), 6u);
    EXPECT_EQ(std::make_pair(tags[1].code, tags[1].length), std::make_pair(21, jpeg.size() + 8));
    EXPECT_EQ(Slice(file, tags[1].body, tags[1].length),
              (Bytes{1, 0, 0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9, 0xFF, 0xD9}));
}

// The IDs of the bitmap and the shape of a saved file.
std::pair<int, int> SavedIds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto tags = WalkSwfTags(file);
    if (tags.size() < 3) return {-1, -1};
    return {file[tags[1].body] | file[tags[1].body + 1] << 8, file[tags[2].body] | file[tags[2].body + 1] << 8};
}

int SaveSmallMovie(const std::string& path) {
    const std::uint32_t pixel = 0xFF336699;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const int result = MakeImageMovie(0xFFFFFFFF, LosslessOf(&pixel, 1, 1), 1, 1)->Save(file);
    if (file) std::fclose(file);
    return result;
}

std::string TempFile(const std::string& name) { return (std::filesystem::temp_directory_path() / name).string(); }

TEST(SwfCharacterIds, RestartAfterASaveAndRunOnAfterAFileThatDidNotOpen) {
    const std::string path = TempFile("rastelle_swf_ids_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".swf");
    for (auto [target, saved, ids] : {std::tuple{path, 0, std::pair{1, 2}}, {TempFile("no_such_folder_rastelle/x.swf"), -1, {1, 2}},
                                      {path, 0, {3, 4}}, {path, 0, {1, 2}}}) {
        const int result = SaveSmallMovie(target);
        EXPECT_EQ(std::make_pair(result, SavedIds(path)), std::make_pair(saved, ids)) << target;
    }
    std::remove(path.c_str());
}

TEST(SwfCharacterIds, ConcurrentSavesKeepTheirOwnNumbers) {
    bool allOneAndTwo[2] = {true, true};
    auto worker = [&allOneAndTwo](int index) {
        const std::string path = TempFile("rastelle_swf_thread" + std::to_string(index) + ".swf");
        for (int i = 0; i < 100; ++i) allOneAndTwo[index] &= SaveSmallMovie(path) == 0 && SavedIds(path) == std::make_pair(1, 2);
        std::remove(path.c_str());
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join(), b.join();
    EXPECT_TRUE(allOneAndTwo[0] && allOneAndTwo[1]);
}

}  // namespace
}  // namespace rastelle::swf
