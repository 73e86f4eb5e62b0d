// rastelle-devhost: a development host for classic ASP pages on loopback.
// Not a production server (use IIS for that): one site folder, HTTP/1.1
// with one request per connection, a pool of four worker threads.
//
//   rastelle-devhost.exe [--port N] [--site FOLDER] [--threads N]
//                        [--max-request-mb N] [--script-timeout S]

#include "asp_compiler.h"
#include "com/module_state.h"
#include "http_request.h"
#include "page_context.h"
#include "page_runner.h"
#include "site.h"
#include "text.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <objbase.h>

#include <condition_variable>
#include <cstdio>
#include <cwchar>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace devhost {
namespace {

struct Options {
    int port = 8080;
    std::wstring site = L".";
    int threads = 4;
    size_t maxRequestBytes = 16 * 1024 * 1024;
    long scriptTimeout = 90;
};

std::mutex g_logLock;
void Log(const std::string& line) {
    std::lock_guard lock(g_logLock);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void SendSimple(SOCKET socket, int status, const std::string& extraHeaders = {}) {
    const std::string body = "<html><body><h1>" + std::to_string(status) + " " + ReasonPhrase(status) + "</h1></body></html>\r\n";
    SendAll(socket, "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) +
                        "\r\nServer: rastelle-devhost\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body);
}

// Whether authority ("127.0.0.1:8080") names this host: a loopback name
// with the host's port, or without a port when that is 80. A page of another
// site whose DNS name has been rebound to 127.0.0.1 sends its own name.
bool IsOwnAuthority(std::string_view authority, int port) {
    const std::string portSuffix = ":" + std::to_string(port);
    for (const std::string_view name : {"127.0.0.1", "localhost", "[::1]"}) {
        if (authority.size() < name.size() || !EqualsIgnoreCase(authority.substr(0, name.size()), name)) continue;
        const std::string_view rest = authority.substr(name.size());
        if ((rest.empty() && port == 80) || rest == portSuffix) return true;
    }
    return false;
}

bool IsOwnOrigin(std::string_view origin, int port) {
    constexpr std::string_view kScheme = "http://";
    return origin.size() > kScheme.size() && EqualsIgnoreCase(origin.substr(0, kScheme.size()), kScheme) &&
           IsOwnAuthority(origin.substr(kScheme.size()), port);
}

class Host {
public:
    explicit Host(const Options& options)
        : options_(options), running_(static_cast<size_t>(options.threads)), threads_(static_cast<size_t>(options.threads)) {}

    // Queues an accepted connection; answers 503 when the queue is full.
    void Enqueue(SOCKET socket) {
        {
            std::lock_guard lock(queueLock_);
            if (queue_.size() < 256) {
                queue_.push_back(socket);
                queueReady_.notify_one();
                return;
            }
        }
        SendSimple(socket, 503);
        closesocket(socket);
    }

    void StartThreads() {
        for (size_t i = 0; i < threads_.size(); ++i) StartWorker(i);
        std::thread([this] { Watch(); }).detach();
    }

private:
    struct WorkerStart {
        Host* host;
        size_t index;
    };

    void StartWorker(size_t index) {
        auto* start = new WorkerStart{this, index};
        threads_[index] = CreateThread(nullptr, 0, &Host::WorkerMain, start, 0, nullptr);
    }

    static DWORD WINAPI WorkerMain(void* parameter) {
        const WorkerStart start = *static_cast<WorkerStart*>(parameter);
        delete static_cast<WorkerStart*>(parameter);
        start.host->Work(start.index);
        return 0;
    }

    void Work(size_t index) {
        // Apartment-threaded, as the script engines and the pages' objects
        // expect; every object of a request is made on this thread.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (;;) {
            SOCKET socket;
            {
                std::unique_lock lock(queueLock_);
                queueReady_.wait(lock, [this] { return !queue_.empty(); });
                socket = queue_.front();
                queue_.pop_front();
            }
            try {
                Serve(socket, running_[index]);
            } catch (const std::exception& e) {
                Log(std::string("request failed: ") + e.what());
            }
            shutdown(socket, SD_SEND);
            // Drain what the client still sends so that closing does not reset
            // the connection before it has read the answer.
            char sink[4096];
            const DWORD shortWait = 200;
            setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&shortWait), sizeof shortWait);
            while (recv(socket, sink, sizeof sink, 0) > 0) {
            }
            closesocket(socket);
        }
    }

    // Stops pages at their time limit. A page whose engine ignores the
    // interrupt has its worker thread ended (what it held leaks: this is a
    // development host's last resort) and a new worker takes its place.
    void Watch() {
        for (;;) {
            Sleep(200);
            const ULONGLONG now = GetTickCount64();
            for (size_t i = 0; i < running_.size(); ++i) {
                if (!running_[i].Check(now)) continue;
                TerminateThread(threads_[i], 1);
                WaitForSingleObject(threads_[i], 5000);
                CloseHandle(threads_[i]);
                PageContext* context = running_[i].Context();
                AnswerTimedOut(*context, Widen(context->request.path));
                Log(context->request.method + " " + context->request.target + " 500 (time limit; worker replaced)");
                const SOCKET socket = context->response.Socket();
                shutdown(socket, SD_BOTH);
                closesocket(socket);
                running_[i].Reset();
                StartWorker(i);
            }
        }
    }

