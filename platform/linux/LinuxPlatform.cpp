#include "platform/linux/LinuxPlatform.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/QueuedReads.h"
#include "host/UniqueFd.h"
#include "platform/CommandRunner.h"
#include "platform/HostPlatform.h"
#include "platform/linux/Connection.h"
#include "platform/linux/Privileges.h"
#include "platform/linux/SatPassThrough.h"
#include "platform/linux/Volumes.h"

namespace vellumin::platform::linux_backend {
namespace {

constexpr int kDriveCount = 16;

unsigned TimeoutMilliseconds(uint32_t seconds) {
    uint64_t ms = uint64_t{seconds} * 1000;
    return ms > UINT_MAX ? UINT_MAX : static_cast<unsigned>(ms);
}

class LinuxDriveHandle final : public DriveHandle {
public:
    LinuxDriveHandle(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

    PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        auto direction = DirectionOf(request);
        if (!direction) {
            return PassThroughResult::NotDelivered(TransportStage::Request);
        }
        Cdb16 cdb = BuildCdb(request, *direction);
        std::array<uint8_t, 64> sense{};
        sg_io_hdr_t io{};
        io.interface_id = 'S';
        io.cmd_len = cdb.size();
        io.cmdp = cdb.data();
        io.mx_sb_len = sense.size();
        io.sbp = sense.data();
        io.timeout = TimeoutMilliseconds(request.timeOutSeconds);
        switch (*direction) {
            case DataDirection::None:
                io.dxfer_direction = SG_DXFER_NONE;
                break;
            case DataDirection::In:
                io.dxfer_direction = SG_DXFER_FROM_DEV;
                break;
            case DataDirection::Out:
                io.dxfer_direction = SG_DXFER_TO_DEV;
                break;
        }
        if (*direction != DataDirection::None) {
            io.dxfer_len = request.dataLength;
            io.dxferp = request.dataBuffer;
        }
        SgCompletion completion;
        completion.ioctlSucceeded = ::ioctl(m_fd.get(), SG_IO, &io) == 0;
        completion.osError = completion.ioctlSucceeded ? 0 : errno;
        completion.residual = *direction != DataDirection::None && io.resid > 0 ? static_cast<uint32_t>(io.resid) : 0;
        completion.scsiStatus = io.status;
        completion.hostStatus = io.host_status;
        completion.driverStatus = io.driver_status;
        completion.sense =
            std::span<const uint8_t>(sense.data(), std::min<size_t>(io.sb_len_wr, sense.size()));
        const SgOutcome outcome = ClassifyCompletion(completion);
        if (!outcome) {
            return PassThroughResult::NotDelivered(outcome.failure);
        }
        StoreReturn(*outcome, request);
        return PassThroughResult::Delivered();
    }

    std::optional<uint64_t> SectorCount() override {
        uint64_t bytes = 0;
        if (::ioctl(m_fd.get(), BLKGETSIZE64, &bytes) != 0) {
            return std::nullopt;
        }
        return bytes / 512;
    }

    bool Flush() override { return ::fsync(m_fd.get()) == 0; }

    QueuedReaderPtr OpenQueuedReader(unsigned depth) override {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        // The name may have moved to another disk since the handle was opened (a re-plug):
        // read only the device the handle holds.
        struct stat held {};
        struct stat opened {};
        if (::fstat(m_fd.get(), &held) != 0 || ::fstat(fd, &opened) != 0 || !S_ISBLK(opened.st_mode) ||
            opened.st_rdev != held.st_rdev) {
            ::close(fd);
            return nullptr;
        }
        return OpenUringReader(fd, depth);
    }

private:
    UniqueFd m_fd;
    std::string m_path;
};

class LinuxDrives final : public DriveSystem {
public:
    explicit LinuxDrives(const LinuxRoots& roots)
        : m_dev(roots.dev), m_sys(roots.sys), m_volumes(roots.proc, roots.sys) {}

    DriveHandlePtr OpenPhysicalDrive(int number) override { return OpenDrive(number).handle; }

    DriveOpening OpenDrive(int number) override { return Open(number, 0); }
    // The kernel refuses an exclusive open of a disk while anything else holds it so: another
    // exclusive open, a mounted file system on any of its partitions, a device mapper or RAID
    // member. A plain open is never refused for that, which is why reads stay plain.
    DriveOpening ClaimDrive(int number) override { return Open(number, O_EXCL); }

