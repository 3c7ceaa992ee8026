// vellumin-cli metrics [--output FILE]: every compatible drive's figures in Prometheus' text
// format, for node_exporter's textfile collector. The figures are the decoded rows the pages
// show, taken as numbers, never read back out of their texts.

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "transport/Discovery.h"
#include "transport/Transport.h"
#include "cli/Command.h"
#include "cli/Output.h"
#include "cli/PromText.h"
#include "cli/ScanRecord.h"
#include "pages/driveinfo/DriveInfoReport.h"
#include "pages/smart/SmartDispatch.h"
#include "pages/smart/SmartLayouts.h"

namespace vellumin::cli {
namespace {

using prom::Family;
using prom::Labels;
using prom::MetricType;

constexpr Family kDriveInfo{"vellumin_drive_info",
                            "A compatible drive: always 1, its identity in the labels.",
                            MetricType::Gauge};
constexpr Family kScrapeSuccess{"vellumin_scrape_success",
                                "1 when the drive's SMART data was read, 0 when it did not answer.",
                                MetricType::Gauge};
constexpr Family kDuration{"vellumin_scrape_duration_seconds",
                           "Time the collection of all drives took.", MetricType::Gauge};
constexpr Family kCapacity{"vellumin_capacity_bytes", "User-addressable capacity.",
                           MetricType::Gauge};
constexpr Family kTrim{"vellumin_trim_supported", "1 when the drive supports TRIM.",
                       MetricType::Gauge};
constexpr Family kSecuritySupported{"vellumin_security_supported",
                                    "1 when the drive has the ATA security feature set.",
                                    MetricType::Gauge};
constexpr Family kSecurityEnabled{"vellumin_security_enabled",
                                  "1 when a user password is set (ATA security enabled).",
                                  MetricType::Gauge};
constexpr Family kSecurityLocked{"vellumin_security_locked",
                                 "1 when the drive is locked against media access.",
                                 MetricType::Gauge};
constexpr Family kSecurityFrozen{"vellumin_security_frozen",
                                 "1 when security commands are frozen until a power cycle.",
                                 MetricType::Gauge};

// A SMART report row's meaning: the family it feeds and the factor to the family's base unit.
struct SmartFigure {
    std::string_view label;
    Family family;
    int64_t scale = 1;
};

constexpr Family kPowerOn{"vellumin_power_on_seconds_total", "Time the drive has been powered on.",
                          MetricType::Counter};
constexpr Family kPowerCycles{"vellumin_power_cycles_total", "Power cycles of the drive.",
                              MetricType::Counter};
constexpr Family kPowerCycleTime{"vellumin_power_cycle_time",
                                 "Device power-cycle time in the drive's own unit.",
                                 MetricType::Gauge};
constexpr Family kPowerLoss{"vellumin_unexpected_power_losses_total",
                            "Power losses without a prior shutdown command.", MetricType::Counter};
constexpr Family kEraseMax{"vellumin_erase_count_max",
                           "Erase cycles of the most erased flash block.", MetricType::Gauge};
constexpr Family kEraseAvg{"vellumin_erase_count_avg", "Average erase cycles of the flash blocks.",
                           MetricType::Gauge};
constexpr Family kEraseMin{"vellumin_erase_count_min",
                           "Erase cycles of the least erased flash block.", MetricType::Gauge};
constexpr Family kTemperature{"vellumin_temperature_celsius", "Current drive temperature.",
                              MetricType::Gauge};
constexpr Family kTemperatureMin{"vellumin_temperature_min_celsius",
                                 "Lowest temperature the drive recorded.", MetricType::Gauge};
constexpr Family kTemperatureMax{"vellumin_temperature_max_celsius",
                                 "Highest temperature the drive recorded.", MetricType::Gauge};
constexpr Family kHostWrites{"vellumin_host_writes_total",
                             "Lifetime writes from the host in the drive's own unit.",
                             MetricType::Counter};
constexpr Family kHostReads{"vellumin_host_reads_total",
                            "Lifetime reads to the host in the drive's own unit.",
                            MetricType::Counter};

constexpr std::array<SmartFigure, 15> kSmartFigures{{
    {"Power-On Hour Count", kPowerOn, 3600},
    {"Power-On Hours", kPowerOn, 3600},
    {"Power Cycle Count", kPowerCycles},
    {"Drive Power Cycle Count", kPowerCycles},
    {"Device Power Cycle Count", kPowerCycles},
    {"Device Power Cycle Time", kPowerCycleTime},
    {"Unexpected Power Loss", kPowerLoss},
    {"Maximum Erase Count", kEraseMax},
    {"Average Erase Count", kEraseAvg},
    {"Minimum Erase Count", kEraseMin},
    {"Current Temperature", kTemperature},
    {"Minimum Temperature", kTemperatureMin},
    {"Maximum Temperature", kTemperatureMax},
    {"Lifetime Writes from Host System", kHostWrites},
    {"Lifetime Reads to Host System", kHostReads},
}};

constexpr const SmartFigure* FigureOf(std::string_view label) {
    for (const auto& figure : kSmartFigures) {
        if (figure.label == label) {
            return &figure;
        }
    }
    return nullptr;
}

// A row added to a layout without a figure here would silently go missing from the metrics.
template <typename Layout>
constexpr bool AllRowsPublished(const Layout& layout) {
    return std::all_of(layout.begin(), layout.end(), [](const auto& row) {
        return std::string_view(row.label).empty() || FigureOf(row.label) != nullptr;
    });
}
static_assert(AllRowsPublished(pages::kJmf667Layout) && AllRowsPublished(pages::kJmf612Layout) &&
              AllRowsPublished(pages::kSm2246Layout) &&
              AllRowsPublished(pages::kModelSeriesLayout) && AllRowsPublished(pages::kSmiLayout));

constexpr Family kScanEnding{
    "vellumin_scan_last_ending",
    "Ending of the last recorded scan: 1 for its ending, 0 for the others.", MetricType::Gauge};
constexpr Family kScanFailingLba{"vellumin_scan_last_first_failing_lba",
                                 "First LBA the last recorded scan could not read.",
                                 MetricType::Gauge};
constexpr Family kScanChunks{"vellumin_scan_last_chunks_read",
                             "Chunks the last recorded scan read successfully.",
                             MetricType::Gauge};
constexpr Family kScanFinished{"vellumin_scan_last_finished_timestamp_seconds",
                               "When the last recorded scan finished (Unix time).",
                               MetricType::Gauge};

int64_t Flag(bool set) {
    return set ? 1 : 0;
}

void AddScan(prom::Exposition& metrics, const Labels& drive, const ScanRecord& record) {
    for (scan::ScanEnding ending : kScanEndings) {
        Labels labels = drive;
        labels.emplace_back("mode", record.mode);
        labels.emplace_back("ending", scan::EndingName(ending));
        metrics.Add(kScanEnding, labels, Flag(record.ending == scan::EndingName(ending)));
    }
    if (record.firstFailingLba) {
        metrics.Add(kScanFailingLba, drive, static_cast<int64_t>(*record.firstFailingLba));
    }
    metrics.Add(kScanChunks, drive, static_cast<int64_t>(record.chunksRead));
    metrics.Add(kScanFinished, drive, record.finishedAt);
}

// A drive as the last collection published it. Remembered in the state folder so that a
// drive that stops answering, and so is no longer listed, shows as a failure instead of
// vanishing. Texts are UTF-8 (JsonText), as labels and JSON need them.
struct KnownDrive {
    int number = -1;
    std::string serial;
    std::string model;
    std::string firmware;
    std::string controller;
};

constexpr const char* kKnownDrivesFile = "drives.json";
constexpr const char* kKnownDrivesMark = "vellumin known drives";

std::vector<KnownDrive> LoadKnownDrives(const std::filesystem::path& folder, std::ostream& err) {
    const auto path = folder / kKnownDrivesFile;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    const auto document = nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
    std::vector<KnownDrive> drives;
    try {
        if (!document.is_object() || document.value("record", "") != kKnownDrivesMark) {
            throw std::invalid_argument("foreign");
        }
        for (const auto& d : document.at("drives")) {
            drives.push_back({d.at("drive").get<int>(), d.at("serial").get<std::string>(),
                              d.at("model").get<std::string>(), d.at("firmware").get<std::string>(),
                              d.at("controller").get<std::string>()});
        }
    } catch (const std::exception&) {
        err << path.string() << ": not a list of known drives; skipped.\n";
        return {};
    }
    return drives;
}

void SaveKnownDrives(const std::filesystem::path& folder, const std::vector<KnownDrive>& drives,
                     std::ostream& err) {
    auto list = nlohmann::json::array();
    for (const auto& d : drives) {
        list.push_back({{"drive", d.number},
                        {"serial", d.serial},
                        {"model", d.model},
                        {"firmware", d.firmware},
                        {"controller", d.controller}});
    }
    try {
        std::filesystem::create_directories(folder);
        WriteFileAtomically(
            folder / kKnownDrivesFile,
            nlohmann::json{{"record", kKnownDrivesMark}, {"drives", list}}.dump(2) + "\n");
    } catch (const std::exception& e) {
        err << "The drives are not remembered: " << e.what() << '\n';
    }
}

Labels InfoLabels(const KnownDrive& known) {
    return {{"drive", std::to_string(known.number)},
            {"model", known.model},
            {"serial", known.serial},
            {"firmware", known.firmware},
            {"controller", known.controller}};
}

void AddRecordedScan(prom::Exposition& metrics, Context& context, const KnownDrive& known) {
    if (known.serial.empty()) {
        return;
    }
    const auto folder = StateDirectory(context.simulate.has_value());
    if (const auto record = LoadScanRecord(folder, known.serial, context.err())) {
        AddScan(metrics, {{"drive", std::to_string(known.number)}}, *record);
    }
}

KnownDrive AddDrive(prom::Exposition& metrics, Context& context, int number,
                    const ata::IdentifyBlock& identify) {
    ata::SmartBlock smart{};
    const auto smartResult = ata::SmartReadData(context.Platform().Drives(), number, smart);
    const bool smartRead = smartResult.delivered();
    const Labels drive{{"drive", std::to_string(number)}};
    const KnownDrive known{number, DriveSerial(identify),
                           JsonText(ata::ModelText(identify)),
                           JsonText(ata::TrimRight(ata::FirmwareRevision(identify))),
                           JsonText(smartRead ? pages::ControllerName(smart) : "")};
    metrics.Add(kDriveInfo, InfoLabels(known), int64_t{1});
    metrics.Add(kScrapeSuccess, drive, Flag(smartRead));

    metrics.Add(kCapacity, drive,
                static_cast<int64_t>(ata::CapacitySectors(identify) * ata::kSectorSize));
    const auto security = ata::ReadSecurityStatus(identify);
    metrics.Add(kSecuritySupported, drive, Flag(security.supported));
    metrics.Add(kSecurityEnabled, drive, Flag(security.enabled));
    metrics.Add(kSecurityLocked, drive, Flag(security.locked));
    metrics.Add(kSecurityFrozen, drive, Flag(security.frozen));

    if (smartRead) {
        // TRIM depends on the controller named in the SMART data.
        metrics.Add(kTrim, drive, Flag(pages::TrimSupported(identify, smart)));
        Labels figures = drive;
        figures.emplace_back("controller", known.controller);
        for (const auto& row : pages::DecodeSmart(smart, identify).rows) {
            const SmartFigure* figure = FigureOf(row.label);
            if (row.number && figure) {
                metrics.Add(figure->family, figures, *row.number * figure->scale);
            }
        }
    } else {
        context.err() << "Physical drive " << number << ": SMART READ DATA was not delivered.\n";
        ReportTransportReason(context, number, "SMART READ DATA", smartResult);
    }
    AddRecordedScan(metrics, context, known);
    return known;
}

struct MetricsOptions {
    std::string output;
};

int RunMetrics(Context& context, const MetricsOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    const auto discovery = ata::DiscoverDrives(context.Platform().Drives());
    const auto folder = StateDirectory(context.simulate.has_value());
    prom::Exposition metrics;
    std::vector<KnownDrive> seen;
    for (int row = 0; row < discovery.table.count; ++row) {
        const int number = discovery.table.rowToDrive[row];
        seen.push_back(AddDrive(metrics, context, number, discovery.table.identify[number]));
    }
    // A remembered drive that is no longer listed failed, unless another drive took its
    // number (it was replaced) or its serial is listed elsewhere (it moved).
    const auto listed = [&](auto field, const auto& value) {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const KnownDrive& d) { return d.*field == value; });
    };
    std::vector<KnownDrive> remembered = seen;
    for (const auto& known : LoadKnownDrives(folder, context.err())) {
        if (known.number < 0 || known.serial.empty() || listed(&KnownDrive::number, known.number) ||
            listed(&KnownDrive::serial, known.serial)) {
            continue;
        }
        context.err() << "Physical drive " << known.number << " (" << known.serial
                      << ") no longer answers.\n";
        metrics.Add(kDriveInfo, InfoLabels(known), int64_t{1});
        metrics.Add(kScrapeSuccess, {{"drive", std::to_string(known.number)}}, int64_t{0});
        AddRecordedScan(metrics, context, known);
        remembered.push_back(known);
    }
    SaveKnownDrives(folder, remembered, context.err());

    metrics.Add(kDuration, {},
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    const std::string text = metrics.Text();
    if (options.output.empty()) {
        context.out() << text;
        return ExitOk;
    }
    try {
        WriteFileAtomically(options.output, text);
    } catch (const std::exception& e) {
        throw CommandError(ExitFailure, e.what());
    }
    return ExitOk;
}

const Registrar metricsCommand(70, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "metrics",
        "Print every compatible drive's figures for Prometheus (node_exporter's textfile "
        "collector), with the last scan each drive recorded");
    auto options = std::make_shared<MetricsOptions>();
    command
        ->add_option("--output", options->output,
                     "Write to FILE instead (replaced whole, never seen half-written)")
        ->type_name("FILE");
    context.OnRun(command, [&context, options] { return RunMetrics(context, *options); });
});

}  // namespace
}  // namespace vellumin::cli
