#include "platform/xml/HtmlSanitizer.h"

#include "platform/text/AsciiText.h"
#include "platform/xml/HtmlFragment.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string_view>

namespace {

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// Elements dropped together with everything inside them: code, plug-ins, form controls, what
// belongs in a page's head, and markup whose content a browser does not show as text.
const std::set<std::string_view>& DroppedWithContent() {
    static const std::set<std::string_view> names = {
        "script", "style",    "object", "applet", "frame",  "frameset", "noframes", "iframe",
        "title",  "head",     "button", "select", "option", "optgroup", "textarea", "datalist",
        "output", "template", "svg",    "math",   "canvas", "portal",   "dialog",   "xml",
    };
    return names;
}

// Elements that have no content of their own and are dropped. The parser does not know every
// one of them as empty (it reads <embed> as a container), so whatever it put inside one is what
// followed it, and stays.
bool IsDroppedEmptyElement(std::string_view name) {
    return name == "embed" || name == "param" || name == "keygen" || name == "input" ||
           name == "meta" || name == "link" || name == "base";
}

// The elements kept, each with the attributes it keeps besides the common ones. An element
// that is neither kept nor dropped gives way to its content (<form>, <font>, <center>, unknown
// names).
const std::map<std::string_view, std::set<std::string_view>>& KeptElements() {
    static const std::map<std::string_view, std::set<std::string_view>> elements = {
        {"a", {"href", "name"}},
        {"abbr", {}},
        {"acronym", {}},
        {"address", {}},
        {"article", {}},
        {"aside", {}},
        {"audio", {"src", "controls", "loop", "muted", "preload"}},
        {"b", {}},
        {"bdi", {}},
        {"bdo", {}},
        {"big", {}},
        {"blockquote", {"cite"}},
        {"br", {}},
        {"caption", {"align"}},
        {"cite", {}},
        {"code", {}},
        {"col", {"span", "width", "align", "valign"}},
        {"colgroup", {"span", "width", "align", "valign"}},
        {"dd", {}},
        {"del", {"cite", "datetime"}},
        {"details", {"open"}},
        {"dfn", {}},
        {"div", {"align"}},
        {"dl", {}},
        {"dt", {}},
        {"em", {}},
        {"figcaption", {}},
        {"figure", {}},
        {"footer", {}},
        {"h1", {"align"}},
        {"h2", {"align"}},
        {"h3", {"align"}},
        {"h4", {"align"}},
        {"h5", {"align"}},
        {"h6", {"align"}},
        {"header", {}},
        {"hr", {"width", "size", "noshade", "align"}},
        {"i", {}},
        {"img", {"src", "alt", "width", "height", "align", "border", "hspace", "vspace"}},
        {"ins", {"cite", "datetime"}},
        {"kbd", {}},
        {"li", {"value", "type"}},
        {"mark", {}},
        {"ol", {"start", "type", "reversed"}},
        {"p", {"align"}},
        {"picture", {}},
        {"pre", {}},
        {"q", {"cite"}},
        {"rp", {}},
        {"rt", {}},
        {"ruby", {}},
        {"s", {}},
        {"samp", {}},
        {"section", {}},
        {"small", {}},
        {"source", {"src", "type", "media"}},
        {"span", {}},
        {"strike", {}},
        {"strong", {}},
        {"sub", {}},
        {"summary", {}},
        {"sup", {}},
        {"table", {"border", "cellpadding", "cellspacing", "width", "summary", "align"}},
        {"tbody", {"align", "valign"}},
        {"td", {"colspan", "rowspan", "width", "height", "align", "valign", "headers", "scope"}},
        {"tfoot", {"align", "valign"}},
        {"th", {"colspan", "rowspan", "width", "height", "align", "valign", "headers", "scope"}},
        {"thead", {"align", "valign"}},
        {"time", {"datetime"}},
        {"tr", {"align", "valign"}},
        {"track", {"src", "kind", "srclang", "label", "default"}},
        {"tt", {}},
        {"u", {}},
        {"ul", {"type"}},
        {"var", {}},
        {"video", {"src", "controls", "poster", "width", "height", "loop", "muted", "preload"}},
        {"wbr", {}},
    };
    return elements;
}

bool IsCommonAttribute(std::string_view name) {
    return name == "title" || name == "lang" || name == "dir" || name == "id" || name == "style";
}

bool IsAddressAttribute(std::string_view name) {
    return name == "href" || name == "src" || name == "cite" || name == "poster";
}

// The address as a browser reads it: blanks and control characters inside do not hide a scheme
// ("java\tscript:").
std::string Squeezed(std::string_view address) {
    std::string out;
    for (char c : address) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u != 0x7F)
            out += static_cast<char>(std::tolower(u));
    }
    return out;
}

bool HasSchemePrefix(const std::string& address, std::string& scheme) {
    const size_t colon = address.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false; // a "/" or "?" before the colon: a relative address
    }
    scheme = address.substr(0, colon);
    return true;
}

