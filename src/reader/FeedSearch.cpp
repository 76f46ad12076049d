#include "reader/FeedSearch.h"

#include "app/AppContext.h"
#include "platform/text/ReasonText.h"

#include "app/AppSettings.h"
#include "platform/text/TextCodec.h"
#include "reader/FeedFetcher.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <climits>

namespace {

std::string Found(size_t count, const std::string& keyword, const std::string& where) {
    return "有 " + std::to_string(count) + " 项符合关键字 \"" + keyword + "\" 的结果, " + where;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

CFeedSearch::CFeedSearch(const CAppContext& context, CFeedDatabase& store, CFeedFetcher* fetcher)
    : m_context(context), m_store(store), m_fetcher(fetcher) {}

bool CFeedSearch::IsBlank(const std::string& keyword) {
    return keyword.find_first_not_of(" \t\r\n\f\v") == std::string::npos;
}

SearchOutcome CFeedSearch::Run(const SearchRequest& request) {
    if (IsBlank(request.keyword)) {
        SearchOutcome outcome;
        outcome.message = kEmptyKeywordText;
        return outcome;
    }
    return request.scope == SearchScope::kWeb ? Web(request) : Local(request);
}

SearchOutcome CFeedSearch::Local(const SearchRequest& request) {
    SearchOutcome outcome;
    const bool all = request.scope == SearchScope::kAllChannels;
    StoreResult read;
    if (request.pageSize > 0) {
        // The offset is taken in 64 bits: a page number can be anything.
        const long long offset = static_cast<long long>(std::max(request.page, 0)) *
                                 static_cast<long long>(request.pageSize);
        read = m_store.SearchItemPage({.text = request.keyword,
                                       .feedIds = request.feedIds,
                                       .allFeeds = all,
                                       .inDescription = !request.titleOnly},
                                      static_cast<int>(std::min<long long>(offset, INT_MAX)),
                                      request.pageSize, outcome.items, outcome.total);
    } else {
        read = m_store.SearchItems(request.keyword, outcome.items, request.feedIds, all,
                                   !request.titleOnly);
        outcome.total = static_cast<int>(outcome.items.size());
    }
    if (!read) {
        outcome.reason = read.reason;
        outcome.message = kNoResultText;
        return outcome;
    }
    outcome.found = outcome.total > 0;
    if (!outcome.found)
        outcome.message = kNoResultText;
    else if (all)
        outcome.message = Found(outcome.total, request.keyword, "在全部频道中");
    else
        outcome.message =
            Found(outcome.total, request.keyword, "在 \"" + request.placeName + "\" 中");
    return outcome;
}

SearchOutcome CFeedSearch::Web(const SearchRequest& request) {
    SearchOutcome outcome;
    outcome.origin = ItemOrigin::kWebSearch;
    outcome.message = kNoResultText;
    // The last results go first: a search that finds nothing leaves none behind.
    if (const StoreResult cleared = m_store.ClearTempItems(kWebFeedId); !cleared) {
        outcome.reason = cleared.reason;
        return outcome;
    }
    const std::string host = NewsSearchHost(m_context);
    outcome.reason = CheckNewsSearchHost(host);
    if (!outcome.reason.empty())
        return outcome;
    if (!m_fetcher) {
        outcome.reason = CReasonText::Text(Reason::kNoNetworkForWebSearch);
        return outcome;
    }
    std::vector<FeedItem> items;
    const FeedFetchResult fetched = m_fetcher->Fetch(
        WebSearchAddress(host, request.keyword, request.titleOnly, request.count), items);
    if (items.empty()) {
        outcome.reason = fetched.errorText;
        return outcome;
    }
    if (const StoreResult saved = m_store.SaveTempItems(kWebFeedId, items); !saved) {
        outcome.reason = saved.reason;
        return outcome;
    }
    outcome.found = true;
    outcome.reason.clear();
    outcome.message = Found(items.size(), request.keyword, "在" + NewsSearchLabel(host) + "中");
    outcome.total = static_cast<int>(items.size());
    outcome.items = std::move(items);
    for (FeedItem& item : outcome.items) {
        // As the scratch rows hold them: new and unread, under the on-line feed id.
        item.feedId = kWebFeedId;
        item.isNew = 1;
        item.isRead = 0;
        item.origin = ItemOrigin::kWebSearch;
    }
    return outcome;
}

std::string CFeedSearch::WebSearchAddress(const std::string& host, const std::string& keyword,
                                          bool titleOnly, int count) {
    // The service reads the keyword as GBK ("ie=gb2312"). Its bytes are percent-encoded, which
    // is what reaches the server from a browser too: raw bytes above 127 are no valid address.
    std::string address = host + "/ns?word=" + (titleOnly ? "title%3A" : "");
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : CTextCodec::Utf8ToGbk(keyword)) {
        if (IsUnreserved(c)) {
            address += static_cast<char>(c);
        } else {
            address += '%';
            address += kHex[c >> 4];
            address += kHex[c & 15];
        }
    }
    return address + "&ie=gb2312&cl=2&rn=" + std::to_string(count) + "&ct=0&tn=newsrss&class=0";
}

std::string CFeedSearch::NewsSearchHost(const CAppContext& context) {
    std::string host;
    if (!context.Settings().ReadAppValue("rss/newssearchhost", host) || host.empty())
        host = kDefaultNewsSearchHost;
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    return host;
}

std::string CFeedSearch::NewsSearchLabel(const std::string& host) {
    std::string bare = host;
    for (const char* scheme : {"http://", "https://"})
        if (bare.rfind(scheme, 0) == 0)
            bare.erase(0, std::char_traits<char>::length(scheme));
    while (!bare.empty() && bare.back() == '/')
        bare.pop_back();
    if (bare == "news.baidu.com")
        return "百度新闻搜索";
    return "新闻搜索 (" + bare + ")";
}

std::string CFeedSearch::CheckNewsSearchHost(const std::string& host) {
    const bool web = host.rfind("http://", 0) == 0 || host.rfind("https://", 0) == 0;
    if (!web || host.find_first_of(" ?#\t\r\n") != std::string::npos)
        return "新闻搜索的地址需以 http:// 或 https:// 开头, 例如 " +
               std::string(kDefaultNewsSearchHost);
    return {};
}
