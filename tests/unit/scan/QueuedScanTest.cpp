// The scan by queued reads against the scan by READ DMA: same drive, same ending, same texts.

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanTexts.h"
#include "platform/sim/SimPlatform.h"
#include "tests/unit/scan/ScriptedDrive.h"

namespace vellumin::scan {
namespace {

using platform::sim::DriveDescription;
using platform::sim::MediaFault;
using platform::sim::SimPlatform;

constexpr uint64_t kRequestSectors = uint64_t{kChunksPerRequest} * kChunkSectors;  // 2,024

// The chunks reported, and a stop request raised after the chunk at `stopAfter`.
struct Watch : ScanObserver {
    explicit Watch(StopRequest& s, std::optional<uint64_t> after) : stop(s), stopAfter(after) {}
    void OnChunk(uint64_t lba) override {
        chunks.push_back(lba);
        if (stopAfter && lba == *stopAfter) {
            stop.store(1);
        }
    }
    StopRequest& stop;
    std::optional<uint64_t> stopAfter;
    std::vector<uint64_t> chunks;
};

struct Seen {
    ScanOutcome outcome;
    std::vector<uint64_t> chunks;
    uint64_t readDmaCommands = 0;
};

Seen ScanLabDrive(const DriveDescription& drive, ScanMode mode, ScanWay way, std::optional<uint64_t> stopAfter) {
    platform::sim::LabDescription lab;
    lab.drives[0] = drive;
    SimPlatform sim(std::move(lab));
    StopRequest stop{0};
    Watch watch(stop, stopAfter);
    Seen seen{RunScan(sim.Drives(), 0, mode, stop, watch, way), watch.chunks, 0};
    seen.readDmaCommands = sim.Device(0)->Stats().reads;
    return seen;
}

DriveDescription LabDrive(uint64_t sectors, std::vector<MediaFault> faults) {
    DriveDescription drive;
    drive.model = "VQ LAB SSD";
    drive.sectors = sectors;
    drive.faults = std::move(faults);
    return drive;
}

struct Row {
    const char* name;
    DriveDescription drive;
    std::string fullResult;  // the READ DMA scan's result line of a full scan, as a check on the row
    std::optional<uint64_t> stopAfter = std::nullopt;
};

std::vector<Row> Rows() {
    std::vector<Row> rows = {
        {"uncorrectable mid-drive", LabDrive(400'000, {{200'000, 1, 0x40, false}}), "Msg code : 1000000"},
        {"first sector", LabDrive(400'000, {{0, 1, 0x40, false}}), "Msg code : 1000000"},
        {"device fault", LabDrive(400'000, {{123'456, 1, 0x00, true}}), "drive fault"},
        {"sector not found, 4 sectors", LabDrive(400'000, {{300'001, 4, 0x10, false}}), "Msg code : 10000"},
        {"error 0x44 in the last chunk", LabDrive(400'000, {{399'999, 1, 0x44, false}}), "Msg code : 1000100"},
        // The last sector of one request and the first of the next.
        {"across two requests", LabDrive(400'000, {{100 * kRequestSectors - 1, 2, 0x40, false}}),
         "Msg code : 1000000"},
        {"two faults, the quick scan meets the later", LabDrive(400'000, {{253'000, 1, 0x40, false},
                                                                                 {120'000, 1, 0x04, false}}),
         "Msg code : 100"},
        {"stopped before a fault", LabDrive(400'000, {{350'000, 1, 0x40, false}}), "", 50 * kChunkSectors},
    };
    DriveDescription shortMedium = LabDrive(300'000, {});
    shortMedium.reportedSectors = 300'100;  // the system reports more than the drive holds
    rows.push_back({"medium shorter than reported", shortMedium, "Msg code : 10000"});
    DriveDescription locked = LabDrive(300'000, {});
    locked.security.userPassword = platform::sim::PasswordFromText("secret");
    rows.push_back({"locked drive", locked, "Msg code : 100"});
    // Every drive of the built-in lab that cannot be read to its end.
    const auto lab = platform::sim::DefaultLab();
    for (int slot = 0; slot < platform::sim::kSlotCount; ++slot) {
        const auto& drive = lab.drives[slot];
        if (drive && (!drive->faults.empty() || drive->security.userPassword)) {
            rows.push_back({"built-in lab", *drive, ""});
        }
    }
    return rows;
}

TEST(QueuedScan, GivesTheReadDmaScansResultOnEveryFaultyLabDrive) {
    for (const Row& row : Rows()) {
        for (auto mode : {ScanMode::Full, ScanMode::Quick}) {
            SCOPED_TRACE(std::string(row.name) + (mode == ScanMode::Full ? ", full" : ", quick") + ", " +
                         row.drive.model);
            const Seen dma = ScanLabDrive(row.drive, mode, ScanWay::ReadDma, row.stopAfter);
            const Seen fast = ScanLabDrive(row.drive, mode, ScanWay::Queued, row.stopAfter);
            if (mode == ScanMode::Full && !row.fullResult.empty()) {
                EXPECT_EQ(dma.outcome.resultText, row.fullResult);
            }
            EXPECT_EQ(fast.outcome.way, ScanWay::Queued);
            EXPECT_EQ(fast.outcome.ending, dma.outcome.ending);
            EXPECT_EQ(ItemsScannedFinalText(fast.outcome.finalPosition, fast.outcome.total),
                      ItemsScannedFinalText(dma.outcome.finalPosition, dma.outcome.total));
            EXPECT_EQ(fast.outcome.resultText, dma.outcome.resultText);
            EXPECT_EQ(fast.outcome.firstFailingLba, dma.outcome.firstFailingLba);
            EXPECT_EQ(fast.outcome.chunksRead, dma.outcome.chunksRead);
            EXPECT_EQ(fast.outcome.bytesRead, dma.outcome.bytesRead);
            EXPECT_EQ(fast.chunks, dma.chunks);
            // READ DMA only over the one request that failed.
            EXPECT_LE(fast.readDmaCommands, mode == ScanMode::Full ? kChunksPerRequest : 1u);
        }
    }
}

TEST(QueuedScan, ReadsTheFailedRequestChunkByChunkUpToTheFailingOne) {
    platform::sim::LabDescription lab;
    lab.drives[0] = LabDrive(2'000'000, {{1'001'000, 1, 0x40, false}});
    SimPlatform sim(std::move(lab));
    auto& device = *sim.Device(0);
    device.SetLogging(true);
    StopRequest stop{0};
    ScanObserver observer;
    const auto outcome = RunScan(sim.Drives(), 0, ScanMode::Full, stop, observer, ScanWay::Queued);
    EXPECT_EQ(outcome.readDmaFrom, 999'856u);  // request 494 of 2,024 sectors
    EXPECT_EQ(outcome.finalPosition, 1'000'868u);
    EXPECT_EQ(outcome.firstFailingLba, 1'001'000u);
    std::vector<uint64_t> readDma;
    for (const auto& command : device.TakeLog()) {
        readDma.push_back(command.lba);
    }
    EXPECT_EQ(readDma, (std::vector<uint64_t>{999'856, 1'000'109, 1'000'362, 1'000'615, 1'000'868}));
    EXPECT_GE(device.Stats().blockReads, 495u);
}

// Completes the reads in flight at a wait last queued first (those queued meanwhile after
// them), fails chosen offsets, and can lose everything in flight or take nothing at all.
class ScriptedQueue : public platform::QueuedReader {
public:
    // loseAtWait 0: never lost; -1: takes no read.
    ScriptedQueue(std::set<uint64_t> failing, int loseAtWait) : m_failing(std::move(failing)), m_loseAt(loseAtWait) {}
    unsigned Depth() const override { return 4; }
    bool Queue(uint64_t offset, void*, uint32_t bytes, uint64_t tag) override {
        if (m_loseAt < 0 || m_pending.size() + m_batch.size() >= Depth()) {
            return false;
        }
        m_pending.push_back({tag, offset, bytes, 0});
        return true;
    }
    std::optional<platform::QueuedCompletion> WaitOne() override {
        if ((m_pending.empty() && m_batch.empty()) || ++m_waits == m_loseAt) {
            m_pending.clear();
            m_batch.clear();
            return std::nullopt;
        }
        if (m_batch.empty()) {
            m_batch.swap(m_pending);
        }
        auto done = m_batch.back();
        m_batch.pop_back();
        done.result = m_failing.count(done.offset) ? -EIO : static_cast<int>(done.bytes);
        return done;
    }

private:
    std::set<uint64_t> m_failing;
    int m_loseAt;
    int m_waits = 0;
    std::vector<platform::QueuedCompletion> m_pending;
    std::vector<platform::QueuedCompletion> m_batch;
};

class QueuedScriptedDrive : public test::ScriptedDrive {
public:
    QueuedScriptedDrive(uint64_t sectors, std::set<uint64_t> failing, int loseAt)
        : ScriptedDrive(sectors), m_failing(std::move(failing)), m_loseAt(loseAt) {}
    platform::QueuedReaderPtr OpenQueuedReader(unsigned) override {
        return std::make_unique<ScriptedQueue>(m_failing, m_loseAt);
    }

private:
    std::set<uint64_t> m_failing;
    int m_loseAt;
};

TEST(QueuedScan, ReadsOnWhereReadDmaFindsNoFaultOrTheQueueFails) {
    constexpr uint64_t kTotal = 100'000;  // 396 chunks
    struct Case {
        const char* name;
        std::set<uint64_t> failingOffsets;
        int loseAtWait;
        std::vector<uint64_t> readDma;  // first LBAs of the READ DMA chunks
        std::optional<uint64_t> readDmaFrom;
    };
    std::vector<uint64_t> every;
    for (uint64_t lba = 0; lba < kTotal; lba += kChunkSectors) {
        every.push_back(lba);
    }
    std::vector<uint64_t> request3;
    for (uint64_t lba = 3 * kRequestSectors; lba < 4 * kRequestSectors; lba += kChunkSectors) {
        request3.push_back(lba);
    }
    // Waits 1-4 complete requests 3, 2, 1, 0; the fifth is lost with 4-7 in flight, so READ DMA
    // reads on from request 4.
    std::vector<uint64_t> fromRequest4;
    for (uint64_t lba = 4 * kRequestSectors; lba < kTotal; lba += kChunkSectors) {
        fromRequest4.push_back(lba);
    }
    const Case cases[] = {
        {"a request fails, its chunks read", {3 * kRequestSectors * kSectorBytes}, 0, request3, 3 * kRequestSectors},
        {"the reads in flight are lost", {}, 5, fromRequest4, 4 * kRequestSectors},
        {"the queue takes nothing", {}, -1, every, 0},
        {"nothing fails", {}, 0, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QueuedScriptedDrive drive(kTotal, c.failingOffsets, c.loseAtWait);
        StopRequest stop{0};
        Watch watch(stop, std::nullopt);
        const auto outcome = RunScan(&drive, ScanMode::Full, stop, watch, ScanWay::Queued);
        EXPECT_EQ(outcome.ending, ScanEnding::Completed);
        EXPECT_EQ(outcome.chunksRead, every.size());
        EXPECT_EQ(watch.chunks, every) << "each chunk reported once, in order";
        std::vector<uint64_t> readDma;
        for (const auto& read : drive.log) {
            readDma.push_back(read.lba);
        }
        EXPECT_EQ(readDma, c.readDma);
        EXPECT_EQ(outcome.readDmaFrom, c.readDmaFrom);
    }
}

}  // namespace
}  // namespace vellumin::scan
