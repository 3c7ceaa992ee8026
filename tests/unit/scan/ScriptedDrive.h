#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vellumin::scan::test {

// A drive that answers reads from a script and keeps a log of what it was sent.
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
        uint8_t status = 0x50;  // ready, seek complete
        uint8_t error = 0;
    };

    explicit ScriptedDrive(std::optional<uint64_t> sectors) : sectors_(sectors) {}

    bool PassThrough(platform::AtaPassThroughRequest& request) override {
        const auto& low = request.currentTaskFile;
        const auto& high = request.previousTaskFile;
        Read read;
        read.command = low.command;
        read.flags = request.flags;
        read.dataLength = request.dataLength;
        read.timeOutSeconds = request.timeOutSeconds;
        read.hasBuffer = request.dataBuffer != nullptr;
        if (request.ext()) {
            read.lba = uint64_t{low.lbaLow} | uint64_t{low.lbaMid} << 8 | uint64_t{low.lbaHigh} << 16 |
                       uint64_t{high.lbaLow} << 24 | uint64_t{high.lbaMid} << 32 | uint64_t{high.lbaHigh} << 40;
            read.sectors = (uint32_t{high.sectorCount} << 8 | low.sectorCount);
            read.sectors = read.sectors == 0 ? 65536 : read.sectors;
        } else {
            read.lba = uint64_t{low.lbaLow} | uint64_t{low.lbaMid} << 8 | uint64_t{low.lbaHigh} << 16 |
                       uint64_t{low.device & 0x0Fu} << 24;
            read.sectors = low.sectorCount == 0 ? 256 : low.sectorCount;
        }
        if (keepLog) {
            log.push_back(read);
        }
        ++reads;
        if (onRead) {
            onRead(read);
        }
        Answer answer;
        if (auto it = answers.find(read.lba); it != answers.end()) {
            answer = it->second;
        }
        request.currentTaskFile.features = answer.error;
        request.currentTaskFile.command = answer.status;
        return answer.delivered;
    }
    std::optional<uint64_t> SectorCount() override { return sectors_; }
    bool Flush() override {
        ++flushes;
        return true;
    }

    std::map<uint64_t, Answer> answers;  // by the chunk's first LBA
    std::function<void(const Read&)> onRead;
    bool keepLog = true;
    std::vector<Read> log;
    uint64_t reads = 0;
    uint64_t flushes = 0;

private:
    std::optional<uint64_t> sectors_;
};

// Drive slots; an open hands out a handle onto the slot's drive, so the test can look at the
// drive after the scan closed it. An empty slot cannot be opened.
class ScriptedDrives : public platform::DriveSystem {
public:
    platform::DriveHandlePtr OpenPhysicalDrive(int number) override {
        if (number < 0 || number >= 16 || !slots[number]) {
            return nullptr;
        }
        ++opens;
        return std::make_unique<Handle>(*slots[number], closes);
    }
    std::vector<std::string> VolumeNames() override { return {}; }
    bool IsRemovableVolume(const std::string&) override { return false; }
    int VolumeDiskNumber(const std::string&) override { return -1; }

    ScriptedDrive* slots[16] = {};
    int opens = 0;
    int closes = 0;

private:
    class Handle : public platform::DriveHandle {
    public:
        Handle(ScriptedDrive& drive, int& closes) : drive_(drive), closes_(closes) {}
        ~Handle() override { ++closes_; }
        bool PassThrough(platform::AtaPassThroughRequest& request) override { return drive_.PassThrough(request); }
        std::optional<uint64_t> SectorCount() override { return drive_.SectorCount(); }
        bool Flush() override { return drive_.Flush(); }

    private:
        ScriptedDrive& drive_;
        int& closes_;
    };
};

}  // namespace vellumin::scan::test
