#include "platform/xml/XmlDocument.h"

#include "platform/text/ReasonText.h"

#include "platform/fs/FileUtil.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlRepair.h"
#include "platform/xml/XmlText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <mutex>

namespace {

const xmlChar* X(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

std::string FromXml(const xmlChar* s) {
    return s ? reinterpret_cast<const char*>(s) : "";
}

std::string TakeXml(xmlChar* s) {
    std::string out = FromXml(s);
    xmlFree(s);
    return out;
}

// No document may pull in anything from outside itself: external entities, external DTD
// subsets and XInclude all come through this loader, which refuses them.
xmlParserInputPtr RefuseExternalEntity(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
    return nullptr;
}

void InitLibxml() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    });
}

// Collects libxml2's messages for one call on this thread instead of letting them go to stderr.
class CErrorCapture {
public:
    CErrorCapture() { xmlSetStructuredErrorFunc(this, &CErrorCapture::Handler); }
    ~CErrorCapture() { xmlSetStructuredErrorFunc(nullptr, &CErrorCapture::Silent); }
    CErrorCapture(const CErrorCapture&) = delete;
    CErrorCapture& operator=(const CErrorCapture&) = delete;
    const std::string& Text() const { return m_text; }

private:
    static void Handler(void* self, xmlErrorPtr error) {
        auto* capture = static_cast<CErrorCapture*>(self);
        if (!error || !error->message || !capture->m_text.empty())
            return;
        std::string message = error->message;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        if (error->line > 0)
            message = "line " + std::to_string(error->line) + ": " + message;
        capture->m_text = message;
    }
    static void Silent(void*, xmlErrorPtr) {}

    std::string m_text;
};

bool IsGbkFamily(std::string_view encoding) {
    std::string e = AsciiLower(encoding);
    return e == "gb2312" || e == "gbk" || e == "gb_2312-80" || e == "x-gbk" || e == "cp936" ||
           e == "gb18030" || e == "x-euc-cn" || e == "euc-cn";
}

bool IsUtf8(std::string_view encoding) {
    std::string e = AsciiLower(encoding);
    return e.empty() || e == "utf-8" || e == "utf8";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CXmlNode

std::string CXmlNode::GetName() const {
    return m_node ? FromXml(m_node->name) : std::string();
}

std::string CXmlNode::GetNamespace() const {
    if (!m_node || !m_node->ns)
        return {};
    return FromXml(m_node->ns->href);
}

bool CXmlNode::HasName(std::string_view localName) const {
    return m_node && m_node->name && localName == reinterpret_cast<const char*>(m_node->name);
}

bool CXmlNode::InNamespace(std::string_view uri) const {
    if (!m_node)
        return false;
    if (!m_node->ns || !m_node->ns->href)
        return uri.empty();
    return uri == reinterpret_cast<const char*>(m_node->ns->href);
}

std::string CXmlNode::GetText() const {
    if (!m_node)
        return {};
    return TakeXml(xmlNodeGetContent(m_node));
}

void CXmlNode::SetText(std::string_view text) {
    if (!m_node)
        return;
    std::string value(text);
    if (m_node->type == XML_ATTRIBUTE_NODE) {
        xmlAttrPtr attr = reinterpret_cast<xmlAttrPtr>(m_node);
        xmlSetProp(attr->parent, attr->name, X(value));
        return;
    }
    // Remove the children first: xmlNodeSetContent would read entity references in the text.
    xmlNodePtr child = m_node->children;
    while (child) {
        xmlNodePtr next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
    if (!value.empty())
        xmlAddChild(m_node,
                    xmlNewDocTextLen(m_node->doc, X(value), static_cast<int>(value.size())));
}

bool CXmlNode::HasAttribute(std::string_view name) const {
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return false;
    return xmlHasProp(m_node, X(std::string(name))) != nullptr;
}

std::string CXmlNode::GetAttribute(std::string_view name) const {
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return {};
    return TakeXml(xmlGetProp(m_node, X(std::string(name))));
}

void CXmlNode::SetAttribute(std::string_view name, std::string_view value) {
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return;
    xmlSetProp(m_node, X(std::string(name)), X(std::string(value)));
}

void CXmlNode::RemoveAttribute(std::string_view name) {
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return;
    if (xmlAttrPtr attr = xmlHasProp(m_node, X(std::string(name))))
        xmlRemoveProp(attr);
}

CXmlNode CXmlNode::SelectNode(std::string_view path) const {
    if (!m_node)
        return {};
    auto nodes = CXmlDocument::Evaluate(m_node->doc, m_node, path, true);
    return nodes.empty() ? CXmlNode() : nodes.front();
}

std::vector<CXmlNode> CXmlNode::SelectNodes(std::string_view path) const {
    if (!m_node)
        return {};
    return CXmlDocument::Evaluate(m_node->doc, m_node, path, false);
}

namespace {
xmlNodePtr NextElement(xmlNodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE)
        node = node->next;
    return node;
}
xmlNodePtr PreviousElement(xmlNodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE)
        node = node->prev;
    return node;
}
} // namespace

