#pragma once

// A scripted drive system: each drive answers every request with one configured reply and
// records what it was sent.

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "ata/Registers.h"
#include "platform/Platform.h"

namespace vellumin::test {

struct FakeReply {
    bool delivered = true;
    ata::AtaTaskFile output{0x00, 0, 0, 0, 0, ata::kDeviceLba, ata::kStatusOk};
    ata::IdentifyBlock data{};                                 // copied into data-in buffers
};

struct FakeDriveLog {
    std::vector<ata::AtaPassThroughRequest> requests;  // as sent (input registers)
    int flushes = 0;
    int opens = 0;
    int closes = 0;
};

class FakeHandle : public platform::DriveHandle {
public:
    FakeHandle(FakeReply reply, FakeDriveLog& log) : m_reply(reply), m_log(log) {}
    ~FakeHandle() override { ++m_log.closes; }

    platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        m_log.requests.push_back(request);
        if (!m_reply.delivered) {
            return platform::PassThroughResult::NotDelivered(platform::TransportStage::Refused);
        }
        if (request.dataIn() && request.dataBuffer) {
            std::memcpy(request.dataBuffer, m_reply.data.data(), std::min<size_t>(request.dataLength, 512));
        }
        request.currentTaskFile = m_reply.output;
        return {};
    }
    std::optional<uint64_t> SectorCount() override { return 1u << 20; }
    bool Flush() override {
        ++m_log.flushes;
        return false;
    }

private:
    FakeReply m_reply;
    FakeDriveLog& m_log;
};

struct FakeVolume {
    std::string name;
    int disk = -1;
    bool removable = false;
};

class FakeDriveSystem : public platform::DriveSystem {
public:
    std::map<int, FakeReply> drives;  // drive number -> how it answers
    std::vector<FakeVolume> volumes;
    std::map<int, FakeDriveLog> logs;
    std::vector<int> openAttempts;

    platform::DriveHandlePtr OpenPhysicalDrive(int number) override {
        openAttempts.push_back(number);
        auto it = drives.find(number);
        if (it == drives.end()) {
            return nullptr;
        }
        ++logs[number].opens;
        return std::make_unique<FakeHandle>(it->second, logs[number]);
    }
    std::vector<std::string> VolumeNames() override {
        std::vector<std::string> names;
        for (const auto& v : volumes) names.push_back(v.name);
        return names;
    }
    bool IsRemovableVolume(const std::string& name) override {
        for (const auto& v : volumes) if (v.name == name) return v.removable;
        return false;
    }
    int VolumeDiskNumber(const std::string& name) override {
        for (const auto& v : volumes) if (v.name == name) return v.disk;
        return -1;
    }
};

// An identify block with the model number (padded with blanks to 40) and rotation rate.
inline ata::IdentifyBlock MakeIdentify(const std::string& model, uint16_t rotation = 0x0001) {
    ata::IdentifyBlock block{};
    std::string padded = model;
    padded.resize(40, ' ');
    for (int i = 0; i < 20; ++i) {
        block[2 * (27 + i) + 1] = static_cast<uint8_t>(padded[2 * i]);
        block[2 * (27 + i)] = static_cast<uint8_t>(padded[2 * i + 1]);
    }
    block[434] = static_cast<uint8_t>(rotation);
    block[435] = static_cast<uint8_t>(rotation >> 8);
    return block;
}

}  // namespace vellumin::test
