#include "app/CVelluminPre.h"

#include <filesystem>

#include <QCoreApplication>
#include <QPainter>

#include "app/CAboutDlg.h"
#include "app/CVelluminDlg.h"
#include "app/Shell.h"
#include "res/ResourcePath.h"
#include "ui/FeaturePage.h"

namespace vellumin::app {

namespace {

using namespace vellumin::ui;

constexpr uint32_t kImage = OwnerDraw | TabStop;
constexpr uint32_t kDescription = OwnerDraw | Hidden;

constexpr ControlTemplate kControls[] = {
    {1024, ControlKind::ImageButton, 361, 65, 166, 24, "Drive Info", kImage},
    {1035, ControlKind::ImageButton, 361, 89, 166, 24, "S.M.A.R.T. Status", kImage},
    {1026, ControlKind::ImageButton, 361, 113, 166, 24, "Diagnostic Scan", kImage},
    {1036, ControlKind::ImageButton, 361, 137, 166, 24, "Secure Erase", kImage},
    {1037, ControlKind::ImageButton, 361, 161, 166, 24, "Firmware Update", kImage},
    {1038, ControlKind::ImageButton, 361, 185, 166, 24, "Trim Detect and Enable", kImage},
    {CVelluminPre::IDC_CLONE, ControlKind::ImageButton, 361, 209, 166, 24, "System Clone", kImage},
    {1044, ControlKind::ImageButton, 361, 233, 166, 24, "Drive Info", kDescription},
    {1045, ControlKind::ImageButton, 361, 233, 166, 24, "S.M.A.R.T. Status", kDescription},
    {1046, ControlKind::ImageButton, 361, 233, 166, 24, "Diagnostic Scan", kDescription},
    {1043, ControlKind::ImageButton, 361, 234, 166, 24, "Secure Erase", kDescription},
    {1047, ControlKind::ImageButton, 361, 233, 166, 24, "Firmware Update", kDescription},
    {1048, ControlKind::ImageButton, 361, 234, 166, 24, "Trim Detect and Enable", kDescription},
    {1049, ControlKind::ImageButton, 361, 233, 166, 24, "System Clone", kDescription},
    {CVelluminPre::IDC_HOME_MARK, ControlKind::ImageButton, 13, 246, 25, 21, "Home", OwnerDraw | Disabled},
    {CVelluminPre::IDC_ABOUT, ControlKind::ImageButton, 38, 246, 26, 21, "About", kImage},
};
constexpr DialogTemplate kTemplate{CVelluminPre::kDialogId, 532, 277, "Vellumin", SysMenu | MinimizeBox,
                                   kControls};

constexpr int kBarIds[7] = {1024, 1035, 1026, 1036, 1037, 1038, CVelluminPre::IDC_CLONE};
constexpr int kBarImages[7][2] = {{176, 177}, {178, 179}, {180, 181}, {182, 183},
                                  {184, 185}, {186, 188}, {217, 218}};
constexpr int kDescriptionImages[7] = {193, 194, 195, 196, 197, 198, 219};

}  // namespace

CVelluminPre::CVelluminPre(platform::Platform& platform, QWidget* parent)
    : Dialog(kTemplate, parent), m_platform(platform) {}

void CVelluminPre::DoDataExchange() {
    for (int i = 0; i < 7; ++i) {
        Bind(kBarIds[i], m_btnBars[i]);
        Bind(app::kHoverDescriptions[i], m_btnDescriptions[i]);
    }
    Bind(IDC_HOME_MARK, m_btnHomeMark);
    Bind(IDC_ABOUT, m_btnAbout);
}

bool CVelluminPre::OnInitDialog() {
    setWindowIcon(res::LoadIcon(128));
    m_nSavedRow = 0;
    m_background = res::LoadBitmap(175);
    for (int i = 0; i < 7; ++i) {
        m_btnBars[i].SetImages(kBarImages[i][0], kBarImages[i][1]);
        m_btnDescriptions[i].SetNormalImage(kDescriptionImages[i]);
    }
    m_btnHomeMark.SetImages(161, 161);
    // Pictures, not buttons: the home mark and the descriptions shown under the mouse.
    m_btnHomeMark.SetAccessibleRole(QAccessible::StaticText);
    for (auto& description : m_btnDescriptions) {
        description.SetAccessibleRole(QAccessible::StaticText);
    }
    m_btnAbout.SetImages(165, 166);
    EnableItem(IDC_HOME_MARK, false);
    if (m_strProgramFolder.empty()) {
        m_strProgramFolder = QCoreApplication::applicationDirPath().toStdString();
    }
    return true;
}

void CVelluminPre::OnCommand(int id) {
    for (int n = 1; n <= 6; ++n) {
        if (id == kPageButtons[n - 1]) {
            OpenMainWindow(n);
            return;
        }
    }
    if (id == IDC_CLONE) {
        LaunchCloneTool();
    } else if (id == IDC_ABOUT && app::PassesOsGate(m_platform.Sys().OsVersion())) {
        CAboutPreDlg about(this);
        about.DoModal();
    }
}

void CVelluminPre::OpenMainWindow(int n) {
    if (!app::PassesOsGate(m_platform.Sys().OsVersion())) {
        return;
    }
    CVelluminDlg main(m_platform);
    m_nRequestedPage = n;
    main.SetCurrentPage(n);
    main.SetSelectedRow(m_nSavedRow);
    hide();
    const int result = main.DoModal();
    if (result == kIdCancel) {
        EndDialog(kIdCancel);
        return;
    }
    show();
    m_nSavedRow = main.SelectedRow();
}

void CVelluminPre::LaunchCloneTool() {
    const app::CloneTool tool = app::CloneToolFor(m_strProgramFolder, app::Is64BitSystem());
    std::error_code ec;
    if (!std::filesystem::is_regular_file(tool.file, ec)) {
        MessageBox(tool.missingMessage, "Error!", mb::kOk | mb::kIconStop);
        return;
    }
    // Not waited for, and a failure after the file was found is not reported.
    m_platform.Sys().OpenWithShell(tool.file, tool.folder);
}

intptr_t CVelluminPre::OnMessage(unsigned message, intptr_t wParam, intptr_t lParam) {
    if (message == kMsgCursorPos) {
        if (auto shown = app::HoverDescriptionAt(static_cast<int>(wParam), static_cast<int>(lParam))) {
            for (int id : app::kHoverDescriptions) {
                ShowItem(id, id == *shown);
            }
        }
    } else if (message == kMsgMouseLeft) {
        for (int id : app::kHoverDescriptions) {
            ShowItem(id, false);
        }
    }
    return 0;
}

// The bars report the cursor to their parent as window messages 9000 and 9001.
bool CVelluminPre::event(QEvent* e) {
    if (const auto* report = controls::CGdipButtonEvent::From(e)) {
        OnMessage(static_cast<unsigned>(report->Message()), report->X(), report->Y());
        return true;
    }
    return Dialog::event(e);
}

void CVelluminPre::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background.isNull()) {
        painter.fillRect(rect(), kPageBackground);
    } else {
        painter.drawPixmap(rect(), m_background);
    }
}

}  // namespace vellumin::app
