#pragma once

#include <cstdint>

#include "controls/CSelectListCtrl.h"
#include "ui/FeaturePage.h"

namespace vellumin::pages {

// Page 1: the drive-information report (dialog 142).
class CDriveInfo : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 142;
    static constexpr int IDC_REPORT = 1018;

    explicit CDriveInfo(vellumin::platform::Platform& platform);

    // Rebuilds the report for `drive`; the main window calls it each time it shows the page and
    // when the selected drive changes while the page is shown.
    virtual void Fill(int32_t drive);

    // The report list; its columns are set up by the main window.
    controls::CSelectListCtrl& ReportList() { return m_list; }

protected:
    void DoDataExchange() override { Bind(IDC_REPORT, m_list); }
    bool OnInitDialog() override;

private:
    controls::CSelectListCtrl m_list;
};

}  // namespace vellumin::pages
