// vellumin-cli metrics on labs: the figures the lab's drives imply, recorded scans, drives that
// do not answer and awkward drive texts.

#include <chrono>

#include "tests/unit/metrics/MetricsTestUtil.h"
#include "cli/ScanRecord.h"

namespace vellumin::test {
namespace {

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// What the built-in lab implies, after a full recorded scan of drive 9 (uncorrectable sector
// at LBA 1,000,000).
const std::map<std::string, double> kDefaultLabSeries{
    {"vellumin_drive_info{controller=SMI2242,drive=1,firmware=S210V12,model=VQ S210 SSD "
     "64GB,serial=AB1405300981}",
     1},
    {"vellumin_scrape_success{drive=9}", 1},
    {"vellumin_capacity_bytes{drive=10}", 300'000'000.0 * 512},
    {"vellumin_trim_supported{drive=1}", 0},  // an SMI2242 drive's TRIM bit is not trusted
    {"vellumin_trim_supported{drive=3}", 1},
    {"vellumin_security_enabled{drive=4}", 1},
    {"vellumin_security_locked{drive=5}", 1},
    {"vellumin_security_frozen{drive=6}", 1},
    {"vellumin_erase_count_max{controller=SMI2242,drive=1}", 132},
    {"vellumin_erase_count_avg{controller=SMI2242,drive=1}", 87},
    {"vellumin_erase_count_max{controller=SM2246,drive=9}", 97},
    {"vellumin_erase_count_min{controller=JMF667,drive=3}", 12},
    {"vellumin_temperature_celsius{controller=JMF667,drive=3}", 37},
    {"vellumin_power_on_seconds_total{controller=JMF667,drive=3}", 2645.0 * 3600},
    {"vellumin_scan_last_ending{drive=9,ending=failed,mode=full}", 1},
    {"vellumin_scan_last_ending{drive=9,ending=completed,mode=full}", 0},
    {"vellumin_scan_last_first_failing_lba{drive=9}", 1'000'000},
    {"vellumin_scan_last_chunks_read{drive=9}", 3952},
};

const std::vector<int> kListedDrives{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14};

// Checks `text` against the lab: every listed drive published, the table's values, a finish
// time within [from, to].
void ExpectDefaultLab(const std::string& text, int64_t from, int64_t to) {
    const auto samples = ParseSamples(text);
    for (int drive : kListedDrives) {
        const std::string d = std::to_string(drive);
        EXPECT_EQ(samples.count("vellumin_scrape_success{drive=" + d + "}"), 1u) << d;
    }
    for (const auto& [series, value] : kDefaultLabSeries) {
        const auto found = samples.find(series);
        ASSERT_NE(found, samples.end()) << series;
        EXPECT_EQ(found->second, value) << series;
    }
    const double finished = samples.at("vellumin_scan_last_finished_timestamp_seconds{drive=9}");
    EXPECT_GE(finished, from);
    EXPECT_LE(finished, to);
    EXPECT_EQ(samples.count("vellumin_scan_last_chunks_read{drive=3}"), 0u);  // never scanned
}

TEST(MetricsCli, DefaultLabAfterARecordedScan) {
    StateFolder folder;
    const int64_t before = Now();
    EXPECT_EQ(CliRun({"--simulate", "scan", "9", "--full", "--record"}).code, cli::ExitFailure);
    const int64_t after = Now();

    CliRun metrics({"--simulate", "metrics"});
    ASSERT_EQ(metrics.code, cli::ExitOk) << metrics.err.str();
    EXPECT_EQ(metrics.err.str(), "");
    ExpectDefaultLab(metrics.out.str(), before, after);

    // The file holds the same text and nothing is left beside it.
    const auto file = folder.path() / "out" / "vellumin.prom";
    fs::create_directories(file.parent_path());
    ASSERT_EQ(CliRun({"--simulate", "metrics", "--output", file.string()}).code, cli::ExitOk);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
    std::string lint;
    if (Installed(kPromtool)) {
        EXPECT_EQ(RunTool({kPromtool, "check", "metrics"}, file, lint), 0) << lint;
    }

    const auto missing = folder.path() / "absent" / "vellumin.prom";
    CliRun refused({"--simulate", "metrics", "--output", missing.string()});
    EXPECT_EQ(refused.code, cli::ExitFailure);
    EXPECT_NE(refused.err.str().find("absent"), std::string::npos) << refused.err.str();
}

constexpr const char* kAwkwardLab = R"({
  "drives": [
    {"slot": 0, "model": "VQ PLAIN SSD", "serial": "PLAIN01", "sectors": 1000000,
     "smart": {"controller": "SM2246",
               "attributes": [{"id": 165, "raw": 41}, {"id": 167, "raw": 20}, {"id": 166, "raw": 3}]}},
    {"slot": 1, "model": "VQ MUTE SSD", "serial": "MUTE01", "sectors": 1000000,
     "smart": {"controller": "SM2246"}, "transport": {"undelivered": ["0xB0"]}},
    {"slot": 2, "model": "VQ \"Q\" \\ x\nY", "serial": "ODD01", "sectors": 1000000}
  ]
})";

