#pragma once

#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"

// Page 3: the read scan (dialog 144).
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
    static constexpr int IDC_STOP = 1049;
    static constexpr int kElapsedTimer = 8001;

    explicit CDiagnosticS(vellumin::platform::Platform& platform);
    ~CDiagnosticS() override;

    bool IsBusy() const override;
    void StopAndWait() override;

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnTimer(int id) override;
    void OnShowWindow(bool show) override;

private:
    vellumin::ui::BitmapButton m_btnQuick;
    vellumin::ui::BitmapButton m_btnFull;
    vellumin::ui::BitmapButton m_btnStop;
};
