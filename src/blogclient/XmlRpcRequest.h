#pragma once

#include <ctime>
#include <string>
#include <string_view>

class CXmlDocument;

// Building the request documents: the shipped templates, the values placed through the DOM (so
// they are escaped as XML requires) and the bytes that go on the wire.
class CXmlRpcRequest {
public:
    // Loads a template by its "res://BlogApi.dll/KIND_method.xml" name (a bare file name works
    // too). Templates live in Data/BlogApi/ of the program directory, or else (and when
    // programDir is "") in the shipped data folder.
    static bool LoadTemplate(const std::string& programDir, const std::string& name,
                             CXmlDocument& doc);
    // The file a template name stands for in the given Data/BlogApi folder.
    static std::string TemplateFileName(const std::string& name);

    // Replaces the text of the node the 0-based pattern selects; false when it selects nothing.
    static bool SetText(CXmlDocument& doc, std::string_view pattern, std::string_view text);

    // The request as sent: `<?xml version="1.0" encoding="E"?>` and the document. An account
    // whose encoding is "UTF-8" sends UTF-8; any other (GB2312) sends pure ASCII in which every
    // other character is a numeric character reference, which any XML parser reads the same
    // under every ASCII-compatible declaration.
    static std::string Serialize(const CXmlDocument& doc, const std::string& encodetype);
    // UTF-8 text with every non-ASCII character written as "&#N;".
    static std::string ToAsciiWithReferences(std::string_view utf8);

    // Standard Base64 with "=" padding.
    static std::string Base64Encode(std::string_view bytes);

    // The local time as "%Y-%m-%d %H:%M:%S" and as dateTime.iso8601 ("20070315T09:05:00").
    static std::string FormatPubDate(std::time_t when);
    static std::string FormatIsoDate(std::time_t when);
    // The same instant in UTC as dateTime.iso8601 without a zone suffix ("20070315T01:05:00"):
    // what date_created_gmt carries. A server that reads it (WordPress) takes the post's date
    // from it whatever its own zone; dateCreated alone is read as the server's local time.
    static std::string FormatGmtIsoDate(std::time_t when);

    // Gives the member of the struct the 0-based pattern selects this type and text, adding the
    // member when the template has none (a template kept in the program directory from before
    // the member was sent). False when the pattern selects no struct.
    static bool SetMember(CXmlDocument& doc, std::string_view structPattern, std::string_view name,
                          std::string_view type, std::string_view text);

    // Why the text cannot be sent in a request, or "" when it can: bytes that are not UTF-8, or
    // a character that XML 1.0 does not allow (a control character other than tab, CR and LF;
    // U+FFFE, U+FFFF). The server would answer such a request with a parse fault (-32700).
    static std::string TextProblem(std::string_view utf8);
};
