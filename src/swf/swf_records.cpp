#include "swf/swf_records.h"

#include <cstdlib>

namespace rastelle::swf {

int UnsignedBitCount(std::uint32_t n) {
    int bits = 0;
    while (n != 0) {
        ++bits;
        n >>= 1;
    }
    return bits;
}

int SignedBitCount(std::initializer_list<std::int32_t> values) {
    std::uint32_t largest = 0;
    for (std::int32_t value : values) {
        const std::uint32_t magnitude =
            value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        if (magnitude > largest) largest = magnitude;
    }
    return largest == 0 ? 1 : UnsignedBitCount(largest) + 1;
}

void WriteRecordHeader(SwfBuffer& out, int code, std::uint32_t length) {
    if (length <= 62) {
        out.WriteU16(static_cast<std::uint32_t>(code) * 64 + length);
    } else {
        out.WriteU16(static_cast<std::uint32_t>(code) * 64 + 63);
        out.WriteU32(length);
    }
}

namespace {

void WriteSigned(SwfBuffer& out, std::int32_t value, int bits) {
    out.WriteBits(static_cast<std::uint32_t>(value), bits);
}

// A MATRIX field pair: the bit count of the wider value, then both values.
void WritePair(SwfBuffer& out, std::int32_t first, std::int32_t second) {
    const int bits = SignedBitCount({first, second});
    out.WriteBits(static_cast<std::uint32_t>(bits), 5);
    WriteSigned(out, first, bits);
    WriteSigned(out, second, bits);
}

// An optional pair: a flag bit, then the pair when the flag is set.
void WriteOptionalPair(SwfBuffer& out, bool present, std::int32_t first, std::int32_t second) {
    out.WriteBits(present ? 1 : 0, 1);
    if (present) WritePair(out, first, second);
}

}  // namespace

void WriteRect(SwfBuffer& out, const Rect& rect) {
    const int bits = SignedBitCount({rect.xmin, rect.xmax, rect.ymin, rect.ymax});
    out.WriteBits(static_cast<std::uint32_t>(bits), 5);
    WriteSigned(out, rect.xmin, bits);
    WriteSigned(out, rect.xmax, bits);
    WriteSigned(out, rect.ymin, bits);
    WriteSigned(out, rect.ymax, bits);
    out.Align();
}

void WriteMatrix(SwfBuffer& out, const Matrix& matrix) {
    WriteOptionalPair(out, matrix.hasScale, matrix.scaleX, matrix.scaleY);
    WriteOptionalPair(out, matrix.hasRotate, matrix.rotateSkew0, matrix.rotateSkew1);
    WritePair(out, matrix.translateX, matrix.translateY);
    out.Align();
}

void WriteStyleCount(SwfBuffer& out, std::size_t count) {
    if (count >= 255) {
        out.WriteByte(0xFF);
        out.WriteU16(static_cast<std::uint32_t>(count));
    } else {
        out.WriteByte(static_cast<std::uint8_t>(count));
    }
}

void WriteFillStyles(SwfBuffer& out, const std::vector<BitmapFill>& fills) {
    WriteStyleCount(out, fills.size());
    for (const BitmapFill& fill : fills) {
        out.WriteByte(fill.clipped ? 0x41 : 0x40);
        out.WriteU16(fill.bitmapId);
        WriteMatrix(out, fill.matrix);
    }
}

void WriteLineStyles(SwfBuffer& out, const std::vector<LineStyle>& lines) {
    WriteStyleCount(out, lines.size());
    for (const LineStyle& line : lines) {
        out.WriteU16(line.width);
        out.WriteByte(line.colour.red);
        out.WriteByte(line.colour.green);
        out.WriteByte(line.colour.blue);
        out.WriteByte(line.colour.alpha);
    }
}

void WriteShapeRecord(SwfBuffer& out, const ShapeRecord& record, int fillBits, int lineBits) {
    switch (record.kind) {
    case ShapeRecord::Kind::StyleChange:
        out.WriteBits(0, 1);
        out.WriteBits(0, 1);  // new styles
        out.WriteBits(record.hasLineStyle ? 1 : 0, 1);
        out.WriteBits(record.hasFillStyle1 ? 1 : 0, 1);
        out.WriteBits(record.hasFillStyle0 ? 1 : 0, 1);
        out.WriteBits(record.hasMoveTo ? 1 : 0, 1);
        if (record.hasMoveTo) {
            const int bits = SignedBitCount({record.moveX, record.moveY});
            out.WriteBits(static_cast<std::uint32_t>(bits), 5);
            WriteSigned(out, record.moveX, bits);
            WriteSigned(out, record.moveY, bits);
        }
        if (record.hasFillStyle0) out.WriteBits(record.fillStyle0, fillBits);
        if (record.hasFillStyle1) out.WriteBits(record.fillStyle1, fillBits);
        if (record.hasLineStyle) out.WriteBits(record.lineStyle, lineBits);
        break;
    case ShapeRecord::Kind::StraightEdge: {
        const int bits = SignedBitCount({record.dx, record.dy});
        out.WriteBits(3, 2);
        out.WriteBits(static_cast<std::uint32_t>(bits - 2), 4);
        const bool general = record.dx != 0 && record.dy != 0;
        out.WriteBits(general ? 1 : 0, 1);
        if (general) {
            WriteSigned(out, record.dx, bits);
            WriteSigned(out, record.dy, bits);
        } else {
            const bool vertical = record.dx == 0;
            out.WriteBits(vertical ? 1 : 0, 1);
            WriteSigned(out, vertical ? record.dy : record.dx, bits);
        }
        break;
    }
    case ShapeRecord::Kind::End:
        out.WriteBits(0, 6);
        out.Align();
        break;
    }
}

}  // namespace rastelle::swf
