#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>

#include "tests/unit/sim/SimTestUtil.h"
#include "ata/IdentifyBlock.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::platform::sim::test {
namespace {

std::string LabErrorOf(const std::string& json, const std::string& source = "lab.json") {
    try {
        ParseLab(json, source);
    } catch (const LabError& e) {
        return e.what();
    }
    return "(accepted)";
}

// Seventeen drives that leave their slots to their places in the list.
std::string SeventeenDrives() {
    std::string drives;
    for (int i = 0; i < 17; ++i) {
        drives += std::string(i ? ", " : "") + R"({"model": "VQ X", "sectors": 1000})";
    }
    return R"({"drives": [)" + drives + "]}";
}

TEST(SimLabParse, ErrorsNameFilePlaceAndProblem) {
    const std::string ok = R"("model": "VQ X", "sectors": 1000)";
    struct Case {
        std::string json;
        std::string expected;
    };
    const Case cases[] = {
        {R"({"drives": [{)" + ok + R"(}, {)" + ok + R"(}, {)" + ok + R"(}, {"model": 5, "sectors": 1}]})",
         "lab.json: drives[3].model: expected a string, found a number"},
        {R"({"drives": [{"model": ")" + std::string(41, 'x') + R"(", "sectors": 1}]})",
         "lab.json: drives[0].model: longer than 40 characters"},
        {R"({"drives": [{"model": "VQ"}]})", "lab.json: drives[0]: missing key \"sectors\""},
        {SeventeenDrives(), "lab.json: drives[16]: no slot left: a lab holds 16 drives (slots 0-15)"},
        {R"({"drives": [{)" + ok + R"(, "modle": "x"}]})", "lab.json: drives[0].modle: unknown key"},
        {R"({"drives": [{)" + ok + R"(, "slot": 16}]})", "lab.json: drives[0].slot: value 16 is out of range 0-15"},
        {R"({"drives": [{)" + ok + R"(, "slot": 2}, {)" + ok + R"(, "slot": 2}]})",
         "lab.json: drives[1]: slot 2 is used twice"},
        {R"({"drives": [{)" + ok + R"(, "rotationRate": -1}]})", "lab.json: drives[0].rotationRate: value -1 is negative"},
        {R"({"drives": [{)" + ok + R"(, "rotationRate": "0xZZ"}]})",
         "lab.json: drives[0].rotationRate: \"0xZZ\" is not a number (decimal or 0x hexadecimal)"},
        {R"({"drives": [{)" + ok + R"(, "identifyWords": {"256": 1}}]})",
         "lab.json: drives[0].identifyWords.256: word 256 is outside 0-255"},
        {R"({"drives": [{)" + ok + R"(, "smartBytes": {"3": 256}}]})",
         "lab.json: drives[0].smartBytes.3: value 256 is out of range 0-255"},
        {R"({"drives": [{"identifyHex": "00ff"}]})",
         "lab.json: drives[0].identifyHex: expected 512 bytes (1024 hex digits), found 4 digits"},
        {R"({"drives": [{)" + ok + R"(, "security": {"level": "ultra"}}]})",
         "lab.json: drives[0].security.level: expected \"high\" or \"maximum\", found \"ultra\""},
        {R"({"drives": [{)" + ok + R"(, "smart": {"attributes": [{"id": 9}, {"raw": 1}]}}]})",
         "lab.json: drives[0].smart.attributes[1]: missing key \"id\""},
        {R"({"drives": [{)" + ok + R"(, "smart": {"attributes": "smi"}}]})",
         "lab.json: drives[0].smart.attributes: no table \"smi\" in smartTables"},
        {R"({"drives": [{)" + ok + R"(, "faults": [{"lba": 5, "count": 0}]}]})",
         "lab.json: drives[0].faults[0].count: must be at least 1"},
        {R"({"volumes": [{"name": "C", "disk": 0}, {"name": "C", "disk": 1}]})",
         "lab.json: volumes[1].name: volume \"C\" is listed twice"},
        {R"({"volumes": [{"name": "C", "disk": 17}]})", "lab.json: volumes[0].disk: value 17 is out of range -1-15"},
        {R"({"machine": {"os": {"major": "six"}}})",
         "lab.json: machine.os.major: \"six\" is not a number (decimal or 0x hexadecimal)"},
        {R"({"machine": {"trimCommand": "sometimes"}})",
         "lab.json: machine.trimCommand: expected \"works\", \"cannotStart\", \"writesNothing\" or \"noNumber\", "
         "found \"sometimes\""},
        {R"({"drives": [{)" + ok + R"(, "connection": "firewire"}]})",
         "lab.json: drives[0].connection: expected \"sata\", \"usb\", \"sas\", \"raid\", \"nvme\", "
         "\"virtual\" or \"unknown\", found \"firewire\""},
        {R"([1, 2])", "lab.json: (top level): expected an object, found an array"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LabErrorOf(c.json), c.expected) << c.json.substr(0, 120);
    }

    const std::string syntax = LabErrorOf("{\n  \"drives\": [\n    {\"model\": \"VQ\",, }\n  ]\n}", "broken.json");
    EXPECT_EQ(syntax.rfind("broken.json: line 3, column 20: invalid JSON", 0), 0u) << syntax;
}

TEST(SimLabParse, FileLoadingAndFullDriveDescription) {
    const std::string path = std::string(VELLUMIN_FIXTURES) + "/sim/small-lab.json";
    const LabDescription lab = LoadLabFile(path);
    EXPECT_EQ(lab.source, path);
    ASSERT_TRUE(lab.drives[0]);
    const DriveDescription& d = *lab.drives[0];
    EXPECT_EQ(d.model, "VQ FIXTURE SSD");
    EXPECT_EQ(d.sectors, 2000000u);
    EXPECT_EQ(d.smart.controller, "JMF612");
    ASSERT_EQ(d.smart.attributes.size(), 2u);
    EXPECT_EQ(d.smart.attributes[1].raw, 0x0000FF190028ull);
    ASSERT_EQ(d.faults.size(), 1u);
    EXPECT_EQ(d.faults[0].error, 0x40);
    EXPECT_TRUE(d.security.userPassword);
    EXPECT_EQ(d.security.level, SecurityLevel::Maximum);
    EXPECT_EQ(d.transport.undeliveredCommands, std::vector<uint8_t>{0xF4});
    EXPECT_EQ(d.readData, ReadData::Content);
    EXPECT_EQ(d.connection, DriveConnection::Usb);
    EXPECT_EQ(SimPlatform(lab).Drives().Connection(0), DriveConnection::Usb);
    EXPECT_TRUE(lab.machine.canSuspend);
    EXPECT_FALSE(lab.machine.suspendSucceeds);
    EXPECT_EQ(lab.machine.os.version.major, 6u);
    EXPECT_EQ(lab.machine.os.version.minor, 2u);
    EXPECT_EQ(lab.machine.os.wmiVersion, "6.3.9600");
    EXPECT_FALSE(lab.machine.trimEnabled);
    ASSERT_TRUE(lab.machine.FindFirmwareAnswer("VQ FIXTURE SSD", "FX01"));
    EXPECT_FALSE(lab.machine.FindFirmwareAnswer("VQ FIXTURE SSD", "FX02"));

    const std::string missing = std::string(VELLUMIN_FIXTURES) + "/sim/no-such-lab.json";
    try {
        LoadLabFile(missing);
        ADD_FAILURE() << "a missing file is a LabError";
    } catch (const LabError& e) {
        EXPECT_EQ(std::string(e.what()), missing + ": cannot be opened");
    }
    EXPECT_THROW(CreateSimPlatform(missing), LabError);
}

// The default lab must keep covering what the pages depend on.
TEST(SimDefaultLab, CoversEveryFamilyGateAndFilter) {
    const LabDescription lab = DefaultLab();
    auto platform = std::make_unique<SimPlatform>(lab);
    auto identify = [&](int slot) { return platform->Device(slot)->IdentifyData(); };
    auto controller = [&](int slot) {
        const auto smart = platform->Device(slot)->SmartData();
        return std::string(reinterpret_cast<const char*>(smart.data()) + 400, 10);
    };
    auto model = [&](int slot) { return ata::TrimRight(ata::AtaString(identify(slot), 27, 20)); };
    auto firmware = [&](int slot) { return ata::TrimRight(ata::AtaString(identify(slot), 23, 4)); };
    auto compatible = [&](int slot) {
        const auto b = identify(slot);
        return ata::AtaString(b, 27, 1) == "VQ" && ata::Word(b, 217) == 0x0001;
    };

    std::set<std::string> controllers;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ASSERT_TRUE(platform->Device(slot)) << slot;
        controllers.insert(ata::TrimRight(controller(slot).c_str()));
        EXPECT_EQ(ata::Word(identify(slot), 255) & 0xFF, 0xA5);
    }
    for (const char* name : {"SMI2242", "SMI2235", "JMF667", "SM2246", "JMF612", "JMF616"}) {
        EXPECT_TRUE(controllers.count(name)) << name;
    }
    EXPECT_EQ(controller(13).substr(0, 8), "SMI2242 ") << "blank-padded: decoded as SMI, not listed for erase";
    EXPECT_EQ(firmware(6), "101202B");
    EXPECT_EQ(firmware(7), "V0826");
    EXPECT_EQ(firmware(2), "J1227");
    EXPECT_NE(model(8).find("KM5508"), std::string::npos);

