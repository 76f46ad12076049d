#include "platform/xml/XmlRepair.h"

#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"

#include <cctype>
#include <libxml/HTMLparser.h>

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::string Sniff(std::string_view b, size_t& bomLength) {
    struct Mark {
        std::string_view bytes;
        const char* encoding;
    };
    // UTF-32LE's mark begins with UTF-16LE's, so it is tried first.
    static const Mark kMarks[] = {
        {std::string_view("\x00\x00\xFE\xFF", 4), "UTF-32BE"},
        {std::string_view("\xFF\xFE\x00\x00", 4), "UTF-32LE"},
        {"\xEF\xBB\xBF", "UTF-8"},
        {"\xFE\xFF", "UTF-16BE"},
        {"\xFF\xFE", "UTF-16LE"},
    };
    bomLength = 0;
    for (const Mark& mark : kMarks) {
        if (StartsWith(b, mark.bytes)) {
            bomLength = mark.bytes.size();
            return mark.encoding;
        }
    }
    if (b.size() < 4)
        return {};
    const auto at = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) != 0)
        return "UTF-32BE";
    if (at(0) != 0 && at(1) == 0 && at(2) == 0 && at(3) == 0)
        return "UTF-32LE";
    if (at(0) == 0 && at(1) != 0 && at(2) == 0)
        return "UTF-16BE";
    if (at(0) != 0 && at(1) == 0 && at(2) != 0 && at(3) == 0)
        return "UTF-16LE";
    return {};
}

bool IsUnicodeName(const std::string& lower) {
    return lower.empty() || lower == "utf-8" || lower == "utf8" || StartsWith(lower, "utf-16") ||
           StartsWith(lower, "utf16") || StartsWith(lower, "utf-32") ||
           StartsWith(lower, "utf32") || StartsWith(lower, "ucs-") || lower == "u16";
}

// UTF-8 with every byte that starts no valid sequence replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 16);
    size_t pos = 0;
    while (pos < bytes.size()) {
        unsigned char c = static_cast<unsigned char>(bytes[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        size_t start = pos;
        char32_t cp = CTextCodec::NextCodePoint(bytes, pos);
        if (cp == 0xFFFD && pos - start == 1)
            CTextCodec::AppendUtf8(out, cp);
        else
            out.append(bytes.substr(start, pos - start));
    }
    return out;
}

// Text that claims (or is assumed) to be UTF-8 but may not be: kept when it is; read as GB18030
// when every byte decodes so (a Chinese feed that declares nothing); else UTF-8 with U+FFFD.
std::string Utf8OrGuess(std::string_view bytes) {
    if (CTextCodec::IsValidUtf8(bytes))
        return std::string(bytes);
    std::string gb;
    if (CTextCodec::Convert(bytes, "GB18030", "UTF-8", gb) &&
        gb.find("\xEF\xBF\xBD") == std::string::npos)
        return gb;
    return ReplaceInvalidUtf8(bytes);
}

bool IsXmlChar(char32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
           c == ':';
}

// Appends text with the characters XML forbids left out: C0 controls other than tab and line
// ends, and U+FFFE / U+FFFF. The text is valid UTF-8 here.
void AppendAllowed(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            continue;
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
            i += 2;
            continue;
        }
        out.push_back(static_cast<char>(c));
    }
}

// Copies a construct that runs from pos up to and including `end`; one left open runs to the end
// of the text and is closed with `end` when closeOpen is set.
size_t CopyConstruct(std::string& out, std::string_view text, size_t pos, std::string_view end,
                     bool closeOpen) {
    size_t stop = text.find(end, pos);
    if (stop == std::string_view::npos) {
        AppendAllowed(out, text.substr(pos));
        if (closeOpen)
            out.append(end);
        return text.size();
    }
    stop += end.size();
    AppendAllowed(out, text.substr(pos, stop - pos));
    return stop;
}

// The end of a document type declaration starting at pos, internal subset included.
size_t DoctypeEnd(std::string_view text, size_t pos) {
    size_t bracket = text.find('[', pos);
    size_t close = text.find('>', pos);
    if (bracket != std::string_view::npos && (close == std::string_view::npos || bracket < close)) {
        size_t subsetEnd = text.find("]", bracket);
        if (subsetEnd == std::string_view::npos)
            return text.size();
        close = text.find('>', subsetEnd);
    }
    return close == std::string_view::npos ? text.size() : close + 1;
}

// A reference at text[pos] == '&': appends its mended form and returns where the text goes on.
size_t MendReference(std::string& out, std::string_view text, size_t pos) {
    constexpr size_t kLongestName = 32;
    size_t i = pos + 1;
    if (i < text.size() && text[i] == '#') {
        bool hex = i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
        size_t digits = i + (hex ? 2 : 1);
        size_t j = digits;
        char32_t cp = 0;
        bool overflow = false;
        while (j < text.size() && j - digits < 10 &&
               (hex ? std::isxdigit(static_cast<unsigned char>(text[j]))
                    : std::isdigit(static_cast<unsigned char>(text[j])))) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[j])));
            cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
            overflow = overflow || cp > 0x10FFFF;
            ++j;
        }
        if (j > digits && j < text.size() && text[j] == ';') {
            if (!overflow && IsXmlChar(cp))
                out.append(text.substr(pos, j + 1 - pos));
            return j + 1;
        }
        out.append("&amp;");
        return pos + 1;
    }
    size_t j = i;
    while (j < text.size() && j - i <= kLongestName && IsNameChar(text[j]))
        ++j;
    if (j == i || j >= text.size() || text[j] != ';') {
        out.append("&amp;");
        return pos + 1;
    }
    std::string name(text.substr(i, j - i));
    if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos") {
        out.append(text.substr(pos, j + 1 - pos));
    } else if (const htmlEntityDesc* entity =
                   htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.c_str()))) {
        out.append("&#" + std::to_string(entity->value) + ";");
    } else {
        // Unknown to HTML too: keep it readable as text.
        out.append("&amp;");
        out.append(text.substr(i, j + 1 - i));
    }
    return j + 1;
}

