#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ata/AtaRequest.h"
#include "platform/DriveConnection.h"
#include "platform/PassThroughResult.h"

namespace vellumin::platform {

// One queued read as it finished.
struct QueuedCompletion {
    uint64_t tag = 0;
    uint64_t offset = 0;  // bytes from the start of the medium
    uint32_t bytes = 0;   // asked for
    int result = 0;       // bytes read, or -errno
};

// Direct reads of the medium through the system's block layer, several in flight at once and
// in the background I/O class. A failed read says only that it failed: which sector and what
// the drive answered is for a pass-through read to find out.
class QueuedReader {
public:
    virtual ~QueuedReader() = default;
    QueuedReader() = default;
    QueuedReader(const QueuedReader&) = delete;
    QueuedReader& operator=(const QueuedReader&) = delete;

    // Requests that may be in flight at once.
    virtual unsigned Depth() const = 0;
    // Queues a read of `bytes` from byte `offset` into `buffer` (4096-aligned, both numbers
    // multiples of 512); false when Depth() reads are already in flight.
    virtual bool Queue(uint64_t offset, void* buffer, uint32_t bytes, uint64_t tag) = 0;
    // Sends what was queued and waits until one read finishes; nullopt when nothing is in
    // flight or the system failed the wait (the reads in flight are then lost).
    virtual std::optional<QueuedCompletion> WaitOne() = 0;
};
using QueuedReaderPtr = std::unique_ptr<QueuedReader>;

// An open physical drive. Closing is destruction.
class DriveHandle {
public:
    virtual ~DriveHandle() = default;
    DriveHandle() = default;
    DriveHandle(const DriveHandle&) = delete;
    DriveHandle& operator=(const DriveHandle&) = delete;

    // Delivered when the command reached the device and its registers came back, whether or
    // not the device answered with its error bit; otherwise why the OS or the transport failed.
    virtual PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) = 0;
    // Number of 512-byte sectors of the whole medium; nullopt when it cannot be read.
    virtual std::optional<uint64_t> SectorCount() = 0;
    virtual bool Flush() = 0;
    // The same medium opened for queued direct reads, up to `depth` in flight; nullptr where
    // the platform or the system offers none. Closed by destruction, before or after the drive.
    virtual QueuedReaderPtr OpenQueuedReader(unsigned /*depth*/) { return nullptr; }
};
using DriveHandlePtr = std::unique_ptr<DriveHandle>;

// Passes every call on to another open drive, as ForwardingDriveSystem does for the system: a
// wrapper overrides only what it watches and loses none of the drive's abilities.
class ForwardingDriveHandle : public DriveHandle {
public:
    explicit ForwardingDriveHandle(DriveHandlePtr inner) : m_forwardTo(std::move(inner)) {}
    PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override { return m_forwardTo->PassThrough(request); }
    std::optional<uint64_t> SectorCount() override { return m_forwardTo->SectorCount(); }
    bool Flush() override { return m_forwardTo->Flush(); }
    QueuedReaderPtr OpenQueuedReader(unsigned depth) override { return m_forwardTo->OpenQueuedReader(depth); }

private:
    DriveHandlePtr m_forwardTo;
};

// An open that may have failed: the handle, or why there is none (stage Open, with the open's
// errno where the system gave one).
struct DriveOpening {
    DriveHandlePtr handle;
    TransportFailure failure{TransportStage::Open};
};

// Physical drives are numbered 0-15. Volumes are known by their names (drive letters "C"
// on Windows and in the lab, mount points on Linux), listed in the platform's fixed order.
class DriveSystem {
public:
    virtual ~DriveSystem() = default;
    // nullptr when the drive does not exist or cannot be opened.
    virtual DriveHandlePtr OpenPhysicalDrive(int number) = 0;
    // The same with the reason an open failed. A backend that knows why overrides this; the
    // default knows only that the open failed.
    virtual DriveOpening OpenDrive(int number) { return {OpenPhysicalDrive(number)}; }
    // Opens the drive and claims it for this process alone while the handle lives: nothing else
    // can mount, partition or claim it meanwhile, while plain opens (this program's own too)
    // still work. Fails busy while another program holds it, a mounted file system included,
    // where a plain open would not. A backend without such a claim opens the drive plainly.
    virtual DriveOpening ClaimDrive(int number) { return OpenDrive(number); }
    virtual std::vector<std::string> VolumeNames() = 0;
    virtual bool IsRemovableVolume(const std::string& name) = 0;
    // The physical drive holding the volume, or -1 (no such volume, several disks, unknown).
    virtual int VolumeDiskNumber(const std::string& name) = 0;
    // The drives holding the running system (its system volumes and swap); -1 stands for one
    // that cannot be mapped to a single drive, which makes every drive count. A backend that
    // cannot tell reports -1.
    virtual std::vector<int> SystemDiskNumbers() { return {-1}; }
    // The user has unplugged and re-plugged the drive's power, as the frozen-state message
    // asked. Real drives need nothing; the lab power-cycles its drive.
    virtual void UserPowerCycled(int /*number*/) {}
    // How the drive is attached; Unknown when the backend cannot tell, which offers no erase.
    virtual DriveConnection Connection(int /*number*/) { return DriveConnection::Unknown; }
};

