// Text helpers shared by the host: UTF-8 and UTF-16 conversion, ASCII case
// folding, and the URL and HTML encodings of the ASP object model.
#pragma once

#include <string>
#include <string_view>

namespace devhost {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b);
std::string_view Trim(std::string_view text);

// Decodes %XX escapes, and '+' as a space when plusIsSpace (form data).
// Malformed escapes are kept as they are.
std::string PercentDecode(std::string_view text, bool plusIsSpace);

// Server.URLEncode: letters and digits kept, space as '+', every other
// UTF-8 byte as %XX.
std::wstring UrlEncode(std::wstring_view text);
// Server.URLPathEncode: like UrlEncode but keeps '/' and leaves spaces %20.
std::wstring UrlPathEncode(std::wstring_view text);
// Server.HTMLEncode: &, <, >, " as entities, characters 160..255 as &#n;.
std::wstring HtmlEncode(std::wstring_view text);
std::string HtmlEncode(std::string_view utf8);

}  // namespace devhost