bool IsSafeAddress(std::string_view value, bool imageSource) {
    const std::string address = Squeezed(value);
    std::string scheme;
    if (!HasSchemePrefix(address, scheme))
        return true; // relative, already resolved where the item's base was known
    if (scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "ftp")
        return true;
    return imageSource && address.rfind("data:image/", 0) == 0;
}

bool IsRemote(std::string_view value) {
    const std::string address = Squeezed(value);
    return address.rfind("http:", 0) == 0 || address.rfind("https:", 0) == 0 ||
           address.rfind("//", 0) == 0;
}

// The host of an https address, or "" for any other address or one with user information.
std::string HttpsHost(std::string_view value) {
    const std::string address = Squeezed(value);
    constexpr std::string_view prefix = "https://";
    if (address.rfind(prefix, 0) != 0)
        return {};
    const size_t end = address.find_first_of("/?#\\", prefix.size());
    std::string authority = address.substr(
        prefix.size(), end == std::string::npos ? std::string::npos : end - prefix.size());
    if (authority.find('@') != std::string::npos)
        return {};
    if (size_t colon = authority.find(':'); colon != std::string::npos)
        authority.resize(colon);
    return authority;
}

std::string Attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetNoNsProp(node, X(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

void FreeNode(xmlNodePtr node) {
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

// Moves the element's children to its place and removes the element.
void Unwrap(xmlNodePtr node) {
    while (xmlNodePtr child = node->children)
        xmlAddPrevSibling(node, child);
    FreeNode(node);
}

class CCleaner {
public:
    CCleaner(xmlDocPtr doc, const HtmlSanitizeOptions& options) : m_doc(doc), m_options(options) {
        for (const std::string& host : options.videoHosts)
            m_hosts.insert(AsciiLower(host));
    }

    void CleanChildren(xmlNodePtr parent) {
        xmlNodePtr node = parent->children;
        while (node) {
            xmlNodePtr next = node->next;
            CleanNode(node);
            node = next;
        }
    }

private:
    void CleanNode(xmlNodePtr node) {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_ENTITY_REF_NODE:
            return;
        case XML_ELEMENT_NODE:
            break;
        default: // comments (conditional ones included), processing instructions, CDATA
            FreeNode(node);
            return;
        }
        const std::string name = AsciiLower(reinterpret_cast<const char*>(node->name));
        if (name == "iframe" && KeepPlayer(node))
            return;
        if (DroppedWithContent().count(name)) {
            FreeNode(node);
            return;
        }
        const auto kept = KeptElements().find(name);
        CleanChildren(node);
        if (kept == KeptElements().end() || IsDroppedEmptyElement(name)) {
            Unwrap(node);
            return;
        }
        CleanAttributes(node, name, kept->second);
        if (name == "img")
            CleanImage(node);
    }

    void CleanAttributes(xmlNodePtr node, const std::string& element,
                         const std::set<std::string_view>& allowed) {
        xmlAttrPtr attr = node->properties;
        while (attr) {
            xmlAttrPtr next = attr->next;
            const std::string name = AsciiLower(reinterpret_cast<const char*>(attr->name));
            bool keep = attr->ns == nullptr && (IsCommonAttribute(name) || allowed.count(name));
            if (keep) {
                const std::string value = Attribute(node, name.c_str());
                if (IsAddressAttribute(name))
                    keep = IsSafeAddress(value, element == "img" && name == "src");
                else if (name == "style") {
                    const std::string style = CHtmlSanitizer::CleanStyle(value);
                    keep = !style.empty();
                    if (keep && style != value) {
                        xmlSetProp(node, attr->name, X(style.c_str()));
                        attr = next;
                        continue;
                    }
                }
            }
            if (!keep)
                xmlRemoveProp(attr);
            attr = next;
        }
    }

    void CleanImage(xmlNodePtr img) {
        const std::string src = Attribute(img, "src");
        if (src.empty()) {
            FreeNode(img);
            return;
        }
        if (m_options.remoteImages != RemoteImages::kPlaceholder || !IsRemote(src))
            return;
        xmlNodePtr link = xmlNewDocNode(m_doc, nullptr, X("a"), nullptr);
        xmlNewProp(link, X("class"), X(CHtmlSanitizer::kPlaceholderClass));
        xmlNewProp(link, X("href"), X(m_options.loadImagesAddress.c_str()));
        xmlNewProp(link, X("data-src"), X(src.c_str()));
        const std::string alt = Attribute(img, "alt");
        if (!alt.empty())
            xmlNewProp(link, X("title"), X(alt.c_str()));
        xmlAddChild(link, xmlNewDocText(m_doc, X(CHtmlSanitizer::kPlaceholderText)));
        xmlReplaceNode(img, link);
        xmlFreeNode(img);
    }

    // An embedded player from an allowed host keeps its address and size, sandboxed; true when
    // the element stays.
    bool KeepPlayer(xmlNodePtr node) {
        const std::string src = Attribute(node, "src");
        const std::string host = HttpsHost(src);
        if (host.empty() || !m_hosts.count(host))
            return false;
        const std::string width = Attribute(node, "width");
        const std::string height = Attribute(node, "height");
        const std::string title = Attribute(node, "title");
        while (node->properties)
            xmlRemoveProp(node->properties);
        while (node->children)
            FreeNode(node->children);
        xmlNewProp(node, X("src"), X(src.c_str()));
        for (const auto& [name, value] :
             {std::pair{"width", width}, std::pair{"height", height}, std::pair{"title", title}}) {
            if (!value.empty())
                xmlNewProp(node, X(name), X(value.c_str()));
        }
        xmlNewProp(node, X("sandbox"), X("allow-scripts allow-same-origin allow-presentation"));
        xmlNewProp(node, X("allowfullscreen"), X(""));
        xmlNewProp(node, X("referrerpolicy"), X("strict-origin-when-cross-origin"));
        return true;
    }

    xmlDocPtr m_doc;
    const HtmlSanitizeOptions& m_options;
    std::set<std::string> m_hosts;
};

// The declarations of a style text, split at semicolons outside quotes and parentheses.
std::vector<std::string_view> Declarations(std::string_view style) {
    std::vector<std::string_view> out;
    size_t start = 0;
    int depth = 0;
    char quote = 0;
    for (size_t i = 0; i <= style.size(); ++i) {
        const char c = i < style.size() ? style[i] : ';';
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == ';' && (depth == 0 || i == style.size())) {
            out.push_back(style.substr(start, i - start));
            start = i + 1;
        }
    }
    return out;
}

bool IsPlainPropertyName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; });
}

