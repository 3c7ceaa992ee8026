// The exposition writer and the scan records: the rules of the text format, the record file's
// name, its atomic replacement and what is refused when read back.

#include <sys/stat.h>

#include "tests/unit/metrics/MetricsTestUtil.h"
#include "cli/PromText.h"
#include "cli/ScanRecord.h"

namespace vellumin::test {
namespace {

using cli::prom::EscapeLabelValue;
using cli::prom::Exposition;
using cli::prom::Family;
using cli::prom::MetricType;

TEST(PromText, LabelValuesEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"VQ S300", "VQ S300"},        {"say \"hi\"", "say \\\"hi\\\""}, {"a\\b", "a\\\\b"},
        {"two\nlines", "two\\nlines"}, {"caf\xC3\xA9", "caf\xC3\xA9"},
    };
    for (const auto& [raw, escaped] : cases) {
        EXPECT_EQ(EscapeLabelValue(raw), escaped) << raw;
    }
}

TEST(PromText, FamiliesGroupedOnceAndSeriesUnique) {
    const Family a{"t_a_total", "A.", MetricType::Counter};
    const Family b{"t_b_celsius", "B.", MetricType::Gauge};
    Exposition metrics;
    EXPECT_TRUE(metrics.Add(a, {{"drive", "0"}}, int64_t{1}));
    EXPECT_TRUE(metrics.Add(b, {{"drive", "0"}}, 0.5));
    EXPECT_TRUE(metrics.Add(a, {{"drive", "1"}}, int64_t{-2}));
    EXPECT_FALSE(metrics.Add(a, {{"drive", "1"}}, int64_t{3}));
    EXPECT_TRUE(metrics.Add(b, {}, 1e300 * 1e300));
    EXPECT_EQ(metrics.Text(),
              "# HELP t_a_total A.\n# TYPE t_a_total counter\n"
              "t_a_total{drive=\"0\"} 1\nt_a_total{drive=\"1\"} -2\n"
              "# HELP t_b_celsius B.\n# TYPE t_b_celsius gauge\n"
              "t_b_celsius{drive=\"0\"} 0.5\nt_b_celsius +Inf\n");
}

TEST(ScanRecord, StateFolderKeepsTheLabApart) {
    unsetenv("VELLUMIN_STATE_DIR");
    setenv("XDG_STATE_HOME", "/x/state", 1);
    EXPECT_EQ(cli::StateDirectory(false), "/var/lib/vellumin");
    EXPECT_EQ(cli::StateDirectory(true), "/x/state/vellumin-lab");
    unsetenv("XDG_STATE_HOME");
    setenv("VELLUMIN_STATE_DIR", "/tmp/s", 1);
    EXPECT_EQ(cli::StateDirectory(false), "/tmp/s");
    EXPECT_EQ(cli::StateDirectory(true), "/tmp/s");
    unsetenv("VELLUMIN_STATE_DIR");
}

TEST(ScanRecord, FileNameKeepsEverySerialInsideTheFolder) {
    EXPECT_EQ(cli::ScanRecordName("AB-12.x_9"), "scan-AB-12.x_9.json");
    EXPECT_EQ(cli::ScanRecordName("../A B"), "scan-..%2FA%20B.json");
    EXPECT_EQ(cli::ScanRecordName("%\xFF"), "scan-%25%FF.json");
}

TEST(ScanRecord, WrittenWholeReadableByAllNothingLeftBehind) {
    StateFolder folder;
    const auto file = folder.state() / "x.prom";
    cli::WriteFileAtomically(file, "old\n");
    cli::WriteFileAtomically(file, "new\n");
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\n");
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.state()), {}), 1);
    // A target that cannot be replaced (a folder) leaves no temporary file either.
    fs::create_directory(folder.state() / "dir");
    EXPECT_THROW(cli::WriteFileAtomically(folder.state() / "dir", "x"), std::runtime_error);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.state()), {}), 2);
}

TEST(ScanRecord, ForeignAndDamagedTextsRefused) {
    const auto summary = nlohmann::json{{"drive", 9},
                                        {"mode", "full"},
                                        {"ending", "failed"},
                                        {"chunksRead", 3952},
                                        {"firstFailingLba", 1000000}};
    const auto good = cli::ScanRecordDocument(summary, "SN1", 1700000000);
    const auto with = [&](const char* key, nlohmann::json value) {
        auto document = good;
        document[key] = std::move(value);
        return document.dump();
    };
    const auto without = [&](const char* key) {
        auto document = good;
        document.erase(key);
        return document.dump();
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", "not JSON"},
        {"{\"record\": ", "not JSON"},
        {"[1, 2]", "not a Vellumin scan record"},
        {with("record", "other tool"), "not a Vellumin scan record"},
        {with("record", 7), "not a Vellumin scan record"},
        {with("version", 2), "not a Vellumin scan record"},
        {with("serial", "SN2"), "the record of another drive"},
        {without("chunksRead"), "field \"chunksRead\" missing or malformed"},
        {with("chunksRead", -1), "field \"chunksRead\" missing or malformed"},
        {with("finishedAt", "today"), "field \"finishedAt\" missing or malformed"},
        {without("firstFailingLba"), "field \"firstFailingLba\" missing or malformed"},
        {with("ending", "exploded"), "unknown ending \"exploded\""},
    };
    for (const auto& [text, problem] : cases) {
        std::string reason;
        EXPECT_FALSE(cli::ParseScanRecord(text, "SN1", reason)) << text;
        EXPECT_EQ(reason, problem) << text;
    }
    std::string reason;
    const auto record = cli::ParseScanRecord(good.dump(), "SN1", reason);
    ASSERT_TRUE(record) << reason;
    EXPECT_EQ(record->firstFailingLba, 1000000u);
    EXPECT_EQ(record->chunksRead, 3952u);
    EXPECT_EQ(record->finishedAt, 1700000000);
}

}  // namespace
}  // namespace vellumin::test
