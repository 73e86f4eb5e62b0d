#include "platform/file_signature.h"

#include <windows.h>

namespace rastelle::platform {

LeadingBytes ReadLeadingBytes(const wchar_t* path) noexcept {
    LeadingBytes lead;
    if (!path) return lead;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lead;
    DWORD read = 0;
    if (ReadFile(file, lead.bytes, sizeof(lead.bytes), &read, nullptr)) lead.size = read;
    CloseHandle(file);
    return lead;
}

LeadingBytes PeekLeadingBytes(IStream* stream) noexcept {
    LeadingBytes lead;
    if (!stream) return lead;
    LARGE_INTEGER zero{};
    ULARGE_INTEGER start{};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &start))) return lead;
    // Some streams hand out data past their end, so never ask for more than
    // the stream says it holds.
    STATSTG stat{};
    ULONG want = sizeof(lead.bytes);
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        const ULONGLONG left = stat.cbSize.QuadPart > start.QuadPart ? stat.cbSize.QuadPart - start.QuadPart : 0;
        if (left < want) want = static_cast<ULONG>(left);
    }
    ULONG read = 0;
    if (want > 0 && SUCCEEDED(stream->Read(lead.bytes, want, &read))) lead.size = read;
    LARGE_INTEGER back;
    back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
    stream->Seek(back, STREAM_SEEK_SET, nullptr);
    return lead;
}

bool IsIconOrCursor(const LeadingBytes& lead) noexcept {
    if (lead.size < 6) return false;
    const auto word = [&](int i) { return static_cast<unsigned>(lead.bytes[i] | (lead.bytes[i + 1] << 8)); };
    return word(0) == 0 && (word(2) == 1 || word(2) == 2) && word(4) > 0;
}

}  // namespace rastelle::platform
