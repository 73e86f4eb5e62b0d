#include "swf/swf_tags.h"

namespace rastelle::swf {

namespace {

thread_local std::uint16_t nextCharacterId = 0;

}  // namespace

std::uint16_t NextCharacterId() noexcept { return ++nextCharacterId; }

void ResetCharacterIds() noexcept { nextCharacterId = 0; }

void WriteTag(SwfBuffer& out, int code, const SwfBuffer& body) {
    WriteRecordHeader(out, code, body.size());
    out.Append(body);
}

void SetBackgroundColorTag::Write(SwfBuffer& out) const {
    SwfBuffer body;
    body.WriteByte(static_cast<std::uint8_t>(argb_ >> 16));
    body.WriteByte(static_cast<std::uint8_t>(argb_ >> 8));
    body.WriteByte(static_cast<std::uint8_t>(argb_));
    WriteTag(out, 9, body);
}

std::uint32_t DefineShape3Tag::AddFillStyle(const BitmapFill& fill) {
    fills_.push_back(fill);
    return static_cast<std::uint32_t>(fills_.size());
}

std::uint32_t DefineShape3Tag::AddLineStyle(const LineStyle& line) {
    lines_.push_back(line);
    return static_cast<std::uint32_t>(lines_.size());
}

void DefineShape3Tag::CloseStyles() noexcept {
    fillBits_ = UnsignedBitCount(static_cast<std::uint32_t>(fills_.size()));
    lineBits_ = UnsignedBitCount(static_cast<std::uint32_t>(lines_.size()));
}

void DefineShape3Tag::Write(SwfBuffer& out) const {
    SwfBuffer body;
    body.WriteU16(id_);
    WriteRect(body, bounds_);
    WriteFillStyles(body, fills_);
    WriteLineStyles(body, lines_);
    body.WriteBits(static_cast<std::uint32_t>(fillBits_), 4);
    body.WriteBits(static_cast<std::uint32_t>(lineBits_), 4);
    for (const ShapeRecord& record : records_) WriteShapeRecord(body, record, fillBits_, lineBits_);
    body.Align();
    WriteTag(out, 32, body);
}

void PlaceObject2Tag::Write(SwfBuffer& out) const {
    SwfBuffer body;
    // Flags, most significant first: clip actions, clip depth, name, ratio,
    // colour transform, matrix, character, move.
    body.WriteByte(static_cast<std::uint8_t>((hasMatrix_ ? 0x04 : 0) | 0x02));
    body.WriteU16(depth_);
    body.WriteU16(id_);
    if (hasMatrix_) WriteMatrix(body, matrix_);
    WriteTag(out, 26, body);
}

}  // namespace rastelle::swf
