#include "reader/FeedFetcher.h"

#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "platform/fs/FileUtil.h"
#include "reader/FeedParser.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kFeedAccept = "application/rss+xml, application/atom+xml, "
                                    "application/rdf+xml;q=0.9, application/xml;q=0.8, "
                                    "text/xml;q=0.8, */*;q=0.5";

// The charset parameter of a Content-Type value, "" when there is none.
std::string CharsetOf(const std::string& contentType) {
    std::string lower;
    for (char c : contentType)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
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

} // namespace

CFeedFetcher::CFeedFetcher() {
    m_client.SetExitFlag(&g_bAppExiting);
}

HttpProxy CFeedFetcher::ProxyFromSettings(const ProxySettings& settings) {
    HttpProxy proxy;
    if (!settings.use)
        return proxy;
    proxy.mode = HttpProxy::Mode::kManual;
    proxy.useForLocalHosts = settings.localProxyUse != 0;
    proxy.server = settings.server;
    proxy.port = settings.port;
    proxy.userName = settings.userName;
    proxy.password = settings.password;
    return proxy;
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

    if (Exiting() || response.result == HttpResult::kCancelled) {
        result.outcome = FeedFetchResult::Outcome::kCancelled;
        return result;
    }
    if (!response.Ok()) {
        result.outcome = FeedFetchResult::Outcome::kNetworkError;
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
        result.errorText = "HTTP status " + std::to_string(response.status);
        return result;
    }
    document.body = std::move(response.body);
    document.url = response.finalUrl.empty() ? url : response.finalUrl;
    document.charset = CharsetOf(response.contentType);
    result.outcome = FeedFetchResult::Outcome::kItems;
    return result;
}

bool CFeedFetcher::ReadDocument(const FeedDocument& document, CFeedItemSink& sink,
                                size_t batchSize) {
    CFeedParser parser;
    parser.SetBaseUrl(document.url);
    parser.SetTransportCharset(document.charset);
    return parser.ParseItems(document.body, sink, batchSize);
}

bool CFeedFetcher::ReadDocument(const FeedDocument& document, std::vector<FeedItem>& items) {
    CFeedParser parser;
    parser.SetBaseUrl(document.url);
    parser.SetTransportCharset(document.charset);
    return parser.ParseItems(document.body, items);
}

FeedFetchResult CFeedFetcher::Fetch(const std::string& url, std::vector<FeedItem>& items,
                                    const FeedValidators& validators) {
    FeedDocument document;
    FeedFetchResult result = FetchDocument(url, document, validators);
    if (result.outcome == FeedFetchResult::Outcome::kItems && !ReadDocument(document, items))
        result.outcome = FeedFetchResult::Outcome::kNoItems;
    return result;
}

bool CFeedFetcher::FetchFeedItems(const std::string& url, std::vector<FeedItem>& items) {
    return Fetch(url, items).outcome == FeedFetchResult::Outcome::kItems;
}

std::string CFeedFetcher::FetchFeedTitle(const std::string& url) {
    HttpResponse response = Get(url, {}, true);
    if (!response.IsSuccess() || Exiting())
        return {};
    CFeedParser parser;
    parser.SetTransportCharset(CharsetOf(response.contentType));
    return parser.ParseTitle(response.body);
}

bool CFeedFetcher::DownloadUrlToTempFile(const std::string& url) {
    HttpResponse response = Get(url, {}, false);
    if (!response.IsSuccess() || Exiting())
        return false;
    std::string path = MakeTempFilePath(url);
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

std::string CFeedFetcher::MakeTempFilePath(const std::string& url) {
    std::string name;
    name.reserve(url.size() + 4);
    for (char c : url)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
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
    return GetAppFilePath("Temp\\" + name);
}

bool FetchFeedItems(const std::string& url, std::vector<FeedItem>& items) {
    CFeedFetcher fetcher;
    return fetcher.FetchFeedItems(url, items);
}

std::string FetchFeedTitle(const std::string& url) {
    CFeedFetcher fetcher;
    return fetcher.FetchFeedTitle(url);
}

bool DownloadUrlToTempFile(const std::string& url) {
    CFeedFetcher fetcher;
    return fetcher.DownloadUrlToTempFile(url);
}

std::string MakeTempFilePath(const std::string& url) {
    return CFeedFetcher::MakeTempFilePath(url);
}
