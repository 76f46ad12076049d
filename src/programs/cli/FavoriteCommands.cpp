#include "cli/FavoriteCommands.h"

#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "cli/CliArguments.h"
#include "platform/fs/FileUtil.h"
#include "reader/ChannelTree.h"
#include "reader/FeedFetcher.h"
#include "reader/OpmlDiscovery.h"
#include "reader/OpmlExchange.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"

#include <climits>
#include <nlohmann/json.hpp>

#include <ostream>

namespace {

int Error(const std::string& message) {
    GetReporter().ReportMessage(message);
    return 1;
}

int Usage(const std::string& what) {
    return Error("用法: quillmark-cli " + what);
}

// The favorites tree and the store of the program directory, ready for a command.
struct CFavoritesAtHome {
    explicit CFavoritesAtHome(const CAppContext& context) : favorites(context), store(context) {}
    CRssFavorites favorites;
    CFeedDatabase store;
    bool Open() {
        if (!favorites.Build())
            return false;
        if (const StoreResult opened = store.OpenStore(); !opened) {
            GetReporter().ReportMessage(opened.reason);
            return false;
        }
        return true;
    }
    // A folder by its path ("" for the top level); -2 (reported) when there is none.
    int Folder(const std::string& path) {
        if (path.empty())
            return -1;
        int index = favorites.Tree().FindByPath(path);
        if (index < 0 || favorites.IsBox(index)) {
            GetReporter().ReportMessage("找不到收藏夹: " + path);
            return -2;
        }
        return index;
    }
    int Box(const std::string& path) {
        int index = favorites.FindBox(path);
        if (index < 0)
            GetReporter().ReportMessage("找不到收藏: " + path);
        return index;
    }
};

nlohmann::json ListJson(CFavoritesAtHome& home, const std::vector<int>& items) {
    nlohmann::json list = nlohmann::json::array();
    for (int index : items) {
        ChannelRecord record = home.favorites.Tree().Record(index);
        nlohmann::json entry = {{"path", home.favorites.Tree().PathText(index, "/")},
                                {"title", record.title},
                                {"htmlUrl", record.htmlUrl}};
        if (home.favorites.IsBox(index)) {
            std::vector<FeedItem> contents;
            home.favorites.Items(index, contents, home.store);
            entry["box"] = true;
            entry["id"] = home.favorites.BoxId(index);
            entry["items"] = contents.size();
        } else {
            entry["box"] = false;
            entry["children"] = ListJson(home, record.children);
        }
        list.push_back(std::move(entry));
    }
    return list;
}

void ListText(CFavoritesAtHome& home, const std::vector<int>& items, int depth, std::ostream& out) {
    for (int index : items) {
        ChannelRecord record = home.favorites.Tree().Record(index);
        out << std::string(depth * 2, ' ') << record.title;
        if (home.favorites.IsBox(index)) {
            std::vector<FeedItem> contents;
            home.favorites.Items(index, contents, home.store);
            out << "  [" << contents.size() << "]\n";
        } else {
            out << "/\n";
            ListText(home, record.children, depth + 1, out);
        }
    }
}

bool ParseItemId(const std::string& text, int& id) {
    return CCliArguments::ParseNumber(text, 0, INT_MAX, id);
}

bool IsAddress(const std::string& text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

} // namespace

CFavoriteCommands::CFavoriteCommands(const CAppContext& context, std::ostream& out, bool json)
    : m_context(context), m_out(out), m_json(json) {}

bool CFavoriteCommands::Handles(const std::string& command) {
    return command == "fav" || command == "opml";
}

const char* CFavoriteCommands::UsageText() {
    return R"(
收藏命令 (收藏和收藏夹以从顶层起的标题用 "/" 连接为路径):
  fav list [--json]           列出收藏夹和收藏, 以及每个收藏的文章数
  fav mkbox 名称 [--parent 收藏夹]        新建收藏
  fav mkdir 名称 [--parent 收藏夹]        新建收藏夹
  fav add 文章编号 --box 收藏             把收到的文章复制到收藏
  fav export 收藏 文件        把收藏导出为 RSS 文件
  fav import 文件 [--parent 收藏夹]       把 RSS 文件导入为一个新收藏 (以文件名命名)

OPML 命令:
  opml import 文件|地址 [--into 目录] [--no-discover]
                              把列表中有RSS地址的频道连同其目录加到目录下 (默认顶层),
                              已订阅的地址跳过; 每个频道一行: 添加 或 跳过, 路径, 地址, 原因.
                              新地址先访问一次: 网页换成它提供的订阅 (有多个时取第一个,
                              行首为 "网页"), 没有订阅的网页跳过; --no-discover 不访问网络
  opml export 文件 [--path 路径]
                              导出所有频道, 或只导出一个目录或频道
)";
}

