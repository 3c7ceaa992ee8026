#pragma once

#include <cstdint>

#include "pages/report/ReportPage.h"

namespace vellumin::pages {

// Page 2: the SMART report (dialog 143), with a message line under the list for a drive
// whose layout is unknown.
class CSmartInfo : public ReportPage {
    Q_OBJECT
public:
    static constexpr int kDialogId = 143;
    static constexpr int IDC_MESSAGE = 1054;

    explicit CSmartInfo(vellumin::platform::Platform& platform);

    void HandOver(const vellumin::ui::PageDrive& drive) override;
    // Shows the message line when the report calls for it; HandOver hides it first.
    void Fill(int32_t drive) override;

protected:
    bool OnInitDialog() override;
};

}  // namespace vellumin::pages
