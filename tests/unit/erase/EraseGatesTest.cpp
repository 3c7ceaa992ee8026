#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/erase/EraseTestUtil.h"
#include "pages/erase/EraseGates.h"

namespace vellumin::erase::test {
namespace {

ControllerBytes Controller(const char* bytes, size_t size) {
    ControllerBytes c{};
    std::memcpy(c.data(), bytes, size);
    return c;
}

ControllerBytes Controller(const std::string& text) {
    return Controller(text.data(), text.size());
}

TEST(EraseGates, EveryRowOfTheStateTable) {
    using Q = QuickEraseRuns;
    struct Case {
        const char* name;
        EraseGateInputs in;
        EraseGateView view;
    } cases[] = {
        {"not listed, supported OS",
         {Controller("SM2246"), true, "V1", 0x01, false, false},
         {false, std::nullopt, true, true, false, "", false, true, Q::SecurityFlow, 0}},
        {"not listed, Windows 8",
         {Controller("SM2246"), true, "V1", 0x01, true, true},
         {true, kTextOsNotSupported, false, false, false, "", false, false, Q::None, 0}},
        {"not listed, identify failed",
         {Controller(""), false, "V1", 0x01, false, true},
         {true, std::nullopt, false, false, false, "", false, false, Q::None, 0}},
        {"listed, outdated firmware, warning shown",
         {Controller("SMI2235"), true, "J1227", 0x01, false, true},
         {false, std::nullopt, true, false, false, kTextOutdatedFirmware, true, false, Q::None, 0}},
        {"listed, outdated firmware, warning hidden",
         {Controller("SMI2235"), true, "J1227", 0x01, false, false},
         {false, std::nullopt, false, false, false, kTextOutdatedFirmware, true, false, Q::None,
          0}},
        {"listed, enabled and locked",
         {Controller("JMF616"), true, "J1228", 0x07, false, true},
         {false, std::nullopt, true, false, false, kTextLocked, true, false, Q::None, 0}},
        {"listed, enabled",
         {Controller("JMF612"), true, "J1228", 0x03, false, false},
         {false, std::nullopt, false, false, false, kTextSecurityEnabled, true, false, Q::None, 0}},
        {"listed SMI",
         {Controller("SMI2242"), true, "J1228", 0x01, false, false},
         {false, std::nullopt, true, true, true, "", true, false, Q::VendorErase, 0xE4}},
        {"listed JMF, also on Windows 8 and without identify",
         {Controller("JMF612"), false, "X", 0x00, true, false},
         {false, std::nullopt, true, true, true, "", true, false, Q::VendorErase, 0xE0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideEraseGates(c.in), c.view);
    }
}

TEST(EraseGates, ControllerIsRawBytesUpToTheFirstZero) {
    EXPECT_TRUE(IsListedController(Controller("SMI2242\0XYZ", 10)));
    EXPECT_FALSE(IsListedController(Controller("SMI2242 ")));
    EXPECT_FALSE(IsListedController(Controller("smi2242")));
    EXPECT_FALSE(IsListedController(Controller("SMI22420")));
    EXPECT_TRUE(IsListedController(Controller("JMF616")));
    EXPECT_FALSE(IsListedController(Controller("JMF6160123")));  // no zero byte at all
}

TEST(EraseGates, OutdatedRevisionsAreExact) {
    for (const char* r : {"100707", "J1227", "42J0712", "20101227", "35J0603", "J0623"}) {
        EXPECT_TRUE(IsOutdatedFirmware(r)) << r;
    }
    for (const char* r : {"J1228", "j1227", "J1227 ", "", "2010122"}) {
        EXPECT_FALSE(IsOutdatedFirmware(r)) << r;
    }
}

TEST(EraseGates, OnlyWindows8And81AreRefused) {
    auto os = [](bool windows, uint32_t major, uint32_t minor) {
        platform::OsVersionRecord r;
        r.windows = windows;
        r.major = major;
        r.minor = minor;
        return std::optional(r);
    };
    EXPECT_TRUE(IsEraseUnsupportedOs(os(true, 6, 2)));
    EXPECT_TRUE(IsEraseUnsupportedOs(os(true, 6, 3)));
    EXPECT_FALSE(IsEraseUnsupportedOs(os(true, 6, 1)));
    EXPECT_FALSE(IsEraseUnsupportedOs(os(true, 10, 0)));
    EXPECT_FALSE(IsEraseUnsupportedOs(os(false, 6, 2))) << "a Linux kernel 6.2 is no Windows 8";
    EXPECT_FALSE(IsEraseUnsupportedOs(std::nullopt));
}

TEST(EraseGates, FillReadsTheLabDrive) {
    DriveDescription d = LabDrive();
    d.firmware = "J1227";
    d.smart.controller = "SMI2235";
    auto lab = LabWith(d);
    const ata::IdentifyBlock reference = lab->Device(1)->IdentifyData();
    EraseGateInputs in = ReadEraseGateInputs(lab->Drives(), 1, &reference, false, true);
    EXPECT_EQ(in.controller, Controller("SMI2235"));
    EXPECT_TRUE(in.identifyRead);
    EXPECT_EQ(in.firmwareRevision, "J1227");
    EXPECT_EQ(in.securityStatus, 0x01);

    lab->Device(1)->SetUndelivered(0xB0, true);
    lab->Device(1)->SetUndelivered(0xEC, true);
    in = ReadEraseGateInputs(lab->Drives(), 1, nullptr, true, false);
    EXPECT_EQ(in.controller, ControllerBytes{});
    EXPECT_FALSE(in.identifyRead);
    EXPECT_EQ(in.firmwareRevision, "");
}

// Before every other gate, and for both erase kinds: a listed controller is refused as well.
TEST(EraseGates, OnlyADriveOnASataPortIsOffered) {
    using C = platform::DriveConnection;
    EraseGateInputs in{Controller("SMI2242"), true, "J1228", 0x01, false, true};
    for (C connection : {C::Usb, C::Sas, C::Raid, C::Nvme, C::Virtual, C::Unknown}) {
        in.connection = connection;
        const EraseGateView view = DecideEraseGates(in);
        SCOPED_TRACE(platform::ConnectionKey(connection));
        EXPECT_EQ(view.gateMessage, ConnectionRefusal(connection));
        EXPECT_EQ(view.quick, QuickEraseRuns::None);
        EXPECT_FALSE(view.quickVisible || view.fullVisible || view.warningVisible ||
                     view.notSupportedVisible);
        EXPECT_NE(UnlockConnectionWarning(connection), "");
    }
    EXPECT_EQ(ConnectionRefusal(C::Usb),
              "The selected drive is connected through USB; secure erase is offered only for "
              "drives on a SATA port.");
    EXPECT_EQ(ConnectionRefusal(C::Raid),
              "The selected drive is connected through a RAID controller; secure erase is offered "
              "only for drives on a SATA port.");
    EXPECT_EQ(ConnectionRefusal(C::SataPort), "");
    EXPECT_EQ(UnlockConnectionWarning(C::SataPort), "");
}

// On the machine fixture's disks: the USB one is refused by name, without a command; the
// ones on ata ports reach the usual gates.
TEST(EraseGates, MachineFixtureRefusesTheUsbDisk) {
    FixtureConnections machine;
    for (int slot : {0, 1, 2, 3, 4, 5, 8}) {
        SCOPED_TRACE(slot);
        const uint32_t opens = machine.Lab().Device(slot)->Opens();
        const EraseGateInputs in = ReadEraseGateInputs(machine.Drives(), slot, nullptr, false, false);
        const EraseGateView view = DecideEraseGates(in);
        if (slot == 4) {
            EXPECT_EQ(view.gateMessage, ConnectionRefusal(platform::DriveConnection::Usb));
            EXPECT_EQ(machine.Lab().Device(slot)->Opens(), opens) << "nothing sent";
        } else {
            EXPECT_EQ(in.connection, platform::DriveConnection::SataPort);
            EXPECT_TRUE(view.quickVisible);
        }
    }
}

TEST(ElapsedTime, Texts) {
    EXPECT_EQ(ElapsedTimeText(75), "Elapsed Time:  1 min 15 sec");
    EXPECT_EQ(ElapsedTimeText(3600), "Elapsed Time:  1 hr");
    EXPECT_EQ(ElapsedTimeText(3661), "Elapsed Time:  1 hr 1 min 1 sec");
    EXPECT_EQ(ElapsedTimeText(0), "Elapsed Time: ");
}

}  // namespace
}  // namespace vellumin::erase::test
