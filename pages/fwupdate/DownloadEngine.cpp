#include "pages/fwupdate/DownloadEngine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "pages/fwupdate/UpdateQuery.h"
#include "platform/HttpClient.h"

namespace vellumin::fwupdate {

namespace {

std::string Format(const char* format, const std::string& value) {
    std::vector<char> text(std::strlen(format) + value.size() + 1);
    std::snprintf(text.data(), text.size(), format, value.c_str());
    return text.data();
}

std::string StatusFailure(long status) {
    return "The update service answered the download with HTTP status " + std::to_string(status) +
           ".";
}

// The download's file until it is complete: a new name of its own in the destination folder,
// removed on every ending but Commit.
class PartialFile {
public:
    explicit PartialFile(const std::string& folder) {
        std::string pattern = JoinDestination(folder, ".vellumin-download-XXXXXX");
        // mkstemp opens with O_CREAT | O_EXCL: a name that exists, even as a link, is never used.
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            m_error = errno;
            return;
        }
        m_path = pattern;
        fchmod(fd, 0644);
        m_file = fdopen(fd, "wb");
        if (m_file == nullptr) {
            m_error = errno;
            close(fd);
            return;
        }
        setvbuf(m_file, nullptr, _IOFBF, 256 * 1024);
    }
    ~PartialFile() {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
        if (!m_path.empty()) {
            unlink(m_path.c_str());
        }
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool IsOpen() const { return m_file != nullptr; }
    int Error() const { return m_error; }
    bool Write(std::string_view block) {
        return std::fwrite(block.data(), 1, block.size(), m_file) == block.size();
    }

    // Flushes, closes and renames onto `destination`; false (errno in Error()) when any fails.
    bool Commit(const std::string& destination) {
        const bool written = std::fflush(m_file) == 0 && fsync(fileno(m_file)) == 0;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        if (!written || !closed || rename(m_path.c_str(), destination.c_str()) != 0) {
            m_error = errno;
            return false;
        }
        m_path.clear();
        return true;
    }

private:
    std::string m_path;
    FILE* m_file = nullptr;
    int m_error = 0;
};

}  // namespace

std::string_view FileNameOf(std::string_view url) {
    for (size_t i = url.size(); i-- > 1;) {
        if (url[i] == '/') {
            return url.substr(i + 1);
        }
    }
    return url;
}

std::string JoinDestination(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.ends_with('/')) {
        path += '/';
    }
    return path += name;
}

std::string FolderFieldText(std::string_view folder) {
    std::string text(folder);
    if (!text.ends_with('/')) {
        text += '/';
    }
    return text;
}

std::string ShortenStatusText(std::string_view text) {
    constexpr size_t kShown = 35;
    return text.size() <= kShown ? std::string(text) : std::string(text.substr(0, kShown)) + "...";
}

std::string EncodeSpaces(std::string_view url) {
    std::string out;
    out.reserve(url.size());
    for (char c : url) {
        if (c == ' ') {
            out += "%20";
        } else {
            out += c;
        }
    }
    return out;
}

std::string RefuseFileName(std::string_view name) {
    if (name.empty()) {
        return "The download URL names no file.";
    }
    if (name == "." || name == "..") {
        return "The download URL names no file but \"" + std::string(name) + "\".";
    }
    // A leading dot would name a hidden file, such as a shell's start-up file in a home folder.
    if (name.front() == '.') {
        return "The firmware file's name begins with \".\".";
    }
    if (name.size() > kFileNameMax) {
        return "The firmware file's name is longer than " + std::to_string(kFileNameMax) +
               " bytes.";
    }
    for (unsigned char c : name) {
        if (c == '/' || c == '\\') {
            return "The firmware file's name holds a path separator.";
        }
        if (c < 0x20 || c == 0x7F) {
            return "The firmware file's name holds a control character.";
        }
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string_view("-_.+ ()").find(static_cast<char>(c)) != std::string_view::npos;
        if (!allowed) {
            return "The firmware file's name holds a character other than letters, digits and "
                   "\"-_.+ ()\".";
        }
    }
    return {};
}

