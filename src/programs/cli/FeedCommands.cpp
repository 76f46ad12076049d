#include "cli/FeedCommands.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "reader/ChannelTree.h"
#include "reader/FeedAddress.h"
#include "reader/FeedFetcher.h"
#include "reader/FeedItemView.h"
#include "reader/FeedRules.h"
#include "reader/ReceiveScheduler.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <climits>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <unistd.h>

namespace {

bool Fail(const std::string& message) {
    GetReporter().ReportMessage(message);
    return false;
}

int Error(const std::string& message) {
    GetReporter().ReportMessage(message);
    return 1;
}

// The tree and the store of the program directory, ready for a command.
struct CReader {
    explicit CReader(const CAppContext& context) : tree(context), store(context) {}
    CChannelTree tree;
    CFeedDatabase store;
    bool Open() {
        if (!tree.Build())
            return false;
        if (const StoreResult opened = store.OpenStore(); !opened)
            return Fail(opened.reason);
        return true;
    }
    int Find(const std::string& path, bool allowTop = false) {
        if (allowTop && path.empty())
            return -1;
        int index = tree.FindByPath(path);
        if (index < 0)
            Fail("找不到频道: " + path);
        return index;
    }
};

std::string SlashPath(const CChannelTree& tree, int index) {
    return tree.PathText(index, "/");
}

int Unread(CReader& reader, int index) {
    int feedId = 0, unread = 0;
    if (reader.tree.GetFeedId(index, feedId, reader.store))
        reader.store.GetUnreadCount(feedId, unread);
    return unread;
}

CliJson EnclosuresJson(const std::vector<FeedEnclosure>& enclosures) {
    CliJson list = CliJson::array();
    for (const FeedEnclosure& enclosure : enclosures)
        list.push_back(
            {{"url", enclosure.url}, {"type", enclosure.type}, {"length", enclosure.length}});
    return list;
}

CliJson ListJson(CReader& reader, const std::vector<int>& items) {
    CliJson list = CliJson::array();
    for (int index : items) {
        ChannelRecord record = reader.tree.Record(index);
        int feedId = 0;
        int unread = 0;
        if (!record.directory) {
            reader.tree.GetFeedId(index, feedId, reader.store);
            unread = Unread(reader, index);
        }
        list.push_back({{"path", SlashPath(reader.tree, index)},
                        {"title", record.title},
                        {"directory", record.directory},
                        {"xmlUrl", record.xmlUrl},
                        {"htmlUrl", record.htmlUrl},
                        {"feedId", feedId},
                        {"unread", unread},
                        {"children", ListJson(reader, record.children)}});
    }
    return list;
}

void ListText(CReader& reader, const std::vector<int>& items, int depth, std::ostream& out) {
    for (int index : items) {
        ChannelRecord record = reader.tree.Record(index);
        out << std::string(depth * 2, ' ') << record.title;
        if (record.directory) {
            out << "/\n";
            ListText(reader, record.children, depth + 1, out);
        } else {
            int unread = Unread(reader, index);
            if (unread)
                out << " [" << unread << "]";
            out << "  " << record.xmlUrl << "\n";
        }
    }
}

// Prints one line per received channel. On a terminal a progress line below them shows the
// round's counts, and its summary stays when the receive ends; piped output has only the
// channels' lines.
class CCliReceiveObserver : public CReceiveObserver {
public:
    CCliReceiveObserver(CChannelTree& tree, std::ostream& out, std::ostream* progress)
        : m_tree(tree), m_out(out), m_progress(progress) {}
    void OnChannelDone(const ChannelReceiveResult& result) override {
        std::lock_guard lock(m_lock);
        ClearProgressLine();
        m_out << SlashPath(m_tree, result.index) << "\t"
              << (result.Ok() ? "ok" : "failed: " + result.reason) << "\t" << result.newItems
              << "\t" << result.unread << "\n";
        m_out.flush();
        if (!result.Ok())
            m_failed = true;
        ShowProgressLine();
    }
    void OnProgress(const ReceiveProgress& progress) override {
        std::lock_guard lock(m_lock);
        m_line = progress.Text();
        ShowProgressLine();
    }
    void OnRoundEnd(const ReceiveProgress& progress, const std::vector<NewItemsNote>&) override {
        std::lock_guard lock(m_lock);
        if (!m_progress)
            return;
        ClearProgressLine();
        m_line.clear();
        *m_progress << progress.Text() << "\n";
        m_progress->flush();
    }
    bool Failed() const { return m_failed; }

private:
    // "\r" and "erase to the end of the line": the progress line is written over in place.
    void ClearProgressLine() {
        if (m_progress && !m_line.empty())
            *m_progress << "\r\x1b[K" << std::flush;
    }
    void ShowProgressLine() {
        if (m_progress && !m_line.empty())
            *m_progress << "\r\x1b[K" << m_line << std::flush;
    }

