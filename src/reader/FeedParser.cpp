#include "reader/FeedParser.h"

#include "platform/text/ReasonText.h"

#include "platform/text/AsciiText.h"
#include "platform/text/EncodingDetector.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/HtmlAddresses.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlRepair.h"
#include "platform/xml/XmlStreamReader.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedDate.h"
#include "reader/JsonFeed.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace {

constexpr std::string_view kDcNs = "http://purl.org/dc/elements/1.1/";
constexpr std::string_view kContentNs = "http://purl.org/rss/1.0/modules/content/";
constexpr std::string_view kXhtmlNs = "http://www.w3.org/1999/xhtml";
constexpr std::string_view kMediaNs = "http://search.yahoo.com/mrss/";

std::string TextOf(const CXmlNode& node) {
    return node ? std::string(Trim(node.GetText())) : std::string();
}

// A relative address made absolute against the base in effect at the node it was read from
// (xml:base, else the document's address).
std::string Resolved(std::string url, const CXmlNode& node) {
    if (url.empty() || CHtmlAddresses::HasScheme(url) || !node)
        return url;
    const std::string base = node.GetBaseUri();
    return base.empty() ? url : CXmlDocument::ResolveUri(url, base);
}

// A length in bytes as feeds write it; 0 for anything but digits.
int64_t LengthOf(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.size() > 18)
        return 0;
    int64_t length = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return 0;
        length = length * 10 + (c - '0');
    }
    return length;
}

// Adds the file to the item unless its address is empty or listed already.
void AddEnclosure(std::vector<FeedEnclosure>& enclosures, const CXmlNode& node,
                  const char* urlAttribute, const char* lengthAttribute) {
    std::string url = Resolved(std::string(Trim(node.GetAttribute(urlAttribute))), node);
    if (url.empty())
        return;
    for (const FeedEnclosure& known : enclosures)
        if (known.url == url)
            return;
    enclosures.push_back({.url = std::move(url),
                          .type = std::string(Trim(node.GetAttribute("type"))),
                          .length = LengthOf(node.GetAttribute(lengthAttribute))});
}

// Media RSS files of an item: <media:content>, alone or in <media:group>.
void AddMediaContent(std::vector<FeedEnclosure>& enclosures, const CXmlNode& node) {
    if (node.HasName("content")) {
        AddEnclosure(enclosures, node, "url", "fileSize");
    } else if (node.HasName("group")) {
        for (CXmlNode child = node.FirstChild(); child; child = child.NextSibling())
            if (child.HasName("content") && child.InNamespace(kMediaNs))
                AddEnclosure(enclosures, child, "url", "fileSize");
    }
}

// A channel title as it is kept: C1 controls given their windows-1252 meaning.
std::string ChannelTitle(const CXmlNode& node) {
    std::string title = TextOf(node);
    CTextCodec::MapC1ToWindows1252(title);
    return title;
}

// The item's texts as they are kept: C1 controls given their windows-1252 meaning, and the
// relative addresses inside the description resolved against its base.
void FinishTexts(FeedItem& item, const CXmlNode& descriptionNode) {
    CTextCodec::MapC1ToWindows1252(item.title);
    CTextCodec::MapC1ToWindows1252(item.description);
    CTextCodec::MapC1ToWindows1252(item.author);
    if (descriptionNode && CHtmlAddresses::HasRelative(item.description))
        item.description = CHtmlAddresses::Resolve(item.description, descriptionNode.GetBaseUri());
}

// An element of the document's own vocabulary: this local name in this namespace.
bool IsOwn(const CXmlNode& node, std::string_view name, std::string_view ns) {
    return node.HasName(name) && node.InNamespace(ns);
}

// A Dublin Core element; "dc:name" written with an undeclared prefix counts too.
bool IsDc(const CXmlNode& node, std::string_view name) {
    if (node.HasName(name) && node.InNamespace(kDcNs))
        return true;
    return node.InNamespace("") && node.HasName(std::string("dc:").append(name));
}

void SetIfAbsent(CXmlNode& slot, const CXmlNode& node) {
    if (!slot)
        slot = node;
}

