#include "pages/fwupdate/CFWUpdate.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

#include "pages/fwupdate/CFolderDialog.h"
#include "res/ResourcePath.h"
#include "ui/UiThread.h"

namespace vellumin::fwupdate {

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CFWUpdate::IDC_STATUS, ControlKind::Static, 9, 9, 297, 26, ""},
    {CFWUpdate::IDC_PROGRESS, ControlKind::Progress, 7, 81, 228, 10, ""},
    {CFWUpdate::IDC_FOLDER, ControlKind::Edit, 7, 43, 180, 12, "",
     ReadOnly | Border | AutoHScroll | TabStop},
    {CFWUpdate::IDC_BROWSE, ControlKind::PushButton, 199, 42, 50, 14, "Browse", TabStop},
    {CFWUpdate::IDC_DOWNLOAD, ControlKind::ImageButton, 7, 61, 50, 14, "Download",
     OwnerDraw | TabStop},
    {CFWUpdate::IDC_AHCI_NOTE, ControlKind::Static, 7, 102, 294, 32,
     "If you want to update firmware, please turn on AHCI mode and make sure that AHCI is "
     "supported on the motherboard."},
};
constexpr DialogTemplate kTemplate{CFWUpdate::kDialogId, 315, 156, "", Child, kControls};

// What a query hides until it has an offer, and what every download ending hides.
constexpr int kOfferControls[] = {CFWUpdate::IDC_FOLDER, CFWUpdate::IDC_BROWSE,
                                  CFWUpdate::IDC_DOWNLOAD};

const QColor kWhite{255, 255, 255};

}  // namespace

// Runs on the download worker: one atomic store per block, a post for the length.
class CFWUpdate::Progress : public fwupdate::DownloadObserver {
public:
    Progress(CFWUpdate& page, uint64_t run) : m_page(page), m_run(run) {}
    void OnLength(uint64_t total) override {
        ui::Post(&m_page,
                 [page = &m_page, run = m_run, total] { page->OnLengthKnown(run, total); });
    }
    void OnBlock(uint64_t received) override {
        m_page.m_nReceived.store(received, std::memory_order_relaxed);
    }

private:
    CFWUpdate& m_page;
    uint64_t m_run;
};

CFWUpdate::CFWUpdate(platform::Platform& platform) : FeaturePage(kTemplate, platform) {
    m_display.setInterval(kDisplayIntervalMs);
    connect(&m_display, &QTimer::timeout, this, [this] { ShowLatestProgress(); });
}

CFWUpdate::~CFWUpdate() {
    // The worker reports to this page and may be waiting for the UI thread.
    m_worker.RequestStop();
    m_bCancel.store(1);
    m_worker.StopAndWait();
}

void CFWUpdate::DoDataExchange() {
    Bind(IDC_DOWNLOAD, m_btnDownload);
    Bind(IDC_PROGRESS, m_progress);
}

bool CFWUpdate::OnInitDialog() {
    const QFont font = ui::PointFont(120);
    SetItemTextStyle(IDC_STATUS, kWhite, font);
    SetItemTextStyle(IDC_AHCI_NOTE, Qt::red, font);
    if (auto* edit = ItemAs<QLineEdit>(IDC_FOLDER)) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, ui::kPageBackground);
        palette.setColor(QPalette::Text, kWhite);
        edit->setPalette(palette);
        edit->setFont(font);
        edit->setAccessibleName(QStringLiteral("Download folder"));
    }
    if (auto* label = ItemAs<QLabel>(IDC_STATUS)) {
        label->setWordWrap(true);
    }

    m_hWorker.store(0);
    // The user's home plays the part of the system drive's root.
    m_strFolder = QDir::homePath().toStdString();
    SetItemText(IDC_FOLDER, fwupdate::FolderFieldText(m_strFolder));

    m_btnDownload.LoadBitmaps(res::LoadBitmap(204), res::LoadBitmap(205), res::LoadBitmap(206));
    m_btnDownload.SizeToContent();

    m_progress.SetPos(0);
    m_progress.SetGradientStartColor(QColor(1, 41, 108));
    m_progress.SetGradientEndColor(QColor(210, 210, 210));
    m_progress.SetBackgroundColor(QColor(255, 255, 255));
    m_progress.SetPercentTextColor(QColor(0, 0, 0));
    m_progress.SetShowPercent(true);
    return true;
}

