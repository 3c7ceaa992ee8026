// The emulated SATA drive: one command in, the registers a real drive would return out.
#include "platform/sim/SimDevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace vellumin::platform::sim {

namespace {

constexpr int kBlock = 512;
constexpr int kAttempts = 5;

bool IsDataIn(const ata::AtaPassThroughRequest& r, uint64_t bytes) {
    return r.dataIn() && r.dataBuffer != nullptr && r.dataLength >= bytes;
}

bool IsDataOut(const ata::AtaPassThroughRequest& r) {
    return r.dataOut() && r.dataBuffer != nullptr && r.dataLength >= kBlock;
}

// The 512-byte security data block: control word, 32 password bytes, master password id.
struct SecurityBlock {
    bool master = false;
    bool enhanced = false;
    bool maximum = false;
    Password password{};
    uint16_t masterId = 0;

    explicit SecurityBlock(const ata::AtaPassThroughRequest& r) {
        const auto* data = static_cast<const uint8_t*>(r.dataBuffer);
        const uint16_t control = static_cast<uint16_t>(data[0] | (data[1] << 8));
        master = control & 0x0001;
        enhanced = control & 0x0002;
        maximum = control & 0x0100;  // the password block's control word, not identify
        std::memcpy(password.data(), data + 2, password.size());
        masterId = static_cast<uint16_t>(data[34] | (data[35] << 8));
    }
};

}  // namespace

struct SimDevice::Outcome {
    bool delivered = true;
    uint8_t error = 0;
    uint8_t status = ata::kStatusOk;
    std::optional<uint64_t> errorLba;
    uint32_t waitMs = 0;
    uint32_t waitUs = 0;

    static Outcome Ok() { return {}; }
    static Outcome Abort(uint8_t error = ata::kErrorAbort) { return {true, error, ata::kStatusAborted, {}, 0, 0}; }
    static Outcome Refused() { return {false, 0, 0, {}, 0, 0}; }
};

SimDevice::SimDevice(DriveDescription desc) : m_desc(std::move(desc)) {
    m_capacity = m_desc.sectors;
    if (m_desc.identifyRaw) {
        if (m_capacity == 0) {
            DriveDescription probe = m_desc;
            AdoptRawIdentify(probe, true);
            m_capacity = probe.sectors;
        }
        m_identifyBase = *m_desc.identifyRaw;
    } else {
        m_identifyBase = BuildIdentify(m_desc);
    }
    m_smart = m_desc.smartRaw ? *m_desc.smartRaw : BuildSmart(m_desc.smart);
    for (const auto& [i, v] : m_desc.smartBytes) {
        if (i >= 0 && i < kBlock) {
            m_smart[i] = v;
        }
    }
    if (!m_desc.keepSmartChecksum) {
        SealSmartChecksum(m_smart);
    }

    if (m_desc.smart.vendorEraseCodes) {
        for (uint8_t code : *m_desc.smart.vendorEraseCodes) {
            m_vendorErase[code] = true;
        }
    } else if (std::memcmp(m_smart.data() + 400, "SMI", 3) == 0) {
        m_vendorErase[ata::cmd::kVendorEraseFull] = m_vendorErase[ata::cmd::kVendorEraseQuickSmi] = true;
    } else if (std::memcmp(m_smart.data() + 400, "JMF", 3) == 0) {
        m_vendorErase[ata::cmd::kVendorEraseFull] = m_vendorErase[ata::cmd::kVendorEraseQuickJmf] = true;
    }

    m_faults = m_desc.faults;
    IndexFaults();
    for (uint8_t c : m_desc.transport.undeliveredCommands) {
        m_undelivered[c] = true;
    }
    for (uint8_t c : m_desc.transport.abortedCommands) {
        m_aborted[c] = true;
    }
    for (uint8_t f : m_desc.transport.undeliveredSmartFeatures) {
        m_undeliveredSmart[f] = true;
    }
    m_present = m_desc.transport.present;
    m_openFails = m_desc.transport.openFails;
    m_mediaBlank = m_desc.mediaBlank;
    m_eraseMs = m_desc.eraseMilliseconds;
    m_readLatencyUs = m_desc.readLatencyMicroseconds;
    m_readData = m_desc.readData;

    const SecurityDescription& sec = m_desc.security;
    m_security.supported = sec.supported;
    m_security.userPassword = sec.supported ? sec.userPassword : std::nullopt;
    m_security.masterPassword = sec.masterPassword;
    m_security.masterPasswordId = sec.masterPasswordId;
    m_security.level = sec.level;
    ResetSecurityForPowerOn();
    if (m_security.enabled && sec.startUnlocked) {
        m_security.locked = false;
        m_security.frozen = sec.frozenAtPowerOn;
    }
    if (sec.startFrozen && !m_security.locked) {
        m_security.frozen = true;
    }
    if (sec.startExpired) {
        m_security.attemptsLeft = 0;
        m_security.expired = true;
    }
    if (!m_security.supported) {
        m_security = SecurityState{};
    }
}

