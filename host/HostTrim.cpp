// Host defaults of the operating-system facts and the TRIM command: what a Linux system with
// systemd offers in place of the Windows version metrics, WMI and fsutil.
#include "host/HostTrim.h"

#include <sys/utsname.h>

#include <filesystem>

#include "platform/CommandRunner.h"

namespace vellumin::host {
namespace {

// The state systemctl prints is copied into the output too, so a user reading it sees why.
// "masked" cannot be switched on but is as good as off; anything else (no such unit, no
// systemd) gives no line, so the state counts as not read instead of as off.
constexpr const char* kStateScript =
    "state=$(systemctl is-enabled fstrim.timer 2>/dev/null); printf '%s\\n' \"$state\"; "
    "case $state in enabled|enabled-runtime) n=0 ;; disabled|masked|masked-runtime) n=1 ;; "
    "*) exit 1 ;; esac; printf 'DisableDeleteNotify = %s\\n' \"$n\"";

}  // namespace

std::vector<std::string> HostTrimCommandLine(platform::TrimCommand command) {
    using platform::TrimCommand;
    if (command == TrimCommand::Query) {
        return {"/bin/sh", "-c", kStateScript, "sh"};
    }
    // The verb is an argument of the script, never pasted into it.
    // What systemctl says while switching goes to standard error: only the state line below
    // may carry the first "=" of the output.
    return {"/bin/sh", "-c",
            std::string("systemctl \"$1\" --now fstrim.timer >&2; ") + kStateScript, "sh",
            command == TrimCommand::TurnOn ? "enable" : "disable"};
}

uint16_t ArchitectureOfMachine(const std::string& machine) {
    if (machine == "x86_64") {
        return 9;  // AMD64
    }
    if (machine == "aarch64") {
        return 12;  // ARM64
    }
    if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
        return 0;  // INTEL
    }
    return 0xFFFF;  // unknown
}

}  // namespace vellumin::host

namespace vellumin::platform {

uint16_t System::ProcessorArchitecture() {
    utsname host{};
    return uname(&host) == 0 ? host::ArchitectureOfMachine(host.machine) : 0xFFFF;
}

int System::ServerR2Metric() {
    return 0;
}

std::string System::WmiOsVersion() {
    return "-1";
}

bool System::HasTrimService() {
    std::error_code ec;
    if (!std::filesystem::is_directory("/run/systemd/system", ec)) {
        return false;  // systemd is not the running init: systemctl would change nothing
    }
    for (const char* folder : {"/etc/systemd/system", "/run/systemd/system",
                               "/usr/lib/systemd/system", "/lib/systemd/system"}) {
        if (std::filesystem::exists(std::filesystem::path(folder) / "fstrim.timer", ec)) {
            return true;
        }
    }
    return false;
}

bool System::RunTrimCommand(TrimCommand command, int outputFd) {
    return Runner().Run(host::HostTrimCommandLine(command), outputFd);
}

CommandRunner& System::Runner() {
    return SpawnRunner();
}

}  // namespace vellumin::platform
