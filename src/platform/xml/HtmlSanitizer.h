#pragma once

#include <string>
#include <string_view>
#include <vector>

// What becomes of an image whose address is on the network.
enum class RemoteImages {
    kLoad,        // shown as the feed wrote it
    kPlaceholder, // a link that loads the images on click stands in its place
};

struct HtmlSanitizeOptions {
    // Hosts whose https players may be embedded (<iframe>), compared without case.
    std::vector<std::string> videoHosts;
    RemoteImages remoteImages = RemoteImages::kLoad;
    // Where the placeholder of a remote image leads (the pane loads the images when it is
    // followed).
    std::string loadImagesAddress;
};

// An item's description made safe to show: read by libxml2's HTML parser and written back with
// only the elements and attributes a feed reader keeps (text structure, lists, tables, links,
// images, media, embedded players from the allowed hosts). Scripts, styles, plug-ins, forms and
// everything that could run code, reach into the program or cover the page is dropped; the
// text itself stays as the feed wrote it.
class CHtmlSanitizer {
public:
    static std::string Sanitize(std::string_view html, const HtmlSanitizeOptions& options);

    // A list of host names as the settings keep it (separated by commas, semicolons or blanks),
    // lower-cased.
    static std::vector<std::string> ParseHostList(std::string_view text);
    // "" when every entry of the list is a plain host name, else the message to show.
    static std::string CheckHostList(std::string_view text);
    // The declarations of a style attribute without those that position or overlay the element
    // (position, z-index, and the offsets of an absolute or fixed element), that load anything
    // (url(), image-set(), @import ...) or that can run code.
    static std::string CleanStyle(std::string_view style);

    // The class of the placeholder element and the attribute that keeps the image's address.
    static constexpr const char* kPlaceholderClass = "quill-image-placeholder";
    static constexpr const char* kPlaceholderText = "点击加载图片";
};