void SimDevice::ResetSecurityForPowerOn() {
    SecurityState& s = m_security;
    s.enabled = s.userPassword.has_value();
    s.locked = s.enabled;
    // A BIOS freeze at power-on is refused by a locked drive.
    s.frozen = m_desc.security.frozenAtPowerOn && !s.locked;
    s.expired = false;
    s.attemptsLeft = kAttempts;
    s.erasePrepared = false;
    if (!s.supported) {
        s = SecurityState{};
    }
}

bool SimDevice::Execute(ata::AtaPassThroughRequest& request) {
    CommandRecord record;
    record.flags = request.flags;
    record.dataLength = request.dataLength;
    record.timeOutSeconds = request.timeOutSeconds;
    record.input = request.currentTaskFile;
    record.inputPrevious = request.previousTaskFile;

    Outcome outcome = Outcome::Refused();
    std::shared_ptr<const std::function<void(const CommandRecord&)>> observer;
    {
        std::lock_guard lock(m_mutex);
        const uint8_t command = request.currentTaskFile.command;
        const bool smartRefused =
            command == ata::cmd::kSmart && m_undeliveredSmart[request.currentTaskFile.features];
        if (m_present && !m_undelivered[command] && !smartRefused) {
            outcome = Dispatch(request, record);
        } else if (command == ata::cmd::kReadDma || command == ata::cmd::kReadDmaExt) {
            Read(request, record, command == ata::cmd::kReadDmaExt, /*decodeOnly=*/true);
        }
        if (outcome.delivered) {
            ata::AtaTaskFile& out = request.currentTaskFile;
            out.features = outcome.error;
            out.command = outcome.status;
            if (outcome.errorLba) {
                // A failed read reports the first LBA it could not read.
                const uint64_t lba = *outcome.errorLba;
                if (request.ext()) {
                    ata::PackLba48(out, request.previousTaskFile, lba);
                } else {
                    ata::PackLba28(out, lba);
                }
            }
            ++m_stats.commands;
            record.output = out;
        }
        record.delivered = outcome.delivered;
        if (m_logging) {
            m_log.push_back(record);
        }
        observer = m_observer;
    }
    const auto wait = std::chrono::milliseconds(outcome.waitMs) + std::chrono::microseconds(outcome.waitUs);
    if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
    if (observer) {
        (*observer)(record);
    }
    return outcome.delivered;
}

SimDevice::Outcome SimDevice::Dispatch(ata::AtaPassThroughRequest& request, CommandRecord& record) {
    const uint8_t command = request.currentTaskFile.command;
    // ERASE UNIT is accepted only straight after ERASE PREPARE: any other command between
    // them cancels the preparation.
    const bool prepared = m_security.erasePrepared;
    m_security.erasePrepared = false;
    if (m_aborted[command]) {
        return Outcome::Abort();
    }
    switch (command) {
        case ata::cmd::kIdentify:
            return Identify(request);
        case ata::cmd::kSmart:
            return Smart(request);
        case ata::cmd::kReadDma:
            return Read(request, record, false, false);
        case ata::cmd::kReadDmaExt:
            return Read(request, record, true, false);
        case ata::cmd::kSecuritySetPassword:
        case ata::cmd::kSecurityUnlock:
        case ata::cmd::kSecurityErasePrepare:
        case ata::cmd::kSecurityEraseUnit:
        case ata::cmd::kSecurityFreezeLock:
        case ata::cmd::kSecurityDisablePassword:
            return SecurityCommand(request, prepared);
        default:
            return Outcome::Abort();
    }
}

