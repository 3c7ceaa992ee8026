#include "pages/trim/CTrimEnable.h"

#include "pages/trim/OsIdentity.h"
#include "res/ResourcePath.h"

namespace vellumin::trim {

namespace {

constexpr ui::ControlTemplate kControls[] = {
    {CTrimEnable::IDC_OS_LINE, ui::ControlKind::Static, 7, 8, 273, 28, ""},
    {CTrimEnable::IDC_STATUS, ui::ControlKind::Static, 7, 41, 270, 21, ""},
    {CTrimEnable::IDC_SWITCH, ui::ControlKind::ImageButton, 7, 68, 90, 14, "",
     ui::OwnerDraw | ui::TabStop | ui::Hidden},
};
constexpr ui::DialogTemplate kTemplate{CTrimEnable::kDialogId, 315, 156, "", ui::Child, kControls};

}  // namespace

CTrimEnable::CTrimEnable(platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

void CTrimEnable::DoDataExchange() {
    Bind(IDC_SWITCH, m_btnSwitch);
}

bool CTrimEnable::OnInitDialog() {
    SetItemTextStyle(IDC_OS_LINE, Qt::white, ui::PointFont(120));
    SetItemTextStyle(IDC_STATUS, Qt::white, ui::PointFont(120));
    m_bTrimOffered = false;
    SetItemText(IDC_STATUS, "");
    ShowItem(IDC_SWITCH, false);
    m_nTrimEnabled = 0;

    const trim::OsIdentity os = trim::IdentifyOperatingSystem(Platform().Sys());
    SetItemText(IDC_OS_LINE, os.displayLine);
    m_bTrimOffered = os.trimOffered;
    if (m_bTrimOffered) {
        ShowOutcome(trim::QueryTrim(Platform().Sys()));
    } else {
        SetItemText(IDC_STATUS, trim::kNotSupported);
    }
    return true;
}

void CTrimEnable::OnCommand(int id) {
    if (id != IDC_SWITCH || m_nTrimEnabled == trim::kTrimUnknown) {
        return;
    }
    ShowOutcome(trim::SetTrim(Platform().Sys(), m_nTrimEnabled == 0));
    // The whole page at once, so the status line and the switch never show different states.
    repaint();
}

void CTrimEnable::ShowOutcome(const trim::TrimOutcome& outcome) {
    for (const std::string& message : trim::TrimMessages(outcome)) {
        MessageBox(message, trim::kErrorCaption, ui::mb::kOk | ui::mb::kIconStop);
    }
    ShowState(outcome.result);
}

void CTrimEnable::ShowState(int result) {
    m_nTrimEnabled = result;
    SetItemText(IDC_STATUS, trim::TrimStatusLine(result));
    // A state that was not read offers no switch: which way it would go is not known.
    if (result == trim::kTrimUnknown) {
        ShowItem(IDC_SWITCH, false);
        return;
    }
    const bool enabled = result == trim::kTrimEnabled;
    m_btnSwitch.setText(QString::fromLatin1(trim::TrimSwitchText(result)));
    m_btnSwitch.LoadBitmaps(res::LoadBitmap(enabled ? 154 : 152),
                            res::LoadBitmap(enabled ? 155 : 153));
    m_btnSwitch.SizeToContent();
    ShowItem(IDC_SWITCH, true);
}

}  // namespace vellumin::trim