// The parts of an item that the fields are read from, found in one walk over its children.
struct ItemNodes {
    CXmlNode title, link, author, description, pubDate;
    CXmlNode dcDate, dcCreator, contentEncoded;
    // Atom
    CXmlNode summary, content, published, updated, issued, modified, created;
    CXmlNode atomAuthor;
    std::vector<FeedEnclosure> enclosures;
    std::string atomLink;
    bool hasAtomLink = false;
};

void CollectRss(const CXmlNode& item, std::string_view ns, ItemNodes& n) {
    for (CXmlNode child = item.FirstChild(); child; child = child.NextSibling()) {
        if (child.InNamespace(ns)) {
            if (child.HasName("title"))
                SetIfAbsent(n.title, child);
            else if (child.HasName("link"))
                SetIfAbsent(n.link, child);
            else if (child.HasName("description"))
                SetIfAbsent(n.description, child);
            else if (child.HasName("pubDate"))
                SetIfAbsent(n.pubDate, child);
            else if (child.HasName("author"))
                SetIfAbsent(n.author, child);
            else if (child.HasName("enclosure"))
                AddEnclosure(n.enclosures, child, "url", "length");
            else if (ns.empty() && IsDc(child, "date"))
                SetIfAbsent(n.dcDate, child);
            else if (ns.empty() && (IsDc(child, "creator") || IsDc(child, "author")))
                SetIfAbsent(n.dcCreator, child);
        } else if (IsDc(child, "date")) {
            SetIfAbsent(n.dcDate, child);
        } else if (IsDc(child, "creator") || IsDc(child, "author")) {
            SetIfAbsent(n.dcCreator, child);
        } else if (child.HasName("encoded") && child.InNamespace(kContentNs)) {
            SetIfAbsent(n.contentEncoded, child);
        } else if (child.InNamespace(kMediaNs)) {
            AddMediaContent(n.enclosures, child);
        }
    }
}

// Summary or content of an Atom entry as HTML.
std::string AtomHtml(const CXmlNode& node, bool atom03) {
    std::string type = AsciiLower(node.GetAttribute("type"));
    std::string mode = AsciiLower(node.GetAttribute("mode"));
    bool markup;
    bool plain;
    if (atom03) {
        markup = mode != "escaped" && mode != "base64" && node.FirstChild();
        plain = !markup && mode != "escaped" && (type.empty() || type == "text/plain");
    } else {
        markup = type == "xhtml" ||
                 (type.size() > 4 && (type.ends_with("+xml") || type.ends_with("/xml")));
        plain = type.empty() || type == "text" || type == "text/plain";
    }
    if (markup) {
        // xhtml content sits in one div that is not part of it.
        CXmlNode first = node.FirstChild();
        if (first && first.HasName("div") && first.InNamespace(kXhtmlNs) && !first.NextSibling())
            return std::string(Trim(first.GetInnerXml()));
        return std::string(Trim(node.GetInnerXml()));
    }
    std::string text = std::string(Trim(node.GetText()));
    return plain ? CXmlText::Escape(text) : text;
}

std::string AtomAuthorName(const CXmlNode& author, std::string_view ns) {
    for (CXmlNode child = author.FirstChild(); child; child = child.NextSibling()) {
        if (IsOwn(child, "name", ns))
            return TextOf(child);
    }
    return {};
}

void SetDate(FeedItem& item, const CXmlNode& date) {
    item.pubDate = TextOf(date);
    CFeedDate::Normalize(item.pubDate);
    item.extra.clear();
}

bool IsUtf8Name(std::string_view name) {
    const std::string lower = AsciiLower(name);
    return lower == "utf-8" || lower == "utf8";
}

bool IsLatin1Name(std::string_view name) {
    const std::string wide = CXmlRepair::WidenEncoding(name);
    return wide == "WINDOWS-1252" || AsciiLower(wide) == "windows-1252";
}

// True when the text is mostly UTF-8: it holds at least twice as many characters of more than
// one byte written correctly as bytes that start no character. Such text is UTF-8 with a few
// faults; text in another encoding has as many bad bytes as good sequences, or more.
bool MostlyUtf8(std::string_view text) {
    size_t good = 0;
    size_t bad = 0;
    for (size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const size_t start = pos;
        const char32_t cp = CTextCodec::NextCodePoint(text, pos);
        if (pos - start > 1 && cp != 0xFFFD)
            ++good;
        else
            ++bad;
    }
    return good >= 2 * bad;
}

