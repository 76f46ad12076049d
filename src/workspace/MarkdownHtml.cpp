#include "workspace/MarkdownHtml.h"

#include "platform/xml/HtmlFragment.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace {

constexpr int kOptions = CMARK_OPT_UNSAFE;

std::string Name(xmlNodePtr node) {
    std::string name = reinterpret_cast<const char*>(node->name);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

std::string Attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

std::string Text(xmlNodePtr node) {
    xmlChar* value = xmlNodeGetContent(node);
    if (!value)
        return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string CollapseSpace(const std::string& text) {
    std::string out;
    bool space = false;
    for (char c : text) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space && !out.empty())
            out += ' ';
        else if (space)
            out += ' ';
        space = false;
        out += c;
    }
    if (space)
        out += ' ';
    return out;
}

const std::set<std::string>& BlockNames() {
    static const std::set<std::string> names = {
        "p",   "h1", "h2",    "h3",    "h4",    "h5", "h6", "blockquote", "ul",  "ol",  "li",
        "pre", "hr", "table", "thead", "tbody", "tr", "th", "td",         "div", "body"};
    return names;
}

bool IsBlock(xmlNodePtr node) {
    return node && node->type == XML_ELEMENT_NODE && BlockNames().count(Name(node));
}

// How an element of HTML is written in Markdown; the attributes each may keep.
const std::map<std::string, std::set<std::string>>& Writable() {
    static const std::map<std::string, std::set<std::string>> writable = {
        {"p", {}},
        {"h1", {}},
        {"h2", {}},
        {"h3", {}},
        {"h4", {}},
        {"h5", {}},
        {"h6", {}},
        {"blockquote", {}},
        {"ul", {}},
        {"ol", {"start"}},
        {"li", {}},
        {"pre", {}},
        {"code", {"class"}},
        {"hr", {}},
        {"br", {}},
        {"strong", {}},
        {"b", {}},
        {"em", {}},
        {"i", {}},
        {"del", {}},
        {"s", {}},
        {"strike", {}},
        {"a", {"href", "title"}},
        {"img", {"src", "alt", "title"}},
        {"table", {}},
        {"thead", {}},
        {"tbody", {}},
        {"tr", {}},
        {"th", {}},
        {"td", {}},
        {"div", {}},
        {"body", {}}};
    return writable;
}

std::string Describe(xmlNodePtr node) {
    std::string text = "<" + Name(node);
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
        const char* name = reinterpret_cast<const char*>(attribute->name);
        text += std::string(" ") + name + "=\"" + Attribute(node, name) + "\"";
    }
    text += ">";
    return text.size() > 80 ? text.substr(0, 77) + "...>" : text;
}

// The first element Markdown cannot write, described; empty when there is none.
std::string Unwritable(xmlNodePtr parent) {
    for (xmlNodePtr node = parent->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const auto found = Writable().find(Name(node));
        if (found == Writable().end())
            return Describe(node);
        for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
            if (!found->second.count(reinterpret_cast<const char*>(attribute->name)))
                return Describe(node);
        }
        std::string inner = Unwritable(node);
        if (!inner.empty())
            return inner;
    }
    return {};
}

class CWriter {
public:
    std::string reason;

    // The blocks of a container, separated by blank lines; in a list item a list follows its
    // text on the next line, so that the list stays tight.
    std::string Blocks(xmlNodePtr parent) {
        const bool item = Name(parent) == "li";
        std::vector<std::pair<std::string, bool>> blocks; // the text, and whether it is a list
        std::string loose; // inline content between blocks, as a paragraph of its own
        auto flushLoose = [&] {
            std::string text = Trim(loose);
            if (!text.empty())
                blocks.emplace_back(text, false);
            loose.clear();
        };
        for (xmlNodePtr node = parent->children; node; node = node->next) {
            if (IsBlock(node)) {
                flushLoose();
                std::string block = Block(node);
                const std::string name = Name(node);
                if (!block.empty())
                    blocks.emplace_back(block, name == "ul" || name == "ol");
            } else {
                loose += Inline(node);
            }
        }
        flushLoose();
        std::string out;
        for (const auto& [block, list] : blocks)
            out += (out.empty() ? "" : item && list ? "\n" : "\n\n") + block;
        return out;
    }

private:
    static std::string Trim(const std::string& text) {
        size_t begin = 0;
        size_t end = text.size();
        while (begin < end && text[begin] == ' ')
            ++begin;
        while (end > begin && text[end - 1] == ' ')
            --end;
        return text.substr(begin, end - begin);
    }