void CFWUpdate::OnCommand(int id) {
    switch (id) {
        case IDC_BROWSE:
            OnBrowse();
            break;
        case IDC_DOWNLOAD:
            OnDownload();
            break;
        default:
            break;
    }
}

void CFWUpdate::SetIdleLook() {
    SetItemText(IDC_DOWNLOAD, "Download");
    m_btnDownload.LoadBitmaps(res::LoadBitmap(204), res::LoadBitmap(205), {}, res::LoadBitmap(206));
    m_btnDownload.SizeToContent();
}

void CFWUpdate::SetCancelLook() {
    SetItemText(IDC_DOWNLOAD, "Cancel");
    m_btnDownload.LoadBitmaps(res::LoadBitmap(207), res::LoadBitmap(208), {}, res::LoadBitmap(209));
    m_btnDownload.SizeToContent();
}

void CFWUpdate::HandOver(const ui::PageDrive& drive) {
    ShowItem(IDC_AHCI_NOTE, false);
    SetPhysicalDrive(drive.number);
    StartUpdateQuery(drive.identify);
    if (IsModelSeriesNow(drive.number)) {
        ShowItem(IDC_AHCI_NOTE, true);
    }
}

void CFWUpdate::StartUpdateQuery(const ata::IdentifyBlock& identify) {
    if (IsBusy()) {
        // The running query or download goes on, and the page keeps showing its state (the
        // Cancel look, a cancel already asked for) until it ends.
        return;
    }
    SetIdleLook();
    m_bCancel.store(0);
    m_szDownloadUrl.clear();
    m_pIdentify = &identify;
    for (int id : {IDC_PROGRESS, IDC_FOLDER, IDC_BROWSE, IDC_DOWNLOAD}) {
        ShowItem(id, false);
    }
    SetItemText(IDC_STATUS, fwupdate::kCheckingText);
    StartWorker([this, identify = *m_pIdentify, host = Platform().Sys().UpdateServiceHost()](
                    uint64_t) { UpdateQueryWorker(identify, host); });
}

void CFWUpdate::StartWorker(std::function<void(uint64_t run)> work) {
    m_hWorker.store(1);  // busy before the worker can end
    m_worker.Start([this, work = std::move(work)](uint64_t run) {
        work(run);
        ui::Post(this, [this, run] { FinishWorker(run); });
    });
}

void CFWUpdate::UpdateQueryWorker(ata::IdentifyBlock identify, std::string host) {
    const fwupdate::QueryOutcome outcome =
        fwupdate::RunUpdateQuery(identify, host, &m_worker.Stop());
    if (m_worker.StopRequested()) {
        return;
    }
    switch (outcome.ending) {
        case fwupdate::QueryEnding::Silent:
            return;
        case fwupdate::QueryEnding::Failed:
            ui::MessageBox(this, outcome.error, fwupdate::kErrorCaption,
                           ui::mb::kOk | ui::mb::kIconStop);
            SetItemText(IDC_STATUS, outcome.error);
            return;
        case fwupdate::QueryEnding::Latest:
        case fwupdate::QueryEnding::Unreadable:
            SetItemText(IDC_STATUS, fwupdate::StatusText(outcome));
            return;
        case fwupdate::QueryEnding::Offer:
            break;
    }
    m_szDownloadUrl = outcome.url;
    const int answer =
        ui::MessageBox(this, fwupdate::kConfirmationText, fwupdate::kConfirmationCaption,
                       ui::mb::kYesNo | ui::mb::kIconInformation);
    if (answer == ui::kIdYes && !m_worker.StopRequested()) {
        for (int id : kOfferControls) {
            ShowItem(id, true);
        }
        SetItemText(IDC_STATUS, fwupdate::kSelectFolderText);
    } else {
        SetItemText(IDC_STATUS, fwupdate::kLatestText);
    }
}

