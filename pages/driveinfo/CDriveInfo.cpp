#include "pages/driveinfo/CDriveInfo.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CDriveInfo::IDC_REPORT, ControlKind::ListView, 4, 3, 301, 150, "", kReport | kTabStop},
};
constexpr DialogTemplate kTemplate{CDriveInfo::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CDriveInfo::CDriveInfo(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

bool CDriveInfo::OnInitDialog() {
    // Report font and colours: the drive-information page's own.
    return true;
}

void CDriveInfo::Fill(int32_t drive) {
    m_nPhysicalDrive = drive;
    // The thirteen report rows (DriveInfoRows) go here.
}
