#include "cli/ScanRecord.h"

#include <stdlib.h>  // mkstemp
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "cli/Output.h"
#include "platform/HostIo.h"

namespace vellumin::cli {
namespace {

constexpr const char* kRecordMark = "vellumin scan record";
constexpr int kRecordVersion = 1;
// A record is a few hundred bytes; anything far larger is not one and is not read whole.
constexpr std::uintmax_t kMaxRecordBytes = 64 * 1024;

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

[[noreturn]] void ThrowErrno(const std::filesystem::path& path, const char* what) {
    throw std::runtime_error(path.string() + ": " + what + ": " + std::strerror(errno));
}

}  // namespace

std::filesystem::path StateDirectory(bool simulated) {
    const auto variable = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? value : "";
    };
    if (const auto dir = variable("VELLUMIN_STATE_DIR"); !dir.empty()) {
        return dir;
    }
    if (!simulated) {
        return "/var/lib/vellumin";
    }
    if (const auto state = variable("XDG_STATE_HOME"); !state.empty()) {
        return std::filesystem::path(state) / "vellumin-lab";
    }
    return std::filesystem::path(variable("HOME")) / ".local/state/vellumin-lab";
}

std::string DriveSerial(const ata::IdentifyBlock& identify) {
    const std::string serial = ata::TrimRight(ata::SerialNumber(identify));
    const auto first = serial.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : JsonText(serial.substr(first));
}

std::string ScanRecordName(std::string_view serial) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name = "scan-";
    for (unsigned char c : serial) {
        if (std::isalnum(c) && c < 0x80) {
            name += static_cast<char>(c);
        } else if (c == '.' || c == '_' || c == '-') {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 0x0F];
        }
    }
    return name + ".json";
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view text) {
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    Fd fd(mkstemp(temp.data()));
    if (fd.get() < 0) {
        ThrowErrno(folder, "cannot create a temporary file");
    }
    // Until the rename the temporary file is ours to remove on every failure.
    struct Remove {
        std::string* name;
        ~Remove() {
            if (name) {
                unlink(name->c_str());
            }
        }
    } remove{&temp};
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ThrowErrno(temp, "write failed");
        }
        done += static_cast<std::size_t>(n);
    }
    platform::MakeReadableByAll(fd.get());
    if (!platform::SyncToDisk(fd.get())) {
        ThrowErrno(temp, "cannot finish the file");
    }
    if (close(fd.release()) != 0) {
        ThrowErrno(temp, "close failed");
    }
    if (!platform::RenameOnto(temp, path.string())) {
        ThrowErrno(path, "cannot replace the file");
    }
    remove.name = nullptr;
}

nlohmann::json ScanRecordDocument(nlohmann::json summary, std::string_view serial,
                                  int64_t finishedAt) {
    summary["record"] = kRecordMark;
    summary["version"] = kRecordVersion;
    summary["serial"] = serial;
    summary["finishedAt"] = finishedAt;
    return summary;
}

std::optional<ScanRecord> ParseScanRecord(std::string_view text, std::string_view serial,
                                          std::string& problem) {
    const auto document = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        problem = "not JSON";
        return std::nullopt;
    }
    const auto text_is = [&](const char* key, const std::string& expected) {
        const auto found = document.find(key);
        return found != document.end() && found->is_string() && *found == expected;
    };
    if (!document.is_object() || !text_is("record", kRecordMark) ||
        document.find("version") == document.end() || document["version"] != kRecordVersion) {
        problem = "not a Vellumin scan record";
        return std::nullopt;
    }
    if (!text_is("serial", std::string(serial))) {
        problem = "the record of another drive";
        return std::nullopt;
    }
    const auto has = [&](const char* name, auto test) {
        const auto found = document.find(name);
        if (found != document.end() && test(*found)) {
            return true;
        }
        problem = std::string("field \"") + name + "\" missing or malformed";
        return false;
    };
    const auto isText = [](const nlohmann::json& v) { return v.is_string(); };
    const auto isCount = [](const nlohmann::json& v) { return v.is_number_unsigned(); };
    const auto isInteger = [](const nlohmann::json& v) { return v.is_number_integer(); };
    if (!has("mode", isText) || !has("ending", isText) || !has("chunksRead", isCount) ||
        !has("finishedAt", isInteger)) {
        return std::nullopt;
    }
    ScanRecord record;
    record.mode = document["mode"].get<std::string>();
    record.ending = document["ending"].get<std::string>();
    record.chunksRead = document["chunksRead"].get<uint64_t>();
    record.finishedAt = document["finishedAt"].get<int64_t>();
    if (std::none_of(kScanEndings.begin(), kScanEndings.end(),
                     [&](scan::ScanEnding e) { return record.ending == scan::EndingName(e); })) {
        problem = "unknown ending \"" + record.ending + '"';
        return std::nullopt;
    }
    if (record.ending == "failed") {
        if (!has("firstFailingLba", isCount)) {
            return std::nullopt;
        }
        record.firstFailingLba = document["firstFailingLba"].get<uint64_t>();
    }
    return record;
}

std::optional<ScanRecord> LoadScanRecord(const std::filesystem::path& folder,
                                         std::string_view serial, std::ostream& err) {
    const auto path = folder / ScanRecordName(serial);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return std::nullopt;
    }
    std::string problem;
    std::optional<ScanRecord> record;
    const auto size = std::filesystem::file_size(path, error);
    if (error) {
        problem = error.message();
    } else if (size > kMaxRecordBytes) {
        problem = "too large for a scan record";
    } else {
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        if (!in && !in.eof()) {
            problem = "cannot be read";
        } else {
            record = ParseScanRecord(text, serial, problem);
        }
    }
    if (!record) {
        err << path.string() << ": " << problem << "; skipped.\n";
    }
    return record;
}

}  // namespace vellumin::cli
