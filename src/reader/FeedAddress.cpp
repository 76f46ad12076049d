#include "reader/FeedAddress.h"

#include <cctype>
#include <curl/curl.h>
#include <memory>
#include <strings.h>

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t n = std::char_traits<char>::length(prefix);
    return text.size() >= n && strncasecmp(text.c_str(), prefix, n) == 0;
}

struct CUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// True for an absolute http or https address with a host that libcurl can parse.
bool IsWebAddress(const std::string& text) {
    if (!StartsWithNoCase(text, "http://") && !StartsWithNoCase(text, "https://"))
        return false;
    // libcurl reads "http:///x" as host x; an address that names no host before its path is
    // refused rather than guessed at.
    const size_t authority = text.find("//") + 2;
    if (authority >= text.size() || text[authority] == '/')
        return false;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7F)
            return false; // blanks and control characters never belong in an address
    }
    std::unique_ptr<CURLU, CUrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return false;
    char* host = nullptr;
    if (curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        return false;
    const bool hasHost = *host != '\0';
    curl_free(host);
    return hasHost;
}

} // namespace

bool CFeedAddress::Normalize(const std::string& text, std::string& address) {
    std::string candidate = text;
    if (StartsWithNoCase(candidate, "feed:")) {
        std::string rest = candidate.substr(5);
        // feed://host/x names the http address; feed:https://host/x wraps a whole address.
        candidate = rest.compare(0, 2, "//") == 0 ? "http:" + rest : rest;
    }
    if (!IsWebAddress(candidate))
        return false;
    address = candidate;
    return true;
}
