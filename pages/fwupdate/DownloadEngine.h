#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellumin::fwupdate {

inline constexpr const char* kDownloadingText = "Downloading latest firmware. Please wait...";
inline constexpr const char* kCancelledText = "Download cancelled by user!";
// The longest destination path (the page's buffer holds 107 characters and a zero).
inline constexpr size_t kDestinationMax = 107;
// What the caller sees at a time: one progress report and one cancel check per block.
inline constexpr size_t kBlockBytes = 1024;

// The file name: what follows the URL's last "/" (looked for from the end down to index 1).
std::string_view FileNameOf(std::string_view url);
// The folder with the name: a folder ending in "/" (the root) takes it directly, any other
// gets one "/" between.
std::string JoinDestination(std::string_view folder, std::string_view name);
// The folder as the folder field shows it: ending in "/".
std::string FolderFieldText(std::string_view folder);
// The folder chooser's status text: at most 35 characters, a longer text cut there and "..." added.
std::string ShortenStatusText(std::string_view text);
// Blanks as "%20", everything else unchanged.
std::string EncodeSpaces(std::string_view url);
// The longest file name the download saves.
inline constexpr size_t kFileNameMax = 255;
// Why a file name from the network cannot be saved; empty when it can. A firmware file's name
// holds letters, digits and "-_.+ ()", does not begin with "." and has at most kFileNameMax bytes.
std::string RefuseFileName(std::string_view name);

// Called on the downloading thread.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    // The announced length, once, before the first block.
    virtual void OnLength(uint64_t /*total*/) {}
    // After each block is written: bytes received so far.
    virtual void OnBlock(uint64_t /*received*/) {}
};

enum class DownloadEnding {
    Completed,   // the whole announced length is saved under the real name
    NotOffered,  // the URL does not begin with "http://": nothing done
    Refused,     // the name, the path or the folder cannot be used: no request sent
    Failed,      // transfer failure, HTTP error status, no length or a short body: nothing kept
    Cancelled,   // nothing kept
};

struct DownloadOutcome {
    DownloadEnding ending = DownloadEnding::Failed;
    std::string path;        // the destination path (when it could be formed)
    std::string statusText;  // the page's status line
    std::string errorText;   // for an "Error" box (Failed only)
    uint64_t received = 0;
    uint64_t total = 0;
};

// Downloads `url` into `folder`. The file is written under a temporary name in the same folder
// and takes its real name only when the whole announced length arrived; any other ending
// leaves nothing of it. `cancel` set (non-zero) stops the transfer after the block in flight.
DownloadOutcome RunDownload(const std::string& url, const std::string& folder,
                            const std::atomic<int>& cancel, DownloadObserver& observer);

}  // namespace vellumin::fwupdate
