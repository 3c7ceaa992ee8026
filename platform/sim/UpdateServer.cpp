#include "platform/sim/UpdateServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>

namespace vellumin::platform::sim {

namespace {

constexpr const char* kQueryPath = "/support/ssdfwdownload.asp";
constexpr size_t kPiece = 64 * 1024;

std::string WithService(std::string body, const std::string& host) {
    static const std::string kPlaceholder = "{service}";
    for (size_t at = body.find(kPlaceholder); at != std::string::npos;
         at = body.find(kPlaceholder, at)) {
        body.replace(at, kPlaceholder.size(), host);
        at += host.size();
    }
    return body;
}

// Sends the body piece by piece, at the reply's pace, stopping where it is cut off.
bool SendPiece(const ServedReply& reply, size_t offset, httplib::DataSink& sink) {
    const uint64_t end =
        std::min<uint64_t>(reply.body.size(), reply.cutAfter.value_or(reply.body.size()));
    if (offset >= end) {
        return false;  // cut off: the server drops the connection
    }
    const size_t piece = std::min<uint64_t>(
        end - offset,
        reply.bytesPerSecond != 0 ? std::max<uint64_t>(reply.bytesPerSecond / 20, 1) : kPiece);
    if (reply.bytesPerSecond != 0) {
        std::this_thread::sleep_for(
            std::chrono::microseconds(piece * 1000000 / reply.bytesPerSecond));
    }
    return sink.write(reply.body.data() + offset, piece);
}

void Serve(std::shared_ptr<const ServedReply> reply, httplib::Response& res) {
    res.status = reply->status;
    if (!reply->announceLength) {
        res.set_chunked_content_provider("application/octet-stream",
                                         [reply](size_t offset, httplib::DataSink& sink) {
                                             if (offset >= reply->body.size()) {
                                                 sink.done();
                                                 return true;
                                             }
                                             return SendPiece(*reply, offset, sink);
                                         });
        return;
    }
    if (reply->body.empty()) {
        // A provider of length 0 is sent chunked: an empty file must say "Content-Length: 0".
        res.set_content(std::string(), "application/octet-stream");
        return;
    }
    res.set_content_provider(reply->body.size(), "application/octet-stream",
                             [reply](size_t offset, size_t, httplib::DataSink& sink) {
                                 return SendPiece(*reply, offset, sink);
                             });
}

}  // namespace

ServedReply NotFound() {
    ServedReply reply;
    reply.status = 404;
    reply.body = "Not found\n";
    return reply;
}

struct UpdateServer::Impl {
    httplib::Server server;
};

UpdateServer::UpdateServer(QueryHandler query, std::string address)
    : m_impl(std::make_unique<Impl>()), m_address(std::move(address)), m_query(std::move(query)) {
    auto& server = m_impl->server;
    server.set_keep_alive_max_count(100);
    server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        ++m_requests;
        std::shared_ptr<const ServedReply> reply;
        QueryHandler query;
        const bool isQuery = req.path == kQueryPath;
        const std::string wono = isQuery ? req.get_param_value("wono") : std::string();
        {
            std::lock_guard lock(m_mutex);
            if (isQuery) {
                m_lastWono = wono;
                query = m_query;
            } else if (auto it = m_files.find(req.path); it != m_files.end()) {
                reply = it->second;
            }
        }
        if (isQuery) {
            // Called without the server's lock: the handler takes its owner's lock, and the owner
            // holds that while it sets files here.
            ServedReply answer = query ? query(wono) : NotFound();
            answer.body = WithService(std::move(answer.body), Host());
            reply = std::make_shared<const ServedReply>(std::move(answer));
        }
        if (!reply) {
            res.status = 404;
            res.set_content("Not found\n", "text/plain");
            return;
        }
        Serve(std::move(reply), res);
    });
    m_port = server.bind_to_any_port(m_address);
    if (m_port <= 0) {
        m_port = -1;
        return;
    }
    m_thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    // stop() before the accept loop runs would be lost.
    while (!m_impl->server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

UpdateServer::~UpdateServer() {
    if (m_thread.joinable()) {
        m_impl->server.stop();
        m_thread.join();
    }
}

std::string UpdateServer::Host() const {
    const bool v6 = m_address.find(':') != std::string::npos;
    return (v6 ? "[" + m_address + "]" : m_address) + ":" + std::to_string(m_port);
}

std::string UpdateServer::LastWono() const {
    std::lock_guard lock(m_mutex);
    return m_lastWono;
}

void UpdateServer::SetQueryHandler(QueryHandler query) {
    std::lock_guard lock(m_mutex);
    m_query = std::move(query);
}

void UpdateServer::SetFile(const std::string& path, ServedReply reply) {
    std::lock_guard lock(m_mutex);
    m_files[path] = std::make_shared<const ServedReply>(std::move(reply));
}

}  // namespace vellumin::platform::sim
