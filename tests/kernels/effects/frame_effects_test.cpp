#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;
using Pixels = std::vector<std::uint32_t>;

TEST(FrameEffects, MatchTheirReferences) {
    Sweep(400, [](std::mt19937& r) {
        const auto near = [&r] { return r() % 3 ? static_cast<int>(r() % 50) - 5 : RandomArgument(r); };
        const int cx = near(), cy = near(), rx = near(), ry = near();
        return Bind(EllipseCrop, ref::EllipseCrop, cx, cy, rx, ry, r());
    });
    Sweep(300, [](std::mt19937& r) {
        const int t = r() % 2 ? static_cast<int>(r() % 3) : RandomArgument(r);
        const int f = r() % 2 ? static_cast<int>(r() % 12) : RandomArgument(r);
        return Bind(Buttonize, ref::Buttonize, t, f, RandomArgument(r));
    });
    // The page curl is its own per-pixel evaluation: the sweep checks that any
    // arguments keep it inside its image and give the same pixels bottom-up.
    Sweep(300, [](std::mt19937& r) {
        const int w = r() % 2 ? static_cast<int>(r() % 50) : RandomArgument(r), h = RandomArgument(r), m = RandomArgument(r);
        const std::uint32_t c = r();
        return Bind(PageCurl, PageCurl, w, h, m, c, r());
    });
}

TEST(FrameEffects, EllipseKeepsItsInsideAndFillsTheOutside) {
    PaddedImage image(41, 31);
    std::mt19937 random(7);
    FillRandom(image, random);
    const std::uint32_t background = 0x40123456u;
    const PaddedImage out = Apply(image, EllipseCrop, 20, 15, 15, 10, background);
    int mixed = 0;
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 41; ++x) {
            const double dx = (x - 20) / 15.0, dy = (y - 15) / 10.0, r = dx * dx + dy * dy;
            if (r < 0.8 || r > 1.25) {
                ASSERT_EQ(out.at(x, y), r < 1 ? image.at(x, y) : background) << x << ", " << y;
            }
            mixed += out.at(x, y) != image.at(x, y) && out.at(x, y) != background;
        }
    EXPECT_GT(mixed, 20);  // an antialiased rim
    // The rim mixes premultiplied: opaque white half over transparent black is
    // half-transparent white. Pixel (3, 0) of a radius-3 circle about (0, 0) is
    // half inside (samples at x offsets -3 and -1 eighths of 24).
    const Pixels half = Apply(Filled(5, 1, 0xFFFFFFFFu), EllipseCrop, 0, 0, 3, 3, 0).memory;
    // No radius: all background; a radius beyond the image: all kept.
    EXPECT_EQ(Pixels({half[0], half[3], half[4], Apply(image, EllipseCrop, 20, 15, 0, 99, 7).at(20, 15)}), Pixels({0xFFFFFFFFu, 0x80FFFFFFu, 0u, 7u}));
    EXPECT_EQ(image.memory, Apply(image, EllipseCrop, 20, 15, INT_MIN, INT_MAX, 7).memory);
}

TEST(FrameEffects, ButtonLightensTopLeftAndDarkensBottomRight) {
    // A raised button 8 x 6 with a frame of 2 at 50 %: halfway to white at the
    // top and left, to black at the bottom and right; the top and the left win
    // the corner ties and the mitres. Sunken swaps them; opacity 0 changes nothing.
    const PaddedImage grey = Filled(8, 6, 0xC8808080u);
    const std::uint32_t L = 0xC8C0C0C0u, D = 0xC8404040u, G = 0xC8808080u;
    EXPECT_EQ(Apply(grey, Buttonize, 0, 2, 50).memory, (Pixels{L, L, L, L, L, L, L, L,
                                                             L, L, L, L, L, L, L, D,
                                                             L, L, G, G, G, G, D, D,
                                                             L, L, G, G, G, G, D, D,
                                                             L, L, D, D, D, D, D, D,
                                                             L, D, D, D, D, D, D, D}));
    const PaddedImage sunken = Apply(grey, Buttonize, 1, 2, 50);
    EXPECT_EQ(std::make_pair(sunken.at(3, 0), sunken.at(4, 5)), std::make_pair(D, L));
    EXPECT_EQ(grey.memory, Apply(grey, Buttonize, 0, 10, 0).memory);
}

TEST(FrameEffects, PageCurlLiftsTheCornerAndCoversItWithTheFlap) {
    const std::uint32_t page = 0xFF204060u, curlColour = 0xFFFFFFCCu, background = 0xFFFFFFFFu;
    const PaddedImage image = Filled(60, 40, page);
    // Mode 5: rounded curl at the bottom right, 20 x 16: the corner itself is
    // lifted, far from the curl is untouched.
    const PaddedImage out = Apply(image, PageCurl, 20, 16, 5, curlColour, background);
    EXPECT_EQ(std::make_tuple(out.at(59, 39), out.at(0, 0), out.at(30, 20)), std::make_tuple(background, page, page));
    // Just inside the fold (towards the page) lies the flap: its colour is
    // the curl colour, shaded, never the page's: opaque and yellowish.
    // Beside the flap's edge, its soft shadow darkens the page.
    const std::uint32_t flap = out.at(59 - 15, 39 - 8), shadow = out.at(59 - 19, 39 - 9);
    EXPECT_EQ(std::make_tuple(flap >> 24, (flap & 0xFF) > 0x60u, ((flap >> 16) & 0xFF) >= (flap & 0xFF), shadow >> 24, (shadow & 0xFF) < (page & 0xFF)),
              std::make_tuple(0xFFu, true, true, 0xFFu, true)) << std::hex << flap << " " << shadow;
    // Every corner: the lifted corner pixel shows the background.
    for (int mode = 0; mode < 8; ++mode) {
        const PaddedImage curled = Apply(image, PageCurl, 20, 16, mode, curlColour, background);
        const int x = (mode & 1) ? 59 : 0, y = (mode & 2) ? 0 : 39;
        EXPECT_EQ(std::make_pair(curled.at(x, y), curled.at(59 - x, 39 - y)), std::make_pair(background, page)) << mode;
    }
    // No size, or any size and mode on a single pixel: nothing breaks, and
    // opaque colours give opaque pixels.
    EXPECT_EQ(image.memory, Apply(image, PageCurl, 0, 16, 5, curlColour, background).memory);
    for (const int size : {INT_MIN, -1, 1, INT_MAX})
        for (const int mode : {INT_MIN, -3, 5, INT_MAX})
            EXPECT_EQ(Apply(Filled(1, 1, page), PageCurl, size, size, mode, curlColour, background).at(0, 0) >> 24, 0xFFu)
                << size << ", " << mode;
}

}  // namespace
}  // namespace rastelle::kernels::effects
