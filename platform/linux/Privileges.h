#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumin::platform::linux_backend {

// Raw ATA commands need CAP_SYS_RAWIO (SG_IO of arbitrary CDBs) and CAP_SYS_ADMIN; `status` is
// the text of /proc/self/status, whose CapEff line holds the effective set in hexadecimal.
bool HasRawDiskCapabilities(std::string_view status);

// Which polkit action pkexec finds for the program.
enum class PolkitAction {
    // None of our own (a build tree): pkexec clears the environment, so the display variables
    // the GUI needs travel through env, and the prompt names env.
    Generic,
    // The installed program with its installed policy: pkexec keeps the display itself
    // (allow_gui) and asks with the program's own message.
    Installed,
};

// `executable` must be the resolved path of this program: /proc/self/exe would name env itself
// once env runs. `lookup` returns nullptr for an unset variable.
std::vector<std::string> BuildRelaunchCommand(const std::string& executable,
                                              const std::vector<std::string>& arguments,
                                              const std::function<const char*(const char*)>& lookup,
                                              PolkitAction action = PolkitAction::Generic);

// Installed when this program is the one the installed policy names and that policy is there.
PolkitAction FindPolkitAction(const std::string& executable, const std::string& installedProgram,
                              const std::string& policyFile);

// pkexec's own exit statuses: the prompt was dismissed, or authorisation was refused.
inline constexpr int kPkexecDismissed = 126;
inline constexpr int kPkexecNotAuthorised = 127;

}  // namespace vellumin::platform::linux_backend
