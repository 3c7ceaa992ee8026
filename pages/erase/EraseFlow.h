#pragma once

// The two erase flows as one engine for the page, the CLI and the rehearsal.
//
// How the page uses it:
//  - UI thread, on Quick/Full Erase: take an EraseTarget once (drive number, model text,
//    vendor code: 0xE3 for Full, the gate's quickVendorCode for a vendor Quick, and the
//    identity of the drive list's identify copy the confirmation names), then
//    `if (RefuseBootDrive(...)) return; if (!ConfirmErase(...)) return;`, disable 1010/1011
//    and start the flow on a worker the page owns (std::thread, one at a time; a refill
//    while it runs must not start a second one). The target is a copy: a new selection in
//    the drive list never reaches a running flow.
//  - Worker thread: SecurityEraseFlow / VendorEraseFlow. It calls the prompter for every
//    message box (the page answers with ui::MessageBox on the UI thread while the worker
//    waits) and the hooks for what it does to the windows; both are called on the worker.
//  - Hooks: LockMainWindow disables 1001-1006, 1022, 1026 and 1000 (About stays usable);
//    StartElapsed zeroes the erase seconds and starts timer 8002 (ElapsedTimeText on each
//    tick); StopElapsed kills it; UnlockAfterRun enables 1010, 1011 and everything
//    LockMainWindow disabled. The erase run pairs Lock/Unlock through one guard, so every
//    ending after the run started unlocks exactly once. EnableQuickErase is called only
//    for the "No in a repeated confirmation" ending. Other endings before the run leave
//    both buttons as they are (disabled): see ButtonsAfterEnding.
//  - The UI thread never joins a worker that may be waiting on a message box; the main
//    window refuses to close while a flow runs.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "pages/erase/EraseMessages.h"
#include "pages/erase/SecurityCommands.h"
#include "platform/Platform.h"

namespace vellumin::erase {

// One ATA command as the flow sent it (also IDENTIFY DEVICE), in order.
struct SentCommand {
    uint16_t flags = 0;
    uint32_t dataLength = 0;
    uint32_t timeOutSeconds = 0;
    ata::AtaTaskFile input;
    bool delivered = false;
    ata::AtaTaskFile output;  // error in features, status in command; only when delivered
    // Why it was not delivered; set exactly when it was not.
    std::optional<platform::TransportFailure> failure;
    bool operator==(const SentCommand&) const = default;
};
// "IDENTIFY DEVICE", "SECURITY SET PASSWORD", "SMART VENDOR ERASE E3", ...
std::string CommandName(const ata::AtaTaskFile& input);
// Name and every register sent: "SECURITY ERASE UNIT  cmd=F4 feat=00 count=00 lba=00:00:00
// dev=00 data-out 512 B, 36000 s".
std::string DescribeCommand(const SentCommand& command);

// What tells one drive from another: a number only says where a drive is, and a re-plugged
// disk may come back under another number while another disk takes its old one.
struct DriveIdentity {
    std::string model;            // identify words 27-46, as sent
    std::string serial;           // words 10-19
    std::array<uint16_t, 4> wwn{};  // words 108-111 when word 87 announces them, else zero
    bool operator==(const DriveIdentity&) const = default;
};
DriveIdentity IdentityOf(const ata::IdentifyBlock& identify);
// "VQ M510 SSD 60GB, serial 3400A1520771" (and ", WWN 5002538D..." when the drive has one).
std::string DescribeIdentity(const DriveIdentity& identity);

// Taken once when the user confirms and used for every command of that flow.
struct EraseTarget {
    int driveNumber = -1;
    std::string modelText;
    uint8_t vendorCode = 0;  // VendorEraseFlow only
    // The drive the user confirmed. Every IDENTIFY of the security flow must show it; an
    // empty identity matches no drive.
    DriveIdentity identity;
};

// What the flow does to the windows; all calls come on the flow's thread.
class EraseHooks {
public:
    virtual ~EraseHooks() = default;
    virtual void LockMainWindow() {}
    virtual void UnlockAfterRun() {}
    virtual void StartElapsed() {}
    virtual void StopElapsed() {}
    virtual void EnableQuickErase() {}
};

// Volumes of the drive in the platform's order, removable ones included.
std::vector<std::string> DriveVolumes(platform::DriveSystem& drives, int driveNumber);
// True when the drive holds the running system, or a system volume cannot be mapped to one
// drive (then every drive counts).
bool IsBootDrive(platform::DriveSystem& drives, int driveNumber);
// IsBootDrive, showing the boot-drive message when it is.
bool RefuseBootDrive(platform::DriveSystem& drives, const EraseTarget& target,
                     ErasePrompter& prompter);
// The Yes/No confirmation naming the drive and its volumes; true for Yes.
bool ConfirmErase(platform::DriveSystem& drives, const EraseTarget& target,
                  ErasePrompter& prompter);

enum class EraseFlowKind { Security, Vendor };

// Exactly one per flow.
enum class EraseEnding {
    IdentifyFailed,     // the flow's first IDENTIFY DEVICE was not delivered
    BootDriveOnRepeat,  // boot drive found in a repeated (frozen) pass
    DeclinedOnRepeat,   // No in a repeated confirmation
    CheckFailed,        // check result not 0
    OtherDrive,         // an IDENTIFY showed another drive than the one confirmed
    DriveBusy,          // another program holds the drive: it could not be claimed, nothing sent
    NotOpened,          // the erase run could not open the drive
    PrepareNotDelivered,
    EraseNotDelivered,
    EraseAborted,
    VendorNotDelivered,
    VendorAborted,
    Done,  // either erase done: completion message, then the restart
};
const char* EndingName(EraseEnding ending);  // "identify-failed", "done", ...

enum class ButtonsAfter { BothDisabled, QuickEnabled, AllEnabled };
ButtonsAfter ButtonsAfterEnding(EraseEnding ending);

struct EraseFlowOptions {
    // Done asks the platform to restart. The CLI clears it unless --restart is given.
    bool restart = true;
};

struct EraseFlowResult {
    EraseFlowKind flow = EraseFlowKind::Security;
    EraseEnding ending = EraseEnding::IdentifyFailed;
    CheckResult check = CheckResult::Ready;  // the last check (security flow)
    int passes = 0;                          // checks made (security flow)
    std::vector<SentCommand> commands;
    std::vector<EraseMessage> messages;  // every message shown, in order
    bool restartRequested = false;       // the platform was asked to restart
    bool restartRefused = false;         // ... and could not
    double eraseSeconds = 0;             // the erase command's own duration
    // The run did not finish on a drive that took the erase password, and taking it off again
    // failed: the drive locks at its next power-up.
    bool passwordLeft = false;
    // Why each open (or claim) of the drive that failed did so, in order.
    std::vector<platform::TransportFailure> failedOpens;
};

// Both flows claim the drive first (DriveSystem::ClaimDrive) and hold it to their end, taking
// it again after a re-plug: nothing mounts, partitions or erases it meanwhile. A drive another
// program holds ends the flow before any command (DriveBusy, with its message).
EraseFlowResult SecurityEraseFlow(platform::Platform& platform, const EraseTarget& target,
                                  ErasePrompter& prompter, EraseHooks& hooks,
                                  const EraseFlowOptions& options = {});
EraseFlowResult VendorEraseFlow(platform::Platform& platform, const EraseTarget& target,
                                ErasePrompter& prompter, EraseHooks& hooks,
                                const EraseFlowOptions& options = {});

}  // namespace vellumin::erase