CXmlNode CXmlNode::FirstChild() const {
    return m_node ? CXmlNode(NextElement(m_node->children)) : CXmlNode();
}

CXmlNode CXmlNode::NextSibling() const {
    return m_node ? CXmlNode(NextElement(m_node->next)) : CXmlNode();
}

CXmlNode CXmlNode::PreviousSibling() const {
    return m_node ? CXmlNode(PreviousElement(m_node->prev)) : CXmlNode();
}

CXmlNode CXmlNode::Parent() const {
    if (!m_node || !m_node->parent || m_node->parent->type != XML_ELEMENT_NODE)
        return {};
    return CXmlNode(m_node->parent);
}

std::vector<CXmlNode> CXmlNode::Children() const {
    std::vector<CXmlNode> out;
    for (CXmlNode child = FirstChild(); child; child = child.NextSibling())
        out.push_back(child);
    return out;
}

CXmlNode CXmlNode::Child(std::string_view name) const {
    for (CXmlNode child = FirstChild(); child; child = child.NextSibling()) {
        if (child.m_node->name && name == reinterpret_cast<const char*>(child.m_node->name))
            return child;
    }
    return {};
}

CXmlNode CXmlNode::AppendChild(std::string_view name, std::string_view text) {
    if (!m_node)
        return {};
    xmlNodePtr node = xmlNewDocNode(m_node->doc, nullptr, X(std::string(name)), nullptr);
    xmlAddChild(m_node, node);
    CXmlNode result(node);
    if (!text.empty())
        result.SetText(text);
    return result;
}

CXmlNode CXmlNode::InsertChildBefore(std::string_view name, const CXmlNode& before) {
    if (!m_node)
        return {};
    if (!before)
        return AppendChild(name);
    xmlNodePtr node = xmlNewDocNode(m_node->doc, nullptr, X(std::string(name)), nullptr);
    xmlAddPrevSibling(before.m_node, node);
    return CXmlNode(node);
}

namespace {
xmlNodePtr Adopt(xmlNodePtr target, xmlNodePtr node) {
    if (node->doc == target->doc) {
        xmlUnlinkNode(node);
        return node;
    }
    return xmlDocCopyNode(node, target->doc, 1);
}
} // namespace

CXmlNode CXmlNode::AppendNode(const CXmlNode& node) {
    if (!m_node || !node)
        return {};
    xmlNodePtr placed = Adopt(m_node, node.m_node);
    if (!placed)
        return {};
    return CXmlNode(xmlAddChild(m_node, placed));
}

CXmlNode CXmlNode::InsertNodeBefore(const CXmlNode& node, const CXmlNode& before) {
    if (!m_node || !node)
        return {};
    if (!before)
        return AppendNode(node);
    if (node == before)
        return node;
    xmlNodePtr placed = Adopt(m_node, node.m_node);
    if (!placed)
        return {};
    return CXmlNode(xmlAddPrevSibling(before.m_node, placed));
}

void CXmlNode::Remove() {
    if (!m_node)
        return;
    if (m_node->type == XML_ATTRIBUTE_NODE) {
        xmlRemoveProp(reinterpret_cast<xmlAttrPtr>(m_node));
    } else {
        xmlUnlinkNode(m_node);
        xmlFreeNode(m_node);
    }
    m_node = nullptr;
}

std::string CXmlNode::GetXml() const {
    if (!m_node)
        return {};
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlNodeDump(buffer, m_node->doc, m_node, 0, 0);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return out;
}