// The encoding to decode a named one with, every byte or nothing: its superset (GB18030 for
// GB2312 and GBK, CP950 for Big5, ...), except that Latin-1 stays Latin-1, which decodes every
// byte; its C1 controls are given their windows-1252 meaning in the item texts.
std::string ExactEncoding(const std::string& name) {
    std::string wide = CXmlRepair::WidenEncoding(name);
    return wide == "WINDOWS-1252" ? name : wide;
}

// UTF-8 text whose XML declaration, when it names an encoding, names UTF-8: the text in storage
// (which may be the same string as text).
std::string_view DeclaredUtf8(std::string_view text, std::string& storage) {
    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    const size_t declEnd =
        text.substr(0, 5 + pos).substr(pos) == "<?xml" ? text.find("?>", pos) : std::string::npos;
    size_t key = declEnd == std::string_view::npos ? declEnd : text.find("encoding", pos);
    size_t open = key < declEnd ? text.find_first_of("\"'", key) : std::string_view::npos;
    size_t close = open < declEnd ? text.find(text[open], open + 1) : std::string_view::npos;
    if (close == std::string_view::npos || close > declEnd) {
        if (storage.data() != text.data())
            storage.assign(text);
        return storage;
    }
    std::string out;
    out.reserve(text.size());
    out.append(text.substr(0, open + 1)).append("UTF-8").append(text.substr(close));
    storage = std::move(out);
    return storage;
}

} // namespace

CFeedParser::Format CFeedParser::FormatOf(const CXmlDocument& doc) {
    CXmlNode root = doc.Root();
    if (!root)
        return Format::kNone;
    if (root.HasName("rss"))
        return Format::kRss;
    if (root.HasName("RDF") || root.HasName("rdf:RDF"))
        return Format::kRdf;
    if (root.HasName("feed"))
        return Format::kAtom;
    return Format::kNone;
}

std::string_view CFeedParser::Prepared(std::string_view text, std::string& storage,
                                       Utf8Check check) {
    // Who names the encoding, in order of authority: the answer's charset, a byte-order mark,
    // the XML declaration. The first that decodes every byte is taken.
    m_decodedFrom.clear();
    size_t bomLength = 0;
    const std::string bom = CXmlRepair::SniffEncoding(text, bomLength);
    const std::string declared = CXmlDocument::DeclaredEncoding(text);
    // Servers name Latin-1 (or ASCII) by default, whatever the files hold, and Latin-1 decodes
    // every byte, so it is never found wrong: such a charset yields to what the document says.
    const bool defaultCharset =
        IsLatin1Name(m_transportCharset) && (!bom.empty() || !declared.empty());
    std::vector<std::string> named;
    for (const std::string* name : {defaultCharset ? &bom : &m_transportCharset, &bom, &declared}) {
        if (!name->empty() &&
            std::find_if(named.begin(), named.end(), [&](const std::string& known) {
                return AsciiLower(known) == AsciiLower(*name);
            }) == named.end())
            named.push_back(*name);
    }
    std::string_view body = text.substr(bomLength);

    // The common case costs one look at the bytes: UTF-8 (named so or by nothing) that is
    // valid, and that nothing names otherwise first.
    const bool utf8First = named.empty() || IsUtf8Name(named.front());
    const bool onlyUtf8 =
        utf8First && (declared.empty() || IsUtf8Name(declared)) && (bom.empty() || bom == "UTF-8");
    m_utf8Unchecked = onlyUtf8 && check == Utf8Check::kTrustParser;
    if (m_utf8Unchecked || (onlyUtf8 && CTextCodec::IsValidUtf8(body)))
        return text;

    for (const std::string& name : named) {
        if (IsUtf8Name(name)) {
            if (CTextCodec::IsValidUtf8(body))
                return DeclaredUtf8(body, storage);
            continue;
        }
        std::string utf8;
        if (CTextCodec::DecodeExactly(body, ExactEncoding(name).c_str(), utf8)) {
            m_decodedFrom = name;
            storage = std::move(utf8);
            return DeclaredUtf8(storage, storage);
        }
    }
    // UTF-8 with a few bad bytes is left to the lenient reading, which keeps the rest.
    if (!named.empty() && IsUtf8Name(named.front()) && MostlyUtf8(body))
        return text;

    // Nothing names it, or what is named cannot decode it: the detector guesses.
    const std::string detected = CEncodingDetector::Detect(body);
    std::string utf8;
    if (CTextCodec::DecodeExactly(body, detected.c_str(), utf8)) {
        m_decodedFrom = detected;
        storage = std::move(utf8);
        return DeclaredUtf8(storage, storage);
    }
    // Nothing decodes every byte: the guess decodes what it can (U+FFFD for the rest), else
    // the first name given does, else the lenient reading decides.
    for (const std::string& name : {detected, named.empty() ? std::string() : named.front()}) {
        if (!name.empty() &&
            CTextCodec::Convert(body, CXmlRepair::WidenEncoding(name).c_str(), "UTF-8", utf8)) {
            m_decodedFrom = CXmlRepair::WidenEncoding(name);
            storage = std::move(utf8);
            return DeclaredUtf8(storage, storage);
        }
    }
    return text;
}