SimDevice::Outcome SimDevice::Identify(ata::AtaPassThroughRequest& request) {
    if (!IsDataIn(request, kBlock)) {
        return Outcome::Refused();
    }
    const ata::IdentifyBlock block = BuildIdentifyLocked();
    std::memcpy(request.dataBuffer, block.data(), kBlock);
    return Outcome::Ok();
}

SimDevice::Outcome SimDevice::Smart(ata::AtaPassThroughRequest& request) {
    const ata::AtaTaskFile& tf = request.currentTaskFile;
    if (tf.lbaMid != ata::cmd::kSmartLbaMid || tf.lbaHigh != ata::cmd::kSmartLbaHigh) {
        return Outcome::Abort();
    }
    if (tf.features == ata::cmd::kSmartReadData) {
        if (!m_desc.smart.supported || !m_desc.smart.enabled) {
            return Outcome::Abort();
        }
        if (!IsDataIn(request, kBlock)) {
            return Outcome::Refused();
        }
        std::memcpy(request.dataBuffer, m_smart.data(), kBlock);
        return Outcome::Ok();
    }
    const uint8_t code = tf.features;
    const uint8_t lbaLow = code == ata::cmd::kVendorEraseFull ? 0xFF : 0x00;
    if (!m_vendorErase[code] || tf.sectorCount != 1 || tf.lbaLow != lbaLow) {
        return Outcome::Abort();
    }
    if (!IsDataIn(request, kBlock)) {
        return Outcome::Refused();
    }
    if (m_security.locked) {
        return Outcome::Abort();
    }
    std::memset(request.dataBuffer, 0, kBlock);
    EraseMedia(code == ata::cmd::kVendorEraseFull ? EraseKind::VendorFull : EraseKind::VendorQuick);
    Outcome done;
    done.waitMs = m_eraseMs;
    return done;
}

void SimDevice::IndexFaults() {
    std::stable_sort(m_faults.begin(), m_faults.end(),
                     [](const MediaFault& a, const MediaFault& b) { return a.lba < b.lba; });
    m_faultEnds.resize(m_faults.size());
    uint64_t end = 0;
    for (size_t i = 0; i < m_faults.size(); ++i) {
        end = std::max(end, m_faults[i].lba + m_faults[i].count);
        m_faultEnds[i] = end;
    }
}

const MediaFault* SimDevice::FaultIn(uint64_t lba, uint64_t count) const {
    // The first failing sector decides which fault answers: one covering `lba` itself, else
    // the first one starting inside the range.
    const auto next = std::upper_bound(m_faults.begin(), m_faults.end(), lba,
                                       [](uint64_t v, const MediaFault& f) { return v < f.lba; });
    const size_t before = static_cast<size_t>(next - m_faults.begin());
    if (before > 0 && m_faultEnds[before - 1] > lba) {
        for (size_t i = 0; i < before; ++i) {
            if (m_faults[i].lba + m_faults[i].count > lba) {
                return &m_faults[i];
            }
        }
    }
    if (next != m_faults.end() && next->lba < lba + count) {
        return &*next;
    }
    return nullptr;
}

