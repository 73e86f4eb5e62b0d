// The output buffer of the SWF writer: bytes written bit by bit, most
// significant bit first, plus chunks: large blocks (compressed pixels, JPEG
// data) that belong at a byte position but stay in their owner's memory
// instead of being copied in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace rastelle::swf {

class SwfBuffer {
public:
    SwfBuffer() { bytes_.reserve(1024); }

    // The low count bits of value, most significant first. Values that do not
    // fit are not checked: the record encodings compute their own widths.
    void WriteBits(std::uint32_t value, int count);
    void WriteByte(std::uint8_t value) { WriteBits(value, 8); }
    void WriteU16(std::uint32_t value);
    void WriteU32(std::uint32_t value);
    // Pads the byte under construction with zero bits and stores it.
    void Align();

    // data (length bytes) goes into the output at the current byte position;
    // it must stay alive until the buffer has been written.
    void AddChunk(const std::uint8_t* data, std::uint32_t length);
    // Appends other's bytes and chunks (both buffers byte-aligned).
    void Append(const SwfBuffer& other);

    // Completed bytes plus every chunk's length.
    std::uint32_t size() const noexcept { return size_; }
    std::uint32_t byteCount() const noexcept { return static_cast<std::uint32_t>(bytes_.size()); }
    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
    std::vector<std::uint8_t>& bytes() noexcept { return bytes_; }

    // Every byte in output order, chunks included (tests and small buffers).
    std::vector<std::uint8_t> Flatten() const;
    // Writes the bytes and chunks in output order; write errors are not
    // reported (the file is closed by the caller).
    void WriteTo(std::FILE* file) const;

private:
    struct Chunk {
        std::uint32_t position;
        const std::uint8_t* data;
        std::uint32_t length;
    };

    std::vector<std::uint8_t> bytes_;
    std::vector<Chunk> chunks_;
    std::uint32_t size_ = 0;
    int freeBits_ = 8;
    std::uint8_t accumulator_ = 0;
};

}  // namespace rastelle::swf