bool CFeedParser::Load(std::string_view text, CXmlDocument& doc) {
    m_usedLenientPass = false;
    m_format = Format::kNone;
    std::string declared;
    const std::string_view original = text;
    text = Prepared(original, declared, Utf8Check::kTrustParser);
    bool loaded = doc.LoadText(text);
    if (!loaded && m_utf8Unchecked) {
        // Refused: the bytes may not be the UTF-8 they seemed. Settle the encoding, then again.
        text = Prepared(original, declared, Utf8Check::kCheck);
        loaded = doc.LoadText(text);
    }
    if (!loaded) {
        m_usedLenientPass = true;
        if (!doc.LoadText(text, CXmlDocument::kLenient))
            return false;
    }
    if (!m_baseUrl.empty())
        doc.SetUrl(m_baseUrl);
    m_format = FormatOf(doc);
    return true;
}

void CFeedParser::SetContentType(std::string contentType) {
    std::string_view type = contentType;
    m_mediaType = AsciiLower(Trim(type.substr(0, type.find(';'))));
}

std::string CFeedParser::ParseTitle(std::string_view text) {
    m_notAFeedReason.clear();
    m_siteLink.clear();
    if (CJsonFeed::IsJsonText(text, m_mediaType)) {
        CJsonFeed feed;
        m_format = Format::kNone;
        if (!feed.Load(text, CJsonFeed::IsJsonMediaType(m_mediaType), m_transportCharset)) {
            m_notAFeedReason = feed.Error();
            return {};
        }
        m_format = Format::kJsonFeed;
        m_siteLink = feed.HomePage();
        return feed.Title();
    }
    m_format = Format::kNone;
    CXmlDocument doc;
    if (!Load(text, doc))
        return {};
    m_format = FormatOf(doc);
    return ReadTitle(doc, &m_siteLink);
}

std::string CFeedParser::ReadTitle(const CXmlDocument& doc, std::string* siteLink) {
    CXmlNode root = doc.Root();
    std::string ns = root.GetNamespace();
    std::string title;
    std::string site;
    switch (FormatOf(doc)) {
    case Format::kRss:
    case Format::kRdf:
        for (CXmlNode channel = root.FirstChild(); channel; channel = channel.NextSibling()) {
            if (!channel.HasName("channel"))
                continue;
            std::string channelNs = channel.GetNamespace();
            for (CXmlNode child = channel.FirstChild(); child; child = child.NextSibling()) {
                if (IsOwn(child, "title", channelNs) && title.empty())
                    title = ChannelTitle(child);
                else if (IsOwn(child, "link", channelNs) && site.empty())
                    site = Resolved(TextOf(child), child);
            }
            break;
        }
        break;
    case Format::kAtom:
        for (CXmlNode child = root.FirstChild(); child; child = child.NextSibling()) {
            if (IsOwn(child, "title", ns) && title.empty()) {
                title = ChannelTitle(child);
            } else if (IsOwn(child, "link", ns) && site.empty()) {
                const std::string rel = child.GetAttribute("rel");
                if (rel.empty() || rel == "alternate")
                    site = Resolved(std::string(Trim(child.GetAttribute("href"))), child);
            }
        }
        break;
    case Format::kJsonFeed:
    case Format::kNone:
        break;
    }
    // Only a web address is a site to open.
    if (siteLink && (site.rfind("http://", 0) == 0 || site.rfind("https://", 0) == 0))
        *siteLink = site;
    return title;
}

