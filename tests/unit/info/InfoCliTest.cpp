// vellumin-cli info / smart on the simulated lab: the table and the JSON carry the rows the
// engines decode.

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "pages/driveinfo/DriveInfoReport.h"
#include "pages/smart/SmartDispatch.h"
#include "platform/sim/SimPlatform.h"
#include "tests/unit/erase/EraseTestUtil.h"

namespace vellumin::cli {
namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The table as the CLI prints it: labels padded to the widest plus two blanks.
std::vector<std::string> TableLines(const pages::ReportRows& rows) {
    size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.label.size());
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        lines.push_back(row.label + std::string(width - row.label.size() + 2, ' ') + row.value);
    }
    return lines;
}

// The page's rows followed by the connection row of a lab drive (on a SATA port).
pages::ReportRows WithConnection(pages::ReportRows rows) {
    rows.push_back(pages::ConnectionRow(platform::DriveConnection::SataPort));
    return rows;
}

// Literal rows, so that a decoder fault shows here instead of being shared by the expectation.
TEST(LabCli, InfoAndSmartRowsAsPrinted) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    } cases[] = {
        {{"info", "5"},
         {"Physical Disk Number     5",
          "Serial Number            0012A1114930        ",
          "Firmware Version         VQ0412  ",
          "Model Number             VQ V120 SSD 128GB                       ",
          "NCQ Support              Supported",
          "Major Version Number     Support ATA/ATAPI-8",
          "SMART Support/Status     Supported/Enabled",
          "Security Support/Enable  Supported/Enabled",
          "APM Support/Enable       Supported/Disabled",
          "Interface Type           Serial ATA",
          "Trim Command Support     Supported",
          "Transfer Mode            Ultra DMA mode 6",
          "Serial ATA Capabilities  Support SATA Gen3 Signaling Speed",
          "Connection               SATA port"}},
        {{"smart", "1"},
         {"Power Cycle Count    412", "Average Erase Count  87", "Maximum Erase Count  132",
          "Minimum Erase Count  21"}},
        {{"smart", "9"},
         {"Power-On Hour Count  3211", "Power Cycle Count    588", "Maximum Erase Count  97",
          "Average Erase Count  52", "Minimum Erase Count  18"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        std::vector<std::string> args = {"--simulate"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result text = Cli(args);
        ASSERT_EQ(text.code, ExitOk) << text.err;
        EXPECT_EQ(Lines(text.out), c.lines);
        // The JSON carries the same rows, label and value apart.
        args.push_back("--json");
        const auto doc = nlohmann::json::parse(Cli(args).out);
        ASSERT_EQ(doc["rows"].size(), c.lines.size());
        const std::string& first = c.lines[0];
        EXPECT_EQ(first.rfind(doc["rows"][0]["label"].get<std::string>(), 0), 0u);
        EXPECT_EQ(first.substr(first.size() - doc["rows"][0]["value"].get<std::string>().size()),
                  doc["rows"][0]["value"]);
    }
    // An empty slot is no drive, not an empty table.
    const Result none = Cli({"--simulate", "info", "15"});
    EXPECT_EQ(none.code, ExitNoDrive);
    EXPECT_NE(none.err, "");
}

// Figures of the built-in lab's drives that each exercise one rule end to end.
TEST(LabCli, DefaultLabDrivesShowTheirRule) {
    auto row = [](const std::string& drive, const std::string& command, size_t index) {
        const auto doc = nlohmann::json::parse(Cli({"--simulate", "--json", command, drive}).out);
        return doc["rows"].at(index);
    };
    EXPECT_EQ(row("2", "smart", 1)["value"], "65536");                // SMI, 24-bit count
    EXPECT_EQ(row("8", "smart", 2)["value"], "10000");                // model series
    EXPECT_EQ(row("13", "info", 10)["value"], "Not Supported");       // "SMI2242 "
    EXPECT_EQ(row("13", "smart", 0)["label"], "Power Cycle Count");   // SMI decoder
    EXPECT_EQ(row("6", "smart", 2)["label"], "Average Erase Count");  // by revision
    EXPECT_EQ(Cli({"--simulate", "smart", "7"}).out,
              "The selected drive does not support this function.\n");
    const Result none = Cli({"--simulate", "smart", "12"});
    EXPECT_EQ(none.code, ExitOk);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("no SMART layout"), std::string::npos);
}

class TempLab {
public:
    explicit TempLab(const std::string& json)
        : m_path(std::filesystem::temp_directory_path() /
                 ("vellumin-info-" + std::to_string(getpid()) + ".json")) {
        std::ofstream(m_path) << json;
    }
    ~TempLab() { std::filesystem::remove(m_path); }
    std::string path() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// What the README tells a user to do with a real drive: dump both blocks, put them in a lab.
TEST(LabCli, DriveReproducedFromRawDumps) {
    for (const char* drive : {"3", "8", "13"}) {
        SCOPED_TRACE(drive);
        const auto identify =
            nlohmann::json::parse(Cli({"--simulate", "--json", "identify", "--raw", drive}).out);
        const auto smart =
            nlohmann::json::parse(Cli({"--simulate", "--json", "smart", "--raw", drive}).out);
        nlohmann::json labJson;
        labJson["drives"] = {{{"slot", 0},
                              {"identifyHex", identify["identifyHex"]},
                              {"smartHex", smart["smartHex"]}}};
        const TempLab lab(labJson.dump());

        const auto original =
            nlohmann::json::parse(Cli({"--simulate", "--json", "smart", drive}).out);
        const Result copy = Cli({"--simulate=" + lab.path(), "--json", "smart", "0"});
        ASSERT_EQ(copy.code, ExitOk) << copy.err;
        EXPECT_EQ(nlohmann::json::parse(copy.out)["rows"], original["rows"]);

        auto infoOriginal =
            nlohmann::json::parse(Cli({"--simulate", "--json", "info", drive}).out)["rows"];
        auto infoCopy = nlohmann::json::parse(
            Cli({"--simulate=" + lab.path(), "--json", "info", "0"}).out)["rows"];
        infoOriginal.erase(0);  // the drive number
        infoCopy.erase(0);
        EXPECT_EQ(infoCopy, infoOriginal);
    }
}

TEST(LabCli, MessageStaysBelowModelSeriesRows) {
    const TempLab lab(
        R"({"drives": [{"slot": 2, "model": "VQ KD3308 SSD 120GB", "firmware": "V0826",
        "sectors": 1000000, "smart": {"controller": "VX1000", "attributes": [{"id": 9, "raw": 77}]}}]})");
    const Result r = Cli({"--simulate=" + lab.path(), "smart", "2"});
    ASSERT_EQ(r.code, ExitOk) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0].substr(0, 14), "Power-On Hours");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "77");
    EXPECT_EQ(lines[10], "The selected drive does not support this function.");
}

