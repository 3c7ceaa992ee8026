#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vellumin::platform {

// The firmware-update service's host[:port]: VELLUMIN_UPDATE_HOST when set and not empty,
// otherwise the value the build was configured with.
std::string DefaultUpdateServiceHost();

// The longest error text a failed transfer reports.
inline constexpr size_t kHttpErrorTextMax = 511;

enum class CacheUse {
    Allowed,      // a proxy or cache may answer (the update query)
    ForceReload,  // ask the origin, not a cached copy (the download)
};

// How a GET ended. `delivered` is false when the transfer itself failed (no connection, time-out,
// connection dropped, aborted by the receiver or by a cancel); `error` then holds the reason.
struct HttpResponse {
    bool delivered = false;
    long status = 0;                 // the HTTP status, 0 when no answer came
    std::optional<uint64_t> length;  // the announced Content-Length
    std::string error;               // at most kHttpErrorTextMax characters
    bool cancelled = false;          // ended by the cancel flag
};

// One libcurl transfer handle. Identifies itself as "Vellumin", honours curl's proxy
// variables but never proxies loopback, gives up on a dead connection instead of hanging.
class HttpClient {
public:
    // Called with each piece of the body as it arrives; the response so far carries the status
    // and the announced length. Returning false ends the transfer (`delivered` stays false and
    // `error` is the text of the receiver's last Fail call, if any).
    using Sink = std::function<bool(const HttpResponse& head, std::string_view data)>;
    // Called once with the final answer's status and announced length as soon as its headers
    // are in, before any of its body, also when it has none. Returning false ends the transfer
    // as the sink's false does.
    using HeadCheck = std::function<bool(const HttpResponse& head)>;

    explicit HttpClient(CacheUse cache);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Checked between pieces and while the connection is idle; set: the transfer ends.
    void SetCancelFlag(const std::atomic<int>* cancel) { m_cancel = cancel; }
    // Seconds allowed to connect, and to stay below one byte a second before giving up.
    void SetTimeouts(long connectSeconds, long stallSeconds);

    HttpResponse Get(const std::string& url, const Sink& sink, const HeadCheck& head = {});

private:
    void* m_curl = nullptr;  // CURL*
    CacheUse m_cache;
    const std::atomic<int>* m_cancel = nullptr;
    long m_connectSeconds = 20;
    long m_stallSeconds = 30;
};

// curl's NOPROXY replaces the environment's list: the environment's hosts plus loopback, all of
// 127.0.0.0/8 and ::1 by address and "localhost" by name.
std::string NoProxyList(const char* environmentValue);

}  // namespace vellumin::platform
