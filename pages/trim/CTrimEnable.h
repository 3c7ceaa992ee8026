#pragma once

#include "pages/trim/TrimSetting.h"
#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"

namespace vellumin::trim {

// Page 6: the operating system and its TRIM switch (dialog 147). The selected drive does not
// matter here.
class CTrimEnable : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 147;
    static constexpr int IDC_OS_LINE = 1017;
    static constexpr int IDC_STATUS = 1019;
    static constexpr int IDC_SWITCH = 1006;

    explicit CTrimEnable(vellumin::platform::Platform& platform);

    bool TrimOffered() const { return m_bTrimOffered; }
    // 1 enabled, 0 disabled, -1 not read (the switch is hidden then).
    int TrimEnabled() const { return m_nTrimEnabled; }

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnCommand(int id) override;

private:
    // Shows the messages an operation called for, then the state it read.
    void ShowOutcome(const vellumin::trim::TrimOutcome& outcome);
    void ShowState(int result);

    vellumin::ui::BitmapButton m_btnSwitch;
    bool m_bTrimOffered = false;
    int m_nTrimEnabled = 0;
};

}  // namespace vellumin::trim