bool CFeedParser::ReadRssItem(const CXmlNode& node, FeedItem& item) const {
    ItemNodes n;
    CollectRss(node, node.GetNamespace(), n);
    if (!n.link && !m_keepItemsWithoutLink)
        return false;
    item.title = TextOf(n.title);
    item.link = Resolved(TextOf(n.link), n.link);
    const CXmlNode& description = n.description ? n.description : n.contentEncoded;
    item.description = TextOf(description);
    item.author = TextOf(n.author ? n.author : n.dcCreator);
    SetDate(item, n.pubDate ? n.pubDate : n.dcDate);
    FinishTexts(item, description);
    item.enclosures = std::move(n.enclosures);
    return true;
}

bool CFeedParser::ReadAtomEntry(const CXmlNode& entry, const std::string& ns, bool atom03,
                                const std::string& feedAuthor, FeedItem& item,
                                bool& usedFeedAuthor) const {
    ItemNodes n;
    for (CXmlNode child = entry.FirstChild(); child; child = child.NextSibling()) {
        if (!child.InNamespace(ns)) {
            if (IsDc(child, "date"))
                SetIfAbsent(n.dcDate, child);
            else if (IsDc(child, "creator"))
                SetIfAbsent(n.dcCreator, child);
            else if (child.InNamespace(kMediaNs))
                AddMediaContent(n.enclosures, child);
            continue;
        }
        if (child.HasName("link") && child.GetAttribute("rel") == "enclosure") {
            AddEnclosure(n.enclosures, child, "href", "length");
        } else if (child.HasName("link")) {
            if (n.hasAtomLink)
                continue;
            std::string rel = child.GetAttribute("rel");
            if (!rel.empty() && rel != "alternate")
                continue;
            n.hasAtomLink = true;
            n.atomLink = child.HasAttribute("href") ? std::string(Trim(child.GetAttribute("href")))
                                                    : TextOf(child);
            n.atomLink = Resolved(std::move(n.atomLink), child);
        } else if (child.HasName("title")) {
            SetIfAbsent(n.title, child);
        } else if (child.HasName("summary")) {
            SetIfAbsent(n.summary, child);
        } else if (child.HasName("content")) {
            SetIfAbsent(n.content, child);
        } else if (child.HasName("published")) {
            SetIfAbsent(n.published, child);
        } else if (child.HasName("updated")) {
            SetIfAbsent(n.updated, child);
        } else if (child.HasName("issued")) {
            SetIfAbsent(n.issued, child);
        } else if (child.HasName("modified")) {
            SetIfAbsent(n.modified, child);
        } else if (child.HasName("created")) {
            SetIfAbsent(n.created, child);
        } else if (child.HasName("author")) {
            SetIfAbsent(n.atomAuthor, child);
        }
    }
    if (!n.hasAtomLink && !m_keepItemsWithoutLink)
        return false;
    item.title = TextOf(n.title);
    item.link = n.atomLink;
    if (n.summary)
        item.description = AtomHtml(n.summary, atom03);
    else if (n.content)
        item.description = AtomHtml(n.content, atom03);
    if (n.atomAuthor)
        item.author = AtomAuthorName(n.atomAuthor, ns);
    usedFeedAuthor = false;
    if (item.author.empty()) {
        usedFeedAuthor = !n.dcCreator;
        item.author = n.dcCreator ? TextOf(n.dcCreator) : feedAuthor;
    }
    CXmlNode date = n.published  ? n.published
                    : n.issued   ? n.issued
                    : n.updated  ? n.updated
                    : n.modified ? n.modified
                    : n.created  ? n.created
                                 : n.dcDate;
    SetDate(item, date);
    FinishTexts(item, n.summary ? n.summary : n.content);
    item.enclosures = std::move(n.enclosures);
    return true;
}

