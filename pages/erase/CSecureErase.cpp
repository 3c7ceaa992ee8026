#include "pages/erase/CSecureErase.h"

#include <algorithm>

#include <QLabel>

#include "platform/PassThroughResult.h"
#include "res/ResourcePath.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"

namespace vellumin::erase {

namespace {

using namespace vellumin::ui;

constexpr ControlTemplate kControls[] = {
    {CSecureErase::IDC_QUICK_ERASE, ControlKind::ImageButton, 11, 7, 76, 14, "Quick Erase",
     Bitmap | TabStop},
    {CSecureErase::IDC_FULL_ERASE, ControlKind::ImageButton, 92, 7, 76, 14, "Full Erase",
     Bitmap | TabStop},
    {CSecureErase::IDC_NOT_SUPPORTED, ControlKind::Static, 9, 7, 261, 14,
     "The selected drive does not support this function."},
    {CSecureErase::IDC_WARNING, ControlKind::Static, 9, 30, 300, 23,
     "Executing secure erase will permanently remove all data on the SSD. Upon completion, you "
     "will need to restart your computer.",
     Hidden},
    {CSecureErase::IDC_GATE_MESSAGE, ControlKind::Static, 9, 56, 304, 20, ""},
    {CSecureErase::IDC_ELAPSED, ControlKind::Static, 9, 94, 160, 17, ""},
    {CSecureErase::IDC_DETAIL, ControlKind::Static, 9, 114, 300, 22, "", Hidden},
};
constexpr DialogTemplate kTemplate{CSecureErase::kDialogId, 315, 156, "", Child, kControls};

// The main window's controls the erase run locks: the six feature buttons, home, refresh and
// the drive list. About stays usable.
constexpr int kLockedMainControls[] = {1001, 1002, 1003, 1004, 1005, 1006, 1022, 1026, 1000};
// The labels from the top down.
constexpr int kStackedLabels[] = {CSecureErase::IDC_WARNING, CSecureErase::IDC_GATE_MESSAGE,
                                  CSecureErase::IDC_ELAPSED, CSecureErase::IDC_DETAIL};
constexpr int kLabelGap = 4;  // pixels

constexpr const char* kSuspendButton = "Suspend";
constexpr const char* kSuspendNote =
    "Or press Suspend: the computer sleeps for a few seconds and wakes up by itself, which cuts "
    "the drive's power as re-plugging it would.";

unsigned MessageFlags(const erase::EraseMessage& message) {
    unsigned flags = message.buttons == erase::MessageButtons::YesNo ? mb::kYesNo : mb::kOk;
    switch (message.icon) {
        case erase::MessageIcon::Error:
            flags |= mb::kIconStop;
            break;
        case erase::MessageIcon::Question:
            flags |= mb::kIconQuestion;
            break;
        case erase::MessageIcon::Information:
            flags |= mb::kIconInformation;
            break;
        case erase::MessageIcon::None:
            break;
    }
    return flags;
}

}  // namespace

// Real message boxes owned by the page; from the worker they come up on the UI thread while
// the worker waits for the answer.
class CSecureErase::Prompter final : public erase::ErasePrompter {
public:
    explicit Prompter(CSecureErase& page) : m_page(page) {}
    erase::Answer Ask(const erase::EraseMessage& message) override {
        ui::MessageBoxRequest request{&m_page, message.text, message.caption,
                                      MessageFlags(message), {}, {}};
        // The frozen-state message keeps its text; the suspend is a second button below it.
        if (message.suspendOffered) {
            request.extraButton = kSuspendButton;
            request.note = kSuspendNote;
        }
        const int answer = ui::MessageBox(request);
        if (answer == kIdExtra && message.suspendOffered) {
            return erase::Answer::Suspend;
        }
        if (message.buttons == erase::MessageButtons::Ok) {
            return erase::Answer::Ok;
        }
        return answer == kIdYes ? erase::Answer::Yes : erase::Answer::No;
    }

private:
    CSecureErase& m_page;
};

// Called on the worker; every change is carried out on the UI thread before the worker goes on.
class CSecureErase::Hooks final : public erase::EraseHooks {
public:
    explicit Hooks(CSecureErase& page) : m_page(page) {}
    void LockMainWindow() override {
        ui::Send(&m_page, [p = &m_page] {
            p->m_bRunLocked = true;
            p->LockMainWindow(true);
        });
    }
    void UnlockAfterRun() override {
        ui::Send(&m_page, [p = &m_page] {
            p->m_bRunLocked = false;
            p->EnableItem(IDC_QUICK_ERASE, true);
            p->EnableItem(IDC_FULL_ERASE, true);
            p->LockMainWindow(false);
        });
    }
    void StartElapsed() override {
        ui::Send(&m_page, [p = &m_page] {
            p->m_nEraseSeconds = 0;
            p->SetTimer(kElapsedTimer, 1000);
        });
    }
    void StopElapsed() override {
        ui::Send(&m_page, [p = &m_page] { p->KillTimer(kElapsedTimer); });
    }
    void EnableQuickErase() override {
        ui::Send(&m_page, [p = &m_page] { p->EnableItem(IDC_QUICK_ERASE, true); });
    }

private:
    CSecureErase& m_page;
};

CSecureErase::CSecureErase(platform::Platform& platform) : FeaturePage(kTemplate, platform) {}

CSecureErase::~CSecureErase() {
    // The worker reports to this page: it must be gone before the page is.
    StopAndWait();
}

void CSecureErase::HandOver(const ui::PageDrive& drive) {
    EnableItem(IDC_QUICK_ERASE, true);
    EnableItem(IDC_FULL_ERASE, true);
    SetPhysicalDrive(drive.number);
    SetModelText(drive.model);
    SetIdentify(&drive.identify);
    SendMessage(kFillMessage, 0, 0);
}

void CSecureErase::HandOverNoDrive() {
    EnableItem(IDC_QUICK_ERASE, false);
    EnableItem(IDC_FULL_ERASE, false);
}

void CSecureErase::DoDataExchange() {
    Bind(IDC_QUICK_ERASE, m_btnQuick);
    Bind(IDC_FULL_ERASE, m_btnFull);
}

bool CSecureErase::OnInitDialog() {
    const QFont font = PointFont(120);
    for (int id : {IDC_WARNING, IDC_GATE_MESSAGE, IDC_ELAPSED}) {
        SetItemTextStyle(id, QColor(255, 0, 0), font);
    }
    SetItemTextStyle(IDC_NOT_SUPPORTED, QColor(255, 255, 255), font);
    // A system's reason runs long: smaller, so that it fits the page in two lines at most.
    SetItemTextStyle(IDC_DETAIL, QColor(255, 255, 255), PointFont(90));

    m_btnQuick.LoadBitmaps(res::LoadBitmap(157), res::LoadBitmap(156));
    m_btnFull.LoadBitmaps(res::LoadBitmap(159), res::LoadBitmap(158));
    m_btnQuick.SizeToContent();
    m_btnFull.SizeToContent();

    for (int id : kStackedLabels) {
        if (QWidget* label = Item(id)) {
            m_labelRects[id] = label->geometry();
        }
    }

    SetItemText(IDC_ELAPSED, "");
    m_nEraseSeconds = 0;
    m_bOsUnsupported = erase::IsEraseUnsupportedOs(Platform().Sys().OsVersion());
    return true;
}

intptr_t CSecureErase::OnMessage(unsigned message, intptr_t /*wParam*/, intptr_t /*lParam*/) {
    if (message == kFillMessage) {
        Fill();
    }
    return 0;
}

void CSecureErase::OnCommand(int id) {
    if (id == IDC_QUICK_ERASE) {
        QuickErase();
    } else if (id == IDC_FULL_ERASE) {
        FullErase();
    }
}

void CSecureErase::Fill() {
    const erase::EraseGateInputs inputs =
        erase::ReadEraseGateInputs(Platform().Drives(), m_nPhysicalDrive, m_pIdentify,
                                   m_bOsUnsupported, IsItemShown(IDC_WARNING));
    // A reason from an earlier run belongs to that run, and a fill means the page came up anew.
    if (!m_bFlowRunning) {
        ShowItem(IDC_DETAIL, false);
    }
    ShowGates(erase::DecideEraseGates(inputs));
    // The main window enabled the buttons before this fill; a running flow keeps them off, so
    // the page never offers a second erase while one runs.
    if (m_bFlowRunning) {
        EnableItem(IDC_QUICK_ERASE, false);
        EnableItem(IDC_FULL_ERASE, false);
    }
}

void CSecureErase::ShowGates(const erase::EraseGateView& view) {
    m_gates = view;
    m_bSecurityEraseMode = view.securityEraseMode;
    if (view.notSupportedText) {
        SetItemText(IDC_NOT_SUPPORTED, *view.notSupportedText);
    }
    SetItemText(IDC_GATE_MESSAGE, view.gateMessage);
    ShowItem(IDC_NOT_SUPPORTED, view.notSupportedVisible);
    ShowItem(IDC_WARNING, view.warningVisible);
    ShowItem(IDC_QUICK_ERASE, view.quickVisible);
    ShowItem(IDC_FULL_ERASE, view.fullVisible);
    FitLabels();
}

// The rectangles were drawn for a narrower face: here the warning and the longer refusals need
// more lines than they hold. A label grows to its text and pushes the ones below it down, so
// no message is cut short; none moves up from where the layout put it.
void CSecureErase::FitLabels() {
    int below = 0;
    for (int id : kStackedLabels) {
        auto* label = ItemAs<QLabel>(id);
        const auto layout = m_labelRects.find(id);
        if (label == nullptr || layout == m_labelRects.end()) {
            continue;
        }
        QRect rect = layout->second;
        rect.moveTop(std::max(rect.top(), below));
        rect.setHeight(std::max(rect.height(), label->heightForWidth(rect.width())));
        label->setGeometry(rect);
        if (IsItemShown(id) && !label->text().isEmpty()) {
            below = rect.bottom() + 1 + kLabelGap;
        }
    }
}

void CSecureErase::QuickErase() {
    // A button the gates withdrew offers nothing, not even a vendor code left from before.
    if (m_bFlowRunning || m_gates.quick == erase::QuickEraseRuns::None) {
        return;
    }
    erase::EraseTarget target = ConfirmedTarget();
    Prompter prompter(*this);
    if (erase::RefuseBootDrive(Platform().Drives(), target, prompter) ||
        !erase::ConfirmErase(Platform().Drives(), target, prompter)) {
        return;
    }
    if (m_bSecurityEraseMode) {
        StartFlow(erase::EraseFlowKind::Security, target);
    } else {
        m_nVendorCode = m_gates.quickVendorCode;
        target.vendorCode = m_nVendorCode;
        StartFlow(erase::EraseFlowKind::Vendor, target);
    }
}

void CSecureErase::FullErase() {
    if (m_bFlowRunning || !m_gates.fullVisible) {
        return;
    }
    erase::EraseTarget target = ConfirmedTarget();
    Prompter prompter(*this);
    if (erase::RefuseBootDrive(Platform().Drives(), target, prompter)) {
        return;
    }
    m_nVendorCode = ata::cmd::kVendorEraseFull;
    target.vendorCode = m_nVendorCode;
    if (!erase::ConfirmErase(Platform().Drives(), target, prompter)) {
        return;
    }
    StartFlow(erase::EraseFlowKind::Vendor, target);
}

// The drive the confirmation names: the drive list's copy of it, which the flow checks every
// IDENTIFY against (an empty identity matches no drive).
erase::EraseTarget CSecureErase::ConfirmedTarget() const {
    return {m_nPhysicalDrive, m_strModel, 0,
            m_pIdentify ? erase::IdentityOf(*m_pIdentify) : erase::DriveIdentity{}};
}

// The target is a copy: choosing another drive while the flow runs never reaches it.
void CSecureErase::StartFlow(erase::EraseFlowKind kind, const erase::EraseTarget& target) {
    m_bFlowRunning = true;
    m_nFlowDrive = target.driveNumber;
    ShowItem(IDC_DETAIL, false);
    m_hWorker.Start([this, kind, target](uint64_t flow) {
        Prompter prompter(*this);
        Hooks hooks(*this);
        m_workerFlow = kind == erase::EraseFlowKind::Security
                           ? erase::SecurityEraseFlow(Platform(), target, prompter, hooks)
                           : erase::VendorEraseFlow(Platform(), target, prompter, hooks);
        ui::Post(this, [this, flow] { FinishFlow(flow); });
    });
    EnableItem(IDC_QUICK_ERASE, false);
    EnableItem(IDC_FULL_ERASE, false);
}

// The buttons are already as the flow's ending leaves them (the hooks set them).
void CSecureErase::FinishFlow(uint64_t flow) {
    if (flow != m_hWorker.Run() || !m_bFlowRunning) {
        return;  // already finished by StopAndWait
    }
    m_hWorker.Join();  // the worker is past its last call to this page
    m_lastFlow = std::move(m_workerFlow);
    m_bFlowRunning = false;
    ShowNotDelivered(m_lastFlow);
    emit WorkEnded();
}

void CSecureErase::ShowNotDelivered(const erase::EraseFlowResult& flow) {
    const auto lost = std::find_if(flow.commands.rbegin(), flow.commands.rend(),
                                   [](const erase::SentCommand& c) { return c.failure.has_value(); });
    if (lost == flow.commands.rend()) {
        return;
    }
    SetItemText(IDC_DETAIL, platform::NotDeliveredSentence(m_nFlowDrive, erase::CommandName(lost->input), *lost->failure));
    ShowItem(IDC_DETAIL, true);
    FitLabels();
}

void CSecureErase::StopAndWait() {
    if (!m_bFlowRunning) {
        return;
    }
    // The worker may be waiting for a message box or a change on this thread.
    m_hWorker.Wait();
    FinishFlow(m_hWorker.Run());
}

void CSecureErase::OnTimer(int id) {
    if (id != kElapsedTimer) {
        return;
    }
    ++m_nEraseSeconds;
    SetItemText(IDC_ELAPSED, erase::ElapsedTimeText(m_nEraseSeconds));
    // Whatever enabled them meanwhile (another page's worker ending) is undone while the run
    // holds the drive.
    if (m_bRunLocked) {
        LockMainWindow(true);
    }
}

void CSecureErase::LockMainWindow(bool lock) { EnableMainWindowItems(kLockedMainControls, !lock); }

}  // namespace vellumin::erase
