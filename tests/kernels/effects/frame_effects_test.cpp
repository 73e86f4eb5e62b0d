#include <gtest/gtest.h>

#include "effects_reference.h"
#include "effects_test_support.h"
#include "kernels/effects/effects.h"

namespace rastelle::kernels::effects {
namespace {

namespace ref = reference;

TEST(FrameEffects, MatchTheirReferences) {
    Sweep(400, [](std::mt19937& r) {
        const auto near = [&r] { return r() % 3 ? static_cast<int>(r() % 50) - 5 : RandomArgument(r); };
        const int cx = near(), cy = near(), rx = near(), ry = near();
        const std::uint32_t b = r();
        return BoundKernels{[=](auto& i, auto& o) { EllipseCrop(i, o, cx, cy, rx, ry, b); },
                            [=](auto& i, auto& o) { ref::EllipseCrop(i, o, cx, cy, rx, ry, b); }, Describe({cx, cy, rx, ry})};
    });
    Sweep(300, [](std::mt19937& r) {
        const int t = r() % 2 ? static_cast<int>(r() % 3) : RandomArgument(r);
        const int f = r() % 2 ? static_cast<int>(r() % 12) : RandomArgument(r), o = RandomArgument(r);
        return BoundKernels{[=](auto& i, auto& out) { Buttonize(i, out, t, f, o); },
                            [=](auto& i, auto& out) { ref::Buttonize(i, out, t, f, o); }, Describe({t, f, o})};
    });
    // The page curl is its own per-pixel evaluation: the sweep checks that any
    // arguments keep it inside its image and give the same pixels bottom-up.
    Sweep(300, [](std::mt19937& r) {
        const int w = r() % 2 ? static_cast<int>(r() % 50) : RandomArgument(r), h = RandomArgument(r), m = RandomArgument(r);
        const std::uint32_t c = r(), b = r();
        const auto curl = [=](auto& i, auto& o) { PageCurl(i, o, w, h, m, c, b); };
        return BoundKernels{curl, curl, Describe({w, h, m})};
    });
}

TEST(FrameEffects, EllipseKeepsItsInsideAndFillsTheOutside) {
    PaddedImage image(41, 31);
    std::mt19937 random(7);
    FillRandom(image, random);
    const std::uint32_t background = 0x40123456u;
    const PaddedImage out = Apply(image, [=](auto& i, auto& o) { EllipseCrop(i, o, 20, 15, 15, 10, background); });
    int mixed = 0;
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 41; ++x) {
            const double dx = (x - 20) / 15.0, dy = (y - 15) / 10.0, r = dx * dx + dy * dy;
            if (r < 0.8) {
                ASSERT_EQ(out.at(x, y), image.at(x, y)) << x << ", " << y;
            }
            if (r > 1.25) {
                ASSERT_EQ(out.at(x, y), background) << x << ", " << y;
            }
            mixed += out.at(x, y) != image.at(x, y) && out.at(x, y) != background;
        }
    EXPECT_GT(mixed, 20);  // an antialiased rim
    // The rim mixes premultiplied: opaque white half over transparent black is
    // half-transparent white. Pixel (3, 0) of a radius-3 circle about (0, 0) is
    // half inside (samples at x offsets -3 and -1 eighths of 24).
    const PaddedImage half = Apply(Filled(5, 1, 0xFFFFFFFFu), [](auto& i, auto& o) { EllipseCrop(i, o, 0, 0, 3, 3, 0); });
    EXPECT_EQ(half.at(3, 0), 0x80FFFFFFu);
    EXPECT_EQ(half.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(half.at(4, 0), 0u);
    // No radius: all background; a radius beyond the image: all kept.
    EXPECT_EQ(Apply(image, [](auto& i, auto& o) { EllipseCrop(i, o, 20, 15, 0, 99, 7); }).at(20, 15), 7u);
    EXPECT_EQ(FirstDifference(image, Apply(image, [](auto& i, auto& o) { EllipseCrop(i, o, 20, 15, INT_MIN, INT_MAX, 7); })),
              "");
}

TEST(FrameEffects, ButtonLightensTopLeftAndDarkensBottomRight) {
    const PaddedImage grey = Filled(8, 6, 0xC8808080u);
    const PaddedImage raised = Apply(grey, [](auto& i, auto& o) { Buttonize(i, o, 0, 2, 50); });
    EXPECT_EQ(raised.at(3, 0), 0xC8C0C0C0u);  // top: halfway to white
    EXPECT_EQ(raised.at(1, 3), 0xC8C0C0C0u);  // left
    EXPECT_EQ(raised.at(4, 5), 0xC8404040u);  // bottom: halfway to black
    EXPECT_EQ(raised.at(6, 2), 0xC8404040u);  // right
    EXPECT_EQ(raised.at(7, 0), 0xC8C0C0C0u);  // the top-right corner: top wins the tie
    EXPECT_EQ(raised.at(6, 1), 0xC8C0C0C0u);  // ... and along the mitre
    EXPECT_EQ(raised.at(7, 1), 0xC8404040u);  // right, below it
    EXPECT_EQ(raised.at(3, 3), 0xC8808080u);  // inside
    const PaddedImage sunken = Apply(grey, [](auto& i, auto& o) { Buttonize(i, o, 1, 2, 50); });
    EXPECT_EQ(sunken.at(3, 0), 0xC8404040u);
    EXPECT_EQ(sunken.at(4, 5), 0xC8C0C0C0u);
    EXPECT_EQ(FirstDifference(grey, Apply(grey, [](auto& i, auto& o) { Buttonize(i, o, 0, 10, 0); })), "");
}

TEST(FrameEffects, PageCurlLiftsTheCornerAndCoversItWithTheFlap) {
    const std::uint32_t page = 0xFF204060u, curlColour = 0xFFFFFFCCu, background = 0xFFFFFFFFu;
    const PaddedImage image = Filled(60, 40, page);
    // Mode 5: rounded curl at the bottom right, 20 x 16.
    const PaddedImage out = Apply(image, [=](auto& i, auto& o) { PageCurl(i, o, 20, 16, 5, curlColour, background); });
    EXPECT_EQ(out.at(59, 39), background);  // the corner itself is lifted
    EXPECT_EQ(out.at(0, 0), page);          // far from the curl: untouched
    EXPECT_EQ(out.at(30, 20), page);
    // Just inside the fold (towards the page) lies the flap: its colour is
    // the curl colour, shaded, never the page's.
    const std::uint32_t flap = out.at(59 - 15, 39 - 8);
    EXPECT_EQ(flap >> 24, 0xFFu);
    EXPECT_GT(flap & 0xFF, 0x60u);
    EXPECT_GE((flap >> 16) & 0xFF, flap & 0xFF);  // yellowish, as the curl colour
    // Beside the flap's edge, its soft shadow darkens the page.
    const std::uint32_t shadow = out.at(59 - 19, 39 - 9);
    EXPECT_LT(shadow & 0xFF, page & 0xFF);
    EXPECT_EQ(shadow >> 24, 0xFFu);
    // Every corner: the lifted corner pixel shows the background.
    for (int mode = 0; mode < 8; ++mode) {
        const PaddedImage curled = Apply(image, [=](auto& i, auto& o) { PageCurl(i, o, 20, 16, mode, curlColour, background); });
        const int x = (mode & 1) ? 59 : 0, y = (mode & 2) ? 0 : 39;
        EXPECT_EQ(curled.at(x, y), background) << mode;
        EXPECT_EQ(curled.at(59 - x, 39 - y), page) << mode;
    }
    // No size, or any size and mode on a single pixel: nothing breaks, and
    // opaque colours give opaque pixels.
    EXPECT_EQ(FirstDifference(image, Apply(image, [=](auto& i, auto& o) { PageCurl(i, o, 0, 16, 5, curlColour, background); })), "");
    for (const int size : {INT_MIN, -1, 1, INT_MAX})
        for (const int mode : {INT_MIN, -3, 5, INT_MAX}) {
            const PaddedImage one = Apply(Filled(1, 1, page), [=](auto& i, auto& o) { PageCurl(i, o, size, size, mode, curlColour, background); });
            EXPECT_EQ(one.at(0, 0) >> 24, 0xFFu) << size << ", " << mode;
        }
}

}  // namespace
}  // namespace rastelle::kernels::effects
