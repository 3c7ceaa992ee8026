#include "pages/trim/CTrimEnable.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CTrimEnable::IDC_OS_LINE, ControlKind::Static, 7, 8, 273, 28, ""},
    {CTrimEnable::IDC_STATUS, ControlKind::Static, 7, 41, 270, 21, ""},
    {CTrimEnable::IDC_SWITCH, ControlKind::ImageButton, 7, 68, 90, 14, "", kOwnerDraw | kTabStop | kHidden},
};
constexpr DialogTemplate kTemplate{CTrimEnable::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CTrimEnable::CTrimEnable(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

void CTrimEnable::DoDataExchange() { Bind(IDC_SWITCH, m_btnSwitch); }

bool CTrimEnable::OnInitDialog() {
    SetItemTextStyle(IDC_OS_LINE, Qt::white, PointFont(120));
    SetItemTextStyle(IDC_STATUS, Qt::white, PointFont(120));
    // Operating-system line, TRIM query and the switch's bitmaps: the TRIM page's own.
    return true;
}
