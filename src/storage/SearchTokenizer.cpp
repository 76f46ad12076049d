#include "storage/SearchTokenizer.h"

#include "platform/text/TextCodec.h"
#include "storage/CppSQLite3Exception.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point that starts at text[i] and its length in bytes; kInvalid (length 1) for a byte
// that does not start a well-formed UTF-8 sequence.
char32_t DecodeAt(std::string_view text, size_t i, size_t& length) {
    size_t next = i;
    const char32_t c = CTextCodec::NextCodePoint(text, next);
    length = next - i;
    // The decoder gives U+FFFD for a bad byte (and steps one); a U+FFFD in the text is three.
    return c == 0xFFFD && length == 1 ? kInvalid : c;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Where "needle" (lower case) next occurs in text from `from` on, ignoring ASCII case.
size_t FindIgnoringCase(std::string_view text, std::string_view needle, size_t from) {
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && AsciiLower(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

// The position after the '>' that closes the tag opened at `open`, with quoted attribute values
// taken whole; npos when there is none. An unclosed quote falls back to the first '>'.
size_t TagEnd(std::string_view text, size_t open) {
    char quote = 0;
    for (size_t i = open + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    const size_t first = text.find('>', open + 1);
    return first == std::string_view::npos ? first : first + 1;
}

struct NamedReference {
    const char* name;
    char32_t c;
};

// The references that feeds use in practice; any other stays as it is written.
constexpr NamedReference kNamedReferences[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},     {"apos", '\''},
    {"nbsp", ' '},     {"ensp", ' '},     {"emsp", ' '},      {"thinsp", ' '},   {"copy", 0xA9},
    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"laquo", 0xAB},
    {"raquo", 0xBB},   {"middot", 0xB7},  {"bull", 0x2022},   {"deg", 0xB0},     {"times", 0xD7},
    {"divide", 0xF7},  {"euro", 0x20AC},  {"yen", 0xA5},      {"pound", 0xA3},   {"cent", 0xA2},
    {"sect", 0xA7},    {"para", 0xB6},    {"plusmn", 0xB1},   {"shy", 0xAD},     {"eacute", 0xE9},
    {"egrave", 0xE8},  {"agrave", 0xE0},  {"aacute", 0xE1},   {"auml", 0xE4},    {"ouml", 0xF6},
    {"uuml", 0xFC},    {"Auml", 0xC4},    {"Ouml", 0xD6},     {"Uuml", 0xDC},    {"szlig", 0xDF},
    {"ccedil", 0xE7},  {"ntilde", 0xF1},  {"oacute", 0xF3},   {"iacute", 0xED},  {"uacute", 0xFA},
};

// Decodes the character reference at text[i] ('&'); the code point and the reference's length,
// or kInvalid when it is not one.
char32_t DecodeReference(std::string_view text, size_t i, size_t& length) {
    const size_t semicolon = text.find(';', i + 1);
    if (semicolon == std::string_view::npos || semicolon - i > 32)
        return kInvalid;
    const std::string_view body = text.substr(i + 1, semicolon - i - 1);
    length = semicolon - i + 1;
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8)
            return kInvalid;
        char32_t c = 0;
        for (char d : digits) {
            int value = -1;
            if (d >= '0' && d <= '9')
                value = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                value = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                value = d - 'A' + 10;
            if (value < 0)
                return kInvalid;
            c = c * (hex ? 16 : 10) + static_cast<char32_t>(value);
        }
        if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return kInvalid;
        return c;
    }
    for (const NamedReference& reference : kNamedReferences) {
        if (body == reference.name)
            return reference.c;
    }
    return kInvalid;
}

} // namespace

// ---- The words: FTS5's unicode61 ----

struct CSearchTokenizer::Words {
    fts5_tokenizer methods{};
    Fts5Tokenizer* instance = nullptr;
};

fts5_api* CSearchTokenizer::Api(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1);", -1, &statement, nullptr) != SQLITE_OK)
        return nullptr; // no FTS5 in this SQLite
    sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

