#pragma once

#include <deque>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "pages/erase/EraseFlow.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::erase::test {

using platform::sim::DriveDescription;
using platform::sim::SimDevice;
using platform::sim::SimPlatform;

// Ok messages are answered Ok; Yes/No ones from the script, No once it runs out so that no
// test can loop for ever.
class ScriptedPrompter : public ErasePrompter {
public:
    explicit ScriptedPrompter(std::deque<Answer> yesNo = {}) : m_yesNo(std::move(yesNo)) {}
    Answer Ask(const EraseMessage& message) override {
        seen.push_back(message);
        if (message.id == MessageId::Frozen) {
            return frozen;
        }
        if (message.buttons == MessageButtons::Ok) {
            return Answer::Ok;
        }
        if (m_yesNo.empty()) {
            return Answer::No;
        }
        Answer a = m_yesNo.front();
        m_yesNo.pop_front();
        return a;
    }
    std::vector<MessageId> Ids() const {
        std::vector<MessageId> ids;
        for (const auto& m : seen) {
            ids.push_back(m.id);
        }
        return ids;
    }
    std::vector<EraseMessage> seen;
    Answer frozen = Answer::Ok;  // the answer to every frozen-state message

private:
    std::deque<Answer> m_yesNo;
};

// Every hook call as one letter: L lock, U unlock, S start timer, T stop timer, Q quick on.
class RecordingHooks : public EraseHooks {
public:
    void LockMainWindow() override { calls += 'L'; }
    void UnlockAfterRun() override { calls += 'U'; }
    void StartElapsed() override { calls += 'S'; }
    void StopElapsed() override { calls += 'T'; }
    void EnableQuickErase() override { calls += 'Q'; }
    std::string calls;
};

inline DriveDescription LabDrive(const std::string& model = "VQ TEST SSD") {
    DriveDescription d;
    d.serial = "S0001";
    d.firmware = "VQ1.0";
    d.model = model;
    d.sectors = 2'000'000;
    return d;
}

inline platform::sim::Password ErasePassword() {
    platform::sim::Password p;
    std::copy(kErasePassword.begin(), kErasePassword.end(), p.begin());
    return p;
}

// A lab with the drive under test in slot 1 and a bystander in slot 0 holding C:.
inline std::unique_ptr<SimPlatform> LabWith(const DriveDescription& drive) {
    platform::sim::LabDescription lab;
    lab.drives[0] = LabDrive("VQ SYSTEM SSD");
    lab.drives[1] = drive;
    lab.volumes = {{"C", 0, false}, {"E", 1, false}};
    return std::make_unique<SimPlatform>(lab);
}

// The target as the confirmation takes it: the drive now in the slot.
inline EraseTarget TargetOf(SimPlatform& lab, int slot, uint8_t vendorCode = 0) {
    const auto identify = lab.Device(slot)->IdentifyData();
    return {slot, ata::ModelText(identify), vendorCode, IdentityOf(identify)};
}

// Everything a command could have changed on a drive.
inline auto Snapshot(SimDevice& d) {
    auto s = d.Security();
    return std::make_tuple(d.IdentifyData(), d.SmartData(), d.MediaBlank(), d.Erases().size(),
                           s.enabled, s.locked, s.frozen, s.expired, s.userPassword,
                           s.attemptsLeft);
}

inline std::vector<uint8_t> CommandBytes(const std::vector<SentCommand>& commands) {
    std::vector<uint8_t> bytes;
    for (const auto& c : commands) {
        bytes.push_back(c.input.command);
    }
    return bytes;
}

// The built-in lab's drives, attached as the Linux machine fixture's disks sda-sdp are: sde
// (slot 4) through USB, sdg and sdh not there, the others on SATA ports.
class FixtureConnections final : public platform::Platform, private platform::DriveSystem {
public:
    FixtureConnections()
        : m_lab(platform::sim::CreateSimLab()),
          m_machine(platform::linux_backend::CreateLinuxPlatform(
              {"/nonexistent", std::string(VELLUMIN_FIXTURES) + "/linux/machine/proc",
               std::string(VELLUMIN_FIXTURES) + "/linux/machine/sys"})) {}
    platform::DriveSystem& Drives() override { return *this; }
    platform::System& Sys() override { return m_lab->Sys(); }
    SimPlatform& Lab() { return *m_lab; }

private:
    platform::DriveSystem& Inner() { return m_lab->Drives(); }
    platform::DriveHandlePtr OpenPhysicalDrive(int number) override {
        return Inner().OpenPhysicalDrive(number);
    }
    std::vector<std::string> VolumeNames() override { return Inner().VolumeNames(); }
    bool IsRemovableVolume(const std::string& name) override {
        return Inner().IsRemovableVolume(name);
    }
    int VolumeDiskNumber(const std::string& name) override { return Inner().VolumeDiskNumber(name); }
    std::vector<int> SystemDiskNumbers() override { return Inner().SystemDiskNumbers(); }
    void UserPowerCycled(int number) override { Inner().UserPowerCycled(number); }
    platform::DriveConnection Connection(int number) override {
        return m_machine->Drives().Connection(number);
    }

    std::unique_ptr<SimPlatform> m_lab;
    std::unique_ptr<platform::Platform> m_machine;
};

}  // namespace vellumin::erase::test
