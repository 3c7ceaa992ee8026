#include "platform/sim/SimPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <nlohmann/json.hpp>

#include "ata/IdentifyBlock.h"
#include "ata/UpdateKey.h"
#include "host/QueuedReads.h"
#include "platform/CommandRunner.h"

namespace vellumin::platform::sim {

namespace {

// The lab drive's block device: a sparse memory file of the drive's reported size, read by the
// same queued reader as a real disk, whose completions the drive then fails where its media do.
class SimQueuedReader final : public QueuedReader {
public:
    SimQueuedReader(QueuedReaderPtr file, std::shared_ptr<SimDevice> device)
        : m_file(std::move(file)), m_device(std::move(device)) {}

    unsigned Depth() const override { return m_file->Depth(); }
    bool Queue(uint64_t offset, void* buffer, uint32_t bytes, uint64_t tag) override {
        return m_file->Queue(offset, buffer, bytes, tag);
    }
    std::optional<QueuedCompletion> WaitOne() override {
        auto done = m_file->WaitOne();
        if (done && done->result >= 0) {
            constexpr uint64_t kSector = 512;
            const uint64_t first = done->offset / kSector;
            const uint64_t end = (done->offset + done->bytes + kSector - 1) / kSector;
            if (!m_device->BlockRead(first, end - first)) {
                done->result = -EIO;
            }
        }
        return done;
    }

private:
    QueuedReaderPtr m_file;
    std::shared_ptr<SimDevice> m_device;
};

// An open lab drive. It shares the device, so swapping the slot does not pull the device
// from under a running scan; a drive set absent refuses every request instead.
class SimDriveHandle : public DriveHandle {
public:
    explicit SimDriveHandle(std::shared_ptr<SimDevice> device, bool claimed = false)
        : m_device(std::move(device)), m_claimed(claimed) {}
    ~SimDriveHandle() override {
        if (m_claimed) {
            m_device->ReleaseClaim();
        }
    }

    PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        return m_device->Execute(request) ? PassThroughResult::Delivered()
                                          : PassThroughResult::NotDelivered(TransportStage::Refused);
    }
    std::optional<uint64_t> SectorCount() override { return m_device->ReportedSectors(); }
    bool Flush() override { return m_device->Present(); }

    QueuedReaderPtr OpenQueuedReader(unsigned depth) override {
        if (!m_device->Present()) {
            return nullptr;
        }
        const uint64_t sectors = m_device->ReportedSectors().value_or(m_device->Capacity());
        auto file = OpenMemoryQueuedReader(sectors * 512, depth);
        if (!file) {
            return nullptr;
        }
        return std::make_unique<SimQueuedReader>(std::move(file), m_device);
    }

private:
    std::shared_ptr<SimDevice> m_device;
    bool m_claimed;
};

}  // namespace

SimPlatform::SimPlatform(LabDescription lab) : m_lab(std::move(lab)) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        m_slotNow[slot] = slot;
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
    return OpenDrive(number).handle;
}

DriveOpening SimPlatform::OpenDrive(int number) { return Open(number, false); }

DriveOpening SimPlatform::ClaimDrive(int number) { return Open(number, true); }

DriveOpening SimPlatform::Open(int number, bool claim) {
    DriveOpening opening;
    opening.failure.osError = ENOENT;
    std::shared_ptr<SimDevice> device;
    {
        std::lock_guard lock(m_mutex);
        if (number < 0 || number >= kSlotCount) {
            return opening;
        }
        device = m_devices[number];
    }
    if (!device) {
        return opening;
    }
    opening.failure.osError = claim ? device->TryClaim() : device->TryOpen();
    if (opening.failure.osError == 0) {
        opening.handle = std::make_unique<SimDriveHandle>(std::move(device), claim);
    }
    return opening;
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
    if (!v) {
        return -1;
    }
    return DiskOf(*v);
}

