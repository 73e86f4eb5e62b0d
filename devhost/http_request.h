// An HTTP/1.1 request read from a connection, with the limits that keep a
// bad or oversize request from costing the host more than a refusal.
#pragma once

#include <winsock2.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devhost {

struct HttpRequest {
    std::string method;
    std::string target;   // as sent: path and query
    std::string path;     // percent-decoded, without the query
    std::string query;    // raw, without '?'
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string remoteAddress;

    // The first header of that name (case-insensitive), or empty.
    std::string_view Header(std::string_view name) const;
};

struct RequestLimits {
    size_t maxHeaderBytes = 64 * 1024;
    size_t maxBodyBytes = 16 * 1024 * 1024;
    DWORD receiveTimeoutMs = 15000;
};

// Reads one request. Returns 0 on success, else the status to answer with
// (400 malformed or with more than one Host, 413 too large, 431 header too large, 501 unsupported
// transfer coding, 408 timed out); -1 when the peer closed the connection
// before sending anything.
int ReadRequest(SOCKET socket, const RequestLimits& limits, HttpRequest& request);

// Sends all of data; false when the peer has gone.
bool SendAll(SOCKET socket, std::string_view data);

const char* ReasonPhrase(int status);

}  // namespace devhost
