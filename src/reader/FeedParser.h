#pragma once

#include "storage/FeedItem.h"

#include <string>
#include <string_view>
#include <vector>

class CXmlDocument;
class CXmlNode;

// Takes the items of a document in parts while it is read.
class CFeedItemSink {
public:
    virtual ~CFeedItemSink() = default;
    // The next items in document order; the sink may take them (move them out). false stops
    // the reading (the receive was stopped).
    virtual bool OnItems(std::vector<FeedItem>& items) = 0;
    // Everything handed over so far is void: the document is read again from its start (it
    // turned out not to be well formed part way, and is read leniently now).
    virtual void OnRestart() = 0;
};

// Hands items to a sink in parts of batchSize, counting in handed what it handed over.
class CItemBatcher {
public:
    CItemBatcher(CFeedItemSink& sink, size_t batchSize, size_t& handed)
        : m_sink(sink), m_batchSize(batchSize), m_handed(handed) {}
    // false: the sink stopped the reading.
    bool Add(FeedItem&& item) {
        m_batch.push_back(std::move(item));
        return m_batch.size() < m_batchSize || Flush();
    }
    // Hands over what is left; false when the sink stopped the reading.
    bool Flush() {
        if (m_batch.empty())
            return true;
        m_handed += m_batch.size();
        const bool go = m_sink.OnItems(m_batch);
        m_batch.clear();
        return go;
    }

private:
    CFeedItemSink& m_sink;
    size_t m_batchSize;
    std::vector<FeedItem> m_batch;
    size_t& m_handed;
};

// Reads feed documents from memory into FeedItem records (title, link, description, pubDate,
// author; the other fields are left as they are). Texts come out as UTF-8 whatever the document
// declares; dates go through CFeedDate::Normalize.
//
// RSS 2.0 and 0.9x (root "rss"): the items of the channel, in document order. Each field is the
// text content of the item's first child of that name: title, link, author, description and
// pubDate. The date comes from dc:date only when pubDate is missing; likewise the author from
// dc:creator (or dc:author) when author is missing, and the description from content:encoded
// when description is missing.
//
// RSS 1.0 and 0.90 (root "rdf:RDF"): the items beside the channel, with title, link,
// description, dc:date and dc:creator.
//
// Atom 1.0 and 0.3 (root "feed"): the entries. Link: the first link whose rel is "alternate" or
// absent (its href resolved against xml:base and the document's address, or its text when it
// has no href). Title: its text. Description: summary, else content, as HTML (xhtml content as
// its markup, text content escaped). Date: published, issued, updated, modified, created, then
// dc:date. Author: the entry's author name, else the feed's.
//
// Receiving stops at the first item without a link: the store knows items by their link, and
// the items after such an item are not read.
//
// JSON Feed 1.0 and 1.1 (see CJsonFeed): read when the answer is served as JSON
// (application/feed+json, application/json) or the text is a JSON object whose version names
// jsonfeed.org, whatever it was served as.
//
// A document that does not parse is read again leniently (CXmlDocument::kLenient): real feeds
// carry HTML entity names, blanks before the declaration, stray control characters and bytes
// their declared encoding does not cover.
class CFeedParser {
public:
    enum class Format { kNone, kRss, kRdf, kAtom, kJsonFeed };

    // The address the document came from; relative Atom links resolve against it.
    void SetBaseUrl(std::string url) { m_baseUrl = std::move(url); }
    // The charset of the answer's Content-Type: it names the encoding before the document's own
    // byte-order mark or declaration do (see Prepared).
    void SetTransportCharset(std::string charset) { m_transportCharset = std::move(charset); }
    // The answer's Content-Type: a JSON one says the text is a JSON Feed.
    void SetContentType(std::string contentType);
    // Keeps items without a link (with an empty link) instead of stopping at the first one;
    // for tools that inspect documents, never for receiving.
    void SetKeepItemsWithoutLink(bool keep) { m_keepItemsWithoutLink = keep; }

    // Appends the document's items; true when at least one was appended.
    bool ParseItems(std::string_view text, std::vector<FeedItem>& items);
    // The same items handed to the sink in parts of at most batchSize while the document is
    // read element by element, so that memory holds one part, not the whole document's tree. A
    // document that turns out not to be well formed is read again leniently (after OnRestart).
    // true when at least one item was handed over.
    bool ParseItems(std::string_view text, CFeedItemSink& sink, size_t batchSize);
    // The channel title (Atom: the feed title); "" when there is none or the text is no feed
    // (GetFormat tells which).
    std::string ParseTitle(std::string_view text);
    // The address of the site the last ParseTitle's feed belongs to (RSS: the channel link;
    // Atom: the feed's alternate link; JSON Feed: home_page_url); "" when it names none.
    const std::string& SiteLink() const { return m_siteLink; }

    // Loads the text strictly, and leniently when that fails.
    bool Load(std::string_view text, CXmlDocument& doc);
    bool ReadItems(const CXmlDocument& doc, std::vector<FeedItem>& items) const;
    static std::string ReadTitle(const CXmlDocument& doc, std::string* siteLink = nullptr);
    static Format FormatOf(const CXmlDocument& doc);

    // About the last document loaded.
    Format GetFormat() const { return m_format; }
    bool UsedLenientPass() const { return m_usedLenientPass; }
    // Why a JSON text is no feed ("malformed JSON at byte 12", ...); "" otherwise.
    const std::string& NotAFeedReason() const { return m_notAFeedReason; }
    // The encoding the text was decoded from before it was parsed; "" when it was parsed as it
    // came (UTF-8, or left to the parser).
    const std::string& DecodedFrom() const { return m_decodedFrom; }

private:
    enum class StreamEnd {
        kDone,
        kStopped,
        kNotWellFormed,
        kEntitiesRefused,
        kAgainWithFeedAuthor
    };
    // The text as the parser reads it: decoded to UTF-8 (its declaration saying so) in the
    // encoding named first by the answer's charset, a byte-order mark or the declaration, the
    // first that decodes every byte, else in the one the detector guesses; the text as it is
    // when it is UTF-8 already, or when nothing decodes it (the lenient reading then decides).
    // An answer's Latin-1 or ASCII charset, a server's default, yields to the document's own.
    // With kTrustParser, text that only UTF-8 names (or nothing does) is passed on unchecked:
    // the parser checks every byte anyway, and only when it refuses the text is it prepared
    // again with kCheck (m_utf8Unchecked says whether that is still to do).
    enum class Utf8Check { kTrustParser, kCheck };
    std::string_view Prepared(std::string_view text, std::string& storage, Utf8Check check);
    StreamEnd Stream(std::string_view text, CFeedItemSink& sink, size_t batchSize,
                     std::string& feedAuthor, bool& feedAuthorKnown, size_t& handed);
    bool ReadRssItem(const CXmlNode& node, FeedItem& item) const;
    bool ReadAtomEntry(const CXmlNode& entry, const std::string& ns, bool atom03,
                       const std::string& feedAuthor, FeedItem& item, bool& usedFeedAuthor) const;

    std::string m_baseUrl;
    std::string m_transportCharset;
    std::string m_mediaType;
    bool m_keepItemsWithoutLink = false;
    Format m_format = Format::kNone;
    bool m_usedLenientPass = false;
    std::string m_decodedFrom;
    bool m_utf8Unchecked = false;
    std::string m_notAFeedReason;
    std::string m_siteLink;
};
