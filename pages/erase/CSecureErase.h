#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ata/IdentifyBlock.h"
#include "pages/erase/EraseFlow.h"
#include "pages/erase/EraseGates.h"
#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"
#include "ui/PageWorker.h"

namespace vellumin::erase {

// Page 4: the secure erase (dialog 145). Decides on each fill which erase the drive may use,
// and runs one erase flow at a time on a worker thread the page owns.
//
// The worker talks to the user through real message boxes shown on the UI thread while it
// waits, and changes windows through sent calls; so the UI thread never joins it while it may
// still be waiting (it runs the UI's events until the worker is done, then joins).
class CSecureErase : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 145;
    static constexpr int IDC_QUICK_ERASE = 1010;
    static constexpr int IDC_FULL_ERASE = 1011;
    static constexpr int IDC_NOT_SUPPORTED = 1056;
    static constexpr int IDC_WARNING = 1058;
    static constexpr int IDC_GATE_MESSAGE = 1012;
    static constexpr int IDC_ELAPSED = 1020;
    static constexpr int IDC_DETAIL = 1062;
    static constexpr unsigned kFillMessage = 8001;
    static constexpr int kElapsedTimer = 8002;

    explicit CSecureErase(vellumin::platform::Platform& platform);
    ~CSecureErase() override;

    // Takes the drive, its model text and identify copy, and fills the page for it.
    void HandOver(const vellumin::ui::PageDrive& drive) override;
    void HandOverNoDrive() override;
    // The fill once more, drive or not.
    void BeforeShow() override { SendMessage(kFillMessage, 0, 0); }

    // Written by the hand-over before it sends the fill message.
    void SetModelText(const std::string& model) { m_strModel = model; }
    const std::string& ModelText() const { return m_strModel; }
    // The drive table's identify copy of the drive; it outlives the page.
    void SetIdentify(const vellumin::ata::IdentifyBlock* identify) { m_pIdentify = identify; }
    const vellumin::ata::IdentifyBlock* Identify() const { return m_pIdentify; }

    // From the button press that starts a flow until its worker has been joined.
    bool IsBusy() const override { return m_bFlowRunning; }
    // A running erase cannot be stopped: the main window refuses to close instead.
    bool CanStop() const override { return false; }
    // Waits for the running flow to end (it cannot be cut short).
    void StopAndWait() override;

    // What the last fill decided, and what the last flow that ended did.
    const vellumin::erase::EraseGateView& Gates() const { return m_gates; }
    bool OsUnsupported() const { return m_bOsUnsupported; }
    uint8_t VendorCode() const { return m_nVendorCode; }
    int EraseSeconds() const { return m_nEraseSeconds; }
    const vellumin::erase::EraseFlowResult& LastFlow() const { return m_lastFlow; }
    int FlowsStarted() const { return static_cast<int>(m_hWorker.Run()); }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;
    intptr_t OnMessage(unsigned message, intptr_t wParam, intptr_t lParam) override;

private:
    class Prompter;
    class Hooks;

    // Re-reads the drive and sets the controls; idempotent.
    void Fill();
    void ShowGates(const vellumin::erase::EraseGateView& view);
    void FitLabels();
    void QuickErase();
    void FullErase();
    vellumin::erase::EraseTarget ConfirmedTarget() const;
    void StartFlow(vellumin::erase::EraseFlowKind kind, const vellumin::erase::EraseTarget& target);
    // Joins the worker of flow `flow` once it has ended.
    void FinishFlow(uint64_t flow);
    // Why the flow's last command that did not reach the drive failed, under the labels.
    void ShowNotDelivered(const vellumin::erase::EraseFlowResult& flow);
    // The main window's controls the erase run locks (About stays usable).
    void LockMainWindow(bool lock);

    std::string m_strModel;
    const vellumin::ata::IdentifyBlock* m_pIdentify = nullptr;
    vellumin::ui::BitmapButton m_btnQuick;
    vellumin::ui::BitmapButton m_btnFull;

    // UI thread only.
    std::map<int, QRect> m_labelRects;  // the layout's rectangles of the stacked labels
    vellumin::erase::EraseGateView m_gates;
    bool m_bSecurityEraseMode = false;
    bool m_bOsUnsupported = false;
    uint8_t m_nVendorCode = 0;
    int m_nEraseSeconds = 0;
    bool m_bFlowRunning = false;
    bool m_bRunLocked = false;  // between the erase run's lock and its unlock
    int32_t m_nFlowDrive = 0;   // the drive of the current (or last) flow
    vellumin::erase::EraseFlowResult m_lastFlow;

    // Shared with the worker; it is never asked to stop (an erase cannot be cut short).
    vellumin::erase::EraseFlowResult m_workerFlow;  // written by the worker, read once it is joined
    vellumin::ui::PageWorker m_hWorker;
};

}  // namespace vellumin::erase
