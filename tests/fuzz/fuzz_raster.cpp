// libFuzzer harness over the antialiasing rasteriser: polygons of any float
// coordinates on a canvas of up to 64 x 64, rendered under both fill rules or
// painted with a colour or a brush; spans must stay on the canvas.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "fuzz_input.h"
#include "kernels/coverage_rasterizer.h"

namespace k = rastelle::kernels;
using namespace rastelle::fuzz;

namespace {

float Coordinate(FuzzInput& data, int extent) {
    switch (data.Byte() % 4) {
    case 0: return data.Float();
    case 1: return static_cast<float>(data.Range(-8, extent + 8)) + data.Byte() / 256.0f;
    case 2: return static_cast<float>(data.Range(-100000, 100000)) / 16.0f;
    default: return static_cast<float>(data.Range(0, extent));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzInput data(bytes, size);
    const int selector = data.Byte();
    const int width = data.Range(0, 64), height = data.Range(0, 64);
    const auto rule = data.Bool() ? k::FillRule::EvenOdd : k::FillRule::NonZero;
    try {
        k::CoverageRasterizer shape;
        shape.Reset(width, height);
        const int polygons = data.Range(0, 4);
        for (int p = 0; p < polygons; ++p) {
            std::vector<k::PointF> points(static_cast<std::size_t>(data.Range(0, 24)));
            for (auto& point : points) point.x = Coordinate(data, width), point.y = Coordinate(data, height);
            shape.AddPolygon(points.data(), points.size());
        }
        const k::PixelRect bounds = shape.Bounds();
        Require(bounds.empty() || (bounds.x >= 0 && bounds.y >= 0 && bounds.x + bounds.width <= width &&
                                   bounds.y + bounds.height <= height));
        switch (selector % 3) {
        case 0: {
            auto span = [&](int y, int x, int count, const std::uint8_t*) { Require(y >= 0 && y < height && x >= 0 && count > 0 && x + count <= width); };
            shape.Render(rule, span);
            break;
        }
        default: {
            // The destination covers the whole canvas or just the shape's bounds.
            const bool whole = data.Bool();
            const int w = whole ? width : bounds.width, h = whole ? height : bounds.height;
            const int dstX = whole ? 0 : bounds.x, dstY = whole ? 0 : bounds.y;
            if (w <= 0 || h <= 0) break;
            GuardedImage canvas = GuardedImage::Sized(data, w, h);
            canvas.Fill(data);
            if (selector % 3 == 1) {
                k::PaintCoverage(shape, rule, canvas.view(), dstX, dstY, data.U32());
            } else {
                GuardedImage brush = GuardedImage::Sized(data, w, h);
                brush.Fill(data);
                k::PaintCoverage(shape, rule, canvas.view(), dstX, dstY, brush.cview());
                brush.CheckGuards();
            }
            canvas.CheckGuards();
            break;
        }
        }
    } catch (const std::bad_alloc&) {
        // Edges are stored as they come; a hostile count may exhaust memory.
    }
    return 0;
}
