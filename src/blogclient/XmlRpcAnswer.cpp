#include "blogclient/XmlRpcAnswer.h"

#include "platform/text/TextCodec.h"

#include <cctype>
#include <climits>

bool CXmlRpcAnswer::Load(CXmlDocument& doc, const std::string& answer,
                         const std::string& encodetype) {
    size_t start = 0;
    while (start < answer.size() && std::isspace(static_cast<unsigned char>(answer[start])))
        ++start;
    std::string_view text(answer);
    text.remove_prefix(start);
    if (CXmlDocument::DeclaredEncoding(text).empty() && !CTextCodec::IsValidUtf8(text) &&
        encodetype != "UTF-8" && !encodetype.empty()) {
        std::string declared = "<?xml version=\"1.0\" encoding=\"" + encodetype + "\"?>";
        declared += text;
        return doc.LoadText(declared);
    }
    return doc.LoadText(text);
}

bool CXmlRpcAnswer::Scalar(const CXmlNode& value, std::string& text) {
    if (!value)
        return false;
    CXmlNode typed = value.FirstChild();
    if (!typed) {
        text = value.GetText();
        return true;
    }
    const std::string type = typed.GetName();
    if (type == "struct" || type == "array")
        return false;
    text = typed.GetText();
    return true;
}

std::string CXmlRpcAnswer::ScalarOr(const CXmlNode& value, const std::string& fallback) {
    std::string text;
    return Scalar(value, text) ? text : fallback;
}

CXmlNode CXmlRpcAnswer::Member(const CXmlNode& structNode,
                               std::initializer_list<std::string_view> names) {
    if (!structNode)
        return {};
    for (std::string_view wanted : names) {
        for (CXmlNode member = structNode.FirstChild(); member; member = member.NextSibling()) {
            if (member.GetName() != "member")
                continue;
            CXmlNode name = member.Child("name");
            if (name && name.GetText() == wanted)
                return member.Child("value");
        }
    }
    return {};
}

std::string CXmlRpcAnswer::MemberText(const CXmlNode& structNode,
                                      std::initializer_list<std::string_view> names) {
    return ScalarOr(Member(structNode, names));
}

CXmlNode CXmlRpcAnswer::Struct(const CXmlNode& value) {
    return value ? value.Child("struct") : CXmlNode();
}

CXmlNode CXmlRpcAnswer::Array(const CXmlNode& value) {
    return value ? value.Child("array") : CXmlNode();
}

std::vector<CXmlNode> CXmlRpcAnswer::ArrayValues(const CXmlNode& value) {
    std::vector<CXmlNode> values;
    CXmlNode data = Array(value).Child("data");
    for (CXmlNode item = data.FirstChild(); item; item = item.NextSibling()) {
        if (item.GetName() == "value")
            values.push_back(item);
    }
    return values;
}

std::string CXmlRpcAnswer::FirstArrayText(const CXmlNode& value) {
    std::vector<CXmlNode> values = ArrayValues(value);
    return values.empty() ? std::string() : ScalarOr(values.front());
}

CXmlNode CXmlRpcAnswer::ResultValue(const CXmlDocument& doc) {
    CXmlNode root = doc.Root();
    if (!root || root.GetName() != "methodResponse")
        return {};
    CXmlNode param = root.Child("params").Child("param");
    return param ? param.Child("value") : CXmlNode();
}

bool CXmlRpcAnswer::IsFault(const CXmlDocument& doc) {
    CXmlNode root = doc.Root();
    return root && root.GetName() == "methodResponse" && root.Child("fault");
}

void CXmlRpcAnswer::ReadFault(const std::string& answer, const std::string& encodetype,
                              std::string& code, std::string& text) {
    code = kUnknownCode;
    text = kUnknownText;
    CXmlDocument doc;
    if (!Load(doc, answer, encodetype)) {
        // The parser's first message says why ("xmlParseCharRef: invalid xmlChar value 55296").
        std::string reason = doc.GetLastError();
        reason = reason.substr(0, reason.find('\n'));
        text = std::string(kNotXmlText) + (reason.empty() ? "" : ": " + reason);
        return;
    }
    if (!doc.Root().HasName("methodResponse")) {
        // Well-formed, but something else: a login page, a proxy's or a server's error page.
        text = std::string(kNotXmlText) + ": 根元素是 <" + doc.Root().GetName() + ">";
        return;
    }
    if (!IsFault(doc))
        return;
    CXmlNode fault = Struct(doc.Root().Child("fault").Child("value"));
    std::string value;
    if (Scalar(Member(fault, {"faultCode"}), value))
        code = value;
    if (Scalar(Member(fault, {"faultString"}), value))
        text = value;
}

std::string CXmlRpcAnswer::FaultDescription(const std::string& code, const std::string& text) {
    const std::string rule(41, '=');
    return std::string("服务器返回的提示信息:") + "\r\n" + rule + "\r\n提示代码: " + code +
           "\r\n提示信息: " + text + "\r\n" + rule + "\r\n" + "要了解更详细的信息请查询服务提供商";
}

std::string CXmlRpcAnswer::CleanMsnAnswer(const std::string& answer,
                                          const std::string& encodetype) {
    size_t pos = answer.find("<methodResponse");
    if (pos == std::string::npos)
        return answer;
    std::string_view before = std::string_view(answer).substr(0, pos);
    std::string_view rest = std::string_view(answer).substr(pos);
    std::string encoding;
    if (size_t decl = before.find("<?xml"); decl != std::string_view::npos)
        encoding = CXmlDocument::DeclaredEncoding(before.substr(decl));
    if (encoding.empty())
        encoding = CTextCodec::IsValidUtf8(rest) ? "UTF-8" : encodetype;
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>" + std::string(rest);
}

int CXmlRpcAnswer::ToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (text.compare(i, 4, "true") == 0)
        return 1;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}