    static std::string Prefix(const std::string& text, const std::string& first,
                              const std::string& rest) {
        std::string out = first;
        for (size_t i = 0; i < text.size(); ++i) {
            out += text[i];
            if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] != '\n')
                out += rest;
        }
        return out;
    }

    std::string Block(xmlNodePtr node) {
        const std::string name = Name(node);
        if (name == "p")
            return Trim(Inlines(node));
        if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6')
            return std::string(name[1] - '0', '#') + " " + Trim(Inlines(node));
        if (name == "hr")
            return "***";
        if (name == "blockquote") {
            // Every line carries the marker; a blank one only ">".
            const std::string inner = Blocks(node);
            std::string out;
            size_t start = 0;
            while (start <= inner.size()) {
                const size_t end = std::min(inner.find('\n', start), inner.size());
                const std::string line = inner.substr(start, end - start);
                out += (out.empty() ? "" : "\n") + (line.empty() ? ">" : "> " + line);
                start = end + 1;
            }
            return out;
        }
        if (name == "ul" || name == "ol")
            return List(node, name == "ol");
        if (name == "pre")
            return Code(node);
        if (name == "table")
            return Table(node);
        if (name == "div" || name == "body")
            return Blocks(node);
        reason = "<" + name + "> 不能放在这里";
        return {};
    }

    std::string List(xmlNodePtr list, bool ordered) {
        int number = 1;
        if (ordered) {
            const std::string start = Attribute(list, "start");
            if (!start.empty())
                number = std::atoi(start.c_str());
        }
        std::string out;
        for (xmlNodePtr item = list->children; item; item = item->next) {
            if (item->type != XML_ELEMENT_NODE)
                continue;
            if (Name(item) != "li") {
                reason = "列表里的 " + Describe(item);
                return {};
            }
            const std::string marker = ordered ? std::to_string(number++) + ". " : "- ";
            std::string inner = Blocks(item);
            // A list item that holds one paragraph is written tight.
            out +=
                (out.empty() ? "" : "\n") + Prefix(inner, marker, std::string(marker.size(), ' '));
        }
        return out;
    }

    std::string Code(xmlNodePtr pre) {
        xmlNodePtr code = nullptr;
        for (xmlNodePtr child = pre->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE && Name(child) == "code" && !code)
                code = child;
            else if (child->type == XML_ELEMENT_NODE) {
                reason = "代码块里的 " + Describe(child);
                return {};
            }
        }
        xmlNodePtr holder = code ? code : pre;
        for (xmlNodePtr child = holder->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                reason = "代码块里的 " + Describe(child);
                return {};
            }
        }
        std::string text = Text(holder);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        std::string language;
        const std::string className = code ? Attribute(code, "class") : std::string();
        if (className.rfind("language-", 0) == 0)
            language = className.substr(9);
        else if (!className.empty()) {
            reason = Describe(code);
            return {};
        }
        std::string fence = "```";
        while (text.find(fence) != std::string::npos)
            fence += '`';
        return fence + language + "\n" + text + "\n" + fence;
    }

    std::string Table(xmlNodePtr table) {
        std::vector<std::vector<std::string>> rows;
        std::vector<bool> headerRows;
        std::vector<xmlNodePtr> rowNodes;
        for (xmlNodePtr child = table->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            const std::string name = Name(child);
            if (name == "tr")
                rowNodes.push_back(child);
            else if (name == "thead" || name == "tbody") {
                for (xmlNodePtr row = child->children; row; row = row->next)
                    if (row->type == XML_ELEMENT_NODE)
                        rowNodes.push_back(row);
            }
        }
        for (xmlNodePtr row : rowNodes) {
            std::vector<std::string> cells;
            bool header = true;
            for (xmlNodePtr cell = row->children; cell; cell = cell->next) {
                if (cell->type != XML_ELEMENT_NODE)
                    continue;
                header = header && Name(cell) == "th";
                for (xmlNodePtr inner = cell->children; inner; inner = inner->next) {
                    if (IsBlock(inner)) {
                        reason = "表格单元格里的 " + Describe(inner);
                        return {};
                    }
                }
                // Text escapes its "|" already.
                cells.push_back(Trim(Inlines(cell)));
            }
            rows.push_back(cells);
            headerRows.push_back(header && !cells.empty());
        }
        if (rows.empty())
            return {};
        if (!headerRows[0] ||
            std::find(headerRows.begin() + 1, headerRows.end(), true) != headerRows.end()) {
            reason = "表格只有第一行是表头时才能写成 Markdown";
            return {};
        }
        const size_t columns = rows[0].size();
        std::string out;
        auto line = [&](const std::vector<std::string>& cells) {
            std::string text = "|";
            for (size_t i = 0; i < columns; ++i)
                text += " " + (i < cells.size() ? cells[i] : std::string()) + " |";
            return text;
        };
        out += line(rows[0]) + "\n|";
        for (size_t i = 0; i < columns; ++i)
            out += " --- |";
        for (size_t i = 1; i < rows.size(); ++i) {
            if (rows[i].size() > columns) {
                reason = "表格的一行比表头的列多";
                return {};
            }
            out += "\n" + line(rows[i]);
        }
        return out;
    }

    std::string Inlines(xmlNodePtr parent) {
        std::string out;
        for (xmlNodePtr node = parent->children; node; node = node->next)
            out += Inline(node);
        return out;
    }

    static std::string Escape(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (std::string_view("\\`*_[]<>~|&!#").find(c) != std::string_view::npos)
                out += '\\';
            out += c;
        }
        return out;
    }

    std::string Inline(xmlNodePtr node) {
        if (node->type == XML_TEXT_NODE)
            return EscapeLineStarts(Escape(CollapseSpace(Text(node))));
        if (node->type != XML_ELEMENT_NODE)
            return {};
        const std::string name = Name(node);
        if (name == "br")
            return "\\\n";
        if (name == "strong" || name == "b")
            return Wrap("**", node);
        if (name == "em" || name == "i")
            return Wrap("*", node);
        if (name == "del" || name == "s" || name == "strike")
            return Wrap("~~", node);
        if (name == "code") {
            for (xmlNodePtr child = node->children; child; child = child->next) {
                if (child->type == XML_ELEMENT_NODE) {
                    reason = "行内代码里的 " + Describe(child);
                    return {};
                }
            }
            const std::string text = Text(node);
            std::string fence = "`";
            while (text.find(fence) != std::string::npos)
                fence += '`';
            const bool pad = !text.empty() && (text.front() == '`' || text.back() == '`' ||
                                               (text.front() == ' ' && text.back() == ' '));
            return fence + (pad ? " " : "") + text + (pad ? " " : "") + fence;
        }
        if (name == "a")
            return "[" + Inlines(node) + "](" + Destination(Attribute(node, "href")) + Title(node) +
                   ")";
        if (name == "img")
            return "![" + Escape(Attribute(node, "alt")) + "](" +
                   Destination(Attribute(node, "src")) + Title(node) + ")";
        reason = Describe(node);
        return {};
    }

    std::string Wrap(const std::string& mark, xmlNodePtr node) {
        const std::string inner = Inlines(node);
        // Spaces at the edges go outside the marks, where they still count.
        const size_t begin = inner.find_first_not_of(' ');
        if (begin == std::string::npos)
            return inner;
        const size_t end = inner.find_last_not_of(' ') + 1;
        return inner.substr(0, begin) + mark + inner.substr(begin, end - begin) + mark +
               inner.substr(end);
    }

    static std::string Destination(const std::string& url) {
        if (url.find_first_of(" <>()") == std::string::npos && !url.empty())
            return url;
        std::string out = "<";
        for (char c : url) {
            if (c == '<' || c == '>')
                out += '\\';
            out += c;
        }
        return out + ">";
    }

    static std::string Title(xmlNodePtr node) {
        const std::string title = Attribute(node, "title");
        if (title.empty())
            return {};
        std::string out = " \"";
        for (char c : title) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }

    // A list marker or a heading mark at the start of a line is text, not markup.
    static std::string EscapeLineStarts(const std::string& text) {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            const bool lineStart = i == 0 || text[i - 1] == '\n';
            if (lineStart) {
                size_t digits = i;
                while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
                    ++digits;
                if (digits > i && digits < text.size() &&
                    (text[digits] == '.' || text[digits] == ')')) {
                    out += text.substr(i, digits - i) + "\\";
                    i = digits - 1;
                    continue;
                }
                if (text[i] == '-' || text[i] == '+' || text[i] == '=')
                    out += '\\';
            }
            out += text[i];
        }
        return out;
    }
};

