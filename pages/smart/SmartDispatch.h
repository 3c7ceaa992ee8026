#pragma once

#include <string>
#include <string_view>

#include "ata/IdentifyBlock.h"
#include "pages/report/DriveBlocks.h"
#include "pages/report/ReportRow.h"

namespace vellumin::pages {

inline constexpr const char* kUnsupportedFunctionMessage =
    "The selected drive does not support this function.";

enum class SmartDecoder { None, Smi, Sm2246, Jmf667, Jmf612, ModelSeries };

// What a SMART fill does: the controller decoder (or none), whether the unsupported-function
// message is shown, and whether the model-series decoder then replaces the rows.
struct SmartDispatch {
    SmartDecoder decoder = SmartDecoder::None;
    bool showMessage = false;
    bool modelSeries = false;

    bool operator==(const SmartDispatch&) const = default;
};

// The texts are compared exactly and case-sensitive; the caller trims trailing white space
// off all three.
SmartDispatch ChooseSmartDecoder(std::string_view controllerName, std::string_view firmware,
                                 std::string_view modelNumber);

// The rows one decoder makes from the block (kNone: no rows).
ReportRows DecodeSmartWith(SmartDecoder decoder, const ata::SmartBlock& smart);

struct SmartReport {
    SmartDispatch dispatch;
    ReportRows rows;  // the model-series rows when it applies, else the controller decoder's
    bool showMessage = false;
    std::string message;  // the message line's text when shown
};

SmartReport DecodeSmart(const ata::SmartBlock& smart, const ata::IdentifyBlock& identify);

// Celsius to Fahrenheit, truncating.
constexpr long long Fahrenheit(long long celsius) {
    return celsius * 9 / 5 + 32;
}

}  // namespace vellumin::pages
