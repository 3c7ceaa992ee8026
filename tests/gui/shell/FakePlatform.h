#pragma once

// A small scripted machine for the shell's tests: drives that answer IDENTIFY DEVICE and
// SMART READ DATA from fixed blocks, and a System whose facts and calls the test controls.

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ata/IdentifyBlock.h"
#include "ata/Registers.h"
#include "platform/Platform.h"

namespace vellumin::shelltest {

using vellumin::ata::IdentifyBlock;
namespace platform = vellumin::platform;

// An identify block with the model number in words 27-46 and word 217 (rotation).
inline IdentifyBlock MakeIdentify(const std::string& model, uint16_t rotation = 0x0001) {
    IdentifyBlock block{};
    std::string padded = model;
    padded.resize(40, ' ');
    for (int k = 0; k < 20; ++k) {
        block[2 * (27 + k)] = static_cast<uint8_t>(padded[2 * k + 1]);
        block[2 * (27 + k) + 1] = static_cast<uint8_t>(padded[2 * k]);
    }
    block[434] = static_cast<uint8_t>(rotation & 0xFF);
    block[435] = static_cast<uint8_t>(rotation >> 8);
    return block;
}

class FakeDrives : public platform::DriveSystem {
public:
    std::map<int, IdentifyBlock> identify;
    int identifyReads = 0;

    platform::DriveHandlePtr OpenPhysicalDrive(int number) override {
        auto found = identify.find(number);
        if (found == identify.end()) {
            return nullptr;
        }
        return std::make_unique<Handle>(*this, found->second);
    }
    std::vector<std::string> VolumeNames() override { return {}; }
    bool IsRemovableVolume(const std::string&) override { return false; }
    int VolumeDiskNumber(const std::string&) override { return -1; }

private:
    class Handle : public platform::DriveHandle {
    public:
        Handle(FakeDrives& owner, const IdentifyBlock& block) : m_owner(owner), m_block(block) {}
        platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
            if (request.currentTaskFile.command == vellumin::ata::cmd::kIdentify && request.dataBuffer &&
                request.dataLength >= 512) {
                ++m_owner.identifyReads;
                std::memcpy(request.dataBuffer, m_block.data(), 512);
            } else if (request.dataBuffer && request.dataLength) {
                std::memset(request.dataBuffer, 0, request.dataLength);
            }
            request.currentTaskFile.command = vellumin::ata::kStatusOk;
            request.currentTaskFile.features = 0;
            return {};
        }
        std::optional<uint64_t> SectorCount() override { return 2'000'000; }
        bool Flush() override { return true; }

    private:
        FakeDrives& m_owner;
        IdentifyBlock m_block;
    };
};

class FakeSystem : public platform::System {
public:
    bool administrator = true;
    bool relaunchSucceeds = true;
    std::vector<std::vector<std::string>> relaunches;
    std::optional<platform::OsVersionRecord> version =
        platform::OsVersionRecord{true, 2, 6, 1, 7601, "Service Pack 1", 1, "Windows 7"};
    std::vector<std::pair<std::string, std::string>> opened;

    bool IsAdministrator() override { return administrator; }
    bool RelaunchElevated(const std::vector<std::string>& arguments) override {
        relaunches.push_back(arguments);
        return relaunchSucceeds;
    }
    std::optional<platform::OsVersionRecord> OsVersion() override { return version; }
    bool OpenWithShell(const std::string& file, const std::string& folder) override {
        opened.emplace_back(file, folder);
        return true;
    }
};

class FakePlatform : public platform::Platform {
public:
    FakeDrives drives;
    FakeSystem system;
    platform::DriveSystem& Drives() override { return drives; }
    platform::System& Sys() override { return system; }
};

}  // namespace vellumin::shelltest
