#include "pages/erase/CSecureErase.h"

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CSecureErase::IDC_QUICK_ERASE, ControlKind::ImageButton, 11, 7, 76, 14, "Quick Erase", kBitmap | kTabStop},
    {CSecureErase::IDC_FULL_ERASE, ControlKind::ImageButton, 92, 7, 76, 14, "Full Erase", kBitmap | kTabStop},
    {CSecureErase::IDC_NOT_SUPPORTED, ControlKind::Static, 9, 7, 261, 14,
     "The selected drive does not support this function."},
    {CSecureErase::IDC_WARNING, ControlKind::Static, 9, 30, 300, 23,
     "Executing secure erase will permanently remove all data on the SSD. Upon completion, you "
     "will need to restart your computer.",
     kHidden},
    {CSecureErase::IDC_GATE_MESSAGE, ControlKind::Static, 9, 56, 304, 20, ""},
    {CSecureErase::IDC_ELAPSED, ControlKind::Static, 9, 94, 160, 17, ""},
};
constexpr DialogTemplate kTemplate{CSecureErase::kDialogId, 315, 156, "", kChild, kControls};

}  // namespace

CSecureErase::CSecureErase(vellumin::platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

void CSecureErase::DoDataExchange() {
    Bind(IDC_QUICK_ERASE, m_btnQuick);
    Bind(IDC_FULL_ERASE, m_btnFull);
}

bool CSecureErase::OnInitDialog() {
    for (int id : {IDC_WARNING, IDC_GATE_MESSAGE, IDC_ELAPSED}) {
        SetItemTextStyle(id, Qt::red, PointFont(120));
    }
    SetItemTextStyle(IDC_NOT_SUPPORTED, Qt::white, PointFont(120));
    SetItemText(IDC_ELAPSED, "");
    // Button bitmaps and the OS-unsupported flag: the erase page's own.
    return true;
}

intptr_t CSecureErase::OnMessage(unsigned message, intptr_t /*wParam*/, intptr_t /*lParam*/) {
    if (message == kFillMessage) {
        Fill();
    }
    return 0;
}

void CSecureErase::Fill() {
    // Eligibility gates for the drive m_nPhysicalDrive with m_pIdentify.
}
