#pragma once

// The ATA security commands and the vendor SMART erase, each one request through the
// transport. The password commands open the drive themselves; the two erases work on the
// handle the erase run holds.

#include <array>
#include <cstdint>
#include <optional>

#include "pages/erase/EraseMessages.h"
#include "ata/Registers.h"
#include "platform/Platform.h"

namespace vellumin::erase {

inline constexpr uint32_t kPasswordTimeOutSeconds = 5;
inline constexpr uint32_t kPrepareTimeOutSeconds = 1;
inline constexpr uint32_t kEraseUnitTimeOutSeconds = 36000;
inline constexpr uint32_t kVendorEraseTimeOutSeconds = 3600;
// How long the suspend that thaws a frozen drive lasts: long enough for the computer to be
// asleep before the wake alarm rings.
inline constexpr int kThawSuspendSeconds = 10;

// The program's own user password. Never change these bytes: a drive left enabled by an
// interrupted erase can only be unlocked by a build that still sends the same 32 bytes.
inline constexpr std::array<uint8_t, 32> kErasePassword = {
    'V', 'e', 'l', 'l', 'u', 'm', 'i', 'n',  '-',  'e',  'r',  'a',  's',  'e',  '-',  'k',
    'e', 'y', '-', '2', '0', '2', '6', 0x00, 0x5C, 0xA7, 0x13, 0xE9, 0x42, 0x8B, 0x6D, 0xF0};

using PasswordBlock = std::array<uint8_t, 512>;
// Control word 0 (user password, level High, normal erase), the erase password, 0xFF after.
PasswordBlock BuildPasswordBlock();

// The requests as they go to the drive, built without sending them. `buffer` is the
// 512-byte data block (password block or scratch) the request points at.
ata::AtaPassThroughRequest PasswordCommandRequest(uint8_t command, PasswordBlock& block);
ata::AtaPassThroughRequest ErasePrepareRequest();
ata::AtaPassThroughRequest EraseUnitRequest(PasswordBlock& block);
ata::AtaPassThroughRequest VendorEraseRequest(uint8_t code, std::array<uint8_t, 512>& scratch);

// What CheckSecurityState returns; the non-zero values name themselves in the check-failed
// message.
enum class CheckResult : int { Ready = 0, Unsupported = 1, Locked = 4, Frozen = 8, Expired = 16 };
const char* CheckResultName(CheckResult result);  // "Security_Unsupported", ...; "" for Ready

// Why a command did not reach the drive.
struct NotDeliveredReason {
    std::string command;  // "SECURITY UNLOCK", ..., or "open" when the drive could not be opened
    platform::TransportFailure failure;
};

// What the operations need of the page: the drive, and someone to show their messages.
struct SecurityContext {
    platform::DriveSystem& drives;
    int driveNumber = -1;
    ErasePrompter& prompter;
    // Offers the suspend at the frozen state where it can; none: only the re-plug is asked for.
    platform::System* system = nullptr;
};

// Only Accepted means the drive took the erase password (set it, unlocked with it, removed it).
enum class PasswordOutcome { NotOpened, NotDelivered, Aborted, Accepted };

// What one password command came to, and, when it did not reach the drive, why.
struct PasswordResult {
    PasswordOutcome outcome = PasswordOutcome::NotDelivered;
    // Set exactly for NotOpened ("open") and NotDelivered; empty for a byte that is no
    // password command, which is never sent.
    std::optional<NotDeliveredReason> notDelivered;
    // Delivered, also when the drive aborted it.
    bool delivered() const {
        return outcome == PasswordOutcome::Aborted || outcome == PasswordOutcome::Accepted;
    }
};

// Each shows the command's aborted text when the drive aborts it and its failure text when the
// request is not delivered; a drive that cannot be opened is passed over silently.
PasswordResult SecurityDisablePassword(const SecurityContext& context);
PasswordResult SecurityUnlock(const SecurityContext& context);
PasswordResult SecuritySetPassword(const SecurityContext& context);
// `command` is SET PASSWORD, UNLOCK or DISABLE PASSWORD; any other byte is not sent.
PasswordResult SendPasswordCommand(const SecurityContext& context, uint8_t command);

// Decides from the status byte whether SET PASSWORD and the erase may follow; brings a drive
// that carries a user password back to disabled first. A frozen drive shows the frozen
// message (offering the suspend where the system can) and, once the user has answered it,
// suspends the computer or tells the platform the drive was re-plugged.
CheckResult CheckSecurityState(const SecurityContext& context, uint8_t status);

// The way back without an erase, for a drive that carries the erase password: UNLOCK when it
// is locked, then DISABLE PASSWORD, never an erase. The drive is claimed for the commands
// (DriveSystem::ClaimDrive), so nothing else takes it meanwhile. A drive that refuses the
// UNLOCK is not sent the DISABLE too: each refusal spends one of the password owner's attempts.
enum class ReleaseOutcome {
    NoPassword,    // security not enabled: nothing sent
    Unsupported,   // no security feature set: nothing sent
    Frozen,        // the drive refuses every password command until it is power-cycled
    Expired,       // the attempt counter is spent until a power cycle
    Busy,          // another program holds the drive (a mounted file system): nothing sent
    NotDelivered,  // a command did not reach the drive (or it could not be opened)
    Refused,       // the drive aborted: its password is not the erase password
    Released,      // no password any more
};
struct ReleaseResult {
    ReleaseOutcome outcome = ReleaseOutcome::NotDelivered;
    // Busy and NotDelivered: the claim ("open") or the command that did not reach the drive.
    std::optional<NotDeliveredReason> notDelivered;
};
ReleaseResult ReleaseErasePassword(const SecurityContext& context, uint8_t status);
// What the status byte alone decides, before anything is sent; nullopt when the commands go.
std::optional<ReleaseOutcome> ReleaseRefusal(uint8_t status);

enum class SecurityEraseOutcome { PrepareNotDelivered, EraseNotDelivered, EraseAborted, EraseDone };
enum class VendorEraseOutcome { NotDelivered, Aborted, Done };

// ERASE PREPARE and ERASE UNIT back to back on `handle`, nothing between them. Shows nothing:
// the erase run turns the outcome into its message.
SecurityEraseOutcome SecurityErase(platform::DriveHandle* handle);
VendorEraseOutcome VendorErase(platform::DriveHandle* handle, uint8_t code);

}  // namespace vellumin::erase
