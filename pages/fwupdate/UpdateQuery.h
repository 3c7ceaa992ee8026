#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "ata/IdentifyBlock.h"
#include "ata/UpdateKey.h"

namespace vellumin::fwupdate {

// Texts of the page's status line and boxes.
inline constexpr const char* kCheckingText = "Checking Update parameters. Please wait...";
inline constexpr const char* kLatestText =
    "You already have the latest firmware version. There is no need to update.";
inline constexpr const char* kSelectFolderText =
    "Please select the destination path that will store the latest firmware...";
inline constexpr const char* kUnreadableReplyText = "The update service's reply could not be read.";
inline constexpr const char* kConfirmationCaption = "Confirmation";
inline constexpr const char* kConfirmationText =
    "1. Updating your device may result in data loss. Therefore, we strongly recommend you back "
    "up your data before proceeding.\n\n2. Please DO NOT use the firmware update utility to "
    "downgrade the firmware to an older version.\n\n3. If your SSD has been locked by ATA "
    "security command, please ensure that the SSD is unlocked and the password is disabled "
    "otherwise unexpected issues may occur.";
inline constexpr const char* kErrorCaption = "Error";

// The longest reply value the page keeps (its buffer holds 260 characters and a zero).
inline constexpr size_t kReplyValueMax = 260;
// The longest reply body the query reads.
inline constexpr size_t kReplyBodyMax = 64 * 1024;

using ata::WonoValue;
std::string WonoValue(const ata::IdentifyBlock& identify);

// The value as it may stand in a URL query: letters, digits and "-._~" stay, the rest is %XX.
std::string EncodeQueryValue(std::string_view value);
std::string UpdateQueryUrl(std::string_view host, std::string_view wono);

// The reply text from the body: every line (without its line feed) followed by "\r\n".
std::string ReplyText(std::string_view body);

struct UpdateReply {
    enum class Kind {
        NoAnswer,    // no "P/N=" at all
        Complete,    // all five keys, each value closed by "<br>" and within kReplyValueMax
        Unreadable,  // "P/N=" present but a key, a closing "<br>" missing, or a value too long
    };
    Kind kind = Kind::NoAnswer;
    std::string version;  // "Current FW version="
    std::string url;      // "Download Url="
};
UpdateReply ParseUpdateReply(std::string_view reply);

enum class QueryEnding {
    Silent,  // empty reply: the status line keeps its text
    Latest,  // no answer, same version, or no http:// URL
    Offer,   // a different version with an http:// URL
    Unreadable,
    Failed,  // the HTTP layer's error text
};

struct QueryOutcome {
    QueryEnding ending = QueryEnding::Silent;
    std::string url;    // with Offer
    std::string error;  // with Failed
};

// What the reply means for a drive with firmware revision F (trailing white space removed).
QueryOutcome DecideUpdate(std::string_view reply, std::string_view firmware);

// The status line for an ending (empty for Silent and Offer, which the caller words itself).
std::string StatusText(const QueryOutcome& outcome);

// The whole query: derive the key, ask the service at `host`, decide. `cancel` set ends a
// transfer in progress (the outcome is then Failed with an empty error).
QueryOutcome RunUpdateQuery(const ata::IdentifyBlock& identify, const std::string& host,
                            const std::atomic<int>* cancel = nullptr);

// Texts of the identify block as the query reads them.
std::string QuerySerial(const ata::IdentifyBlock& identify);
std::string QueryFirmware(const ata::IdentifyBlock& identify);
std::string QueryModel(const ata::IdentifyBlock& identify);

}  // namespace vellumin::fwupdate
