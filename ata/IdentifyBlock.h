#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumin::ata {

// 512 bytes exactly as the device sent them.
using IdentifyBlock = std::array<uint8_t, 512>;
using SmartBlock = std::array<uint8_t, 512>;

// Identify word k, little-endian (byte 2k low, byte 2k+1 high).
inline uint16_t Word(const IdentifyBlock& block, int k) {
    return static_cast<uint16_t>(block[2 * k] | (block[2 * k + 1] << 8));
}

// A word printed high byte first: "0x%02X%02X" of byte 2k+1, byte 2k.
std::string WordHex(const IdentifyBlock& block, int k);

// Two characters as one "%C%C" formatted into a C string yields them: a zero first character
// ends that little string at once (nothing), a zero second character keeps only the first.
// Zero bytes therefore never reach our texts, and the characters after them still do.
std::string CharPair(uint8_t first, uint8_t second);

// ATA string of `words` words from word `first`: per word CharPair(byte 2k+1, byte 2k).
// Nothing is trimmed.
std::string AtaString(const IdentifyBlock& block, int first, int words);

// `count` bytes from `offset` taken in order, in pairs by CharPair (offset/offset+1, ...), as
// the SMART block's controller name is read. Nothing is trimmed.
std::string PairedBytes(const std::array<uint8_t, 512>& block, int offset, int count);

// Removes trailing white space (blank, tab, new line, CR, VT, FF).
std::string TrimRight(std::string text);

// Identify fields the drive list and the identity report read.
inline constexpr int kWordSerial = 10;    // 10 words
inline constexpr int kWordFirmware = 23;  // 4 words
inline constexpr int kWordModel = 27;     // 20 words; word 27 alone is the maker prefix
inline constexpr int kWordRotationRate = 217;

std::string SerialNumber(const IdentifyBlock& block);    // not trimmed
std::string FirmwareRevision(const IdentifyBlock& block);  // not trimmed
std::string ModelNumber(const IdentifyBlock& block);     // not trimmed
std::string ModelText(const IdentifyBlock& block);       // trailing white space removed
std::string PrefixText(const IdentifyBlock& block);      // word 27 as an ATA string
std::string RotationText(const IdentifyBlock& block);    // word 217 as "0x%02X%02X"

// The security feature set as identify words 89, 90, 92 and 128 report it.
struct SecurityStatus {
    bool supported = false;
    bool enabled = false;
    bool locked = false;
    bool frozen = false;
    bool expired = false;  // the unlock attempt counter ran out
    bool enhancedEraseSupported = false;
    bool levelMaximum = false;
    uint16_t eraseTime = 0;          // word 89, the drive's own time code
    uint16_t enhancedEraseTime = 0;  // word 90
    uint16_t masterPasswordRevision = 0;  // word 92
};
SecurityStatus ReadSecurityStatus(const IdentifyBlock& block);
// Word 89 or 90 in minutes; nullopt when not reported; beyond the range, the bound it exceeds.
std::optional<uint32_t> EraseTimeMinutes(uint16_t word);
// "not reported", "12 minutes", "more than 508 minutes".
std::string EraseTimeText(uint16_t word);
// The low byte of word 128, the status bits of ata::sec.
inline uint8_t SecurityStatusByte(const IdentifyBlock& block) { return static_cast<uint8_t>(Word(block, 128)); }

// User-addressable sectors: words 100-103 when the drive supports 48-bit addressing (word 83
// valid with bit 10 set), else words 60-61.
uint64_t CapacitySectors(const IdentifyBlock& block);

// The model series ("KD5508", "KM5508", "KD3308" anywhere, case-sensitive) that cannot run the
// scan, has its own SMART layout and needs AHCI for firmware updates.
bool IsModelSeries(std::string_view modelNumber);

}  // namespace vellumin::ata