std::string CXmlNode::GetInnerXml() const {
    if (!m_node)
        return {};
    xmlBufferPtr buffer = xmlBufferCreate();
    for (xmlNodePtr child = m_node->children; child; child = child->next)
        xmlNodeDump(buffer, m_node->doc, child, 0, 0);
    std::string out(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                    static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return out;
}

std::string CXmlNode::GetBaseUri() const {
    if (!m_node)
        return {};
    return TakeXml(xmlNodeGetBase(m_node->doc, m_node));
}

// ---------------------------------------------------------------------------------------------
// CXmlDocument

CXmlDocument::CXmlDocument() {
    InitLibxml();
}

CXmlDocument::~CXmlDocument() {
    Free();
}

CXmlDocument::CXmlDocument(CXmlDocument&& other) noexcept
    : m_doc(other.m_doc), m_namespaces(std::move(other.m_namespaces)),
      m_lastError(std::move(other.m_lastError)) {
    other.m_doc = nullptr;
}

CXmlDocument& CXmlDocument::operator=(CXmlDocument&& other) noexcept {
    if (this != &other) {
        Free();
        m_doc = other.m_doc;
        other.m_doc = nullptr;
        m_namespaces = std::move(other.m_namespaces);
        m_lastError = std::move(other.m_lastError);
    }
    return *this;
}

_xmlDoc* CXmlDocument::Release() {
    _xmlDoc* doc = m_doc;
    m_doc = nullptr;
    return doc;
}

void CXmlDocument::Free() {
    if (m_doc) {
        xmlFreeDoc(m_doc);
        m_doc = nullptr;
    }
}

bool CXmlDocument::LoadFile(const std::string& path, unsigned flags) {
    std::string bytes;
    if (!CFileUtil::ReadFile(path, bytes)) {
        Free();
        m_lastError = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return LoadText(bytes, flags);
}

bool CXmlDocument::LoadText(std::string_view text, unsigned flags) {
    if (flags & kLenient) {
        std::string mended = CXmlRepair::Repair(text);
        return LoadText(mended, (flags & ~kLenient) | kRecover);
    }
    Free();
    m_lastError.clear();
    m_namespaces.clear();
    // NOENT substitutes the document's own internal entities; anything external is refused by
    // the loader above, and libxml2's amplification checks stop "billion laughs" documents.
    int options = XML_PARSE_NONET | XML_PARSE_NOENT;
    if (!(flags & kKeepBlanks))
        options |= XML_PARSE_NOBLANKS;
    if (flags & kRecover)
        options |= XML_PARSE_RECOVER;

    std::string declared = DeclaredEncoding(text);
    const char* encoding = nullptr;
    if (IsGbkFamily(declared))
        encoding = "GB18030";

    CErrorCapture capture;
    xmlDocPtr doc =
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, encoding, options);
    if (!doc || !xmlDocGetRootElement(doc)) {
        if (doc)
            xmlFreeDoc(doc);
        m_lastError =
            capture.Text().empty() ? CReasonText::Text(Reason::kXmlNoRootElement) : capture.Text();
        return false;
    }
    m_doc = doc;
    return true;
}

void CXmlDocument::CreateNew(std::string_view rootName) {
    Free();
    m_namespaces.clear();
    m_lastError.clear();
    m_doc = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr root = xmlNewDocNode(m_doc, nullptr, X(std::string(rootName)), nullptr);
    xmlDocSetRootElement(m_doc, root);
}

CXmlNode CXmlDocument::Root() const {
    return m_doc ? CXmlNode(xmlDocGetRootElement(m_doc)) : CXmlNode();
}

CXmlNode CXmlDocument::SelectNode(std::string_view path) const {
    if (!m_doc)
        return {};
    auto nodes = Evaluate(m_doc, reinterpret_cast<xmlNodePtr>(m_doc), path, true);
    return nodes.empty() ? CXmlNode() : nodes.front();
}

std::vector<CXmlNode> CXmlDocument::SelectNodes(std::string_view path) const {
    if (!m_doc)
        return {};
    return Evaluate(m_doc, reinterpret_cast<xmlNodePtr>(m_doc), path, false);
}

void CXmlDocument::SetUrl(std::string_view url) {
    if (!m_doc)
        return;
    if (m_doc->URL)
        xmlFree(const_cast<xmlChar*>(m_doc->URL));
    m_doc->URL = url.empty() ? nullptr : xmlStrdup(X(std::string(url)));
}

std::string CXmlDocument::ResolveUri(std::string_view reference, std::string_view base) {
    if (base.empty())
        return std::string(reference);
    xmlChar* built = xmlBuildURI(X(std::string(reference)), X(std::string(base)));
    if (!built)
        return std::string(reference);
    return TakeXml(built);
}

void CXmlDocument::RegisterNamespace(std::string_view prefix, std::string_view uri) {
    m_namespaces.emplace_back(prefix, uri);
    // Kept on the document so that node-relative selections see them too.
    if (m_doc) {
        xmlNodePtr root = xmlDocGetRootElement(m_doc);
        if (root && !xmlSearchNs(m_doc, root, X(std::string(prefix))))
            xmlNewNs(root, X(std::string(uri)), X(std::string(prefix)));
    }
}

std::vector<CXmlNode> CXmlDocument::Evaluate(xmlDocPtr doc, xmlNodePtr context,
                                             std::string_view path, bool firstOnly) {
    std::vector<CXmlNode> out;
    if (!doc || path.empty())
        return out;
    CErrorCapture capture;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        return out;
    ctx->node = context;
    // Every prefix declared on the root element can be used in paths.
    if (xmlNodePtr root = xmlDocGetRootElement(doc)) {
        for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next) {
            if (ns->prefix)
                xmlXPathRegisterNs(ctx, ns->prefix, ns->href);
        }
    }
    std::string xpath = TranslatePath(path);
    xmlXPathObjectPtr result = xmlXPathEvalExpression(X(xpath), ctx);
    if (result && result->type == XPATH_NODESET && result->nodesetval) {
        xmlNodeSetPtr set = result->nodesetval;
        int count = firstOnly ? std::min(set->nodeNr, 1) : set->nodeNr;
        out.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            out.emplace_back(set->nodeTab[i]);
    }
    if (result)
        xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return out;
}

