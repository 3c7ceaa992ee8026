#pragma once

#include <cstdint>

#include "ata/IdentifyBlock.h"
#include "ui/FeaturePage.h"

// Page 2: the SMART report (dialog 143).
class CSmartInfo : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 143;
    static constexpr int IDC_REPORT = 1018;
    static constexpr int IDC_MESSAGE = 1054;

    explicit CSmartInfo(vellumin::platform::Platform& platform);

    // Rebuilds the SMART report for `drive`; the main window hides the message line first.
    void Fill(int32_t drive);

protected:
    bool OnInitDialog() override;

private:
    vellumin::ata::SmartBlock m_smart{};
    vellumin::ata::IdentifyBlock m_identify{};
};
