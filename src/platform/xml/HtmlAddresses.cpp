#include "platform/xml/HtmlAddresses.h"

#include "platform/xml/HtmlFragment.h"
#include "platform/xml/XmlDocument.h"

#include <algorithm>
#include <cctype>

namespace {

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool EqualsIgnoringCase(std::string_view text, size_t at, std::string_view word) {
    if (at + word.size() > text.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    }
    return true;
}

// The value of an attribute whose name ends just before pos ("href" in `href = "x"`), or
// nothing when no "=" follows the name.
bool ValueAfter(std::string_view html, size_t pos, std::string_view& value) {
    while (pos < html.size() && std::isspace(static_cast<unsigned char>(html[pos])))
        ++pos;
    if (pos >= html.size() || html[pos] != '=')
        return false;
    ++pos;
    while (pos < html.size() && std::isspace(static_cast<unsigned char>(html[pos])))
        ++pos;
    if (pos >= html.size())
        return false;
    size_t end;
    if (html[pos] == '"' || html[pos] == '\'') {
        const char quote = html[pos++];
        end = html.find(quote, pos);
    } else {
        end = pos;
        while (end < html.size() && !std::isspace(static_cast<unsigned char>(html[end])) &&
               html[end] != '>')
            ++end;
    }
    if (end == std::string_view::npos)
        end = html.size();
    value = html.substr(pos, end - pos);
    return true;
}

bool IsRelative(std::string_view value) {
    size_t first = 0;
    while (first < value.size() && std::isspace(static_cast<unsigned char>(value[first])))
        ++first;
    value.remove_prefix(first);
    // A fragment alone points into the piece itself.
    return !value.empty() && value[0] != '#' && !CHtmlAddresses::HasScheme(value);
}

void ResolveBelow(xmlNodePtr node, const std::string& base) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (const char* name : {"href", "src"}) {
            xmlChar* value = xmlGetNoNsProp(node, X(name));
            if (!value)
                continue;
            const std::string text(reinterpret_cast<const char*>(value));
            xmlFree(value);
            if (!IsRelative(text))
                continue;
            const std::string resolved = CXmlDocument::ResolveUri(text, base);
            xmlSetProp(node, X(name), X(resolved.c_str()));
        }
        ResolveBelow(node->children, base);
    }
}

} // namespace

bool CHtmlAddresses::HasScheme(std::string_view url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    for (char c : url) {
        if (c == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

bool CHtmlAddresses::HasRelative(std::string_view html) {
    for (size_t pos = html.find('='); pos != std::string_view::npos;
         pos = html.find('=', pos + 1)) {
        // The name before the "=", blanks allowed between.
        size_t end = pos;
        while (end > 0 && std::isspace(static_cast<unsigned char>(html[end - 1])))
            --end;
        size_t nameAt;
        if (end >= 4 && EqualsIgnoringCase(html, end - 4, "href"))
            nameAt = end - 4;
        else if (end >= 3 && EqualsIgnoringCase(html, end - 3, "src"))
            nameAt = end - 3;
        else
            continue;
        // A whole attribute name: "data-src" or "xhref" are not addresses.
        if (nameAt > 0 && !std::isspace(static_cast<unsigned char>(html[nameAt - 1])))
            continue;
        std::string_view value;
        if (ValueAfter(html, end, value) && IsRelative(value))
            return true;
    }
    return false;
}

std::string CHtmlAddresses::Resolve(std::string_view html, std::string_view base) {
    if (base.empty() || !HasRelative(html))
        return std::string(html);
    CHtmlFragment fragment;
    if (!fragment.Parse(html))
        return std::string(html);
    ResolveBelow(fragment.Body()->children, std::string(base));
    std::string resolved;
    if (!fragment.Write(resolved))
        return std::string(html);
    return resolved;
}
