#pragma once

#include <atomic>
#include <cstdint>

#include <QTimer>

#include "controls/CGradientProgressCtrl.h"
#include "pages/scan/ScanEngine.h"
#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"
#include "ui/PageWorker.h"

namespace vellumin::scan {

// Page 3: the read scan (dialog 144), a quick or full scan of the selected drive on a worker
// thread the page owns.
//
// The worker never waits for the UI thread: it publishes the position of each chunk in an
// atomic, a display timer on the UI thread shows the latest position at screen rate, and the
// one-off changes (drive opened, range known, scan ended) are posted.
class CDiagnosticS : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 144;
    static constexpr int IDC_QUICK_SCAN = 1008;
    static constexpr int IDC_FULL_SCAN = 1009;
    static constexpr int IDC_NOT_SUPPORTED = 1055;
    static constexpr int IDC_PROGRESS = 1030;
    static constexpr int IDC_PERCENT = 1031;
    static constexpr int IDC_ITEMS = 1029;
    static constexpr int IDC_ELAPSED = 1032;
    static constexpr int IDC_RESULT = 1060;
    static constexpr int IDC_DETAIL = 1062;
    static constexpr int IDC_STOP = 1049;
    static constexpr int kElapsedTimer = 8001;
    // How often a running scan's position reaches the screen.
    static constexpr int kDisplayIntervalMs = 30;

    explicit CDiagnosticS(vellumin::platform::Platform& platform);
    ~CDiagnosticS() override;

    // The scan buttons for a drive that can run the scan; the reason in their place for one
    // that cannot.
    void HandOver(const vellumin::ui::PageDrive& drive) override;
    void HandOverNoDrive() override;
    // A finished scan's results belong to the drive it read: they go when another is chosen.
    void FollowDrive(int32_t drive) override;
    bool IsBusy() const override { return m_bScanning; }
    // Back to the bare scan buttons, unless a scan runs.
    void ClearFinishedScan();
    void StopAndWait() override;

    const controls::CGradientProgressCtrl& ProgressBar() const { return m_progress; }
    uint32_t ElapsedSeconds() const { return m_nElapsed; }
    // The outcome of the last scan that ended.
    const vellumin::scan::ScanOutcome& LastOutcome() const { return m_outcome; }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;
    void OnShowWindow(bool show) override;

private:
    class Publisher;

    void StartScan(vellumin::scan::ScanMode mode);
    void OnDriveOpened(uint64_t scan);
    void OnRangeKnown(uint64_t scan, uint64_t total);
    void ShowLatestPosition();
    void FinishScan(uint64_t scan);
    void ShowFinalState(const vellumin::scan::ScanOutcome& outcome);
    void LockControls(bool lock);

    vellumin::ui::BitmapButton m_btnQuick;
    vellumin::ui::BitmapButton m_btnFull;
    vellumin::ui::BitmapButton m_btnStop;
    controls::CGradientProgressCtrl m_progress;

    // UI thread only.
    bool m_bScanning = false;  // the scan-running marker
    uint32_t m_nElapsed = 0;
    uint64_t m_nTotal = 0;  // 0 until the running scan's range is known
    uint64_t m_nShown = 0;  // the published value on screen
    QTimer m_display;

    // Shared with the worker; its runs are the scans (a post of an earlier scan is dropped).
    std::atomic<uint64_t> m_nPublished{0};  // 1 + LBA of the latest chunk read; 0 before the first
    vellumin::scan::ScanOutcome m_outcome;  // written by the worker, read once it is joined
    vellumin::ui::PageWorker m_hWorker;
};

}  // namespace vellumin::scan
