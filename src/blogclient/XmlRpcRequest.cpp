#include "blogclient/XmlRpcRequest.h"

#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"

#include <cstdio>

namespace {
constexpr std::string_view kResourcePrefix = "res://BlogApi.dll/";
constexpr const char* kTemplateFolder = "Data/BlogApi/";
} // namespace

std::string CXmlRpcRequest::TemplateFileName(const std::string& name) {
    std::string file = name;
    if (file.compare(0, kResourcePrefix.size(), kResourcePrefix) == 0)
        file = file.substr(kResourcePrefix.size());
    // Only a plain file name may follow: nothing outside the template folder can be named.
    if (file.empty() || file.find('/') != std::string::npos ||
        file.find('\\') != std::string::npos || file.find("..") != std::string::npos)
        return {};
    return file;
}

bool CXmlRpcRequest::LoadTemplate(const std::string& programDir, const std::string& name,
                                  CXmlDocument& doc) {
    const std::string file = TemplateFileName(name);
    if (file.empty())
        return false;
    // A program directory made before a template shipped does not hold it yet: the shipped
    // one stands in.
    std::string path;
    if (!programDir.empty())
        path = ProgramFilePath(programDir, kTemplateFolder + file);
    if (path.empty() || !CFileUtil::Exists(path))
        path = CProgramDir::FindDataDir() + "/" + kTemplateFolder + file;
    return doc.LoadFile(path) && doc.Root().GetName() == "methodCall";
}

bool CXmlRpcRequest::SetText(CXmlDocument& doc, std::string_view pattern, std::string_view text) {
    CXmlNode node = doc.SelectNode(pattern);
    if (!node)
        return false;
    node.SetText(text);
    return true;
}

std::string CXmlRpcRequest::ToAsciiWithReferences(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        char32_t cp = CTextCodec::NextCodePoint(utf8, pos);
        out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
    }
    return out;
}

std::string CXmlRpcRequest::Serialize(const CXmlDocument& doc, const std::string& encodetype) {
    // Saved whole in UTF-8 (a node dump would write references of its own), then the
    // declaration is replaced by the account's.
    std::string body = doc.SaveText("UTF-8", false);
    if (body.compare(0, 5, "<?xml") == 0) {
        size_t end = body.find("?>");
        body.erase(0, end == std::string::npos ? 0 : end + 2);
    }
    while (!body.empty() && (body.front() == '\n' || body.front() == '\r'))
        body.erase(0, 1);
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.pop_back();
    std::string out = "<?xml version=\"1.0\" encoding=\"" + encodetype + "\"?>";
    if (encodetype == "UTF-8")
        return out + body;
    return out + ToAsciiWithReferences(body);
}

std::string CXmlRpcRequest::Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                     static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(kAlphabet[v >> 6 & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string CXmlRpcRequest::FormatPubDate(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
    return buffer;
}

namespace {

// dateTime.iso8601's form, 20060307T09:05:00: no zone, which the member's name tells.
std::string IsoDateOf(const std::tm& tm) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%d%.2d%.2dT%.2d:%.2d:%.2d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

} // namespace

std::string CXmlRpcRequest::FormatGmtIsoDate(std::time_t when) {
    std::tm tm{};
    gmtime_r(&when, &tm);
    return IsoDateOf(tm);
}

bool CXmlRpcRequest::SetMember(CXmlDocument& doc, std::string_view structPattern,
                               std::string_view name, std::string_view type,
                               std::string_view text) {
    CXmlNode structNode = doc.SelectNode(structPattern);
    if (!structNode)
        return false;
    for (CXmlNode member : structNode.Children()) {
        if (!member.HasName("member") || member.Child("name").GetText() != name)
            continue;
        CXmlNode value = member.Child("value");
        if (!value)
            value = member.AppendChild("value");
        value.SetText({}); // whatever value it held, of whatever type
        value.AppendChild(type, text);
        return true;
    }
    CXmlNode member = structNode.AppendChild("member");
    member.AppendChild("name", name);
    member.AppendChild("value").AppendChild(type, text);
    return true;
}

std::string CXmlRpcRequest::FormatIsoDate(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    return IsoDateOf(tm);
}

std::string CXmlRpcRequest::TextProblem(std::string_view utf8) {
    auto hex = [](unsigned long value, int width) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%0*lX", width, value);
        return std::string(buffer);
    };
    size_t pos = 0;
    for (size_t n = 1; pos < utf8.size(); ++n) {
        const size_t start = pos;
        const char32_t cp = CTextCodec::NextCodePoint(utf8, pos);
        const bool replaced = cp == 0xFFFD && utf8.substr(start, pos - start) != "\xEF\xBF\xBD";
        if (replaced)
            return "第 " + std::to_string(n) + " 个字符处不是有效的 UTF-8 文本 (字节 0x" +
                   hex(static_cast<unsigned char>(utf8[start]), 2) + ")";
        if (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r')
            return "第 " + std::to_string(n) + " 个字符是控制字符 U+" + hex(cp, 4);
        if (cp == 0xFFFE || cp == 0xFFFF)
            return "第 " + std::to_string(n) + " 个字符是 XML 不允许的字符 U+" + hex(cp, 4);
    }
    return {};
}