int SimPlatform::DiskOf(const VolumeDescription& volume) const {
    const auto moved = m_lab.disksAfterReplug.find(volume.name);
    return m_replugged && moved != m_lab.disksAfterReplug.end() ? moved->second : volume.disk;
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

std::vector<int> SimPlatform::SystemDiskNumbers() {
    std::lock_guard lock(m_mutex);
    std::vector<int> disks;
    for (const std::string* dir : {&m_lab.machine.windowsDirectory, &m_lab.machine.systemDirectory}) {
        const VolumeDescription* v = dir->empty() ? nullptr : FindVolume(dir->substr(0, 1));
        disks.push_back(v ? DiskOf(*v) : -1);
    }
    return disks;
}

void SimPlatform::UserPowerCycled(int number) {
    std::shared_ptr<SimDevice> device;
    {
        std::lock_guard lock(m_mutex);
        if (number >= 0 && number < kSlotCount) {
            device = m_devices[number];
        }
        m_replugged = true;
        const std::optional<int> to = device ? device->Description().slotAfterReplug : std::nullopt;
        if (to && *to != number && m_movedByReplug.insert(device.get()).second) {
            std::swap(m_devices[number], m_devices[*to]);
            std::swap(m_lab.drives[number], m_lab.drives[*to]);
            for (int& slot : m_slotNow) {
                slot = slot == number ? *to : slot == *to ? number : slot;
            }
        }
    }
    if (device && !device->Description().security.staysFrozen) {
        device->PowerCycle();
    }
}

DriveConnection SimPlatform::Connection(int number) {
    std::lock_guard lock(m_mutex);
    if (number < 0 || number >= kSlotCount || !m_devices[number]) {
        return DriveConnection::Unknown;
    }
    return m_devices[number]->Description().connection;
}

bool SimPlatform::CanSuspend() {
    std::lock_guard lock(m_mutex);
    return m_lab.machine.canSuspend;
}

bool SimPlatform::SuspendAndResume(int /*seconds*/) {
    std::vector<std::shared_ptr<SimDevice>> devices;
    {
        std::lock_guard lock(m_mutex);
        if (!m_lab.machine.canSuspend || !m_lab.machine.suspendSucceeds) {
            return false;
        }
        ++m_lab.machine.suspends;
        devices.assign(m_devices.begin(), m_devices.end());
    }
    for (const auto& device : devices) {
        if (device && !device->Description().security.staysFrozen) {
            device->PowerCycle();
        }
    }
    return true;
}

bool SimPlatform::RestartComputer() {
    bool succeeds = false;
    {
        std::lock_guard lock(m_mutex);
        m_lab.machine.restartRequested = true;
        succeeds = m_lab.machine.restartSucceeds;
    }
    if (succeeds) {
        PowerCycleAll();
    }
    return succeeds;
}

std::vector<VolumeDescription> SimPlatform::Volumes() const {
    std::lock_guard lock(m_mutex);
    return m_lab.volumes;
}

std::optional<DriveDescription> SimPlatform::DriveAsItStands(int slot) {
    std::shared_ptr<SimDevice> device;
    {
        std::lock_guard lock(m_mutex);
        if (slot < 0 || slot >= kSlotCount || !m_devices[slot]) {
            return std::nullopt;
        }
        device = m_devices[slot];
    }
    DriveDescription drive = device->Description();
    const SecurityState s = device->Security();
    SecurityDescription& sec = drive.security;
    sec.userPassword = s.userPassword;
    sec.masterPassword = s.masterPassword;
    sec.masterPasswordId = s.masterPasswordId;
    sec.level = s.level;
    sec.startUnlocked = s.enabled && !s.locked;
    sec.startFrozen = s.frozen;
    sec.startExpired = s.expired;
    drive.mediaBlank = device->MediaBlank();
    if (auto& limit = drive.transport.openFailsAfter) {
        *limit -= std::min(*limit, device->Opens());
    }
    return drive;
}

std::unique_ptr<SimPlatform> SimPlatform::CloneAsItStands() {
    LabDescription lab;
    {
        std::lock_guard lock(m_mutex);
        lab.volumes = m_lab.volumes;
        lab.machine = m_lab.machine;
        lab.disksAfterReplug = m_lab.disksAfterReplug;
        lab.source = m_lab.source;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        lab.drives[slot] = DriveAsItStands(slot);
    }
    auto clone = std::make_unique<SimPlatform>(std::move(lab));
    std::lock_guard lock(m_mutex);
    clone->m_replugged = m_replugged;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (m_devices[slot] && m_movedByReplug.count(m_devices[slot].get())) {
            clone->m_movedByReplug.insert(clone->m_devices[slot].get());
        }
    }
    return clone;
}