    CChannelTree& m_tree;
    std::ostream& m_out;
    std::ostream* m_progress; // null when the error output is no terminal
    std::mutex m_lock;
    std::string m_line; // the progress line shown
    bool m_failed = false;
};

// The filter a --filter word names; nothing for an unknown word.
std::optional<ItemFilter> FilterNamed(const std::string& name) {
    if (name.empty() || name == "all")
        return ItemFilter::kAll;
    if (name == "read")
        return ItemFilter::kRead;
    if (name == "unread")
        return ItemFilter::kUnread;
    if (name == "new")
        return ItemFilter::kNew;
    return std::nullopt;
}

// A whole decimal number that fits in 32 bits (the tree checks the ranges); anything else is
// refused with the option's name.
bool ParseNumber(const std::string& name, const std::string& text, int& value) {
    if (!CCliArguments::ParseNumber(text, INT_MIN, INT_MAX, value))
        return Fail("无效的数值: " + name + " " + text);
    return true;
}

bool ParseId(const std::string& text, int& id) {
    if (!CCliArguments::ParseNumber(text, 0, INT_MAX, id))
        return Fail("无效的编号: " + text);
    return true;
}

} // namespace

CFeedCommands::CFeedCommands(const CAppContext& context, std::ostream& out, bool json)
    : m_context(context), m_out(out), m_json(json) {}

const char* CFeedCommands::UsageText() {
    return R"(
阅读器命令 (路径为从顶层起的标题, 用 "/" 连接):
  channel add 地址 [--title 名称] [--parent 目录] [--site 网站地址]
                              订阅频道 (不给名称时从地址获取)
  channel mkdir 名称 [--parent 目录]      新建目录
  channel rename 路径 新名称              重命名
  channel move 路径 (--up | --top | --into 目录)
                              上移, 移到根目录, 或移入目录
  channel rm 路径             删除频道或目录, 连同其文章
  channel clear 路径          清空文章
  channel set 路径 [--rank 0|5] [--storage 类型 [数量]] [--autoupdate 0|1] [--tip 0|1]
                              频道设置
  channel list [--json]       列出频道树
  receive [路径] [--all] [--by-weight] [--timeout 秒]
                              收取; 每个频道一行: 路径, ok 或 "failed: 原因", 新文章数, 未读数;
                              在终端上另有一行进度, 结束时给出汇总
  items 路径 [--filter all|read|unread|new] [--page N] [--json]
                              列出文章
  item show 编号 [--html] | item read 编号 | item unread 编号
  item important 编号 | item unimportant 编号
                              标记为重要, 或取消重要标记
  mark-read 路径              标记为已读
  rules list [--json]         列出过滤规则
  rules add (--contains 文字 | --regex 表达式) [--field title|author|description|link]
            [--scope 路径] [--case] (--read | --delete | --copy 收藏节点路径 | --important)
                              添加过滤规则, 用于此后收到的新文章; 不给 --scope 时作用于
                              所有频道, 给出目录时作用于其下所有频道; 默认不区分大小写
  rules rm 编号               删除过滤规则
  rules test 编号             已存文章中会被规则命中的条数
)";
}

bool CFeedCommands::Handles(const std::string& command) {
    for (const char* word : {"channel", "receive", "items", "item", "mark-read", "rules"}) {
        if (command == word)
            return true;
    }
    return false;
}

int CFeedCommands::Run(const std::string& command, const std::vector<std::string>& args) {
    if (command == "channel")
        return Channel(args);
    if (command == "receive")
        return Receive(args);
    if (command == "items")
        return Items(args);
    if (command == "item")
        return Item(args);
    if (command == "rules")
        return Rules(args);
    return MarkRead(args);
}

