#include "cli/SearchCommands.h"

#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "cli/CliArguments.h"
#include "reader/ChannelTree.h"
#include "reader/FeedCleaner.h"
#include "reader/FeedFetcher.h"
#include "reader/FeedSearch.h"
#include "storage/FeedDatabase.h"

#include <climits>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {

int Error(const std::string& message) {
    GetReporter().ReportMessage(message);
    return 1;
}

// The channel tree and the store of the program directory.
struct CStores {
    explicit CStores(const CAppContext& context) : tree(context), store(context) {}
    CChannelTree tree;
    CFeedDatabase store;
    bool Open() {
        if (!tree.Build())
            return false;
        if (const StoreResult opened = store.OpenStore(); !opened) {
            GetReporter().ReportMessage(opened.reason);
            return false;
        }
        return true;
    }
    // The paths of the channels by feed id, to name where each hit was received.
    std::map<int, std::string> ChannelPaths() {
        std::map<int, std::string> paths;
        for (int index : tree.AllChannels()) {
            int feedId = 0;
            if (tree.GetFeedId(index, feedId, store))
                paths[feedId] = tree.PathText(index, "/");
        }
        return paths;
    }
};

bool ParseCount(const std::string& text, int& count) {
    return CCliArguments::ParseNumber(text, 1, 100, count);
}

} // namespace

CSearchCommands::CSearchCommands(const CAppContext& context, std::ostream& out, bool json)
    : m_context(context), m_out(out), m_json(json) {}

bool CSearchCommands::Handles(const std::string& command) {
    return command == "search" || command == "clean";
}

const char* CSearchCommands::UsageText() {
    return R"(
搜索与清理:
  search 关键字 [--in 路径 | --all] [--title-only] [--json]
                              在一个频道或目录 (--in) 或全部频道 (默认) 的文章中搜索,
                              不加 --title-only 时也搜索内容; 每项一行: 编号, 日期, 频道, 标题
  search 关键字 --web [--count N] [--title-only] [--json]
                              新闻搜索 (地址见设置 rss/newssearchhost), 取 N 条 (1~100, 默认 10);
                              结果替换上一次的新闻搜索结果
  clean 路径... --days N [--read-only]
                              清理频道 (目录: 其下所有频道) 中早于 N 天 (0~365, 0 为全部) 的文章,
                              --read-only 只清理已读文章; 之后所有频道的未读数归零, 下次收取时重新计算
)";
}

int CSearchCommands::Run(const std::string& command, const std::vector<std::string>& args) {
    return command == "search" ? Search(args) : Clean(args);
}

int CSearchCommands::Search(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"in", "count"}, {"all", "title-only", "web"}))
        return Error(args.Error());
    if (args.positional.size() != 1)
        return Error("用法: search 关键字 [--in 路径 | --all | --web [--count N]] [--title-only]");
    const int scopes = args.Has("in") + args.Has("all") + args.Has("web");
    if (scopes > 1)
        return Error("--in, --all 和 --web 只能选一个");
    if (args.Has("count") && !args.Has("web"))
        return Error("--count 只用于 --web");
    SearchRequest request{.keyword = args.positional[0],
                          .scope = args.Has("web")  ? SearchScope::kWeb
                                   : args.Has("in") ? SearchScope::kCurrent
                                                    : SearchScope::kAllChannels,
                          .titleOnly = args.Has("title-only")};
    if (args.Has("count") && !ParseCount(args.Get("count"), request.count))
        return Error("--count 需在 1~100 之间: " + args.Get("count"));
    if (CFeedSearch::IsBlank(request.keyword))
        return Error(CFeedSearch::kEmptyKeywordText);

    CStores stores(m_context);
    if (!stores.Open())
        return 1;
    if (request.scope == SearchScope::kCurrent) {
        const int index = stores.tree.FindByPath(args.Get("in"));
        if (index < 0)
            return Error("找不到频道: " + args.Get("in"));
        if (const StoreResult found =
                stores.tree.FeedIdsBelow(index, stores.store, request.feedIds);
            !found)
            return Error(found.reason);
        request.placeName = stores.tree.PathText(index);
    }
    CFeedFetcher fetcher;
    fetcher.SetProxy(CProxySetup::Read(m_context, ProxyFallback::kEnvironment));
    SearchOutcome outcome = CFeedSearch(m_context, stores.store, &fetcher).Run(request);
    if (!outcome.reason.empty())
        return Error(outcome.message + " 原因: " + outcome.reason);

    const bool web = outcome.origin == ItemOrigin::kWebSearch;
    std::map<int, std::string> paths;
    if (!web)
        paths = stores.ChannelPaths();
    const auto channel = [&](const FeedItem& item) {
        return web ? CFeedSearch::NewsSearchHost(m_context) : paths[item.feedId];
    };
    if (m_json) {
        nlohmann::json items = nlohmann::json::array();
        for (const FeedItem& item : outcome.items)
            items.push_back({{"id", item.id},
                             {"title", item.title},
                             {"channel", channel(item)},
                             {"pubDate", item.pubDate}});
        const nlohmann::json result = {{"total", outcome.items.size()}, {"items", items}};
        // Texts from an older store or a feed may hold bytes that are no UTF-8: replaced.
        m_out << result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return 0;
    }
    m_out << outcome.message << "\n";
    for (const FeedItem& item : outcome.items)
        m_out << item.id << "\t" << item.pubDate << "\t" << channel(item) << "\t" << item.title
              << "\n";
    return 0;
}

int CSearchCommands::Clean(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"days"}, {"read-only"}))
        return Error(args.Error());
    if (args.positional.empty() || !args.Has("days"))
        return Error("用法: clean 路径... --days N [--read-only]");
    CleanRequest request{.which = args.Has("read-only") ? CleanItems::kReadOnly : CleanItems::kAll};
    const std::string daysMessage = CFeedCleaner::CheckDays(args.Get("days"), request.days);
    if (!daysMessage.empty())
        return Error(daysMessage + ": " + args.Get("days"));

    CStores stores(m_context);
    if (!stores.Open())
        return 1;
    for (const std::string& path : args.positional) {
        const int index = stores.tree.FindByPath(path);
        if (index < 0)
            return Error("找不到频道: " + path);
        for (int channel : stores.tree.ChannelsBelow(index))
            request.channels.push_back(channel);
    }
    if (request.channels.empty())
        return Error(CFeedCleaner::kNoChannelText);
    CFeedCleaner cleaner(stores.tree, stores.store);
    int removed = 0;
    if (!cleaner.Clean(request, &removed))
        return Error("清理失败: " + cleaner.Error());
    m_out << "清理完成! 删除了 " << removed << " 项\n";
    return 0;
}
