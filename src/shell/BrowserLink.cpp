#include "shell/BrowserLink.h"

#include "reader/ChannelTree.h"

#include <cctype>

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string Trim(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// An address that the browser escaped whole: its scheme is followed by "%3A".
bool IsEscapedAddress(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                               text[i] == '+' || text[i] == '-' || text[i] == '.'))
        ++i;
    return i > 0 && StartsWithNoCase(text.substr(i), "%3A");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string CBrowserLink::PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string CBrowserLink::MapFeedScheme(const std::string& address) {
    if (!StartsWithNoCase(address, "feed:"))
        return address;
    std::string rest = address.substr(5);
    // feed:https://host/... and feed://https://host/... carry the whole address.
    if (StartsWithNoCase(rest, "//"))
        rest = rest.substr(2);
    if (StartsWithNoCase(rest, "http://") || StartsWithNoCase(rest, "https://"))
        return rest;
    // feed://host/path (and the rarer feed:host/path) name an http address.
    return rest.empty() ? std::string() : "http://" + rest;
}

bool CBrowserLink::Parse(const std::string& text, std::string& url, std::string& title) {
    std::string link = Trim(text);
    // A link whose separators were escaped as well (quill%3A%2F%2Frssurl%3D...).
    if (IsEscapedAddress(link))
        link = PercentDecode(link);
    if (!CChannelTree::ParseStartAddress(link, url, title))
        return false;
    url = Trim(url);
    // "quill://rssurl=ADDRESS" without a title still names the address after the marker.
    if (StartsWithNoCase(url, "rssurl="))
        url = Trim(url.substr(7));
    if (IsEscapedAddress(url))
        url = PercentDecode(url);
    url = MapFeedScheme(url);
    title = Trim(PercentDecode(title));
    return !url.empty();
}
