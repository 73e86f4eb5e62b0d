// The record encodings of an SWF movie: record headers, RECT, MATRIX,
// colours, fill and line styles and shape records. Coordinates are twips.
#pragma once

#include "swf/swf_buffer.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace rastelle::swf {

// 1 when the largest absolute value is 0, else its binary digits plus a sign bit.
int SignedBitCount(std::initializer_list<std::int32_t> values);
// 0 for 0, else the binary digits of n.
int UnsignedBitCount(std::uint32_t n);

// Tag code and body length: a short 16-bit header up to 62 bytes, else the
// long form with the length as 32 bits.
void WriteRecordHeader(SwfBuffer& out, int code, std::uint32_t length);

struct Rect {
    std::int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};
void WriteRect(SwfBuffer& out, const Rect& rect);

// Scale and rotate-skew are 16.16 fixed point.
struct Matrix {
    bool hasScale = false;
    std::int32_t scaleX = 0x10000, scaleY = 0x10000;
    bool hasRotate = false;
    std::int32_t rotateSkew0 = 0, rotateSkew1 = 0;
    std::int32_t translateX = 0, translateY = 0;
};
void WriteMatrix(SwfBuffer& out, const Matrix& matrix);

struct Rgba {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 255;
};

struct BitmapFill {
    bool clipped = true;
    std::uint16_t bitmapId = 0;
    Matrix matrix;
};

struct LineStyle {
    std::uint16_t width = 0;
    Rgba colour;
};

// The count of a style array: one byte, or 0xFF and 16 bits from 255 on.
void WriteStyleCount(SwfBuffer& out, std::size_t count);
void WriteFillStyles(SwfBuffer& out, const std::vector<BitmapFill>& fills);
void WriteLineStyles(SwfBuffer& out, const std::vector<LineStyle>& lines);

// One shape record: a style change (with an optional move), a straight edge,
// or the end of the shape. New style arrays are not supported.
struct ShapeRecord {
    enum class Kind { StyleChange, StraightEdge, End };
    Kind kind = Kind::End;
    // Style change.
    bool hasLineStyle = false, hasFillStyle1 = false, hasFillStyle0 = false, hasMoveTo = false;
    std::int32_t moveX = 0, moveY = 0;
    std::uint32_t fillStyle0 = 0, fillStyle1 = 0, lineStyle = 0;
    // Straight edge.
    std::int32_t dx = 0, dy = 0;

    static ShapeRecord Edge(std::int32_t dx, std::int32_t dy) {
        ShapeRecord record;
        record.kind = Kind::StraightEdge;
        record.dx = dx;
        record.dy = dy;
        return record;
    }
};
void WriteShapeRecord(SwfBuffer& out, const ShapeRecord& record, int fillBits, int lineBits);

}  // namespace rastelle::swf
