#pragma once

#include <cstdint>

#include "controls/CSelectListCtrl.h"
#include "ui/FeaturePage.h"

namespace vellumin::pages {

// Page 2: the SMART report (dialog 143).
class CSmartInfo : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 143;
    static constexpr int IDC_REPORT = 1018;
    static constexpr int IDC_MESSAGE = 1054;

    explicit CSmartInfo(vellumin::platform::Platform& platform);

    // Rebuilds the SMART report for `drive`; the main window hides the message line first.
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
