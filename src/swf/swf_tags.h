// The tags of an SWF movie. Each tag writes itself complete, record header
// included; its body is built in a buffer of its own first so that the
// header can carry the body's length.
#pragma once

#include "swf/swf_records.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace rastelle::swf {

// Character IDs: incremented before use (the first is 1) whenever a
// definition tag is made, and reset to 0 once a movie file has been
// assembled. The counter is per thread, which deliberately narrows a
// process-wide counter: every save numbers exactly as it would with one
// counter used by one thread at a time, and concurrent saves cannot
// interleave or reset each other's numbers.
std::uint16_t NextCharacterId() noexcept;
void ResetCharacterIds() noexcept;

class SwfTag {
public:
    virtual ~SwfTag() = default;
    virtual void Write(SwfBuffer& out) const = 0;
    virtual bool IsShowFrame() const noexcept { return false; }
    // Definition tags only; -1 for the others.
    virtual int CharacterId() const noexcept { return -1; }
};

// Writes body under a record header of code.
void WriteTag(SwfBuffer& out, int code, const SwfBuffer& body);

// The colour is 0xAARRGGBB; the record holds red, green and blue.
class SetBackgroundColorTag final : public SwfTag {
public:
    explicit SetBackgroundColorTag(std::uint32_t argb) noexcept : argb_(argb) {}
    void Write(SwfBuffer& out) const override;

private:
    std::uint32_t argb_;
};

class DefineShape3Tag final : public SwfTag {
public:
    explicit DefineShape3Tag(const Rect& bounds) : id_(NextCharacterId()), bounds_(bounds) {}
    void Write(SwfBuffer& out) const override;
    int CharacterId() const noexcept override { return id_; }

    // Each returns the 1-based index of the style added.
    std::uint32_t AddFillStyle(const BitmapFill& fill);
    std::uint32_t AddLineStyle(const LineStyle& line);
    // Fixes the index bit widths from the style counts.
    void CloseStyles() noexcept;
    void AddRecord(const ShapeRecord& record) { records_.push_back(record); }

private:
    std::uint16_t id_;
    Rect bounds_;
    std::vector<BitmapFill> fills_;
    std::vector<LineStyle> lines_;
    std::vector<ShapeRecord> records_;
    int fillBits_ = 0;
    int lineBits_ = 0;
};

class PlaceObject2Tag final : public SwfTag {
public:
    PlaceObject2Tag(std::uint16_t depth, std::uint16_t characterId) noexcept : depth_(depth), id_(characterId) {}
    void Write(SwfBuffer& out) const override;
    void SetDepth(std::uint16_t depth) noexcept { depth_ = depth; }
    void SetMatrix(const Matrix& matrix) noexcept {
        matrix_ = matrix;
        hasMatrix_ = true;
    }

private:
    std::uint16_t depth_;
    std::uint16_t id_;
    bool hasMatrix_ = false;
    Matrix matrix_;
};

class ShowFrameTag final : public SwfTag {
public:
    void Write(SwfBuffer& out) const override { WriteRecordHeader(out, 1, 0); }
    bool IsShowFrame() const noexcept override { return true; }
};

using TagList = std::vector<std::unique_ptr<SwfTag>>;

}  // namespace rastelle::swf
