#include "pages/erase/EraseGates.h"

#include <algorithm>
#include <cstring>

#include "ata/Registers.h"
#include "transport/Transport.h"
#include "pages/erase/SecurityCommands.h"

namespace vellumin::erase {
namespace {

constexpr int kControllerOffset = 400;

constexpr std::string_view kListedControllers[] = {"SMI2242", "SMI2235", "JMF612", "JMF616"};

// Three appear twice; kept as the list has always stood.
constexpr std::string_view kOutdatedRevisions[] = {
    "100707", "101202", "100730",  "101022",   "101028", "101202", "110322",  "110512",
    "J0712",  "J1227",  "42J0712", "20101227", "J0623",  "J1227",  "35J0603", "20101227",
};
static_assert(std::size(kOutdatedRevisions) == 16);

// What the drive is "connected through".
const char* ConnectionPhrase(platform::DriveConnection connection) {
    using platform::DriveConnection;
    switch (connection) {
        case DriveConnection::SataPort:
            return "a SATA port";
        case DriveConnection::Usb:
            return "USB";
        case DriveConnection::Sas:
            return "a SAS controller";
        case DriveConnection::Raid:
            return "a RAID controller";
        case DriveConnection::Nvme:
            return "NVMe";
        case DriveConnection::Virtual:
            return "a virtual machine's disk controller";
        case DriveConnection::Unknown:
            break;
    }
    return "a connection this program cannot identify";
}

std::string_view UpToZero(const ControllerBytes& controller) {
    const auto* bytes = reinterpret_cast<const char*>(controller.data());
    return {bytes, strnlen(bytes, controller.size())};
}

}  // namespace

std::string ConnectionRefusal(platform::DriveConnection connection) {
    if (connection == platform::DriveConnection::SataPort) {
        return {};
    }
    return std::string("The selected drive is connected through ") + ConnectionPhrase(connection) +
           "; secure erase is offered only for drives on a SATA port.";
}

std::string UnlockConnectionWarning(platform::DriveConnection connection) {
    if (connection == platform::DriveConnection::SataPort) {
        return {};
    }
    return std::string("The selected drive is connected through ") + ConnectionPhrase(connection) +
           ", not a SATA port: the unlock may not reach the drive as it was sent, and the drive "
           "may stay locked.";
}

ControllerBytes ControllerBytesOf(const ata::SmartBlock& smart) {
    ControllerBytes controller{};
    std::copy_n(smart.begin() + kControllerOffset, controller.size(), controller.begin());
    return controller;
}

bool IsListedController(const ControllerBytes& controller) {
    const std::string_view name = UpToZero(controller);
    return std::find(std::begin(kListedControllers), std::end(kListedControllers), name) !=
           std::end(kListedControllers);
}

bool IsOutdatedFirmware(std::string_view revision) {
    return std::find(std::begin(kOutdatedRevisions), std::end(kOutdatedRevisions), revision) !=
           std::end(kOutdatedRevisions);
}

bool IsEraseUnsupportedOs(const std::optional<platform::OsVersionRecord>& os) {
    return os && os->windows && os->major == 6 && (os->minor == 2 || os->minor == 3);
}

EraseGateView DecideEraseGates(const EraseGateInputs& in) {
    EraseGateView view;
    view.listed = IsListedController(in.controller);
    // Before every other gate: through a bridge even the vendor erase may be cut short.
    if (std::string refusal = ConnectionRefusal(in.connection); !refusal.empty()) {
        view.gateMessage = std::move(refusal);
        return view;
    }
    if (!view.listed) {
        if (in.identifyRead && !in.osUnsupported) {
            view.warningVisible = view.quickVisible = true;
            view.securityEraseMode = true;
            view.quick = QuickEraseRuns::SecurityFlow;
        } else {
            view.notSupportedVisible = true;
            if (in.identifyRead) {
                view.notSupportedText = kTextOsNotSupported;
            }
        }
        return view;
    }
    // A refused listed drive keeps the warning as it was: the red message sits below it.
    view.warningVisible = in.warningVisible;
    const uint8_t s = in.securityStatus;
    if (IsOutdatedFirmware(in.firmwareRevision)) {
        view.gateMessage = kTextOutdatedFirmware;
    } else if ((s & ata::sec::kEnabled) && (s & ata::sec::kLocked)) {
        view.gateMessage = kTextLocked;
    } else if (s & ata::sec::kEnabled) {
        view.gateMessage = kTextSecurityEnabled;
    } else {
        view.warningVisible = view.quickVisible = view.fullVisible = true;
        view.quick = QuickEraseRuns::VendorErase;
        view.quickVendorCode = UpToZero(in.controller).starts_with("SMI") ? ata::cmd::kVendorEraseQuickSmi
                                                                          : ata::cmd::kVendorEraseQuickJmf;
    }
    return view;
}

void TakeIdentifyReference(const ata::IdentifyBlock& identify, EraseGateInputs& inputs) {
    inputs.firmwareRevision = ata::TrimRight(ata::FirmwareRevision(identify));
    inputs.securityStatus = ata::SecurityStatusByte(identify);
}

EraseGateInputs ReadEraseGateInputs(platform::DriveSystem& drives, int driveNumber,
                                    const ata::IdentifyBlock* reference, bool osUnsupported,
                                    bool warningVisible) {
    EraseGateInputs inputs;
    inputs.osUnsupported = osUnsupported;
    inputs.warningVisible = warningVisible;
    if (reference) {
        TakeIdentifyReference(*reference, inputs);
    }
    inputs.connection = drives.Connection(driveNumber);
    // A refused connection is decided without a command: nothing goes through that bridge.
    if (inputs.connection != platform::DriveConnection::SataPort) {
        return inputs;
    }
    ata::SmartBlock smart{};
    if (ata::SmartReadData(drives, driveNumber, smart)) {
        inputs.controller = ControllerBytesOf(smart);
    }
    ata::IdentifyBlock fresh{};
    inputs.identifyRead = ata::IdentifyDevice(drives, driveNumber, fresh).delivered();
    return inputs;
}

std::string ElapsedTimeText(int seconds) {
    std::string text = "Elapsed Time: ";
    const int hours = seconds / 3600;
    const int minutes = seconds % 3600 / 60;
    const int rest = seconds % 3600 % 60;
    if (hours != 0) {
        text += " " + std::to_string(hours) + " hr";
    }
    if (minutes != 0) {
        text += " " + std::to_string(minutes) + " min";
    }
    if (rest != 0) {
        text += " " + std::to_string(rest) + " sec";
    }
    return text;
}

}  // namespace vellumin::erase
