#include "platform/text/WordCount.h"

#include "platform/text/TextCodec.h"

namespace {

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
           c == 0x3000 || c == 0x2028 || c == 0x2029 || c == 0xFEFF || (c >= 0x2000 && c <= 0x200B);
}

// Letters and digits of the scripts written with spaces between words, and the marks on them.
bool IsWordCharacter(char32_t c) {
    if (c < 0x80)
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    // Latin with its accents, Greek, Cyrillic, Armenian, Hebrew, Arabic and the like; the
    // punctuation blocks are not words.
    if (c >= 0xC0 && c <= 0x1FFF)
        return c != 0xD7 && c != 0xF7;
    return c >= 0xFF10 && c <= 0xFF5A && !(c >= 0xFF1A && c <= 0xFF20) &&
           !(c >= 0xFF3B && c <= 0xFF40); // full-width digits and letters
}

} // namespace

bool CWordCount::IsIdeographic(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) ||   // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||   // CJK unified ideographs
           (c >= 0xF900 && c <= 0xFAFF) ||   // compatibility ideographs
           (c >= 0x20000 && c <= 0x3FFFF) || // the supplementary ideographic planes
           (c >= 0x3040 && c <= 0x30FF) ||   // hiragana, katakana
           (c >= 0xAC00 && c <= 0xD7AF) ||   // hangul syllables
           c == 0x3007;                      // 〇
}

WordCounts CWordCount::Count(std::string_view text) {
    WordCounts counts;
    bool inWord = false;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        const char32_t c = CTextCodec::NextCodePoint(text, pos);
        const bool invalid = pos == start + 1 && c >= 0x80;
        if (IsSpace(c)) {
            inWord = false;
            continue;
        }
        ++counts.characters;
        if (IsIdeographic(c)) {
            ++counts.words;
            inWord = false;
        } else if (invalid || IsWordCharacter(c)) {
            if (!inWord)
                ++counts.words;
            inWord = true;
        } else if ((c == '\'' || c == '-' || c == 0x2019) && inWord && pos < text.size()) {
            // Inside a word only when a letter follows: "don't", "e-mail".
            size_t after = pos;
            inWord = IsWordCharacter(CTextCodec::NextCodePoint(text, after));
        } else {
            inWord = false;
        }
    }
    return counts;
}
