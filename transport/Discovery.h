#pragma once

#include <array>
#include <string>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "transport/Transport.h"
#include "platform/Platform.h"

namespace vellumin::ata {

// The one row the drive list holds when nothing compatible was found.
inline constexpr const char* kNoCompatibleDeviceRow = " No compatible device found! ";

// A drive is ours when its model starts with exactly this prefix and it does not rotate.
inline constexpr const char* kMakerPrefix = "VQ";
inline constexpr const char* kNonRotatingText = "0x0001";

// What one discovery learnt. Indexed by physical drive number unless said otherwise.
struct DriveTable {
    std::array<IdentifyBlock, kMaxDrives> identify{};  // all zero when the drive did not answer
    std::array<std::string, kMaxDrives> rotationText;  // word 217, "0x%02X%02X"
    std::array<std::string, kMaxDrives> prefixText;    // word 27 as an ATA string
    std::array<std::string, kMaxDrives> modelText;     // words 27-46, trailing white space removed
    // Names of the fixed volumes on each drive, in the platform's order.
    std::array<std::vector<std::string>, kMaxDrives> volumes;
    std::array<int, kMaxDrives> rowToDrive{};  // list row -> drive; valid below `count`
    int count = 0;                            // compatible drives = drive rows in the list

    // The row the pages serve for a selected row: itself when it is a drive row, otherwise
    // row 0 (also when there is no drive row at all).
    int EffectiveRow(int selectedRow) const;
    // The drive of EffectiveRow(selectedRow), or -1 when the list holds no drive.
    int DriveOfRow(int selectedRow) const;
};

// Rebuilds `table` in place (pointers into it stay valid) and returns the drive list's rows:
// one per compatible drive in ascending drive number, " <model text> " followed by
// "(<volume text>)" when the drive has volumes; or the single kNoCompatibleDeviceRow.
std::vector<std::string> DiscoverDrives(platform::DriveSystem& drives, DriveTable& table);

struct Discovery {
    DriveTable table;
    std::vector<std::string> rows;
};
Discovery DiscoverDrives(platform::DriveSystem& drives);

// The drive holding a volume, or -1.
int GetVolumeDiskNumber(platform::DriveSystem& drives, const std::string& volumeName);

// A volume's part of the bracketed text: "C: " for a drive letter, "<name> " for any other
// name (a Linux mount point: "/home ").
std::string VolumeText(const std::string& volumeName);

// The compatibility test on a drive's prefix and rotation texts (exact comparisons).
bool IsCompatible(const std::string& prefixText, const std::string& rotationText);

}  // namespace vellumin::ata
