#include "app/CVelluminDlg.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>

#include "app/CAboutDlg.h"
#include "app/Shell.h"
#include "pages/driveinfo/CDriveInfo.h"
#include "pages/erase/CSecureErase.h"
#include "pages/fwupdate/CFWUpdate.h"
#include "pages/scan/CDiagnosticS.h"
#include "pages/smart/CSmartInfo.h"
#include "pages/trim/CTrimEnable.h"
#include "res/ResourcePath.h"

namespace vellumin::app {

namespace {

using namespace vellumin::ui;

constexpr uint32_t kImage = OwnerDraw | TabStop;

constexpr ControlTemplate kControls[] = {
    {CVelluminDlg::IDC_DRIVE_LIST, ControlKind::ListView, 17, 69, 148, 158, "Drives",
     Report | SingleSel | ShowSelAlways | NoColumnHeader | Border | TabStop},
    {1001, ControlKind::ImageButton, 330, 9, 60, 27, "Drive Info", kImage},
    {1002, ControlKind::ImageButton, 330, 36, 60, 27, "S.M.A.R.T. Status", kImage},
    {1003, ControlKind::ImageButton, 390, 9, 60, 27, "Diagnostic Scan", kImage},
    {1004, ControlKind::ImageButton, 390, 36, 59, 27, "Secure Erase", kImage},
    {1005, ControlKind::ImageButton, 450, 9, 59, 27, "Firmware Update", kImage},
    {1006, ControlKind::ImageButton, 449, 36, 60, 27, "Trim Detect and Enable", kImage},
    {CVelluminDlg::IDC_PAGE_AREA, ControlKind::Tab, 176, 69, 312, 157, ""},
    {CVelluminDlg::IDC_DIVIDER, ControlKind::ImageButton, 173, 69, 6, 159, "", OwnerDraw | Disabled},
    {CVelluminDlg::IDC_HOME, ControlKind::ImageButton, 12, 246, 25, 21, "Home", kImage},
    {CVelluminDlg::IDC_ABOUT, ControlKind::ImageButton, 36, 246, 26, 21, "About", kImage},
    {CVelluminDlg::IDC_REFRESH, ControlKind::ImageButton, 61, 246, 28, 21, "Refresh", kImage},
    {1033, ControlKind::ImageButton, 494, 65, 31, 165, "Drive", OwnerDraw | Disabled | Hidden},
    {1039, ControlKind::ImageButton, 494, 65, 31, 165, "S.M.A.R.T.", OwnerDraw | Disabled | Hidden},
    {1040, ControlKind::ImageButton, 494, 65, 31, 165, "Scan", OwnerDraw | Disabled | Hidden},
    {1041, ControlKind::ImageButton, 494, 65, 31, 165, "Erase", OwnerDraw | Disabled | Hidden},
    {1042, ControlKind::ImageButton, 494, 65, 31, 165, "Update", OwnerDraw | Disabled | Hidden},
    {1043, ControlKind::ImageButton, 494, 65, 31, 165, "TRIM", OwnerDraw | Disabled | Hidden},
    {CVelluminDlg::IDC_VERSION, ControlKind::Static, 502, 259, 20, 8, "v1.11"},
};
constexpr DialogTemplate kTemplate{CVelluminDlg::kDialogId, 532, 277, "Vellumin", SysMenu | MinimizeBox,
                                   kControls};

constexpr const char* kNoDeviceNotice = "Please ensure your SSD is connected with SATA interface!";
constexpr const char* kEraseRunning =
    "Secure erase is in progress. Please wait until it has finished.";

template <class Page>
std::unique_ptr<FeaturePage> Make(platform::Platform& platform) {
    return std::make_unique<Page>(platform);
}

// The pages in the order of their feature buttons, with the button's normal and highlight
// images and the side label's.
struct PageEntry {
    std::unique_ptr<FeaturePage> (*make)(platform::Platform&);
    int buttonImage;
    int buttonHighlight;
    int sideLabelImage;
};
constexpr PageEntry kPageTable[] = {
    {Make<pages::CDriveInfo>, 130, 136, 172},   {Make<pages::CSmartInfo>, 131, 137, 173},
    {Make<scan::CDiagnosticS>, 132, 138, 189},  {Make<erase::CSecureErase>, 133, 139, 190},
    {Make<fwupdate::CFWUpdate>, 134, 140, 191}, {Make<trim::CTrimEnable>, 135, 141, 192},
};
static_assert(std::size(kPageTable) == CVelluminDlg::kPageCount);

std::unique_ptr<FeaturePage> MakePage(int page, platform::Platform& platform) {
    return kPageTable[page - 1].make(platform);
}

}  // namespace

CVelluminDlg::CVelluminDlg(platform::Platform& platform, QWidget* parent)
    : Dialog(kTemplate, parent), m_platform(platform), m_pageFactory(MakePage) {}

CVelluminDlg::~CVelluminDlg() { DestroyPages(); }

void CVelluminDlg::DoDataExchange() {
    Bind(IDC_DRIVE_LIST, m_list);
    for (int i = 0; i < kPageCount; ++i) {
        Bind(IDC_PAGE_BUTTON_1 + i, m_btnPage[i]);
        Bind(kSideLabels[i], m_sideLabel[i]);
    }
    Bind(IDC_PAGE_AREA, m_tab);
    Bind(IDC_DIVIDER, m_btnDivider);
    Bind(IDC_HOME, m_btnHome);
    Bind(IDC_ABOUT, m_btnAbout);
    Bind(IDC_REFRESH, m_btnRefresh);
}

bool CVelluminDlg::OnInitDialog() {
    setWindowIcon(res::LoadIcon(128));
    m_background = res::LoadBitmap(129);
    SetItemTextStyle(IDC_VERSION, Qt::white, PointFont(100));
    // Grow the version label to the left when this face needs more room than the layout gave.
    if (QWidget* version = Item(IDC_VERSION)) {
        const int needed = version->fontMetrics().horizontalAdvance(version->property("text").toString()) + 2;
        if (needed > version->width()) {
            QRect r = version->geometry();
            r.setLeft(r.right() + 1 - needed);
            version->setGeometry(r);
        }
    }

    for (int i = 0; i < kPageCount; ++i) {
        m_btnPage[i].SetImages(kPageTable[i].buttonImage, kPageTable[i].buttonHighlight);
    }
    m_btnDivider.SetImages(160, 160);
    m_btnDivider.SetAccessibleRole(QAccessible::Separator);
    EnableItem(IDC_DIVIDER, false);
    m_btnHome.SetImages(161, 162);
    m_btnAbout.SetImages(165, 166);
    m_btnRefresh.SetImages(170, 171);

    m_list.SetExtendedStyle(controls::CSelectListCtrl::kFullRowSelect);
    m_list.InsertColumn(0, " ", controls::CSelectListCtrl::Align::Center, 220);
    // One column as wide as the list inside its scroll bar: a row is never cut at the right
    // edge; a long one is drawn smaller, and one still too long shows whole as a tooltip.
    m_list.SetLastColumnFills(true);
    m_list.SetShrinkToFit(true);
    m_list.SetHeaderVisible(false);
    m_list.SetBkColor(Qt::black);

    DiscoverDrives();
    CreatePages();

    for (int i = 0; i < kPageCount; ++i) {
        m_sideLabel[i].SetNormalImage(kPageTable[i].sideLabelImage);
        m_sideLabel[i].SetAccessibleRole(QAccessible::StaticText);
        EnableItem(kSideLabels[i], false);
    }
    m_list.SetHighlight(true);
    m_list.setFont(PointFont(115));
    connect(&m_list, &controls::CSelectListCtrl::ItemChanged, this, &CVelluminDlg::OnDriveSelected);

    SetTabOrder();
    MarkSelectedRow();
    ShowFeaturePage(m_nCurrentPage);
    return true;
}

// Tab goes in reading order: the drive list, the feature buttons row by row, the controls of
// the page on show (the hidden pages' controls are skipped), then home, About and refresh.
void CVelluminDlg::SetTabOrder() {
    std::vector<QWidget*> chain{&m_list};
    std::vector<QWidget*> features;
    for (auto& button : m_btnPage) {
        features.push_back(&button);
    }
    std::stable_sort(features.begin(), features.end(), [](const QWidget* a, const QWidget* b) {
        return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    chain.insert(chain.end(), features.begin(), features.end());
    for (const auto& page : m_pages) {
        for (const auto& control : page->Template().controls) {
            QWidget* item = page->Item(control.id);
            if (item != nullptr && (item->focusPolicy() & Qt::TabFocus)) {
                chain.push_back(item);
            }
        }
    }
    chain.insert(chain.end(), {&m_btnHome, &m_btnAbout, &m_btnRefresh});
    for (size_t i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

void CVelluminDlg::DiscoverDrives() {
    const QSignalBlocker quiet(m_list);
    m_noticeShown = false;
    for (const auto& row : vellumin::ata::DiscoverDrives(m_platform.Drives(), m_drives)) {
        m_list.InsertItem(m_list.GetItemCount(), QString::fromStdString(row));
    }
    // A row saved from an earlier visit may lie beyond what this discovery found.
    if (m_drives.count > 0) {
        m_nSelectedRow = m_drives.EffectiveRow(m_nSelectedRow);
    }
}

void CVelluminDlg::MarkSelectedRow() {
    if (m_drives.count == 0) {
        return;
    }
    const QSignalBlocker quiet(m_list);
    m_list.SetSelectedRow(m_nSelectedRow);
    m_list.SetChosenCell(m_nSelectedRow, 0);
}

void CVelluminDlg::CreatePages() {
    for (int n = 1; n <= kPageCount; ++n) {
        auto page = m_pageFactory(n, m_platform);
        page->CreatePage(&m_tab);
        // A screen reader names the page area after the feature button that shows it.
        page->setAccessibleName(m_btnPage[n - 1].text());
        page->setHidden(true);
        connect(page.get(), &FeaturePage::WorkEnded, this, &CVelluminDlg::OnPageWorkEnded);
        m_pages[n - 1] = std::move(page);
    }
}

void CVelluminDlg::DestroyPages() {
    for (auto& page : m_pages) {
        page.reset();
    }
}

vellumin::ui::FeaturePage* CVelluminDlg::Page(int n) const {
    return n >= 1 && n <= kPageCount ? m_pages[n - 1].get() : nullptr;
}

bool CVelluminDlg::PassesOsGate() { return vellumin::app::PassesOsGate(m_platform.Sys().OsVersion()); }

void CVelluminDlg::ShowFeaturePage(int n) {
    if (n < 1 || n > kPageCount || !m_pages[0]) {
        return;
    }
    m_nCurrentPage = n;
    for (int i = 0; i < kPageCount; ++i) {
        m_btnPage[i].SetLatched(i == n - 1);
        ShowItem(kSideLabels[i], i == n - 1);
    }

    // Without a drive only the page shown stays reachable.
    for (int i = 1; i <= kPageCount; ++i) {
        if (i != n) {
            EnableItem(IDC_PAGE_BUTTON_1 + i - 1, m_drives.count > 0);
        }
    }
    FeaturePage& page = *m_pages[n - 1];
    if (m_drives.count == 0) {
        {
            const QSignalBlocker quiet(m_list);
            m_list.DeleteAllItems();
            m_list.InsertItem(0, QString::fromStdString(vellumin::ata::kNoCompatibleDeviceRow));
        }
        page.HandOverNoDrive();
        ShowItem(IDC_PAGE_AREA, false);
        if (!m_noticeShown) {
            MessageBox(kNoDeviceNotice, "Vellumin", mb::kOk);
            m_noticeShown = true;
        }
    } else {
        const int drive = m_drives.DriveOfRow(m_nSelectedRow);
        page.HandOver({drive, m_drives.modelText[drive], m_drives.identify[drive]});
        ShowItem(IDC_PAGE_AREA, true);
    }

    page.BeforeShow();
    for (int i = 1; i <= kPageCount; ++i) {
        if (i != n) {
            m_pages[i - 1]->ShowWindow(false);
        }
    }
    page.ShowWindow(true);
}

void CVelluminDlg::OnDriveSelected(int /*row*/) {
    if (!m_pages[0]) {
        return;
    }
    if (const int selected = m_list.GetSelectedRow(); selected >= 0) {
        m_nSelectedRow = selected;
    }
    // Without a drive, showing the page puts the no-device row back.
    if (m_drives.count > 0) {
        const int drive = m_drives.DriveOfRow(m_nSelectedRow);
        for (auto& page : m_pages) {
            page->FollowDrive(drive);
        }
    }
    ShowFeaturePage(m_nCurrentPage);
}

void CVelluminDlg::Refresh() {
    {
        const QSignalBlocker quiet(m_list);
        m_list.DeleteAllItems();
    }
    DiscoverDrives();
    if (m_drives.count > 0) {
        for (int i = 0; i < kPageCount; ++i) {
            EnableItem(IDC_PAGE_BUTTON_1 + i, true);
        }
        MarkSelectedRow();
    }
    ShowFeaturePage(m_nCurrentPage);
}

bool CVelluminDlg::HasUnstoppableWork() const {
    for (const auto& page : m_pages) {
        if (page && page->IsBusy() && !page->CanStop()) {
            return true;
        }
    }
    return false;
}

// The refusal stays on screen only while it is true: the erase ending closes it.
void CVelluminDlg::OnPageWorkEnded() {
    if (m_bRefusingToLeave && !HasUnstoppableWork()) {
        DismissMessageBoxes(this);
    }
}

bool CVelluminDlg::StopPagesForLeaving() {
    if (HasUnstoppableWork()) {
        m_bRefusingToLeave = true;
        MessageBox(kEraseRunning, "Vellumin", mb::kOk | mb::kIconExclamation);
        m_bRefusingToLeave = false;
        return false;
    }
    for (auto& page : m_pages) {
        if (page && page->IsBusy()) {
            page->StopAndWait();
        }
    }
    return true;
}

void CVelluminDlg::EndVisit(int result) {
    if (!StopPagesForLeaving()) {
        return;
    }
    DestroyPages();
    m_list.repaint();
    EndDialog(result);
}

void CVelluminDlg::Home() {
    if (!PassesOsGate()) {
        return;
    }
    EndVisit(kIdOk);
}

void CVelluminDlg::About() {
    CAboutDlg about(this);
    about.DoModal();
}

void CVelluminDlg::OnCommand(int id) {
    if (id >= IDC_PAGE_BUTTON_1 && id < IDC_PAGE_BUTTON_1 + kPageCount) {
        ShowFeaturePage(id - IDC_PAGE_BUTTON_1 + 1);
    } else if (id == IDC_HOME) {
        Home();
    } else if (id == IDC_ABOUT) {
        if (PassesOsGate()) {
            About();
        }
    } else if (id == IDC_REFRESH) {
        Refresh();
    }
}

// The confirm key ends the visit with 1, as the home button does but without its gate; the
// cancel key and the close box end it with 2.
void CVelluminDlg::OnOK() { EndVisit(kIdOk); }

void CVelluminDlg::OnCancel() { EndVisit(kIdCancel); }

void CVelluminDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_background.isNull()) {
        painter.fillRect(rect(), kPageBackground);
    } else {
        painter.drawPixmap(rect(), m_background);
    }
}

// No window system menu to extend here: the About entry sits in the window's context menu.
void CVelluminDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction("&About Vellumin...");
    if (menu.exec(event->globalPos()) == about) {
        About();
    }
}

}  // namespace vellumin::app
