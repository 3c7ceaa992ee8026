#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace vellumin::platform {

namespace {

// curl_global_init is not thread-safe on every curl build: once, before the first handle.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    CURL* curl = nullptr;
    const HttpClient::Sink* sink = nullptr;
    const HttpClient::HeadCheck* headCheck = nullptr;
    bool redirect = false;  // the answer whose headers are coming names another location
    const std::atomic<int>* cancel = nullptr;
    HttpResponse response;
    bool headKnown = false;
    bool sinkStopped = false;
    bool cancelled = false;

    void LearnHead() {
        if (headKnown) {
            return;
        }
        headKnown = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
        curl_off_t length = -1;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length >= 0) {
            response.length = static_cast<uint64_t>(length);
        }
    }
    bool Cancelled() const {
        return cancel != nullptr && cancel->load(std::memory_order_relaxed) != 0;
    }
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Each header line of each answer, the status line first and an empty line last. The empty
// line of the answer curl keeps (not an interim 1xx, not a redirect it follows) is where its
// status and length are known and no body has come yet.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    const std::string_view line(data, bytes);
    if (StartsWithNoCase(line, "http/")) {
        t.redirect = false;
    } else if (StartsWithNoCase(line, "location:")) {
        t.redirect = true;
    } else if ((line == "\r\n" || line == "\n") && !t.headKnown) {
        long status = 0;
        curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
        const bool followed = t.redirect && status / 100 == 3 && status != 304;
        if (status / 100 != 1 && !followed) {
            t.LearnHead();
            if (t.headCheck != nullptr && *t.headCheck && !(*t.headCheck)(t.response)) {
                t.sinkStopped = true;
                return 0;
            }
        }
    }
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    t.LearnHead();
    const size_t bytes = size * count;
    if (t.Cancelled()) {
        t.cancelled = true;
        return 0;
    }
    if (!(*t.sink)(t.response, std::string_view(data, bytes))) {
        t.sinkStopped = true;
        return 0;
    }
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.Cancelled()) {
        t.cancelled = true;
        return 1;
    }
    return 0;
}

std::string Limited(std::string text) {
    if (text.size() > kHttpErrorTextMax) {
        text.resize(kHttpErrorTextMax);
    }
    return text;
}

}  // namespace

HttpClient::HttpClient(CacheUse cache) : m_cache(cache) {
    InitCurlOnce();
    m_curl = curl_easy_init();
}

HttpClient::~HttpClient() {
    if (m_curl != nullptr) {
        curl_easy_cleanup(static_cast<CURL*>(m_curl));
    }
}

void HttpClient::SetTimeouts(long connectSeconds, long stallSeconds) {
    m_connectSeconds = connectSeconds;
    m_stallSeconds = stallSeconds;
}

HttpResponse HttpClient::Get(const std::string& url, const Sink& sink, const HeadCheck& head) {
    Transfer t;
    if (m_curl == nullptr) {
        t.response.error = "The HTTP client could not be started.";
        return t.response;
    }
    t.curl = static_cast<CURL*>(m_curl);
    t.sink = &sink;
    t.headCheck = &head;
    t.cancel = m_cancel;
    CURL* curl = t.curl;
    curl_easy_reset(curl);

    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Vellumin");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // workers must not get SIGALRM from resolves
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_connectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_stallSeconds);
    const char* noProxy = std::getenv("no_proxy");
    if (noProxy == nullptr) {
        noProxy = std::getenv("NO_PROXY");
    }
    const std::string noProxyList = NoProxyList(noProxy);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxyList.c_str());
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 64L * 1024);

    curl_slist* headers = nullptr;
    if (m_cache == CacheUse::ForceReload) {
        headers = curl_slist_append(headers, "Cache-Control: no-cache");
        headers = curl_slist_append(headers, "Pragma: no-cache");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    }

    const CURLcode code = curl_easy_perform(curl);
    curl_slist_free_all(headers);
    t.LearnHead();
    t.response.cancelled = t.cancelled;
    if (code == CURLE_OK) {
        t.response.delivered = true;
    } else if (!t.sinkStopped && !t.cancelled) {
        t.response.error =
            Limited(errorBuffer[0] != '\0' ? std::string(errorBuffer) : curl_easy_strerror(code));
    }
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    return t.response;
}

}  // namespace vellumin::platform
