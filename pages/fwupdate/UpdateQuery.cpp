#include "pages/fwupdate/UpdateQuery.h"

#include <array>
#include <cctype>
#include <cstdio>

#include "platform/HttpClient.h"

namespace vellumin::fwupdate {

namespace {

constexpr std::array<std::string_view, 5> kReplyKeys = {
    "P/N=", "Flash=", "Controller=", "Current FW version=", "Download Url="};
constexpr size_t kVersionKey = 3;
constexpr size_t kUrlKey = 4;
constexpr std::string_view kValueEnd = "<br>";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

QueryOutcome Ending(QueryEnding ending) {
    QueryOutcome outcome;
    outcome.ending = ending;
    return outcome;
}

}  // namespace

std::string QuerySerial(const ata::IdentifyBlock& identify) {
    return ata::TrimRight(ata::SerialNumber(identify));
}
std::string QueryFirmware(const ata::IdentifyBlock& identify) {
    return ata::TrimRight(ata::FirmwareRevision(identify));
}
std::string QueryModel(const ata::IdentifyBlock& identify) {
    return ata::TrimRight(ata::ModelNumber(identify));
}

std::string WonoValue(const ata::IdentifyBlock& identify) {
    return WonoValue(QuerySerial(identify), QueryModel(identify));
}

std::string EncodeQueryValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (unsigned char c : value) {
        if (IsUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string UpdateQueryUrl(std::string_view host, std::string_view wono) {
    return "http://" + std::string(host) +
           "/support/ssdfwdownload.asp?wono=" + EncodeQueryValue(wono);
}

std::string ReplyText(std::string_view body) {
    std::string text;
    text.reserve(body.size() + body.size() / 16 + 2);
    while (!body.empty()) {
        const size_t end = body.find('\n');
        text += body.substr(0, end);
        text += "\r\n";
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    }
    return text;
}

UpdateReply ParseUpdateReply(std::string_view reply) {
    UpdateReply parsed;
    if (reply.find(kReplyKeys[0]) == std::string_view::npos) {
        return parsed;
    }
    parsed.kind = UpdateReply::Kind::Unreadable;
    std::string_view rest = reply;
    for (size_t k = 0; k < kReplyKeys.size(); ++k) {
        const size_t at = rest.find(kReplyKeys[k]);
        if (at == std::string_view::npos) {
            return parsed;
        }
        rest.remove_prefix(at + kReplyKeys[k].size());
        const size_t end = rest.find(kValueEnd);
        if (end == std::string_view::npos || end > kReplyValueMax) {
            return parsed;
        }
        const std::string_view value = rest.substr(0, end);
        rest.remove_prefix(end + kValueEnd.size());
        if (k == kVersionKey) {
            parsed.version = value;
        } else if (k == kUrlKey) {
            parsed.url = value;
        }
    }
    parsed.kind = UpdateReply::Kind::Complete;
    return parsed;
}

QueryOutcome DecideUpdate(std::string_view reply, std::string_view firmware) {
    if (reply.empty()) {
        return Ending(QueryEnding::Silent);
    }
    const UpdateReply parsed = ParseUpdateReply(reply);
    switch (parsed.kind) {
        case UpdateReply::Kind::NoAnswer:
            return Ending(QueryEnding::Latest);
        case UpdateReply::Kind::Unreadable:
            return Ending(QueryEnding::Unreadable);
        case UpdateReply::Kind::Complete:
            break;
    }
    if (parsed.version == firmware || !parsed.url.starts_with("http://")) {
        return Ending(QueryEnding::Latest);
    }
    QueryOutcome offer = Ending(QueryEnding::Offer);
    offer.url = parsed.url;
    return offer;
}

std::string StatusText(const QueryOutcome& outcome) {
    switch (outcome.ending) {
        case QueryEnding::Latest:
            return kLatestText;
        case QueryEnding::Unreadable:
            return kUnreadableReplyText;
        case QueryEnding::Failed:
            return outcome.error;
        case QueryEnding::Silent:
        case QueryEnding::Offer:
            break;
    }
    return {};
}

QueryOutcome RunUpdateQuery(const ata::IdentifyBlock& identify, const std::string& host,
                            const std::atomic<int>* cancel) {
    const std::string url = UpdateQueryUrl(host, WonoValue(identify));
    platform::HttpClient client(platform::CacheUse::Allowed);
    client.SetCancelFlag(cancel);
    std::string body;
    bool tooLong = false;
    const auto response =
        client.Get(url, [&body, &tooLong](const platform::HttpResponse&, std::string_view data) {
            // A reply of five short fields: a service that keeps sending is not answering.
            tooLong = body.size() + data.size() > kReplyBodyMax;
            if (!tooLong) {
                body += data;
            }
            return !tooLong;
        });
    if (tooLong) {
        return Ending(QueryEnding::Unreadable);
    }
    if (!response.delivered) {
        QueryOutcome failed = Ending(QueryEnding::Failed);
        failed.error = response.error;
        return failed;
    }
    return DecideUpdate(ReplyText(body), QueryFirmware(identify));
}

}  // namespace vellumin::fwupdate