int CFeedCommands::Channel(const std::vector<std::string>& argsIn) {
    if (argsIn.empty())
        return Error("缺少子命令: channel add|mkdir|rename|move|rm|clear|set|list");
    const std::string sub = argsIn.front();
    // Each subcommand takes only its own options: one meant for another (channel add --into)
    // is refused rather than quietly ignored.
    struct SubOptions {
        const char* sub;
        std::vector<std::string> valued;
        std::vector<std::string> flags;
    };
    static const SubOptions kOptions[] = {
        {"add", {"title", "parent", "site"}, {}},
        {"mkdir", {"parent"}, {}},
        {"move", {"into"}, {"up", "top"}},
        {"set", {"rank", "storage", "autoupdate", "tip"}, {}},
    };
    std::vector<std::string> valued;
    std::vector<std::string> flags;
    for (const SubOptions& options : kOptions) {
        if (sub == options.sub) {
            valued = options.valued;
            flags = options.flags;
        }
    }
    CCliArguments args;
    if (!args.Parse(std::vector<std::string>(argsIn.begin() + 1, argsIn.end()), valued, flags))
        return Error(args.Error());
    CReader reader(m_context);
    if (!reader.Open())
        return 1;
    CChannelTree& tree = reader.tree;

    if (sub == "list") {
        if (m_json) {
            PrintJson(m_out, ListJson(reader, tree.Roots()));
        } else {
            ListText(reader, tree.Roots(), 0, m_out);
        }
        return 0;
    }
    if (sub == "add" && args.positional.size() == 1) {
        int parent = args.Has("parent") ? reader.Find(args.Get("parent")) : -1;
        if (args.Has("parent") && parent < 0)
            return 1;
        std::string url = args.positional[0];
        std::string title = args.Get("title");
        if (title.empty() && !url.empty()) {
            // The address is checked before anything is fetched from it.
            if (std::string address; !CFeedAddress::Normalize(url, address))
                return Error(CFeedAddress::kInvalidAddressText);
            CFeedFetcher fetcher;
            fetcher.SetProxy(CProxySetup::Read(m_context, ProxyFallback::kEnvironment));
            // A web page instead of a feed: the feed it announces, when it is just one.
            const FeedDiscovery found = fetcher.DiscoverFeeds(url);
            if (found.offers.size() > 1) {
                std::string list = "这个网页提供多个订阅, 请用其中一个地址订阅:";
                for (const FeedOffer& offer : found.offers)
                    list += "\n  " + offer.url + (offer.title.empty() ? "" : "  " + offer.title);
                return Error(list);
            }
            // A page without feeds says so; an address that did not answer is left to the
            // title check below.
            if (found.answered && found.offers.empty())
                return Error(found.reason);
            if (!found.offers.empty()) {
                if (!found.isFeed) {
                    url = found.offers[0].url;
                    m_out << "网页提供的订阅: " << url << "\n";
                }
                title = found.offers[0].title;
                if (!found.isFeed && title.empty())
                    title = fetcher.FetchFeedTitle(url);
            }
            if (title.empty())
                GetReporter().ReportMessage("无法获取标题!");
        }
        int index = -1;
        if (!tree.AddSubscription(parent, url, title, args.Get("site"), &index))
            return 1;
        m_out << SlashPath(tree, index) << "\n";
        return 0;
    }
    if (sub == "mkdir" && args.positional.size() == 1) {
        int parent = args.Has("parent") ? reader.Find(args.Get("parent")) : -1;
        if (args.Has("parent") && parent < 0)
            return 1;
        int index = -1;
        if (!tree.AddDirectory(parent, args.positional[0], &index))
            return 1;
        m_out << SlashPath(tree, index) << "\n";
        return 0;
    }
    if (args.positional.empty())
        return Error("缺少频道路径");
    int index = reader.Find(args.positional[0]);
    if (index < 0)
        return 1;
    if (sub == "rename" && args.positional.size() == 2)
        return tree.Rename(index, args.positional[1]) ? 0 : 1;
    if (sub == "move" && args.positional.size() == 1) {
        if (args.Has("up"))
            return tree.MoveUp(index) ? 0 : Error("移动失败!");
        if (args.Has("top"))
            return tree.MoveToTop(index) ? 0 : 1;
        if (args.Has("into")) {
            int target = reader.Find(args.Get("into"));
            return target >= 0 && tree.MoveInto(index, target) ? 0 : 1;
        }
        return Error("请指定 --up, --top 或 --into 目录");
    }
    if (sub == "rm" && args.positional.size() == 1)
        return tree.Delete(index, reader.store) ? 0 : 1;
    if (sub == "clear" && args.positional.size() == 1)
        return tree.Clear(index, reader.store) ? 0 : 1;
    if (sub == "set" && args.positional.size() <= 2) {
        ChannelRecord record = tree.Record(index);
        if (record.directory)
            return Error("只能设置频道, 不能设置目录: " + args.positional[0]);
        int feedId = 0;
        if (!tree.GetFeedId(index, feedId, reader.store))
            return Error("设置失败!");
        record = tree.Record(index);
        ChannelProperties properties = ChannelProperties::Of(record);
        int storage = static_cast<int>(properties.storageType);
        const std::pair<const char*, int*> numbers[] = {
            {"rank", &properties.rssRank},
            {"autoupdate", &properties.autoUpdate},
            {"tip", &properties.newItemShowTip},
            {"storage", &storage},
        };
        for (const auto& [name, field] : numbers) {
            if (args.Has(name) && !ParseNumber(std::string("--") + name, args.Get(name), *field))
                return 1;
        }
        // The count follows the type as its own word: --storage 2 500.
        if (args.Has("storage") && args.positional.size() > 1 &&
            !ParseNumber("--storage", args.positional[1], properties.storageNum))
            return 1;
        // The tree refuses a number of no rule.
        properties.storageType = static_cast<StorageRule>(storage);
        if (args.Has("storage") && storage != 0) {
            std::string message = CSettingsChecks::CheckStoragePage(storage, properties.storageNum);
            if (!message.empty())
                return Error(message);
        }
        // The tree checks the ranges, as it does for the property sheet.
        return tree.SetChannelProperties(index, properties, reader.store) ? 0 : 1;
    }
    return Error("无效的 channel 命令");
}

