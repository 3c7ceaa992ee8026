#pragma once

// A dress rehearsal of an erase: the drive's blocks copied into a lab drive of the same state,
// behind a platform that answers the volume and boot-drive questions from the real one; under
// the lab, the whole lab as it stands, so that a re-plug moves drives and volumes in the copy
// as it would in the lab. The very same flow then runs against the copy; only IDENTIFY DEVICE
// and SMART READ DATA ever reach the real drive, and a restart is only recorded.

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
    // Under the lab: the whole lab as it stands, the drive above included.
    std::shared_ptr<platform::sim::SimPlatform> lab;
};

// The copy of drive `number`: under the lab the lab as it stands, otherwise a drive built
// from its IDENTIFY DEVICE and SMART READ DATA blocks. nullopt when IDENTIFY is not delivered
// (under the lab: when the slot is empty).
std::optional<RehearsalCopy> CopyDriveForRehearsal(platform::Platform& real, int number);

class RehearsalPlatform final : public platform::Platform,
                                private platform::DriveSystem,
                                private platform::System {
public:
    RehearsalPlatform(platform::Platform& real, int number, RehearsalCopy copy);

    platform::DriveSystem& Drives() override { return *this; }
    platform::System& Sys() override { return *this; }
    // The copy at the drive's number (under the lab another drive once a re-plug moved it).
    platform::sim::SimDevice* Copy() { return m_lab->Device(m_number); }
    bool RestartAsked() const { return m_restartAsked; }

private:
    // DriveSystem: the whole lab copy; or the drive's copy in its slot, every other slot empty,
    // and the volumes of the real system.
    platform::DriveHandlePtr OpenPhysicalDrive(int number) override;
    platform::DriveOpening OpenDrive(int number) override;
    platform::DriveSystem& Volumes() { return m_wholeLab ? m_lab->Drives() : m_real.Drives(); }
    std::vector<std::string> VolumeNames() override { return Volumes().VolumeNames(); }
    bool IsRemovableVolume(const std::string& name) override {
        return Volumes().IsRemovableVolume(name);
    }
    int VolumeDiskNumber(const std::string& name) override {
        return Volumes().VolumeDiskNumber(name);
    }
    std::vector<int> SystemDiskNumbers() override { return Volumes().SystemDiskNumbers(); }
    void UserPowerCycled(int number) override { m_lab->Drives().UserPowerCycled(number); }
    platform::DriveConnection Connection(int number) override {
        return m_wholeLab ? m_lab->Drives().Connection(number) : m_real.Drives().Connection(number);
    }
    // System
    bool IsAdministrator() override { return true; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
    std::optional<platform::OsVersionRecord> OsVersion() override {
        return m_real.Sys().OsVersion();
    }
    bool RestartComputer() override;
    // The suspend is offered as the real machine would offer it, and answered by the copy: a
    // rehearsal never puts the computer to sleep.
    bool CanSuspend() override { return m_wholeLab ? m_lab->Sys().CanSuspend() : m_real.Sys().CanSuspend(); }
    bool SuspendAndResume(int seconds) override { return m_lab->Sys().SuspendAndResume(seconds); }

    platform::Platform& m_real;
    int m_number;
    bool m_wholeLab;
    std::shared_ptr<platform::sim::SimPlatform> m_lab;
    bool m_restartAsked = false;
};

}  // namespace vellumin::erase
