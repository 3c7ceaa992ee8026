#pragma once

// A simulated lab as plain values: the drives in slots 0-15, the volumes on them and the
// machine facts. Build one in code (tests, benchmarks) or parse it from JSON.

#include <array>
#include <cerrno>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "platform/Platform.h"

namespace vellumin::platform::sim {

// A lab file that cannot be used; what() names the file, the place and the problem.
class LabError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kSlotCount = 16;

// 32 password bytes exactly as they travel in the 512-byte security data block.
using Password = std::array<uint8_t, 32>;
// A text password: its bytes, padded with zero bytes (longer texts are cut at 32).
Password PasswordFromText(const std::string& text);

struct SmartAttribute {
    uint8_t id = 0;
    uint16_t flags = 0x0032;
    uint8_t current = 100;
    uint8_t worst = 100;
    uint64_t raw = 0;      // low 48 bits used, stored least significant byte first
    uint8_t reserved = 0;  // slot byte 11 (one decoder reads it)
};

struct SmartDescription {
    bool supported = true;
    bool enabled = true;
    uint16_t revision = 0x0010;
    // Written from byte 400 as given (at most 10 bytes, up to byte 409), the rest zero, so
    // "SMI2242" is followed by a zero byte and "SMI2242 " by a blank.
    std::string controller;
    std::vector<SmartAttribute> attributes;  // at most 30 slots, in order
    // 24-bit counts, most significant byte first, at 421-423 / 426-428 / 429-431.
    uint32_t averageErase = 0;
    uint32_t maximumErase = 0;
    uint32_t minimumErase = 0;
    // Vendor SMART erase sub-commands the drive accepts; nullopt derives them from the
    // controller family (names beginning "SMI": 0xE3, 0xE4; "JMF": 0xE3, 0xE0; others none).
    std::optional<std::vector<uint8_t>> vendorEraseCodes;
};

enum class SecurityLevel { High, Maximum };

// The drive's security feature set and its state at power-on.
struct SecurityDescription {
    bool supported = true;
    bool enhancedEraseSupported = false;
    uint16_t eraseTime = 0;          // word 89 as the drive reports it (2-minute units)
    uint16_t enhancedEraseTime = 0;  // word 90
    bool frozenAtPowerOn = false;    // BIOS-style freeze at every power-on (unless locked)
    bool startFrozen = false;        // frozen in the lab's first state; a power cycle thaws it
    std::optional<Password> userPassword;  // set: security enabled (locked after power-on)
    Password masterPassword{};
    uint16_t masterPasswordId = 0xFFFE;  // word 92
    SecurityLevel level = SecurityLevel::High;
    // The lab starts as if the user password had just been unlocked (enabled, not locked).
    bool startUnlocked = false;
    // The lab starts with the attempt counter already spent (expired until a power cycle).
    bool startExpired = false;
    // Re-plugging the drive (the user's answer to the frozen-state message) does not thaw it.
    bool staysFrozen = false;
};

// An injected media failure: a read touching [lba, lba + count) fails.
struct MediaFault {
    uint64_t lba = 0;
    uint64_t count = 1;
    uint8_t error = 0x40;      // error register (0x40 uncorrectable, 0x10 IDNF, 0x84 ...)
    bool deviceFault = false;  // status carries DF (0x20); ERR only when error is not zero
};

// Faults below the drive: the OS or the cable fails, not the device.
struct TransportDescription {
    bool present = true;           // false: the slot looks empty (open fails)
    bool openFails = false;        // present, but every open is refused (with openErrno)
    // The errno of a refused open (openFails, openFailsAfter): busy, as a drive another
    // program holds exclusively; EACCES for one this process has no rights to.
    int openErrno = EBUSY;
    // Another program holds the drive exclusively (a mounted file system, for one): plain opens
    // work as the kernel allows them, a claim (DriveSystem::ClaimDrive) is refused busy.
    bool heldByAnotherProgram = false;
    bool sectorCountFails = false; // the OS cannot report the medium size
    std::vector<uint8_t> undeliveredCommands;  // these command bytes never reach the drive
    std::vector<uint8_t> abortedCommands;      // the drive aborts these (status 0x51, 0x04)
    // SMART sub-commands (features) that never reach the drive while other SMART ones do.
    std::vector<uint8_t> undeliveredSmartFeatures;
    // Only this many opens succeed; every later one fails (an open during an erase refused).
    std::optional<uint32_t> openFailsAfter;
};

// What the sim does with the buffer of a successful read.
enum class ReadData {
    Untouched,  // nothing is copied: scans discard the data and must not pay for it
    Content,    // erased sectors read zero; others carry their LBA in bytes 0-7, then 0x5A
};

struct DriveDescription {
    std::string serial;    // at most 20 characters, padded with blanks
    std::string firmware;  // at most 8
    std::string model;     // at most 40
    uint64_t sectors = 0;  // capacity; 0 with a raw identify block: taken from the block
    // What the OS reports as the medium size; nullopt reports the capacity.
    std::optional<uint64_t> reportedSectors;
    uint16_t rotationRate = 0x0001;  // word 217: 1 = solid state
    int sataGen = 3;                 // word 76 bits 1-3 up to this generation; 0: none
    bool ncq = true;                 // word 76 bit 8
    int ataMajor = 8;                // word 80: bits 4 up to this version (4-8); 0: none
    bool apmSupported = true;
    bool apmEnabled = false;
    bool trim = true;  // word 169 bit 0
    int udmaMode = 6;  // word 88 selected mode; -1: none selected
    SmartDescription smart;
    SecurityDescription security;
    std::vector<MediaFault> faults;
    TransportDescription transport;
    DriveConnection connection = DriveConnection::SataPort;  // how the lab drive is attached
    ReadData readData = ReadData::Untouched;
    // How long ERASE UNIT and the vendor erases keep the caller waiting.
    uint32_t eraseMilliseconds = 0;
    uint32_t readLatencyMicroseconds = 0;  // per read command
    bool mediaBlank = false;               // the media holds no data yet
    // Once the user has re-plugged this drive it comes back at this number, and the drive
    // there takes its old one (a re-plug that renumbered the disks).
    std::optional<int> slotAfterReplug;