// The tree as the reader sees it, for telling whether two HTML texts are the same post:
// element names with the same meaning are one, white space at the edges of elements does not
// count, a
// lone paragraph in a list item is the item, and an address written as a link's text is the
// same whether or not it was a link.
void Canonical(xmlNodePtr parent, std::string& out, bool inPre) {
    for (xmlNodePtr node = parent->children; node; node = node->next) {
        if (node->type == XML_TEXT_NODE) {
            std::string text = Text(node);
            if (inPre) {
                if (!node->next && !text.empty() && text.back() == '\n')
                    text.pop_back();
                out += text;
                continue;
            }
            // Spaces at the edges of elements are not compared: a space that moved in or out
            // of a bold word reads the same.
            text = CollapseSpace(text);
            if (!text.empty() && text.front() == ' ')
                text.erase(0, 1);
            if (!text.empty() && text.back() == ' ')
                text.pop_back();
            out += text;
            continue;
        }
        if (node->type != XML_ELEMENT_NODE)
            continue;
        std::string name = Name(node);
        if (name == "b")
            name = "strong";
        else if (name == "i")
            name = "em";
        else if (name == "s" || name == "strike")
            name = "del";
        if (name == "thead" || name == "tbody" || name == "div" ||
            (name == "p" && Name(parent) == "li" && !node->prev && !node->next)) {
            Canonical(node, out, inPre);
            continue;
        }
        if (name == "a") {
            const std::string href = Attribute(node, "href");
            const std::string text = Text(node);
            if (href == text || href == "http://" + text || href == "mailto:" + text) {
                out += text;
                continue;
            }
        }
        out += "<" + name;
        std::vector<std::pair<std::string, std::string>> attributes;
        for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
            const char* attributeName = reinterpret_cast<const char*>(attribute->name);
            std::string value = Attribute(node, attributeName);
            if (std::string_view(attributeName) == "href" ||
                std::string_view(attributeName) == "src") {
                // Addresses are compared as they read, percent-encoded or not.
                std::string decoded;
                for (size_t i = 0; i < value.size(); ++i) {
                    if (value[i] == '%' && i + 2 < value.size() &&
                        std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
                        std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
                        decoded +=
                            static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
                        i += 2;
                    } else {
                        decoded += value[i];
                    }
                }
                value = decoded;
            }
            if (!(std::string_view(attributeName) == "alt" && value.empty()))
                attributes.emplace_back(attributeName, value);
        }
        std::sort(attributes.begin(), attributes.end());
        for (const auto& [key, value] : attributes)
            out += " " + key + "=\"" + value + "\"";
        out += ">";
        Canonical(node, out, inPre || name == "pre");
        out += "</" + name + ">";
    }
}

