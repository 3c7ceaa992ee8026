// The drive-information and SMART pages filled by the main window on the simulated lab: the
// rows reach the report lists at their places, and the SMART message line comes and goes.
#include <gtest/gtest.h>
#include <QApplication>

#include "app/CVelluminDlg.h"
#include "transport/Transport.h"
#include "pages/driveinfo/CDriveInfo.h"
#include "pages/driveinfo/DriveInfoReport.h"
#include "pages/smart/CSmartInfo.h"
#include "pages/smart/SmartDispatch.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"

namespace vellumin::pages {

namespace {

using platform::sim::SimPlatform;

constexpr const char* kMessage = "The selected drive does not support this function.";

std::vector<pages::ReportRow> ListRows(controls::CSelectListCtrl& list) {
    std::vector<pages::ReportRow> rows;
    for (int r = 0; r < list.GetItemCount(); ++r) {
        EXPECT_EQ(list.GetItemText(r, 0), QString()) << "row " << r;
        rows.push_back(
            {list.GetItemText(r, 1).toStdString(), list.GetItemText(r, 2).toStdString()});
    }
    return rows;
}

class InfoPagesTest : public ::testing::Test {
protected:
    InfoPagesTest() { UseLab(platform::sim::DefaultLab()); }
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }

    // The main window opened on `page` with the list row of physical drive `drive` selected.
    std::unique_ptr<app::CVelluminDlg> Open(int page, int drive) {
        auto dlg = std::make_unique<app::CVelluminDlg>(*lab);
        dlg->SetCurrentPage(page);
        dlg->SetSelectedRow(RowOf(drive));
        dlg->Create(nullptr);
        return dlg;
    }

    int RowOf(int drive) {
        for (size_t r = 0; r < rows.size(); ++r) {
            if (rows[r] == drive) {
                return static_cast<int>(r);
            }
        }
        ADD_FAILURE() << "drive " << drive << " is not listed";
        return 0;
    }

    void Select(app::CVelluminDlg& dlg, int drive) { dlg.DriveList().SetSelectedRow(RowOf(drive)); }

    void UseLab(platform::sim::LabDescription desc) {
        lab = std::make_unique<SimPlatform>(std::move(desc));
        rows.clear();
        for (int n = 0; n < 16; ++n) {
            ata::IdentifyBlock block{};
            if (ata::IdentifyDevice(lab->Drives(), n, block) && ata::PrefixText(block) == "VQ" &&
                ata::RotationText(block) == "0x0001") {
                rows.push_back(n);
            }
        }
    }

    pages::ReportRows InfoRows(int drive) {
        const auto blocks =
            pages::ReadDriveBlocks(lab->Drives(), drive, pages::ReadOrder::IdentifyFirst);
        pages::ReportRows report = pages::DriveInfoRows(drive, blocks.identify, blocks.smart);
        report.push_back(pages::ConnectionRow(lab->Drives().Connection(drive)));
        return report;
    }

