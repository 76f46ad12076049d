// The article list's row texts: the summary cleaner (tags and entities taken out, cut by GBK
// bytes) and the date group of a pubDate, on any text.

#include "workspace/ArticleRowText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::size_t limit : {CArticleRowText::kTitleLimit, CArticleRowText::kPreviewLimit})
        CArticleRowText::Summary(text, limit);
    CArticleRowText::DateGroup(std::string(text.substr(0, 64)), 1765000000);
    return 0;
}
