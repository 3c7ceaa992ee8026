#pragma once

#include <array>
#include <string>

#include <QPixmap>

#include "controls/CGdipButton.h"
#include "platform/Platform.h"
#include "ui/Dialog.h"

namespace vellumin::app {

class CVelluminDlg;

// The home screen (dialog 174): the program's first and last window. Its seven bars open the
// main window on a page or start the clone tool; it keeps the drive row chosen last.
class CVelluminPre : public vellumin::ui::Dialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 174;
    // The six page bars, in page order, and the clone-tool bar.
    static constexpr int kPageButtons[6] = {1024, 1035, 1026, 1036, 1037, 1038};
    static constexpr int IDC_CLONE = 1025;
    static constexpr int IDC_HOME_MARK = 1034;
    static constexpr int IDC_ABOUT = 1006;
    static constexpr unsigned kMsgCursorPos = 9000;
    static constexpr unsigned kMsgMouseLeft = 9001;

    explicit CVelluminPre(vellumin::platform::Platform& platform, QWidget* parent = nullptr);

    // The command of page bar n: one visit of the main window.
    void OpenMainWindow(int n);
    void LaunchCloneTool();

    int SavedRow() const { return m_nSavedRow; }
    int RequestedPage() const { return m_nRequestedPage; }
    // Where the clone tool's folder is looked for (the program's folder by default).
    void SetProgramFolder(std::string folder) { m_strProgramFolder = std::move(folder); }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    intptr_t OnMessage(unsigned message, intptr_t wParam, intptr_t lParam) override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    vellumin::platform::Platform& m_platform;
    std::array<controls::CGdipButton, 7> m_btnBars;          // the six page bars, then System Clone
    std::array<controls::CGdipButton, 7> m_btnDescriptions;  // in the order of kHoverDescriptions
    controls::CGdipButton m_btnHomeMark;
    controls::CGdipButton m_btnAbout;
    QPixmap m_background;
    int m_nRequestedPage = 1;
    int m_nSavedRow = 0;
    std::string m_strProgramFolder;
};

}  // namespace vellumin::app