int CFavoriteCommands::Run(const std::string& command, const std::vector<std::string>& args) {
    return command == "fav" ? Favorites(args) : Opml(args);
}

int CFavoriteCommands::Favorites(const std::vector<std::string>& argsIn) {
    if (argsIn.empty())
        return Usage("fav list|mkbox|mkdir|add|export|import ...");
    const std::string verb = argsIn.front();
    const std::vector<std::string> rest(argsIn.begin() + 1, argsIn.end());
    CCliArguments args;
    if (!args.Parse(rest, {"box", "parent"}))
        return Error(args.Error());
    const std::vector<std::string>& words = args.positional;
    CFavoritesAtHome home(m_context);
    if (!home.Open())
        return 1;

    if (verb == "list") {
        if (!words.empty())
            return Usage("fav list [--json]");
        if (m_json)
            m_out << ListJson(home, home.favorites.Tree().Roots()).dump() << "\n";
        else
            ListText(home, home.favorites.Tree().Roots(), 0, m_out);
        return 0;
    }
    if (verb == "mkbox" || verb == "mkdir") {
        if (words.size() != 1)
            return Usage("fav " + verb + " 名称 [--parent 收藏夹]");
        int parent = home.Folder(args.Get("parent"));
        if (parent == -2)
            return 1;
        int index = -1;
        const bool made = verb == "mkbox"
                              ? home.favorites.AddBox(parent, words[0], "", home.store, &index)
                              : home.favorites.AddFolder(parent, words[0], &index);
        if (!made)
            return 1;
        m_out << home.favorites.Tree().PathText(index, "/");
        if (verb == "mkbox")
            m_out << "\t" << home.favorites.BoxId(index);
        m_out << "\n";
        return 0;
    }
    if (verb == "add") {
        int itemId = 0;
        if (words.size() != 1 || !args.Has("box"))
            return Usage("fav add 文章编号 --box 收藏");
        if (!ParseItemId(words[0], itemId))
            return Error("无效的编号: " + words[0]);
        int box = home.Box(args.Get("box"));
        if (box < 0)
            return 1;
        // The favorites have reported why (the store's reason included).
        if (!home.favorites.CopyItems(box, {StoredItem(itemId)}, home.store))
            return 1;
        return 0;
    }
    if (verb == "export") {
        if (words.size() != 2)
            return Usage("fav export 收藏 文件");
        int box = home.Box(words[0]);
        if (box < 0 || !home.favorites.ExportBox(box, words[1], home.store))
            return 1;
        m_out << CRssFavorites::kExportDoneText << "\n";
        return 0;
    }
    if (verb == "import") {
        if (words.size() != 1)
            return Usage("fav import 文件 [--parent 收藏夹]");
        int parent = home.Folder(args.Get("parent"));
        if (parent == -2)
            return 1;
        int index = -1;
        if (!home.favorites.ImportBox(words[0], parent, home.store, &index))
            return 1;
        std::vector<FeedItem> items;
        home.favorites.Items(index, items, home.store);
        m_out << home.favorites.Tree().PathText(index, "/") << "\t" << items.size() << "\n";
        return 0;
    }
    return Error("未知的收藏命令: " + verb);
}

int CFavoriteCommands::Opml(const std::vector<std::string>& args) {
    if (!args.empty() && args.front() == "import")
        return OpmlImport({args.begin() + 1, args.end()});
    if (!args.empty() && args.front() == "export")
        return OpmlExport({args.begin() + 1, args.end()});
    return Usage("opml import|export ...");
}

