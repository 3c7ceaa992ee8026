#pragma once

#include "ui/Dialog.h"

namespace vellumin::app {

// The About dialog: the program's name, version and a second line; closes on OK or the close
// box. CAboutDlg is the main window's copy (dialog 100), CAboutPreDlg the home screen's (199).
class CAboutDlg : public vellumin::ui::Dialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 100;
    static constexpr int IDC_ICON = 1101;
    static constexpr int IDC_NAME = 1102;
    static constexpr int IDC_LINE = 1103;
    static constexpr int IDOK = 1;

    explicit CAboutDlg(QWidget* parent = nullptr);

protected:
    CAboutDlg(const vellumin::ui::DialogTemplate& dialogTemplate, QWidget* parent);
    bool OnInitDialog() override;
    void OnCommand(int id) override;
};

class CAboutPreDlg : public CAboutDlg {
    Q_OBJECT
public:
    static constexpr int kDialogId = 199;
    explicit CAboutPreDlg(QWidget* parent = nullptr);
};

}  // namespace vellumin::app
