// The query and the download against a real loopback HTTP server, and the lab's service.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "pages/fwupdate/DownloadEngine.h"
#include "pages/fwupdate/UpdateQuery.h"
#include "platform/HttpClient.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/UpdateServer.h"

namespace vellumin::fwupdate {
namespace {

namespace fs = std::filesystem;
using platform::sim::ServedReply;
using platform::sim::UpdateServer;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "vellumin-fw-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(m_path); }
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 1024) & 0xFF);
    }
    return bytes;
}

ata::IdentifyBlock Identify(const std::string& serial, const std::string& firmware,
                            const std::string& model) {
    platform::sim::DriveDescription drive;
    drive.serial = serial;
    drive.firmware = firmware;
    drive.model = model;
    drive.sectors = 1000;
    return platform::sim::BuildIdentify(drive);
}

// Counts blocks and cancels after a chosen one.
struct Recorder : DownloadObserver {
    std::atomic<int>* cancel = nullptr;
    uint64_t cancelAfter = 0;
    uint64_t total = 0;
    uint64_t blocks = 0;
    uint64_t last = 0;
    void OnLength(uint64_t t) override { total = t; }
    void OnBlock(uint64_t received) override {
        EXPECT_LE(received - last, kBlockBytes);
        last = received;
        if (++blocks == cancelAfter && cancel != nullptr) {
            cancel->store(1);
        }
    }
};

const std::string kReplyTemplate =
    "P/N=VQ-1<br>\nFlash=MLC<br>\nController=JMF667<br>\nCurrent FW version=VQ4.1<br>\n"
    "Download Url=http://{service}/fw/New Image.bin<br>\n";

TEST(Loopback, QueryThenDownloadSavesTheServedBytes) {
    UpdateServer server([](const std::string& wono) {
        ServedReply reply;
        reply.body = wono == "3400A2"   ? kReplyTemplate
                     : wono == "LONG00" ? "P/N=" + std::string(kReplyBodyMax, 'x')
                                        : "nothing";
        return reply;
    });
    const std::string image = Pattern(300 * 1024 + 17);
    ServedReply file;
    file.body = image;
    server.SetFile("/fw/New Image.bin", file);

    const QueryOutcome query =
        RunUpdateQuery(Identify("3400A2210057", "VQ4.0", "VQ M500"), server.Host());
    ASSERT_EQ(query.ending, QueryEnding::Offer);
    EXPECT_EQ(query.url, "http://" + server.Host() + "/fw/New Image.bin");
    EXPECT_EQ(server.LastWono(), "3400A2");
    EXPECT_EQ(RunUpdateQuery(Identify("3400A2210057", "VQ4.1", "VQ M500"), server.Host()).ending,
              QueryEnding::Latest);
    EXPECT_EQ(RunUpdateQuery(Identify("LONG00000000", "VQ4.0", "VQ M500"), server.Host()).ending,
              QueryEnding::Unreadable);

    TempFolder folder;
    std::atomic<int> cancel{0};
    Recorder recorder;
    const DownloadOutcome outcome = RunDownload(query.url, folder.Path(), cancel, recorder);
    ASSERT_EQ(outcome.ending, DownloadEnding::Completed) << outcome.statusText;
    EXPECT_EQ(outcome.statusText, "The file is downloaded at " + folder.Path() + "/New Image.bin.");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"New Image.bin"});
    EXPECT_TRUE(ReadFile(outcome.path) == image);
    EXPECT_EQ(recorder.total, image.size());
    EXPECT_EQ(recorder.last, image.size());
    EXPECT_GE(recorder.blocks, (image.size() + kBlockBytes - 1) / kBlockBytes);
}

