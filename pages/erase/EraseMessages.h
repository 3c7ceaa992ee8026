#pragma once

// Every message box the erase can show, as data: the engine names a message, the page, the
// CLI or a test answers it. Texts are the program's exact wording.

#include <string>
#include <vector>

namespace vellumin::erase {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Error, Question, Information };
// Suspend: only to a frozen-state message that offers it, in place of Ok.
enum class Answer { Ok, Yes, No, Suspend };

enum class MessageId {
    DisableFail,
    DisableAborted,
    UnlockFail,
    UnlockAborted,
    LockFail,
    LockAborted,
    PrepareFail,      // ERASE PREPARE not delivered
    EraseFail,        // ERASE UNIT not delivered
    EraseAborted,     // ERASE UNIT aborted
    Frozen,           // asks the user to power-cycle the drive
    SuspendFailed,    // the suspend offered at the frozen state did not happen
    CheckFailed,      // "Secure Erase check failed!!\n" + check result name
    SecureEraseFail,  // "Secure Erase Fail!!"
    VendorFail,       // vendor erase not delivered
    VendorAborted,
    Completion,    // then the restart
    BootDrive,     // "... %s is the boot drive ..."
    Confirmation,  // Yes/No naming the drive and its volumes
    // After an erase that did not finish on a drive that took the erase password: what the
    // drive is left with.
    PasswordRemoved,
    PasswordLeft,
    OtherDrive,  // the drive at the number is not the one confirmed; detail names that one
    DriveBusy,   // another program holds the drive: the erase stopped before any command
};

struct EraseMessage {
    MessageId id = MessageId::Completion;
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    // A frozen-state message where the computer can suspend: besides re-plugging the drive,
    // the user may answer Suspend. The text stays as it is; the offer comes beside it.
    bool suspendOffered = false;
};

// The message with its fixed text; `detail` fills the ones that carry a value (the check
// result's name, the model text, the confirmation's whole text, the confirmed drive).
EraseMessage MessageFor(MessageId id, const std::string& detail = {});

// How the flow asks the user. Called on the flow's thread; blocks until the user answers.
// An Ok-only message answers Answer::Ok; a Yes/No message Answer::Yes or Answer::No.
class ErasePrompter {
public:
    virtual ~ErasePrompter() = default;
    virtual Answer Ask(const EraseMessage& message) = 0;
};

// The confirmation's text: the model text, then every volume of the drive in the
// platform's order, or " Not recognized volume".
std::string ConfirmationText(const std::string& modelText, const std::vector<std::string>& volumes);

}  // namespace vellumin::erase
