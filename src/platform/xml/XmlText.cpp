#include "platform/xml/XmlText.h"

#include "platform/text/TextCodec.h"

#include <algorithm>

std::string CXmlText::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string CXmlText::CData(std::string_view text) {
    std::string out = "<![CDATA[";
    size_t start = 0;
    for (;;) {
        size_t hit = text.find("]]>", start);
        if (hit == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        // "]]" ends this section, ">" starts the next one.
        out.append(text.substr(start, hit + 2 - start));
        out += "]]><![CDATA[";
        start = hit + 2;
    }
    out += "]]>";
    return out;
}

std::string CXmlText::Utf8DocumentToGbk(std::string_view xml) {
    const auto reference = [](char32_t cp) {
        return "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
    };
    std::string out;
    out.reserve(xml.size());
    size_t pos = 0;
    while (pos < xml.size()) {
        size_t cdata = xml.find("<![CDATA[", pos);
        size_t comment = xml.find("<!--", pos);
        size_t next = std::min(cdata, comment);
        out += CTextCodec::Utf8ToGbkReplacing(xml.substr(pos, next - pos), reference);
        if (next == std::string_view::npos)
            break;
        const bool isCData = next == cdata;
        const std::string_view open = isCData ? "<![CDATA[" : "<!--";
        const std::string_view close = isCData ? "]]>" : "-->";
        size_t bodyStart = next + open.size();
        size_t end = xml.find(close, bodyStart);
        size_t bodyEnd = end == std::string_view::npos ? xml.size() : end;
        out += open;
        out += CTextCodec::Utf8ToGbkReplacing(xml.substr(bodyStart, bodyEnd - bodyStart),
                                              [&](char32_t cp) -> std::string {
                                                  if (isCData)
                                                      return "]]>" + reference(cp) + "<![CDATA[";
                                                  // A comment cannot hold a reference.
                                                  return "?";
                                              });
        if (end == std::string_view::npos)
            break;
        out += close;
        pos = end + close.size();
    }
    return out;
}
