// The site folder: URL paths to files, content types, static files.
#pragma once

#include "http_request.h"

#include <string>

namespace devhost {

// The file a URL path names inside root (a Windows path), or an HTTP status
// when there is none: 400 for a path that tries to leave the site, 404 when
// nothing is there, 301 (with redirect set) for a folder named without its
// trailing '/'. A folder's default document is default.asp, then
// index.html.
int ResolvePath(const std::wstring& root, const std::string& urlPath, std::wstring& file, std::string& redirect);

const char* ContentTypeOf(const std::wstring& file);
bool IsAspPage(const std::wstring& file);
bool ReadWholeFile(const std::wstring& file, std::string& bytes);

}  // namespace devhost