    const uint16_t status[] = {0x01, 0x01, 0x01, 0x21, 0x03, 0x07, 0x09, 0x00,
                               0x17, 0x01, 0x01, 0x01, 0x01, 0x07, 0x07, 0x01};
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(ata::Word(identify(slot), 128), status[slot]) << "slot " << slot;
    }
    EXPECT_NE(ata::Word(identify(3), 90), 0) << "enhanced erase time reported";

    EXPECT_FALSE(compatible(11)) << "other maker";
    EXPECT_FALSE(compatible(12)) << "rotating";
    EXPECT_TRUE(compatible(0) && compatible(9) && compatible(10));
    EXPECT_FALSE(platform->Drives().OpenPhysicalDrive(15)) << "held exclusively";
    EXPECT_GT(platform->Device(10)->Capacity(), uint64_t{1} << 28);
    ASSERT_EQ(lab.drives[9]->faults.size(), 1u);
    EXPECT_EQ(lab.drives[9]->faults[0].lba, lab.drives[9]->sectors / 2);

    DriveSystem& drives = platform->Drives();
    EXPECT_EQ(drives.VolumeDiskNumber("C"), 0);
    EXPECT_EQ(drives.VolumeDiskNumber("H"), -1);
    EXPECT_EQ(drives.VolumeDiskNumber("Z"), -1);
    EXPECT_TRUE(drives.IsRemovableVolume("G"));
    EXPECT_FALSE(drives.IsRemovableVolume("C"));
    EXPECT_EQ(drives.VolumeNames(), (std::vector<std::string>{"C", "D", "E", "F", "G", "H"}));
    // Listed as Windows probes them: letters C to Z in order, whatever the lab's order.
    platform->SetVolumes({{"E", 0}, {"Z", 1}, {"C", 0}, {"A", 0}, {"AB", 0}, {"/mnt", 1}, {"D", 1}});
    EXPECT_EQ(drives.VolumeNames(), (std::vector<std::string>{"C", "D", "E", "Z"}));
    EXPECT_EQ(lab.machine.windowsDirectory.substr(0, 1), "C");
    EXPECT_TRUE(platform->Sys().IsAdministrator());
    EXPECT_FALSE(platform->Sys().RelaunchElevated({}));
    const auto os = platform->Sys().OsVersion();
    ASSERT_TRUE(os);
    EXPECT_TRUE(os->windows);
    EXPECT_EQ(os->platformId, 2u);
}