TEST(Loopback, FailedDownloadsLeaveNoFile) {
    UpdateServer server;
    const std::string image = Pattern(512 * 1024);
    const auto serve = [&](const std::string& path, int status, std::optional<uint64_t> cut,
                           bool length, uint64_t rate) {
        ServedReply reply;
        reply.body = image;
        reply.status = status;
        reply.cutAfter = cut;
        reply.announceLength = length;
        reply.bytesPerSecond = rate;
        server.SetFile(path, reply);
    };
    serve("/missing.bin", 404, std::nullopt, true, 0);
    serve("/error.bin", 500, std::nullopt, true, 0);
    serve("/dropped.bin", 200, 100 * 1024, true, 0);
    serve("/chunked.bin", 200, std::nullopt, false, 0);
    serve("/slow.bin", 200, std::nullopt, true, 1024 * 1024);
    struct Case {
        const char* path;
        DownloadEnding ending;
        const char* text;  // part of the status line
        uint64_t cancelAfterBlock = 0;
    };
    const Case cases[] = {
        {"/missing.bin", DownloadEnding::Failed, "HTTP status 404"},
        {"/error.bin", DownloadEnding::Failed, "HTTP status 500"},
        {"/dropped.bin", DownloadEnding::Failed, "transfer closed"},
        {"/chunked.bin", DownloadEnding::Failed, "did not announce"},
        {"/slow.bin", DownloadEnding::Cancelled, kCancelledText, 3},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::atomic<int> cancel{0};
        Recorder recorder;
        recorder.cancel = &cancel;
        recorder.cancelAfter = c.cancelAfterBlock;
        const DownloadOutcome outcome =
            RunDownload("http://" + server.Host() + c.path, folder.Path(), cancel, recorder);
        EXPECT_EQ(outcome.ending, c.ending) << c.path;
        EXPECT_NE(outcome.statusText.find(c.text), std::string::npos)
            << c.path << ": " << outcome.statusText;
        EXPECT_EQ(outcome.errorText, c.ending == DownloadEnding::Failed ? outcome.statusText : "")
            << c.path;
        EXPECT_TRUE(folder.Names().empty()) << c.path;
        if (c.cancelAfterBlock != 0) {
            EXPECT_EQ(recorder.blocks, c.cancelAfterBlock) << "no block after the cancel request";
        }
    }
}

TEST(Loopback, RefusedDestinationsSendNoRequest) {
    UpdateServer server;
    TempFolder folder;
    const std::string base = "http://" + server.Host();
    const std::string deep = folder.Path() + "/" + std::string(kDestinationMax, 'd');
    struct Case {
        std::string url;
        std::string folder;
        DownloadEnding ending;
        const char* text;
    };
    const Case cases[] = {
        {"ftp://h/fw/a.bin", folder.Path(), DownloadEnding::NotOffered, kLatestText},
        {"", folder.Path(), DownloadEnding::NotOffered, kLatestText},
        {base + "/fw/", folder.Path(), DownloadEnding::Refused, "names no file"},
        {base + "/fw/..", folder.Path(), DownloadEnding::Refused, "names no file"},
        {base + "/fw/a\x01.bin", folder.Path(), DownloadEnding::Refused, "control character"},
        {base + "/fw/a\\b.bin", folder.Path(), DownloadEnding::Refused, "path separator"},
        {base + "/" + std::string(kDestinationMax - folder.Path().size(), 'n'), folder.Path(),
         DownloadEnding::Refused, "longer than 107"},
        {base + "/fw/a.bin", folder.Path() + "/no-such-folder", DownloadEnding::Refused,
         "cannot be written"},
    };
    for (const Case& c : cases) {
        std::atomic<int> cancel{0};
        Recorder recorder;
        const DownloadOutcome outcome = RunDownload(c.url, c.folder, cancel, recorder);
        EXPECT_EQ(outcome.ending, c.ending) << c.url;
        EXPECT_NE(outcome.statusText.find(c.text), std::string::npos)
            << c.url << ": " << outcome.statusText;
    }
    EXPECT_EQ(server.Requests(), 0u);
    EXPECT_TRUE(folder.Names().empty());
    // 107 characters exactly is still a path the download may use.
    std::atomic<int> cancel{0};
    Recorder recorder;
    const std::string fits =
        base + "/" + std::string(kDestinationMax - folder.Path().size() - 1, 'n');
    EXPECT_EQ(RunDownload(fits, folder.Path(), cancel, recorder).statusText.find("longer"),
              std::string::npos);
}

// An empty firmware file is a file like any other: announced as "Content-Length: 0", stored
// and reported downloaded.
TEST(Loopback, EmptyFileIsStoredAndReported) {
    UpdateServer server;
    server.SetFile("/fw/empty.bin", ServedReply{});
    TempFolder folder;
    std::atomic<int> cancel{0};
    Recorder recorder;
    recorder.total = 1;  // OnLength must say 0
    const DownloadOutcome outcome =
        RunDownload("http://" + server.Host() + "/fw/empty.bin", folder.Path(), cancel, recorder);
    ASSERT_EQ(outcome.ending, DownloadEnding::Completed) << outcome.statusText;
    EXPECT_EQ(outcome.statusText, "The file is downloaded at " + folder.Path() + "/empty.bin.");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"empty.bin"});
    EXPECT_EQ(fs::file_size(outcome.path), 0u);
    EXPECT_EQ(recorder.total, 0u);
}