bool CanonicalOf(std::string_view html, std::string& out) {
    CHtmlFragment fragment;
    if (!fragment.Parse(html))
        return false;
    Canonical(fragment.Body(), out, false);
    return true;
}

} // namespace

namespace {

enum class LocalPictures { kDropped, kShown };

using ParserPtr = std::unique_ptr<cmark_parser, decltype(&cmark_parser_free)>;
using NodePtr = std::unique_ptr<cmark_node, decltype(&cmark_node_free)>;

NodePtr Parse(std::string_view markdown, ParserPtr& parser) {
    static std::once_flag registered;
    std::call_once(registered, [] { cmark_gfm_core_extensions_ensure_registered(); });
    parser = ParserPtr(cmark_parser_new(kOptions), &cmark_parser_free);
    for (const char* name : {"table", "strikethrough", "autolink"}) {
        if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(parser.get(), extension);
    }
    cmark_parser_feed(parser.get(), markdown.data(), markdown.size());
    return NodePtr(cmark_parser_finish(parser.get()), &cmark_node_free);
}

// Calls visit(node, url) for each link and picture on entering it.
template <typename Visit> void EachAddress(cmark_node* document, Visit visit) {
    std::unique_ptr<cmark_iter, decltype(&cmark_iter_free)> walk(cmark_iter_new(document),
                                                                 &cmark_iter_free);
    for (cmark_event_type event; (event = cmark_iter_next(walk.get())) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(walk.get());
        const cmark_node_type type = cmark_node_get_type(node);
        if (event == CMARK_EVENT_ENTER && (type == CMARK_NODE_LINK || type == CMARK_NODE_IMAGE))
            visit(node, std::string_view(cmark_node_get_url(node) ? cmark_node_get_url(node) : ""));
    }
}

std::string Render(std::string_view markdown, LocalPictures local) {
    ParserPtr parser(nullptr, &cmark_parser_free);
    NodePtr document = Parse(markdown, parser);
    // A link or picture of Markdown never runs a script (as cmark's safe mode has it).
    EachAddress(document.get(), [&](cmark_node* node, std::string_view url) {
        const bool shownPicture = local == LocalPictures::kShown &&
                                  cmark_node_get_type(node) == CMARK_NODE_IMAGE &&
                                  url.starts_with("file://");
        if (!shownPicture && CMarkdownHtml::IsScriptAddress(url))
            cmark_node_set_url(node, "");
    });
    char* html = cmark_render_html(document.get(), kOptions,
                                   cmark_parser_get_syntax_extensions(parser.get()));
    std::string text = html ? html : "";
    std::free(html);
    return text;
}

} // namespace