    std::vector<std::string> VolumeNames() override { return m_volumes.Names(); }
    bool IsRemovableVolume(const std::string& name) override { return m_volumes.IsRemovable(name); }
    int VolumeDiskNumber(const std::string& name) override { return m_volumes.DiskNumber(name); }
    std::vector<int> SystemDiskNumbers() override { return m_volumes.SystemDiskNumbers(); }
    DriveConnection Connection(int number) override {
        if (number < 0 || number >= kDriveCount) {
            return DriveConnection::Unknown;
        }
        return BlockDeviceConnection(m_sys, std::string("sd") + static_cast<char>('a' + number));
    }

private:
    DriveOpening Open(int number, int extraFlags) {
        DriveOpening opening;
        if (number < 0 || number >= kDriveCount) {
            opening.failure.osError = ENOENT;
            return opening;
        }
        std::string path = m_dev + "/sd" + static_cast<char>('a' + number);
        // The open's errno tells a missing disk from one held (EBUSY, exclusive opens only)
        // and from one this process has no rights to (EACCES).
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | extraFlags);
        if (fd < 0) {
            opening.failure.osError = errno;
            return opening;
        }
        auto handle = std::make_unique<LinuxDriveHandle>(fd, path);
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISBLK(info.st_mode)) {
            opening.failure.osError = ENODEV;
            return opening;
        }
        opening.handle = std::move(handle);
        return opening;
    }

    std::string m_dev;
    std::string m_sys;
    VolumeTable m_volumes;
};

class LinuxSystem final : public System {
public:
    LinuxSystem(const LinuxRoots& roots, CheckedCommand run)
        : m_proc(roots.proc), m_sys(roots.sys), m_run(std::move(run)) {}

    bool RestartComputer() override { return m_run(RestartCommand()); }

    // rtcwake -m mem writes "mem" to the kernel's list itself, bypassing systemd: whatever
    // systemd says of its suspend target, that list alone decides whether it can work.
    bool CanSuspend() override {
        std::ifstream in(m_sys + "/power/state");
        std::string state;
        while (in >> state) {
            if (state == "mem") {
                return true;
            }
        }
        return false;
    }
    // rtcwake returns once the computer has woken up again.
    bool SuspendAndResume(int seconds) override { return m_run(SuspendCommand(seconds)); }

    bool IsAdministrator() override {
        if (::geteuid() == 0) {
            return true;
        }
        std::ifstream in(m_proc + "/self/status");
        std::ostringstream status;
        status << in.rdbuf();
        return HasRawDiskCapabilities(status.str());
    }

    bool RelaunchElevated(const std::vector<std::string>& arguments) override {
        std::error_code ec;
        auto executable = std::filesystem::read_symlink(m_proc + "/self/exe", ec);
        if (ec) {
            return false;
        }
        auto command = BuildRelaunchCommand(
            executable.string(), arguments, &std::getenv,
            FindPolkitAction(executable.string(), VELLUMIN_INSTALLED_GUI, VELLUMIN_POLKIT_POLICY));
        // Wait, so that a refused prompt can still be reported here and a terminal does not
        // get its prompt back while the elevated copy runs.
        const auto status = SpawnAndWait(command, {.searchPath = true});
        if (!status) {
            return false;
        }
        if (!WIFEXITED(*status)) {
            return true;
        }
        int code = WEXITSTATUS(*status);
        return code != kPkexecDismissed && code != kPkexecNotAuthorised;
    }

private:
    std::string m_proc;
    std::string m_sys;
    CheckedCommand m_run;
};

class LinuxPlatform final : public Platform {
public:
    LinuxPlatform(const LinuxRoots& roots, CheckedCommand run)
        : m_drives(roots), m_system(roots, std::move(run)) {}
    DriveSystem& Drives() override { return m_drives; }
    System& Sys() override { return m_system; }

private:
    LinuxDrives m_drives;
    LinuxSystem m_system;
};

}  // namespace

std::vector<std::string> RestartCommand() {
    return {"systemctl", "reboot"};
}

std::vector<std::string> SuspendCommand(int seconds) {
    return {"rtcwake", "-m", "mem", "-s", std::to_string(seconds)};
}

bool RunChecked(const std::vector<std::string>& command) {
    return ExitedZero(SpawnAndWait(command, {.searchPath = true}));
}

std::unique_ptr<Platform> CreateLinuxPlatform() {
    return CreateLinuxPlatform(LinuxRoots{});
}

std::unique_ptr<Platform> CreateLinuxPlatform(const LinuxRoots& roots) {
    return std::make_unique<LinuxPlatform>(roots, RunChecked);
}

std::unique_ptr<Platform> CreateLinuxPlatform(const LinuxRoots& roots, CheckedCommand run) {
    return std::make_unique<LinuxPlatform>(roots,
                                           run ? std::move(run) : CheckedCommand(RunChecked));
}

}  // namespace vellumin::platform::linux_backend

namespace vellumin::platform {

std::unique_ptr<Platform> CreateHostPlatform() { return linux_backend::CreateLinuxPlatform(); }

}  // namespace vellumin::platform