// The status and the length are known from the headers, before any of the body.
TEST(Loopback, HeadBeforeTheBody) {
    UpdateServer server;
    ServedReply data;
    data.body = Pattern(3000);
    server.SetFile("/data", data);
    server.SetFile("/empty", ServedReply{});
    ServedReply missing = platform::sim::NotFound();
    server.SetFile("/missing", missing);
    const struct {
        const char* path;
        long status;
        uint64_t length;
    } cases[] = {{"/data", 200, 3000}, {"/empty", 200, 0}, {"/missing", 404, missing.body.size()}};
    for (const auto& c : cases) {
        platform::HttpClient client(platform::CacheUse::ForceReload);
        int heads = 0;
        uint64_t bodyBeforeHead = 0;
        const platform::HttpResponse response = client.Get(
            "http://" + server.Host() + c.path,
            [&](const platform::HttpResponse&, std::string_view piece) {
                bodyBeforeHead += heads == 0 ? piece.size() : 0;
                return true;
            },
            [&](const platform::HttpResponse& head) {
                ++heads;
                EXPECT_EQ(head.status, c.status) << c.path;
                EXPECT_EQ(head.length, std::optional<uint64_t>(c.length)) << c.path;
                return true;
            });
        EXPECT_TRUE(response.delivered) << c.path << ": " << response.error;
        EXPECT_EQ(heads, 1) << c.path;
        EXPECT_EQ(bodyBeforeHead, 0u) << c.path;
    }
}

// Sets environment variables for the scope (nullptr: unset) and restores them.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            value ? setenv(name, value, 1) : unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// With a proxy set, every loopback address goes direct; any other address goes to the proxy.
TEST(Loopback, LoopbackIsNeverProxied) {
    UpdateServer proxy;  // whatever it is asked for came through it
    const std::string proxyUrl = "http://" + proxy.Host();
    ScopedEnvironment environment{
        {"http_proxy", proxyUrl.c_str()}, {"no_proxy", nullptr}, {"NO_PROXY", nullptr}};
    for (const char* address : {"127.0.0.1", "127.0.0.2", "127.45.6.7", "::1", "localhost"}) {
        UpdateServer target({}, std::string_view(address) == "localhost" ? "127.0.0.1" : address);
        if (target.Port() < 0) {
            continue;  // no IPv6 loopback on this machine
        }
        ServedReply file;
        file.body = "direct";
        target.SetFile("/f", file);
        const std::string host = std::string_view(address) == "localhost"
                                     ? "localhost:" + std::to_string(target.Port())
                                     : target.Host();
        std::string body;
        platform::HttpClient client(platform::CacheUse::Allowed);
        const platform::HttpResponse response = client.Get(
            "http://" + host + "/f", [&](const platform::HttpResponse&, std::string_view piece) {
                body += piece;
                return true;
            });
        EXPECT_EQ(response.status, 200) << address << ": " << response.error;
        EXPECT_EQ(body, "direct") << address;
    }
    EXPECT_EQ(proxy.Requests(), 0u);
    platform::HttpClient client(platform::CacheUse::Allowed);
    client.SetTimeouts(5, 5);
    const platform::HttpResponse viaProxy = client.Get(
        "http://192.0.2.1/f", [](const platform::HttpResponse&, std::string_view) { return true; });
    EXPECT_EQ(viaProxy.status, 404) << viaProxy.error;
    EXPECT_EQ(proxy.Requests(), 1u);
}

TEST(Loopback, UnreachableServiceGivesCurlsText) {
    int port = 0;
    {
        UpdateServer gone;  // a port that was just free and has nobody listening now
        port = gone.Port();
    }
    const QueryOutcome query = RunUpdateQuery(Identify("3400A2210057", "VQ4.0", "VQ M500"),
                                              "127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(query.ending, QueryEnding::Failed);
    EXPECT_NE(query.error.find("onnect"), std::string::npos) << query.error;
    EXPECT_LE(query.error.size(), 511u);
    EXPECT_EQ(StatusText(query), query.error);
}

TEST(Loopback, LabServiceAnswersTheDefaultLabsDrives) {
    auto lab = platform::sim::CreateSimLab();
    const std::string host = lab->Sys().UpdateServiceHost();
    const auto identifyOf = [&](int slot) { return lab->Device(slot)->IdentifyData(); };
    const QueryOutcome offer = RunUpdateQuery(identifyOf(3), host);
    ASSERT_EQ(offer.ending, QueryEnding::Offer);
    EXPECT_EQ(RunUpdateQuery(identifyOf(1), host).ending, QueryEnding::Latest);  // current
    EXPECT_EQ(RunUpdateQuery(identifyOf(4), host).ending, QueryEnding::Latest);  // no "P/N="
    EXPECT_EQ(lab->LabUpdateServer().LastWono(), "12A031");
}

}  // namespace
}  // namespace vellumin::fwupdate