std::string CMarkdownHtml::ToHtml(std::string_view markdown) {
    return Render(markdown, LocalPictures::kDropped);
}

std::string CMarkdownHtml::PreviewHtml(std::string_view markdown) {
    return Render(markdown, LocalPictures::kShown);
}

std::vector<std::string> CMarkdownHtml::PictureAddresses(std::string_view markdown) {
    ParserPtr parser(nullptr, &cmark_parser_free);
    NodePtr document = Parse(markdown, parser);
    std::vector<std::string> addresses;
    EachAddress(document.get(), [&](cmark_node* node, std::string_view url) {
        if (cmark_node_get_type(node) == CMARK_NODE_IMAGE)
            addresses.emplace_back(url);
    });
    return addresses;
}

bool CMarkdownHtml::IsScriptAddress(std::string_view url) {
    std::string scheme;
    for (char c : url) {
        if (c == ':')
            break;
        if (std::isspace(static_cast<unsigned char>(c)) ||
            std::iscntrl(static_cast<unsigned char>(c)))
            continue; // "java script:" is read as "javascript:" by some browsers
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (scheme.size() == url.size())
        return false; // no scheme: an address of the weblog itself
    if (scheme == "data") {
        const std::string rest(url.substr(url.find(':') + 1, 10));
        return !(rest.starts_with("image/png") || rest.starts_with("image/gif") ||
                 rest.starts_with("image/jpeg") || rest.starts_with("image/webp"));
    }
    return scheme == "javascript" || scheme == "vbscript" || scheme == "file";
}

bool CMarkdownHtml::FromHtml(std::string_view html, std::string& markdown, std::string& reason) {
    CHtmlFragment fragment;
    if (!fragment.Parse(html)) {
        reason = "无法读取文章的 HTML";
        return false;
    }
    const std::string unwritable = Unwritable(fragment.Body());
    if (!unwritable.empty()) {
        reason = "Markdown 写不出文章里的 " + unwritable + ", 转换会丢失这些格式";
        return false;
    }
    CWriter writer;
    std::string written = writer.Blocks(fragment.Body());
    if (!writer.reason.empty()) {
        reason = "Markdown 写不出文章里的 " + writer.reason + ", 转换会丢失这些格式";
        return false;
    }
    if (!written.empty())
        written += "\n";
    // What Markdown gives back must be the article as it is.
    std::string before;
    std::string after;
    if (!CanonicalOf(html, before) || !CanonicalOf(ToHtml(written), after) || before != after) {
        reason = "文章的格式在 Markdown 里无法原样保留 (例如紧贴着标点的加粗或斜体), "
                 "转换会改变文章";
        return false;
    }
    markdown = std::move(written);
    return true;
}
