// Everything one page request owns: the request, its parsed collections, the
// response being built, and the page's place in the site. The intrinsic
// objects share it; it lives until the last of them is released.
#pragma once

#include "form_data.h"
#include "http_request.h"

#include <winsock2.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace devhost {

class ResponseState {
public:
    explicit ResponseState(SOCKET socket) : socket_(socket) {}

    std::string status = "200 OK";
    std::string contentType = "text/html";
    std::string charset = "utf-8";
    std::string cacheControl = "private";
    std::vector<std::pair<std::string, std::string>> headers;
    bool buffer = true;
    bool ended = false;

    // The most body bytes a buffered response holds.
    static constexpr size_t kMaxBufferedBytes = 256u << 20;

    bool HeadersSent() const { return headersSent_; }
    bool ClientGone() const { return clientGone_; }
    size_t BufferedBytes() const { return body_.size(); }
    SOCKET Socket() const { return socket_; }

    // Appends body bytes: kept while buffering, else sent at once. False,
    // and nothing kept, when the buffer would grow past kMaxBufferedBytes.
    bool Write(std::string_view bytes);
    // Sends the headers (if not yet sent) and the buffered body.
    void Flush();
    // Drops the buffered body.
    void Clear() { body_.clear(); }
    // Ends the exchange: a response not yet started goes out whole, with its
    // length.
    void Finish();

private:
    std::string HeaderBlock(bool withLength) const;
    void Send(std::string_view data);

    SOCKET socket_;
    std::string body_;
    bool headersSent_ = false;
    bool clientGone_ = false;
};

struct PageContext {
    PageContext(HttpRequest request, SOCKET socket) : request(std::move(request)), response(socket) {}

    HttpRequest request;
    ResponseState response;
    std::wstring siteRoot;       // Windows path without a trailing separator
    std::wstring physicalPath;   // of the page
    std::string serverPort;
    Fields queryString, form, cookies, serverVariables;
    size_t bodyReadPosition = 0;
    std::atomic<long> scriptTimeoutSeconds{90};

    // Parses the collections of the request: 0, or 413 when the query
    // string, form or cookies hold more than kMaxFields values.
    int PrepareCollections();
};

}  // namespace devhost