int CFeedCommands::Receive(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"timeout"}, {"all", "by-weight"}))
        return Error(args.Error());
    HttpLimits limits;
    if (args.Has("timeout")) {
        int value = 0;
        if (!CCliArguments::ParseNumber(args.Get("timeout"), 1, 3600, value))
            return Error("--timeout 需为 1~3600 之间的秒数");
        limits.totalTimeoutMs = value * 1000L;
        limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, limits.totalTimeoutMs);
    }
    CReader reader(m_context);
    if (!reader.Open())
        return 1;
    // The settings were reported already; say what that means for this receive.
    const bool settingsUnreadable = reader.tree.Options().settingsUnreadable;
    if (settingsUnreadable)
        GetReporter().ReportMessage(
            "程序设置无法读取: 本次收取不删除任何文章 (config/appConfig.xml "
            "未改动, 请修复或删除它)");
    CCliReceiveObserver observer(reader.tree, m_out, isatty(STDERR_FILENO) ? &std::cerr : nullptr);
    CReceiveScheduler scheduler(m_context, reader.tree, observer);
    scheduler.SetLimits(limits);
    if (!args.positional.empty()) {
        int index = reader.Find(args.positional[0]);
        if (index < 0)
            return 1;
        if (reader.tree.Record(index).directory)
            scheduler.ReceiveBranch(index, {.takeEvery = true});
        else
            scheduler.ReceiveChannel(index, {.byHand = true});
    } else if (args.Has("by-weight")) {
        scheduler.ReceiveAllByWeight();
    } else {
        scheduler.ReceiveAll();
    }
    scheduler.Wait();
    return observer.Failed() || settingsUnreadable ? 1 : 0;
}

int CFeedCommands::Items(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"filter", "page"}))
        return Error(args.Error());
    if (args.positional.size() != 1)
        return Error("用法: items 路径 [--filter all|read|unread|new] [--page N]");
    const std::optional<ItemFilter> filter = FilterNamed(args.Get("filter"));
    if (!filter)
        return Error("无效的过滤条件: " + args.Get("filter"));
    int page = 1;
    if (args.Has("page") && !ParseNumber("--page", args.Get("page"), page))
        return 1;
    if (page < 1)
        return Error("页码从 1 开始");
    CReader reader(m_context);
    if (!reader.Open())
        return 1;
    int index = reader.Find(args.positional[0]);
    if (index < 0)
        return 1;
    CFeedItemView view(m_context, reader.tree, reader.store);
    view.SetFilter(*filter);
    ItemPage items;
    const StoreResult shown = reader.tree.Record(index).directory
                                  ? view.ShowDirectory(index, items)
                                  : view.ShowChannelItems(index, page - 1, items);
    if (!shown)
        return Error(shown.reason);
    if (m_json) {
        CliJson list = CliJson::array();
        for (const FeedItem& item : items.items) {
            list.push_back({{"id", item.id},
                            {"title", item.title},
                            {"author", item.author},
                            {"pubDate", item.pubDate},
                            {"read", item.isRead},
                            {"new", item.isNew},
                            {"important", item.isImportant}});
        }
        PrintJson(m_out, {{"total", items.total},
                          {"page", items.page + 1},
                          {"pages", items.pageCount},
                          {"items", list}});
        return 0;
    }
    m_out << "共 " << items.total << " 项, 第 " << items.page + 1 << "/" << items.pageCount
          << " 页\n";
    for (const FeedItem& item : items.items) {
        m_out << item.id << "\t" << (item.isNew ? "新" : (item.isRead ? " " : "*")) << "\t"
              << item.pubDate << "\t" << item.title << "\n";
    }
    return 0;
}

