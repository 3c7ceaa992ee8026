#include "app/CAboutDlg.h"

#include <QLabel>

#include "res/ResourcePath.h"

namespace vellumin::app {

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CAboutDlg::IDC_ICON, ControlKind::Static, 14, 14, 21, 20, ""},
    {CAboutDlg::IDC_NAME, ControlKind::Static, 42, 14, 114, 8, "Vellumin, Version 1.11"},
    {CAboutDlg::IDC_LINE, ControlKind::Static, 42, 26, 120, 8, "SSD diagnostics and maintenance"},
    {CAboutDlg::IDOK, ControlKind::PushButton, 113, 41, 50, 14, "OK", TabStop},
};
constexpr DialogTemplate kAbout{CAboutDlg::kDialogId, 170, 62, "About Vellumin", SysMenu, kControls};
constexpr DialogTemplate kAboutPre{CAboutPreDlg::kDialogId, 170, 62, "About Vellumin", SysMenu, kControls};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CAboutDlg(kAbout, parent) {}

CAboutDlg::CAboutDlg(const DialogTemplate& dialogTemplate, QWidget* parent) : Dialog(dialogTemplate, parent) {}

bool CAboutDlg::OnInitDialog() {
    if (auto* icon = ItemAs<QLabel>(IDC_ICON)) {
        icon->setPixmap(res::LoadIcon(128).pixmap(icon->size()));
    }
    return true;
}

void CAboutDlg::OnCommand(int id) {
    if (id == IDOK) {
        OnOK();
    }
}

CAboutPreDlg::CAboutPreDlg(QWidget* parent) : CAboutDlg(kAboutPre, parent) {}

}  // namespace vellumin::app
