#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "ata/Registers.h"
#include "platform/Platform.h"

namespace vellumin::scan::test {

// A drive that answers reads from a script and logs the requests it was sent.
class ScriptedDrive : public platform::DriveHandle {
public:
    struct Read {
        uint8_t command = 0;
        uint64_t lba = 0;
        uint32_t sectors = 0;
        uint16_t flags = 0;
        uint32_t dataLength = 0;
        uint32_t timeOutSeconds = 0;
        bool hasBuffer = false;
    };
    struct Answer {
        bool delivered = true;
        uint8_t status = ata::kStatusOk;
        uint8_t error = 0;
    };

    explicit ScriptedDrive(std::optional<uint64_t> sectors) : m_sectors(sectors) {}

    platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        const auto& low = request.currentTaskFile;
        const auto& high = request.previousTaskFile;
        Read read{low.command, request.ext() ? ata::UnpackLba48(low, high) : ata::UnpackLba28(low),
                  low.sectorCount, request.flags, request.dataLength, request.timeOutSeconds,
                  request.dataBuffer != nullptr};
        if (request.ext()) {
            read.sectors |= uint32_t{high.sectorCount} << 8;
        }
        log.push_back(read);
        if (onRead) {
            onRead(read);
        }
        const auto it = answers.find(read.lba);
        const Answer answer = it == answers.end() ? Answer{} : it->second;
        request.currentTaskFile.features = answer.error;
        request.currentTaskFile.command = answer.status;
        return answer.delivered ? platform::PassThroughResult::Delivered()
                                : platform::PassThroughResult::NotDelivered(platform::TransportStage::Refused);
    }
    std::optional<uint64_t> SectorCount() override { return m_sectors; }
    bool Flush() override {
        ++flushes;
        return true;
    }

    std::map<uint64_t, Answer> answers;  // by the chunk's first LBA
    std::function<void(const Read&)> onRead;
    std::vector<Read> log;
    uint64_t flushes = 0;

private:
    std::optional<uint64_t> m_sectors;
};

}  // namespace vellumin::scan::test