int CFeedCommands::Item(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {}, {"html"}))
        return Error(args.Error());
    if (args.positional.size() != 2)
        return Error("用法: item show|read|unread|important|unimportant 编号");
    int id = 0;
    if (!ParseId(args.positional[1], id))
        return 1;
    CReader reader(m_context);
    if (!reader.Open())
        return 1;
    CFeedItemView view(m_context, reader.tree, reader.store);
    const std::string& sub = args.positional[0];
    if (sub == "read" || sub == "unread") {
        if (const StoreResult marked = view.MarkItemRead(StoredItem(id), sub == "read"); !marked)
            return Error(marked.reason);
        return 0;
    }
    if (sub == "important" || sub == "unimportant") {
        if (const StoreResult marked = view.MarkItemImportant(StoredItem(id), sub == "important");
            !marked)
            return Error(marked.reason);
        return 0;
    }
    if (sub != "show")
        return Error("用法: item show|read|unread|important|unimportant 编号");
    if (args.Has("html")) {
        std::string skin;
        m_context.Settings().ReadAppValue("rss/articlestyle", skin);
        if (!skin.empty())
            view.SetSkin(skin);
        std::string html;
        // Printed, the document has no pane to load images on a click: they are always in it.
        if (const StoreResult rendered = view.RenderItem(StoredItem(id), html, ImageLoading::kAll);
            !rendered)
            return Error(rendered.reason);
        m_out << html;
        return 0;
    }
    FeedItem item;
    if (const StoreResult found = reader.store.GetItem(StoredItem(id), item); !found)
        return Error(found.reason);
    if (m_json) {
        PrintJson(m_out, {{"id", item.id},
                          {"feedId", item.feedId},
                          {"title", item.title},
                          {"link", item.link},
                          {"author", item.author},
                          {"pubDate", item.pubDate},
                          {"read", item.isRead},
                          {"new", item.isNew},
                          {"important", item.isImportant},
                          {"description", item.description},
                          {"enclosures", EnclosuresJson(item.enclosures)}});
        return 0;
    }
    m_out << "标题: " << item.title << "\n链接: " << item.link << "\n作者: " << item.author
          << "\n日期: " << item.pubDate << "\n状态: " << (item.isRead ? "已读" : "未读")
          << (item.isNew ? ", 新" : "") << (item.isImportant ? ", 重要" : "") << "\n";
    for (const FeedEnclosure& enclosure : item.enclosures) {
        m_out << "附件: " << enclosure.url;
        const std::string size = CFeedItemView::SizeText(enclosure.length);
        if (!enclosure.type.empty() || !size.empty())
            m_out << " (" << enclosure.type << (enclosure.type.empty() || size.empty() ? "" : ", ")
                  << size << ")";
        m_out << "\n";
    }
    m_out << "\n" << item.description << "\n";
    return 0;
}

int CFeedCommands::MarkRead(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Error("用法: mark-read 路径");
    CReader reader(m_context);
    if (!reader.Open())
        return 1;
    int index = reader.Find(args[0]);
    if (index < 0)
        return 1;
    CFeedItemView view(m_context, reader.tree, reader.store);
    const StoreResult marked = view.MarkRead(index);
    return marked ? 0 : Error(marked.reason);
}