CSearchTokenizer::CSearchTokenizer(fts5_api* api) : m_words(new Words) {
    void* context = nullptr;
    const char* arguments[] = {"remove_diacritics", "0"};
    if (!api || api->xFindTokenizer(api, "unicode61", &context, &m_words->methods) != SQLITE_OK ||
        m_words->methods.xCreate(context, arguments, 2, &m_words->instance) != SQLITE_OK) {
        delete m_words;
        throw CppSQLite3Exception(SQLITE_ERROR, "FTS5 has no unicode61 tokenizer");
    }
}

CSearchTokenizer::CSearchTokenizer(sqlite3* db) : CSearchTokenizer(Api(db)) {}

CSearchTokenizer::~CSearchTokenizer() {
    if (m_words->instance)
        m_words->methods.xDelete(m_words->instance);
    delete m_words;
}

// ---- Reading the text ----

bool CSearchTokenizer::IsPaired(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || // hangul jamo
           (c >= 0x2E80 && c <= 0x2FDF) || // CJK radicals
           (c >= 0x3005 && c <= 0x3007) || // 々〆〇
           (c >= 0x3040 && c <= 0x30FF) || // hiragana, katakana
           (c >= 0x3130 && c <= 0x318F) || // hangul compatibility jamo
           (c >= 0x31F0 && c <= 0x31FF) || // katakana extensions
           (c >= 0x3400 && c <= 0x4DBF) || // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) || // CJK unified ideographs
           (c >= 0xAC00 && c <= 0xD7AF) || // hangul syllables
           (c >= 0xF900 && c <= 0xFAFF) || // compatibility ideographs
           (c >= 0xFF66 && c <= 0xFF9F) || // half-width katakana
           (c >= 0x20000 && c <= 0x3FFFF); // CJK extensions B and later
}

std::string CSearchTokenizer::VisibleText(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<' && html.substr(i, 4) == "<!--") {
            const size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            out += ' ';
            continue;
        }
        if (c == '<' && i + 1 < html.size() &&
            (IsAsciiLetter(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!' ||
             html[i + 1] == '?')) {
            const size_t end = TagEnd(html, i);
            if (end != std::string_view::npos) {
                std::string name;
                for (size_t k = i + 1; k < end && IsAsciiLetter(html[k]); ++k)
                    name += AsciiLower(html[k]);
                i = end;
                if (name == "script" || name == "style") {
                    // Their text is code, never read: skipped up to the closing tag.
                    const size_t close = FindIgnoringCase(html, "</" + name, i);
                    const size_t closeEnd =
                        close == std::string_view::npos ? close : TagEnd(html, close);
                    i = closeEnd == std::string_view::npos ? html.size() : closeEnd;
                }
                out += ' ';
                continue;
            }
        }
        size_t length = 1;
        char32_t code = kInvalid;
        if (c == '&') {
            code = DecodeReference(html, i, length);
            if (code == kInvalid) {
                out += '&';
                ++i;
                continue;
            }
        } else {
            code = DecodeAt(html, i, length);
        }
        if (code == kInvalid || IsControl(code))
            out += ' ';
        else if (c == '&')
            CTextCodec::AppendUtf8(out, code);
        else
            out.append(html.substr(i, length));
        i += length;
    }
    return out;
}

namespace {

struct Word {
    std::string text;
    size_t start;
    size_t end;
};

int CollectWord(void* context, int, const char* token, int length, int start, int end) {
    static_cast<std::vector<Word>*>(context)->push_back(
        {std::string(token, static_cast<size_t>(length)), static_cast<size_t>(start),
         static_cast<size_t>(end)});
    return SQLITE_OK;
}

} // namespace

