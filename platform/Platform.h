#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AtaRequest.h"

namespace vellumin::platform {

// An open physical drive. Closing is destruction.
class DriveHandle {
public:
    virtual ~DriveHandle() = default;
    DriveHandle() = default;
    DriveHandle(const DriveHandle&) = delete;
    DriveHandle& operator=(const DriveHandle&) = delete;

    // True when the command reached the device and its registers came back, whether or not
    // the device answered with its error bit. False: the OS or the transport refused it.
    virtual bool PassThrough(AtaPassThroughRequest& request) = 0;
    // Number of 512-byte sectors of the whole medium; nullopt when it cannot be read.
    virtual std::optional<uint64_t> SectorCount() = 0;
    virtual bool Flush() = 0;
};
using DriveHandlePtr = std::unique_ptr<DriveHandle>;

// Physical drives are numbered 0-15. Volumes are known by their names (drive letters "C"
// on Windows and in the lab, mount points on Linux), listed in the platform's fixed order.
class DriveSystem {
public:
    virtual ~DriveSystem() = default;
    // nullptr when the drive does not exist or cannot be opened.
    virtual DriveHandlePtr OpenPhysicalDrive(int number) = 0;
    virtual std::vector<std::string> VolumeNames() = 0;
    virtual bool IsRemovableVolume(const std::string& name) = 0;
    // The physical drive holding the volume, or -1 (no such volume, several disks, unknown).
    virtual int VolumeDiskNumber(const std::string& name) = 0;
};

// Process and machine facts outside the drives.
class System {
public:
    virtual ~System() = default;
    // May this process open raw disks?
    virtual bool IsAdministrator() = 0;
    // Starts this program again with elevated rights and the given arguments; false when the
    // relaunch could not be started.
    virtual bool RelaunchElevated(const std::vector<std::string>& arguments) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual DriveSystem& Drives() = 0;
    virtual System& Sys() = 0;
};

}  // namespace vellumin::platform
