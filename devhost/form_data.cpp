#include "form_data.h"

#include "text.h"

namespace devhost {

void Fields::Add(std::string_view name, FormValue value) {
    for (Entry& entry : entries_) {
        if (EqualsIgnoreCase(entry.name, name)) {
            entry.values.push_back(std::move(value));
            return;
        }
    }
    entries_.push_back({std::string(name), {std::move(value)}});
}

const Fields::Entry* Fields::Find(std::string_view name) const {
    for (const Entry& entry : entries_)
        if (EqualsIgnoreCase(entry.name, name)) return &entry;
    return nullptr;
}

Fields ParseUrlEncoded(std::string_view text) {
    Fields fields;
    while (!text.empty()) {
        const size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t eq = pair.find('=');
        const std::string name = PercentDecode(pair.substr(0, eq), true);
        const std::string value = eq == std::string_view::npos ? std::string() : PercentDecode(pair.substr(eq + 1), true);
        fields.Add(name, {value, nullptr});
    }
    return fields;
}

Fields ParseCookies(std::string_view header) {
    Fields fields;
    while (!header.empty()) {
        const size_t semi = header.find(';');
        const std::string_view pair = Trim(header.substr(0, semi));
        header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
        const size_t eq = pair.find('=');
        if (pair.empty() || eq == std::string_view::npos) continue;
        fields.Add(Trim(pair.substr(0, eq)), {PercentDecode(Trim(pair.substr(eq + 1)), true), nullptr});
    }
    return fields;
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

bool ParseMultipart(std::string_view body, std::string_view contentType, Fields& out) {
    const std::string boundary = HeaderParameter(contentType, "boundary");
    if (boundary.empty() || boundary.size() > 200) return false;
    const std::string delimiter = "--" + boundary;
    size_t pos = body.find(delimiter);
    if (pos == std::string_view::npos) return false;
    for (;;) {
        pos += delimiter.size();
        if (body.substr(pos, 2) == "--") return true;  // closing delimiter
        if (body.substr(pos, 2) != "\r\n") return false;
        pos += 2;
        const size_t headEnd = body.find("\r\n\r\n", pos);
        if (headEnd == std::string_view::npos) return false;
        const std::string_view head = body.substr(pos, headEnd - pos);
        const size_t next = body.find("\r\n" + delimiter, headEnd + 4);
        if (next == std::string_view::npos) return false;
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
        if (disposition.find("filename=") != std::string::npos) {
            auto file = std::make_shared<FilePart>();
            file->fileName = HeaderParameter(disposition, "filename");
            file->contentType = partType.empty() ? "application/octet-stream" : partType;
            file->bytes.assign(content);
            out.Add(name, {file->fileName, std::move(file)});
        } else {
            out.Add(name, {std::string(content), nullptr});
        }
        pos = next + 2;
    }
}

}  // namespace devhost
