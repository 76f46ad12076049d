#pragma once

#include <string>

// A link that the browser hands to the program (the argument of `quillmark %u`), turned into the
// feed address and title that the subscription dialog is filled with:
//   quill://rssurl=ADDRESS&rsstitle=NAME   the link of a page's "subscribe" button
//   feed://example.org/rss.xml             the feed scheme, as other readers take it: http
//   feed:https://example.org/rss.xml       the feed scheme in front of a whole address
//   https://example.org/rss.xml            a plain address, as it is
// A link that the browser escaped (%E6%B5%8B or http%3A%2F%2F...) is unescaped.
class CBrowserLink {
public:
    // False when no address is left of the text.
    static bool Parse(const std::string& text, std::string& url, std::string& title);

    // The feed scheme mapped to the address it stands for; any other address unchanged.
    static std::string MapFeedScheme(const std::string& address);

    // %XX sequences decoded (a malformed one is kept as it is); "+" is left alone.
    static std::string PercentDecode(const std::string& text);
};
