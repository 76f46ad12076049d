#pragma once

#include "app/AppContext.h"
#include "storage/FeedItem.h"

#include <string>
#include <vector>

class CFeedDatabase;
class CFeedFetcher;

// What a search covers: the stored items under the chosen channel or directory, the stored
// items of every channel, or a news search site on the web whose answer is an RSS document.
enum class SearchScope { kCurrent = 0, kAllChannels = 1, kWeb = 2 };

struct SearchRequest {
    std::string keyword;
    SearchScope scope = SearchScope::kAllChannels;
    bool titleOnly = false;
    int count = 10;           // kWeb: how many results to ask for (10, 20, 50 or 100)
    std::vector<int> feedIds; // kCurrent: the channels at and below the selected item
    std::string placeName;    // kCurrent: the selected item's titles joined with " → "
    // Local scopes: one page of pageSize hits, the page-th (0 the first); 0: all hits at once.
    int pageSize = 0;
    int page = 0;
};

struct SearchOutcome {
    bool found = false;
    // All hits, newest first. On-line results are stored in the scratch table under feed id 0
    // (their rows are read from there, not from the received items); each item carries its
    // origin.
    std::vector<FeedItem> items;
    // How many hits there are in all (items holds one page of them when a page was asked for).
    int total = 0;
    ItemOrigin origin = ItemOrigin::kStored;
    // What to show: the count and where, or why there is nothing.
    std::string message;
    // For a failure (a store or network error): its reason, for the cli and the status line;
    // empty when the search ran and found nothing.
    std::string reason;
};

// The search of the feed reader, shared by the search bar and the cli: checks the keyword,
// runs the local search in the store or the on-line search through the fetcher, keeps the
// on-line results in the scratch table (replacing the previous ones) and words the outcome.
class CFeedSearch {
public:
    // The fetcher is used only by the on-line search; it may be null when none is run. The
    // on-line search's host is the context's setting.
    CFeedSearch(const CAppContext& context, CFeedDatabase& store, CFeedFetcher* fetcher);

    // An on-line search first removes the results of the last one, whatever its own outcome.
    SearchOutcome Run(const SearchRequest& request);

    // The address of the on-line search: the host, "/ns?word=", "title%3A" for titles only, the
    // keyword as GBK bytes, percent-encoded, and the fixed parameters asking for an RSS answer.
    static std::string WebSearchAddress(const std::string& host, const std::string& keyword,
                                        bool titleOnly, int count);
    // The host of the on-line search (the context's settings key rss/newssearchhost): scheme, host
    // and port, without a trailing "/". The old default host stopped serving RSS long ago, so a
    // user points this at one that does.
    static std::string NewsSearchHost(const CAppContext& context);
    // "" or the message that refuses the host text.
    static std::string CheckNewsSearchHost(const std::string& host);
    // What the on-line search is called where it is offered and where its results are listed:
    // "百度新闻搜索" for Baidu's host, "新闻搜索 (host)" for any other.
    static std::string NewsSearchLabel(const std::string& host);

    // True for a keyword that is empty or spaces alone (answered with kEmptyKeywordText).
    static bool IsBlank(const std::string& keyword);

    static constexpr const char* kEmptyKeywordText = "请输入要搜索的关键字";
    static constexpr const char* kNoResultText = "没有符合条件的搜索结果!";
    static constexpr const char* kDefaultNewsSearchHost = "http://news.baidu.com";
    static constexpr int kWebFeedId = 0;
    static constexpr int kResultCounts[] = {10, 20, 50, 100};

private:
    SearchOutcome Local(const SearchRequest& request);
    SearchOutcome Web(const SearchRequest& request);

    CAppContext m_context;
    CFeedDatabase& m_store;
    CFeedFetcher* m_fetcher;
};