TEST(MetricsCli, SilentDriveAndAwkwardTexts) {
    StateFolder folder;
    const auto lab = folder.path() / "lab.json";
    std::ofstream(lab) << kAwkwardLab;
    std::ofstream(folder.state() / "scan-PLAIN01.json") << "{\"record\": ";

    CliRun metrics({"--simulate=" + lab.string(), "metrics"});
    ASSERT_EQ(metrics.code, cli::ExitOk) << metrics.err.str();
    const std::string text = metrics.out.str();
    const auto samples = ParseSamples(text);
    EXPECT_EQ(samples.at("vellumin_scrape_success{drive=0}"), 1);
    EXPECT_EQ(samples.at("vellumin_scrape_success{drive=1}"), 0);
    EXPECT_EQ(samples.at("vellumin_scrape_success{drive=2}"), 1);
    EXPECT_EQ(samples.at("vellumin_erase_count_max{controller=SM2246,drive=0}"), 41);
    EXPECT_EQ(samples.count("vellumin_drive_info{controller=,drive=1,firmware=,model=VQ MUTE "
                            "SSD,serial=MUTE01}"),
              1u);
    EXPECT_NE(text.find(R"(model="VQ \"Q\" \\ x\nY")"), std::string::npos) << text;
    EXPECT_EQ(samples.count("vellumin_scan_last_chunks_read{drive=0}"), 0u);

    const std::string err = metrics.err.str();
    EXPECT_NE(err.find("Physical drive 1: SMART READ DATA was not delivered."), std::string::npos);
    EXPECT_NE(err.find("scan-PLAIN01.json: not JSON; skipped."), std::string::npos) << err;
}

std::string Lab(const std::string& drives) {
    return R"({"drives": [)" + drives + "]}";
}
std::string LabDrive(int slot, const std::string& serial) {
    return R"({"slot": )" + std::to_string(slot) + R"(, "model": "VQ A", "serial": ")" + serial +
           R"(", "sectors": 1000000, "smart": {"controller": "SM2246"}})";
}

TEST(MetricsCli, AVanishedDriveStaysAFailureUntilReplaced) {
    StateFolder folder;
    const auto lab = folder.path() / "lab.json";
    auto metrics = [&](const std::string& drives) {
        std::ofstream(lab) << Lab(drives);
        CliRun run({"--simulate=" + lab.string(), "metrics"});
        EXPECT_EQ(run.code, cli::ExitOk) << run.err.str();
        return std::make_pair(ParseSamples(run.out.str()), run.err.str());
    };
    metrics(LabDrive(0, "KEEP") + "," + LabDrive(1, "GONE") + "," + LabDrive(2, "MOVES"));
    std::ofstream(folder.state() / "scan-GONE.json")
        << cli::ScanRecordDocument({{"mode", "full"}, {"ending", "completed"}, {"chunksRead", 5}},
                                   "GONE", 1700000000)
               .dump();

    // Drive 1 stopped answering; the drive with serial MOVES is now drive 3.
    auto [samples, err] = metrics(LabDrive(0, "KEEP") + "," + LabDrive(3, "MOVES"));
    EXPECT_EQ(samples.at("vellumin_scrape_success{drive=1}"), 0);
    EXPECT_EQ(samples.count("vellumin_drive_info{controller=SM2246,drive=1,firmware=,model=VQ "
                            "A,serial=GONE}"),
              1u);
    EXPECT_EQ(samples.at("vellumin_scan_last_chunks_read{drive=1}"), 5);
    EXPECT_EQ(samples.count("vellumin_scrape_success{drive=2}"), 0u);
    EXPECT_EQ(samples.at("vellumin_scrape_success{drive=3}"), 1);
    EXPECT_NE(err.find("Physical drive 1 (GONE) no longer answers."), std::string::npos) << err;

    // Still missing on the next collection; gone for good once another drive is number 1.
    EXPECT_EQ(metrics(LabDrive(0, "KEEP")).first.at("vellumin_scrape_success{drive=1}"), 0);
    const auto replaced = metrics(LabDrive(0, "KEEP") + "," + LabDrive(1, "NEW")).first;
    EXPECT_EQ(replaced.at("vellumin_scrape_success{drive=1}"), 1);
    EXPECT_EQ(replaced.count("vellumin_drive_info{controller=SM2246,drive=1,firmware=,model=VQ "
                             "A,serial=GONE}"),
              0u);

    std::ofstream(folder.state() / "drives.json") << R"({"record": "vellumin known drives"})";
    EXPECT_NE(metrics(LabDrive(0, "KEEP"))
                  .second.find("drives.json: not a list of known drives; "
                               "skipped."),
              std::string::npos);
}

}  // namespace
}  // namespace vellumin::test
