#pragma once

#include "storage/FeedItem.h"

#include <memory>
#include <string>
#include <string_view>

class CFeedItemSink;

// A JSON Feed document (1.0 and 1.1), read onto the same item fields as RSS and Atom.
//
// Link: url, else external_url (relative ones resolved against the feed's address), else the
// item's id, which is then the key the store knows the item by. Title: its title. Description:
// content_html, else content_text escaped as HTML, else summary (plain text, escaped). Author:
// the item's authors (1.1) or author (1.0), else the feed's. Date: date_published, else
// date_modified, normalised as every feed date is. C1 controls take their windows-1252 meaning,
// and relative addresses in the HTML resolve against the feed's address.
//
// The document is parsed whole (nlohmann-json); a malformed one is no feed, with its reason.
class CJsonFeed {
public:
    CJsonFeed();
    ~CJsonFeed();

    // Whether a text is to be read as JSON rather than XML: a text that opens with "{" (no XML
    // document does), or one served as application/feed+json or application/json that does not
    // open with "<".
    static bool IsJsonText(std::string_view text, std::string_view mediaType);
    // Whether the media type is one JSON is served as.
    static bool IsJsonMediaType(std::string_view mediaType);

    // Parses the text (UTF-8; a byte-order mark is skipped; text in another encoding is decoded
    // from the answer's charset or the detector's guess). true when it is a JSON Feed: a
    // JSON object whose version names jsonfeed.org, or, served as JSON, one that holds items.
    // Otherwise Error() says why not ("malformed JSON at byte 12", ...).
    bool Load(std::string_view text, bool servedAsJson, const std::string& charset = {});
    const std::string& Error() const { return m_error; }

    // The feed's title; "" when it has none.
    std::string Title() const;
    // home_page_url, when it is a web address.
    std::string HomePage() const;
    // Hands the items to the sink in parts of at most batchSize, stopping at the first item
    // with no link and no id unless keepItemsWithoutLink. handed counts what was handed over;
    // false when the sink stopped the reading.
    bool ReadItems(const std::string& baseUrl, bool keepItemsWithoutLink, CFeedItemSink& sink,
                   size_t batchSize, size_t& handed) const;

private:
    struct Document;
    std::unique_ptr<Document> m_document;
    std::string m_error;
};
