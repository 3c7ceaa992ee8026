#include "pages/smart/CSmartInfo.h"

#include "pages/report/DriveBlocks.h"
#include "pages/report/ReportListRows.h"
#include "pages/smart/SmartDispatch.h"

namespace vellumin::pages {

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CSmartInfo::IDC_REPORT, ControlKind::ListView, 4, 6, 301, 109, "S.M.A.R.T. status", Report | TabStop},
    {CSmartInfo::IDC_MESSAGE, ControlKind::Static, 3, 135, 300, 17, ""},
};
constexpr DialogTemplate kTemplate{CSmartInfo::kDialogId, 315, 156, "", Child, kControls};

}  // namespace

CSmartInfo::CSmartInfo(vellumin::platform::Platform& platform) : ReportPage(kTemplate, platform, 225, 224) {}

void CSmartInfo::HandOver(const ui::PageDrive& drive) {
    ShowItem(IDC_MESSAGE, false);
    ReportPage::HandOver(drive);
}

bool CSmartInfo::OnInitDialog() {
    ReportPage::OnInitDialog();
    SetItemTextStyle(IDC_MESSAGE, Qt::white, PointFont(120));
    return true;
}

void CSmartInfo::Fill(int32_t drive) {
    m_nPhysicalDrive = drive;
    m_list.DeleteAllItems();

    const pages::DriveBlocks blocks =
        pages::ReadDriveBlocks(Platform().Drives(), drive, pages::ReadOrder::SmartFirst);
    const pages::SmartReport report = pages::DecodeSmart(blocks.smart, blocks.identify);
    pages::InsertReportRows(m_list, 0, report.rows);
    // Shown only here; the hand-over hides the line before every fill.
    if (report.showMessage) {
        SetItemText(IDC_MESSAGE, report.message);
        ShowItem(IDC_MESSAGE, true);
    }
}

}  // namespace vellumin::pages
