#include "pages/erase/EraseMessages.h"

#include <cctype>

namespace vellumin::erase {
namespace {

constexpr const char* kApp = "Vellumin";

struct Fixed {
    MessageId id;
    const char* text;
    const char* caption;
    MessageButtons buttons;
    MessageIcon icon;
};

// The completion message's quotation marks are U+201C and U+201D, with no blanks around OK.
constexpr Fixed kMessages[] = {
    {MessageId::DisableFail, "Disable cmd Fail", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::DisableAborted, "Disable cmd aborted", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::UnlockFail, "UnLock cmd Fail", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::UnlockAborted, "UnLock cmd aborted", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::LockFail, "Lock cmd Fail", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::LockAborted, "Lock cmd aborted", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::PrepareFail, "Erase Prepare cmd Fail", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::EraseFail, "Erase cmd Fail", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::EraseAborted, "cmd aborted", kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::Frozen,
     "Disk in frozen state!!\n\n!!!Important - To prevent the danger of ESD, recommend to use the "
     "antistatic tool to do the following thing.\n\nPlease unplug the power cable of disk and "
     "re-plug "
     "in then press Enter",
     kApp, MessageButtons::Ok, MessageIcon::None},
    {MessageId::SuspendFailed,
     "The computer could not be suspended, so the drive was not power-cycled.", kApp,
     MessageButtons::Ok, MessageIcon::Error},
    {MessageId::CheckFailed, "Secure Erase check failed!!\n", kApp, MessageButtons::Ok,
     MessageIcon::None},
    {MessageId::SecureEraseFail, "Secure Erase Fail!!", kApp, MessageButtons::Ok,
     MessageIcon::None},
    {MessageId::VendorFail, "Command Fail", "Error", MessageButtons::Ok, MessageIcon::Error},
    {MessageId::VendorAborted, "Command Aborted", "Error", MessageButtons::Ok, MessageIcon::Error},
    {MessageId::Completion,
     "Secure Erase complete. Please close any open applications and click\u201cOK\u201dto restart "
     "your PC.",
     "Success", MessageButtons::Ok, MessageIcon::Information},
    {MessageId::BootDrive,
     "The selected drive %s is the boot drive and cannot use this functionive", "Error",
     MessageButtons::Ok, MessageIcon::Error},
    {MessageId::Confirmation, "", "Confirmation", MessageButtons::YesNo, MessageIcon::Question},
    {MessageId::PasswordRemoved,
     "The erase did not finish, and the erase password was removed again: the drive is left "
     "with no password.",
     kApp, MessageButtons::Ok, MessageIcon::Information},
    {MessageId::PasswordLeft,
     "The erase did not finish, and the drive still carries the erase password: it will be "
     "locked at its next power-up.",
     kApp, MessageButtons::Ok, MessageIcon::Error},
    {MessageId::OtherDrive,
     "Another drive now answers in place of the drive you confirmed (%s): the erase stopped "
     "before any security command, and neither drive was changed.",
     "Error", MessageButtons::Ok, MessageIcon::Error},
    {MessageId::DriveBusy,
     "Another program holds the drive (a mounted file system, for one): the erase stopped before "
     "any command was sent, and the drive was not changed. Unmount its file systems or close "
     "that program, then try again.",
     "Error", MessageButtons::Ok, MessageIcon::Error},
};

}  // namespace

EraseMessage MessageFor(MessageId id, const std::string& detail) {
    EraseMessage message;
    for (const Fixed& fixed : kMessages) {
        if (fixed.id == id) {
            message = {id, fixed.text, fixed.caption, fixed.buttons, fixed.icon};
            break;
        }
    }
    switch (id) {
        case MessageId::CheckFailed:
            message.text += detail;
            break;
        case MessageId::BootDrive:
        case MessageId::OtherDrive:
            message.text.replace(message.text.find("%s"), 2, detail);
            break;
        case MessageId::Confirmation:
            message.text = detail;
            break;
        default:
            break;
    }
    return message;
}

std::string ConfirmationText(const std::string& modelText,
                             const std::vector<std::string>& volumes) {
    std::string text =
        "Are you sure you want to erase this drive?\nDrive:" + modelText + "\nVolume:";
    for (const std::string& volume : volumes) {
        // Letters read "E:" as the system writes them; mount points stand as they are.
        const bool letter =
            volume.size() == 1 && std::isalpha(static_cast<unsigned char>(volume[0]));
        text += " " + volume + (letter ? ":" : "");
    }
    if (volumes.empty()) {
        text += " Not recognized volume";
    }
    return text;
}

}  // namespace vellumin::erase