namespace {

// A rule as one line of "rules list".
std::string RuleText(const FeedRule& rule) {
    std::string text = std::to_string(rule.id) + "\t";
    text += rule.scope == RuleScope::kAll ? "所有频道" : rule.scopePath;
    text += "\t" + std::string(CFeedRules::FieldName(rule.field)) + " " +
            CFeedRules::MatchName(rule.match) + " \"" + rule.pattern + "\"";
    if (rule.caseSensitive)
        text += " (区分大小写)";
    text += "\t" + std::string(CFeedRules::ActionName(rule.action));
    if (rule.action == RuleAction::kCopyToFavorites)
        text += " " + rule.box;
    return text;
}

} // namespace

int CFeedCommands::Rules(const std::vector<std::string>& argsIn) {
    constexpr const char* kUsage =
        "用法: rules list | rules add (--contains 文字 | --regex 表达式) [--field 字段] "
        "[--scope 路径] [--case] (--read | --delete | --copy 收藏节点路径 | --important) | "
        "rules rm 编号 | "
        "rules test 编号";
    CCliArguments args;
    if (!args.Parse(argsIn, {"contains", "regex", "field", "scope", "copy"},
                    {"case", "read", "delete", "important"}))
        return Error(args.Error());
    if (args.positional.empty())
        return Error(kUsage);
    const std::string& sub = args.positional[0];
    CFeedRules rules(CFeedRules::DefaultPath(m_context));
    std::string error;
    if (!rules.Load(error))
        return Error(error);
    if (sub == "list" && args.positional.size() == 1) {
        if (m_json) {
            CliJson list = CliJson::array();
            for (const FeedRule& rule : rules.Rules())
                list.push_back({{"id", rule.id},
                                {"scope", CFeedRules::ScopeName(rule.scope)},
                                {"scopePath", rule.scopePath},
                                {"field", CFeedRules::FieldName(rule.field)},
                                {"match", CFeedRules::MatchName(rule.match)},
                                {"pattern", rule.pattern},
                                {"caseSensitive", rule.caseSensitive},
                                {"action", CFeedRules::ActionName(rule.action)},
                                {"box", rule.box}});
            PrintJson(m_out, list);
            return 0;
        }
        for (const FeedRule& rule : rules.Rules())
            m_out << RuleText(rule) << "\n";
        return 0;
    }
    if (sub == "add" && args.positional.size() == 1) {
        FeedRule rule;
        if (args.Has("contains") == args.Has("regex"))
            return Error("需要 --contains 或 --regex 之一");
        rule.match = args.Has("regex") ? RuleMatch::kRegex : RuleMatch::kContains;
        rule.pattern = args.Get(args.Has("regex") ? "regex" : "contains");
        if (args.Has("field") && !CFeedRules::ParseField(args.Get("field"), rule.field))
            return Error("无效的字段: " + args.Get("field") +
                         " (title、author、description 或 link)");
        rule.caseSensitive = args.Has("case");
        const int actions =
            args.Has("read") + args.Has("delete") + args.Has("copy") + args.Has("important");
        if (actions != 1)
            return Error("需要 --read、--delete、--copy 或 --important 之一");
        rule.action = args.Has("read")        ? RuleAction::kMarkRead
                      : args.Has("delete")    ? RuleAction::kDelete
                      : args.Has("important") ? RuleAction::kMarkImportant
                                              : RuleAction::kCopyToFavorites;
        rule.box = args.Get("copy");
        CReader reader(m_context);
        if (args.Has("scope")) {
            if (!reader.tree.Build())
                return 1;
            const int index = reader.Find(args.Get("scope"));
            if (index < 0)
                return 1;
            rule.scope =
                reader.tree.Record(index).directory ? RuleScope::kDirectory : RuleScope::kChannel;
            rule.scopePath = args.Get("scope");
        }
        int id = 0;
        if (std::string why = rules.Add(rule, &id); !why.empty())
            return Error(why);
        m_out << id << "\n";
        return 0;
    }
    if ((sub == "rm" || sub == "test") && args.positional.size() == 2) {
        int id = 0;
        if (!ParseId(args.positional[1], id))
            return 1;
        const FeedRule* rule = rules.Find(id);
        if (!rule)
            return Error("没有编号为 " + std::to_string(id) + " 的规则");
        if (sub == "rm") {
            if (std::string why = rules.Remove(id); !why.empty())
                return Error(why);
            return 0;
        }
        CReader reader(m_context);
        if (!reader.Open())
            return 1;
        const int hits = CRuleFilter::CountHits(*rule, reader.tree, reader.store, error);
        if (hits < 0)
            return Error(error);
        m_out << hits << "\n";
        return 0;
    }
    return Error(kUsage);
}
