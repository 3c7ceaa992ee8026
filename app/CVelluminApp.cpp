#include "app/CVelluminApp.h"

#include <fstream>
#include <iostream>
#include <optional>

#include <QApplication>

#include "app/CVelluminPre.h"
#include "app/Screenshots.h"
#include "platform/HostPlatform.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"

namespace vellumin::app {

namespace {

constexpr const char* kUsage = "usage: vellumin [--simulate[=LAB.json]] [--save-lab FILE] [runas]\n"
                                "  --simulate  run on the simulated lab (the built-in one, or LAB.json)\n"
                                "  --save-lab  when the program ends, write the lab as it stands to FILE\n";
constexpr int kExitUsage = 2;
constexpr int kExitNoRights = 3;
constexpr int kExitSaveLab = 4;

// The lab as the run left it (security states, erased media, a requested restart), so the
// next run can start from there. False, with the reason on stderr, when it cannot be written.
bool SaveLabFile(vellumin::platform::sim::SimPlatform& lab, const std::string& path) {
    try {
        const std::string text = lab.SaveLab();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::cerr << "vellumin: cannot write the lab to " << path << '\n';
            return false;
        }
        return true;
    } catch (const vellumin::platform::sim::LabError& e) {
        std::cerr << "vellumin: cannot save the lab: " << e.what() << '\n';
        return false;
    }
}

}  // namespace

const char* CVelluminApp::Usage() { return kUsage; }

CVelluminApp::CVelluminApp(PlatformFactory realPlatform) : m_realPlatform(std::move(realPlatform)) {
    if (!m_realPlatform) {
        m_realPlatform = [] { return vellumin::platform::CreateHostPlatform(); };
    }
}

CVelluminApp::~CVelluminApp() = default;

bool CVelluminApp::RelaunchElevated(vellumin::platform::System& system) const {
    if (!m_arguments.empty() && m_arguments.front() == "runas") {
        return false;
    }
    // The new copy gets "runas" alone; this copy's own arguments are not passed on.
    return system.RelaunchElevated({"runas"});
}

bool CVelluminApp::RunStartUp(const std::vector<std::string>& arguments) {
    std::optional<std::string> lab;
    std::optional<std::string> saveLab;
    m_arguments.clear();
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--simulate") {
            // A lab file may also follow as the next argument.
            const bool file = i + 1 < arguments.size() && arguments[i + 1].size() > 5 &&
                              arguments[i + 1].ends_with(".json");
            lab = file ? arguments[++i] : std::string();
        } else if (a.rfind("--simulate=", 0) == 0) {
            lab = a.substr(11);
        } else if (a == "--save-lab" && i + 1 < arguments.size()) {
            saveLab = arguments[++i];
        } else if (a.rfind("--save-lab=", 0) == 0 && a.size() > 11) {
            saveLab = a.substr(11);
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            m_nExitCode = 0;
            return false;
        } else if (a.rfind("--", 0) == 0) {
            std::cerr << "vellumin: unknown option " << a << '\n' << kUsage;
            m_nExitCode = kExitUsage;
            return false;
        } else {
            m_arguments.push_back(a);
        }
    }

    if (saveLab && !lab) {
        std::cerr << "vellumin: --save-lab needs --simulate\n" << kUsage;
        m_nExitCode = kExitUsage;
        return false;
    }

    // Quitting is the home screen's decision alone.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::sim::SimPlatform* simLab = nullptr;
    if (lab) {
        try {
            auto sim = platform::sim::CreateSimLab(*lab);
            simLab = sim.get();
            m_platform = std::move(sim);
        } catch (const platform::sim::LabError& e) {
            const std::string text = std::string("The lab file cannot be used: ") + e.what();
            std::cerr << "vellumin: " << text << '\n';
            ui::MessageBox(nullptr, text, "Vellumin", ui::mb::kOk | ui::mb::kIconStop);
            m_nExitCode = kExitUsage;
            return false;
        }
    } else {
        m_platform = m_realPlatform();
        if (!m_platform->Sys().IsAdministrator()) {
            if (!RelaunchElevated(m_platform->Sys())) {
                ui::MessageBox(nullptr, "Vellumin requires Administrator Privileges.", "Vellumin",
                               ui::mb::kOk | ui::mb::kIconExclamation);
                m_nExitCode = kExitNoRights;
            }
            return false;
        }
    }

    {
        CVelluminPre home(*m_platform);
        vellumin::app::ArmScreenshotsFromEnvironment();
        home.DoModal();
    }
    m_nExitCode = saveLab && !SaveLabFile(*simLab, *saveLab) ? kExitSaveLab : 0;
    return false;
}

}  // namespace vellumin::app