TEST(SimPlatformLab, PowerCycleAllAndShellRecord) {
    LabDescription desc;
    desc.drives[5] = SmallDrive();
    desc.drives[5]->security.userPassword = PasswordFromText("pw");
    desc.drives[5]->security.startUnlocked = true;
    desc.machine.shellOpenSucceeds = false;
    SimPlatform lab(desc);
    EXPECT_FALSE(lab.Device(5)->Security().locked);
    lab.PowerCycleAll();
    EXPECT_TRUE(lab.Device(5)->Security().locked);
    EXPECT_FALSE(lab.Sys().OpenWithShell("Twinara/Twinara64.exe", "/opt"));
    ASSERT_EQ(lab.ShellOpened().size(), 1u);
    EXPECT_EQ(lab.ShellOpened()[0].first, "Twinara/Twinara64.exe");
    lab.Machine().os.versionCallFails = true;
    EXPECT_FALSE(lab.Sys().OsVersion());
}

}  // namespace
}  // namespace vellumin::platform::sim::test

namespace vellumin::platform::sim::test {
namespace {

// Damaged lab files must end in a LabError, never in another exception or a crash.
TEST(SimLabParse, DamagedFilesOnlyEverGiveLabErrors) {
    const std::string& text = DefaultLabJson();
    std::mt19937 random(20261209);
    auto survives = [](const std::string& json) {
        try {
            ParseLab(json, "fuzz.json");
        } catch (const LabError& e) {
            return std::string(e.what()).rfind("fuzz.json: ", 0) == 0;
        } catch (...) {
            return false;
        }
        return true;
    };
    EXPECT_TRUE(survives(R"({"drives": [{"model": "VQ X", "sectors": 12e0833}]})"));
    for (size_t cut = 0; cut < text.size(); cut += 211) {
        ASSERT_TRUE(survives(text.substr(0, cut))) << "cut at " << cut;
    }
    const char replacements[] = {'"', ',', '-', '0', '9', 'x', '{', ']', ' ', '\\', 'e'};
    for (int round = 0; round < 200; ++round) {
        std::string damaged = text;
        for (int k = 0; k < 3; ++k) {
            damaged[random() % damaged.size()] = replacements[random() % sizeof replacements];
        }
        ASSERT_TRUE(survives(damaged)) << "round " << round;
    }
}

}  // namespace
}  // namespace vellumin::platform::sim::test