    // A real drive's blocks, returned as given (after the overrides below) instead of
    // the blocks built from the fields above. Security bits of words 82, 85 and 128 still
    // follow the drive's state.
    std::optional<ata::IdentifyBlock> identifyRaw;
    std::optional<ata::SmartBlock> smartRaw;
    std::map<int, uint16_t> identifyWords;  // word -> value, applied last, fixed
    std::map<int, uint8_t> identifyBytes;   // byte -> value, after the words
    std::map<int, uint8_t> smartBytes;
    bool keepIdentifyChecksum = false;  // leave word 255 as built/overridden
    bool keepSmartChecksum = false;     // leave byte 511 as built/overridden

    std::string note;  // what this drive is in the lab for (documentation only)
};

// Takes over from a raw identify block what the device model needs but the lab did not
// give: capacity (words 100-103, or 60-61 without 48-bit support), SMART supported/enabled
// (words 82/85), the security feature set and its power-on state (words 89, 90, 92, 128).
void AdoptRawIdentify(DriveDescription& drive, bool securityGiven);

struct VolumeDescription {
    std::string name;    // "C", "D", ...
    int disk = -1;       // slot holding it; -1: several disks or unknown
    bool removable = false;
};

// The machine's operating system as the version call and WMI would report it.
struct LabOs {
    OsVersionRecord version{true, 2, 6, 1, 7601, "Service Pack 1", 1, "Windows 7"};
    bool is64Bit = true;  // native processor architecture AMD64
    int serverR2 = 0;     // the SM_SERVERR2 metric
    std::string wmiVersion = "6.1.7601";  // "-1": the WMI query fails
    bool versionCallFails = false;        // OsVersion() answers nullopt
    bool trimService = true;  // a record that is not Windows: the system has a TRIM setting
};

// What the lab's TRIM command does when it is run.
enum class LabTrimCommand {
    Works,          // switches the lab's flag and reports the state afterwards
    CannotStart,    // nothing is started; the flag stays
    WritesNothing,  // runs, changes nothing, prints nothing
    NoNumber,       // runs, changes nothing, prints "DisableDeleteNotify =" without a number
};

// The firmware-update service's answer for a drive (the whole reply body).
struct FirmwareAnswer {
    std::string model;     // matched against the trimmed model number; empty: any
    std::string firmware;  // matched against the trimmed firmware revision; empty: any
    std::string wono;      // matched against the query key; empty: any
    std::string reply;
    int status = 200;                 // the HTTP status sent with the reply
    std::optional<uint64_t> cutAfter; // the connection drops after this many bytes of the reply
};

// A file the firmware service offers for download, by URL path.
struct FirmwareFile {
    std::string path;
    std::string content;
    uint64_t size = 0;                // non-zero: the content repeated to this many bytes
    int status = 200;
    std::optional<uint64_t> cutAfter; // the connection drops after this many bytes
    bool announceLength = true;       // false: no Content-Length (sent chunked)
    uint64_t bytesPerSecond = 0;      // 0: unthrottled
};

struct MachineFacts {
    LabOs os;
    bool trimEnabled = true;  // delete notifications not disabled
    LabTrimCommand trimCommand = LabTrimCommand::Works;
    std::string windowsDirectory = "C:\\Windows";
    std::string systemDirectory = "C:\\Windows\\system32";
    bool shellOpenSucceeds = true;  // OpenWithShell starts nothing, only records the call
    bool restartSucceeds = true;    // a refused restart leaves the drives as they are
    bool restartRequested = false;  // set by RestartComputer (and kept in a saved lab)
    bool canSuspend = true;         // the machine can sleep in RAM and wake by a timer
    bool suspendSucceeds = true;    // false: the suspend request is refused, nothing happens
    int suspends = 0;               // suspends made so far
    std::vector<FirmwareAnswer> firmwareAnswers;
    std::vector<FirmwareFile> firmwareFiles;

    // First answer whose non-empty keys all match; nullptr when none does.
    const FirmwareAnswer* FindFirmwareAnswer(const std::string& model, const std::string& firmware,
                                             const std::string& wono = {}) const;
};

struct LabDescription {
    std::array<std::optional<DriveDescription>, kSlotCount> drives;
    std::vector<VolumeDescription> volumes;
    MachineFacts machine;
    std::string source = "<code>";  // file name or "<default lab>"
    std::string json;               // the text it was parsed from; empty when built in code
    // Volume name -> the disk it is found on once the user has re-plugged a drive (a re-plug
    // that changed the system's numbering).
    std::map<std::string, int> disksAfterReplug;
};

// Throws LabError naming sourceName, the JSON path (e.g. "drives[3].model") and the problem.
LabDescription ParseLab(const std::string& json, const std::string& sourceName);
// Reads and parses a lab file; an unreadable file is a LabError as well.
LabDescription LoadLabFile(const std::string& path);
// The built-in lab (one JSON text compiled into the program).
LabDescription DefaultLab();
const std::string& DefaultLabJson();

}  // namespace vellumin::platform::sim
