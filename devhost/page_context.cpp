#include "page_context.h"

#include "text.h"

namespace devhost {

void ResponseState::Send(std::string_view data) {
    if (!clientGone_ && !SendAll(socket_, data)) clientGone_ = true;
}

std::string ResponseState::HeaderBlock(bool withLength) const {
    std::string type = contentType;
    if (!charset.empty() && type.find("charset") == std::string::npos && type.starts_with("text/"))
        type += "; charset=" + charset;
    std::string head = "HTTP/1.1 " + status + "\r\nServer: rastelle-devhost\r\nContent-Type: " + type +
                       "\r\nCache-Control: " + cacheControl + "\r\nConnection: close\r\n";
    if (withLength) head += "Content-Length: " + std::to_string(body_.size()) + "\r\n";
    for (const auto& [name, value] : headers) head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

bool ResponseState::Write(std::string_view bytes) {
    if (ended) return true;
    if (bytes.size() > kMaxBufferedBytes - body_.size()) return false;
    body_.append(bytes);
    if (!buffer) Flush();
    return true;
}

void ResponseState::Flush() {
    if (!headersSent_) {
        Send(HeaderBlock(false));
        headersSent_ = true;
    }
    Send(body_);
    body_.clear();
}

void ResponseState::Finish() {
    if (headersSent_) {
        Send(body_);
    } else {
        Send(HeaderBlock(true) + body_);
        headersSent_ = true;
    }
    body_.clear();
}

int PageContext::PrepareCollections() {
    const std::string_view type = request.Header("Content-Type");
    const std::string lowerType = AsciiLower(type);
    ParseResult formResult = ParseResult::kOk;
    // A malformed form body leaves the collection empty, as before any check.
    if (lowerType.starts_with("application/x-www-form-urlencoded")) formResult = ParseUrlEncoded(request.body, form);
    else if (lowerType.starts_with("multipart/form-data")) formResult = ParseMultipart(request.body, type, form);
    if (formResult == ParseResult::kTooManyFields || ParseUrlEncoded(request.query, queryString) == ParseResult::kTooManyFields ||
        ParseCookies(request.Header("Cookie"), cookies) == ParseResult::kTooManyFields)
        return 413;

    auto add = [this](std::string_view name, std::string_view value) { serverVariables.Add(name, {std::string(value), nullptr}); };
    add("REQUEST_METHOD", request.method);
    add("QUERY_STRING", request.query);
    add("SCRIPT_NAME", request.path);
    add("PATH_INFO", request.path);
    add("URL", request.path);
    add("PATH_TRANSLATED", Narrow(physicalPath));
    add("APPL_PHYSICAL_PATH", Narrow(siteRoot) + "\\");
    add("SERVER_NAME", "localhost");
    add("SERVER_PORT", serverPort);
    add("SERVER_PROTOCOL", request.version);
    add("SERVER_SOFTWARE", "rastelle-devhost");
    add("REMOTE_ADDR", request.remoteAddress);
    add("REMOTE_HOST", request.remoteAddress);
    add("CONTENT_TYPE", type);
    add("CONTENT_LENGTH", std::to_string(request.body.size()));
    add("HTTPS", "off");
    add("LOCAL_ADDR", "127.0.0.1");
    std::string all;
    for (const auto& [name, value] : request.headers) {
        std::string key = "HTTP_";
        for (char c : name) key.push_back(c == '-' ? '_' : (c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c));
        add(key, value);
        all += key + ":" + value + "\r\n";
    }
    add("ALL_HTTP", all);
    return 0;
}

}  // namespace devhost
