#pragma once

#include <string>
#include <string_view>
#include <vector>

// One <link> of a page (or one link of an HTTP Link header).
struct HtmlLink {
    std::string rel;   // as written, e.g. "EditURI", "alternate", "https://api.w.org/"
    std::string type;  // e.g. "application/rsd+xml", "application/rss+xml"; "" when not given
    std::string title; // "" when not given
    std::string href;  // made absolute against the page's base address
};

// The <link> elements of an HTML page and the links of its HTTP Link header: what a site
// announces about itself (its weblog interfaces, its feeds, its REST base). The page is read by
// libxml2's HTML parser, which takes whatever a real page holds; nothing is fetched.
class CHtmlLinks {
public:
    // Every <link> with an href, in page order. Addresses are resolved against the page's
    // <base href> when it has one, else against pageUrl (RFC 3986); an href that names a scheme
    // other than http or https (javascript:, data:, file:) is left out.
    static std::vector<HtmlLink> FromPage(std::string_view html, std::string_view pageUrl);
    // The links of a Link header value ("<url>; rel=\"x\"; type=\"y\", <url2>; rel=y"), resolved
    // against pageUrl; the same rule for schemes.
    static std::vector<HtmlLink> FromHeader(std::string_view value, std::string_view pageUrl);
    // Whether a rel value (a space-separated list) holds the name, letter case ignored.
    static bool HasRel(const HtmlLink& link, std::string_view name);
    // The links whose rel holds the name, in order.
    static std::vector<HtmlLink> WithRel(const std::vector<HtmlLink>& links, std::string_view name);
    // Whether an absolute address is http or https.
    static bool IsWebAddress(std::string_view url);
};
