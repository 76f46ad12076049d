// The links a page announces: <link> elements and Link header values of any text, resolved
// against a fixed page address.

#include "platform/xml/HtmlLinks.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view page = "https://blog.example/dir/page.html";
    for (const HtmlLink& link : CHtmlLinks::FromPage(text, page))
        CHtmlLinks::HasRel(link, "alternate");
    CHtmlLinks::FromHeader(text.substr(0, 4096), page);
    return 0;
}
