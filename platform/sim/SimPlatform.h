#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimLab.h"
#include "platform/sim/UpdateServer.h"

namespace vellumin::platform::sim {

// LabError is declared in SimLab.h: a lab file that cannot be used; what() names the file,
// the place and the problem.

// The simulated lab behind the Platform interfaces. Devices are shared with the handles
// that are open on them, so a handle stays usable while a test swaps the slot's drive.
class SimPlatform : public Platform, private DriveSystem, private System {
public:
    explicit SimPlatform(LabDescription lab);

    DriveSystem& Drives() override { return *this; }
    System& Sys() override { return *this; }

    // The device in a slot (0-15); nullptr for an empty slot or a number out of range.
    SimDevice* Device(int slot);
    const MachineFacts& Machine() const { return m_lab.machine; }
    MachineFacts& Machine() { return m_lab.machine; }

    // Hot-plug: put a new drive into a slot (replacing what was there) or empty it.
    SimDevice& SetDrive(int slot, DriveDescription drive);
    void RemoveDrive(int slot);
    void SetVolumes(std::vector<VolumeDescription> volumes);
    // What a restart of the machine does to the lab: every drive is power-cycled.
    void PowerCycleAll();
    // Every OpenWithShell call so far: {file, working folder}.
    std::vector<std::pair<std::string, std::string>> ShellOpened() const;
    // The slot's drive as it stands now (security state, media, opens left) as a description
    // a new device starts from; nullopt for an empty slot.
    std::optional<DriveDescription> DriveAsItStands(int slot);
    // A separate lab that starts where this one stands: every drive as it stands, in the slot
    // it is in now, the volumes and machine facts, and whether a drive was re-plugged.
    std::unique_ptr<SimPlatform> CloneAsItStands();
    std::shared_ptr<Platform> CopyAsItStands() override { return CloneAsItStands(); }
    // The lab as it stands, as a lab file ParseLab reads back: the file it came from with
    // each drive's security state and password, its media, a requested restart and the TRIM
    // setting written in.
    // Throws LabError for a lab that was built in code.
    std::string SaveLab();
    std::vector<VolumeDescription> Volumes() const;
    // The lab's firmware-update service on loopback, started on first use; answers from the
    // machine's firmware table for the lab's drives.
    UpdateServer& LabUpdateServer();

private:
    // DriveSystem
    DriveHandlePtr OpenPhysicalDrive(int number) override;
    DriveOpening OpenDrive(int number) override;
    DriveOpening ClaimDrive(int number) override;
    DriveOpening Open(int number, bool claim);
    std::vector<std::string> VolumeNames() override;
    bool IsRemovableVolume(const std::string& name) override;
    int VolumeDiskNumber(const std::string& name) override;
    // The volumes of the Windows and system directories, by their letters.
    std::vector<int> SystemDiskNumbers() override;
    // The user's re-plug: a power cycle, unless the drive stays frozen; a drive with
    // slotAfterReplug changes places with the drive at that number on its first re-plug.
    void UserPowerCycled(int number) override;
    DriveConnection Connection(int number) override;
    // System
    bool IsAdministrator() override { return true; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
    std::optional<OsVersionRecord> OsVersion() override;
    bool OpenWithShell(const std::string& file, const std::string& workingFolder) override;
    // Records the request and power-cycles every drive, as a real restart would.
    bool RestartComputer() override;
    bool CanSuspend() override;
    // Counts the suspend and power-cycles every drive as a re-plug does, at once.
    bool SuspendAndResume(int seconds) override;
    std::string UpdateServiceHost() override { return LabUpdateServer().Host(); }
    ServedReply AnswerQuery(const std::string& wono);
    uint16_t ProcessorArchitecture() override;
    int ServerR2Metric() override;
    std::string WmiOsVersion() override;
    bool HasTrimService() override;
    bool RunTrimCommand(TrimCommand command, int outputFd) override;

    const VolumeDescription* FindVolume(const std::string& name) const;
    int DiskOf(const VolumeDescription& volume) const;  // with m_mutex held

    mutable std::mutex m_mutex;  // slots and volumes may change while other threads open drives
    LabDescription m_lab;
    std::array<std::shared_ptr<SimDevice>, kSlotCount> m_devices;
    std::vector<std::pair<std::string, std::string>> m_shellOpened;
    bool m_replugged = false;  // a drive was re-plugged: volumes move to diskAfterReplug
    std::set<const SimDevice*> m_movedByReplug;  // drives whose slotAfterReplug was taken
    std::array<int, kSlotCount> m_slotNow{};     // lab file slot -> the slot its drive is in
    std::mutex m_serverMutex;
    std::unique_ptr<UpdateServer> m_updateServer;  // last: it calls back into the lab
};

// The simulated lab from a JSON lab file, or the built-in default lab when labPath is empty.
// Throws LabError.
std::unique_ptr<Platform> CreateSimPlatform(const std::string& labPath = {});
// The same, keeping the sim API (devices, machine facts) reachable.
std::unique_ptr<SimPlatform> CreateSimLab(const std::string& labPath = {});

}  // namespace vellumin::platform::sim
