#pragma once

#include "ui/BitmapButton.h"
#include "ui/FeaturePage.h"

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

protected:
    void DoDataExchange() override;
    bool OnInitDialog() override;

private:
    vellumin::ui::BitmapButton m_btnSwitch;
};
