#include "form_data.h"

#include "text.h"

namespace devhost {

bool Fields::Add(std::string_view name, FormValue value) {
    if (valueCount_ >= kMaxFields) return false;
    const auto [found, added] = index_.try_emplace(AsciiLower(name), entries_.size());
    if (added) entries_.push_back({std::string(name), {}});
    entries_[found->second].values.push_back(std::move(value));
    ++valueCount_;
    return true;
}

const Fields::Entry* Fields::Find(std::string_view name) const {
    const auto found = index_.find(AsciiLower(name));
    return found == index_.end() ? nullptr : &entries_[found->second];
}

ParseResult ParseUrlEncoded(std::string_view text, Fields& fields) {
    while (!text.empty()) {
        const size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        const std::string name = PercentDecode(pair.substr(0, eq), true);
        const std::string value = eq == std::string_view::npos ? std::string() : PercentDecode(pair.substr(eq + 1), true);
        if (!fields.Add(name, {value, nullptr})) return ParseResult::kTooManyFields;
    }
    return ParseResult::kOk;
}

ParseResult ParseCookies(std::string_view header, Fields& fields) {
    while (!header.empty()) {
        const size_t semi = header.find(';');
        const std::string_view pair = Trim(header.substr(0, semi));
        header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
        const size_t eq = pair.find('=');
        if (pair.empty() || eq == std::string_view::npos) continue;
        if (!fields.Add(Trim(pair.substr(0, eq)), {PercentDecode(Trim(pair.substr(eq + 1)), true), nullptr}))
            return ParseResult::kTooManyFields;
    }
    return ParseResult::kOk;
}

namespace {

// The value of parameter key in a header such as
// 'form-data; name="photo"; filename="a.jpg"' (quoted or bare).
std::string HeaderParameter(std::string_view header, std::string_view key) {
    size_t pos = 0;
    while ((pos = header.find(';', pos)) != std::string_view::npos) {
        std::string_view rest = Trim(header.substr(pos + 1));
        ++pos;
        const size_t eq = rest.find('=');
        if (eq == std::string_view::npos || !EqualsIgnoreCase(Trim(rest.substr(0, eq)), key)) continue;
        rest = rest.substr(eq + 1);
        if (!rest.empty() && rest.front() == '"') {
            const size_t close = rest.find('"', 1);
            return std::string(rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        }
        return std::string(Trim(rest.substr(0, rest.find(';'))));
    }
    return {};
}

}  // namespace

ParseResult ParseMultipart(std::string_view body, std::string_view contentType, Fields& out) {
    const std::string boundary = HeaderParameter(contentType, "boundary");
    if (boundary.empty() || boundary.size() > 200) return ParseResult::kMalformed;
    const std::string delimiter = "--" + boundary;
    const std::string nextDelimiter = "\r\n" + delimiter;
    size_t pos = body.find(delimiter);
    if (pos == std::string_view::npos) return ParseResult::kMalformed;
    for (;;) {
        pos += delimiter.size();
        if (body.substr(pos, 2) == "--") return ParseResult::kOk;  // closing delimiter
        if (body.substr(pos, 2) != "\r\n") return ParseResult::kMalformed;
        pos += 2;
        const size_t headEnd = body.find("\r\n\r\n", pos);
        if (headEnd == std::string_view::npos) return ParseResult::kMalformed;
        const std::string_view head = body.substr(pos, headEnd - pos);
        const size_t next = body.find(nextDelimiter, headEnd + 4);
        if (next == std::string_view::npos) return ParseResult::kMalformed;
        const std::string_view content = body.substr(headEnd + 4, next - headEnd - 4);

        std::string disposition, partType;
        size_t line = 0;
        while (line <= head.size()) {
            size_t end = head.find("\r\n", line);
            if (end == std::string_view::npos) end = head.size();
            const std::string_view field = head.substr(line, end - line);
            const size_t colon = field.find(':');
            if (colon != std::string_view::npos) {
                if (EqualsIgnoreCase(Trim(field.substr(0, colon)), "Content-Disposition"))
                    disposition = Trim(field.substr(colon + 1));
                else if (EqualsIgnoreCase(Trim(field.substr(0, colon)), "Content-Type"))
                    partType = Trim(field.substr(colon + 1));
            }
            line = end + 2;
        }
        const std::string name = HeaderParameter(disposition, "name");
        bool added;
        if (disposition.find("filename=") != std::string::npos) {
            auto file = std::make_shared<FilePart>();
            file->fileName = HeaderParameter(disposition, "filename");
            file->contentType = partType.empty() ? "application/octet-stream" : partType;
            file->bytes = std::make_shared<const std::vector<std::uint8_t>>(content.begin(), content.end());
            std::string text = file->fileName;
            added = out.Add(name, {std::move(text), std::move(file)});
        } else {
            added = out.Add(name, {std::string(content), nullptr});
        }
        if (!added) return ParseResult::kTooManyFields;
        pos = next + 2;
    }
}

}  // namespace devhost
