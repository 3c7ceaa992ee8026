#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace vellumin::trim {

// Results of a query or switch, as the page stores them.
inline constexpr int kTrimEnabled = 1;
inline constexpr int kTrimDisabled = 0;
inline constexpr int kTrimUnknown = -1;  // no state was read

inline constexpr const char* kLaunchFailed = "Launch failed";
inline constexpr const char* kOutputUnavailable = "Can not detect TRIM,open temp file failed";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kNotSupported = "Your operating system does not support TRIM";

// The command's output is read up to this many bytes; the rest is ignored.
inline constexpr std::size_t kMaxOutputBytes = 511;

struct TrimOutcome {
    int result = kTrimUnknown;
    bool launchFailed = false;       // the command could not be started
    bool outputUnavailable = false;  // no output file could be made or read
};

// The decimal number after the first "=" of the output (blanks before it skipped, the text
// ending at a zero byte); nullopt without "=" or without a number after it. Numbers beyond
// the int range saturate: only "zero or not" matters.
std::optional<int> ReadTrimNumber(std::string_view output);

// Reads the TRIM setting: kTrimEnabled when the number is 0, kTrimDisabled for any other
// number, kTrimUnknown when the command reported no number or nothing could be read.
TrimOutcome QueryTrim(platform::System& system);
// Switches TRIM on or off, then reads the state back (QueryTrim) and returns that. When the
// switch could not be started or reported no number, or the read-back reads none, the result
// is kTrimUnknown: the requested state never stands in.
TrimOutcome SetTrim(platform::System& system, bool turnOn);

// The error messages (caption kErrorCaption) the outcome calls for, in the order they arose.
std::vector<std::string> TrimMessages(const TrimOutcome& outcome);

// Status line of a result: enabled, disabled, or that the state could not be read.
const char* TrimStatusLine(int result);
// The switch's caption: "Disable TRIM" on an enabled system, "Enable TRIM" on a disabled one.
const char* TrimSwitchText(int result);

}  // namespace vellumin::trim
