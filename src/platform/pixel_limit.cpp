#include "platform/pixel_limit.h"

#include <windows.h>

#include <limits>

namespace rastelle::platform {

namespace {

std::uint64_t ReadMaxImagePixels() noexcept {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Rastelle", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return kDefaultMaxImagePixels;
    DWORD value = 0, type = 0, size = sizeof value;
    const LSTATUS status =
        RegQueryValueExW(key, L"MaxImagePixels", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return kDefaultMaxImagePixels;
    return value == 0 ? std::numeric_limits<std::uint64_t>::max() : value;
}

}  // namespace

std::uint64_t MaxImagePixels() noexcept {
    static const std::uint64_t limit = ReadMaxImagePixels();
    return limit;
}

}  // namespace rastelle::platform
