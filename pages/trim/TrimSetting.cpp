#include "pages/trim/TrimSetting.h"

#include <algorithm>
#include <climits>

#include "platform/CommandRunner.h"

namespace vellumin::trim {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Both operations: a fresh output file, the command, the number it printed.
struct CommandRun {
    TrimOutcome outcome;
    std::optional<int> number;
};

CommandRun RunTrim(platform::System& system, platform::TrimCommand command) {
    CommandRun run;
    std::optional<platform::TempFile> output = platform::TempFile::Create();
    if (!output) {
        // Without a file for its output the command's answer would be lost: do not run it.
        run.outcome.outputUnavailable = true;
        return run;
    }
    run.outcome.launchFailed = !system.RunTrimCommand(command, output->Fd());
    const std::optional<std::string> text = output->ReadFromStart(kMaxOutputBytes);
    if (!text) {
        run.outcome.outputUnavailable = true;
        return run;
    }
    run.number = ReadTrimNumber(*text);
    return run;
}

int ResultOf(int number) {
    return number == 0 ? kTrimEnabled : kTrimDisabled;
}

}  // namespace

std::optional<int> ReadTrimNumber(std::string_view output) {
    output = output.substr(0, output.find('\0'));
    const size_t equals = output.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    size_t i = equals + 1;
    while (i < output.size() && IsBlank(output[i])) {
        ++i;
    }
    bool negative = false;
    if (i < output.size() && (output[i] == '+' || output[i] == '-')) {
        negative = output[i] == '-';
        ++i;
    }
    if (i >= output.size() || output[i] < '0' || output[i] > '9') {
        return std::nullopt;
    }
    long long value = 0;
    for (; i < output.size() && output[i] >= '0' && output[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (output[i] - '0'), INT_MAX + 1LL);
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

TrimOutcome QueryTrim(platform::System& system) {
    CommandRun run = RunTrim(system, platform::TrimCommand::Query);
    if (run.number) {
        run.outcome.result = ResultOf(*run.number);
    }
    return run.outcome;
}

TrimOutcome SetTrim(platform::System& system, bool turnOn) {
    CommandRun run =
        RunTrim(system, turnOn ? platform::TrimCommand::TurnOn : platform::TrimCommand::TurnOff);
    // A switch that reported nothing readable may or may not have happened; one that did is
    // shown as the system reads afterwards, never as requested.
    if (!run.number) {
        return run.outcome;
    }
    return QueryTrim(system);
}

std::vector<std::string> TrimMessages(const TrimOutcome& outcome) {
    std::vector<std::string> messages;
    if (outcome.launchFailed) {
        messages.emplace_back(kLaunchFailed);
    }
    if (outcome.outputUnavailable) {
        messages.emplace_back(kOutputUnavailable);
    }
    return messages;
}

const char* TrimStatusLine(int result) {
    switch (result) {
        case kTrimEnabled:
            return "Status: TRIM is enabled on this system";
        case kTrimDisabled:
            return "Status: TRIM is disabled on this system";
        default:
            return "Status: the TRIM state of this system could not be read";
    }
}

const char* TrimSwitchText(int result) {
    return result == kTrimEnabled ? "Disable TRIM" : "Enable TRIM";
}

}  // namespace vellumin::trim
