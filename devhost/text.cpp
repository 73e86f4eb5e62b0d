#include "text.h"

#include <windows.h>

namespace devhost {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

template <class Char>
static bool EqualsIgnoreCaseT(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        Char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<Char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<Char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}
bool EqualsIgnoreCase(std::string_view a, std::string_view b) { return EqualsIgnoreCaseT(a, b); }
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) { return EqualsIgnoreCaseT(a, b); }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

static std::wstring Encode(std::wstring_view text, bool path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : Narrow(text)) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          (path && (c == '/' || c == '-' || c == '_' || c == '.' || c == '~'));
        if (keep) {
            out.push_back(c);
        } else if (c == ' ' && !path) {
            out.push_back(L'+');
        } else {
            out.push_back(L'%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}
std::wstring UrlEncode(std::wstring_view text) { return Encode(text, false); }
std::wstring UrlPathEncode(std::wstring_view text) { return Encode(text, true); }

std::wstring HtmlEncode(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            case L'"': out += L"&quot;"; break;
            default:
                if (c >= 160 && c <= 255) out += L"&#" + std::to_wstring(static_cast<int>(c)) + L";";
                else out.push_back(c);
        }
    }
    return out;
}

std::string HtmlEncode(std::string_view utf8) { return Narrow(HtmlEncode(Widen(utf8))); }

}  // namespace devhost
