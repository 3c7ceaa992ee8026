#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vellumin::app {

// The application object: start-up with the rights to open raw disks, then the home screen as
// the program's one modal loop. Construct after the QApplication.
class CVelluminApp {
public:
    using PlatformFactory = std::function<std::unique_ptr<vellumin::platform::Platform>()>;

    // `realPlatform` makes the machine's own platform (the Linux backend by default).
    explicit CVelluminApp(PlatformFactory realPlatform = {});
    ~CVelluminApp();

    // Runs the whole program for `arguments` (argv, program name first):
    //   vellumin [--simulate[=LAB.json]] [runas]
    // Always false: no message loop follows. ExitCode() tells how it went.
    bool RunStartUp(const std::vector<std::string>& arguments);
    int ExitCode() const { return m_nExitCode; }
    static const char* Usage();

    // The relaunch unless this copy is already the relaunched one (first argument "runas").
    bool RelaunchElevated(vellumin::platform::System& system) const;

private:
    PlatformFactory m_realPlatform;
    std::unique_ptr<vellumin::platform::Platform> m_platform;
    std::vector<std::string> m_arguments;  // after the program name, options removed
    int m_nExitCode = 0;
};

}  // namespace vellumin::app
