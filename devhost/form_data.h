// Name/value collections of a request: the query string, URL-encoded and
// multipart form bodies, cookies and server variables. Names keep their
// first spelling and order and match case-insensitively, as in ASP.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace devhost {

struct FilePart {
    std::string fileName;
    std::string contentType;
    std::string bytes;
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

    void Add(std::string_view name, FormValue value);
    const Entry* Find(std::string_view name) const;
    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

// "a=1&b=2&a=3" with '+' as space and %XX escapes.
Fields ParseUrlEncoded(std::string_view text);
// The parts of a multipart/form-data body; false when it is malformed.
bool ParseMultipart(std::string_view body, std::string_view contentType, Fields& out);
// "a=1; b=2".
Fields ParseCookies(std::string_view header);

}  // namespace devhost