bool IsOffset(std::string_view name) {
    return name == "top" || name == "left" || name == "right" || name == "bottom" ||
           name == "inset" || name.rfind("inset-", 0) == 0;
}

// A declaration value that fetches something (an image, a font, another sheet: a tracking pixel
// even with remote images off) or runs code. Escapes are refused whole, since they could spell
// any of these. value is squeezed: lower case, without blanks.
bool LoadsOrRuns(const std::string& value) {
    for (const char* part : {"url(", "image(", "image-set(", "cross-fade(", "element(", "@import",
                             "expression(", "javascript:", "vbscript:", "\\"})
        if (value.find(part) != std::string::npos)
            return true;
    return false;
}

} // namespace

std::string CHtmlSanitizer::CleanStyle(std::string_view style) {
    struct Declaration {
        std::string name;
        std::string_view value;
    };
    std::vector<Declaration> declarations;
    bool outOfFlow = false;
    for (std::string_view text : Declarations(style)) {
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            continue;
        Declaration d{.name = AsciiLower(Trim(text.substr(0, colon))),
                      .value = Trim(text.substr(colon + 1))};
        if (d.name == "position") {
            const std::string value = AsciiLower(d.value);
            outOfFlow = outOfFlow || value.find("absolute") != std::string::npos ||
                        value.find("fixed") != std::string::npos;
        }
        declarations.push_back(d);
    }
    std::string out;
    for (const Declaration& d : declarations) {
        const std::string value = Squeezed(d.value);
        if (!IsPlainPropertyName(d.name) || d.value.empty() || d.name == "position" ||
            d.name == "z-index" || (outOfFlow && IsOffset(d.name)) || d.name == "behavior" ||
            d.name == "-moz-binding" || LoadsOrRuns(value))
            continue;
        if (!out.empty())
            out += "; ";
        out += d.name + ": " + std::string(d.value);
    }
    return out;
}

std::vector<std::string> CHtmlSanitizer::ParseHostList(std::string_view text) {
    std::vector<std::string> hosts;
    std::string current;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty())
                hosts.push_back(AsciiLower(current));
            current.clear();
        } else {
            current += c;
        }
    }
    return hosts;
}

std::string CHtmlSanitizer::CheckHostList(std::string_view text) {
    for (const std::string& host : ParseHostList(text)) {
        const bool plain =
            host.front() != '.' && host.back() != '.' && host.front() != '-' &&
            std::all_of(host.begin(), host.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
            });
        if (!plain)
            return "不是主机名: " + host;
    }
    return {};
}

std::string CHtmlSanitizer::Sanitize(std::string_view html, const HtmlSanitizeOptions& options) {
    if (html.empty())
        return {};
    CHtmlFragment fragment;
    // Nothing that cannot be read is shown as markup.
    if (!fragment.Parse(html))
        return {};
    CCleaner cleaner(fragment.Doc(), options);
    cleaner.CleanChildren(fragment.Body());
    std::string clean;
    if (!fragment.Write(clean))
        return {};
    return clean;
}
