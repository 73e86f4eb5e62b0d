// Name/value collections of a request: the query string, URL-encoded and
// multipart form bodies, cookies and server variables. Names keep their
// first spelling and order and match case-insensitively, as in ASP.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace devhost {

// The most name/value pairs one collection holds; a request with more is
// refused (a form of a hundred thousand fields is an attack, not a form).
inline constexpr size_t kMaxFields = 10000;

struct FilePart {
    std::string fileName;
    std::string contentType;
    // Shared with the streams the upload object hands out.
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

struct FormValue {
    std::string text;                // the value, or the file's name
    std::shared_ptr<FilePart> file;  // set for a file field
};

class Fields {
public:
    struct Entry {
        std::string name;
        std::vector<FormValue> values;
    };

    // False, and nothing added, when the collection already holds
    // kMaxFields values.
    bool Add(std::string_view name, FormValue value);
    const Entry* Find(std::string_view name) const;
    const std::vector<Entry>& Entries() const { return entries_; }
    size_t ValueCount() const { return valueCount_; }

private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, size_t> index_;  // lower-cased name to entry
    size_t valueCount_ = 0;
};

enum class ParseResult { kOk, kMalformed, kTooManyFields };

// "a=1&b=2&a=3" with '+' as space and %XX escapes.
ParseResult ParseUrlEncoded(std::string_view text, Fields& out);
// The parts of a multipart/form-data body.
ParseResult ParseMultipart(std::string_view body, std::string_view contentType, Fields& out);
// "a=1; b=2".
ParseResult ParseCookies(std::string_view header, Fields& out);

}  // namespace devhost
