#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <QTimer>

#include "ata/IdentifyBlock.h"
#include "controls/CGradientProgressCtrl.h"
#include "pages/fwupdate/DownloadEngine.h"
#include "pages/fwupdate/UpdateQuery.h"
#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"
#include "ui/PageWorker.h"

namespace vellumin::fwupdate {

// Page 5: the firmware-update check and download (dialog 146).
//
// One worker at a time, owned by the page: the update query or a download. The worker changes
// controls through the framework (waiting for the UI thread, a few times per run) and asks
// through message boxes; a download's per-block progress goes into an atomic that a display
// timer shows, so no block waits for the UI.
class CFWUpdate : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 146;
    static constexpr int IDC_STATUS = 1029;
    static constexpr int IDC_PROGRESS = 1030;
    static constexpr int IDC_FOLDER = 1051;
    static constexpr int IDC_BROWSE = 1021;
    static constexpr int IDC_DOWNLOAD = 1022;
    static constexpr int IDC_AHCI_NOTE = 1061;
    // How often a running download's progress reaches the screen.
    static constexpr int kDisplayIntervalMs = 30;

    explicit CFWUpdate(vellumin::platform::Platform& platform);
    ~CFWUpdate() override;

    // Asks the update service about the drive, and shows the AHCI note for the series that
    // needs it.
    void HandOver(const vellumin::ui::PageDrive& drive) override;
    void HandOverNoDrive() override { ShowItem(IDC_AHCI_NOTE, false); }
    // Asks the update service about the drive whose identify copy is given (the drive table's;
    // it outlives the page).
    virtual void StartUpdateQuery(const vellumin::ata::IdentifyBlock& identify);

    bool IsBusy() const override { return m_hWorker.load() != 0; }
    void StopAndWait() override;

    const std::string& Folder() const { return m_strFolder; }
    const std::string& DownloadUrl() const { return m_szDownloadUrl; }
    const controls::CGradientProgressCtrl& ProgressBar() const { return m_progress; }
    const vellumin::ui::BitmapButton& DownloadButton() const { return m_btnDownload; }
    // The outcome of the last download that ended.
    const vellumin::fwupdate::DownloadOutcome& LastDownload() const { return m_lastDownload; }
    // Workers started so far.
    uint64_t WorkerRuns() const { return m_worker.Run(); }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

    void OnBrowse();
    void OnDownload();

private:
    class Progress;

    void SetIdleLook();
    void SetCancelLook();
    void StartWorker(std::function<void(uint64_t run)> work);
    void UpdateQueryWorker(vellumin::ata::IdentifyBlock identify, std::string host);
    void DownloadWorker(uint64_t run, std::string url, std::string folder);
    void OnLengthKnown(uint64_t run, uint64_t total);
    void ShowLatestProgress();
    void FinishWorker(uint64_t run);
    void FinishDownload(const vellumin::fwupdate::DownloadOutcome& outcome);

    vellumin::ui::BitmapButton m_btnDownload;
    controls::CGradientProgressCtrl m_progress;

    // UI thread only (the workers get copies).
    const vellumin::ata::IdentifyBlock* m_pIdentify = nullptr;
    std::string m_strFolder;
    uint64_t m_nShown = 0;
    QTimer m_display;
    vellumin::fwupdate::DownloadOutcome m_lastDownload;

    // Shared with the worker, whose stop request means leaving the window: end without asking
    // anything. A post of an earlier run is dropped.
    std::atomic<int> m_hWorker{0};  // the busy marker: 1 from a worker's start to its end
    std::atomic<int> m_bCancel{0};  // the download's cancel request
    std::atomic<uint64_t> m_nReceived{0};
    std::string m_szDownloadUrl;  // written by the query worker, read once no worker runs
    vellumin::fwupdate::DownloadOutcome
        m_downloadOutcome;  // written by the worker, read after it ended
    vellumin::ui::PageWorker m_worker;
};

}  // namespace vellumin::fwupdate
