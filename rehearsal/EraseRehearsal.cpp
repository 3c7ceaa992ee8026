#include "rehearsal/EraseRehearsal.h"

#include <algorithm>

#include "ata/Registers.h"
#include "transport/Transport.h"
#include "pages/erase/SecurityCommands.h"

namespace vellumin::erase {
namespace {

using platform::sim::DriveDescription;


platform::sim::LabDescription LabOf(int number, DriveDescription copy) {
    platform::sim::LabDescription lab;
    lab.source = "<rehearsal>";
    if (number >= 0 && number < platform::sim::kSlotCount) {
        lab.drives[number] = std::move(copy);
    }
    return lab;
}

}  // namespace

std::optional<RehearsalCopy> CopyDriveForRehearsal(platform::Platform& real, int number) {
    // Opening the drive in the copy to look would count against the copy's own open faults, so
    // an empty slot shows in the flow's first IDENTIFY, as it would in the real run.
    if (auto whole = real.CopyAsItStands()) {
        return RehearsalCopy{{}, {}, std::move(whole)};
    }
    ata::IdentifyBlock identify{};
    if (!ata::IdentifyDevice(real.Drives(), number, identify)) {
        return std::nullopt;
    }
    RehearsalCopy copy;
    DriveDescription& d = copy.drive;
    d.identifyRaw = identify;
    ata::SmartBlock smart{};
    if (ata::SmartReadData(real.Drives(), number, smart)) {
        d.smartRaw = smart;
    }
    platform::sim::AdoptRawIdentify(d, false);
    if (!d.smartRaw) {
        d.smart.supported = false;
    }
    // The copy accepts the vendor erase code of its controller family, as the listed
    // controllers do; a real one may abort it.
    const uint8_t status = ata::SecurityStatusByte(identify);
    auto& sec = d.security;
    if (status & ata::sec::kFrozen) {
        sec.frozenAtPowerOn = false;
        sec.startFrozen = true;
        copy.unknowns.push_back(
            "The drive is frozen: the copy thaws when the frozen message is answered; the real "
            "drive "
            "stays frozen until its power is cut (a re-plug), and the flow repeats until it is "
            "not.");
    }
    if (status & ata::sec::kEnabled) {
        platform::sim::Password ours;
        std::copy(kErasePassword.begin(), kErasePassword.end(), ours.begin());
        sec.userPassword = ours;
        copy.unknowns.push_back(
            "The drive carries a user password: the copy assumes it is the one an interrupted "
            "erase "
            "left behind. If someone else set it, the drive aborts UNLOCK, DISABLE PASSWORD, SET "
            "PASSWORD and ERASE UNIT, nothing is erased and there is no restart.");
    }
    copy.unknowns.push_back(
        "The copy answers every command as the ATA security feature set and the controller's "
        "vendor erase define them; the real drive's answers (and the erase's duration) may "
        "differ.");
    return copy;
}

RehearsalPlatform::RehearsalPlatform(platform::Platform& real, int number, RehearsalCopy copy)
    : m_real(real), m_number(number), m_wholeLab(copy.whole != nullptr), m_copy(std::move(copy.whole)) {
    if (!m_copy) {
        auto single = std::make_shared<platform::sim::SimPlatform>(LabOf(number, std::move(copy.drive)));
        m_single = single.get();
        m_copy = std::move(single);
    }
}

platform::DriveHandlePtr RehearsalPlatform::OpenPhysicalDrive(int number) {
    return OpenDrive(number).handle;
}

// The lab's reason when the open fails, so a rehearsal says why as the real run would.
platform::DriveOpening RehearsalPlatform::OpenDrive(int number) {
    return m_wholeLab || number == m_number ? m_copy->Drives().OpenDrive(number) : platform::DriveOpening{};
}

// A real drive another program holds would stop the real run before any command, so it stops
// the rehearsal too. Claiming it sends it nothing, and the claim ends at once.
platform::DriveOpening RehearsalPlatform::ClaimDrive(int number) {
    if (m_wholeLab) {
        return m_copy->Drives().ClaimDrive(number);
    }
    if (number != m_number) {
        return {};
    }
    if (platform::DriveOpening real = m_real.Drives().ClaimDrive(number); !real.handle) {
        return real;
    }
    return m_copy->Drives().ClaimDrive(number);
}

// The lab copy answers as the lab would (a refused restart included); a real machine's restart
// is only recorded.
bool RehearsalPlatform::RestartComputer() {
    m_restartAsked = true;
    if (m_wholeLab) {
        return m_copy->Sys().RestartComputer();
    }
    m_single->PowerCycleAll();
    return true;
}

}  // namespace vellumin::erase
