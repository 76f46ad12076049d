#include "reader/JsonFeed.h"

#include "platform/text/ReasonText.h"

#include "platform/text/AsciiText.h"
#include "platform/text/EncodingDetector.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/HtmlAddresses.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedDate.h"
#include "reader/FeedParser.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include <vector>

using Json = nlohmann::json;

namespace {

constexpr std::string_view kVersionPrefix = "https://jsonfeed.org/version/";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A member's text: a string as it is, a number as written (1.0 allowed numeric ids), else "".
std::string TextOf(const Json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end())
        return {};
    if (it->is_string())
        return std::string(Trim(it->get_ref<const std::string&>()));
    if (it->is_number())
        return it->dump();
    return {};
}

// The first author's name: the list of 1.1 (authors), else the single author of 1.0.
std::string AuthorOf(const Json& object) {
    if (auto list = object.find("authors"); list != object.end() && list->is_array()) {
        for (const Json& author : *list) {
            if (author.is_object()) {
                std::string name = TextOf(author, "name");
                if (!name.empty())
                    return name;
            }
        }
    }
    if (auto author = object.find("author"); author != object.end() && author->is_object())
        return TextOf(*author, "name");
    return {};
}

std::string Resolved(std::string url, const std::string& base) {
    if (url.empty() || base.empty() || CHtmlAddresses::HasScheme(url))
        return url;
    return CXmlDocument::ResolveUri(url, base);
}

// One item; false when it has nothing to be known by (no url, external_url or id).
bool ReadItem(const Json& object, const std::string& feedAuthor, const std::string& baseUrl,
              bool keepItemsWithoutLink, FeedItem& item) {
    if (!object.is_object())
        return keepItemsWithoutLink;
    std::string link = TextOf(object, "url");
    if (link.empty())
        link = TextOf(object, "external_url");
    if (!link.empty())
        item.link = Resolved(std::move(link), baseUrl);
    else
        item.link = TextOf(object, "id"); // the key the store knows the item by
    if (item.link.empty() && !keepItemsWithoutLink)
        return false;

    item.title = TextOf(object, "title");
    if (std::string html = TextOf(object, "content_html"); !html.empty()) {
        item.description = std::move(html);
        if (!baseUrl.empty() && CHtmlAddresses::HasRelative(item.description))
            item.description = CHtmlAddresses::Resolve(item.description, baseUrl);
    } else if (std::string text = TextOf(object, "content_text"); !text.empty()) {
        item.description = CXmlText::Escape(text);
    } else {
        item.description = CXmlText::Escape(TextOf(object, "summary"));
    }
    item.author = AuthorOf(object);
    if (item.author.empty())
        item.author = feedAuthor;
    item.pubDate = TextOf(object, "date_published");
    if (item.pubDate.empty())
        item.pubDate = TextOf(object, "date_modified");
    CFeedDate::Normalize(item.pubDate);
    item.extra.clear();
    item.enclosures.clear();
    if (auto list = object.find("attachments"); list != object.end() && list->is_array()) {
        for (const Json& attachment : *list) {
            if (!attachment.is_object())
                continue;
            std::string url = Resolved(TextOf(attachment, "url"), baseUrl);
            const bool known = std::any_of(item.enclosures.begin(), item.enclosures.end(),
                                           [&](const FeedEnclosure& e) { return e.url == url; });
            if (url.empty() || known)
                continue;
            int64_t length = 0;
            if (auto size = attachment.find("size_in_bytes");
                size != attachment.end() && size->is_number_integer())
                length = std::max<int64_t>(size->get<int64_t>(), 0);
            item.enclosures.push_back(
                {.url = std::move(url), .type = TextOf(attachment, "mime_type"), .length = length});
        }
    }

    CTextCodec::MapC1ToWindows1252(item.title);
    CTextCodec::MapC1ToWindows1252(item.description);
    CTextCodec::MapC1ToWindows1252(item.author);
    return true;
}

} // namespace

struct CJsonFeed::Document {
    Json root;
};

CJsonFeed::CJsonFeed() = default;
CJsonFeed::~CJsonFeed() = default;

bool CJsonFeed::IsJsonMediaType(std::string_view mediaType) {
    const std::string type = AsciiLower(mediaType);
    return type == "application/feed+json" || type == "application/json";
}

bool CJsonFeed::IsJsonText(std::string_view text, std::string_view mediaType) {
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    size_t first = text.find_first_not_of(" \t\r\n");
    const char opening = first == std::string_view::npos ? '\0' : text[first];
    // What the text is outweighs what it was served as: an RSS file served as JSON stays XML.
    if (opening == '{')
        return true;
    return opening != '<' && IsJsonMediaType(mediaType);
}

bool CJsonFeed::Load(std::string_view text, bool servedAsJson, const std::string& charset) {
    m_document.reset();
    m_error.clear();
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    auto document = std::make_unique<Document>();
    // JSON is UTF-8. A feed written by an old script in another encoding is decoded from the
    // answer's charset when that decodes it, else from the detector's guess.
    std::string decoded;
    if (!CTextCodec::IsValidUtf8(text)) {
        if (charset.empty() || !CTextCodec::DecodeExactly(text, charset.c_str(), decoded))
            CTextCodec::Convert(text, CEncodingDetector::Detect(text).c_str(), "UTF-8", decoded);
        if (!decoded.empty())
            text = decoded;
    }
    try {
        document->root = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        m_error = CReasonText::Text(Reason::kMalformedJsonAt, {std::to_string(error.byte)});
        return false;
    } catch (const Json::exception&) {
        m_error = CReasonText::Text(Reason::kMalformedJson);
        return false;
    }
    const Json& root = document->root;
    if (!root.is_object()) {
        m_error = CReasonText::Text(Reason::kNotJsonFeed);
        return false;
    }
    const std::string version = TextOf(root, "version");
    const auto items = root.find("items");
    const bool hasItems = items != root.end() && items->is_array();
    if (!version.starts_with(kVersionPrefix) && !(servedAsJson && hasItems)) {
        m_error = CReasonText::Text(Reason::kNotJsonFeed);
        return false;
    }
    m_document = std::move(document);
    return true;
}

std::string CJsonFeed::Title() const {
    if (!m_document)
        return {};
    std::string title = TextOf(m_document->root, "title");
    CTextCodec::MapC1ToWindows1252(title);
    return title;
}

std::string CJsonFeed::HomePage() const {
    if (!m_document)
        return {};
    const std::string home = TextOf(m_document->root, "home_page_url");
    return home.rfind("http://", 0) == 0 || home.rfind("https://", 0) == 0 ? home : std::string();
}

bool CJsonFeed::ReadItems(const std::string& baseUrl, bool keepItemsWithoutLink,
                          CFeedItemSink& sink, size_t batchSize, size_t& handed) const {
    handed = 0;
    if (!m_document)
        return true;
    const Json& root = m_document->root;
    const auto items = root.find("items");
    if (items == root.end() || !items->is_array())
        return true;
    const std::string feedAuthor = AuthorOf(root);
    CItemBatcher batch(sink, batchSize, handed);
    for (const Json& object : *items) {
        FeedItem item;
        if (!ReadItem(object, feedAuthor, baseUrl, keepItemsWithoutLink, item))
            break; // the store knows items by their link: the rest are not read
        if (!batch.Add(std::move(item)))
            return false;
    }
    return batch.Flush();
}
