// The firmware-update page inside the real main window: leaving it during a download.

#include <gtest/gtest.h>

#include <filesystem>

#include <QAbstractButton>
#include <QTimer>

#include "app/CVelluminDlg.h"
#include "pages/fwupdate/CFWUpdate.h"
#include "pages/fwupdate/CFolderDialog.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"

namespace vellumin::fwupdate {

namespace {

namespace fs = std::filesystem;

TEST(UpdateInMainWindow, CloseDuringADownloadCancelsItAndLeavesNoFile) {
    auto lab = platform::sim::CreateSimLab();
    std::string pattern = (fs::temp_directory_path() / "vellumin-fwmain-XXXXXX").string();
    const std::string folder = mkdtemp(pattern.data());
    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes scoped(boxes);
    boxes.Answer(ui::kIdYes);

    app::CVelluminDlg main(*lab);
    main.SetCurrentPage(5);
    main.SetSelectedRow(3);  // the default lab lists slots in order: slot 3 is offered an update
    bool ran = false;
    QTimer::singleShot(0, &main, [&] {
        auto* page = dynamic_cast<CFWUpdate*>(main.Page(5));
        ASSERT_NE(page, nullptr);
        ui::WaitUntil([&] { return !page->IsBusy(); });
        ASSERT_TRUE(page->IsItemShown(CFWUpdate::IDC_DOWNLOAD))
            << page->ItemText(CFWUpdate::IDC_STATUS);
        {
            CFolderDialog::ScopedChooser chooser(
                [&](const std::string&) { return std::optional(folder); });
            page->ItemAs<QAbstractButton>(CFWUpdate::IDC_BROWSE)->click();
        }
        page->ItemAs<QAbstractButton>(CFWUpdate::IDC_DOWNLOAD)->click();
        ASSERT_TRUE(page->IsBusy());
        ran = true;
        main.close();  // the close box: the download is cancelled, the pages go, the visit ends
    });
    EXPECT_EQ(main.DoModal(), 2);
    ASSERT_TRUE(ran);
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

}  // namespace

}  // namespace vellumin::fwupdate
