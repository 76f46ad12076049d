#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _xmlNode;
struct _xmlDoc;

// A handle on one node of a CXmlDocument. Handles are cheap to copy; they stay valid while the
// node is in its document (a removed node's handles must not be used again).
class CXmlNode {
public:
    CXmlNode() = default;
    explicit CXmlNode(_xmlNode* node) : m_node(node) {}

    bool IsNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const CXmlNode& other) const { return m_node == other.m_node; }

    // The element's name without its namespace prefix, and the namespace address ("" for none).
    std::string GetName() const;
    std::string GetNamespace() const;
    // The same tests without copying: the local name, and the namespace address ("" for none).
    bool HasName(std::string_view localName) const;
    bool InNamespace(std::string_view uri) const;

    // The text of the node and everything below it, as a DOM's text property gives it.
    std::string GetText() const;
    // Replaces the children by one text node holding exactly this text (escaped on save).
    void SetText(std::string_view text);

    bool HasAttribute(std::string_view name) const;
    std::string GetAttribute(std::string_view name) const;
    void SetAttribute(std::string_view name, std::string_view value);
    void RemoveAttribute(std::string_view name);

    // Path selection relative to this node, with 0-based positions (see CXmlDocument).
    CXmlNode SelectNode(std::string_view path) const;
    std::vector<CXmlNode> SelectNodes(std::string_view path) const;

    // Walking the element children, in document order.
    CXmlNode FirstChild() const;
    CXmlNode NextSibling() const;
    CXmlNode PreviousSibling() const;
    CXmlNode Parent() const;
    std::vector<CXmlNode> Children() const;
    // The first element child with this (local) name.
    CXmlNode Child(std::string_view name) const;

    // New element children; text, when given, becomes the element's text.
    CXmlNode AppendChild(std::string_view name, std::string_view text = {});
    CXmlNode InsertChildBefore(std::string_view name, const CXmlNode& before);
    // Moves an existing node (of this document) to the end of this node's children, or before
    // a sibling; a node from another document is copied in instead. Returns the placed node.
    CXmlNode AppendNode(const CXmlNode& node);
    CXmlNode InsertNodeBefore(const CXmlNode& node, const CXmlNode& before);

    // Unlinks and frees the node with everything below it.
    void Remove();

    // The node and everything below it as XML text (UTF-8, no declaration).
    std::string GetXml() const;
    // What lies between the node's tags as XML text: its children, text and markup.
    std::string GetInnerXml() const;

    // The base address in effect at the node: its xml:base attributes resolved upwards, else the
    // document's address (CXmlDocument::SetUrl); "" when there is none.
    std::string GetBaseUri() const;

    _xmlNode* Handle() const { return m_node; }

private:
    _xmlNode* m_node = nullptr;
};

// An XML document over libxml2.
//
// Parsing is hardened for documents from the network and from disk: no DTD is loaded, external
// entities and network access are refused, and entity expansion is bounded by libxml2's
// amplification limits. A document declaring "gb2312" (or gbk) is decoded as GB18030, the
// superset that real files under that declaration need.
//
// Paths are written with 0-based positions ("/rss/channel/item[0]" is the first item): every
// purely numeric predicate is raised by one before the path is evaluated as XPath 1.0; other
// predicates ([name="x"], [@id=3], [last()]) stay as they are.
class CXmlDocument {
public:
    enum LoadFlags : unsigned {
        kKeepBlanks = 1u << 0, // keep whitespace-only text between elements
        kRecover = 1u << 1,    // read what can be read from a document that is not well formed
        // Mend the text first (encoding widened, HTML entity names, stray control characters;
        // see CXmlRepair), then read it with kRecover. For documents from the network that a
        // strict load refused.
        kLenient = 1u << 2,
    };

    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;
    CXmlDocument(CXmlDocument&& other) noexcept;
    CXmlDocument& operator=(CXmlDocument&& other) noexcept;

    bool LoadFile(const std::string& path, unsigned flags = 0);
    bool LoadText(std::string_view text, unsigned flags = 0);
    // Starts an empty document with one root element.
    void CreateNew(std::string_view rootName);

    bool IsLoaded() const { return m_doc != nullptr; }
    CXmlNode Root() const;
    CXmlNode SelectNode(std::string_view path) const;
    std::vector<CXmlNode> SelectNodes(std::string_view path) const;

    // The address the document came from, against which relative addresses in it resolve.
    void SetUrl(std::string_view url);

    // Prefixes usable in paths; the prefixes declared on the root element are known already.
    void RegisterNamespace(std::string_view prefix, std::string_view uri);

    // The document as text in the given encoding, with a declaration naming it. "gb2312" and
    // "gbk" write GBK bytes; a character GBK cannot hold becomes a character reference.
    std::string SaveText(std::string_view encoding = "UTF-8", bool indent = true) const;
    // Writes the file atomically (see CFileUtil::WriteFileAtomic). The text is parsed back
    // first: a document that would not load again is not written, and the file stays as it was.
    bool SaveFile(const std::string& path, std::string_view encoding = "UTF-8",
                  bool ownerOnly = false) const;

    // Why the last load or save failed.
    const std::string& GetLastError() const { return m_lastError; }

    // The encoding named by the text's XML declaration, "" when it names none.
    static std::string DeclaredEncoding(std::string_view text);
    // The encoding the parser must be told for a declared one: GB18030 for the GBK family,
    // "" when the parser's own handling of the declaration is right.
    static std::string ParserEncoding(std::string_view declared);
    // Sets libxml2 up once for the process (the loader that refuses everything external); every
    // user of libxml2 outside this class calls it first.
    static void InitParser();
    // "/a/b[0]/c[2]" -> "/a/b[1]/c[3]".
    static std::string TranslatePath(std::string_view zeroBasedPath);
    // A relative reference resolved against a base address (RFC 3986); the reference as it is
    // when it cannot be resolved.
    static std::string ResolveUri(std::string_view reference, std::string_view base);

    _xmlDoc* Handle() const { return m_doc; }
    // Hands the libxml2 document to its new owner (a style sheet); this object is then empty.
    _xmlDoc* Release();

private:
    friend class CXmlNode;
    static std::vector<CXmlNode> Evaluate(_xmlDoc* doc, _xmlNode* context, std::string_view path,
                                          bool firstOnly);
    void Free();

    _xmlDoc* m_doc = nullptr;
    std::vector<std::pair<std::string, std::string>> m_namespaces;
    mutable std::string m_lastError;
};
