#pragma once

// Scan results that outlive the command: `scan --record` keeps each drive's last summary in a
// state folder, one file per serial number, and `metrics` publishes them.

#include <array>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ata/IdentifyBlock.h"
#include "pages/scan/ScanEngine.h"

namespace vellumin::cli {

// $VELLUMIN_STATE_DIR when set and not empty. Otherwise /var/lib/vellumin for the machine's
// drives; for the lab's a folder of the user's ($XDG_STATE_HOME or ~/.local/state, then
// vellumin-lab), so lab drives never mix with the machine's records.
std::filesystem::path StateDirectory(bool simulated);

// The serial number as records and metrics name a drive: without surrounding white space, in
// UTF-8 (JsonText) like every text in the state folder.
std::string DriveSerial(const ata::IdentifyBlock& identify);

// "scan-<serial>.json", every byte of the serial outside A-Z a-z 0-9 . _ - written as %XX, so
// any serial names exactly one file inside the folder.
std::string ScanRecordName(std::string_view serial);

// Replaces `path` only with complete content: a temporary file in the same folder, flushed to
// disk, readable by all (a collector running as another user reads it), then renamed over the
// target. Throws std::runtime_error naming the file and the reason.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view text);

// The file's content: the scan's summary document with the serial number, the time the scan
// finished (Unix seconds) and a mark that tells our records from anything else.
nlohmann::json ScanRecordDocument(nlohmann::json summary, std::string_view serial,
                                  int64_t finishedAt);

inline constexpr std::array<scan::ScanEnding, 5> kScanEndings{
    scan::ScanEnding::Completed, scan::ScanEnding::Failed, scan::ScanEnding::Stopped,
    scan::ScanEnding::NotOpened, scan::ScanEnding::NoSize};

struct ScanRecord {
    std::string mode;                         // "quick", "full"
    std::string ending;                       // scan::EndingName
    std::optional<uint64_t> firstFailingLba;  // failed scans
    uint64_t chunksRead = 0;
    int64_t finishedAt = 0;
};

// A record of the drive with this serial number, or nullopt with `problem` saying why the text
// is not one (not JSON, someone else's file, another drive's record, a field missing or of the
// wrong kind).
std::optional<ScanRecord> ParseScanRecord(std::string_view text, std::string_view serial,
                                          std::string& problem);

// The drive's record in `folder`. Nothing when there is none; a file that cannot be read or is
// not a record is skipped with one line on `err`.
std::optional<ScanRecord> LoadScanRecord(const std::filesystem::path& folder,
                                         std::string_view serial, std::ostream& err);

}  // namespace vellumin::cli
