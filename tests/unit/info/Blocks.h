#pragma once

// Crafted identify and SMART blocks for the drive-information and SMART tests.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "ata/IdentifyBlock.h"

namespace vellumin::testing {

inline void SetWord(ata::IdentifyBlock& block, int k, uint16_t value) {
    block[2 * k] = static_cast<uint8_t>(value);
    block[2 * k + 1] = static_cast<uint8_t>(value >> 8);
}

// Writes `text` as an ATA string of `words` words, blank-padded.
inline void SetAtaString(ata::IdentifyBlock& block, int first, int words, const std::string& text) {
    std::string padded = text;
    padded.resize(2 * words, ' ');
    for (int i = 0; i < words; ++i) {
        block[2 * (first + i) + 1] = static_cast<uint8_t>(padded[2 * i]);
        block[2 * (first + i)] = static_cast<uint8_t>(padded[2 * i + 1]);
    }
}

inline ata::IdentifyBlock Identify(const std::string& firmware, const std::string& model) {
    ata::IdentifyBlock block{};
    SetAtaString(block, 23, 4, firmware);
    SetAtaString(block, 27, 20, model);
    return block;
}

// Bytes 400-407 exactly as given (up to 8 bytes, the rest zero).
inline void SetControllerBytes(ata::SmartBlock& block, const std::string& bytes) {
    std::memset(block.data() + 400, 0, 8);
    std::memcpy(block.data() + 400, bytes.data(), bytes.size() < 8 ? bytes.size() : 8);
}

inline ata::SmartBlock SmartNamed(const std::string& controller) {
    ata::SmartBlock block{};
    SetControllerBytes(block, controller);
    return block;
}

// Attribute slot k: id, raw bytes 0.. as given, and the vendor byte.
inline void SetSlot(ata::SmartBlock& block, int k, uint8_t id, std::initializer_list<uint8_t> raw,
                    uint8_t vendor = 0) {
    uint8_t* slot = block.data() + 2 + 12 * k;
    std::memset(slot, 0, 12);
    slot[0] = id;
    int i = 5;
    for (uint8_t byte : raw) {
        slot[i++] = byte;
    }
    slot[11] = vendor;
}

}  // namespace vellumin::testing