bool CFeedParser::ReadItems(const CXmlDocument& doc, std::vector<FeedItem>& items) const {
    const size_t before = items.size();
    CXmlNode root = doc.Root();
    const Format format = FormatOf(doc);

    if (format == Format::kRss || format == Format::kRdf) {
        // RSS 2.0 keeps its items in the channel; RSS 1.0 beside it.
        CXmlNode container;
        if (format == Format::kRss) {
            std::string ns = root.GetNamespace();
            for (CXmlNode child = root.FirstChild(); child; child = child.NextSibling()) {
                if (IsOwn(child, "channel", ns)) {
                    container = child;
                    break;
                }
            }
        } else {
            container = root;
        }
        if (!container)
            return false;
        for (CXmlNode node = container.FirstChild(); node; node = node.NextSibling()) {
            if (!node.HasName("item"))
                continue;
            FeedItem item;
            if (!ReadRssItem(node, item))
                break;
            items.push_back(std::move(item));
        }
    } else if (format == Format::kAtom) {
        const std::string ns = root.GetNamespace();
        const bool atom03 = ns == "http://purl.org/atom/ns#";
        std::string feedAuthor;
        for (CXmlNode child = root.FirstChild(); child; child = child.NextSibling()) {
            if (IsOwn(child, "author", ns)) {
                feedAuthor = AtomAuthorName(child, ns);
                break;
            }
        }
        for (CXmlNode entry = root.FirstChild(); entry; entry = entry.NextSibling()) {
            if (!IsOwn(entry, "entry", ns))
                continue;
            FeedItem item;
            bool usedFeedAuthor = false;
            if (!ReadAtomEntry(entry, ns, atom03, feedAuthor, item, usedFeedAuthor))
                break;
            items.push_back(std::move(item));
        }
    }
    return items.size() > before;
}

namespace {

// Appends to a list; a restart takes back what this parse appended.
class CListSink : public CFeedItemSink {
public:
    explicit CListSink(std::vector<FeedItem>& items) : m_items(items), m_before(items.size()) {}
    bool OnItems(std::vector<FeedItem>& items) override {
        for (FeedItem& item : items)
            m_items.push_back(std::move(item));
        items.clear();
        return true;
    }
    void OnRestart() override { m_items.resize(m_before); }

private:
    std::vector<FeedItem>& m_items;
    size_t m_before;
};

} // namespace

bool CFeedParser::ParseItems(std::string_view text, std::vector<FeedItem>& items) {
    CListSink sink(items);
    return ParseItems(text, sink, 500);
}

CFeedParser::StreamEnd CFeedParser::Stream(std::string_view text, CFeedItemSink& sink,
                                           size_t batchSize, std::string& feedAuthor,
                                           bool& feedAuthorKnown, size_t& handed) {
    handed = 0;
    CXmlStreamReader reader;
    if (!reader.Open(text, m_baseUrl))
        return StreamEnd::kNotWellFormed;
    CItemBatcher batch(sink, batchSize, handed);
    bool rootSeen = false;
    bool channelSeen = false; // RSS: the first channel began
    bool inChannel = false;   // RSS: inside that channel
    bool ended = false;       // no more items: the rest is only checked to be well formed
    bool fellBackToFeedAuthor = false;
    std::string ns;
    bool atom03 = false;
    while (reader.NextElement()) {
        const int depth = reader.Depth();
        CXmlNode node = reader.Node();
        if (depth == 0) {
            rootSeen = true;
            m_format = node.HasName("rss")                              ? Format::kRss
                       : node.HasName("RDF") || node.HasName("rdf:RDF") ? Format::kRdf
                       : node.HasName("feed")                           ? Format::kAtom
                                                                        : Format::kNone;
            if (m_format == Format::kNone)
                return StreamEnd::kDone; // no feed, well formed or not
            ns = node.GetNamespace();
            atom03 = ns == "http://purl.org/atom/ns#";
            continue;
        }
        if (ended) {
            reader.SkipChildren();
            continue;
        }
        FeedItem item;
        bool isItem = false;
        bool hasLink = false;
        if (m_format == Format::kRss) {
            if (depth == 1) {
                inChannel = false;
                if (channelSeen)
                    ended = true; // only the first channel's items count
                else if (IsOwn(node, "channel", ns))
                    channelSeen = inChannel = true;
                if (!inChannel)
                    reader.SkipChildren();
                continue;
            }
            if (depth == 2 && inChannel && node.HasName("item")) {
                isItem = true;
                hasLink = ReadRssItem(reader.Expand(), item);
            }
        } else if (m_format == Format::kRdf) {
            if (depth == 1 && node.HasName("item")) {
                isItem = true;
                hasLink = ReadRssItem(reader.Expand(), item);
            }
        } else if (depth == 1 && IsOwn(node, "entry", ns)) {
            isItem = true;
            bool usedFeedAuthor = false;
            hasLink = ReadAtomEntry(reader.Expand(), ns, atom03, feedAuthor, item, usedFeedAuthor);
            fellBackToFeedAuthor |= hasLink && usedFeedAuthor && !feedAuthorKnown;
        } else if (depth == 1 && !feedAuthorKnown && IsOwn(node, "author", ns)) {
            feedAuthor = AtomAuthorName(reader.Expand(), ns);
            feedAuthorKnown = true;
            // Entries before it were read without the feed's author: read again knowing it.
            if (fellBackToFeedAuthor && !feedAuthor.empty())
                return StreamEnd::kAgainWithFeedAuthor;
            continue;
        }
        if (!isItem) {
            reader.SkipChildren();
            continue;
        }
        if (reader.Failed())
            break;
        if (!hasLink) {
            ended = true;
            continue;
        }
        if (!batch.Add(std::move(item)))
            return StreamEnd::kStopped;
    }
    if (reader.EntitiesRefused())
        return StreamEnd::kEntitiesRefused;
    if (reader.Failed() || !rootSeen)
        return StreamEnd::kNotWellFormed;
    return batch.Flush() ? StreamEnd::kDone : StreamEnd::kStopped;
}

