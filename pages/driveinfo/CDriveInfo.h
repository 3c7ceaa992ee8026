#pragma once

#include <cstdint>

#include "pages/report/ReportPage.h"

namespace vellumin::pages {

// Page 1: the drive-information report (dialog 142).
class CDriveInfo : public ReportPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 142;

    explicit CDriveInfo(vellumin::platform::Platform& platform);

    void Fill(int32_t drive) override;

protected:
    bool OnInitDialog() override;
};

}  // namespace vellumin::pages
