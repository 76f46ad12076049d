#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Conversions between the UTF-8 that the program holds in memory and the GBK code page that
// older files and servers use (declared "gb2312"). Rules stated in code-page bytes (a name of at
// most 20 bytes, a title cut to 40 bytes) are measured here: ASCII counts one byte, every other
// character two, and a cut never splits a character.
class CTextCodec {
public:
    // GBK (any GB18030 byte sequence) to UTF-8. Bytes that form no character become U+FFFD.
    static std::string GbkToUtf8(std::string_view gbk);

    // UTF-8 to GBK bytes. A character that GBK cannot hold becomes "&#N;" when
    // escapeUnmappable is set, '?' otherwise.
    static std::string Utf8ToGbk(std::string_view utf8, bool escapeUnmappable = false);
    // The same, with the caller choosing what stands for a character GBK cannot hold.
    static std::string Utf8ToGbkReplacing(std::string_view utf8,
                                          const std::function<std::string(char32_t)>& unmappable);

    // True when GBK has a two-byte (or one-byte) form for the code point.
    static bool IsGbkEncodable(char32_t codePoint);

    static bool IsValidUtf8(std::string_view text);

    // Text read from an older store or file: kept when it is valid UTF-8, decoded as GBK otherwise.
    static std::string ToUtf8Lenient(std::string_view bytes);

    static std::size_t GbkByteLength(std::string_view utf8);

    // The longest prefix of the text that takes at most maxBytes GBK bytes.
    static std::string CutGbkBytes(std::string_view utf8, std::size_t maxBytes);

    // Decodes one code point at pos and advances pos; invalid bytes give U+FFFD and advance by one.
    static char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);

    static void AppendUtf8(std::string& out, char32_t codePoint);

    // Any iconv conversion; bytes the source encoding cannot decode become U+FFFD (for a UTF-8
    // target) or are skipped. Returns false when iconv does not know one of the encodings.
    static bool Convert(std::string_view input, const char* fromEncoding, const char* toEncoding,
                        std::string& output);
    // Decodes the bytes to UTF-8 only when every one of them belongs to a character of the
    // encoding; false (and output unspecified) when one does not, or iconv does not know it.
    static bool DecodeExactly(std::string_view input, const char* fromEncoding,
                              std::string& output);

    // Gives the C1 controls U+0080 to U+009F the characters that windows-1252 has at those bytes
    // (U+0092 becomes "’", U+0080 "€", U+0085 "…"), and drops the five that it leaves undefined
    // (U+0081, U+008D, U+008F, U+0090, U+009D). Text declared Latin-1 (or converted from it
    // once more) is nearly always windows-1252, and a control character shows as nothing.
    static void MapC1ToWindows1252(std::string& utf8);
};
