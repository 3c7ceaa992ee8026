#include "pages/driveinfo/CDriveInfo.h"

#include "transport/Transport.h"
#include "pages/driveinfo/DriveInfoReport.h"
#include "pages/report/ReportListRows.h"

namespace vellumin::pages {

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CDriveInfo::IDC_REPORT, ControlKind::ListView, 4, 3, 301, 150, "Drive information", Report | TabStop},
};
constexpr DialogTemplate kTemplate{CDriveInfo::kDialogId, 315, 156, "", Child, kControls};

}  // namespace

CDriveInfo::CDriveInfo(vellumin::platform::Platform& platform) : ReportPage(kTemplate, platform, 200, 249) {}

bool CDriveInfo::OnInitDialog() {
    ReportPage::OnInitDialog();
    m_list.SetHighlight(false);
    return true;
}

void CDriveInfo::Fill(int32_t drive) {
    m_nPhysicalDrive = drive;
    m_list.DeleteAllItems();

    // Fresh blocks each fill: a failed read leaves zeros, never the previous drive's texts.
    ata::IdentifyBlock identify{};
    ata::IdentifyDevice(Platform().Drives(), drive, identify);
    pages::InsertReportRows(m_list, 0, pages::DriveInfoIdentifyRows(drive, identify));

    ata::SmartBlock smart{};
    ata::SmartReadData(Platform().Drives(), drive, smart);
    pages::InsertReportRows(m_list, pages::kDriveInfoIdentifyRows,
                            pages::DriveInfoTailRows(identify, smart));
    pages::InsertReportRows(m_list, pages::kDriveInfoRowCount,
                            {pages::ConnectionRow(Platform().Drives().Connection(drive))});
}

}  // namespace vellumin::pages
