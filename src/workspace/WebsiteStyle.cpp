#include "workspace/WebsiteStyle.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/fs/FileUtil.h"
#include "platform/fs/HexFileName.h"
#include "platform/text/AsciiText.h"
#include "platform/text/EncodingDetector.h"
#include "platform/text/ReasonText.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/HtmlLinks.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlRepair.h"
#include "platform/xml/XmlText.h"
#include "workspace/MarkdownHtml.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/xmlIO.h>

#include <cctype>
#include <functional>
#include <memory>
#include <vector>

namespace {

using DocPtr = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

constexpr const char* kSourceMeta = "quillmark-source";

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool IsElement(xmlNodePtr node, const char* name) {
    return node && node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, X(name)) == 0;
}

std::string Attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetProp(node, X(name));
    if (!value)
        return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// Whether a space-separated attribute (class, itemprop, rel) holds the word, case ignored.
bool HasWord(xmlNodePtr node, const char* attribute, std::string_view word) {
    const std::string list = AsciiLower(Attribute(node, attribute));
    const std::string wanted = AsciiLower(word);
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find_first_of(" \t\r\n\f", start);
        if (end == std::string::npos)
            end = list.size();
        if (list.compare(start, end - start, wanted) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// The first element below node, in page order (node itself excluded), that matches, looking no
// further than stop (nullptr: to the end); reached tells whether stop was met.
xmlNodePtr FindBefore(xmlNodePtr node, xmlNodePtr stop,
                      const std::function<bool(xmlNodePtr)>& match, bool& reached) {
    for (xmlNodePtr child = node ? node->children : nullptr; child && !reached;
         child = child->next) {
        if (child == stop) {
            reached = true;
            break;
        }
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (match(child))
            return child;
        if (xmlNodePtr found = FindBefore(child, stop, match, reached))
            return found;
    }
    return nullptr;
}

// The first element below node that matches, anywhere.
xmlNodePtr FindFirst(xmlNodePtr node, const std::function<bool(xmlNodePtr)>& match) {
    bool reached = false;
    return FindBefore(node, nullptr, match, reached);
}

xmlNodePtr ChildElement(xmlNodePtr node, const char* name) {
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next) {
        if (IsElement(child, name))
            return child;
    }
    return nullptr;
}

void RemoveChildren(xmlNodePtr node) {
    while (xmlNodePtr child = node->children) {
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
}

void Remove(xmlNodePtr node) {
    xmlUnlinkNode(node);
    xmlFreeNode(node);
}

// Elements that run code, load other documents or change where the page goes.
bool IsDropped(xmlNodePtr node) {
    static const char* const dropped[] = {"script", "noscript", "iframe", "frame", "frameset",
                                          "object", "embed",    "applet", "base",  "meta",
                                          "portal", "template", "title",  "head"};
    for (const char* name : dropped) {
        if (IsElement(node, name))
            return true;
    }
    return false;
}

bool IsAddressAttribute(const xmlChar* name) {
    static const char* const names[] = {"href",     "src",        "action",   "formaction",
                                        "poster",   "background", "data",     "cite",
                                        "longdesc", "usemap",     "codebase", "dynsrc",
                                        "lowsrc",   "srcset",     "ping",     "xlink:href"};
    for (const char* known : names) {
        if (xmlStrcasecmp(name, X(known)) == 0)
            return true;
    }
    return false;
}

// Drops the attributes that run code: on* handlers, srcdoc, and addresses with a script scheme.
void CleanAttributes(xmlNodePtr node) {
    xmlAttrPtr attribute = node->properties;
    while (attribute) {
        xmlAttrPtr next = attribute->next;
        const std::string name = AsciiLower(reinterpret_cast<const char*>(attribute->name));
        bool drop = name.starts_with("on") || name == "srcdoc";
        if (!drop && IsAddressAttribute(attribute->name)) {
            xmlChar* value = xmlNodeListGetString(node->doc, attribute->children, 1);
            drop = value && CMarkdownHtml::IsScriptAddress(reinterpret_cast<const char*>(value));
            xmlFree(value);
        }
        if (drop)
            xmlRemoveProp(attribute);
        attribute = next;
    }
}

bool IsStyleSheetLink(xmlNodePtr node) {
    return IsElement(node, "link") && HasWord(node, "rel", "stylesheet") &&
           !HasWord(node, "rel", "alternate");
}

// A style sheet link as the template keeps it: rel, its absolute address and media. False when
// it does not lead to a web address.
bool KeepLink(xmlNodePtr link, const std::string& base) {
    const std::string href =
        CXmlDocument::ResolveUri(std::string(Trim(Attribute(link, "href"))), base);
    if (!CHtmlLinks::IsWebAddress(href))
        return false;
    const std::string media = Attribute(link, "media");
    while (link->properties)
        xmlRemoveProp(link->properties);
    xmlNewProp(link, X("rel"), X("stylesheet"));
    xmlNewProp(link, X("href"), X(href.c_str()));
    if (!media.empty())
        xmlNewProp(link, X("media"), X(media.c_str()));
    return true;
}

// Makes the body safe to show: what runs code goes, style sheets stay with absolute addresses.
void CleanTree(xmlNodePtr node, const std::string& base) {
    xmlNodePtr child = node->children;
    while (child) {
        xmlNodePtr next = child->next;
        if (child->type == XML_COMMENT_NODE || child->type == XML_PI_NODE ||
            child->type == XML_DTD_NODE) {
            Remove(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            if (IsElement(child, "link")) {
                if (!IsStyleSheetLink(child) || !KeepLink(child, base))
                    Remove(child);
            } else if (IsDropped(child)) {
                Remove(child);
            } else {
                CleanAttributes(child);
                CleanTree(child, base);
            }
        }
        child = next;
    }
}

// The head of the template: charset, the source, the title, the base and the style sheets.
void BuildHead(xmlDocPtr doc, xmlNodePtr html, const std::string& base,
               const std::string& sourceUrl) {
    xmlNodePtr oldHead = ChildElement(html, "head");
    std::string title;
    if (xmlNodePtr titleNode =
            oldHead ? FindFirst(oldHead, [](xmlNodePtr n) { return IsElement(n, "title"); })
                    : nullptr) {
        xmlChar* text = xmlNodeGetContent(titleNode);
        title = text ? reinterpret_cast<const char*>(text) : "";
        xmlFree(text);
    }
    // The style sheets of the head in their order; those of the body stay where they are.
    std::vector<xmlNodePtr> styles;
    if (oldHead) {
        std::function<void(xmlNodePtr)> collect = [&](xmlNodePtr node) {
            for (xmlNodePtr child = node->children; child; child = child->next) {
                if (IsStyleSheetLink(child) || IsElement(child, "style"))
                    styles.push_back(child);
                else if (child->type == XML_ELEMENT_NODE && !IsElement(child, "script") &&
                         !IsElement(child, "noscript"))
                    collect(child);
            }
        };
        collect(oldHead);
    }
    xmlNodePtr head = xmlNewDocNode(doc, nullptr, X("head"), nullptr);
    xmlNodePtr charset = xmlNewChild(head, nullptr, X("meta"), nullptr);
    xmlNewProp(charset, X("charset"), X("utf-8"));
    xmlNodePtr source = xmlNewChild(head, nullptr, X("meta"), nullptr);
    xmlNewProp(source, X("name"), X(kSourceMeta));
    xmlNewProp(source, X("content"), X(sourceUrl.c_str()));
    xmlNewTextChild(head, nullptr, X("title"), X(title.c_str()));
    xmlNodePtr baseNode = xmlNewChild(head, nullptr, X("base"), nullptr);
    xmlNewProp(baseNode, X("href"), X(base.c_str()));
    for (xmlNodePtr style : styles) {
        xmlUnlinkNode(style);
        if (IsElement(style, "link") ? KeepLink(style, base) : true) {
            if (IsElement(style, "style")) {
                const std::string media = Attribute(style, "media");
                while (style->properties)
                    xmlRemoveProp(style->properties);
                if (!media.empty())
                    xmlNewProp(style, X("media"), X(media.c_str()));
            }
            xmlAddChild(head, style);
        } else {
            xmlFreeNode(style);
        }
    }
    if (oldHead) {
        xmlReplaceNode(oldHead, head);
        xmlFreeNode(oldHead);
    } else if (html->children) {
        xmlAddPrevSibling(html->children, head);
    } else {
        xmlAddChild(html, head);
    }
}

bool HasClass(xmlNodePtr node, const char* name) {
    return HasWord(node, "class", name);
}

// The first post's content element, by the rules of the header, and whether it is the <article>
// fallback.
xmlNodePtr FindContent(xmlNodePtr body, bool& wholeArticle) {
    wholeArticle = false;
    const std::function<bool(xmlNodePtr)> rules[] = {
        [](xmlNodePtr n) { return HasClass(n, "entry-content"); },
        [](xmlNodePtr n) { return HasClass(n, "post-content"); },
        [](xmlNodePtr n) { return HasClass(n, "post-body"); },
        [](xmlNodePtr n) { return HasClass(n, "article-content"); },
        [](xmlNodePtr n) { return HasWord(n, "itemprop", "articleBody"); },
        [](xmlNodePtr n) {
            if (!HasClass(n, "content"))
                return false;
            for (xmlNodePtr up = n->parent; up; up = up->parent) {
                if (IsElement(up, "article"))
                    return true;
            }
            return false;
        },
    };
    for (const auto& rule : rules) {
        if (xmlNodePtr found = FindFirst(body, rule))
            return found;
    }
    wholeArticle = true;
    return FindFirst(body, [](xmlNodePtr n) { return IsElement(n, "article"); });
}

// The post around the content: the nearest <article> or post element, else its parent.
xmlNodePtr PostOf(xmlNodePtr content) {
    for (xmlNodePtr up = content->parent; up && up->type == XML_ELEMENT_NODE; up = up->parent) {
        if (IsElement(up, "article") || HasClass(up, "post") || HasClass(up, "hentry") ||
            HasClass(up, "type-post") || HasClass(up, "blog-post"))
            return up;
    }
    return content->parent;
}

// The post's title element before the content (nullptr: anywhere in the post).
xmlNodePtr FindTitle(xmlNodePtr post, xmlNodePtr content) {
    const std::function<bool(xmlNodePtr)> rules[] = {
        [](xmlNodePtr n) { return HasClass(n, "entry-title"); },
        [](xmlNodePtr n) { return HasClass(n, "post-title"); },
        [](xmlNodePtr n) { return HasClass(n, "article-title"); },
        [](xmlNodePtr n) { return HasWord(n, "itemprop", "headline"); },
        [](xmlNodePtr n) { return IsElement(n, "h1") || IsElement(n, "h2") || IsElement(n, "h3"); },
    };
    for (const auto& rule : rules) {
        bool reached = false;
        if (xmlNodePtr found = FindBefore(post, content, rule, reached))
            return found;
    }
    return nullptr;
}

xmlNodePtr NewMark(xmlDocPtr doc, const char* mark) {
    // The marks are comments: "<!--" and "-->" around the name.
    std::string name(mark);
    name = name.substr(4, name.size() - 7);
    return xmlNewDocComment(doc, X(name.c_str()));
}

// Puts the title's mark into the title element: into its link when it has one (the link keeps
// its look and loses its address), else in place of its text.
void MarkTitle(xmlDocPtr doc, xmlNodePtr title) {
    xmlNodePtr target = title;
    if (xmlNodePtr link = FindFirst(title, [](xmlNodePtr n) { return IsElement(n, "a"); })) {
        target = link;
        xmlUnsetProp(link, X("href"));
    }
    RemoveChildren(target);
    xmlAddChild(target, NewMark(doc, CWebsiteStyle::kTitleMark));
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The charset parameter of a Content-Type value, or of the page's <meta>, "" when none.
std::string DeclaredCharset(std::string_view contentType, std::string_view page) {
    const auto after = [](std::string_view text, size_t key) {
        size_t start = key + 8;
        while (start < text.size() && (text[start] == '"' || text[start] == '\'' ||
                                       text[start] == ' ' || text[start] == '='))
            ++start;
        size_t end = start;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                     text[end] == '-' || text[end] == '_'))
            ++end;
        return std::string(text.substr(start, end - start));
    };
    std::string lower = AsciiLower(contentType);
    if (size_t key = lower.find("charset"); key != std::string::npos)
        return after(lower, key);
    lower = AsciiLower(page.substr(0, 4096));
    if (size_t key = lower.find("charset"); key != std::string::npos)
        return after(lower, key);
    return {};
}

// The page's bytes as UTF-8.
std::string PageText(const std::string& body, std::string_view contentType) {
    // Read by the wider code page that a declared one stands for (gb2312 pages hold GBK).
    const std::string charset = CXmlRepair::WidenEncoding(DeclaredCharset(contentType, body));
    std::string text;
    if (!charset.empty() && charset != "utf-8" && charset != "utf8" &&
        CTextCodec::Convert(body, charset.c_str(), "UTF-8", text))
        return text;
    if (CTextCodec::IsValidUtf8(body))
        return body;
    if (CTextCodec::Convert(body, CEncodingDetector::Detect(body).c_str(), "UTF-8", text))
        return text;
    return CTextCodec::ToUtf8Lenient(body);
}

} // namespace

CWebsiteStyle::CWebsiteStyle(const CAppContext& context, WebsiteStyleSetup setup)
    : m_folder(setup.cacheFolder.empty() ? FolderOf(context) : std::move(setup.cacheFolder)),
      m_caFile(std::move(setup.caFile)) {
    // A weblog's home page is a web page: without a proxy of the settings' own it goes the way
    // the environment says, as feeds do.
    m_proxy = setup.proxy ? *setup.proxy : CProxySetup::Read(context, ProxyFallback::kEnvironment);
}

std::string CWebsiteStyle::FolderOf(const CAppContext& context) {
    return context.FilePath("Storage\\SiteStyle");
}

std::string CWebsiteStyle::HomeAddressOf(const CAppContext& context, const std::string& account) {
    // An account without the field (or gone) has no address; that is no failure to show.
    CSilentReporter silent;
    std::string address;
    if (account.empty() ||
        !context.WithReporter(silent).Accounts().GetAccountField(account, "blogurl", address))
        return {};
    address = std::string(Trim(address));
    const std::string lower = AsciiLower(address);
    if (!CHtmlLinks::IsWebAddress(address) || lower == "http://" || lower == "https://")
        return {};
    return address;
}

std::string CWebsiteStyle::FileFor(const std::string& account) const {
    return m_folder + "/" + HexFileName(account) + ".html";
}

std::string CWebsiteStyle::SourceOf(std::string_view templateHtml) {
    const std::string marker = std::string("<meta name=\"") + kSourceMeta + "\" content=\"";
    const size_t at = templateHtml.find(marker);
    if (at == std::string_view::npos)
        return {};
    const size_t start = at + marker.size();
    const size_t end = templateHtml.find('"', start);
    if (end == std::string_view::npos)
        return {};
    std::string source(templateHtml.substr(start, end - start));
    ReplaceAll(source, "&amp;", "&");
    return source;
}

bool CWebsiteStyle::LoadCached(const std::string& account, const std::string& homeUrl,
                               std::string& templateHtml) const {
    std::string text;
    if (homeUrl.empty() || !CFileUtil::ReadFile(FileFor(account), text) ||
        text.find(kArticleMark) == std::string::npos || SourceOf(text) != homeUrl)
        return false;
    templateHtml = std::move(text);
    return true;
}

SiteTemplate CWebsiteStyle::Fetch(const std::string& account, const std::string& homeUrl,
                                  const CCancelToken* cancel) {
    if (!CHtmlLinks::IsWebAddress(homeUrl))
        return {.reason = "博客地址不是 http 或 https 地址: " + homeUrl};
    CHttpClient client;
    client.SetProxy(m_proxy);
    client.SetCaFile(m_caFile);
    client.SetExitFlag(&g_bAppExiting);
    HttpLimits limits;
    limits.connectTimeoutMs = kTimeoutMs;
    limits.totalTimeoutMs = kTimeoutMs;
    limits.maxBodyBytes = kMaxPageBytes;
    limits.maxRedirects = 5;
    client.SetLimits(limits);
    HttpRequest request{.url = homeUrl, .cancel = cancel};
    request.headers = {{"Accept", "text/html, application/xhtml+xml;q=0.9, */*;q=0.5"}};
    const HttpResponse page = client.Perform(request);
    if (!page.Ok()) {
        if (page.result == HttpResult::kTooLarge)
            return {.reason = "首页太大 (超过 " + std::to_string(kMaxPageBytes >> 20) +
                              " MB), 没有读完: " + homeUrl};
        return {.reason = "无法读取博客首页: " + CXmlRpcTransport::FailureReason(page, homeUrl)};
    }
    const std::string pageUrl = page.finalUrl.empty() ? homeUrl : page.finalUrl;
    if (page.status < 200 || page.status > 299)
        return {.reason =
                    "无法读取博客首页: " + CReasonText::HttpStatus(page.status) + ": " + pageUrl};
    if (!page.LooksLikeHtml())
        return {.reason = "博客首页不是 HTML 网页 (内容类型 " +
                          (page.contentType.empty() ? std::string("未知") : page.contentType) +
                          "): " + pageUrl};
    SiteTemplate made = MakeTemplate(PageText(page.body, page.contentType), pageUrl, homeUrl);
    if (!made.ok)
        return made;
    if (!CFileUtil::CreateDirectories(m_folder) ||
        !CFileUtil::WriteFileAtomic(FileFor(account), made.html))
        return {.reason =
                    "无法保存网站样式: " + FileFor(account) + ": " + CFileUtil::LastErrorText()};
    return made;
}

SiteTemplate CWebsiteStyle::MakeTemplate(std::string_view pageUtf8, const std::string& pageUrl,
                                         const std::string& sourceUrl) {
    CXmlDocument::InitParser();
    DocPtr doc(htmlReadMemory(pageUtf8.data(), static_cast<int>(pageUtf8.size()), nullptr, "UTF-8",
                              HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                  HTML_PARSE_RECOVER | HTML_PARSE_IGNORE_ENC),
               &xmlFreeDoc);
    xmlNodePtr html = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    xmlNodePtr body = ChildElement(html, "body");
    if (!body)
        return {.reason = "博客首页不是可以读取的 HTML 网页: " + pageUrl};

    // The page's own <base> decides where its relative addresses lead.
    std::string base = pageUrl;
    if (xmlNodePtr baseNode = FindFirst(html, [](xmlNodePtr n) { return IsElement(n, "base"); })) {
        const std::string href =
            CXmlDocument::ResolveUri(std::string(Trim(Attribute(baseNode, "href"))), pageUrl);
        if (CHtmlLinks::IsWebAddress(href))
            base = href;
    }

    // What could run goes first, so that nothing is found inside it.
    BuildHead(doc.get(), html, base, sourceUrl);
    for (xmlNodePtr child = html->children; child;) {
        xmlNodePtr next = child->next;
        if (child != body && !IsElement(child, "head"))
            Remove(child);
        child = next;
    }
    CleanAttributes(html);
    CleanAttributes(body);
    CleanTree(body, base);

    bool wholeArticle = false;
    xmlNodePtr content = FindContent(body, wholeArticle);
    if (!content)
        return {.reason = std::string(kNoPostText) + ": " + pageUrl};
    if (wholeArticle) {
        // The article's title stays where it is, what follows it goes; without a title the
        // article gets one.
        xmlNodePtr title = FindTitle(content, nullptr);
        xmlNodePtr keep = title;
        while (keep && keep->parent != content)
            keep = keep->parent;
        if (keep) {
            while (keep->next)
                Remove(keep->next);
            MarkTitle(doc.get(), title);
        } else {
            RemoveChildren(content);
            xmlNodePtr heading = xmlNewChild(content, nullptr, X("h2"), nullptr);
            xmlAddChild(heading, NewMark(doc.get(), kTitleMark));
        }
        xmlNodePtr holder = xmlNewChild(content, nullptr, X("div"), nullptr);
        xmlAddChild(holder, NewMark(doc.get(), kArticleMark));
    } else {
        if (xmlNodePtr title = FindTitle(PostOf(content), content))
            MarkTitle(doc.get(), title);
        RemoveChildren(content);
        xmlAddChild(content, NewMark(doc.get(), kArticleMark));
    }

    std::unique_ptr<xmlOutputBuffer, decltype(&xmlOutputBufferClose)> out(
        xmlAllocOutputBuffer(nullptr), &xmlOutputBufferClose);
    if (!out)
        return {.reason = "内存不足, 无法生成网站样式"};
    htmlNodeDumpFormatOutput(out.get(), doc.get(), html, "UTF-8", 0);
    xmlOutputBufferFlush(out.get());
    SiteTemplate made{.ok = true, .pageUrl = pageUrl};
    made.html = "<!DOCTYPE html>\n";
    made.html.append(reinterpret_cast<const char*>(xmlOutputBufferGetContent(out.get())),
                     xmlOutputBufferGetSize(out.get()));
    return made;
}

std::string CWebsiteStyle::Fill(std::string_view templateHtml, std::string_view title,
                                std::string_view contentHtml) {
    std::string page(templateHtml);
    // The title goes in first: escaped, it cannot hold a mark, and the content (which may) is
    // not searched afterwards.
    if (const size_t at = page.find(kTitleMark); at != std::string::npos)
        page.replace(at, std::char_traits<char>::length(kTitleMark), CXmlText::Escape(title));
    if (const size_t at = page.find(kArticleMark); at != std::string::npos)
        page.replace(at, std::char_traits<char>::length(kArticleMark), contentHtml);
    return page;
}
