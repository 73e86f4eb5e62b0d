// An SWF movie: frames of tags, the placements of display objects by depth,
// and the file it is saved as (uncompressed "FWS", version 5). The system
// saves single-frame movies that show one bitmap through SwfBitmapShape.
#pragma once

#include "swf/swf_bitmap_tags.h"
#include "swf/swf_tags.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace rastelle::swf {

class SwfMovie;

// A rectangle filled with one bitmap and outlined with a one-pixel black line.
class SwfBitmapShape {
public:
    // bounds are twips; bitmap is the definition to show, width x height pixels.
    SwfBitmapShape(const Rect& bounds, std::unique_ptr<SwfTag> bitmap, int bitmapWidth, int bitmapHeight)
        : bounds_(bounds), bitmap_(std::move(bitmap)), bitmapWidth_(bitmapWidth), bitmapHeight_(bitmapHeight) {}

private:
    friend class SwfFrame;

    bool HasTransform() const noexcept {
        return translateX_ != 0 || translateY_ != 0 || rotation_ != 0 || scaleX_ != 0x10000 || scaleY_ != 0x10000;
    }

    Rect bounds_;
    std::uint16_t depth_ = 1;
    int characterId_ = -1;
    bool defined_ = false;
    bool placed_ = false;
    std::uint32_t fillStyleIndex_ = 1;
    std::uint32_t lineStyleIndex_ = 1;
    std::uint16_t lineWidth_ = 20;
    Rgba lineColour_{0, 0, 0, 255};
    std::int32_t translateX_ = 0, translateY_ = 0, rotation_ = 0;
    std::int32_t scaleX_ = 0x10000, scaleY_ = 0x10000;
    std::unique_ptr<SwfTag> bitmap_;
    int bitmapWidth_;
    int bitmapHeight_;
};

class SwfFrame {
public:
    explicit SwfFrame(SwfMovie& movie) noexcept : movie_(movie) {}

    // color is 0xAARRGGBB; the alpha is not written.
    void SetBackgroundColor(std::uint32_t argb);
    // Defines the shape (its bitmap first) and places it, once each.
    void AddObject(SwfBitmapShape& shape);

    TagList& tags() noexcept { return tags_; }

private:
    SwfMovie& movie_;
    TagList tags_;
};

class SwfMovie {
public:
    // The frame at index, created (with those before it) when missing.
    SwfFrame& GetFrame(int index);

    // Numbers the placements, gathers the tags and writes them to file, an
    // open file the caller closes: 0, or -1 when the file could not be opened
    // (null; the character IDs then run on).
    int Save(std::FILE* file);
    // The same, into a buffer instead of a file (for tests): the whole file.
    std::vector<std::uint8_t> SaveToBytes();

    int frameCount() const noexcept { return static_cast<int>(frames_.size()); }

private:
    friend class SwfFrame;

    TagList CollectTags();
    // Header, tags and End; resets the character IDs.
    SwfBuffer Assemble(const TagList& tags) const;

    std::vector<std::unique_ptr<SwfFrame>> frames_;
    int frameRate_ = 12;
    std::int32_t width_ = 11000;
    std::int32_t height_ = 8000;
    std::map<std::pair<int, int>, std::vector<PlaceObject2Tag*>> placements_;
};

}  // namespace rastelle::swf
