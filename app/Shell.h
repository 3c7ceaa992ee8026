#pragma once

// Pure rules of the application shell: the operating-system gate, the home screen's hover
// ranges and the clone tool's place. No Qt in here.

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace vellumin::app {

// The feature and About commands run only on an NT-family Windows above version 4; the
// request failing (nullopt) fails the gate. Other systems pass: the gate is about old Windows.
bool PassesOsGate(const std::optional<platform::OsVersionRecord>& version);

// The hover description (its control id) for a cursor position in the home screen's client
// pixels, or nullopt outside every description rectangle (the shown one then stays).
std::optional<int> HoverDescriptionAt(int x, int y);

// The seven hover descriptions of the home screen, in button order.
inline constexpr int kHoverDescriptions[] = {1044, 1045, 1046, 1043, 1047, 1048, 1049};

// Where the clone tool is looked for: "Twinara\Twinara64.exe" (64-bit) or "Twinara32.exe"
// under the program's folder, with '/' for the platform.
struct CloneTool {
    std::string file;           // full path of the executable
    std::string folder;         // its folder, the working folder it is started in
    std::string missingMessage; // "Twinara64.exe does not exist."
};
CloneTool CloneToolFor(const std::string& programFolder, bool is64Bit);

// True for a 64-bit build, or a 32-bit build on a 64-bit system.
bool Is64BitSystem();

}  // namespace vellumin::app
