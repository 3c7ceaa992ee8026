#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// ATA string of `words` words from word `first`: per word byte 2k+1 then byte 2k, each byte one
// character. Nothing is trimmed.
std::string AtaString(const IdentifyBlock& block, int first, int words);

// Removes trailing white space (blank, tab, new line, CR, VT, FF).
std::string TrimRight(std::string text);

}  // namespace vellumin::ata
