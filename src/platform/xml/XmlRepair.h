#pragma once

#include <string>
#include <string_view>

// Mending of documents from the network that a strict parse refuses, so that a recovering parse
// reads as much as a forgiving reader would. Used through CXmlDocument's kLenient load flag.
//
// What is mended:
//  - the bytes are decoded to UTF-8 before parsing: a byte-order mark or the UTF-16/32 pattern of
//    the first bytes wins, then the declared encoding widened to its superset ("gb2312" and "gbk"
//    to GB18030, "big5" to CP950, "iso-8859-1" and "us-ascii" to windows-1252, "euc-kr" to
//    CP949, "shift_jis" to CP932); bytes the encoding cannot decode become U+FFFD. A document that
//    declares nothing (or UTF-8, or a name iconv does not know) and is not valid UTF-8 is read as
//    GB18030 when all of it decodes so, as UTF-8 with U+FFFD for the bad bytes otherwise;
//  - blanks before the XML declaration and the declaration itself are dropped (the text is
//    UTF-8 now);
//  - HTML entity names that XML does not know (&nbsp;, &copy;, ...) become character references;
//    an "&" that starts no reference becomes "&amp;", and a "<" that starts no markup "&lt;";
//  - control characters that XML forbids, and references to them, are dropped;
//  - a CDATA section left open at the end is closed.
// Comments, processing instructions, the document type declaration and CDATA sections are
// copied as they are (less forbidden characters).
class CXmlRepair {
public:
    static std::string Repair(std::string_view bytes);

    // The bytes as UTF-8 text, by the rules above.
    static std::string DecodeToUtf8(std::string_view bytes);

    // The encoding that the first bytes show: a byte-order mark (its length in bomLength) or the
    // pattern that "<" leaves in UTF-16 and UTF-32; "" when they show an ASCII-based one.
    static std::string SniffEncoding(std::string_view bytes, size_t& bomLength);

    // The encoding to decode a declared name with: the declared one or its superset.
    static std::string WidenEncoding(std::string_view declared);
};
