// The metrics file as Prometheus gets it: Debian's node_exporter, started here on loopback
// with its textfile collector on a scratch folder, scraped over HTTP.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include <curl/curl.h>

#include "tests/unit/metrics/MetricsTestUtil.h"

namespace vellumin::test {
namespace {

constexpr const char* kNodeExporter = "/usr/bin/prometheus-node-exporter";

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// node_exporter with only the textfile collector, stopped and reaped on every path.
class NodeExporter {
public:
    NodeExporter(const fs::path& textfiles, int port) {
        const std::vector<std::string> args{
            kNodeExporter, "--collector.disable-defaults", "--collector.textfile",
            "--collector.textfile.directory=" + textfiles.string(),
            "--web.listen-address=127.0.0.1:" + std::to_string(port)};
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_pid, kNodeExporter, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~NodeExporter() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    NodeExporter(const NodeExporter&) = delete;
    NodeExporter& operator=(const NodeExporter&) = delete;
    bool started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

size_t Append(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

// The body of GET url, or nothing when it did not answer 200.
std::optional<std::string> Get(const std::string& url) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    std::string body;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 5L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    long status = 0;
    if (curl_easy_perform(curl.get()) != CURLE_OK ||
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
        status != 200) {
        return std::nullopt;
    }
    return body;
}

TEST(NodeExporter, ServesEveryDrivesSeries) {
    if (!Installed(kNodeExporter)) {
        GTEST_SKIP() << kNodeExporter << " is not installed (tools/deps test)";
    }
    StateFolder folder;
    const auto textfiles = folder.path() / "textfile";
    fs::create_directories(textfiles);
    const auto file = textfiles / "vellumin.prom";
    ASSERT_EQ(CliRun({"--simulate", "scan", "9", "--full", "--record"}).code, cli::ExitFailure);
    CliRun run({"--simulate", "metrics", "--output", file.string()});
    ASSERT_EQ(run.code, cli::ExitOk) << run.err.str();

    const int port = FreeLoopbackPort();
    NodeExporter exporter(textfiles, port);
    ASSERT_TRUE(exporter.started());
    std::optional<std::string> scraped;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!(scraped = Get("http://127.0.0.1:" + std::to_string(port) + "/metrics")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(scraped) << "node_exporter did not answer on port " << port;

    const auto served = ParseSamples(*scraped);
    EXPECT_EQ(served.at("node_textfile_scrape_error{}"), 0);
    std::ifstream in(file);
    const auto written = ParseSamples(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_GT(written.size(), 100u);
    for (const auto& [series, value] : written) {
        const auto found = served.find(series);
        ASSERT_NE(found, served.end()) << series;
        EXPECT_EQ(found->second, value) << series;
    }
    EXPECT_EQ(served.at("vellumin_scan_last_first_failing_lba{drive=9}"), 1'000'000);
    EXPECT_EQ(served.at("vellumin_erase_count_max{controller=SMI2242,drive=1}"), 132);
}

}  // namespace
}  // namespace vellumin::test
