#include "pages/smart/CSmartInfo.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CSmartInfo::IDC_REPORT, ControlKind::ListView, 4, 6, 301, 109, "", kReport | kTabStop},
    {CSmartInfo::IDC_MESSAGE, ControlKind::Static, 3, 135, 300, 17, ""},
};
constexpr DialogTemplate kTemplate{CSmartInfo::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CSmartInfo::CSmartInfo(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

bool CSmartInfo::OnInitDialog() {
    SetItemTextStyle(IDC_MESSAGE, Qt::white, PointFont(120));
    return true;
}

void CSmartInfo::Fill(int32_t drive) {
    m_nPhysicalDrive = drive;
    // The controller dispatch and the decoder rows (SmartDispatch) go here.
}
