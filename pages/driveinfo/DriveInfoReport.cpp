#include "pages/driveinfo/DriveInfoReport.h"

#include <array>
#include <string_view>


namespace vellumin::pages {
namespace {

using ata::IdentifyBlock;
using ata::Word;

constexpr const char* kSupported = "Supported";
constexpr const char* kNotSupported = "Not Supported";

bool Bit(const IdentifyBlock& identify, int word, int bit) {
    return (Word(identify, word) >> bit) & 1;
}

std::string Supported(bool yes) {
    return yes ? kSupported : kNotSupported;
}
std::string Enabled(bool yes) {
    return yes ? "Enabled" : "Disabled";
}

// Bit 14 set and bit 15 clear: the word carries meaning.
bool ValidWord(const IdentifyBlock& identify, int word) {
    return (Word(identify, word) & 0xC000) == 0x4000;
}

// Text of the first set bit, trying the bits in the order given.
template <size_t N>
std::string FirstSetBit(const IdentifyBlock& identify, int word,
                        const std::array<std::pair<int, const char*>, N>& bits, const char* none) {
    for (const auto& [bit, text] : bits) {
        if (Bit(identify, word, bit)) {
            return text;
        }
    }
    return none;
}

constexpr std::array<std::pair<int, const char*>, 5> kMajorVersions{{
    {8, "Support ATA/ATAPI-8"},
    {7, "Support ATA/ATAPI-7"},
    {6, "Support ATA/ATAPI-6"},
    {5, "Support ATA/ATAPI-5"},
    {4, "Support ATA/ATAPI-4"},
}};

constexpr std::array<std::pair<int, const char*>, 7> kUltraDmaModes{{
    {14, "Ultra DMA mode 6"},
    {13, "Ultra DMA mode 5"},
    {12, "Ultra DMA mode 4"},
    {11, "Ultra DMA mode 3"},
    {10, "Ultra DMA mode 2"},
    {9, "Ultra DMA mode 1"},
    {8, "Ultra DMA mode 0"},
}};

constexpr std::array<std::pair<int, const char*>, 3> kSataSpeeds{{
    {3, "Support SATA Gen3 Signaling Speed"},
    {2, "Support SATA Gen2 Signaling Speed"},
    {1, "Support SATA Gen1 Signaling Speed"},
}};

// Controllers whose TRIM bit in word 169 is not to be trusted.
constexpr std::array<std::string_view, 2> kNoTrimControllers{"SMI2242", "SMI2235"};

}  // namespace

ReportRows DriveInfoIdentifyRows(int driveNumber, const IdentifyBlock& identify) {
    ReportRows rows;
    rows.reserve(kDriveInfoIdentifyRows);
    rows.push_back({"Physical Disk Number", std::to_string(driveNumber)});
    rows.push_back({"Serial Number", ata::SerialNumber(identify)});
    rows.push_back({"Firmware Version", ata::FirmwareRevision(identify)});
    rows.push_back({"Model Number", ata::ModelNumber(identify)});
    rows.push_back({"NCQ Support", Supported(Bit(identify, 76, 8))});
    rows.push_back({"Major Version Number", FirstSetBit(identify, 80, kMajorVersions, "")});

    if (ValidWord(identify, 87)) {
        const bool supportValid = ValidWord(identify, 83) && ValidWord(identify, 84);
        auto support = [&](int bit) {
            return supportValid ? Supported(Bit(identify, 82, bit)) : std::string();
        };
        rows.push_back({"SMART Support/Status", support(0) + "/" + Enabled(Bit(identify, 85, 0))});
        rows.push_back(
            {"Security Support/Enable", support(1) + "/" + Enabled(Bit(identify, 85, 1))});
    } else {
        rows.push_back({});
        rows.push_back({});
    }

    rows.push_back({"APM Support/Enable",
                    Supported(Bit(identify, 83, 3)) + "/" + Enabled(Bit(identify, 86, 3))});
    const uint16_t sata = Word(identify, 76);
    rows.push_back(
        {"Interface Type", sata != 0x0000 && sata != 0xFFFF ? "Serial ATA" : "Parallel ATA"});
    return rows;
}

bool TrimSupported(const IdentifyBlock& identify, const ata::SmartBlock& smart) {
    bool trim = Bit(identify, 169, 0);
    const std::string controller = ControllerName(smart);
    for (std::string_view name : kNoTrimControllers) {
        if (controller == name) {
            trim = false;
        }
    }
    return trim;
}

ReportRows DriveInfoTailRows(const IdentifyBlock& identify, const ata::SmartBlock& smart) {
    ReportRows rows;
    rows.push_back({"Trim Command Support", Supported(TrimSupported(identify, smart))});
    rows.push_back(
        {"Transfer Mode", FirstSetBit(identify, 88, kUltraDmaModes, "Ultra DMA mode 6")});
    rows.push_back({"Serial ATA Capabilities", FirstSetBit(identify, 76, kSataSpeeds, "Unknown")});
    return rows;
}

ReportRows DriveInfoRows(int driveNumber, const IdentifyBlock& identify,
                         const ata::SmartBlock& smart) {
    ReportRows rows = DriveInfoIdentifyRows(driveNumber, identify);
    ReportRows tail = DriveInfoTailRows(identify, smart);
    rows.insert(rows.end(), tail.begin(), tail.end());
    return rows;
}

ReportRow ConnectionRow(platform::DriveConnection connection) {
    using platform::DriveConnection;
    const char* value = "Unknown";
    switch (connection) {
        case DriveConnection::SataPort:
            value = "SATA port";
            break;
        case DriveConnection::Usb:
            value = "USB";
            break;
        case DriveConnection::Sas:
            value = "SAS controller";
            break;
        case DriveConnection::Raid:
            value = "RAID controller";
            break;
        case DriveConnection::Nvme:
            value = "NVMe";
            break;
        case DriveConnection::Virtual:
            value = "Virtual disk controller";
            break;
        case DriveConnection::Unknown:
            break;
    }
    return {"Connection", value};
}

}  // namespace vellumin::pages
