#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct sqlite3;
struct fts5_api;

// The tokens of the search index ("quill", an FTS5 tokenizer), made from the text of an item as
// a reader sees it:
// - a document is read as HTML: tags with their attributes, comments, scripts and styles are
//   skipped, character references decoded (a title without markup reads the same);
// - Latin, Cyrillic, Greek and digits become words folded to lower case, by FTS5's own
//   unicode61, so a word is cut and folded the same way on both sides. Diacritics are kept
//   (remove_diacritics 0): the search's LIKE test tells "cafe" from "café" anyway, so folding
//   them would only name rows that the test then drops, and keeping them lets the index alone
//   answer a keyword of ASCII letters and digits exactly;
// - a run of CJK ideographs, kana or hangul becomes its overlapping two-character tokens, and
//   its last character a one-character token as well, so every character of the run begins
//   some token: one character is found as a prefix, two as a token, more as all their bigrams;
// - anything else (punctuation, symbols, emoji, control characters and invalid UTF-8)
//   separates tokens.
// A keyword (Purpose::kQuery) is plain text: its runs give only their bigrams, or their one
// character when a run is that short.
class CSearchTokenizer {
public:
    enum class Purpose { kDocument, kQuery };
    enum class Kind { kWord, kCjkPair, kCjkSingle };
    struct Token {
        std::string_view text;
        Kind kind;
        // Where the token ends in the text that was read (the keyword, for a query), in bytes.
        size_t end;
        // In the same place as the token before (a run's last character, beside its last pair).
        bool colocated = false;
    };
    // Returns an SQLite result code; anything but SQLITE_OK stops the tokenizing.
    using Sink = std::function<int(const Token&)>;

    static constexpr const char* kName = "quill";

    // Registers the tokenizer on the connection; false when this SQLite has no FTS5.
    static bool Register(sqlite3* db);

    // A tokenizer working with the unicode61 of the connection, which must have FTS5.
    explicit CSearchTokenizer(sqlite3* db);
    ~CSearchTokenizer();
    CSearchTokenizer(const CSearchTokenizer&) = delete;
    CSearchTokenizer& operator=(const CSearchTokenizer&) = delete;

    // The tokens of the text in its order. Returns an SQLite result code.
    int Tokenize(std::string_view text, Purpose purpose, const Sink& sink) const;

    // The text a reader sees in the HTML: markup left out (each tag as a space), character
    // references decoded, invalid UTF-8 and control characters as spaces.
    static std::string VisibleText(std::string_view html);

    // True when the code point is tokenized in pairs (CJK ideographs, kana, hangul).
    static bool IsPaired(char32_t c);

    // The same from the connection's FTS5 (throws CppSQLite3Exception without unicode61).
    explicit CSearchTokenizer(fts5_api* api);
    // The connection's FTS5, or null.
    static fts5_api* Api(sqlite3* db);

private:
    struct Words;
    Words* m_words = nullptr;
};
