#pragma once

// Per-controller SMART layouts as data. Four families look attributes up by id in the 30
// attribute slots; the SMI family reads fixed bytes of the block.

#include <array>
#include <cstdint>
#include <span>
#include <utility>

#include "ata/IdentifyBlock.h"

namespace vellumin::pages {

inline constexpr int kSmartSlotCount = 30;
inline constexpr int kSmartSlotSize = 12;
inline constexpr int kSmartFirstSlot = 2;
inline constexpr int kSmartRawOffset = 5;  // raw byte 0 is slot byte 5
inline constexpr int kSmartVendorByte = 11;

enum class ValueFormat : uint8_t {
    Unsigned,     // decimal
    Signed32,     // the four bytes as a two's-complement 32-bit number, decimal
    Temperature,  // Celsius T as "TC (FF)"
};

// `count` bytes of an attribute slot from slot byte `first`, least significant first.
struct SlotField {
    uint8_t first = 0;
    uint8_t count = 0;
};

// Raw bytes a..b of a slot.
constexpr SlotField Raw(int a, int b) {
    return {static_cast<uint8_t>(kSmartRawOffset + a), static_cast<uint8_t>(b - a + 1)};
}

// One report row of a table-scanning decoder. id 0 is a row that stays blank (an empty slot
// has id 0 and matches nothing).
struct AttributeRow {
    const char* label = "";
    uint8_t id = 0;
    SlotField field;
    ValueFormat format = ValueFormat::Unsigned;
};

inline constexpr std::array<AttributeRow, 8> kJmf667Layout{{
    {"Power-On Hour Count", 0x09, Raw(0, 1), ValueFormat::Unsigned},
    {"Drive Power Cycle Count", 0x0C, Raw(0, 1), ValueFormat::Unsigned},
    {"Average Erase Count", 0xAD, Raw(4, 5), ValueFormat::Unsigned},
    {"Maximum Erase Count", 0xAD, Raw(2, 3), ValueFormat::Unsigned},
    {"Minimum Erase Count", 0xAD, Raw(0, 1), ValueFormat::Unsigned},
    {"Current Temperature", 0xC2, Raw(0, 0), ValueFormat::Temperature},
    {"Minimum Temperature", 0xC2, Raw(2, 2), ValueFormat::Temperature},
    {"Maximum Temperature", 0xC2, Raw(4, 4), ValueFormat::Temperature},
}};

// The older JMicron firmware keeps the average and minimum erase counts the other way round.
constexpr std::array<AttributeRow, 8> ExchangeFields(std::array<AttributeRow, 8> rows, size_t a,
                                                     size_t b) {
    std::swap(rows[a].field, rows[b].field);
    return rows;
}
inline constexpr std::array<AttributeRow, 8> kJmf612Layout = ExchangeFields(kJmf667Layout, 2, 4);

inline constexpr std::array<AttributeRow, 5> kSm2246Layout{{
    {"Power-On Hour Count", 0x09, Raw(0, 3), ValueFormat::Signed32},
    {"Power Cycle Count", 0x0C, Raw(0, 3), ValueFormat::Signed32},
    {"Maximum Erase Count", 0xA5, Raw(0, 3), ValueFormat::Signed32},
    {"Average Erase Count", 0xA7, Raw(0, 3), ValueFormat::Signed32},
    {"Minimum Erase Count", 0xA6, Raw(0, 3), ValueFormat::Signed32},
}};

inline constexpr std::array<AttributeRow, 9> kModelSeriesLayout{{
    {"Power-On Hours", 0x09, Raw(0, 3), ValueFormat::Unsigned},
    {"Device Power Cycle Count", 0x0C, Raw(0, 3), ValueFormat::Unsigned},
    // raw bytes 4 and 5, then the vendor byte as the most significant
    {"Device Power Cycle Time", 0x0C, {kSmartRawOffset + 4, 3}, ValueFormat::Unsigned},
    {"Unexpected Power Loss", 0xAE, Raw(0, 3), ValueFormat::Unsigned},
    {"Current Temperature", 0xC2, Raw(0, 1), ValueFormat::Temperature},
    {"Lifetime Writes from Host System", 0xF1, Raw(0, 3), ValueFormat::Unsigned},
    {"Lifetime Reads to Host System", 0xF2, Raw(0, 3), ValueFormat::Unsigned},
    {},
    {},
}};

enum class ByteOrder : uint8_t { LittleEndian, BigEndian };

// A row read from fixed bytes of the SMART block.
struct FixedRow {
    const char* label = "";
    uint16_t offset = 0;
    uint8_t count = 0;
    ByteOrder order = ByteOrder::LittleEndian;
};

inline constexpr std::array<FixedRow, 4> kSmiLayout{{
    {"Power Cycle Count", 115, 2, ByteOrder::LittleEndian},  // raw bytes 0-1 of slot 9
    {"Average Erase Count", 421, 3, ByteOrder::BigEndian},
    {"Maximum Erase Count", 426, 3, ByteOrder::BigEndian},
    {"Minimum Erase Count", 429, 3, ByteOrder::BigEndian},
}};

// Every field stays inside its slot and every fixed row inside the block, whatever the drive
// sent.
constexpr bool FieldsFit(std::span<const AttributeRow> rows) {
    for (const auto& row : rows) {
        if (row.field.count > 4 || row.field.first + row.field.count > kSmartSlotSize) {
            return false;
        }
    }
    return true;
}
constexpr bool FieldsFit(std::span<const FixedRow> rows) {
    for (const auto& row : rows) {
        if (row.count > 4 || row.offset + row.count > static_cast<int>(ata::SmartBlock{}.size())) {
            return false;
        }
    }
    return true;
}
static_assert(kSmartFirstSlot + kSmartSlotCount * kSmartSlotSize <= 512);
static_assert(FieldsFit(kJmf667Layout) && FieldsFit(kJmf612Layout) && FieldsFit(kSm2246Layout) &&
              FieldsFit(kModelSeriesLayout) && FieldsFit(kSmiLayout));

}  // namespace vellumin::pages