void CFWUpdate::OnBrowse() {
    CFolderDialog dialog(m_strFolder);
    if (dialog.DoModal() != ui::kIdOk) {
        return;
    }
    m_strFolder = dialog.GetFolderPath();
    SetItemText(IDC_FOLDER, fwupdate::FolderFieldText(m_strFolder));
}

void CFWUpdate::OnDownload() {
    if (IsBusy()) {
        EnableItem(IDC_DOWNLOAD, false);
        m_bCancel.store(1);
        return;
    }
    SetItemText(IDC_STATUS, fwupdate::kDownloadingText);
    ShowItem(IDC_PROGRESS, true);
    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
    SetCancelLook();
    m_nReceived.store(0);
    m_nShown = 0;
    m_display.start();
    StartWorker([this, url = m_szDownloadUrl, folder = m_strFolder](uint64_t run) {
        DownloadWorker(run, url, folder);
    });
}

void CFWUpdate::DownloadWorker(uint64_t run, std::string url, std::string folder) {
    Progress progress(*this, run);
    m_downloadOutcome = fwupdate::RunDownload(url, folder, m_bCancel, progress);
    if (m_downloadOutcome.ending == fwupdate::DownloadEnding::Failed && !m_worker.StopRequested()) {
        ui::MessageBox(this, m_downloadOutcome.errorText, fwupdate::kErrorCaption,
                       ui::mb::kOk | ui::mb::kIconStop);
    }
}

void CFWUpdate::OnLengthKnown(uint64_t run, uint64_t total) {
    if (run != m_worker.Run() || !IsBusy()) {
        return;
    }
    m_progress.SetCountRange(total);
}

void CFWUpdate::ShowLatestProgress() {
    const uint64_t received = m_nReceived.load(std::memory_order_relaxed);
    if (received != m_nShown) {
        m_nShown = received;
        m_progress.SetCountPos(received);
    }
}

void CFWUpdate::FinishWorker(uint64_t run) {
    if (run != m_worker.Run() || !IsBusy()) {
        return;  // already finished by StopAndWait
    }
    m_worker.Join();
    const bool download = m_display.isActive();
    if (download) {
        FinishDownload(m_downloadOutcome);
    }
    m_hWorker.store(0);
}

void CFWUpdate::FinishDownload(const fwupdate::DownloadOutcome& outcome) {
    m_display.stop();
    ShowLatestProgress();
    m_lastDownload = outcome;
    if (outcome.ending == fwupdate::DownloadEnding::Completed) {
        ShowItem(IDC_AHCI_NOTE, true);
    } else if (outcome.ending == fwupdate::DownloadEnding::Cancelled) {
        m_bCancel.store(0);
    }
    SetItemText(IDC_STATUS, outcome.statusText);
    ShowItem(IDC_PROGRESS, false);
    ShowItem(IDC_STATUS, true);
    for (int id : kOfferControls) {
        ShowItem(id, false);
    }
    EnableItem(IDC_DOWNLOAD, true);
    SetIdleLook();
}

void CFWUpdate::StopAndWait() {
    if (!m_worker.Started()) {
        return;
    }
    m_worker.RequestStop();
    m_bCancel.store(1);
    m_worker.StopAndWait();
    // Unless the worker's own finish came among the events handled while waiting.
    if (IsBusy()) {
        if (m_display.isActive()) {
            FinishDownload(m_downloadOutcome);
        }
        m_hWorker.store(0);
    }
}

}  // namespace vellumin::fwupdate
