#pragma once

#include "platform/xml/XmlDocument.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Reading XML-RPC answers. Servers differ in how they type a value: a post id comes back as
// <int> from one method and as <string> from another, and some servers send bare values without
// a type element. Every scalar is therefore read whatever its type element.
class CXmlRpcAnswer {
public:
    // Parses the answer. An answer without a declaration whose bytes are not UTF-8 is read in
    // the account's encoding.
    static bool Load(CXmlDocument& doc, const std::string& answer, const std::string& encodetype);

    // The text of a scalar <value>: the text of its type element (string, int, i4, boolean,
    // double, dateTime.iso8601, base64, any other) or its own text when it has none. False for a
    // struct or an array, or a null node.
    static bool Scalar(const CXmlNode& value, std::string& text);
    static std::string ScalarOr(const CXmlNode& value, const std::string& fallback = {});

    // The <value> of the first member whose name is one of the names (tried in order).
    static CXmlNode Member(const CXmlNode& structNode,
                           std::initializer_list<std::string_view> names);
    static std::string MemberText(const CXmlNode& structNode,
                                  std::initializer_list<std::string_view> names);
    // The struct or array held by a <value>, or a null node.
    static CXmlNode Struct(const CXmlNode& value);
    static CXmlNode Array(const CXmlNode& value);
    // The <value> elements of an array value, in order.
    static std::vector<CXmlNode> ArrayValues(const CXmlNode& value);
    // The text of the first value of an array value (the first category).
    static std::string FirstArrayText(const CXmlNode& value);

    // /methodResponse/params/param[0]/value, or a null node.
    static CXmlNode ResultValue(const CXmlDocument& doc);
    static bool IsFault(const CXmlDocument& doc);

    // The fault's code and text; the fixed texts stand in for a part that cannot be read. When
    // the answer is no well-formed XML (a character reference to a surrogate, to NUL or past
    // U+10FFFF makes it so, as much as an HTML page does), the text says so with the parser's
    // reason; a well-formed document of another kind (an HTML page) is named by its root.
    static void ReadFault(const std::string& answer, const std::string& encodetype,
                          std::string& code, std::string& text);
    static std::string FaultDescription(const std::string& code, const std::string& text);

    // The MSN Spaces answer clean-up: everything before "<methodResponse" goes and a declaration
    // is put in front. It names the encoding that the removed text declared, else UTF-8 when the
    // bytes are UTF-8, else the account's encoding. An answer without "<methodResponse" stays.
    static std::string CleanMsnAnswer(const std::string& answer, const std::string& encodetype);

    // Leading decimal digits as a number (a sign allowed); "true" reads as 1.
    static int ToInt(const std::string& text);

    static constexpr const char* kUnknownCode = "无法识别的错误代码格式！";
    static constexpr const char* kUnknownText = "无法识别的错误信息格式！";
    static constexpr const char* kFaultSummary = "服务器返回的提示信息";
    static constexpr const char* kNotXmlText = "服务器的回应不是格式正确的 XML-RPC 文档";
};
