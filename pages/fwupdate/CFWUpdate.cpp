#include "pages/fwupdate/CFWUpdate.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CFWUpdate::IDC_STATUS, ControlKind::Static, 9, 9, 297, 26, ""},
    {CFWUpdate::IDC_PROGRESS, ControlKind::Progress, 7, 81, 228, 10, ""},
    {CFWUpdate::IDC_FOLDER, ControlKind::Edit, 7, 43, 180, 12, "", kReadOnly | kBorder | kAutoHScroll | kTabStop},
    {CFWUpdate::IDC_BROWSE, ControlKind::PushButton, 199, 42, 50, 14, "Browse", kTabStop},
    {CFWUpdate::IDC_DOWNLOAD, ControlKind::ImageButton, 7, 61, 50, 14, "Download", kOwnerDraw | kTabStop},
    {CFWUpdate::IDC_AHCI_NOTE, ControlKind::Static, 7, 102, 294, 32,
     "If you want to update firmware, please turn on AHCI mode and make sure that AHCI is "
     "supported on the motherboard."},
};
constexpr DialogTemplate kTemplate{CFWUpdate::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CFWUpdate::CFWUpdate(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

bool CFWUpdate::OnInitDialog() {
    SetItemTextStyle(IDC_STATUS, Qt::white, PointFont(120));
    SetItemTextStyle(IDC_AHCI_NOTE, Qt::red, PointFont(120));
    // Folder "C:\", the Download button's bitmaps and the progress-bar colours: the page's own.
    return true;
}

void CFWUpdate::StartUpdateQuery(const vellumin::ata::IdentifyBlock& identify) {
    m_pIdentify = &identify;
    // The update query worker starts here.
}