    void Serve(SOCKET socket, RunningScript& running) {
        HttpRequest request;
        sockaddr_in peer{};
        int peerLength = sizeof peer;
        if (getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
            request.remoteAddress = text;
        }
        RequestLimits limits;
        limits.maxBodyBytes = options_.maxRequestBytes;
        const int readStatus = ReadRequest(socket, limits, request);
        if (readStatus < 0) return;
        if (readStatus > 0) {
            SendSimple(socket, readStatus);
            Log("- " + std::to_string(readStatus));
            return;
        }

        // A browser visiting another site may be led here: by a DNS name
        // rebound to loopback (a foreign Host) or by a form posted across
        // sites (a foreign Origin). HTTP/1.0 may leave Host out.
        const std::string_view hostName = request.Header("Host");
        const std::string_view origin = request.Header("Origin");
        int refusal = 0;
        if (!hostName.empty() ? !IsOwnAuthority(hostName, options_.port) : request.version != "HTTP/1.0") refusal = 421;
        else if (!origin.empty() && request.method != "GET" && request.method != "HEAD" && !IsOwnOrigin(origin, options_.port))
            refusal = 403;
        if (refusal) {
            SendSimple(socket, refusal);
            Log(request.method + " " + request.target + " " + std::to_string(refusal));
            return;
        }

        std::wstring file;
        std::string redirect;
        const int status = ResolvePath(options_.site, request.path, file, redirect);
        if (status == 301) {
            SendSimple(socket, 301, "Location: " + redirect + (request.query.empty() ? "" : "?" + request.query) + "\r\n");
        } else if (status != 0) {
            SendSimple(socket, status);
        } else if (IsAspPage(file)) {
            ServePage(socket, request, file, running);
            return;
        } else if (request.method != "GET" && request.method != "HEAD") {
            SendSimple(socket, 405, "Allow: GET, HEAD\r\n");
        } else {
            std::string bytes;
            if (!ReadWholeFile(file, bytes)) {
                SendSimple(socket, 404);
            } else {
                std::string head = std::string("HTTP/1.1 200 OK\r\nServer: rastelle-devhost\r\nContent-Type: ") +
                                   ContentTypeOf(file) + "\r\nContent-Length: " + std::to_string(bytes.size()) +
                                   "\r\nConnection: close\r\n\r\n";
                SendAll(socket, request.method == "HEAD" ? head : head + bytes);
            }
        }
        Log(request.method + " " + request.target + " " + std::to_string(status == 0 ? 200 : status));
    }

    void ServePage(SOCKET socket, HttpRequest& request, const std::wstring& file, RunningScript& running) {
        // The time limit counts from here: compiling the page and parsing
        // the request's collections are part of what the page costs.
        const ULONGLONG started = GetTickCount64();
        std::string source;
        if (!ReadWholeFile(file, source)) {
            SendSimple(socket, 404);
            return;
        }
        const CompiledPage page = CompilePage(Widen(source));
        // On the heap: a worker ended at the time limit leaves it to the watchdog.
        auto context = std::make_shared<PageContext>(std::move(request), socket);
        context->siteRoot = options_.site;
        context->physicalPath = file;
        context->serverPort = std::to_string(options_.port);
        context->scriptTimeoutSeconds = options_.scriptTimeout;
        if (const int status = context->PrepareCollections()) {
            SendSimple(socket, status);
            Log(context->request.method + " " + context->request.target + " " + std::to_string(status));
            return;
        }
        RunPage(page, context, running, Widen(context->request.path), started);
        Log(context->request.method + " " + context->request.target + " " + context->response.status.substr(0, 3));
    }

    Options options_;
    std::vector<RunningScript> running_;
    std::vector<HANDLE> threads_;
    std::mutex queueLock_;
    std::condition_variable queueReady_;
    std::deque<SOCKET> queue_;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) return false;
        if (arg == L"--port") options.port = _wtoi(value);
        else if (arg == L"--site") options.site = value;
        else if (arg == L"--threads") options.threads = _wtoi(value);
        else if (arg == L"--max-request-mb") options.maxRequestBytes = static_cast<size_t>(_wtoi(value)) << 20;
        else if (arg == L"--script-timeout") options.scriptTimeout = _wtoi(value);
        else return false;
        ++i;
    }
    if (options.port <= 0 || options.port > 65535 || options.threads <= 0 || options.threads > 64 ||
        options.scriptTimeout <= 0 || options.maxRequestBytes == 0)
        return false;
    wchar_t full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(options.site.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2) return false;
    options.site = full;
    while (options.site.size() > 3 && (options.site.back() == L'\\' || options.site.back() == L'/')) options.site.pop_back();
    return true;
}

int Run(int argc, wchar_t** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs("usage: rastelle-devhost [--port N] [--site FOLDER] [--threads N] [--max-request-mb N] "
                   "[--script-timeout S]\n", stderr);
        return 2;
    }
    // The intrinsic objects' type information is in this program's resources.
    rastelle::com::SetModuleInstance(GetModuleHandleW(nullptr));

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL exclusive = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(options.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0) {
        std::fprintf(stderr, "rastelle-devhost: cannot listen on 127.0.0.1:%d (error %d)\n", options.port, WSAGetLastError());
        return 1;
    }
    Host host(options);
    host.StartThreads();
    Log("rastelle-devhost: serving " + Narrow(options.site) + " at http://127.0.0.1:" + std::to_string(options.port) + "/");
    for (;;) {
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            Sleep(10);
            continue;
        }
        host.Enqueue(client);
    }
}

}  // namespace
}  // namespace devhost

int wmain(int argc, wchar_t** argv) { return devhost::Run(argc, argv); }
