#include "reader/FeedFetcher.h"

#include "platform/text/ReasonText.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/AsciiText.h"
#include "platform/xml/HtmlLinks.h"
#include "reader/FeedParser.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kFeedAccept = "application/rss+xml, application/atom+xml, "
                                    "application/feed+json, application/rdf+xml;q=0.9, "
                                    "application/xml;q=0.8, text/xml;q=0.8, "
                                    "application/json;q=0.8, */*;q=0.5";

// The charset parameter of a Content-Type value, "" when there is none.
std::string CharsetOf(const std::string& contentType) {
    const std::string lower = AsciiLower(contentType);
    size_t key = lower.find("charset=");
    if (key == std::string::npos)
        return {};
    size_t start = key + 8;
    while (start < contentType.size() && (contentType[start] == '"' || contentType[start] == ' '))
        ++start;
    size_t end = start;
    while (end < contentType.size() && contentType[end] != ';' && contentType[end] != '"' &&
           contentType[end] != ' ')
        ++end;
    return contentType.substr(start, end - start);
}

bool Exiting() {
    return g_bAppExiting.load(std::memory_order_relaxed) != 0;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

std::string CFeedFetcher::HostOf(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = url.find_first_of("/?#", start);
    std::string host =
        url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    return host;
}

namespace {

// The media type of a Content-Type value, lower-cased, without its parameters.
std::string MediaTypeOf(const std::string& contentType) {
    std::string_view type = contentType;
    type = type.substr(0, type.find(';'));
    return AsciiLower(Trim(type));
}

// Why a transfer brought no answer, in a few words.
std::string TransferFailureText(const HttpResponse& response, const HttpLimits& limits,
                                const std::string& url) {
    const std::string& detail = response.errorText;
    switch (response.result) {
    case HttpResult::kOk:
        return {};
    case HttpResult::kBadUrl:
        return CReasonText::Text(Reason::kNotHttpAddress, {url});
    case HttpResult::kConnectFailed:
        if (Contains(detail, "resolve proxy"))
            return CReasonText::Text(Reason::kProxyNotFound);
        if (Contains(detail, "resolve"))
            return CReasonText::Text(Reason::kHostNotFound, {CFeedFetcher::HostOf(url)});
        return CReasonText::Text(Reason::kCannotConnect, {CFeedFetcher::HostOf(url)});
    case HttpResult::kTimeout:
        // The client has already said which bound ended the transfer.
        return detail;
    case HttpResult::kTlsFailed:
        if (Contains(detail, "no alternative certificate subject name") ||
            Contains(detail, "does not match"))
            return CReasonText::Text(Reason::kCertificateNotForHost, {CFeedFetcher::HostOf(url)});
        if (Contains(detail, "certificate")) {
            const std::string marker = "SSL certificate problem: ";
            size_t at = detail.find(marker);
            return CReasonText::Text(
                Reason::kCertificateNotTrusted,
                {at == std::string::npos ? detail : detail.substr(at + marker.size())});
        }
        return CReasonText::Text(Reason::kSecureConnectionFailed, {detail});
    case HttpResult::kTooLarge:
        return CReasonText::Text(Reason::kAnswerTooLarge,
                                 {limits.maxBodyBytes >= (1u << 20)
                                      ? std::to_string(limits.maxBodyBytes >> 20) + " MB"
                                      : std::to_string(limits.maxBodyBytes >> 10) + " KB"});
    case HttpResult::kTooManyRedirects:
        return CReasonText::Text(Reason::kTooManyRedirects);
    case HttpResult::kTransferFailed:
        return CReasonText::Text(Reason::kTransferFailed, {detail});
    case HttpResult::kCancelled:
        return CReasonText::Text(Reason::kCancelled);
    }
    return detail;
}

// Why a 2xx answer held no item.
std::string NoItemsText(const FeedDocument& document, const CFeedParser& parser) {
    if (parser.GetFormat() != CFeedParser::Format::kNone)
        return CReasonText::Text(Reason::kNoItemsInFeed);
    if (document.body.empty())
        return CReasonText::Text(Reason::kEmptyAnswer);
    const std::string type = MediaTypeOf(document.contentType);
    std::string detail = type.empty() ? CReasonText::Text(Reason::kNoContentType) : type;
    if (!parser.NotAFeedReason().empty())
        detail += ", " + parser.NotAFeedReason();
    return CReasonText::Text(Reason::kNotAFeed, {detail});
}

} // namespace

CFeedFetcher::CFeedFetcher() {
    m_client.SetExitFlag(&g_bAppExiting);
}

HttpResponse CFeedFetcher::Get(const std::string& url, const FeedValidators& validators,
                               bool feed) {
    HttpRequest request;
    request.url = url;
    if (feed)
        request.headers.push_back({"Accept", kFeedAccept});
    request.ifNoneMatch = validators.etag;
    request.ifModifiedSince = validators.lastModified;
    request.cancel = m_cancel;
    return m_client.Perform(request);
}

FeedFetchResult CFeedFetcher::FetchDocument(const std::string& url, FeedDocument& document,
                                            const FeedValidators& validators) {
    FeedFetchResult result;
    HttpResponse response = Get(url, validators, true);
    result.transfer = response.result;
    result.status = response.status;
    result.finalUrl = response.finalUrl;
    result.errorText = response.errorText;
    result.validators = {response.etag, response.lastModified};
    if (response.MovedPermanently() && response.finalUrl != url)
        result.movedTo = response.finalUrl;
    if (response.status == 429 || response.status == 503)
        result.retryAfterSeconds = response.RetryAfterSeconds();

    if (Exiting() || response.result == HttpResult::kCancelled) {
        result.outcome = FeedFetchResult::Outcome::kCancelled;
        result.errorText = CReasonText::Text(Reason::kCancelled);
        return result;
    }
    if (!response.Ok()) {
        result.outcome = FeedFetchResult::Outcome::kNetworkError;
        result.errorText = TransferFailureText(response, m_client.GetLimits(), url);
        return result;
    }
    if (response.IsNotModified()) {
        // A 304 need not repeat the validators; the ones sent stay good.
        if (result.validators.etag.empty())
            result.validators.etag = validators.etag;
        if (result.validators.lastModified.empty())
            result.validators.lastModified = validators.lastModified;
        result.outcome = FeedFetchResult::Outcome::kNotModified;
        return result;
    }
    if (!response.IsSuccess()) {
        result.outcome = FeedFetchResult::Outcome::kHttpError;
        result.errorText = CReasonText::HttpStatus(response.status);
        return result;
    }
    document.body = std::move(response.body);
    document.url = response.finalUrl.empty() ? url : response.finalUrl;
    document.charset = CharsetOf(response.contentType);
    document.contentType = response.contentType;
    result.outcome = FeedFetchResult::Outcome::kItems;
    return result;
}

bool CFeedFetcher::ReadDocument(const FeedDocument& document, CFeedItemSink& sink, size_t batchSize,
                                std::string* whyNone) {
    CFeedParser parser;
    parser.SetBaseUrl(document.url);
    parser.SetTransportCharset(document.charset);
    parser.SetContentType(document.contentType);
    if (parser.ParseItems(document.body, sink, batchSize))
        return true;
    if (whyNone)
        *whyNone = NoItemsText(document, parser);
    return false;
}

bool CFeedFetcher::ReadDocument(const FeedDocument& document, std::vector<FeedItem>& items,
                                std::string* whyNone) {
    CFeedParser parser;
    parser.SetBaseUrl(document.url);
    parser.SetTransportCharset(document.charset);
    parser.SetContentType(document.contentType);
    if (parser.ParseItems(document.body, items))
        return true;
    if (whyNone)
        *whyNone = NoItemsText(document, parser);
    return false;
}

FeedFetchResult CFeedFetcher::Fetch(const std::string& url, std::vector<FeedItem>& items,
                                    const FeedValidators& validators) {
    FeedDocument document;
    FeedFetchResult result = FetchDocument(url, document, validators);
    if (result.outcome == FeedFetchResult::Outcome::kItems &&
        !ReadDocument(document, items, &result.errorText))
        result.outcome = FeedFetchResult::Outcome::kNoItems;
    return result;
}

bool CFeedFetcher::FetchFeedItems(const std::string& url, std::vector<FeedItem>& items) {
    return Fetch(url, items).outcome == FeedFetchResult::Outcome::kItems;
}

namespace {

// The title and site of a feed answer; false when the answer is no feed.
bool ReadFeedHead(const HttpResponse& response, FeedOffer& offer) {
    if (!response.IsSuccess())
        return false;
    CFeedParser parser;
    parser.SetTransportCharset(CharsetOf(response.contentType));
    parser.SetContentType(response.contentType);
    offer.title = parser.ParseTitle(response.body);
    offer.site = parser.SiteLink();
    return parser.GetFormat() != CFeedParser::Format::kNone;
}

} // namespace

std::string CFeedFetcher::FetchFeedTitle(const std::string& url, std::string* siteLink) {
    HttpResponse response = Get(url, {}, true);
    FeedOffer offer;
    if (Exiting() || !ReadFeedHead(response, offer))
        return {};
    if (siteLink)
        *siteLink = offer.site;
    return offer.title;
}

FeedDiscovery CFeedFetcher::DiscoverFeeds(const std::string& url) {
    FeedDiscovery found;
    HttpResponse page = Get(url, {}, false);
    if (Exiting() || page.result == HttpResult::kCancelled) {
        found.reason = CReasonText::Text(Reason::kCancelled);
        return found;
    }
    if (!page.IsSuccess()) {
        found.reason = page.Ok() ? CReasonText::HttpStatus(page.status) : page.errorText;
        return found;
    }
    found.answered = true;
    const std::string base = page.finalUrl.empty() ? url : page.finalUrl;
    // A feed at the address is taken as it is.
    if (FeedOffer offer{.url = url}; ReadFeedHead(page, offer)) {
        found.isFeed = true;
        found.offers.push_back(offer);
        return found;
    }
    std::vector<HtmlLink> links = CHtmlLinks::FromPage(page.body, base);
    for (HtmlLink& link : CHtmlLinks::FromHeader(page.Header("Link"), base))
        links.push_back(std::move(link));
    for (const HtmlLink& link : CHtmlLinks::WithRel(links, "alternate")) {
        const std::string type = AsciiLower(link.type);
        const bool feed = type == "application/rss+xml" || type == "application/atom+xml" ||
                          type == "application/feed+json" || type == "application/rdf+xml";
        const FeedOffer offer{.url = link.href, .title = link.title};
        if (feed && std::find_if(found.offers.begin(), found.offers.end(), [&](const auto& o) {
                        return o.url == offer.url;
                    }) == found.offers.end())
            found.offers.push_back(offer);
    }
    if (!found.offers.empty())
        return found;
    // Nothing announced: the places where weblog and site programs put their feeds.
    const size_t scheme = base.find("://");
    const size_t pathAt =
        base.find_first_of("/?#", scheme == std::string::npos ? 0 : scheme + 3);
    const std::string root = base.substr(0, pathAt);
    for (const char* place : {"/feed", "/rss.xml", "/atom.xml", "/index.xml", "/feed.xml", "/rss"}) {
        FeedOffer offer{.url = root + place};
        if (Exiting())
            break;
        if (ReadFeedHead(Get(offer.url, {}, true), offer)) {
            found.offers.push_back(offer);
            break;
        }
    }
    if (found.offers.empty())
        found.reason = "这个网页没有提供订阅 (页面中没有 RSS、Atom 或 JSON Feed 的链接, 常用的订阅地址"
                       "也没有回答)";
    return found;
}

bool CFeedFetcher::DownloadUrlToTempFile(const CAppContext& context, const std::string& url) {
    HttpResponse response = Get(url, {}, false);
    if (!response.IsSuccess() || Exiting())
        return false;
    std::string path = MakeTempFilePath(context, url);
    std::string folder = path.substr(0, path.find_last_of('/'));
    if (!CFileUtil::CreateDirectories(folder))
        return false;
    if (!CFileUtil::WriteFile(path, response.body)) {
        // Leave no part-written file for the caller to read.
        CFileUtil::RemoveFile(path);
        return false;
    }
    return true;
}

std::string CFeedFetcher::MakeTempFilePath(const CAppContext& context, const std::string& url) {
    std::string name = AsciiLower(url);
    if (size_t scheme = name.find("http://"); scheme != std::string::npos)
        name.erase(scheme, 7);
    for (char& c : name) {
        switch (c) {
        case '/':
        case '\\':
        case ':':
        case '*':
        case '?':
        case '<':
        case '>':
        case '|':
        case '%':
            c = '_';
            break;
        default:
            break;
        }
    }
    if (name.find(".xml") == std::string::npos)
        name += ".xml";
    // File names stop at 255 bytes; a longer one keeps its start and a hash of the whole.
    constexpr size_t kLongestName = 200;
    if (name.size() > kLongestName) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (unsigned char c : name) {
            hash ^= c;
            hash *= 1099511628211ull;
        }
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_%016llx.xml", static_cast<unsigned long long>(hash));
        name = name.substr(0, 160) + suffix;
    }
    return context.FilePath("Temp\\" + name);
}

bool FetchFeedItems(const std::string& url, std::vector<FeedItem>& items) {
    CFeedFetcher fetcher;
    return fetcher.FetchFeedItems(url, items);
}

std::string FetchFeedTitle(const std::string& url) {
    CFeedFetcher fetcher;
    return fetcher.FetchFeedTitle(url);
}

bool DownloadUrlToTempFile(const CAppContext& context, const std::string& url) {
    CFeedFetcher fetcher;
    return fetcher.DownloadUrlToTempFile(context, url);
}

std::string MakeTempFilePath(const CAppContext& context, const std::string& url) {
    return CFeedFetcher::MakeTempFilePath(context, url);
}
