#include "pages/scan/CDiagnosticS.h"

#include <QLabel>

#include "pages/scan/ScanTexts.h"
#include "platform/PassThroughResult.h"
#include "res/ResourcePath.h"
#include "ui/UiThread.h"

namespace vellumin::scan {

using scan::ScanMode;
using scan::ScanOutcome;

namespace {

constexpr ui::ControlTemplate kControls[] = {
    // Under the two scan buttons: created first so that they lie on top of it.
    {CDiagnosticS::IDC_NOT_SUPPORTED, ui::ControlKind::Static, 7, 7, 306, 14,
     "The selected drive does not support this function."},
    {CDiagnosticS::IDC_QUICK_SCAN, ui::ControlKind::ImageButton, 7, 7, 76, 14, "Quick Scan", ui::TabStop | ui::Bitmap},
    {CDiagnosticS::IDC_FULL_SCAN, ui::ControlKind::ImageButton, 89, 7, 76, 14, "Full Scan", ui::TabStop | ui::Bitmap},
    {CDiagnosticS::IDC_PROGRESS, ui::ControlKind::Progress, 7, 35, 228, 10, ""},
    {CDiagnosticS::IDC_PERCENT, ui::ControlKind::Static, 247, 35, 52, 20, "", ui::Hidden},
    {CDiagnosticS::IDC_ITEMS, ui::ControlKind::Static, 7, 58, 272, 16, "", ui::Hidden},
    {CDiagnosticS::IDC_ELAPSED, ui::ControlKind::Static, 7, 78, 171, 16, ""},
    {CDiagnosticS::IDC_RESULT, ui::ControlKind::Static, 7, 101, 290, 11, ""},
    // Why the drive was not reached, under the result; never shown beside the stop button.
    {CDiagnosticS::IDC_DETAIL, ui::ControlKind::Static, 7, 113, 290, 22, "", ui::Hidden},
    {CDiagnosticS::IDC_STOP, ui::ControlKind::ImageButton, 7, 125, 22, 16, "Stop", ui::Hidden | ui::TabStop | ui::Bitmap},
};
constexpr ui::DialogTemplate kTemplate{CDiagnosticS::kDialogId, 315, 156, "", ui::Child, kControls};

// The main window's controls a running scan locks: the five other feature pages, home, refresh
// and the drive list, so the page never shows one drive selected and another one's scan. Its
// own page button and About stay as they are.
constexpr int kLockedMainControls[] = {1001, 1002, 1004, 1005, 1006, 1022, 1026, 1000};
// What a page shown or hidden while idle hides, so it offers only the scan buttons again.
constexpr int kResultControls[] = {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS,  CDiagnosticS::IDC_PERCENT,
                                   CDiagnosticS::IDC_ELAPSED,  CDiagnosticS::IDC_STOP,   CDiagnosticS::IDC_RESULT,
                                   CDiagnosticS::IDC_DETAIL};
// What a scan shows as it starts and hides again when it could not start after all.
constexpr int kPositionControls[] = {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                                     CDiagnosticS::IDC_ELAPSED};

const QColor kWhite{255, 255, 255};

}  // namespace

// Runs on the worker: one atomic store per chunk, posts for the rare events. Nothing here
// waits for the UI thread.
class CDiagnosticS::Publisher : public scan::ScanObserver {
public:
    Publisher(CDiagnosticS& page, uint64_t scan) : m_page(page), m_scan(scan) {}

