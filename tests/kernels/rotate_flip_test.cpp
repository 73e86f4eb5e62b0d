#include "kernels/rotate_flip.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_images.h"

namespace rastelle::kernels {
namespace {

// Where output pixel (x, y) comes from, composed of plain quarter turns and
// mirrors: type t is (t mod 4) clockwise quarter turns, mirrored left to
// right from 4 on.
std::pair<int, int> SourceOf(int type, int x, int y, int width, int height) {
    // Undo the mirror, then the turns, one quarter at a time.
    int w = SwapsAxes(static_cast<RotateFlip>(type)) ? height : width;
    int h = SwapsAxes(static_cast<RotateFlip>(type)) ? width : height;
    if (type >= 4) x = w - 1 - x;
    for (int turn = 0; turn < type % 4; ++turn) {
        // (x, y) in a w x h image was (y, h' - 1 - x) of the h x w image before
        // the last clockwise turn, where h' = w.
        const int px = y, py = w - 1 - x;
        x = px, y = py;
        std::swap(w, h);
    }
    return {x, y};
}

TEST(RotateFlipImage, EveryTypeOnOddSizesAndBottomUpRows) {
    for (auto [width, height] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{1, 7}, std::pair{6, 1}}) {
        std::vector<std::uint32_t> source(static_cast<size_t>(width * height));
        for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint32_t>(i * 2654435761u);
        const ConstImageView from(source.data(), width, height, width * 4);
        for (int type = 0; type < 8; ++type) {
            const bool swap = SwapsAxes(static_cast<RotateFlip>(type));
            const int ow = swap ? height : width, oh = swap ? width : height;
            // A padded, bottom-up target: rows run backwards in memory.
            PaddedImage target(ow, oh, 2);
            const ImageView to = target.flipped();
            RotateFlipImage(from, to, static_cast<RotateFlip>(type));
            for (int y = 0; y < oh; ++y)
                for (int x = 0; x < ow; ++x) {
                    const auto [sx, sy] = SourceOf(type, x, y, width, height);
                    ASSERT_EQ(to.row(y)[x], from.row(sy)[sx]) << "type " << type << " at " << x << "," << y;
                }
            EXPECT_TRUE(target.guardsIntact());
        }
    }
}

}  // namespace
}  // namespace rastelle::kernels
