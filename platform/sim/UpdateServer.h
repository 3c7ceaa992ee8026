#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vellumin::platform::sim {

// One answer of the loopback update service.
struct ServedReply {
    int status = 200;
    std::string body;
    // Set: the connection drops after this many bytes of the body (the full length is announced).
    std::optional<uint64_t> cutAfter;
    bool announceLength = true;   // false: sent chunked, without Content-Length
    uint64_t bytesPerSecond = 0;  // 0: as fast as the socket takes it
};

// 404 with a short text body.
ServedReply NotFound();

// A real HTTP server on a loopback address (127.0.0.1 unless told) and a port of the system's
// choosing, running on its own thread for the object's lifetime. It answers
// "/support/ssdfwdownload.asp?wono=..." from its query handler and any other path from its file
// table; "{service}" in a body stands for the server's own host:port.
class UpdateServer {
public:
    using QueryHandler = std::function<ServedReply(const std::string& wono)>;

    explicit UpdateServer(QueryHandler query = {}, std::string address = "127.0.0.1");
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // "127.0.0.1:port", "[::1]:port"
    std::string Host() const;
    // -1 when the address could not be bound (nothing listens then).
    int Port() const { return m_port; }
    // Requests answered so far (any path).
    uint64_t Requests() const { return m_requests.load(); }
    // The wono value of the last query.
    std::string LastWono() const;

    void SetQueryHandler(QueryHandler query);
    void SetFile(const std::string& path, ServedReply reply);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_address;
    int m_port = 0;
    std::atomic<uint64_t> m_requests{0};
    mutable std::mutex m_mutex;
    QueryHandler m_query;
    std::map<std::string, std::shared_ptr<const ServedReply>> m_files;
    std::string m_lastWono;
    std::thread m_thread;
};

}  // namespace vellumin::platform::sim
