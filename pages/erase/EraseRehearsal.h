#pragma once

// A dress rehearsal of an erase: the drive's blocks (or a lab drive's whole state) copied into
// a lab drive of the same state, behind a platform that answers the volume and boot-drive
// questions from the real one. The very same flow then runs against the copy; only IDENTIFY
// DEVICE and SMART READ DATA ever reach the real drive, and a restart is only recorded.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::erase {

struct RehearsalCopy {
    platform::sim::DriveDescription drive;
    // What the copy had to assume about the real drive; empty for an exact copy of a lab drive.
    std::vector<std::string> unknowns;
};

// The copy of drive `number`: under the lab the drive as it stands, otherwise a drive built
// from its IDENTIFY DEVICE and SMART READ DATA blocks. nullopt when IDENTIFY is not delivered.
std::optional<RehearsalCopy> CopyDriveForRehearsal(platform::Platform& real, int number);

class RehearsalPlatform final : public platform::Platform,
                                private platform::DriveSystem,
                                private platform::System {
public:
    RehearsalPlatform(platform::Platform& real, int number, platform::sim::DriveDescription copy);

    platform::DriveSystem& Drives() override { return *this; }
    platform::System& Sys() override { return *this; }
    platform::sim::SimDevice& Copy() { return *m_lab.Device(m_number); }
    bool RestartAsked() const { return m_restartAsked; }

private:
    // DriveSystem: the copy in its slot, every other slot empty; volumes from the real system.
    platform::DriveHandlePtr OpenPhysicalDrive(int number) override;
    std::vector<std::string> VolumeNames() override { return m_real.Drives().VolumeNames(); }
    bool IsRemovableVolume(const std::string& name) override {
        return m_real.Drives().IsRemovableVolume(name);
    }
    int VolumeDiskNumber(const std::string& name) override {
        return m_real.Drives().VolumeDiskNumber(name);
    }
    std::vector<int> SystemDiskNumbers() override { return m_real.Drives().SystemDiskNumbers(); }
    void UserPowerCycled(int number) override;
    // System
    bool IsAdministrator() override { return true; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
    std::optional<platform::OsVersionRecord> OsVersion() override {
        return m_real.Sys().OsVersion();
    }
    bool RestartComputer() override;

    platform::Platform& m_real;
    int m_number;
    platform::sim::SimPlatform m_lab;
    bool m_restartAsked = false;
};

}  // namespace vellumin::erase
