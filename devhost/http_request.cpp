#include "http_request.h"

#include "text.h"

#include <charconv>

namespace devhost {

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (EqualsIgnoreCase(key, name)) return value;
    return {};
}

namespace {

// Reads more bytes into buffer; 0 when the peer closed, -1 on error or time-out.
int ReceiveSome(SOCKET socket, std::string& buffer) {
    char chunk[16384];
    const int n = recv(socket, chunk, sizeof chunk, 0);
    if (n > 0) buffer.append(chunk, static_cast<size_t>(n));
    return n < 0 ? -1 : n;
}

bool IsToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c <= 32 || c >= 127 || c == ':' || c == '(' || c == ')' || c == ',' || c == ';' || c == '"') return false;
    return true;
}

int ParseHead(std::string_view head, HttpRequest& request) {
    const size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) return 400;
    request.method = line.substr(0, sp1);
    request.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = line.substr(sp2 + 1);
    if (!IsToken(request.method) || request.target.empty() || request.target[0] != '/') return 400;
    if (request.version != "HTTP/1.1" && request.version != "HTTP/1.0") return request.version.starts_with("HTTP/") ? 505 : 400;
    for (char c : request.target)
        if (static_cast<unsigned char>(c) <= 32 || c == 127) return 400;

    const size_t q = request.target.find('?');
    request.path = PercentDecode(std::string_view(request.target).substr(0, q), false);
    if (q != std::string::npos) request.query = request.target.substr(q + 1);
    if (request.path.find('\0') != std::string::npos) return 400;

    size_t pos = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        size_t end = head.find("\r\n", pos);
        if (end == std::string_view::npos) end = head.size();
        const std::string_view field = head.substr(pos, end - pos);
        pos = end + 2;
        if (field.empty()) continue;
        const size_t colon = field.find(':');
        if (colon == std::string_view::npos || !IsToken(field.substr(0, colon))) return 400;
        request.headers.emplace_back(std::string(field.substr(0, colon)), std::string(Trim(field.substr(colon + 1))));
    }
    if (request.version == "HTTP/1.1" && request.Header("Host").empty()) return 400;
    size_t hostFields = 0;
    for (const auto& header : request.headers) hostFields += EqualsIgnoreCase(header.first, "Host") ? 1 : 0;
    if (hostFields > 1) return 400;
    return 0;
}

}  // namespace

int ReadRequest(SOCKET socket, const RequestLimits& limits, HttpRequest& request) {
    const DWORD timeout = limits.receiveTimeoutMs;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

    std::string buffer;
    size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > limits.maxHeaderBytes) return 431;
        const int n = ReceiveSome(socket, buffer);
        if (n == 0) return buffer.empty() ? -1 : 400;
        if (n < 0) return buffer.empty() ? -1 : 408;
    }
    if (headEnd > limits.maxHeaderBytes) return 431;
    if (const int status = ParseHead(std::string_view(buffer).substr(0, headEnd), request)) return status;

    if (!request.Header("Transfer-Encoding").empty()) return 501;
    size_t length = 0;
    const std::string_view lengthText = request.Header("Content-Length");
    if (!lengthText.empty()) {
        unsigned long long value = 0;
        const auto [end, ec] = std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), value);
        if (ec == std::errc::result_out_of_range) return 413;
        if (ec != std::errc() || end != lengthText.data() + lengthText.size()) return 400;
        if (value > limits.maxBodyBytes) return 413;
        length = static_cast<size_t>(value);
    }
    request.body = buffer.substr(headEnd + 4);
    request.body.reserve(length);
    while (request.body.size() < length) {
        const int n = ReceiveSome(socket, request.body);
        if (n == 0) return 400;
        if (n < 0) return 408;
    }
    request.body.resize(length);
    return 0;
}

bool SendAll(SOCKET socket, std::string_view data) {
    while (!data.empty()) {
        const int chunk = static_cast<int>(data.size() > (1 << 20) ? (1 << 20) : data.size());
        const int n = send(socket, data.data(), chunk, 0);
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Object moved";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 413: return "Payload Too Large";
        case 421: return "Misdirected Request";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}

}  // namespace devhost
