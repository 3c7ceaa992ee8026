#pragma once

#include <cstdint>
#include <string>

#include "ata/IdentifyBlock.h"
#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"

// Page 4: the secure erase (dialog 145).
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
    static constexpr unsigned kFillMessage = 8001;
    static constexpr int kElapsedTimer = 8002;

    explicit CSecureErase(vellumin::platform::Platform& platform);

    // Written by the main window before it sends the fill message.
    void SetModelText(const std::string& model) { m_strModel = model; }
    const std::string& ModelText() const { return m_strModel; }
    // The drive table's identify copy of the drive; it outlives the page.
    void SetIdentify(const vellumin::ata::IdentifyBlock* identify) { m_pIdentify = identify; }
    const vellumin::ata::IdentifyBlock* Identify() const { return m_pIdentify; }

    // A running erase cannot be stopped: the main window refuses to close instead.
    bool CanStop() const override { return false; }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    intptr_t OnMessage(unsigned message, intptr_t wParam, intptr_t lParam) override;

private:
    // Re-reads the drive and sets the controls; idempotent.
    void Fill();

    std::string m_strModel;
    const vellumin::ata::IdentifyBlock* m_pIdentify = nullptr;
    vellumin::ui::BitmapButton m_btnQuick;
    vellumin::ui::BitmapButton m_btnFull;
};
