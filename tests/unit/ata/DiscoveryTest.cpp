#include <gtest/gtest.h>

#include "tests/unit/ata/FakeDrives.h"
#include "transport/Discovery.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::ata {
namespace {

using test::FakeDriveSystem;
using test::MakeIdentify;

void AddDrive(FakeDriveSystem& lab, int n, const std::string& model, uint16_t rotation = 0x0001) {
    lab.drives[n].data = MakeIdentify(model, rotation);
}

TEST(DiscoverDrives, RowsForEachKindOfDrive) {
    FakeDriveSystem lab;
    AddDrive(lab, 0, "VQ500 SSD");              // no volumes: no brackets
    AddDrive(lab, 1, "vq500 SSD");              // prefix compared exactly
    AddDrive(lab, 2, "VQ500 SSD", 0x0000);      // rate not reported
    AddDrive(lab, 3, "VQ500 SSD", 0x1C20);      // 7200 rpm
    AddDrive(lab, 4, "VQ1T  PRO   ");           // volumes C: and E:, removable F: left out
    AddDrive(lab, 5, "XX500 SSD");
    lab.volumes = {{"C", 4}, {"D", 5}, {"E", 4}, {"F", 4, true}, {"G", -1}, {"H", 16}};

    const auto d = DiscoverDrives(lab);
    EXPECT_EQ(d.rows, (std::vector<std::string>{" VQ500 SSD ", " VQ1T  PRO (C: E: )"}));
    EXPECT_EQ(d.table.count, 2);
    EXPECT_EQ(d.table.rowToDrive[0], 0);
    EXPECT_EQ(d.table.rowToDrive[1], 4);
    EXPECT_EQ(d.table.modelText[4], "VQ1T  PRO");
    EXPECT_EQ(d.table.prefixText[1], "vq");
    EXPECT_EQ(d.table.rotationText[3], "0x1C20");
    EXPECT_EQ(d.table.volumes[4], (std::vector<std::string>{"C", "E"}));
    EXPECT_EQ(d.table.identify[4], lab.drives[4].data);

    // Missing drives keep an all-zero copy: "0x0000", empty prefix.
    EXPECT_EQ(d.table.identify[9], IdentifyBlock{});
    EXPECT_EQ(d.table.rotationText[9], "0x0000");
    EXPECT_EQ(d.table.prefixText[9], "");
    EXPECT_EQ(lab.openAttempts.size(), 16u);
}

TEST(DiscoverDrives, MapFollowsDriveNumbersAndMountPointsKeepTheirNames) {
    FakeDriveSystem lab;
    AddDrive(lab, 1, "VQ-A");
    AddDrive(lab, 3, "VQ-B");
    lab.volumes = {{"/", 3}, {"/home", 3}, {"/media/usb", 3, true}};
    const auto d = DiscoverDrives(lab);
    EXPECT_EQ(d.table.count, 2);
    EXPECT_EQ(d.table.rowToDrive[0], 1);
    EXPECT_EQ(d.table.rowToDrive[1], 3);
    EXPECT_EQ(d.rows, (std::vector<std::string>{" VQ-A ", " VQ-B (/ /home )"}));
}

TEST(DiscoverDrives, NothingCompatibleGivesTheSingleNoticeRow) {
    FakeDriveSystem lab;
    AddDrive(lab, 0, "Other SSD");
    const auto d = DiscoverDrives(lab);
    EXPECT_EQ(d.rows, (std::vector<std::string>{" No compatible device found! "}));
    EXPECT_EQ(d.table.count, 0);
    EXPECT_EQ(d.table.DriveOfRow(0), -1);
}

TEST(DiscoverDrives, RediscoveryRewritesTheTableInPlace) {
    FakeDriveSystem lab;
    AddDrive(lab, 2, "VQ-A");
    lab.volumes = {{"C", 2}};
    DriveTable table;
    DiscoverDrives(lab, table);
    const IdentifyBlock* page = &table.identify[2];

    lab.drives.erase(2);
    AddDrive(lab, 5, "VQ-B");
    const auto rows = DiscoverDrives(lab, table);
    EXPECT_EQ(rows, (std::vector<std::string>{" VQ-B "}));  // C: stayed with the gone disk 2
    EXPECT_EQ(table.count, 1);
    EXPECT_EQ(table.rowToDrive[0], 5);
    EXPECT_EQ(*page, IdentifyBlock{});
}

TEST(DriveTable, SelectedRowFallsBackToRowZero) {
    DriveTable table;
    table.count = 2;
    table.rowToDrive = {1, 3};
    EXPECT_EQ(table.DriveOfRow(1), 3);
    EXPECT_EQ(table.DriveOfRow(2), 1);
    EXPECT_EQ(table.DriveOfRow(-1), 1);
    EXPECT_EQ(table.EffectiveRow(15), 0);
}

}  // namespace
}  // namespace vellumin::ata

namespace vellumin::ata {
namespace {

// The built-in lab: other makers, rotating and unopenable drives filtered out; removable G:
// (on drive 1) and H: (several disks) contribute nothing.
TEST(DiscoverDrives, BuiltInLab) {
    auto lab = platform::sim::CreateSimPlatform();
    const auto d = DiscoverDrives(lab->Drives());
    EXPECT_EQ(d.table.count, 13);
    EXPECT_EQ(d.rows.size(), 13u);
    EXPECT_EQ(d.rows[0], " VQ S300 SSD 128GB (C: D: )");
    EXPECT_EQ(d.rows[1], " VQ S210 SSD 64GB (E: )");
    EXPECT_EQ(d.rows[9], " VQ S300 SSD 240GB (F: )");
    const std::vector<int> map(d.table.rowToDrive.begin(), d.table.rowToDrive.begin() + d.table.count);
    EXPECT_EQ(map, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14}));
    EXPECT_EQ(d.table.prefixText[12], "VQ");
    EXPECT_EQ(d.table.rotationText[12], "0x1C20");
    EXPECT_EQ(d.table.identify[15], IdentifyBlock{});  // open fails
}

}  // namespace
}  // namespace vellumin::ata