// Passes every call on to another drive system. A wrapper overrides only what it changes, so a
// call added to DriveSystem reaches the real drives through every wrapper, not its default.
class ForwardingDriveSystem : public DriveSystem {
public:
    explicit ForwardingDriveSystem(DriveSystem& inner) : m_forwardTo(inner) {}
    // Both ways of opening go through OpenDrive, so the inner system's reason for a failed
    // open comes through and a wrapper's WrapHandle sees every handle.
    DriveHandlePtr OpenPhysicalDrive(int number) final { return OpenDrive(number).handle; }
    DriveOpening OpenDrive(int number) override { return Wrapped(m_forwardTo.OpenDrive(number)); }
    DriveOpening ClaimDrive(int number) override { return Wrapped(m_forwardTo.ClaimDrive(number)); }
    std::vector<std::string> VolumeNames() override { return m_forwardTo.VolumeNames(); }
    bool IsRemovableVolume(const std::string& name) override { return m_forwardTo.IsRemovableVolume(name); }
    int VolumeDiskNumber(const std::string& name) override { return m_forwardTo.VolumeDiskNumber(name); }
    std::vector<int> SystemDiskNumbers() override { return m_forwardTo.SystemDiskNumbers(); }
    void UserPowerCycled(int number) override { m_forwardTo.UserPowerCycled(number); }
    DriveConnection Connection(int number) override { return m_forwardTo.Connection(number); }

protected:
    // A drive just opened, as the wrapper hands it on.
    virtual DriveHandlePtr WrapHandle(DriveHandlePtr handle) { return handle; }

private:
    DriveOpening Wrapped(DriveOpening opening) {
        if (opening.handle) {
            opening.handle = WrapHandle(std::move(opening.handle));
        }
        return opening;
    }

    DriveSystem& m_forwardTo;
};

// The operating system's version, in the shape of the Windows extended version record so the
// Windows decision tables stay pure functions of it. Other systems report windows = false and
// name themselves in `name`.
struct OsVersionRecord {
    bool windows = false;
    uint32_t platformId = 0;  // 2: NT family
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    std::string servicePack;  // szCSDVersion, as the system reports it
    uint8_t productType = 0;  // 1: workstation
    std::string name;         // e.g. "Debian GNU/Linux 12 (bookworm)"
};

class CommandRunner;

// What the system's TRIM command is asked to do.
enum class TrimCommand { Query, TurnOn, TurnOff };

// Process and machine facts outside the drives.
class System {
public:
    virtual ~System() = default;
    // May this process open raw disks?
    virtual bool IsAdministrator() = 0;
    // Starts this program again with elevated rights and the given arguments; false when the
    // relaunch could not be started.
    virtual bool RelaunchElevated(const std::vector<std::string>& arguments) = 0;
    // The running system's version; nullopt when it cannot be read. The default reads the
    // host (uname, /etc/os-release).
    virtual std::optional<OsVersionRecord> OsVersion();
    // Hands a file to the system's opener (an executable is started) with the given working
    // folder, without waiting for it; false when nothing could be started.
    virtual bool OpenWithShell(const std::string& file, const std::string& workingFolder);
    // Asks the system to restart and returns at once; false when the request could not be
    // made (the program then stays open).
    virtual bool RestartComputer() { return false; }
    // Whether the computer can sleep in RAM and wake up by a timer. That cuts the drives'
    // power and usually thaws a drive whose security the firmware froze at boot.
    virtual bool CanSuspend() { return false; }
    // Suspends to RAM with a wake alarm `seconds` ahead and returns once the computer has
    // resumed; false when it did not suspend.
    virtual bool SuspendAndResume(int /*seconds*/) { return false; }
    // host[:port] of the firmware-update service. The default is the build's host, or
    // VELLUMIN_UPDATE_HOST when set.
    virtual std::string UpdateServiceHost();

    // The further inputs of the operating-system identification, each read only for the
    // version that needs it: the native processor architecture (9: AMD64), the SM_SERVERR2
    // metric and the WMI version text ("-1" when the query fails).
    virtual uint16_t ProcessorArchitecture();
    virtual int ServerR2Metric();
    virtual std::string WmiOsVersion();
    // Whether a system other than Windows has a TRIM setting this program can switch (on
    // Linux: systemd's periodic TRIM timer, fstrim.timer).
    virtual bool HasTrimService();
    // Runs the command that reads or switches the TRIM setting through Runner(), its standard
    // output appended to `outputFd`. The output carries a line "DisableDeleteNotify = N" (0:
    // TRIM on, 1: off) describing the state afterwards. False when nothing could be started.
    virtual bool RunTrimCommand(TrimCommand command, int outputFd);
    // How commands are started (posix_spawn unless a test injects another).
    virtual CommandRunner& Runner();
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual DriveSystem& Drives() = 0;
    virtual System& Sys() = 0;
    // A copy of the whole platform as it stands (drives, volumes, machine) that answers as this
    // one would, for a rehearsal; nullptr where the drives are real and cannot be copied.
    virtual std::shared_ptr<Platform> CopyAsItStands() { return nullptr; }
};

}  // namespace vellumin::platform
