#pragma once

#include <cstdint>

#include "ata/IdentifyBlock.h"
#include "ui/FeaturePage.h"

// Page 1: the drive-information report (dialog 142).
class CDriveInfo : public vellumin::ui::FeaturePage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 142;
    static constexpr int IDC_REPORT = 1018;

    explicit CDriveInfo(vellumin::platform::Platform& platform);

    // Rebuilds the report for `drive`; the main window calls it each time it shows the page and
    // when the selected drive changes while the page is shown.
    void Fill(int32_t drive);

protected:
    bool OnInitDialog() override;

private:
    vellumin::ata::IdentifyBlock m_identify{};
    vellumin::ata::SmartBlock m_smart{};
};
