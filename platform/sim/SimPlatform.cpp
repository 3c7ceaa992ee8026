#include "platform/sim/SimPlatform.h"

#include <vector>

#include "platform/CommandRunner.h"

namespace vellumin::platform::sim {

namespace {

// An open lab drive. It shares the device, so swapping the slot does not pull the device
// from under a running scan; a drive set absent refuses every request instead.
class SimDriveHandle : public DriveHandle {
public:
    explicit SimDriveHandle(std::shared_ptr<SimDevice> device) : m_device(std::move(device)) {}

    bool PassThrough(AtaPassThroughRequest& request) override { return m_device->Execute(request); }
    std::optional<uint64_t> SectorCount() override { return m_device->ReportedSectors(); }
    bool Flush() override { return m_device->Present(); }

private:
    std::shared_ptr<SimDevice> m_device;
};

}  // namespace

SimPlatform::SimPlatform(LabDescription lab) : m_lab(std::move(lab)) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (m_lab.drives[slot]) {
            m_devices[slot] = std::make_shared<SimDevice>(*m_lab.drives[slot]);
        }
    }
}

SimDevice* SimPlatform::Device(int slot) {
    std::lock_guard lock(m_mutex);
    return slot >= 0 && slot < kSlotCount ? m_devices[slot].get() : nullptr;
}

SimDevice& SimPlatform::SetDrive(int slot, DriveDescription drive) {
    if (slot < 0 || slot >= kSlotCount) {
        throw std::out_of_range("lab slot " + std::to_string(slot) + " is outside 0-15");
    }
    auto device = std::make_shared<SimDevice>(drive);
    std::lock_guard lock(m_mutex);
    m_lab.drives[slot] = std::move(drive);
    m_devices[slot] = device;
    return *device;
}

void SimPlatform::RemoveDrive(int slot) {
    std::lock_guard lock(m_mutex);
    if (slot >= 0 && slot < kSlotCount) {
        m_lab.drives[slot].reset();
        m_devices[slot].reset();
    }
}

void SimPlatform::SetVolumes(std::vector<VolumeDescription> volumes) {
    std::lock_guard lock(m_mutex);
    m_lab.volumes = std::move(volumes);
}

void SimPlatform::PowerCycleAll() {
    std::lock_guard lock(m_mutex);
    for (auto& device : m_devices) {
        if (device) {
            device->PowerCycle();
        }
    }
}

std::vector<std::pair<std::string, std::string>> SimPlatform::ShellOpened() const {
    std::lock_guard lock(m_mutex);
    return m_shellOpened;
}

DriveHandlePtr SimPlatform::OpenPhysicalDrive(int number) {
    std::shared_ptr<SimDevice> device;
    {
        std::lock_guard lock(m_mutex);
        if (number < 0 || number >= kSlotCount) {
            return nullptr;
        }
        device = m_devices[number];
    }
    if (!device || !device->Openable()) {
        return nullptr;
    }
    return std::make_unique<SimDriveHandle>(std::move(device));
}

std::vector<std::string> SimPlatform::VolumeNames() {
    std::lock_guard lock(m_mutex);
    // As Windows probes them: the letters C to Z in order, whatever order the lab gives.
    std::vector<std::string> names;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (FindVolume(std::string(1, letter))) {
            names.emplace_back(1, letter);
        }
    }
    return names;
}

const VolumeDescription* SimPlatform::FindVolume(const std::string& name) const {
    for (const VolumeDescription& v : m_lab.volumes) {
        if (v.name == name) {
            return &v;
        }
    }
    return nullptr;
}

bool SimPlatform::IsRemovableVolume(const std::string& name) {
    std::lock_guard lock(m_mutex);
    const VolumeDescription* v = FindVolume(name);
    return v && v->removable;
}

int SimPlatform::VolumeDiskNumber(const std::string& name) {
    std::lock_guard lock(m_mutex);
    const VolumeDescription* v = FindVolume(name);
    return v ? v->disk : -1;
}

std::optional<OsVersionRecord> SimPlatform::OsVersion() {
    std::lock_guard lock(m_mutex);
    if (m_lab.machine.os.versionCallFails) {
        return std::nullopt;
    }
    return m_lab.machine.os.version;
}

bool SimPlatform::OpenWithShell(const std::string& file, const std::string& workingFolder) {
    std::lock_guard lock(m_mutex);
    m_shellOpened.emplace_back(file, workingFolder);
    return m_lab.machine.shellOpenSucceeds;
}

uint16_t SimPlatform::ProcessorArchitecture() {
    std::lock_guard lock(m_mutex);
    return m_lab.machine.os.is64Bit ? 9 : 0;  // AMD64 or x86
}

int SimPlatform::ServerR2Metric() {
    std::lock_guard lock(m_mutex);
    return m_lab.machine.os.serverR2;
}

std::string SimPlatform::WmiOsVersion() {
    std::lock_guard lock(m_mutex);
    return m_lab.machine.os.wmiVersion;
}

bool SimPlatform::HasTrimService() {
    std::lock_guard lock(m_mutex);
    return m_lab.machine.os.trimService;
}

bool SimPlatform::RunTrimCommand(TrimCommand command, int outputFd) {
    // The lab's setting changes here; a real child process then prints the report through the
    // same runner and output file the host's command uses.
    static constexpr const char* kReport = "printf 'DisableDeleteNotify = %s\\n' \"$1\"";
    std::vector<std::string> argv;
    {
        std::lock_guard lock(m_mutex);
        MachineFacts& m = m_lab.machine;
        switch (m.trimCommand) {
        case LabTrimCommand::CannotStart:
            return false;
        case LabTrimCommand::WritesNothing:
            argv = {"/bin/sh", "-c", ":"};
            break;
        case LabTrimCommand::NoNumber:
            argv = {"/bin/sh", "-c", "echo 'DisableDeleteNotify ='"};
            break;
        case LabTrimCommand::Works:
            if (command != TrimCommand::Query) {
                m.trimEnabled = command == TrimCommand::TurnOn;
            }
            argv = {"/bin/sh", "-c", kReport, "sh", m.trimEnabled ? "0" : "1"};
            break;
        }
    }
    return Runner().Run(argv, outputFd);
}

std::unique_ptr<SimPlatform> CreateSimLab(const std::string& labPath) {
    return std::make_unique<SimPlatform>(labPath.empty() ? DefaultLab() : LoadLabFile(labPath));
}

std::unique_ptr<Platform> CreateSimPlatform(const std::string& labPath) { return CreateSimLab(labPath); }

}  // namespace vellumin::platform::sim
