// The HTTP client on WinINet, with the behaviour of the libcurl one: user agent "Vellumin", plain
// HTTP only, the proxy of the environment's http_proxy (loopback and no_proxy hosts bypassed)
// or else the system's, time-outs for the connection and for a stalled transfer, and curl's
// texts for the failures a user meets most.
#include "platform/HttpClient.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Win32Text.h"

namespace vellumin::platform {
namespace {

struct InternetHandle {
    HINTERNET h = nullptr;
    ~InternetHandle() {
        if (h != nullptr) {
            InternetCloseHandle(h);
        }
    }
};

const char* Environment(const char* lower, const char* upper) {
    const char* value = std::getenv(lower);
    return value != nullptr ? value : std::getenv(upper);
}

// "host[:port]" of an http:// URL, and its port (80 when none is given).
void HostOf(const std::string& url, std::string& host, long& port) {
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = url.find_first_of("/?#", start);
    host = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    port = 80;
    if (const size_t colon = host.rfind(':'); colon != std::string::npos && host.back() != ']') {
        port = std::atol(host.c_str() + colon + 1);
        host.resize(colon);
    }
}

// "a.b.c.d/n" holds the IPv4 host when both lie in that network, as curl reads such an entry.
bool InNetwork(const std::string& host, const std::string& entry) {
    unsigned n[4], h[4], bits = 0;
    char tail = 0;
    if (std::sscanf(entry.c_str(), "%u.%u.%u.%u/%u%c", &n[0], &n[1], &n[2], &n[3], &bits, &tail) != 5 ||
        std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &h[0], &h[1], &h[2], &h[3], &tail) != 4 || bits > 32) {
        return false;
    }
    uint32_t network = 0, address = 0;
    for (int i = 0; i < 4; ++i) {
        if (n[i] > 255 || h[i] > 255) {
            return false;
        }
        network = network << 8 | n[i];
        address = address << 8 | h[i];
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    return (network & mask) == (address & mask);
}

// Whether the host is on the no-proxy list (NoProxyList: the environment's hosts and loopback):
// "*", the host itself, a network it lies in, or a domain it lies in.
bool Bypassed(const std::string& host, const std::string& list) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(',', start), list.size());
        std::string entry = list.substr(start, end - start);
        while (!entry.empty() && entry.front() == ' ') entry.erase(0, 1);
        while (!entry.empty() && entry.back() == ' ') entry.pop_back();
        if (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
        if (entry == "*" || entry == host || InNetwork(host, entry) ||
            (!entry.empty() && host.size() > entry.size() &&
             host.compare(host.size() - entry.size(), entry.size(), entry) == 0 &&
             host[host.size() - entry.size() - 1] == '.')) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string Limited(std::string text) {
    if (text.size() > kHttpErrorTextMax) {
        text.resize(kHttpErrorTextMax);
    }
    return text;
}

// The texts libcurl gives for the same failures; WinINet's own text for the rest.
std::string FailureText(DWORD error, const std::string& url) {
    std::string host;
    long port = 0;
    HostOf(url, host, port);
    switch (error) {
        case ERROR_INTERNET_NAME_NOT_RESOLVED:
            return "Could not resolve host: " + host;
        case ERROR_INTERNET_CANNOT_CONNECT:
            return "Failed to connect to " + host + " port " + std::to_string(port) +
                   ": Couldn't connect to server";
        case ERROR_INTERNET_TIMEOUT:
            return "Operation timed out";
        case ERROR_INTERNET_CONNECTION_RESET:
        case ERROR_INTERNET_CONNECTION_ABORTED:
            return "Recv failure: Connection was reset";
        case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
        case ERROR_INTERNET_INVALID_URL: {
            const size_t scheme = url.find("://");
            return scheme == std::string::npos
                       ? "URL using bad/illegal format or missing URL"
                       : "Protocol \"" + url.substr(0, scheme) + "\" not supported or disabled in libcurl";
        }
        default:
            break;
    }
    const std::string text = windows_backend::Win32ErrorMessage(error, GetModuleHandleA("wininet.dll"));
    return text.empty() ? "WinINet error " + std::to_string(error) : text;
}

bool QueryNumber(HINTERNET request, DWORD info, DWORD& value) {
    DWORD size = sizeof value;
    return HttpQueryInfoA(request, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr) != 0;
}

}  // namespace

HttpClient::HttpClient(CacheUse cache) : m_cache(cache) {}

HttpClient::~HttpClient() = default;

void HttpClient::SetTimeouts(long connectSeconds, long stallSeconds) {
    m_connectSeconds = connectSeconds;
    m_stallSeconds = stallSeconds;
}

HttpResponse HttpClient::Get(const std::string& url, const Sink& sink, const HeadCheck& head) {
    HttpResponse response;
    if (url.rfind("http://", 0) != 0) {
        response.error = Limited(FailureText(ERROR_INTERNET_UNRECOGNIZED_SCHEME, url));
        return response;
    }
    // A session per transfer, as the proxy depends on the host: none for loopback and the
    // no_proxy hosts (without even asking the system, whose proxy detection can take seconds),
    // http_proxy when set, else the system's settings.
    std::string host;
    long port = 0;
    HostOf(url, host, port);
    if (!host.empty() && host.front() == '[') {
        host = host.substr(1, host.size() - 2);
    }
    const char* proxy = Environment("http_proxy", "HTTP_PROXY");
    InternetHandle sessionHandle;
    if (Bypassed(host, NoProxyList(Environment("no_proxy", "NO_PROXY")))) {
        sessionHandle.h = InternetOpenA("Vellumin", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else if (proxy != nullptr && *proxy != '\0') {
        sessionHandle.h = InternetOpenA("Vellumin", INTERNET_OPEN_TYPE_PROXY, proxy, nullptr, 0);
    } else {
        sessionHandle.h = InternetOpenA("Vellumin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    }
    if (sessionHandle.h == nullptr) {
        response.error = "The HTTP client could not be started.";
        return response;
    }
    HINTERNET session = sessionHandle.h;
    DWORD connectMs = static_cast<DWORD>(m_connectSeconds * 1000);
    DWORD stallMs = static_cast<DWORD>(m_stallSeconds * 1000);
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);
    InternetSetOptionA(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &stallMs, sizeof stallMs);

    DWORD flags = INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
    // One request per session: a connection WinINet kept for later would only hold the server.
    const char* headers = "Connection: close\r\n";
    if (m_cache == CacheUse::ForceReload) {
        flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
        headers = "Connection: close\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n";
    }
    const auto cancelled = [this] {
        return m_cancel != nullptr && m_cancel->load(std::memory_order_relaxed) != 0;
    };
    if (cancelled()) {
        response.cancelled = true;
        return response;
    }
    InternetHandle request;
    request.h = InternetOpenUrlA(session, url.c_str(), headers, static_cast<DWORD>(-1L), flags, 0);
    if (request.h == nullptr) {
        response.error = Limited(FailureText(GetLastError(), url));
        return response;
    }
    DWORD status = 0;
    if (QueryNumber(request.h, HTTP_QUERY_STATUS_CODE, status)) {
        response.status = static_cast<long>(status);
    }
    DWORD length = 0;
    if (QueryNumber(request.h, HTTP_QUERY_CONTENT_LENGTH, length)) {
        response.length = length;
    }
    // WinINet has followed redirects and read the final answer's headers by now.
    if (head && !head(response)) {
        return response;
    }
    std::vector<char> block(64 * 1024);
    uint64_t received = 0;
    for (;;) {
        if (cancelled()) {
            response.cancelled = true;
            return response;
        }
        DWORD read = 0;
        if (!InternetReadFile(request.h, block.data(), static_cast<DWORD>(block.size()), &read)) {
            response.error = Limited(FailureText(GetLastError(), url));
            return response;
        }
        if (read == 0) {
            break;
        }
        received += read;
        if (!sink(response, std::string_view(block.data(), read))) {
            return response;
        }
    }
    // WinINet ends a body cut short as if it were whole; curl reports it.
    if (response.length && received < *response.length) {
        response.error = "transfer closed with " + std::to_string(*response.length - received) +
                         " bytes remaining to read";
        return response;
    }
    response.delivered = true;
    return response;
}

}  // namespace vellumin::platform
