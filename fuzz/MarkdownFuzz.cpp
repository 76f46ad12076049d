// The editor's Markdown on any bytes: to HTML (published and previewed), its pictures, and the
// way back from HTML, whose answer must convert again.

#include "workspace/MarkdownHtml.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CMarkdownHtml::ToHtml(text);
    CMarkdownHtml::PreviewHtml(text);
    CMarkdownHtml::PictureAddresses(text);
    std::string markdown;
    std::string reason;
    if (CMarkdownHtml::FromHtml(text, markdown, reason))
        CMarkdownHtml::ToHtml(markdown);
    return 0;
}
