#include "platform/text/TextCheck.h"

#include "platform/text/TextCodec.h"

namespace {

// C0 controls except tab and newline, DEL and the C1 controls; U+FFFE and U+FFFF are no
// characters at all.
bool IsRefused(char32_t cp) {
    if (cp == U'\t' || cp == U'\n')
        return false;
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xFFFE || cp == 0xFFFF;
}

constexpr char32_t kReplacement = 0xFFFD;

} // namespace

bool CTextCheck::IsCleanText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t cp = CTextCodec::NextCodePoint(text, pos);
        // U+FFFD stands for invalid bytes unless it was written out as EF BF BD.
        if (cp == kReplacement && text.substr(start, pos - start) != "\xEF\xBF\xBD")
            return false;
        if (IsRefused(cp))
            return false;
    }
    return true;
}

bool CTextCheck::AreCleanTexts(std::initializer_list<std::string_view> texts) {
    for (std::string_view text : texts) {
        if (!IsCleanText(text))
            return false;
    }
    return true;
}
