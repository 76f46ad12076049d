#include "platform/text/TextCodec.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// iconv descriptors are not thread-safe; each conversion opens its own. Opening costs a few
// microseconds, which is nothing next to the I/O around every conversion here.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv() {
        if (Ok())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

bool IsUtf8Name(const char* name) {
    return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0;
}

} // namespace

namespace {

// What a conversion does with bytes the source encoding cannot decode.
enum class BadBytes {
    kReplace, // drop one byte and go on (U+FFFD in its place when writing UTF-8)
    kFail,    // give up: the text is not in that encoding
};

bool ConvertWith(std::string_view input, const char* fromEncoding, const char* toEncoding,
                 BadBytes badBytes, std::string& output) {
    output.clear();
    CIconv cd(toEncoding, fromEncoding);
    if (!cd.Ok())
        return false;
    const bool toUtf8 = IsUtf8Name(toEncoding);
    output.reserve(input.size() * 3 / 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd.Get(), &in, &inLeft, &out, &outLeft);
        output.append(buffer, out - buffer);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            if (badBytes == BadBytes::kFail)
                return false;
            // EILSEQ or EINVAL (a sequence cut at the end): drop one byte and go on.
            ++in;
            --inLeft;
            if (toUtf8)
                CTextCodec::AppendUtf8(output, kReplacement);
            iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(cd.Get(), nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1) &&
        badBytes == BadBytes::kFail)
        return false;
    output.append(buffer, out - buffer);
    return true;
}

} // namespace

bool CTextCodec::Convert(std::string_view input, const char* fromEncoding, const char* toEncoding,
                         std::string& output) {
    return ConvertWith(input, fromEncoding, toEncoding, BadBytes::kReplace, output);
}

bool CTextCodec::DecodeExactly(std::string_view input, const char* fromEncoding,
                               std::string& output) {
    return ConvertWith(input, fromEncoding, "UTF-8", BadBytes::kFail, output);
}

void CTextCodec::MapC1ToWindows1252(std::string& utf8) {
    // The C1 controls are C2 80 to C2 9F in UTF-8.
    size_t pos = utf8.find('\xC2');
    while (pos != std::string::npos && pos + 1 < utf8.size()) {
        const unsigned char second = static_cast<unsigned char>(utf8[pos + 1]);
        if (second >= 0x80 && second <= 0x9F)
            break;
        pos = utf8.find('\xC2', pos + 1);
    }
    if (pos == std::string::npos || pos + 1 >= utf8.size())
        return;
    // windows-1252 at 0x80..0x9F; 0 where it defines nothing.
    static constexpr char16_t kWindows1252[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    out.reserve(utf8.size() + 16);
    out.append(utf8, 0, pos);
    for (size_t i = pos; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC2 && i + 1 < utf8.size()) {
            const unsigned char second = static_cast<unsigned char>(utf8[i + 1]);
            if (second >= 0x80 && second <= 0x9F) {
                if (char16_t mapped = kWindows1252[second - 0x80])
                    AppendUtf8(out, mapped);
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<char>(c));
    }
    utf8 = std::move(out);
}

std::string CTextCodec::GbkToUtf8(std::string_view gbk) {
    std::string out;
    // GB18030 decodes every GBK sequence and the four-byte forms GBK lacks.
    Convert(gbk, "GB18030", "UTF-8", out);
    return out;
}

bool CTextCodec::IsGbkEncodable(char32_t codePoint) {
    if (codePoint < 0x80)
        return true;
    std::string utf8;
    AppendUtf8(utf8, codePoint);
    bool encodable = true;
    Utf8ToGbkReplacing(utf8, [&encodable](char32_t) {
        encodable = false;
        return std::string();
    });
    return encodable;
}

std::string CTextCodec::Utf8ToGbk(std::string_view utf8, bool escapeUnmappable) {
    return Utf8ToGbkReplacing(utf8, [escapeUnmappable](char32_t cp) {
        return escapeUnmappable ? "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";"
                                : std::string("?");
    });
}

std::string CTextCodec::Utf8ToGbkReplacing(std::string_view utf8,
                                           const std::function<std::string(char32_t)>& unmappable) {
    std::string out;
    out.reserve(utf8.size());
    CIconv cd("GBK", "UTF-8");
    if (!cd.Ok())
        return std::string(utf8);
    std::size_t pos = 0;
    char buffer[8];
    while (pos < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        std::size_t start = pos;
        char32_t cp = NextCodePoint(utf8, pos);
        // Invalid UTF-8 bytes decode to U+FFFD, which GBK cannot hold either.
        char* in = const_cast<char*>(utf8.data() + start);
        size_t inLeft = pos - start;
        char* o = buffer;
        size_t outLeft = sizeof buffer;
        // GBK writes the euro sign as the single byte 0x80, which GB18030 (how "gb2312"
        // documents are read back) does not know: such a byte would make the whole file
        // unreadable, so the sign counts as a character GBK cannot hold.
        if (iconv(cd.Get(), &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
            !(o - buffer == 1 && static_cast<unsigned char>(buffer[0]) == 0x80)) {
            out.append(buffer, o - buffer);
            continue;
        }
        iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
        out += unmappable(cp);
    }
    return out;
}

char32_t CTextCodec::NextCodePoint(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(pos);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + extra >= s.size()) {
        ++pos;
        return kReplacement;
    }
    for (int i = 1; i <= extra; ++i) {
        unsigned char cc = byte(pos + i);
        if ((cc & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += extra + 1;
    return cp;
}

void CTextCodec::AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool CTextCodec::IsValidUtf8(std::string_view text) {
    // Every feed is checked once before it is parsed, so this runs over every byte received:
    // ASCII is skipped eight bytes at a time, and a multi-byte sequence is checked against the
    // ranges of well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = p + text.size();
    while (p < end) {
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned char low = 0x80; // the range of the second byte
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= extra || p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
        }
        p += extra + 1;
    }
    return true;
}

std::string CTextCodec::ToUtf8Lenient(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return GbkToUtf8(bytes);
}

std::size_t CTextCodec::GbkByteLength(std::string_view utf8) {
    std::size_t length = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = NextCodePoint(utf8, pos);
        length += cp < 0x80 ? 1 : 2;
    }
    return length;
}

std::string CTextCodec::CutGbkBytes(std::string_view utf8, std::size_t maxBytes) {
    std::size_t length = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t next = pos;
        char32_t cp = NextCodePoint(utf8, next);
        std::size_t width = cp < 0x80 ? 1 : 2;
        if (length + width > maxBytes)
            break;
        length += width;
        pos = next;
    }
    return std::string(utf8.substr(0, pos));
}
