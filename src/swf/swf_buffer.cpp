#include "swf/swf_buffer.h"

#include <cassert>

namespace rastelle::swf {

void SwfBuffer::WriteBits(std::uint32_t value, int count) {
    while (count > 0) {
        const int take = count < freeBits_ ? count : freeBits_;
        const std::uint32_t bits = (value >> (count - take)) & ((1u << take) - 1);
        accumulator_ = static_cast<std::uint8_t>(accumulator_ | (bits << (freeBits_ - take)));
        freeBits_ -= take;
        count -= take;
        if (freeBits_ == 0) {
            bytes_.push_back(accumulator_);
            ++size_;
            accumulator_ = 0;
            freeBits_ = 8;
        }
    }
}

void SwfBuffer::WriteU16(std::uint32_t value) {
    WriteByte(static_cast<std::uint8_t>(value));
    WriteByte(static_cast<std::uint8_t>(value >> 8));
}

void SwfBuffer::WriteU32(std::uint32_t value) {
    WriteU16(value & 0xFFFF);
    WriteU16(value >> 16);
}

void SwfBuffer::Align() {
    if (freeBits_ != 8) WriteBits(0, freeBits_);
}

void SwfBuffer::AddChunk(const std::uint8_t* data, std::uint32_t length) {
    assert(freeBits_ == 8);
    chunks_.push_back({byteCount(), data, length});
    size_ += length;
}

void SwfBuffer::Append(const SwfBuffer& other) {
    assert(freeBits_ == 8 && other.freeBits_ == 8);
    const std::uint32_t offset = byteCount();
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    for (const Chunk& chunk : other.chunks_) chunks_.push_back({chunk.position + offset, chunk.data, chunk.length});
    size_ += other.size_;
}

std::vector<std::uint8_t> SwfBuffer::Flatten() const {
    std::vector<std::uint8_t> out;
    out.reserve(size_);
    std::uint32_t done = 0;
    for (const Chunk& chunk : chunks_) {
        out.insert(out.end(), bytes_.begin() + done, bytes_.begin() + chunk.position);
        out.insert(out.end(), chunk.data, chunk.data + chunk.length);
        done = chunk.position;
    }
    out.insert(out.end(), bytes_.begin() + done, bytes_.end());
    return out;
}

void SwfBuffer::WriteTo(std::FILE* file) const {
    std::uint32_t done = 0;
    for (const Chunk& chunk : chunks_) {
        std::fwrite(bytes_.data() + done, 1, chunk.position - done, file);
        std::fwrite(chunk.data, 1, chunk.length, file);
        done = chunk.position;
    }
    std::fwrite(bytes_.data() + done, 1, bytes_.size() - done, file);
}

}  // namespace rastelle::swf