int CSearchTokenizer::Tokenize(std::string_view text, Purpose purpose, const Sink& sink) const {
    // A keyword is plain text; only invalid bytes and control characters are blanked, byte for
    // byte, so that the tokens' ends are places in the keyword.
    std::string visible;
    if (purpose == Purpose::kDocument) {
        visible = VisibleText(text);
    } else {
        visible.assign(text);
        for (size_t i = 0; i < visible.size();) {
            size_t length = 1;
            const char32_t c = DecodeAt(visible, i, length);
            if (c == kInvalid || IsControl(c))
                std::fill_n(visible.begin() + static_cast<std::ptrdiff_t>(i), length, ' ');
            i += length;
        }
    }
    // The CJK characters are found here (each one's start and length) and blanked for
    // unicode61, which then sees only the words; blanking keeps every other byte where it was.
    std::string blanked = visible;
    std::vector<std::pair<size_t, size_t>> characters;
    for (size_t i = 0; i < visible.size();) {
        size_t length = 1;
        const char32_t c = DecodeAt(visible, i, length);
        if (c != kInvalid && IsPaired(c)) {
            characters.emplace_back(i, length);
            std::fill_n(blanked.begin() + static_cast<std::ptrdiff_t>(i), length, ' ');
        }
        i += length;
    }
    std::vector<Word> words;
    const int rc = m_words->methods.xTokenize(
        m_words->instance, &words,
        purpose == Purpose::kDocument ? FTS5_TOKENIZE_DOCUMENT : FTS5_TOKENIZE_QUERY,
        blanked.data(), static_cast<int>(blanked.size()), CollectWord);
    if (rc != SQLITE_OK)
        return rc;
    // Words and runs in the order of the text, so that a phrase finds them in order: a run's
    // pairs one after the other, its last character in the place of its last pair.
    size_t word = 0;
    size_t next = 0; // the next character not yet tokenized
    while (word < words.size() || next < characters.size()) {
        if (next == characters.size() ||
            (word < words.size() && words[word].start < characters[next].first)) {
            if (const int result =
                    sink({.text = words[word].text, .kind = Kind::kWord, .end = words[word].end});
                result != SQLITE_OK)
                return result;
            ++word;
            continue;
        }
        size_t last = next; // the run: characters next .. last, each where the previous ends
        while (last + 1 < characters.size() &&
               characters[last + 1].first == characters[last].first + characters[last].second)
            ++last;
        const auto piece = [&](size_t first, size_t final, Kind kind, bool colocated) {
            const size_t start = characters[first].first;
            const size_t end = characters[final].first + characters[final].second;
            return sink({.text = std::string_view(visible).substr(start, end - start),
                         .kind = kind,
                         .end = end,
                         .colocated = colocated});
        };
        for (size_t k = next; k < last; ++k) {
            if (const int result = piece(k, k + 1, Kind::kCjkPair, false); result != SQLITE_OK)
                return result;
        }
        if (purpose == Purpose::kDocument || last == next) {
            if (const int result = piece(last, last, Kind::kCjkSingle, last > next);
                result != SQLITE_OK)
                return result;
        }
        next = last + 1;
    }
    return SQLITE_OK;
}

// ---- The FTS5 tokenizer ----

namespace {

int Create(void* api, const char**, int, Fts5Tokenizer** out) {
    try {
        *out = reinterpret_cast<Fts5Tokenizer*>(new CSearchTokenizer(static_cast<fts5_api*>(api)));
        return SQLITE_OK;
    } catch (...) {
        return SQLITE_ERROR;
    }
}

void Delete(Fts5Tokenizer* tokenizer) {
    delete reinterpret_cast<CSearchTokenizer*>(tokenizer);
}

int TokenizeFor(Fts5Tokenizer* tokenizer, void* context, int flags, const char* text, int length,
                int (*token)(void*, int, const char*, int, int, int)) {
    const auto* self = reinterpret_cast<const CSearchTokenizer*>(tokenizer);
    const auto purpose = (flags & FTS5_TOKENIZE_QUERY) ? CSearchTokenizer::Purpose::kQuery
                                                       : CSearchTokenizer::Purpose::kDocument;
    // The places are those of the visible text, kept within the given one: the index stores no
    // places, and nothing here highlights.
    const int size = length;
    try {
        return self->Tokenize(
            std::string_view(text, static_cast<size_t>(std::max(length, 0))), purpose,
            [&](const CSearchTokenizer::Token& t) {
                const int end = std::min(static_cast<int>(t.end), size);
                const int start = std::max(0, end - static_cast<int>(t.text.size()));
                return token(context, t.colocated ? FTS5_TOKEN_COLOCATED : 0, t.text.data(),
                             static_cast<int>(t.text.size()), start, end);
            });
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    }
}

} // namespace

bool CSearchTokenizer::Register(sqlite3* db) {
    fts5_api* api = Api(db);
    if (!api)
        return false;
    fts5_tokenizer methods{.xCreate = Create, .xDelete = Delete, .xTokenize = TokenizeFor};
    const int rc = api->xCreateTokenizer(api, kName, api, &methods, nullptr);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, "cannot register the search tokenizer");
    return true;
}
