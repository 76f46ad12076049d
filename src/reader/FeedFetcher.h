#pragma once

#include "platform/http/HttpClient.h"
#include "reader/FeedDate.h"
#include "storage/FeedItem.h"

#include <string>
#include <vector>

// The validators of a feed's last answer, sent back so that an unchanged feed costs a 304.
struct FeedValidators {
    std::string etag;
    std::string lastModified;
};

struct FeedFetchResult {
    enum class Outcome {
        kItems,        // at least one item was appended
        kNotModified,  // the server answered 304 to the validators sent
        kNoItems,      // a 2xx answer that holds no item (not a feed, ill-formed, empty)
        kHttpError,    // a status other than 2xx and 304
        kNetworkError, // no whole answer: see transfer
        kCancelled,    // the exit flag or the cancel token was raised
    };
    Outcome outcome = Outcome::kNetworkError;
    HttpResult transfer = HttpResult::kTransferFailed;
    long status = 0;
    std::string finalUrl;
    // The final address when every redirect on the way was permanent (301/308), "" otherwise.
    std::string movedTo;
    // A 429 or 503 answer's Retry-After in seconds; -1 when it named none.
    long retryAfterSeconds = -1;
    FeedValidators validators; // to send with the next fetch
    // Why no items came, short and for people ("" for kItems and kNotModified): "HTTP 404",
    // "no answer within 30 s", "no connection within 20 s", "cannot connect to host:port",
    // "host not found: host", "not a feed (text/html)", "no items in the feed",
    // "too many redirects", "certificate not trusted: ...", "answer larger than 32 MB", "stopped".
    std::string errorText;
};

// A feed's answer, fetched but not read yet: its body and what reading it needs.
struct FeedDocument {
    std::string body;
    std::string url;         // the final address, against which relative links resolve
    std::string charset;     // of the answer's Content-Type, for a document that declares none
    std::string contentType; // the answer's Content-Type as sent, for the reason it held no feed
};

class CAppContext;
class CFeedItemSink;

// Receiving over HTTP: fetch and parse of feeds, the title probe, and downloads into the
// scratch folder. Nothing here shows a message or touches a store; failures come back as false
// or an empty text for the caller to report.
//
// Every transfer ends promptly when g_bAppExiting is set or the cancel token is raised, and is
// bounded by the client's limits. Only a 2xx answer is read. One fetcher per thread.
// One feed an address leads to, with its title ("" when it has none).
struct FeedOffer {
    std::string url;
    std::string title;
    std::string site; // the site the feed names, when the feed itself was read
    bool operator==(const FeedOffer&) const = default;
};

struct FeedDiscovery {
    bool answered = false;         // the address answered with a document (2xx)
    bool isFeed = false;           // the address itself is a feed (offers holds it alone)
    std::vector<FeedOffer> offers; // what was found, in the page's order
    std::string reason;            // why nothing was found
};

class CFeedFetcher {
public:
    CFeedFetcher();

    // "host" or "host:port" of an address as it is written (no user part), for messages.
    static std::string HostOf(const std::string& url);

    // Default: the environment's proxy settings (the desktop's); see CProxySetup.
    void SetProxy(const HttpProxy& proxy) { m_client.SetProxy(proxy); }
    void SetLimits(const HttpLimits& limits) { m_client.SetLimits(limits); }
    void SetCancelToken(const CCancelToken* token) { m_cancel = token; }
    CHttpClient& Client() { return m_client; }

    // Fetches and parses one feed and appends its items in document order; true when at least
    // one item was appended.
    bool FetchFeedItems(const std::string& url, std::vector<FeedItem>& items);
    // The same with the details, and a conditional GET when validators are given.
    FeedFetchResult Fetch(const std::string& url, std::vector<FeedItem>& items,
                          const FeedValidators& validators = {});

    // The fetch alone: a 2xx answer's body goes into the document and the outcome is kItems
    // until ReadDocument says whether it holds any.
    FeedFetchResult FetchDocument(const std::string& url, FeedDocument& document,
                                  const FeedValidators& validators = {});
    // Reads a fetched document's items into the sink in parts of at most batchSize; true when
    // at least one item was handed over. Otherwise whyNone, when given, says why ("not a feed
    // (text/html)", "no items in the feed", ...).
    static bool ReadDocument(const FeedDocument& document, CFeedItemSink& sink, size_t batchSize,
                             std::string* whyNone = nullptr);
    static bool ReadDocument(const FeedDocument& document, std::vector<FeedItem>& items,
                             std::string* whyNone = nullptr);

    // The channel title (Atom: the feed title), or "" when the address yields no feed or the
    // feed has no title.
    // With siteLink, also the address of the feed's site ("" when it names none).
    std::string FetchFeedTitle(const std::string& url, std::string* siteLink = nullptr);

    // What an address typed to subscribe leads to: the address itself when it is a feed; else
    // the feeds its page announces (<link rel="alternate"> of RSS, Atom or JSON Feed, and the
    // Link header), or, when it announces none, those of the usual places (/feed, /rss.xml,
    // /atom.xml, /index.xml, /feed.xml, /rss) that answer with a feed: at most six requests
    // more. Nothing found: no offers and the reason.
    FeedDiscovery DiscoverFeeds(const std::string& url);

    // Downloads the address whole into MakeTempFilePath(context, url); true when the server
    // answered 2xx and the file was written.
    bool DownloadUrlToTempFile(const CAppContext& context, const std::string& url);

    // The scratch file for an address: under the context's Temp/, named by the address
    // lower-cased, without its first "http://", with / \ : * ? < > | % as "_", and ".xml"
    // appended unless it holds ".xml" already. A name too long for the file system is cut and
    // given a hash of the whole.
    static std::string MakeTempFilePath(const CAppContext& context, const std::string& url);

private:
    HttpResponse Get(const std::string& url, const FeedValidators& validators, bool feed);

    CHttpClient m_client;
    const CCancelToken* m_cancel = nullptr;
};

// The operations by the names the rest of the program uses; each call uses its own fetcher with
// the default settings.
bool FetchFeedItems(const std::string& url, std::vector<FeedItem>& items);
std::string FetchFeedTitle(const std::string& url);
bool DownloadUrlToTempFile(const CAppContext& context, const std::string& url);
std::string MakeTempFilePath(const CAppContext& context, const std::string& url);
