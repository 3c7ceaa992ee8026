#pragma once

// Which erase the page offers for a drive, or why none: a pure decision over what the fill
// read, so the page, the CLI and the rehearsal gate a drive identically.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ata/IdentifyBlock.h"
#include "platform/Platform.h"

namespace vellumin::erase {

inline constexpr const char* kTextNotSupported =
    "The selected drive does not support this function.";
inline constexpr const char* kTextOsNotSupported = "Secure Erase does not support this OS version.";
inline constexpr const char* kTextWarning =
    "Executing secure erase will permanently remove all data on the SSD. Upon completion, you will "
    "need to restart your computer.";
inline constexpr const char* kTextOutdatedFirmware =
    "The firmware of this drive is outdated and cannot use this function. It is recommended that "
    "you "
    "perform Firmware Update regularly to continue utilizing new features of your SSD and "
    "software.";
inline constexpr const char* kTextLocked =
    "The selected drive is locked, and cannot use this function.";
inline constexpr const char* kTextSecurityEnabled =
    "Security is enabled on the selected drive, and cannot use this function.";

// "The selected drive is connected through USB; secure erase is offered only for drives on a
// SATA port."; empty for a drive on a SATA port. Nothing is sent to a drive refused so.
std::string ConnectionRefusal(platform::DriveConnection connection);
// What an unlock shows before it goes out to a drive that is not on a SATA port; empty on a
// SATA port. The unlock itself stays allowed: it erases nothing, and for a drive left locked
// behind a bridge it may be the only way back.
std::string UnlockConnectionWarning(platform::DriveConnection connection);

// SMART data bytes 400-409, all zero when the read failed.
using ControllerBytes = std::array<uint8_t, 10>;
ControllerBytes ControllerBytesOf(const ata::SmartBlock& smart);

// Raw bytes up to the first zero byte, exact and case-sensitive: "SMI2242" followed by a
// blank is not listed.
bool IsListedController(const ControllerBytes& controller);
bool IsOutdatedFirmware(std::string_view revision);  // revision with trailing blanks removed

// Windows 8 and 8.1 (NT 6.2 / 6.3) cannot run the security erase; no other system is refused,
// and an unreadable version refuses nothing.
bool IsEraseUnsupportedOs(const std::optional<platform::OsVersionRecord>& os);

struct EraseGateInputs {
    ControllerBytes controller{};
    bool identifyRead = false;     // the fill's fresh IDENTIFY DEVICE was delivered
    std::string firmwareRevision;  // of the drive table's identify copy, trailing blanks removed
    uint8_t securityStatus = 0;    // of the drive table's identify copy (byte 256)
    bool osUnsupported = false;
    bool warningVisible = false;  // 1058 as it is before the fill
    platform::DriveConnection connection = platform::DriveConnection::SataPort;
};

enum class QuickEraseRuns { None, SecurityFlow, VendorErase };

struct EraseGateView {
    bool notSupportedVisible = false;             // 1056
    std::optional<std::string> notSupportedText;  // 1056's new text; nullopt keeps its text
    bool warningVisible = false;                  // 1058
    bool quickVisible = false;                    // 1010
    bool fullVisible = false;                     // 1011
    std::string gateMessage;  // 1012 (red); empty unless a listed drive or the connection is refused
    bool listed = false;
    bool securityEraseMode = false;
    QuickEraseRuns quick = QuickEraseRuns::None;
    uint8_t quickVendorCode = 0;  // 0xE4 (SMI) or 0xE0 (JMF) when quick is VendorErase
    bool operator==(const EraseGateView&) const = default;
};

EraseGateView DecideEraseGates(const EraseGateInputs& inputs);

// The drive table's identify copy as the gates read it (firmware revision, status byte).
void TakeIdentifyReference(const ata::IdentifyBlock& identify, EraseGateInputs& inputs);

// The fill's reads: the drive's connection, then, on a SATA port only, SMART READ DATA (bytes
// 400-409, zero when it fails) and a fresh IDENTIFY DEVICE (only its success counts); firmware
// and status come from `reference`, the drive table's copy (none: blank revision, status 0).
EraseGateInputs ReadEraseGateInputs(platform::DriveSystem& drives, int driveNumber,
                                    const ata::IdentifyBlock* reference, bool osUnsupported,
                                    bool warningVisible);

// "Elapsed Time: " then " %d hr", " %d min", " %d sec" for each non-zero part.
std::string ElapsedTimeText(int seconds);

}  // namespace vellumin::erase