TEST(InfoCli, BadDriveArguments) {
    EXPECT_EQ(Cli({"--simulate", "info", "16"}).code, ExitNoDrive);
    EXPECT_EQ(Cli({"--simulate", "smart", "x"}).code, ExitUsage);
    EXPECT_EQ(Cli({"--simulate", "info"}).code, ExitUsage);
}

// A drive that cannot be opened says why: held by another program, no rights, or not there.
TEST(ReportCli, VerboseAndJsonTellABusyDriveFromAMissingOne) {
    platform::sim::DriveDescription drive;
    drive.model = "VQ 240GB SSD";
    drive.sectors = 1000000;
    drive.transport.openFails = true;
    platform::sim::LabDescription desc;
    desc.drives[0] = drive;
    desc.drives[1] = drive;
    desc.drives[1]->transport.openErrno = EACCES;
    const struct {
        const char* drive;
        const char* openError;
        int errorNumber;
        const char* why;
    } cases[] = {
        {"0", "busy", 16, "held open by another program (errno 16: Device or resource busy)"},
        {"1", "noRights", 13, "no rights to open it (errno 13: Permission denied)"},
        {"2", "missing", 2, "no such disk (errno 2: No such file or directory)"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"info", "smart"}) {
            std::ostringstream out, err;
            EXPECT_EQ(RunCli({"--verbose", "--json", command, c.drive}, out, err,
                             std::make_unique<platform::sim::SimPlatform>(desc)),
                      ExitNoDrive);
            EXPECT_EQ(err.str(), std::string("Physical drive ") + c.drive + " cannot be opened: " + c.why +
                                     "\nPhysical drive " + c.drive + " is not present or cannot be opened.\n");
            const auto document = nlohmann::json::parse(out.str());
            ASSERT_EQ(document["notDelivered"].size(), 1u) << command << c.drive;
            EXPECT_EQ(document["notDelivered"][0]["command"], "open");
            EXPECT_EQ(document["notDelivered"][0]["openError"], c.openError);
            EXPECT_EQ(document["notDelivered"][0]["errno"], c.errorNumber);
        }
    }
}

}  // namespace
}  // namespace vellumin::cli

