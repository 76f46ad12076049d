#pragma once

#include <string_view>

// The counts a writer watches on the status line. Each Chinese (or Japanese, Korean) character
// is one word, as Chinese writers count; elsewhere a run of letters and digits (with the
// apostrophes and hyphens inside it, as in "don't" and "e-mail") is one word. Characters are
// every character but white space.
struct WordCounts {
    int words = 0;
    int characters = 0;

    bool operator==(const WordCounts&) const = default;
};

class CWordCount {
public:
    // text is UTF-8; a byte that is not part of valid UTF-8 counts as one character of a word.
    static WordCounts Count(std::string_view text);
    // Whether the code point is written in Chinese characters (or kana, hangul): one word each.
    static bool IsIdeographic(char32_t c);
};
