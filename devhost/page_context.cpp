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

void ResponseState::Write(std::string_view bytes) {
    if (ended) return;
    body_.append(bytes);
    if (!buffer) Flush();
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

void PageContext::PrepareCollections() {
    queryString = ParseUrlEncoded(request.query);
    const std::string_view type = request.Header("Content-Type");
    const std::string lowerType = AsciiLower(type);
    if (lowerType.starts_with("application/x-www-form-urlencoded")) form = ParseUrlEncoded(request.body);
    else if (lowerType.starts_with("multipart/form-data")) ParseMultipart(request.body, type, form);
    cookies = ParseCookies(request.Header("Cookie"));

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
}

}  // namespace devhost
