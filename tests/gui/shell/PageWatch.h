#pragma once

// Feature pages that record what the main window does to them, made by the main window's
// page factory in place of the plain pages.

#include <string>
#include <vector>

#include "app/CVelluminDlg.h"
#include "pages/driveinfo/CDriveInfo.h"
#include "pages/erase/CSecureErase.h"
#include "pages/fwupdate/CFWUpdate.h"
#include "pages/scan/CDiagnosticS.h"
#include "pages/smart/CSmartInfo.h"
#include "pages/trim/CTrimEnable.h"

namespace vellumin::shelltest {

// "<page>:<event>" in the order they happened.
struct ProtocolLog {
    std::vector<std::string> events;
    void Add(int page, const std::string& what) { events.push_back(std::to_string(page) + ":" + what); }
    std::vector<std::string> Of(int page) const {
        std::vector<std::string> mine;
        const std::string prefix = std::to_string(page) + ":";
        for (const auto& e : events) {
            if (e.rfind(prefix, 0) == 0) {
                mine.push_back(e.substr(prefix.size()));
            }
        }
        return mine;
    }
};

// Busy flags the test sets on the scan and erase pages.
struct Workload {
    bool scanBusy = false;
    bool eraseBusy = false;
    int scanStops = 0;
};

template <class Base>
class Watched : public Base {
public:
    Watched(vellumin::platform::Platform& platform, ProtocolLog& log, Workload& work, int page)
        : Base(platform), m_log(log), m_work(work), m_page(page) {}

protected:
    void OnShowWindow(bool show) override {
        m_log.Add(m_page, show ? "show" : "hide");
        Base::OnShowWindow(show);
    }
    intptr_t OnMessage(unsigned message, intptr_t w, intptr_t l) override {
        if (message == 8001) {
            m_log.Add(m_page, "fill-message " + std::to_string(this->PhysicalDrive()));
        }
        return Base::OnMessage(message, w, l);
    }

    ProtocolLog& m_log;
    Workload& m_work;
    int m_page;
};

class WatchedDriveInfo : public Watched<pages::CDriveInfo> {
public:
    using Watched::Watched;
    void Fill(int32_t drive) override {
        m_log.Add(m_page, "fill " + std::to_string(drive));
        pages::CDriveInfo::Fill(drive);
    }
};

class WatchedSmart : public Watched<pages::CSmartInfo> {
public:
    using Watched::Watched;
    void Fill(int32_t drive) override {
        m_log.Add(m_page, "fill " + std::to_string(drive) + (IsItemShown(IDC_MESSAGE) ? " message" : ""));
        pages::CSmartInfo::Fill(drive);
    }
};

class WatchedScan : public Watched<scan::CDiagnosticS> {
public:
    using Watched::Watched;
    bool IsBusy() const override { return m_work.scanBusy; }
    void StopAndWait() override {
        ++m_work.scanStops;
        m_work.scanBusy = false;
    }
};

class WatchedErase : public Watched<erase::CSecureErase> {
public:
    using Watched::Watched;
    bool IsBusy() const override { return m_work.eraseBusy; }
};

class WatchedUpdate : public Watched<fwupdate::CFWUpdate> {
public:
    using Watched::Watched;
    void StartUpdateQuery(const vellumin::ata::IdentifyBlock& identify) override {
        m_log.Add(m_page, "query");
        m_identify = &identify;
        fwupdate::CFWUpdate::StartUpdateQuery(identify);
    }
    const vellumin::ata::IdentifyBlock* m_identify = nullptr;
};

using WatchedTrim = Watched<trim::CTrimEnable>;

inline app::CVelluminDlg::PageFactory WatchingFactory(ProtocolLog& log, Workload& work) {
    return [&log, &work](int page, vellumin::platform::Platform& platform)
               -> std::unique_ptr<vellumin::ui::FeaturePage> {
        switch (page) {
        case 1: return std::make_unique<WatchedDriveInfo>(platform, log, work, page);
        case 2: return std::make_unique<WatchedSmart>(platform, log, work, page);
        case 3: return std::make_unique<WatchedScan>(platform, log, work, page);
        case 4: return std::make_unique<WatchedErase>(platform, log, work, page);
        case 5: return std::make_unique<WatchedUpdate>(platform, log, work, page);
        default: return std::make_unique<WatchedTrim>(platform, log, work, page);
        }
    };
}

}  // namespace vellumin::shelltest