int CFavoriteCommands::OpmlImport(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"into"}, {"no-discover"}))
        return Error(args.Error());
    if (args.positional.size() != 1)
        return Usage("opml import 文件|地址 [--into 目录] [--no-discover]");
    CChannelTree tree(m_context);
    if (!tree.Build())
        return 1;
    OutlinePath under;
    if (args.Has("into")) {
        int index = tree.FindByPath(args.Get("into"));
        if (index < 0 || !tree.Record(index).directory)
            return Error("找不到目录: " + args.Get("into"));
        under = tree.PathOf(index);
    }
    std::string source = args.positional[0];
    std::string scratch;
    if (IsAddress(source)) {
        if (!DownloadUrlToTempFile(m_context, source))
            return Error(std::string(COpmlExchange::kInvalidLinkText) + " " + source);
        scratch = MakeTempFilePath(m_context, source);
        source = scratch;
    }
    std::vector<OpmlOutline> outlines;
    std::string error;
    const bool read = COpmlExchange::ReadOutlines(source, outlines, error);
    if (!scratch.empty())
        CFileUtil::RemoveFile(scratch);
    if (!read)
        return Error(std::string(COpmlExchange::kUnknownFormatText) + ": " + error);
    const std::string channelFile = tree.FilePath();
    OpmlDiscoveryResult pages;
    if (!args.Has("no-discover")) {
        // The addresses the channels hold need no look.
        COpmlFeedFilter known;
        std::vector<OpmlOutline> subscribed;
        std::string unread;
        if (COpmlExchange::ReadOutlines(channelFile, subscribed, unread))
            known.Know(subscribed);
        const HttpProxy proxy = CProxySetup::Read(m_context, ProxyFallback::kEnvironment);
        pages = COpmlDiscovery::Resolve(outlines, known, [&](const std::string& url) {
            CFeedFetcher fetcher;
            fetcher.SetProxy(proxy);
            return fetcher.DiscoverFeeds(url);
        });
    }
    OpmlMergeResult result;
    if (!COpmlExchange::MergeInto(channelFile, under, outlines, result, error))
        return Error("添加失败! " + error);
    result.skipped.insert(result.skipped.end(), pages.dropped.begin(), pages.dropped.end());
    if (m_json) {
        nlohmann::json added = nlohmann::json::array(), skipped = nlohmann::json::array();
        for (const OpmlMergeEntry& entry : result.added)
            added.push_back({{"path", entry.path}, {"xmlUrl", entry.xmlUrl}});
        for (const OpmlMergeEntry& entry : result.skipped)
            skipped.push_back(
                {{"path", entry.path}, {"xmlUrl", entry.xmlUrl}, {"reason", entry.reason}});
        nlohmann::json resolved = nlohmann::json::array();
        for (const OpmlMergeEntry& entry : pages.resolved)
            resolved.push_back(
                {{"path", entry.path}, {"page", entry.xmlUrl}, {"reason", entry.reason}});
        m_out << nlohmann::json{{"added", added}, {"skipped", skipped}, {"pages", resolved}}.dump()
              << "\n";
        return 0;
    }
    for (const OpmlMergeEntry& entry : pages.resolved)
        m_out << "网页\t" << entry.path << "\t" << entry.xmlUrl << "\t" << entry.reason << "\n";
    for (const OpmlMergeEntry& entry : result.added)
        m_out << "添加\t" << entry.path << "\t" << entry.xmlUrl << "\n";
    for (const OpmlMergeEntry& entry : result.skipped)
        m_out << "跳过\t" << entry.path << "\t" << entry.xmlUrl << "\t" << entry.reason << "\n";
    m_out << "添加 " << result.added.size() << " 个, 跳过 " << result.skipped.size() << " 个\n";
    m_out << result.SummaryText() << "\n";
    return 0;
}

int CFavoriteCommands::OpmlExport(const std::vector<std::string>& argsIn) {
    CCliArguments args;
    if (!args.Parse(argsIn, {"path"}))
        return Error(args.Error());
    if (args.positional.size() != 1)
        return Usage("opml export 文件 [--path 路径]");
    CChannelTree tree(m_context);
    const std::string channelFile = tree.FilePath();
    std::string error;
    bool done = false;
    if (args.Has("path")) {
        if (!tree.Build())
            return 1;
        int index = tree.FindByPath(args.Get("path"));
        if (index < 0)
            return Error("找不到频道: " + args.Get("path"));
        done = COpmlExchange::ExportOutline(channelFile, tree.PathOf(index), args.positional[0],
                                            error);
    } else {
        done = COpmlExchange::ExportAll(channelFile, args.positional[0], error);
    }
    if (!done)
        return Error(std::string(COpmlExchange::kExportFailedText) + " " + error);
    m_out << COpmlExchange::kExportDoneText << "\n";
    return 0;
}
