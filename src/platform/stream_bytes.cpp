#include "platform/stream_bytes.h"

#include <algorithm>
#include <limits>

namespace rastelle::platform {

namespace {

constexpr ULONG kPiece = 1u << 20;

HRESULT ReadPieces(IStream* stream, std::uint64_t want, bool toEnd, std::vector<std::uint8_t>& bytes) {
    std::uint64_t done = 0;
    while (toEnd || done < want) {
        const auto piece = static_cast<ULONG>(toEnd ? kPiece : std::min<std::uint64_t>(want - done, kPiece));
        if (toEnd && done + piece > want) return E_OUTOFMEMORY;  // more than the limit
        bytes.resize(static_cast<std::size_t>(done + piece));
        ULONG read = 0;
        const HRESULT hr = stream->Read(bytes.data() + done, piece, &read);
        if (FAILED(hr)) return hr;
        done += std::min(read, piece);
        if (read < piece) break;
    }
    bytes.resize(static_cast<std::size_t>(done));
    return S_OK;
}

}  // namespace

HRESULT ReadRestOfStream(IStream* stream, std::uint64_t limit, std::vector<std::uint8_t>& bytes) noexcept {
    bytes.clear();
    if (!stream) return E_POINTER;
    limit = std::min<std::uint64_t>(limit, std::numeric_limits<std::size_t>::max() / 2);
    try {
        LARGE_INTEGER zero{};
        ULARGE_INTEGER position{};
        STATSTG stat{};
        if (SUCCEEDED(stream->Seek(zero, STREAM_SEEK_CUR, &position)) &&
            SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
            if (stat.cbSize.QuadPart <= position.QuadPart) return S_OK;
            const std::uint64_t rest = stat.cbSize.QuadPart - position.QuadPart;
            if (rest > limit) return E_OUTOFMEMORY;
            bytes.reserve(static_cast<std::size_t>(rest));
            return ReadPieces(stream, rest, false, bytes);
        }
        return ReadPieces(stream, limit, true, bytes);
    } catch (...) {  // the bytes cannot be held
        bytes.clear();
        bytes.shrink_to_fit();
        return E_OUTOFMEMORY;
    }
}

}  // namespace rastelle::platform