SimDevice::Outcome SimDevice::Read(ata::AtaPassThroughRequest& request, CommandRecord& record, bool ext, bool decodeOnly) {
    const ata::AtaTaskFile& tf = request.currentTaskFile;
    uint64_t lba = 0;
    uint32_t count = 0;
    if (ext) {
        // Without the 48-bit flag the high-order registers never reach the drive.
        const ata::AtaTaskFile prev = request.ext() ? request.previousTaskFile : ata::AtaTaskFile{};
        lba = ata::UnpackLba48(tf, prev);
        count = tf.sectorCount | (uint32_t{prev.sectorCount} << 8);
        count = count == 0 ? 65536 : count;
    } else {
        lba = ata::UnpackLba28(tf);
        count = tf.sectorCount == 0 ? 256 : tf.sectorCount;
    }
    record.isRead = true;
    record.lba = lba;
    record.sectors = count;
    if (decodeOnly) {
        return Outcome::Refused();
    }
    if (!IsDataIn(request, uint64_t{count} * kBlock)) {
        return Outcome::Refused();
    }
    ++m_stats.reads;
    if (!ext && !(tf.device & ata::kDeviceLba)) {
        return Outcome::Abort();  // CHS addressing is not emulated
    }
    if (m_security.locked) {
        return Outcome::Abort();
    }
    Outcome outcome;
    outcome.waitUs = m_readLatencyUs;
    const uint64_t limit = ext ? m_capacity : std::min(m_capacity, kLba28Max);
    const uint64_t end = lba + count;
    const MediaFault* fault = FaultIn(lba, count);
    const uint64_t faultLba = fault ? std::max(lba, fault->lba) : UINT64_MAX;
    if (end > limit && std::max(lba, limit) <= faultLba) {
        outcome.status = ata::kStatusAborted;
        outcome.error = ata::kErrorIdnf;
        outcome.errorLba = std::max(lba, limit);
        return outcome;
    }
    if (fault) {
        outcome.error = fault->error;
        if (fault->deviceFault) {
            outcome.status = static_cast<uint8_t>(ata::kStatusDeviceFault | (fault->error ? ata::kStatusErr : 0x00));
        } else {
            outcome.status = ata::kStatusAborted;
        }
        outcome.errorLba = faultLba;
        return outcome;
    }
    if (m_readData == ReadData::Content) {
        FillRead(static_cast<uint8_t*>(request.dataBuffer), lba, count);
    }
    m_stats.sectorsRead += count;
    return outcome;
}

void SimDevice::FillRead(uint8_t* buffer, uint64_t lba, uint32_t sectors) const {
    if (m_mediaBlank) {
        std::memset(buffer, 0, size_t{sectors} * kBlock);
        return;
    }
    for (uint32_t i = 0; i < sectors; ++i) {
        uint8_t* sector = buffer + size_t{i} * kBlock;
        std::memset(sector, 0x5A, kBlock);
        const uint64_t at = lba + i;
        for (int b = 0; b < 8; ++b) {
            sector[b] = static_cast<uint8_t>(at >> (8 * b));
        }
    }
}