bool CFeedParser::ParseItems(std::string_view text, CFeedItemSink& sink, size_t batchSize) {
    m_usedLenientPass = false;
    m_format = Format::kNone;
    batchSize = std::max<size_t>(batchSize, 1);
    m_notAFeedReason.clear();
    if (CJsonFeed::IsJsonText(text, m_mediaType)) {
        // Parsed whole (a JSON Feed is small beside its items' text), handed over in parts.
        CJsonFeed feed;
        if (!feed.Load(text, CJsonFeed::IsJsonMediaType(m_mediaType), m_transportCharset)) {
            m_notAFeedReason = feed.Error();
            return false;
        }
        m_format = Format::kJsonFeed;
        size_t handed = 0;
        feed.ReadItems(m_baseUrl, m_keepItemsWithoutLink, sink, batchSize, handed);
        return handed > 0;
    }
    std::string declared;
    const std::string_view original = text;
    text = Prepared(original, declared, Utf8Check::kTrustParser);
    size_t handed = 0;
    const auto read = [&] {
        std::string feedAuthor;
        bool feedAuthorKnown = false;
        StreamEnd end = Stream(text, sink, batchSize, feedAuthor, feedAuthorKnown, handed);
        if (end == StreamEnd::kAgainWithFeedAuthor) {
            sink.OnRestart();
            end = Stream(text, sink, batchSize, feedAuthor, feedAuthorKnown, handed);
        }
        return end;
    };
    StreamEnd end = read();
    if (end == StreamEnd::kNotWellFormed && m_utf8Unchecked) {
        // Refused: the bytes may not be the UTF-8 they seemed. Settle the encoding, then again.
        if (handed > 0)
            sink.OnRestart();
        text = Prepared(original, declared, Utf8Check::kCheck);
        end = read();
    }
    if (end == StreamEnd::kDone || end == StreamEnd::kStopped)
        return handed > 0;
    if (end == StreamEnd::kEntitiesRefused) {
        // A document whose entities would expand past the bounds is built to exhaust memory,
        // not sloppy: the lenient reading, which keeps what it can, would store its items.
        if (handed > 0)
            sink.OnRestart();
        m_notAFeedReason = CReasonText::Text(Reason::kEntityBomb);
        return false;
    }

    // Not well formed: the lenient reading mends the text and needs the whole tree.
    if (handed > 0)
        sink.OnRestart();
    m_usedLenientPass = true;
    m_format = Format::kNone;
    CXmlDocument doc;
    if (!doc.LoadText(text, CXmlDocument::kLenient))
        return false;
    if (!m_baseUrl.empty())
        doc.SetUrl(m_baseUrl);
    m_format = FormatOf(doc);
    std::vector<FeedItem> items;
    ReadItems(doc, items);
    if (items.empty())
        return false;
    handed = 0;
    CItemBatcher batch(sink, batchSize, handed);
    for (FeedItem& item : items)
        if (!batch.Add(std::move(item)))
            return true;
    batch.Flush();
    return true;
}