namespace {

std::string Hex(const Password& bytes) {
    std::string text;
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

nlohmann::json SecurityJson(const SecurityDescription& sec) {
    nlohmann::json j = {
        {"supported", sec.supported},
        {"enhancedErase", sec.enhancedEraseSupported},
        {"eraseTime", sec.eraseTime},
        {"enhancedEraseTime", sec.enhancedEraseTime},
        {"frozenAtPowerOn", sec.frozenAtPowerOn},
        {"startFrozen", sec.startFrozen},
        {"staysFrozen", sec.staysFrozen},
        {"masterPasswordHex", Hex(sec.masterPassword)},
        {"masterPasswordId", sec.masterPasswordId},
        {"level", sec.level == SecurityLevel::High ? "high" : "maximum"},
        {"startUnlocked", sec.startUnlocked && sec.userPassword.has_value()},
        {"startExpired", sec.startExpired},
    };
    if (sec.userPassword) {
        j["userPasswordHex"] = Hex(*sec.userPassword);
    }
    return j;
}

// A slot as the file writes it: a number or a decimal / 0x text.
int SlotOf(const nlohmann::json& drive, size_t index) {
    if (!drive.contains("slot")) {
        return static_cast<int>(index);
    }
    const auto& slot = drive["slot"];
    if (slot.is_number_integer()) {
        return slot.get<int>();
    }
    return slot.is_string() ? static_cast<int>(std::stoul(slot.get<std::string>(), nullptr, 0)) : -1;
}

}  // namespace

std::string SimPlatform::SaveLab() {
    std::string text;
    std::string source;
    {
        std::lock_guard lock(m_mutex);
        text = m_lab.json;
        source = m_lab.source;
    }
    if (text.empty()) {
        throw LabError(source + ": a lab built in code cannot be saved");
    }
    nlohmann::json lab = nlohmann::json::parse(text);
    if (lab.contains("drives")) {
        auto& drives = lab["drives"];
        for (size_t i = 0; i < drives.size(); ++i) {
            const int fileSlot = SlotOf(drives[i], i);
            int slot = -1;
            if (fileSlot >= 0 && fileSlot < kSlotCount) {
                std::lock_guard lock(m_mutex);
                slot = m_slotNow[fileSlot];  // a re-plug may have moved it
            }
            const auto drive = DriveAsItStands(slot);
            if (!drive) {
                continue;
            }
            drives[i]["security"] = SecurityJson(drive->security);
            drives[i]["mediaBlank"] = drive->mediaBlank;
            if (drive->transport.openFailsAfter) {
                drives[i]["transport"]["openFailsAfter"] = *drive->transport.openFailsAfter;
            }
        }
    }
    std::lock_guard lock(m_mutex);
    lab["machine"]["restartRequested"] = m_lab.machine.restartRequested;
    lab["machine"]["trimEnabled"] = m_lab.machine.trimEnabled;
    return lab.dump(2) + "\n";
}

UpdateServer& SimPlatform::LabUpdateServer() {
    std::lock_guard serverLock(m_serverMutex);
    if (!m_updateServer) {
        m_updateServer = std::make_unique<UpdateServer>([this](const std::string& wono) { return AnswerQuery(wono); });
        std::lock_guard lock(m_mutex);
        for (const FirmwareFile& file : m_lab.machine.firmwareFiles) {
            ServedReply reply;
            reply.body = file.content;
            if (file.size != 0 && !file.content.empty()) {
                reply.body.reserve(file.size);
                while (reply.body.size() < file.size) {
                    reply.body.append(file.content, 0, std::min<uint64_t>(file.content.size(), file.size - reply.body.size()));
                }
            }
            reply.status = file.status;
            reply.cutAfter = file.cutAfter;
            reply.announceLength = file.announceLength;
            reply.bytesPerSecond = file.bytesPerSecond;
            m_updateServer->SetFile(file.path, std::move(reply));
        }
    }
    return *m_updateServer;
}

// The service knows drives only by their key: the answer for the first lab drive whose serial
// gives it, else one that names the key alone.
ServedReply SimPlatform::AnswerQuery(const std::string& wono) {
    std::lock_guard lock(m_mutex);
    const FirmwareAnswer* answer = nullptr;
    for (const auto& drive : m_lab.drives) {
        if (drive && ata::WonoValue(ata::TrimRight(drive->serial), ata::TrimRight(drive->model)) == wono) {
            answer = m_lab.machine.FindFirmwareAnswer(ata::TrimRight(drive->model), ata::TrimRight(drive->firmware), wono);
            if (answer != nullptr) {
                break;
            }
        }
    }
    if (answer == nullptr) {
        answer = m_lab.machine.FindFirmwareAnswer({}, {}, wono);
    }
    if (answer == nullptr) {
        return NotFound();
    }
    ServedReply reply;
    reply.status = answer->status;
    reply.body = answer->reply;
    reply.cutAfter = answer->cutAfter;
    return reply;
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
    std::string report;
    {
        std::lock_guard lock(m_mutex);
        MachineFacts& m = m_lab.machine;
        switch (m.trimCommand) {
        case LabTrimCommand::CannotStart:
            return false;
        case LabTrimCommand::WritesNothing:
            break;
        case LabTrimCommand::NoNumber:
            report = "DisableDeleteNotify =";
            break;
        case LabTrimCommand::Works:
            if (command != TrimCommand::Query) {
                m.trimEnabled = command == TrimCommand::TurnOn;
            }
            report = std::string("DisableDeleteNotify = ") + (m.trimEnabled ? "0" : "1");
            break;
        }
    }
    return Runner().Run(EchoCommandLine(report), outputFd);
}

std::unique_ptr<SimPlatform> CreateSimLab(const std::string& labPath) {
    return std::make_unique<SimPlatform>(labPath.empty() ? DefaultLab() : LoadLabFile(labPath));
}

std::unique_ptr<Platform> CreateSimPlatform(const std::string& labPath) { return CreateSimLab(labPath); }

}  // namespace vellumin::platform::sim