namespace vellumin::cli {
namespace {

// The lab's drives attached as the Linux machine fixture's disks: the row after the thirteen
// and the JSON field name each drive's connection.
TEST(InfoCli, ConnectionOfEachDriveOfTheMachineFixture) {
    const struct {
        int drive;
        const char* key;
        const char* value;
    } cases[] = {
        {0, "sata", "SATA port"}, {3, "sata", "SATA port"}, {4, "usb", "USB"},
        {6, "unknown", "Unknown"}, {8, "sata", "SATA port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drive);
        std::ostringstream out, err, jsonOut;
        ASSERT_EQ(RunCli({"info", std::to_string(c.drive)}, out, err,
                         std::make_unique<erase::test::FixtureConnections>()),
                  ExitOk);
        const auto lines = Lines(out.str());
        ASSERT_EQ(lines.size(), 14u);
        EXPECT_EQ(lines[13].rfind("Connection ", 0), 0u) << lines[13];
        EXPECT_TRUE(lines[13].ends_with(std::string("  ") + c.value)) << lines[13];
        ASSERT_EQ(RunCli({"--json", "info", std::to_string(c.drive)}, jsonOut, err,
                         std::make_unique<erase::test::FixtureConnections>()),
                  ExitOk);
        const auto doc = nlohmann::json::parse(jsonOut.str());
        EXPECT_EQ(doc["connection"], c.key);
        EXPECT_EQ(doc["rows"][13]["value"], c.value);
    }
}

// A drive that opens but does not deliver one read is still shown, row for row as the page
// shows it from the empty block; only a drive that cannot be opened is no drive.
TEST(ReportCli, AReadNotDeliveredShowsTheRowsAndFails) {
    platform::sim::DriveDescription base;
    base.model = "VQ 240GB SSD";
    base.sectors = 1000000;
    base.firmware = "101202B";  // chooses its decoder without the SMART block's name
    platform::sim::LabDescription desc;
    desc.drives[0] = base;
    desc.drives[0]->transport.undeliveredCommands = {0xB0};  // SMART
    desc.drives[1] = base;
    desc.drives[1]->transport.undeliveredCommands = {0xEC};  // IDENTIFY DEVICE
    desc.drives[2] = base;
    desc.drives[2]->transport.openFails = true;
    platform::sim::SimPlatform reference(desc);
    const auto blocks = [&](int n) {
        return pages::ReadDriveBlocks(reference.Drives(), n, pages::ReadOrder::IdentifyFirst);
    };
    const struct {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> out;
        std::string err;
    } cases[] = {
        {{"smart", "0"}, ExitFailure,
         TableLines(pages::DecodeSmart(blocks(0).smart, blocks(0).identify).rows),
         "Physical drive 0: SMART READ DATA was not delivered; the rows show empty values.\n"},
        {{"smart", "0", "--raw"}, ExitFailure, {}, "Physical drive 0: SMART READ DATA was not delivered.\n"},
        {{"info", "1"}, ExitFailure, TableLines(WithConnection(pages::DriveInfoRows(1, blocks(1).identify, blocks(1).smart))),
         "Physical drive 1: IDENTIFY DEVICE was not delivered; the rows show empty values.\n"},
        {{"info", "2"}, ExitNoDrive, {}, "Physical drive 2 is not present or cannot be opened.\n"},
        {{"smart", "2"}, ExitNoDrive, {}, "Physical drive 2 is not present or cannot be opened.\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        const int code = RunCli(c.args, out, err, std::make_unique<platform::sim::SimPlatform>(desc));
        EXPECT_EQ(code, c.code) << c.args[0] << c.args[1];
        EXPECT_EQ(Lines(out.str()), c.out) << c.args[0] << c.args[1];
        EXPECT_EQ(err.str(), c.err);
    }
}

// With --verbose and in the JSON, a read that was not delivered carries the transport's reason.
TEST(ReportCli, VerboseAndJsonSayWhyAReadWasNotDelivered) {
    platform::sim::DriveDescription drive;
    drive.model = "VQ 240GB SSD";
    drive.sectors = 1000000;
    drive.transport.undeliveredCommands = {ata::cmd::kSmart};
    platform::sim::LabDescription desc;
    desc.drives[0] = drive;

    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"--verbose", "smart", "0"}, out, err, std::make_unique<platform::sim::SimPlatform>(desc)),
              ExitFailure);
    EXPECT_EQ(err.str(),
              "Physical drive 0: SMART READ DATA was not delivered; the rows show empty values.\n"
              "Physical drive 0: SMART READ DATA: refused by the lab's transport\n");

    std::ostringstream jsonOut, jsonErr;
    RunCli({"--json", "info", "0"}, jsonOut, jsonErr, std::make_unique<platform::sim::SimPlatform>(desc));
    const auto document = nlohmann::json::parse(jsonOut.str());
    ASSERT_EQ(document["notDelivered"].size(), 1u);
    EXPECT_EQ(document["notDelivered"][0]["command"], "SMART READ DATA");
    EXPECT_EQ(document["notDelivered"][0]["stage"], "refused by the lab's transport");
}

}  // namespace
}  // namespace vellumin::cli
