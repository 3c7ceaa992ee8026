#pragma once

// The emulated ATA device behind one lab slot: answers AtaPassThroughRequests as a SATA
// drive would and lets tests look inside and inject faults.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "ata/Registers.h"
#include "ata/AtaRequest.h"
#include "platform/sim/SimLab.h"

namespace vellumin::platform::sim {

// Sectors a 28-bit command reaches; words 60-61 report at most this many.
inline constexpr uint64_t kLba28Max = ata::kLba28Limit - 1;

// One command as the device saw it.
struct CommandRecord {
    uint16_t flags = 0;
    uint32_t dataLength = 0;
    uint32_t timeOutSeconds = 0;
    ata::AtaTaskFile input;          // registers sent
    ata::AtaTaskFile inputPrevious;  // high-order registers (48-bit commands)
    bool delivered = false;     // false: the transport refused it, nothing reached the drive
    ata::AtaTaskFile output;         // registers returned (error in features, status in command)
    // Media commands: the decoded range (also for refused or failed reads).
    bool isRead = false;
    uint64_t lba = 0;
    uint32_t sectors = 0;
};

enum class EraseKind { SecurityNormal, SecurityEnhanced, VendorFull, VendorQuick };

// The security feature set as the drive holds it right now.
struct SecurityState {
    bool supported = false;
    bool enabled = false;  // a user password is set
    bool locked = false;
    bool frozen = false;
    bool expired = false;  // attempt counter spent
    int attemptsLeft = 5;
    bool erasePrepared = false;  // the previous command was ERASE PREPARE
    SecurityLevel level = SecurityLevel::High;
    std::optional<Password> userPassword;
    Password masterPassword{};
    uint16_t masterPasswordId = 0xFFFE;

    uint16_t Word128() const;
};

struct DeviceStats {
    uint64_t commands = 0;     // delivered commands
    uint64_t reads = 0;        // READ DMA / READ DMA EXT commands delivered
    uint64_t sectorsRead = 0;  // sectors of successful reads
    uint64_t blockReads = 0;   // reads through the lab drive's block device, failed or not
};

class SimDevice {
public:
    explicit SimDevice(DriveDescription desc);
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // The drive's side of one pass-through: false when the transport refuses it (nothing is
    // changed, no register written); true with error/status in the request's output.
    bool Execute(ata::AtaPassThroughRequest& request);

    // Transport (what DriveHandle and DriveSystem ask).
    bool Openable() const;
    // Openable, counting the open against the drive's openFailsAfter: 0, or the open's errno.
    int TryOpen();
    uint32_t Opens() const;
    // A claim for this program alone, as an exclusive open takes it: 0, or the errno (EBUSY
    // while another program or an earlier claim holds the drive). Not counted against
    // openFailsAfter, which limits the plain opens the commands make.
    int TryClaim();
    void ReleaseClaim();
    bool Claimed() const;
    bool Present() const;
    std::optional<uint64_t> ReportedSectors() const;
    // A read through the system's block layer, which learns only whether it failed: it fails
    // where READ DMA EXT of the same sectors would (a fault, past the capacity, locked, absent).
    bool BlockRead(uint64_t lba, uint64_t count);

    // Inspection.
    const DriveDescription& Description() const { return m_desc; }
    uint64_t Capacity() const { return m_capacity; }
    SecurityState Security() const;
    ata::IdentifyBlock IdentifyData() const;  // what IDENTIFY DEVICE returns now
    ata::SmartBlock SmartData() const;        // what SMART READ DATA returns
    bool MediaBlank() const;
    std::vector<EraseKind> Erases() const;    // every erase the drive carried out, in order
    DeviceStats Stats() const;

    // Every command (delivered or not) from now on is passed to the observer, outside the
    // device's lock; an empty function stops it.
    void SetObserver(std::function<void(const CommandRecord&)> observer);
    // Keeps a log of every command; off by default so scans cost nothing.
    void SetLogging(bool on);
    std::vector<CommandRecord> TakeLog();

    // Injection.
    void PowerCycle();
    void SetPresent(bool present);
    void SetOpenFails(bool fails);
    void SetUndelivered(uint8_t command, bool undelivered);
    void SetAborted(uint8_t command, bool aborted);
    void AddFault(const MediaFault& fault);
    void ClearFaults();
    void SetEraseMilliseconds(uint32_t ms);
    void SetReadLatencyMicroseconds(uint32_t us);
    void SetReadData(ReadData mode);

private:
    struct Outcome;
    Outcome Dispatch(ata::AtaPassThroughRequest& request, CommandRecord& record);
    Outcome Identify(ata::AtaPassThroughRequest& request);
    Outcome Smart(ata::AtaPassThroughRequest& request);
    // decodeOnly: fill the record's range for a command the transport refused.
    Outcome Read(ata::AtaPassThroughRequest& request, CommandRecord& record, bool ext, bool decodeOnly);
    Outcome SecurityCommand(ata::AtaPassThroughRequest& request, bool prepared);
    const MediaFault* FaultIn(uint64_t lba, uint64_t count) const;
    void FillRead(uint8_t* buffer, uint64_t lba, uint32_t sectors) const;
    void EraseMedia(EraseKind kind);
    ata::IdentifyBlock BuildIdentifyLocked() const;
    void ResetSecurityForPowerOn();
    void IndexFaults();

    DriveDescription m_desc;
    uint64_t m_capacity = 0;
    ata::IdentifyBlock m_identifyBase{};  // built or raw, before dynamic words and overrides
    ata::SmartBlock m_smart{};
    std::vector<MediaFault> m_faults;     // sorted by lba
    std::vector<uint64_t> m_faultEnds;    // running maximum of lba + count over m_faults
    bool m_undelivered[256] = {};
    bool m_aborted[256] = {};
    bool m_vendorErase[256] = {};
    bool m_undeliveredSmart[256] = {};

    mutable std::mutex m_mutex;
    SecurityState m_security;
    bool m_present = true;
    bool m_openFails = false;
    uint32_t m_opens = 0;
    bool m_claimed = false;
    bool m_mediaBlank = false;
    std::vector<EraseKind> m_erases;
    uint32_t m_eraseMs = 0;
    uint32_t m_readLatencyUs = 0;
    ReadData m_readData = ReadData::Untouched;
    DeviceStats m_stats;
    bool m_logging = false;
    std::vector<CommandRecord> m_log;
    // Shared so that each command takes a reference, not a copy of the callable.
    std::shared_ptr<const std::function<void(const CommandRecord&)>> m_observer;
};

// Helpers shared by the device and the lab code.
// Writes `text` as an ATA string of `words` words from word `first`, padded with blanks.
void PutAtaString(ata::IdentifyBlock& block, int first, int words, const std::string& text);
void PutWord(ata::IdentifyBlock& block, int k, uint16_t value);
// Word 255: signature 0xA5 and the checksum byte making all 512 bytes sum to 0 mod 256.
void SealIdentifyChecksum(ata::IdentifyBlock& block);
// Byte 511 of a SMART data block: all 512 bytes sum to 0 mod 256.
void SealSmartChecksum(ata::SmartBlock& block);
ata::IdentifyBlock BuildIdentify(const DriveDescription& drive);  // static part, before overrides
ata::SmartBlock BuildSmart(const SmartDescription& smart);

}  // namespace vellumin::platform::sim
