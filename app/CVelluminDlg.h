#pragma once

#include <array>
#include <functional>
#include <memory>

#include <QPixmap>

#include "transport/Discovery.h"
#include "controls/CGdipButton.h"
#include "controls/CSelectListCtrl.h"
#include "controls/CTabCtrlM.h"
#include "ui/Dialog.h"
#include "ui/FeaturePage.h"

namespace vellumin::app {

// The main window (dialog 102): the drive list, the six feature buttons and the page area
// with the six feature pages. Run modally by the home screen for one visit, which ends with 1
// (home: back to the home screen) or 2 (close: the program ends).
class CVelluminDlg : public vellumin::ui::Dialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 102;
    static constexpr int IDC_DRIVE_LIST = 1000;
    static constexpr int IDC_PAGE_BUTTON_1 = 1001;  // 1001-1006: pages 1-6
    static constexpr int IDC_PAGE_AREA = 1007;
    static constexpr int IDC_DIVIDER = 1021;
    static constexpr int IDC_HOME = 1022;
    static constexpr int IDC_ABOUT = 1024;
    static constexpr int IDC_REFRESH = 1026;
    static constexpr int IDC_VERSION = 1059;
    static constexpr int kSideLabels[6] = {1033, 1039, 1040, 1041, 1042, 1043};
    static constexpr int kAboutCommand = 0x0010;
    static constexpr int kPageCount = 6;

    // Makes page n (1-6); tests hand in pages that watch the protocol.
    using PageFactory =
        std::function<std::unique_ptr<vellumin::ui::FeaturePage>(int page, vellumin::platform::Platform&)>;

    explicit CVelluminDlg(vellumin::platform::Platform& platform, QWidget* parent = nullptr);
    ~CVelluminDlg() override;

    // Set by the home screen before the window runs.
    void SetCurrentPage(int page) { m_nCurrentPage = page; }
    int CurrentPage() const { return m_nCurrentPage; }
    void SetSelectedRow(int row) { m_nSelectedRow = row; }
    int SelectedRow() const { return m_nSelectedRow; }
    void SetPageFactory(PageFactory factory) { m_pageFactory = std::move(factory); }

    // The page command of feature button 1000 + n.
    void ShowFeaturePage(int n);
    bool PassesOsGate();

    const vellumin::ata::DriveTable& DriveTable() const { return m_drives; }
    controls::CSelectListCtrl& DriveList() { return m_list; }
    // Page n (1-6) while the visit runs, else nullptr.
    vellumin::ui::FeaturePage* Page(int n) const;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void DiscoverDrives();
    void CreatePages();
    void SetTabOrder();
    void DestroyPages();
    // False when a page's work may not be interrupted now (the user is told why); otherwise
    // stops what runs and answers true.
    bool StopPagesForLeaving();
    bool HasUnstoppableWork() const;
    void OnPageWorkEnded();
    void EndVisit(int result);
    void OnDriveSelected(int row);
    void Refresh();
    void Home();
    void About();
    void MarkSelectedRow();

    vellumin::platform::Platform& m_platform;
    controls::CSelectListCtrl m_list;
    std::array<controls::CGdipButton, kPageCount> m_btnPage;
    controls::CTabCtrlM m_tab;
    controls::CGdipButton m_btnDivider;
    controls::CGdipButton m_btnHome;
    controls::CGdipButton m_btnAbout;
    controls::CGdipButton m_btnRefresh;
    std::array<controls::CGdipButton, kPageCount> m_sideLabel;
    QPixmap m_background;

    vellumin::ata::DriveTable m_drives;
    bool m_noticeShown = false;  // the no-device notice, once per discovery
    bool m_bRefusingToLeave = false;  // the "erase in progress" box is open
    std::array<std::unique_ptr<vellumin::ui::FeaturePage>, kPageCount> m_pages;
    PageFactory m_pageFactory;
    int m_nCurrentPage = 1;
    int m_nSelectedRow = 0;
};

}  // namespace vellumin::app
