#include "platform/xml/HtmlLinks.h"

#include "platform/text/AsciiText.h"

#include "platform/xml/XmlDocument.h"

#include <libxml/HTMLparser.h>

#include <memory>

namespace {

std::string Attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return std::string(Trim(text));
}

bool IsElement(xmlNodePtr node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

// Every element of that name below the node, in document order.
void Collect(xmlNodePtr node, const char* name, std::vector<xmlNodePtr>& found) {
    for (; node; node = node->next) {
        if (IsElement(node, name))
            found.push_back(node);
        if (node->children)
            Collect(node->children, name, found);
    }
}

// The link with its address made absolute; false when it does not lead to a web address.
bool Resolve(HtmlLink& link, std::string_view base) {
    if (link.href.empty())
        return false;
    link.href = CXmlDocument::ResolveUri(link.href, base);
    return CHtmlLinks::IsWebAddress(link.href);
}

} // namespace

bool CHtmlLinks::IsWebAddress(std::string_view url) {
    const std::string lower = AsciiLower(url.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

bool CHtmlLinks::HasRel(const HtmlLink& link, std::string_view name) {
    const std::string rel = AsciiLower(link.rel);
    const std::string wanted = AsciiLower(name);
    size_t start = 0;
    while (start < rel.size()) {
        size_t end = rel.find_first_of(" \t\r\n", start);
        if (end == std::string::npos)
            end = rel.size();
        if (rel.compare(start, end - start, wanted) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::vector<HtmlLink> CHtmlLinks::WithRel(const std::vector<HtmlLink>& links,
                                          std::string_view name) {
    std::vector<HtmlLink> found;
    for (const HtmlLink& link : links) {
        if (HasRel(link, name))
            found.push_back(link);
    }
    return found;
}

std::vector<HtmlLink> CHtmlLinks::FromPage(std::string_view html, std::string_view pageUrl) {
    std::vector<HtmlLink> links;
    CXmlDocument::InitParser();
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, nullptr,
                       HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                           HTML_PARSE_RECOVER),
        &xmlFreeDoc);
    if (!doc)
        return links;
    std::string base(pageUrl);
    std::vector<xmlNodePtr> bases;
    Collect(doc->children, "base", bases);
    for (xmlNodePtr node : bases) {
        const std::string href = Attribute(node, "href");
        if (!href.empty()) {
            const std::string resolved = CXmlDocument::ResolveUri(href, pageUrl);
            if (IsWebAddress(resolved))
                base = resolved;
            break;
        }
    }
    std::vector<xmlNodePtr> nodes;
    Collect(doc->children, "link", nodes);
    for (xmlNodePtr node : nodes) {
        HtmlLink link{.rel = Attribute(node, "rel"),
                      .type = Attribute(node, "type"),
                      .title = Attribute(node, "title"),
                      .href = Attribute(node, "href")};
        if (Resolve(link, base))
            links.push_back(std::move(link));
    }
    return links;
}

std::vector<HtmlLink> CHtmlLinks::FromHeader(std::string_view value, std::string_view pageUrl) {
    std::vector<HtmlLink> links;
    size_t pos = 0;
    while ((pos = value.find('<', pos)) != std::string_view::npos) {
        const size_t close = value.find('>', pos);
        if (close == std::string_view::npos)
            break;
        HtmlLink link{.href = std::string(Trim(value.substr(pos + 1, close - pos - 1)))};
        // The parameters run to the next comma outside quotes.
        size_t at = close + 1;
        bool quoted = false;
        size_t end = at;
        for (; end < value.size(); ++end) {
            if (value[end] == '"')
                quoted = !quoted;
            else if (value[end] == ',' && !quoted)
                break;
        }
        std::string_view params = value.substr(at, end - at);
        size_t p = 0;
        while (p < params.size()) {
            size_t semi = params.find(';', p);
            size_t next = semi == std::string_view::npos ? params.size() : semi;
            std::string_view param = params.substr(p, next - p);
            if (size_t eq = param.find('='); eq != std::string_view::npos) {
                const std::string name = AsciiLower(Trim(param.substr(0, eq)));
                std::string text = std::string(Trim(param.substr(eq + 1)));
                if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                    text = text.substr(1, text.size() - 2);
                if (name == "rel")
                    link.rel = text;
                else if (name == "type")
                    link.type = text;
                else if (name == "title")
                    link.title = text;
            }
            p = next + 1;
        }
        if (Resolve(link, pageUrl))
            links.push_back(std::move(link));
        pos = end;
    }
    return links;
}