    void OnOpened() override {
        ui::Post(&m_page, [page = &m_page, scan = m_scan] { page->OnDriveOpened(scan); });
    }
    void OnRange(uint64_t total) override {
        ui::Post(&m_page,
                 [page = &m_page, scan = m_scan, total] { page->OnRangeKnown(scan, total); });
    }
    void OnChunk(uint64_t lba) override {
        m_page.m_nPublished.store(lba + 1, std::memory_order_relaxed);
    }
    void OnEnd(const ScanOutcome&) override {
        ui::Post(&m_page, [page = &m_page, scan = m_scan] { page->FinishScan(scan); });
    }

private:
    CDiagnosticS& m_page;
    uint64_t m_scan;
};

CDiagnosticS::CDiagnosticS(platform::Platform& platform) : FeaturePage(kTemplate, platform) {
    m_display.setInterval(kDisplayIntervalMs);
    connect(&m_display, &QTimer::timeout, this, [this] { ShowLatestPosition(); });
}

CDiagnosticS::~CDiagnosticS() {
    // The worker reports to this page: it must be gone before the page is.
    m_hWorker.StopAndWait();
}

void CDiagnosticS::DoDataExchange() {
    Bind(IDC_QUICK_SCAN, m_btnQuick);
    Bind(IDC_FULL_SCAN, m_btnFull);
    Bind(IDC_STOP, m_btnStop);
    Bind(IDC_PROGRESS, m_progress);
}

bool CDiagnosticS::OnInitDialog() {
    const QFont font = ui::PointFont(120);
    for (int id : {IDC_ITEMS, IDC_ELAPSED, IDC_NOT_SUPPORTED, IDC_RESULT}) {
        SetItemTextStyle(id, kWhite, font);
    }
    // A system's reason runs long: smaller, so that it fits the page in two lines at most.
    SetItemTextStyle(IDC_DETAIL, kWhite, ui::PointFont(90));
    // The percentage label holds its text unseen; the bar draws the visible percentage.
    SetItemTextStyle(IDC_PERCENT, ui::kPageBackground, font);

    m_btnQuick.LoadBitmaps(res::LoadBitmap(150), res::LoadBitmap(132), res::LoadBitmap(132));
    m_btnFull.LoadBitmaps(res::LoadBitmap(151), res::LoadBitmap(149), res::LoadBitmap(149));
    m_btnStop.LoadBitmaps(res::LoadBitmap(203), res::LoadBitmap(202), res::LoadBitmap(202));
    for (auto* button : {&m_btnQuick, &m_btnFull, &m_btnStop}) {
        button->SizeToContent();
    }

    // The position labels change at display rate: single lines need no word-wrap layout.
    for (int id : {IDC_ITEMS, IDC_PERCENT}) {
        if (auto* label = ItemAs<QLabel>(id)) {
            label->setWordWrap(false);
        }
    }

    m_bScanning = false;
    m_nElapsed = 0;

    m_progress.SetPos(0);
    m_progress.SetGradientStartColor(QColor(2, 29, 73));
    m_progress.SetGradientEndColor(QColor(210, 210, 210));
    m_progress.SetBackgroundColor(QColor(255, 255, 255));
    m_progress.SetPercentTextColor(QColor(255, 255, 255));
    m_progress.SetShowPercent(true);

    ShowItem(IDC_PROGRESS, true);
    ShowItem(IDC_ITEMS, true);
    ShowItem(IDC_PERCENT, true);
    return true;
}

void CDiagnosticS::OnCommand(int id) {
    switch (id) {
    case IDC_QUICK_SCAN:
        StartScan(ScanMode::Quick);
        break;
    case IDC_FULL_SCAN:
        StartScan(ScanMode::Full);
        break;
    case IDC_STOP:
        m_hWorker.RequestStop();
        break;
    default:
        break;
    }
}

void CDiagnosticS::StartScan(ScanMode mode) {
    // One scan at a time, whatever a refill of the page did to the scan buttons meanwhile.
    if (m_bScanning || m_hWorker.Started()) {
        return;
    }
    for (int id : kPositionControls) {
        ShowItem(id, true);
    }
    SetItemText(IDC_RESULT, "");
    ShowItem(IDC_DETAIL, false);
    // Nothing of the previous scan may stand next to the new one.
    SetItemText(IDC_ITEMS, "");
    SetItemText(IDC_PERCENT, "");
    m_progress.SetPos(0);
    ShowItem(IDC_STOP, false);
    SetItemText(IDC_ELAPSED, scan::ElapsedTimeText(0));
    m_nElapsed = 0;

    m_nTotal = 0;
    m_nShown = 0;
    m_nPublished.store(0);
    m_bScanning = true;
    LockControls(true);

    m_hWorker.Start([this, drive = m_nPhysicalDrive, mode](uint64_t scan) {
        Publisher publisher(*this, scan);
        m_outcome = scan::RunScan(Platform().Drives(), drive, mode, m_hWorker.Stop(), publisher);
    });
    SetTimer(kElapsedTimer, 1000);
    m_display.start();
}

void CDiagnosticS::OnDriveOpened(uint64_t scan) {
    if (scan == m_hWorker.Run() && m_bScanning) {
        ShowItem(IDC_STOP, true);
    }
}

void CDiagnosticS::OnRangeKnown(uint64_t scan, uint64_t total) {
    if (scan != m_hWorker.Run() || !m_bScanning) {
        return;
    }
    m_nTotal = total;
    m_progress.SetCountRange(total);
}

void CDiagnosticS::ShowLatestPosition() {
    if (!m_bScanning) {
        return;
    }
    // Whatever re-enabled them meanwhile (the main window refilling the page for a newly
    // selected drive) is undone, as the scan has always re-locked them while it runs.
    LockControls(true);
    const uint64_t published = m_nPublished.load(std::memory_order_relaxed);
    if (m_nTotal == 0 || published == 0 || published == m_nShown) {
        return;
    }
    m_nShown = published;
    const uint64_t lba = published - 1;
    m_progress.SetCountPos(lba);
    SetItemText(IDC_ITEMS, scan::ItemsScannedText(lba, m_nTotal));
    SetItemText(IDC_PERCENT, scan::PercentText(scan::ScanPercent(lba, m_nTotal)));
}

void CDiagnosticS::FinishScan(uint64_t scan) {
    if (scan != m_hWorker.Run() || !m_bScanning) {
        return;  // already finished by StopAndWait
    }
    m_hWorker.Join();  // the worker is past its last report
    ShowFinalState(m_outcome);
}

void CDiagnosticS::StopAndWait() {
    if (!m_hWorker.Started()) {
        return;
    }
    m_hWorker.StopAndWait();
    // Unless the scan's own finish came among the events handled while waiting.
    if (m_bScanning) {
        ShowFinalState(m_outcome);
    }
}

void CDiagnosticS::ShowFinalState(const ScanOutcome& outcome) {
    m_display.stop();
    const bool started = outcome.ending != scan::ScanEnding::NotOpened && outcome.ending != scan::ScanEnding::NoSize;
    if (started) {
        SetItemText(IDC_ITEMS, scan::ItemsScannedFinalText(outcome.finalPosition, outcome.total));
        SetItemText(IDC_PERCENT, scan::PercentText(scan::ScanPercent(outcome.finalPosition, outcome.total)));
        m_progress.SetCountPos(outcome.finalPosition);
    } else {
        // No total, no position: only the reason stays on the page.
        for (int id : kPositionControls) {
            ShowItem(id, false);
        }
    }
    SetItemText(IDC_RESULT, outcome.resultText);
    ShowItem(IDC_RESULT, true);
    // Why the drive was not reached goes beside the result, not in its place.
    if (outcome.notDelivered) {
        SetItemText(IDC_DETAIL, platform::NotDeliveredSentence(m_nPhysicalDrive, outcome.notDeliveredCommand,
                                                               *outcome.notDelivered));
        ShowItem(IDC_DETAIL, true);
    }

    KillTimer(kElapsedTimer);
    m_bScanning = false;
    ShowItem(IDC_STOP, false);
    LockControls(false);
}

void CDiagnosticS::OnTimer(int id) {
    if (id != kElapsedTimer) {
        return;
    }
    ++m_nElapsed;
    SetItemText(IDC_ELAPSED, scan::ElapsedTimeText(m_nElapsed));
}

void CDiagnosticS::OnShowWindow(bool) { ClearFinishedScan(); }

void CDiagnosticS::HandOver(const ui::PageDrive& drive) {
    SetPhysicalDrive(drive.number);
    const bool restricted = IsModelSeriesNow(drive.number);
    for (int id : {IDC_QUICK_SCAN, IDC_FULL_SCAN}) {
        EnableItem(id, !restricted);
        ShowItem(id, !restricted);
    }
    ShowItem(IDC_NOT_SUPPORTED, restricted);
}

void CDiagnosticS::HandOverNoDrive() {
    EnableItem(IDC_QUICK_SCAN, false);
    EnableItem(IDC_FULL_SCAN, false);
}

void CDiagnosticS::FollowDrive(int32_t drive) {
    if (drive != m_nPhysicalDrive) {
        ClearFinishedScan();
    }
    SetPhysicalDrive(drive);
}

void CDiagnosticS::ClearFinishedScan() {
    if (m_bScanning) {
        return;
    }
    for (int id : kResultControls) {
        ShowItem(id, false);
    }
}

// The page's scan buttons and the main window's buttons that would leave or refresh the page.
// Scan buttons the main window withdrew meanwhile (hidden for a drive without the function)
// stay disabled.
void CDiagnosticS::LockControls(bool lock) {
    for (int id : {IDC_QUICK_SCAN, IDC_FULL_SCAN}) {
        EnableItem(id, !lock && IsItemShown(id));
    }
    EnableMainWindowItems(kLockedMainControls, !lock);
}

}  // namespace vellumin::scan