SimDevice::Outcome SimDevice::SecurityCommand(ata::AtaPassThroughRequest& request, bool prepared) {
    SecurityState& s = m_security;
    const uint8_t command = request.currentTaskFile.command;
    if (!s.supported) {
        return Outcome::Abort();
    }
    if (command == ata::cmd::kSecurityFreezeLock) {
        if (s.locked) {
            return Outcome::Abort();
        }
        s.frozen = true;
        return Outcome::Ok();
    }
    if (s.frozen) {
        return Outcome::Abort();
    }
    if (command == ata::cmd::kSecurityErasePrepare) {
        s.erasePrepared = true;
        return Outcome::Ok();
    }
    if (!IsDataOut(request)) {
        return Outcome::Refused();
    }
    const SecurityBlock block(request);
    // A wrong password spends one attempt; the fifth failure locks the counter until a
    // power cycle.
    auto failedAttempt = [&] {
        if (s.attemptsLeft > 0 && --s.attemptsLeft == 0) {
            s.expired = true;
        }
        return Outcome::Abort();
    };
    auto userMatches = [&] { return s.userPassword && *s.userPassword == block.password; };
    auto masterMatches = [&] { return s.masterPassword == block.password; };

    switch (command) {
        case ata::cmd::kSecuritySetPassword:
            if (s.locked) {
                return Outcome::Abort();
            }
            if (block.master) {
                s.masterPassword = block.password;
                if (block.masterId != 0x0000 && block.masterId != 0xFFFF) {
                    s.masterPasswordId = block.masterId;
                }
            } else {
                s.userPassword = block.password;
                s.enabled = true;
                s.level = block.maximum ? SecurityLevel::Maximum : SecurityLevel::High;
            }
            return Outcome::Ok();

        case ata::cmd::kSecurityUnlock:
        case ata::cmd::kSecurityDisablePassword: {
            const bool disable = command == ata::cmd::kSecurityDisablePassword;
            if (s.expired || (disable && s.locked)) {
                return Outcome::Abort();
            }
            if (!s.enabled) {
                return Outcome::Ok();
            }
            // At level Maximum the master password only erases.
            const bool match = block.master ? (s.level == SecurityLevel::High && masterMatches()) : userMatches();
            if (!match) {
                return failedAttempt();
            }
            if (disable) {
                s.userPassword.reset();
                s.enabled = false;
                s.level = SecurityLevel::High;
            }
            s.locked = false;
            return Outcome::Ok();
        }

        case ata::cmd::kSecurityEraseUnit: {
            if (!prepared || s.expired) {
                return Outcome::Abort();
            }
            if (block.enhanced && !m_desc.security.enhancedEraseSupported) {
                return Outcome::Abort();
            }
            // Without a user password the drive insists on the master password.
            const bool match = block.master ? masterMatches() : (s.enabled && userMatches());
            if (!match) {
                return failedAttempt();
            }
            EraseMedia(block.enhanced ? EraseKind::SecurityEnhanced : EraseKind::SecurityNormal);
            s.userPassword.reset();
            s.enabled = false;
            s.locked = false;
            s.level = SecurityLevel::High;
            Outcome done;
            done.waitMs = m_eraseMs;
            return done;
        }
        default:
            return Outcome::Abort();
    }
}

void SimDevice::EraseMedia(EraseKind kind) {
    m_mediaBlank = true;
    m_erases.push_back(kind);
}

ata::IdentifyBlock SimDevice::BuildIdentifyLocked() const {
    ata::IdentifyBlock b = m_identifyBase;
    uint16_t w85 = ata::Word(b, 85);
    w85 = m_security.enabled ? static_cast<uint16_t>(w85 | 0x0002) : static_cast<uint16_t>(w85 & ~0x0002);
    PutWord(b, 85, w85);
    // Only the state bits move; whatever else a captured word 128 holds stays as it was.
    constexpr uint16_t kStateBits = ata::sec::kSupported | ata::sec::kEnabled | ata::sec::kLocked |
                                    ata::sec::kFrozen | ata::sec::kExpired |
                                    ata::sec::kEnhancedEraseSupported | ata::sec::kLevelMaximum;
    uint16_t w128 = static_cast<uint16_t>((ata::Word(b, 128) & ~kStateBits) | m_security.Word128());
    if (m_security.supported && m_desc.security.enhancedEraseSupported) {
        w128 |= ata::sec::kEnhancedEraseSupported;
    }
    PutWord(b, 128, w128);
    for (const auto& [k, v] : m_desc.identifyWords) {
        if (k >= 0 && k < 256) {
            PutWord(b, k, v);
        }
    }
    for (const auto& [i, v] : m_desc.identifyBytes) {
        if (i >= 0 && i < kBlock) {
            b[i] = v;
        }
    }
    if (!m_desc.keepIdentifyChecksum) {
        SealIdentifyChecksum(b);
    }
    return b;
}

bool SimDevice::Openable() const {
    std::lock_guard lock(m_mutex);
    return m_present && !m_openFails;
}

int SimDevice::TryOpen() {
    std::lock_guard lock(m_mutex);
    if (!m_present) {
        return ENOENT;
    }
    const auto& limit = m_desc.transport.openFailsAfter;
    if (m_openFails || (limit && m_opens >= *limit)) {
        return m_desc.transport.openErrno;
    }
    ++m_opens;
    return 0;
}

