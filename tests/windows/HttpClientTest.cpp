#include <gtest/gtest.h>

#include "platform/HttpClient.h"

namespace vellumin::platform {
namespace {

// What WinINet is never asked: the texts are curl's, as on Linux.
TEST(HttpClientOnWindows, OnlyPlainHttpIsRequested) {
    struct Case {
        const char* url;
        const char* error;
    } cases[] = {
        {"", "URL using bad/illegal format or missing URL"},
        {"ftp://h/fw/a.bin", "Protocol \"ftp\" not supported or disabled in libcurl"},
        {"https://h/fw/a.bin", "Protocol \"https\" not supported or disabled in libcurl"},
    };
    for (const Case& c : cases) {
        HttpClient client(CacheUse::Allowed);
        bool called = false;
        const HttpResponse response =
            client.Get(c.url, [&](const HttpResponse&, std::string_view) { return called = true; });
        EXPECT_FALSE(response.delivered) << c.url;
        EXPECT_EQ(response.error, c.error) << c.url;
        EXPECT_FALSE(called);
    }
}

}  // namespace
}  // namespace vellumin::platform
