#include "pages/smart/SmartDispatch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "pages/smart/SmartLayouts.h"

namespace vellumin::pages {
namespace {

using ata::SmartBlock;


struct NamedDecoder {
    std::string_view name;
    SmartDecoder decoder;
};

// Tried in order; the first match decides.
constexpr std::array<NamedDecoder, 6> kControllerDecoders{{
    {"SMI2242", SmartDecoder::Smi},
    {"SMI2235", SmartDecoder::Smi},
    {"JMF667", SmartDecoder::Jmf667},
    {"SM2246", SmartDecoder::Sm2246},
    {"JMF612", SmartDecoder::Jmf612},
    {"JMF616", SmartDecoder::Jmf612},
}};

// Older firmware that does not name its controller.
constexpr std::array<std::string_view, 7> kJmf612Firmware{"101202B", "101022", "101028", "101202",
                                                          "110322",  "110512", "100707A"};
constexpr std::array<std::string_view, 11> kUnsupportedFirmware{
    "V0826",   "V1210",    "V0118",    "V0327",   "V0513", "V090216",
    "V090331", "V090331a", "V090331H", "V090508", "100415"};

template <size_t N>
bool OneOf(std::string_view text, const std::array<std::string_view, N>& list) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

uint32_t LittleEndian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (size_t i = bytes.size(); i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

uint32_t BigEndian(std::span<const uint8_t> bytes) {
    uint32_t value = 0;
    for (uint8_t byte : bytes) {
        value = (value << 8) | byte;
    }
    return value;
}

int64_t Number(uint32_t value, ValueFormat format) {
    return format == ValueFormat::Signed32 ? int64_t{static_cast<int32_t>(value)} : int64_t{value};
}

std::string Format(uint32_t value, ValueFormat format) {
    switch (format) {
        case ValueFormat::Signed32:
            return std::to_string(static_cast<int32_t>(value));
        case ValueFormat::Temperature:
            return std::to_string(value) + "C (" + std::to_string(Fahrenheit(value)) + "F)";
        case ValueFormat::Unsigned:
            break;
    }
    return std::to_string(value);
}

ReportRows ScanAttributes(std::span<const AttributeRow> layout, const SmartBlock& smart) {
    ReportRows rows;
    for (const auto& row : layout) {
        rows.push_back({row.label, {}});
    }
    // Every slot is applied in turn, so an id repeated in a later slot overwrites.
    for (int k = 0; k < kSmartSlotCount; ++k) {
        const std::span<const uint8_t> slot(smart.data() + kSmartFirstSlot + k * kSmartSlotSize,
                                            kSmartSlotSize);
        if (slot[0] == 0) {
            continue;
        }
        for (size_t r = 0; r < layout.size(); ++r) {
            if (layout[r].id == slot[0]) {
                const auto& field = layout[r].field;
                const uint32_t value = LittleEndian(slot.subspan(field.first, field.count));
                rows[r].value = Format(value, layout[r].format);
                rows[r].number = Number(value, layout[r].format);
            }
        }
    }
    return rows;
}

ReportRows ReadFixed(std::span<const FixedRow> layout, const SmartBlock& smart) {
    ReportRows rows;
    for (const auto& row : layout) {
        const std::span<const uint8_t> bytes(smart.data() + row.offset, row.count);
        const uint32_t value =
            row.order == ByteOrder::BigEndian ? BigEndian(bytes) : LittleEndian(bytes);
        rows.push_back({row.label, std::to_string(value), value});
    }
    return rows;
}

}  // namespace

SmartDispatch ChooseSmartDecoder(std::string_view controllerName, std::string_view firmware,
                                 std::string_view modelNumber) {
    SmartDispatch dispatch;
    const auto named =
        std::find_if(kControllerDecoders.begin(), kControllerDecoders.end(),
                     [&](const NamedDecoder& d) { return d.name == controllerName; });
    if (named != kControllerDecoders.end()) {
        dispatch.decoder = named->decoder;
    } else if (OneOf(firmware, kJmf612Firmware)) {
        dispatch.decoder = SmartDecoder::Jmf612;
    } else if (OneOf(firmware, kUnsupportedFirmware)) {
        dispatch.showMessage = true;
    }
    dispatch.modelSeries = ata::IsModelSeries(modelNumber);
    return dispatch;
}

ReportRows DecodeSmartWith(SmartDecoder decoder, const SmartBlock& smart) {
    switch (decoder) {
        case SmartDecoder::Smi:
            return ReadFixed(kSmiLayout, smart);
        case SmartDecoder::Sm2246:
            return ScanAttributes(kSm2246Layout, smart);
        case SmartDecoder::Jmf667:
            return ScanAttributes(kJmf667Layout, smart);
        case SmartDecoder::Jmf612:
            return ScanAttributes(kJmf612Layout, smart);
        case SmartDecoder::ModelSeries:
            return ScanAttributes(kModelSeriesLayout, smart);
        case SmartDecoder::None:
            break;
    }
    return {};
}

SmartReport DecodeSmart(const SmartBlock& smart, const ata::IdentifyBlock& identify) {
    SmartReport report;
    report.dispatch =
        ChooseSmartDecoder(ControllerName(smart), ata::TrimRight(ata::FirmwareRevision(identify)),
                           ata::ModelText(identify));
    // The model-series rows replace the controller's, so only the decoder that wins runs.
    report.rows = DecodeSmartWith(
        report.dispatch.modelSeries ? SmartDecoder::ModelSeries : report.dispatch.decoder, smart);
    report.showMessage = report.dispatch.showMessage;
    if (report.showMessage) {
        report.message = kUnsupportedFunctionMessage;
    }
    return report;
}

}  // namespace vellumin::pages