DownloadOutcome RunDownload(const std::string& url, const std::string& folder,
                            const std::atomic<int>& cancel, DownloadObserver& observer) {
    DownloadOutcome outcome;
    if (!url.starts_with("http://")) {
        outcome.ending = DownloadEnding::NotOffered;
        outcome.statusText = kLatestText;
        return outcome;
    }
    const std::string_view name = FileNameOf(url);
    outcome.ending = DownloadEnding::Refused;
    if (std::string why = RefuseFileName(name); !why.empty()) {
        outcome.statusText = why;
        return outcome;
    }
    outcome.path = JoinDestination(folder, name);
    if (outcome.path.size() > kDestinationMax) {
        outcome.statusText = "The destination path is longer than " +
                             std::to_string(kDestinationMax) + " characters.";
        return outcome;
    }
    PartialFile file(folder);
    if (!file.IsOpen()) {
        outcome.statusText =
            Format("The folder %s cannot be written: ", folder) + std::strerror(file.Error()) + ".";
        return outcome;
    }

    platform::HttpClient client(platform::CacheUse::ForceReload);
    client.SetCancelFlag(&cancel);
    std::string failure;  // our own reason to stop the transfer
    bool cancelled = false;
    bool lengthKnown = false;
    // Decided on the headers, so an empty file is judged as any other.
    const auto head = [&](const platform::HttpResponse& answer) {
        if (answer.status < 200 || answer.status > 299) {
            failure = StatusFailure(answer.status);
            return false;
        }
        if (!answer.length) {
            failure = "The update service did not announce the firmware file's length.";
            return false;
        }
        lengthKnown = true;
        outcome.total = *answer.length;
        observer.OnLength(outcome.total);
        return true;
    };
    const auto sink = [&](const platform::HttpResponse&, std::string_view data) {
        if (!lengthKnown) {
            failure = "The update service did not announce the firmware file's length.";
            return false;
        }
        while (!data.empty()) {
            const std::string_view block = data.substr(0, kBlockBytes);
            if (cancel.load(std::memory_order_relaxed) != 0) {
                cancelled = true;  // a block that arrives with the cancel request is not written
                return false;
            }
            if (outcome.received + block.size() > outcome.total) {
                failure = "The update service sent more than the announced length.";
                return false;
            }
            if (!file.Write(block)) {
                failure = Format("The firmware file could not be written at %s: ", outcome.path) +
                          std::strerror(errno) + ".";
                return false;
            }
            outcome.received += block.size();
            observer.OnBlock(outcome.received);
            data.remove_prefix(block.size());
        }
        return true;
    };
    const platform::HttpResponse response = client.Get(EncodeSpaces(url), sink, head);

    if (cancelled || response.cancelled) {
        outcome.ending = DownloadEnding::Cancelled;
        outcome.statusText = kCancelledText;
        return outcome;
    }
    outcome.ending = DownloadEnding::Failed;
    if (!response.delivered) {
        outcome.errorText = !failure.empty() ? failure : response.error;
    } else if (response.status < 200 || response.status > 299) {
        outcome.errorText = StatusFailure(response.status);
    } else if (!response.length) {
        outcome.errorText = "The update service did not announce the firmware file's length.";
    } else if (outcome.received != *response.length) {
        outcome.errorText = "The firmware file arrived incomplete.";
    } else if (outcome.total = *response.length; !file.Commit(outcome.path)) {
        outcome.errorText = Format("The firmware file could not be saved at %s: ", outcome.path) +
                            std::strerror(file.Error()) + ".";
    } else {
        outcome.ending = DownloadEnding::Completed;
        outcome.statusText = Format("The file is downloaded at %s.", outcome.path);
        return outcome;
    }
    if (outcome.errorText.size() > platform::kHttpErrorTextMax) {
        outcome.errorText.resize(platform::kHttpErrorTextMax);
    }
    outcome.statusText = outcome.errorText;
    return outcome;
}

}  // namespace vellumin::fwupdate
