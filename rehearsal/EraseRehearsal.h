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
    // Where the platform can copy itself (the lab): the whole of it as it stands.
    std::shared_ptr<platform::Platform> whole;
};

// The copy of drive `number`: where the platform can copy itself (the lab), the whole of it
// as it stands; otherwise a drive built from its IDENTIFY DEVICE and SMART READ DATA blocks,
// nullopt when IDENTIFY is not delivered.
std::optional<RehearsalCopy> CopyDriveForRehearsal(platform::Platform& real, int number);

class RehearsalPlatform final : public platform::Platform,
                                private platform::DriveSystem,
                                private platform::System {
public:
    RehearsalPlatform(platform::Platform& real, int number, RehearsalCopy copy);

    platform::DriveSystem& Drives() override { return *this; }
    platform::System& Sys() override { return *this; }
    bool RestartAsked() const { return m_restartAsked; }

private:
    // DriveSystem: the whole lab copy; or the drive's copy in its slot, every other slot empty,
    // and the volumes of the real system.
    platform::DriveHandlePtr OpenPhysicalDrive(int number) override;
    platform::DriveOpening OpenDrive(int number) override;
    // The copy's claim; for a copied real drive, only once the real drive could be claimed too.
    platform::DriveOpening ClaimDrive(int number) override;
    platform::DriveSystem& Volumes() { return m_wholeLab ? m_copy->Drives() : m_real.Drives(); }
    std::vector<std::string> VolumeNames() override { return Volumes().VolumeNames(); }
    bool IsRemovableVolume(const std::string& name) override {
        return Volumes().IsRemovableVolume(name);
    }
    int VolumeDiskNumber(const std::string& name) override {
        return Volumes().VolumeDiskNumber(name);
    }
    std::vector<int> SystemDiskNumbers() override { return Volumes().SystemDiskNumbers(); }
    void UserPowerCycled(int number) override { m_copy->Drives().UserPowerCycled(number); }
    platform::DriveConnection Connection(int number) override {
        return m_wholeLab ? m_copy->Drives().Connection(number) : m_real.Drives().Connection(number);
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
    bool CanSuspend() override { return m_wholeLab ? m_copy->Sys().CanSuspend() : m_real.Sys().CanSuspend(); }
    bool SuspendAndResume(int seconds) override { return m_copy->Sys().SuspendAndResume(seconds); }

    platform::Platform& m_real;
    int m_number;
    bool m_wholeLab;
    std::shared_ptr<platform::Platform> m_copy;
    platform::sim::SimPlatform* m_single = nullptr;  // the one-drive lab, when not a whole copy
    bool m_restartAsked = false;
};

}  // namespace vellumin::erase
