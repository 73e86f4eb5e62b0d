#include "swf/swf_movie.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace rastelle::swf {

namespace {

constexpr std::uint32_t kHeaderSize = 21;

// 16.16 scale that stretches `pixels` across `twips` (edge lengths include
// the end point, hence + 1). A bitmap of no pixels scales as one of a pixel.
std::int32_t FillScale(std::int32_t twips, int pixels) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(twips + 1) * 65536) / (pixels > 0 ? pixels : 1));
}

}  // namespace

void SwfFrame::SetBackgroundColor(std::uint32_t argb) { tags_.push_back(std::make_unique<SetBackgroundColorTag>(argb)); }

void SwfFrame::AddObject(SwfBitmapShape& shape) {
    const Rect& b = shape.bounds_;
    if (!shape.defined_) {
        auto define = std::make_unique<DefineShape3Tag>(b);
        shape.characterId_ = define->CharacterId();
        const int bitmapId = shape.bitmap_->CharacterId();
        tags_.push_back(std::move(shape.bitmap_));

        BitmapFill unused;  // a clipped fill of no character, scaled 10x
        unused.bitmapId = 0xFFFF;
        unused.matrix.hasScale = true;
        unused.matrix.scaleX = unused.matrix.scaleY = 0xA0000;
        define->AddFillStyle(unused);

        BitmapFill fill;
        fill.bitmapId = static_cast<std::uint16_t>(bitmapId);
        fill.matrix.hasScale = true;
        fill.matrix.scaleX = FillScale(b.xmax - b.xmin, shape.bitmapWidth_);
        fill.matrix.scaleY = FillScale(b.ymax - b.ymin, shape.bitmapHeight_);
        fill.matrix.translateX = b.xmin;
        fill.matrix.translateY = b.ymin;
        shape.fillStyleIndex_ = define->AddFillStyle(fill);
        if (shape.lineWidth_ > 0) shape.lineStyleIndex_ = define->AddLineStyle({shape.lineWidth_, shape.lineColour_});
        define->CloseStyles();

        ShapeRecord start;
        start.kind = ShapeRecord::Kind::StyleChange;
        start.hasLineStyle = true;
        start.hasFillStyle1 = true;
        start.hasMoveTo = true;
        start.moveX = b.xmin;
        start.moveY = b.ymin;
        start.fillStyle1 = shape.fillStyleIndex_;
        start.lineStyle = shape.lineStyleIndex_;
        define->AddRecord(start);
        define->AddRecord(ShapeRecord::Edge(b.xmax - b.xmin + 1, 0));
        define->AddRecord(ShapeRecord::Edge(0, b.ymax - b.ymin + 1));
        define->AddRecord(ShapeRecord::Edge(b.xmin - b.xmax - 1, 0));
        define->AddRecord(ShapeRecord::Edge(0, b.ymin - b.ymax - 1));
        define->AddRecord(ShapeRecord{});
        tags_.push_back(std::move(define));
        shape.defined_ = true;
    }
    if (!shape.placed_) {
        auto place = std::make_unique<PlaceObject2Tag>(shape.depth_, static_cast<std::uint16_t>(shape.characterId_));
        if (shape.HasTransform()) {
            Matrix matrix;
            matrix.hasScale = shape.scaleX_ != 0x10000 || shape.scaleY_ != 0x10000;
            matrix.scaleX = shape.scaleX_;
            matrix.scaleY = shape.scaleY_;
            matrix.hasRotate = shape.rotation_ != 0;
            matrix.rotateSkew0 = shape.rotation_;
            matrix.rotateSkew1 = -shape.rotation_;
            matrix.translateX = shape.translateX_;
            matrix.translateY = shape.translateY_;
            place->SetMatrix(matrix);
        }
        movie_.placements_[{shape.depth_, shape.characterId_}].push_back(place.get());
        tags_.push_back(std::move(place));
        shape.placed_ = true;
    }
}

SwfFrame& SwfMovie::GetFrame(int index) {
    while (static_cast<int>(frames_.size()) <= index) frames_.push_back(std::make_unique<SwfFrame>(*this));
    return *frames_[static_cast<std::size_t>(index)];
}

TagList SwfMovie::CollectTags() {
    std::uint16_t depth = 0;
    for (auto& [key, places] : placements_) {
        for (PlaceObject2Tag* place : places) place->SetDepth(depth);
        ++depth;
    }
    TagList all;
    for (auto& frame : frames_) {
        for (auto& tag : frame->tags()) all.push_back(std::move(tag));
        frame->tags().clear();
        all.push_back(std::make_unique<ShowFrameTag>());
    }
    return all;
}

SwfBuffer SwfMovie::Assemble(const TagList& tags) const {
    SwfBuffer file;
    for (std::uint32_t i = 0; i < kHeaderSize; ++i) file.WriteByte(0);
    std::uint32_t showFrames = 0;
    for (const auto& tag : tags) {
        tag->Write(file);
        if (tag->IsShowFrame()) ++showFrames;
    }
    WriteRecordHeader(file, 0, 0);

    SwfBuffer header;
    for (std::uint8_t byte : {'F', 'W', 'S'}) header.WriteByte(byte);
    header.WriteByte(5);
    header.WriteU32(file.size());
    WriteRect(header, {0, width_, 0, height_});
    header.WriteByte(0);
    header.WriteByte(static_cast<std::uint8_t>(frameRate_));
    header.WriteU16(showFrames);
    std::copy(header.bytes().begin(), header.bytes().end(), file.bytes().begin());
    ResetCharacterIds();
    return file;
}

int SwfMovie::Save(std::FILE* file) {
    const TagList tags = CollectTags();
    if (!file) return -1;
    Assemble(tags).WriteTo(file);
    frames_.clear();
    return 0;
}

std::vector<std::uint8_t> SwfMovie::SaveToBytes() {
    const TagList tags = CollectTags();
    std::vector<std::uint8_t> bytes = Assemble(tags).Flatten();
    frames_.clear();
    return bytes;
}

}  // namespace rastelle::swf