    std::unique_ptr<SimPlatform> lab;
    std::vector<int> rows;  // list row -> physical drive
    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes useBoxes{boxes};
};

TEST_F(InfoPagesTest, DriveInfoPageShowsTheThirteenRows) {
    auto dlg = Open(1, 3);
    auto* page = dynamic_cast<CDriveInfo*>(dlg->Page(1));
    ASSERT_NE(page, nullptr);
    controls::CSelectListCtrl& list = page->ReportList();
    EXPECT_EQ(ListRows(list), InfoRows(3));
    EXPECT_EQ(list.GetItemText(3, 2).toStdString(), "VQ M500 SSD 120GB" + std::string(23, ' '));
    EXPECT_EQ(list.GetColumnWidth(1), 200);
    EXPECT_EQ(list.GetColumnWidth(2), 249);
    EXPECT_FALSE(list.GetHighlight());

    // Another drive refills the shown page from scratch.
    Select(*dlg, 13);
    EXPECT_EQ(ListRows(list), InfoRows(13));
    EXPECT_EQ(list.GetItemText(10, 2).toStdString(), "Not Supported");  // "SMI2242 " hides TRIM
    EXPECT_EQ(list.GetItemText(0, 2).toStdString(), "13");
}

// How the drive is attached comes after the thirteen rows, which keep their places.
TEST_F(InfoPagesTest, ConnectionRowFollowsTheThirteen) {
    auto desc = platform::sim::DefaultLab();
    desc.drives[3]->connection = platform::DriveConnection::Usb;
    UseLab(std::move(desc));
    auto dlg = Open(1, 3);
    controls::CSelectListCtrl& list = dynamic_cast<CDriveInfo*>(dlg->Page(1))->ReportList();
    ASSERT_EQ(list.GetItemCount(), 14);
    EXPECT_EQ(list.GetItemText(12, 1).toStdString(), "Serial ATA Capabilities");
    EXPECT_EQ(list.GetItemText(13, 1).toStdString(), "Connection");
    EXPECT_EQ(list.GetItemText(13, 2).toStdString(), "USB");
    Select(*dlg, 1);
    EXPECT_EQ(list.GetItemText(13, 2).toStdString(), "SATA port");
}

TEST_F(InfoPagesTest, InvalidWord87LeavesRowsSixAndSevenBlankInPlace) {
    auto desc = platform::sim::DefaultLab();
    desc.drives[3]->identifyWords[87] = 0x0000;
    UseLab(std::move(desc));
    auto dlg = Open(1, 3);
    controls::CSelectListCtrl& list = dynamic_cast<CDriveInfo*>(dlg->Page(1))->ReportList();
    ASSERT_EQ(list.GetItemCount(), 14);
    for (int r : {6, 7}) {
        EXPECT_EQ(list.GetItemText(r, 1), QString());
        EXPECT_EQ(list.GetItemText(r, 2), QString());
    }
    EXPECT_EQ(list.GetItemText(8, 1).toStdString(), "APM Support/Enable");
    EXPECT_EQ(list.GetItemText(12, 1).toStdString(), "Serial ATA Capabilities");
}

TEST_F(InfoPagesTest, UnreadableDriveShowsNoEarlierDrivesIdentity) {
    auto dlg = Open(1, 3);
    auto* page = dynamic_cast<CDriveInfo*>(dlg->Page(1));
    page->Fill(15);  // held by another program: both reads fail
    controls::CSelectListCtrl& list = page->ReportList();
    ASSERT_EQ(list.GetItemCount(), 14);
    EXPECT_EQ(list.GetItemText(0, 2).toStdString(), "15");
    EXPECT_EQ(list.GetItemText(1, 2).toStdString(), "");
    EXPECT_EQ(list.GetItemText(3, 2).toStdString(), "");
}

TEST_F(InfoPagesTest, SmartPageRowsAndMessageLine) {
    auto dlg = Open(2, 7);
    auto* page = dynamic_cast<CSmartInfo*>(dlg->Page(2));
    ASSERT_NE(page, nullptr);
    controls::CSelectListCtrl& list = page->ReportList();
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(page->IsItemShown(CSmartInfo::IDC_MESSAGE));
    EXPECT_EQ(page->ItemText(CSmartInfo::IDC_MESSAGE), kMessage);
    EXPECT_EQ(list.GetColumnWidth(1), 225);
    EXPECT_EQ(list.GetColumnWidth(2), 224);

    // The main window hides the line before the next fill; a decoded drive leaves it hidden.
    Select(*dlg, 3);
    EXPECT_FALSE(page->IsItemShown(CSmartInfo::IDC_MESSAGE));
    ASSERT_EQ(list.GetItemCount(), 8);
    EXPECT_EQ(list.GetItemText(5, 1).toStdString(), "Current Temperature");
    EXPECT_EQ(list.GetItemText(5, 2).toStdString(), "37C (98F)");

    // Model series on SM2246: only the model-series rows, the blank two included.
    Select(*dlg, 8);
    ASSERT_EQ(list.GetItemCount(), 9);
    EXPECT_EQ(list.GetItemText(2, 1).toStdString(), "Device Power Cycle Time");
    EXPECT_EQ(list.GetItemText(2, 2).toStdString(), "10000");
    EXPECT_EQ(list.GetItemText(8, 1), QString());
    EXPECT_FALSE(page->IsItemShown(CSmartInfo::IDC_MESSAGE));
}

TEST_F(InfoPagesTest, MessageStaysUnderModelSeriesRows) {
    auto desc = platform::sim::DefaultLab();
    desc.drives[7]->model = "VQ KD3308 SSD 30GB";
    UseLab(std::move(desc));
    auto dlg = Open(2, 7);
    auto* page = dynamic_cast<CSmartInfo*>(dlg->Page(2));
    EXPECT_EQ(page->ReportList().GetItemCount(), 9);
    EXPECT_EQ(page->ReportList().GetItemText(0, 2).toStdString(), "900");
    EXPECT_TRUE(page->IsItemShown(CSmartInfo::IDC_MESSAGE));

    // The line is white on the page, in the 12-point font.
    QWidget* line = page->Item(CSmartInfo::IDC_MESSAGE);
    EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(line->font().pixelSize(), ui::PointFont(120).pixelSize());
    EXPECT_FALSE(line->autoFillBackground());
}

}  // namespace

}  // namespace vellumin::pages