int SimDevice::TryClaim() {
    std::lock_guard lock(m_mutex);
    if (!m_present) {
        return ENOENT;
    }
    if (m_openFails) {
        return m_desc.transport.openErrno;
    }
    if (m_claimed || m_desc.transport.heldByAnotherProgram) {
        return EBUSY;
    }
    m_claimed = true;
    return 0;
}

void SimDevice::ReleaseClaim() {
    std::lock_guard lock(m_mutex);
    m_claimed = false;
}

bool SimDevice::Claimed() const {
    std::lock_guard lock(m_mutex);
    return m_claimed;
}

uint32_t SimDevice::Opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

bool SimDevice::Present() const {
    std::lock_guard lock(m_mutex);
    return m_present;
}

std::optional<uint64_t> SimDevice::ReportedSectors() const {
    std::lock_guard lock(m_mutex);
    if (!m_present || m_desc.transport.sectorCountFails) {
        return std::nullopt;
    }
    return m_desc.reportedSectors.value_or(m_capacity);
}

bool SimDevice::BlockRead(uint64_t lba, uint64_t count) {
    std::lock_guard lock(m_mutex);
    ++m_stats.blockReads;
    if (!m_present || m_security.locked || lba + count > m_capacity || FaultIn(lba, count)) {
        return false;
    }
    m_stats.sectorsRead += count;
    return true;
}

SecurityState SimDevice::Security() const {
    std::lock_guard lock(m_mutex);
    return m_security;
}

ata::IdentifyBlock SimDevice::IdentifyData() const {
    std::lock_guard lock(m_mutex);
    return BuildIdentifyLocked();
}

ata::SmartBlock SimDevice::SmartData() const { return m_smart; }

bool SimDevice::MediaBlank() const {
    std::lock_guard lock(m_mutex);
    return m_mediaBlank;
}

std::vector<EraseKind> SimDevice::Erases() const {
    std::lock_guard lock(m_mutex);
    return m_erases;
}

DeviceStats SimDevice::Stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void SimDevice::SetObserver(std::function<void(const CommandRecord&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = observer ? std::make_shared<const std::function<void(const CommandRecord&)>>(std::move(observer))
                          : nullptr;
}

void SimDevice::SetLogging(bool on) {
    std::lock_guard lock(m_mutex);
    m_logging = on;
}

std::vector<CommandRecord> SimDevice::TakeLog() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_log, {});
}

void SimDevice::PowerCycle() {
    std::lock_guard lock(m_mutex);
    ResetSecurityForPowerOn();
}

void SimDevice::SetPresent(bool present) {
    std::lock_guard lock(m_mutex);
    m_present = present;
}

void SimDevice::SetOpenFails(bool fails) {
    std::lock_guard lock(m_mutex);
    m_openFails = fails;
}

void SimDevice::SetUndelivered(uint8_t command, bool undelivered) {
    std::lock_guard lock(m_mutex);
    m_undelivered[command] = undelivered;
}

void SimDevice::SetAborted(uint8_t command, bool aborted) {
    std::lock_guard lock(m_mutex);
    m_aborted[command] = aborted;
}

void SimDevice::AddFault(const MediaFault& fault) {
    std::lock_guard lock(m_mutex);
    m_faults.push_back(fault);
    IndexFaults();
}

void SimDevice::ClearFaults() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
    m_faultEnds.clear();
}

void SimDevice::SetEraseMilliseconds(uint32_t ms) {
    std::lock_guard lock(m_mutex);
    m_eraseMs = ms;
}

void SimDevice::SetReadLatencyMicroseconds(uint32_t us) {
    std::lock_guard lock(m_mutex);
    m_readLatencyUs = us;
}

void SimDevice::SetReadData(ReadData mode) {
    std::lock_guard lock(m_mutex);
    m_readData = mode;
}

}  // namespace vellumin::platform::sim