bool StartsMarkup(std::string_view text, size_t pos) {
    if (pos + 1 >= text.size())
        return false;
    unsigned char c = static_cast<unsigned char>(text[pos + 1]);
    return std::isalpha(c) || c == '_' || c == ':' || c == '/' || c == '!' || c == '?' || c >= 0x80;
}

} // namespace

std::string CXmlRepair::SniffEncoding(std::string_view bytes, size_t& bomLength) {
    return Sniff(bytes, bomLength);
}

std::string CXmlRepair::WidenEncoding(std::string_view declared) {
    std::string e = AsciiLower(declared);
    if (e == "gb2312" || e == "gbk" || e == "gb_2312-80" || e == "x-gbk" || e == "cp936" ||
        e == "euc-cn" || e == "x-euc-cn" || e == "gb18030")
        return "GB18030";
    if (e == "big5" || e == "big-5" || e == "x-big5" || e == "cn-big5" || e == "cp950")
        return "CP950";
    if (e == "iso-8859-1" || e == "iso8859-1" || e == "latin1" || e == "latin-1" ||
        e == "us-ascii" || e == "ascii" || e == "iso_8859-1")
        return "WINDOWS-1252";
    if (e == "euc-kr" || e == "ks_c_5601-1987" || e == "korean")
        return "CP949";
    if (e == "shift_jis" || e == "shift-jis" || e == "sjis" || e == "x-sjis" || e == "ms_kanji")
        return "CP932";
    if (e == "tis-620" || e == "iso-8859-11")
        return "CP874";
    return std::string(declared);
}

std::string CXmlRepair::DecodeToUtf8(std::string_view bytes) {
    size_t bomLength = 0;
    std::string sniffed = Sniff(bytes, bomLength);
    std::string out;
    if (!sniffed.empty()) {
        std::string_view rest = bytes.substr(bomLength);
        if (sniffed == "UTF-8")
            return Utf8OrGuess(rest);
        if (CTextCodec::Convert(rest, sniffed.c_str(), "UTF-8", out))
            return out;
        return Utf8OrGuess(rest);
    }
    std::string declared = AsciiLower(CXmlDocument::DeclaredEncoding(bytes));
    if (IsUnicodeName(declared))
        return Utf8OrGuess(bytes);
    std::string wide = WidenEncoding(declared);
    if (CTextCodec::Convert(bytes, wide.c_str(), "UTF-8", out))
        return out;
    // A name iconv does not know: read it as if nothing were declared.
    return Utf8OrGuess(bytes);
}

std::string CXmlRepair::Repair(std::string_view bytes) {
    const std::string utf8 = DecodeToUtf8(bytes);
    std::string_view text = utf8;
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 16);

    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (StartsWith(text.substr(pos), "<?xml") && pos + 5 < text.size() &&
        (std::isspace(static_cast<unsigned char>(text[pos + 5])) || text[pos + 5] == '?')) {
        size_t end = text.find("?>", pos);
        pos = end == std::string_view::npos ? text.size() : end + 2;
    }

    while (pos < text.size()) {
        // Copy plain text up to the next character that needs a look.
        size_t next = pos;
        while (next < text.size()) {
            unsigned char c = static_cast<unsigned char>(text[next]);
            if (c == '<' || c == '&' || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
                c == 0xEF)
                break;
            ++next;
        }
        out.append(text.substr(pos, next - pos));
        pos = next;
        if (pos >= text.size())
            break;
        std::string_view rest = text.substr(pos);
        char c = text[pos];
        if (c == '&') {
            pos = MendReference(out, text, pos);
        } else if (c == '<') {
            if (StartsWith(rest, "<![CDATA["))
                pos = CopyConstruct(out, text, pos, "]]>", true);
            else if (StartsWith(rest, "<!--"))
                pos = CopyConstruct(out, text, pos, "-->", true);
            else if (StartsWith(rest, "<?"))
                pos = CopyConstruct(out, text, pos, "?>", true);
            else if (StartsWith(rest, "<!DOCTYPE")) {
                size_t end = DoctypeEnd(text, pos);
                AppendAllowed(out, text.substr(pos, end - pos));
                pos = end;
            } else if (StartsMarkup(text, pos)) {
                out.push_back('<');
                ++pos;
            } else {
                out.append("&lt;");
                ++pos;
            }
        } else {
            // A forbidden control character, or the lead byte of U+FFFE / U+FFFF.
            size_t length =
                static_cast<unsigned char>(c) == 0xEF ? std::min<size_t>(3, rest.size()) : 1;
            AppendAllowed(out, rest.substr(0, length));
            pos += length;
        }
    }
    return out;
}
