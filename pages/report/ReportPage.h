#pragma once

#include <cstdint>

#include "controls/CSelectListCtrl.h"
#include "ui/FeaturePage.h"

namespace vellumin::pages {

// A page that is one report list of label and value rows, rebuilt for each drive it is shown
// for: the drive information and the SMART status.
class ReportPage : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int IDC_REPORT = 1018;

    // The widths of the label and value columns, in pixels.
    ReportPage(const vellumin::ui::DialogTemplate& dialogTemplate,
               vellumin::platform::Platform& platform, int labelWidth, int valueWidth);

    // Takes `drive` and rebuilds the report for it; called each time the page is shown and
    // when the selected drive changes while it is shown.
    virtual void Fill(int32_t drive) = 0;

    void HandOver(const vellumin::ui::PageDrive& drive) override;
    void HandOverNoDrive() override { m_list.DeleteAllItems(); }

    controls::CSelectListCtrl& ReportList() { return m_list; }

protected:
    void DoDataExchange() override { Bind(IDC_REPORT, m_list); }
    bool OnInitDialog() override;

    controls::CSelectListCtrl m_list;

private:
    int m_nLabelWidth;
    int m_nValueWidth;
};

}  // namespace vellumin::pages