std::string CXmlDocument::TranslatePath(std::string_view path) {
    std::string out;
    out.reserve(path.size() + 4);
    // Positions in `out` where each open predicate's text begins.
    std::vector<size_t> open;
    char quote = 0;
    for (char c : path) {
        if (quote) {
            out.push_back(c);
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            out.push_back(c);
        } else if (c == '[') {
            out.push_back(c);
            open.push_back(out.size());
        } else if (c == ']' && !open.empty()) {
            size_t start = open.back();
            open.pop_back();
            std::string inner = out.substr(start);
            size_t first = inner.find_first_not_of(" \t");
            size_t last = inner.find_last_not_of(" \t");
            bool numeric = first != std::string::npos;
            if (numeric) {
                for (size_t i = first; i <= last; ++i) {
                    if (!std::isdigit(static_cast<unsigned char>(inner[i]))) {
                        numeric = false;
                        break;
                    }
                }
            }
            if (numeric) {
                unsigned long long index = std::stoull(inner.substr(first, last - first + 1));
                out.resize(start);
                out += std::to_string(index + 1);
            }
            out.push_back(c);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string CXmlDocument::ParserEncoding(std::string_view declared) {
    return IsGbkFamily(declared) ? "GB18030" : "";
}

void CXmlDocument::InitParser() {
    InitLibxml();
}

std::string CXmlDocument::DeclaredEncoding(std::string_view text) {
    // Skip a byte-order mark and leading blanks (some real files have them before "<?xml").
    size_t pos = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (text.substr(pos, 5) != "<?xml")
        return {};
    size_t end = text.find("?>", pos);
    if (end == std::string_view::npos)
        return {};
    std::string_view decl = text.substr(pos, end - pos);
    size_t key = decl.find("encoding");
    if (key == std::string_view::npos)
        return {};
    size_t q = decl.find_first_of("\"'", key);
    if (q == std::string_view::npos)
        return {};
    size_t qe = decl.find(decl[q], q + 1);
    if (qe == std::string_view::npos)
        return {};
    return std::string(decl.substr(q + 1, qe - q - 1));
}

std::string CXmlDocument::SaveText(std::string_view encoding, bool indent) const {
    if (!m_doc)
        return {};
    xmlChar* memory = nullptr;
    int size = 0;
    std::string enc(encoding);
    bool gbk = IsGbkFamily(enc);
    const char* dumpEncoding = (gbk || IsUtf8(enc)) ? "UTF-8" : enc.c_str();
    xmlDocDumpFormatMemoryEnc(m_doc, &memory, &size, dumpEncoding, indent ? 1 : 0);
    std::string text(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
    xmlFree(memory);
    if (!gbk)
        return text;

    // Put the declaration the caller asked for in front of GBK bytes.
    size_t declEnd = text.find("?>");
    std::string body = declEnd == std::string::npos ? text : text.substr(declEnd + 2);
    return "<?xml version=\"1.0\" encoding=\"" + enc + "\"?>" + CXmlText::Utf8DocumentToGbk(body);
}

bool CXmlDocument::SaveFile(const std::string& path, std::string_view encoding,
                            bool ownerOnly) const {
    if (!m_doc) {
        m_lastError = CReasonText::Text(Reason::kXmlNoDocument);
        return false;
    }
    // A document that could not be read back would lock the user out of the file for good
    // (a control character or a broken byte in a value): the old file stays instead.
    const std::string text = SaveText(encoding);
    CXmlDocument check;
    if (!check.LoadText(text, kKeepBlanks)) {
        m_lastError = path + ": the document would not load back (" + check.GetLastError() +
                      "); the file was left unchanged";
        return false;
    }
    if (!CFileUtil::WriteFileAtomic(path, text, ownerOnly)) {
        m_lastError = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}
