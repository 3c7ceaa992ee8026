// The pure rules of the update query and the download: key, reply, names and paths.

#include <gtest/gtest.h>

#include "pages/fwupdate/DownloadEngine.h"
#include "pages/fwupdate/UpdateQuery.h"
#include "platform/HttpClient.h"

namespace vellumin::fwupdate {
namespace {

TEST(UpdateRules, WonoValueBySerialLengthAndModel) {
    struct Case {
        const char* serial;
        const char* model;
        const char* wono;
    };
    const Case cases[] = {
        {"001234567890", "VQ M500", "123456"},
        {"AB1234567890", "VQ M500", "AB1234"},
        {"ABCDEFGH12345678WXYZ", "VQ KD5508 SSD", "ABCDEF"},
        {"ABCDEFGH12345678WXYZ", "VQ KM5508", "ABCDEF"},
        {"ABCDEFGH12345678WXYZ", "KD3308", "ABCDEF"},
        {"ABCDEFGH12345678WXYZ", "VQ kd5508", "123456"},  // the series is matched case-sensitively
        {"ABCDEFGH12345678WXYZ", "VQ M500", "123456"},
        {"0123456789", "VQ M500", "012345"},
        {"01234567", "VQ M500", "initial"},
        {"AB1234567890  \t", "VQ M500", "AB1234"},  // trailing blanks do not count
        {"  1234567890", "VQ M500", "  1234"},      // leading ones do: 12 characters
        {"", "VQ M500", "initial"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WonoValue(c.serial, c.model), c.wono) << c.serial << " / " << c.model;
    }
}

TEST(UpdateRules, QueryUrlEscapesOnlyWhatCannotStandInAQuery) {
    EXPECT_EQ(UpdateQueryUrl("svc.example:8080", "AB1234"),
              "http://svc.example:8080/support/ssdfwdownload.asp?wono=AB1234");
    EXPECT_EQ(EncodeQueryValue("  12&=#%?/\x01\xff"), "%20%2012%26%3D%23%25%3F%2F%01%FF");
    EXPECT_EQ(EncodeQueryValue("initial"), "initial");
}

TEST(UpdateRules, LoopbackIsNeverProxied) {
    EXPECT_EQ(platform::NoProxyList(nullptr), "localhost,127.0.0.0/8,::1");
    EXPECT_EQ(platform::NoProxyList("corp.example"), "corp.example,localhost,127.0.0.0/8,::1");
    EXPECT_EQ(platform::NoProxyList("*"), "*");
}

TEST(UpdateRules, ReplyTextEndsEveryLineWithCrLf) {
    EXPECT_EQ(ReplyText("a\nb\r\nc"), "a\r\nb\r\r\nc\r\n");
    EXPECT_EQ(ReplyText("a\n"), "a\r\n");
    EXPECT_EQ(ReplyText(""), "");
}

TEST(UpdateRules, ReplyDecidesAgainstTheDriveFirmware) {
    const auto reply = [](const std::string& version, const std::string& url) {
        return "P/N=X<br>\r\nFlash=MLC<br>Controller=C<br>Current FW version=" + version +
               "<br>Download Url=" + url + "<br>\r\n";
    };
    const std::string url = "http://h/fw/N.bin";
    const std::string longValue(kReplyValueMax + 1, 'x');
    struct Case {
        std::string reply;
        QueryEnding ending;
    };
    const Case cases[] = {
        {"", QueryEnding::Silent},
        {"<html>Not found</html>\r\n", QueryEnding::Latest},
        {reply("VQ4.0", url), QueryEnding::Latest},
        {reply("vq4.0", url), QueryEnding::Offer},   // a case difference is an update
        {reply("VQ4.0 ", url), QueryEnding::Offer},  // so is one more trailing blank
        {reply("VQ3.9", url), QueryEnding::Offer},   // and an older version
        {reply("VQ4.1", "ftp://h/fw/N.bin"), QueryEnding::Latest},
        {reply("VQ4.1", "HTTP://h/fw/N.bin"), QueryEnding::Latest},
        {"P/N=X<br>Flash=MLC<br>Current FW version=VQ4.1<br>Download Url=" + url + "<br>",
         QueryEnding::Unreadable},
        {"P/N=X<br>Flash=MLC<br>Controller=C<br>Current FW version=VQ4.1<br>Download Url=" + url,
         QueryEnding::Unreadable},
        {reply(longValue, url), QueryEnding::Unreadable},
        {reply("VQ4.1", "http://h/" + std::string(kReplyValueMax - 9, 'a')),
         QueryEnding::Offer},  // 260: fits
        {reply("VQ4.1", "http://h/" + std::string(kReplyValueMax - 8, 'a')),
         QueryEnding::Unreadable},
    };
    for (const Case& c : cases) {
        const QueryOutcome outcome = DecideUpdate(c.reply, "VQ4.0");
        EXPECT_EQ(outcome.ending, c.ending) << c.reply;
        EXPECT_EQ(outcome.url.empty(), c.ending != QueryEnding::Offer) << c.reply;
    }
    EXPECT_EQ(DecideUpdate(reply("VQ4.1", url), "VQ4.0").url, url);
    EXPECT_EQ(StatusText(DecideUpdate(reply("VQ4.0", url), "VQ4.0")), kLatestText);
    EXPECT_EQ(StatusText(DecideUpdate(reply(longValue, url), "VQ4.0")), kUnreadableReplyText);
}

TEST(UpdateRules, FileNameAndDestination) {
    struct Case {
        const char* folder;
        const char* url;
        const char* path;
    };
    const Case cases[] = {
        {"/", "http://h/fw/ABC123.zip", "/ABC123.zip"},
        {"/home/u/fw", "http://h/fw/ABC123.zip", "/home/u/fw/ABC123.zip"},
        {"/home/u/fw/", "http://h/fw/ABC123.zip", "/home/u/fw/ABC123.zip"},
        {"/tmp", "http://h/fw/My Firmware 2.bin", "/tmp/My Firmware 2.bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinDestination(c.folder, FileNameOf(c.url)), c.path) << c.url;
    }
    EXPECT_EQ(FolderFieldText("/home/u/fw"), "/home/u/fw/");
    EXPECT_EQ(FolderFieldText("/"), "/");
    const std::string path35(35, 'p');
    EXPECT_EQ(ShortenStatusText(path35), path35);
    EXPECT_EQ(ShortenStatusText(path35 + "q"), path35 + "...");
    EXPECT_EQ(EncodeSpaces("http://h/fw/My Firmware 2.bin"), "http://h/fw/My%20Firmware%202.bin");
}

TEST(UpdateRules, NetworkFileNamesThatCannotBeSaved) {
    using namespace std::string_literals;
    const std::pair<std::string, const char*> cases[] = {
        {"", "names no file"},
        {".", "names no file"},
        {"..", "names no file"},
        {".bashrc", "begins with"},
        {"..bin", "begins with"},
        {"a/b", "path separator"},
        {"a\\b", "path separator"},
        {"a\nb", "control character"},
        {"a\x7f", "control character"},
        {"tab\there", "control character"},
        {"a\0b"s, "control character"},
        {"fw-\xc3\xa9.bin", "other than letters"},
        {"a%2Fb.bin", "other than letters"},
        {"fw.bin?key=1", "other than letters"},
        {"C:fw.bin", "other than letters"},
        {std::string(kFileNameMax + 1, 'n'), "longer than 255"},
        {"VQ41.bin", nullptr},
        {"My Firmware.bin", nullptr},
        {"fw_1.2-3+(b).bin.", nullptr},
        {std::string(kFileNameMax, 'n'), nullptr},
    };
    for (const auto& [name, reason] : cases) {
        const std::string why = RefuseFileName(name);
        if (reason == nullptr) {
            EXPECT_EQ(why, "") << name;
        } else {
            EXPECT_NE(why.find(reason), std::string::npos) << name << ": " << why;
        }
    }
}

}  // namespace
}  // namespace vellumin::fwupdate
