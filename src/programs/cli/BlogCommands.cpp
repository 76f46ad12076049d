#include "cli/BlogCommands.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "app/Reporter.h"
#include "blogclient/MsnSpacesApi.h"
#include "cli/CliCommands.h"
#include "cli/CliJson.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"
#include "reader/FeedDate.h"
#include "storage/ArticleDatabase.h"
#include "workspace/AccountSetup.h"
#include "workspace/ArticleOperations.h"
#include "workspace/EditorLauncher.h"
#include "workspace/WeblogDiscovery.h"
#include "workspace/WeblogLibrary.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <ctime>
#include <mutex>
#include <optional>
#include <ostream>

namespace {

const char* kUsage = R"(
博客命令:
  account add --name 名称 --description 描述 --type Blogger|MetaWeblog|MovableType|"MSN Spaces"|"WordPress REST"
              --url 地址 --port 端口 --user 用户名 --password 密码 --encoding UTF-8|GB2312
              [--blog-url 博客地址]      新建账户
  account list [--json]       列出账户
  account rm 名称             删除账户和它的所有文章
  account discover 地址 [--json]
                              从博客首页查找接口 (RSD 和 WordPress REST 链接), 说明找到的接口、
                              各自是否回答和将使用的接口; 找不到时退出码非零
  account test 名称           测试连接 (getUsersBlogs), 输出博客地址、编号和名称,
                              回答的接口和地址
  posts fetch 账户 [--count N]  获取最新日志到 已收日志
  articles 账户 --folder 1|2|3|4 [--json]
                              列出一个文件夹的文章 (1 已收日志, 2 已发日志, 3 草稿箱, 4 垃圾箱)
  article new 账户 --title 标题 [--category 分类] [--tags 标签,标签] --content-file 文件
                              在 草稿箱 中新建文章, 输出其编号
  article publish 编号        发布 草稿箱 或 垃圾箱 中的文章 (有服务器编号的文章则修改服务器上的那篇),
                              移到 已发日志, 输出文章在服务器上的编号
  article publish 编号 --to 账户[,账户...]
                              同时发布到几个账户 (最多 5 个), 每个账户一行: 账户 和 文章编号,
                              或 发送失败! 和原因; 有一个失败则退出码非零
  article move 编号 --to 账户 --folder 1|2|3|4
                              把文章转移到一个账户的文件夹 (已收日志 中的文章不能转移)
  article copy 编号 --to 账户 --folder 1|2|3|4
                              把文章复制到一个账户的文件夹 (副本没有服务器编号), 输出副本的编号
  article rm 编号             删除文章: 移到 垃圾箱, 在 垃圾箱 中则彻底删除
  article delete-remote 编号  从服务器删除文章, 移到 垃圾箱
  article edit 编号           在编辑器 (本程序旁的 quillmark-editor) 中打开文章
  categories 账户 [--json]    列出服务器上的分类
  media upload 账户 文件      上传文件 (最大 20 MB, 类型由文件开头的字节决定), 输出其地址
)";

void Message(const std::string& text) {
    GetReporter().ReportMessage(text);
}

// Shows the text and gives the exit code of a failure.
int Refuse(const std::string& text) {
    Message(text);
    return 1;
}

// An article id of the command line; reports a bad one.
bool ParseId(const std::string& text, int& id) {
    if (!CCliArguments::ParseNumber(text, 1, INT_MAX, id)) {
        Message("文章编号无效: " + text);
        return false;
    }
    return true;
}

// The folder of --folder, 1 已收日志 to 4 垃圾箱; nullopt for anything else.
std::optional<ArticleFolder> ParseFolder(const std::string& text) {
    int code = 0;
    if (!CCliArguments::ParseNumber(text, kFolderReceived, kFolderTrash, code))
        return std::nullopt;
    return ArticleFolderOf(code);
}

// The words of "A,B,C", each trimmed; empty words are kept, for the layer to refuse.
std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> words;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        words.emplace_back(Trim(text.substr(start, comma - start)));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return words;
}

// One line, for a reason printed beside other values.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r')
            continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

// Reads every byte of a file named on the command line.
bool ReadInputFile(const std::string& path, std::string& contents) {
    if (!CFileUtil::ReadFile(path, contents)) {
        Message("无法读取文件: " + path + ": " + CFileUtil::LastErrorText());
        return false;
    }
    return true;
}

} // namespace

// Keeps what the operations report, for the command to print once they are done.
class CBlogCommands::CCollector : public CArticleObserver {
public:
    void OnOperationDone(const OperationResult& result) override {
        std::lock_guard guard(m_lock);
        m_results.push_back(result);
    }
    // The result of the operation (one is started per command).
    OperationResult Result(int id) {
        std::lock_guard guard(m_lock);
        for (const OperationResult& result : m_results) {
            if (result.operationId == id)
                return result;
        }
        return {.operationId = id, .outcome = OperationOutcome::kFailed, .reason = "没有结果"};
    }

private:
    std::mutex m_lock;
    std::vector<OperationResult> m_results;
};

CBlogCommands::CBlogCommands(const CAppContext& context, std::ostream& out, std::ostream& err,
                             bool json)
    : m_context(context), m_out(out), m_err(err), m_json(json) {}

const char* CBlogCommands::UsageText() {
    return kUsage;
}

bool CBlogCommands::Handles(const std::string& command) {
    for (const char* word : {"account", "posts", "articles", "article", "categories", "media"}) {
        if (command == word)
            return true;
    }
    return false;
}

int CBlogCommands::Usage() {
    m_err << "用法: quillmark-cli [--home 目录] 命令 [参数]\n" << kUsage;
    return 1;
}

bool CBlogCommands::Parse(const std::vector<std::string>& args,
                          const std::vector<std::string>& known, Arguments& parsed) {
    if (parsed.Parse(args, known))
        return true;
    m_err << parsed.Error() << "\n";
    return false;
}

int CBlogCommands::Run(const std::string& command, const std::vector<std::string>& args) {
    const std::string sub = args.empty() ? std::string() : args.front();
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    Arguments a;
    if (command == "account") {
        if (sub == "add") {
            if (!Parse(rest,
                       {"name", "description", "type", "url", "port", "user", "password",
                        "encoding", "blog-url"},
                       a) ||
                !a.positional.empty())
                return Usage();
            return AccountAdd(a);
        }
        if (sub == "list" && rest.empty())
            return AccountList();
        if (sub == "rm" && rest.size() == 1)
            return AccountRemove(rest[0]);
        if (sub == "test" && rest.size() == 1)
            return AccountTest(rest[0]);
        if (sub == "discover" && rest.size() == 1)
            return AccountDiscover(rest[0]);
        return Usage();
    }
    if (command == "posts") {
        if (sub != "fetch" || !Parse(rest, {"count"}, a) || a.positional.size() != 1)
            return Usage();
        return PostsFetch(a);
    }
    if (command == "articles") {
        if (!Parse(args, {"folder"}, a) || a.positional.size() != 1 || !a.Has("folder"))
            return Usage();
        return Articles(a);
    }
    if (command == "article") {
        if (sub == "new") {
            if (!Parse(rest, {"title", "category", "tags", "content-file"}, a) ||
                a.positional.size() != 1 || !a.Has("title") || !a.Has("content-file"))
                return Usage();
            return ArticleNew(a);
        }
        if (sub == "publish") {
            if (!Parse(rest, {"to"}, a) || a.positional.size() != 1)
                return Usage();
            return a.Has("to") ? ArticlePublishTo(a.positional[0], a.Get("to"))
                               : ArticlePublish(a.positional[0]);
        }
        if (sub == "move" || sub == "copy") {
            if (!Parse(rest, {"to", "folder"}, a) || a.positional.size() != 1 || !a.Has("to") ||
                !a.Has("folder"))
                return Usage();
            return ArticleTransfer(sub, a);
        }
        if (sub == "rm" && rest.size() == 1)
            return ArticleRemove(rest[0]);
        if (sub == "delete-remote" && rest.size() == 1)
            return ArticleDeleteRemote(rest[0]);
        if (sub == "edit" && rest.size() == 1)
            return ArticleEdit(rest[0]);
        return Usage();
    }
    if (command == "categories" && args.size() == 1)
        return Categories(args[0]);
    if (command == "media" && sub == "upload" && rest.size() == 2)
        return MediaUpload(rest[0], rest[1]);
    return Usage();
}

int CBlogCommands::AccountAdd(const Arguments& a) {
    AccountRecord account;
    account.name = a.Get("name");
    account.description = a.Get("description");
    account.blogapitype = a.Get("type");
    account.encodetype = a.Get("encoding", "UTF-8");
    account.xmlrpcurl = a.Get("url");
    account.port = a.Get("port");
    account.username = a.Get("user");
    account.password = a.Get("password");
    account.blogurl = a.Get("blog-url", "http://");
    CAccountSetup::FillServiceEndpoint(account);
    SetupCheck check = CAccountSetup(m_context).Add(account);
    return check.Ok() ? 0 : Refuse(check.message);
}

int CBlogCommands::AccountList() {
    std::vector<AccountRecord> accounts;
    if (!m_context.Accounts().ListAccounts(accounts))
        return 1;
    std::vector<AccountRecord> details;
    for (const AccountRecord& listed : accounts) {
        AccountRecord account;
        if (!m_context.Accounts().GetAccount(listed.name, account))
            return 1;
        account.localloginverify = listed.localloginverify;
        details.push_back(account);
    }
    if (m_json) {
        CliJson list = CliJson::array();
        for (const AccountRecord& d : details) {
            list.push_back({{"name", d.name},
                            {"description", d.description},
                            {"type", d.blogapitype},
                            {"url", d.xmlrpcurl},
                            {"port", d.port},
                            {"user", d.username},
                            {"encoding", d.encodetype},
                            {"blogUrl", d.blogurl},
                            {"recentPosts", d.getrecentpostsnum},
                            {"loginCheck", d.localloginverify}});
        }
        PrintJson(m_out, list);
        return 0;
    }
    for (const AccountRecord& d : details)
        m_out << d.name << "\t" << d.blogapitype << "\t" << d.encodetype << "\t" << d.xmlrpcurl
              << "\t" << d.description << "\n";
    return 0;
}

int CBlogCommands::AccountRemove(const std::string& name) {
    SetupCheck check = CAccountSetup(m_context).Delete(name);
    return check.Ok() ? 0 : Refuse(check.message);
}

int CBlogCommands::AccountDiscover(const std::string& address) {
    CWeblogDiscovery discovery(m_context);
    const DiscoveryResult result = discovery.Discover(address);
    const DiscoveredInterface* chosen = result.Chosen();
    if (m_json) {
        CliJson interfaces = CliJson::array();
        for (const DiscoveredInterface& found : result.interfaces) {
            interfaces.push_back({{"type", found.blogapitype},
                                  {"url", found.address},
                                  {"port", found.port},
                                  {"source", found.source},
                                  {"answers", found.answers},
                                  {"otherHost", found.otherHost},
                                  {"note", found.note}});
        }
        CliJson chosenJson = nullptr;
        if (chosen)
            chosenJson = {
                {"type", chosen->blogapitype}, {"url", chosen->address}, {"port", chosen->port}};
        PrintJson(m_out, {{"page", result.pageUrl},
                          {"interfaces", interfaces},
                          {"chosen", chosenJson},
                          {"reason", result.reason},
                          {"explanation", result.Explanation()}});
    } else {
        for (const std::string& line : result.Explanation())
            m_out << line << "\n";
        if (chosen)
            m_out << "type=" << chosen->blogapitype << "\nurl=" << chosen->address
                  << "\nport=" << chosen->port << "\n";
    }
    if (!result.found) {
        if (!m_json)
            Message("没有找到博客接口: " + result.reason);
        return 1;
    }
    return 0;
}

int CBlogCommands::AccountTest(const std::string& name) {
    AccountRecord account;
    if (!m_context.Accounts().GetAccount(name, account))
        return 1;
    ConnectionTestResult test = CAccountSetup::TestConnection(m_context, account);
    if (!test.ok)
        return Refuse(test.Summary());
    const BlogInfo& info = test.blog;
    if (m_json) {
        PrintJson(m_out, {{"url", info.url},
                          {"blogid", info.blogId},
                          {"blogName", info.blogName},
                          {"interface", test.interfaceName},
                          {"address", test.address}});
    } else {
        m_out << "url=" << info.url << "\nblogid=" << info.blogId << "\nblogName=" << info.blogName
              << "\ninterface=" << test.interfaceName << "\naddress=" << test.address << "\n";
    }
    return 0;
}

OperationResult
CBlogCommands::RunOperation(const std::function<OperationStart(CArticleOperations&)>& start) {
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    OperationStart started = start(operations);
    if (!started.Started())
        return {.outcome = OperationOutcome::kFailed, .reason = started.refusal};
    operations.Wait();
    return collector.Result(started.id);
}

int CBlogCommands::PostsFetch(const Arguments& a) {
    FetchRequest request{.account = a.positional[0]};
    if (a.Has("count")) {
        if (!CCliArguments::ParseNumber(a.Get("count"), 1, 9999, request.count))
            return Refuse("获取日志的数量无效: " + a.Get("count"));
    }
    OperationResult result = RunOperation(
        [&](CArticleOperations& operations) { return operations.StartFetch(request); });
    if (!result.Ok())
        return Refuse(result.reason);
    m_out << result.fetched << "\n";
    return 0;
}

int CBlogCommands::Articles(const Arguments& a) {
    const std::string& name = a.positional[0];
    const std::optional<ArticleFolder> folder = ParseFolder(a.Get("folder"));
    if (!folder)
        return Usage();
    AccountRecord account;
    if (!m_context.Accounts().GetAccount(name, account))
        return 1;
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    std::vector<ArticleRecord> list;
    std::string reason;
    if (!operations.GetArticles({.account = name, .folder = FolderCode(*folder)}, 0, 9999, list,
                                reason))
        return Refuse(reason);
    if (m_json) {
        CliJson rows = CliJson::array();
        for (const ArticleRecord& r : list) {
            rows.push_back({{"id", r.id},
                            {"title", r.title},
                            {"category", r.category},
                            {"tags", r.tags},
                            {"pubDate", r.pubDate},
                            {"guid", r.guid}});
        }
        PrintJson(m_out, rows);
        return 0;
    }
    for (const ArticleRecord& r : list)
        m_out << r.id << "\t" << r.pubDate << "\t" << r.guid << "\t" << r.title << "\n";
    return 0;
}

int CBlogCommands::ArticleNew(const Arguments& a) {
    const std::string& name = a.positional[0];
    AccountRecord account;
    if (!m_context.Accounts().GetAccount(name, account))
        return 1;
    std::string content;
    if (!ReadInputFile(a.Get("content-file"), content))
        return 1;
    ArticleRecord article;
    article.title = CTextCodec::ToUtf8Lenient(a.Get("title"));
    article.category = CTextCodec::ToUtf8Lenient(a.Get("category"));
    article.tags = CTextCodec::ToUtf8Lenient(a.Get("tags"));
    article.content = CTextCodec::ToUtf8Lenient(content);
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    LocalOutcome outcome = operations.NewDraft(name, article);
    if (!outcome.ok)
        return Refuse(outcome.reason);
    m_out << outcome.newIds.front() << "\n";
    return 0;
}

// The article and where it lies; reports when there is none.
bool CBlogCommands::FindArticle(const std::string& idText, int& id, ArticlePlace& place) {
    if (!ParseId(idText, id))
        return false;
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    ArticleRecord article;
    std::string reason;
    if (!operations.GetArticle(id, article, place, reason)) {
        Message(reason);
        return false;
    }
    return true;
}

int CBlogCommands::ArticlePublish(const std::string& idText) {
    int id = 0;
    if (!ParseId(idText, id))
        return 1;
    OperationResult result =
        RunOperation([&](CArticleOperations& operations) { return operations.StartPublish({id}); });
    if (!result.Ok())
        return Refuse(result.reason);
    m_out << result.articles.front().postId << "\n";
    return 0;
}

int CBlogCommands::ArticleEdit(const std::string& idText) {
    int id = 0;
    ArticlePlace place;
    if (!FindArticle(idText, id, place))
        return 1;
    CEditorLauncher launcher(m_context, CEditorLauncher::EditorBeside(GetExecutableDir()));
    const HandOffResult result = launcher.EditArticle(id, place.account, place.folder);
    return result.ok ? 0 : Refuse(result.reason);
}

int CBlogCommands::ArticlePublishTo(const std::string& idText, const std::string& to) {
    int id = 0;
    if (!ParseId(idText, id))
        return 1;
    std::vector<std::string> accounts = SplitList(to);
    OperationResult result = RunOperation([&](CArticleOperations& operations) {
        return operations.StartPublishToAccounts(id, accounts);
    });
    if (result.accounts.empty())
        return Refuse(result.reason);
    if (m_json) {
        CliJson rows = CliJson::array();
        for (const AccountPublishResult& one : result.accounts) {
            rows.push_back({{"account", one.account},
                            {"ok", one.Ok()},
                            {"postId", one.postId},
                            {"articleId", one.articleId},
                            {"reason", one.reason}});
        }
        PrintJson(m_out, rows);
    } else {
        for (const AccountPublishResult& one : result.accounts) {
            if (one.Ok())
                m_out << one.account << "\t" << one.postId << "\n";
            else
                m_out << one.account << "\t发送失败!\t" << OneLine(one.reason) << "\n";
        }
    }
    return result.Ok() ? 0 : 1;
}

int CBlogCommands::ArticleTransfer(const std::string& how, const Arguments& a) {
    int id = 0;
    if (!ParseId(a.positional[0], id))
        return 1;
    const std::optional<ArticleFolder> folder = ParseFolder(a.Get("folder"));
    if (!folder)
        return Usage();
    FolderRef to{.account = a.Get("to"), .folder = FolderCode(*folder)};
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    LocalOutcome outcome = how == "copy" ? operations.Copy({id}, to) : operations.Move({id}, to);
    if (!outcome.ok)
        return Refuse(outcome.reason);
    if (how == "copy")
        m_out << outcome.newIds.front() << "\n";
    return 0;
}

int CBlogCommands::ArticleRemove(const std::string& idText) {
    int id = 0;
    if (!ParseId(idText, id))
        return 1;
    CCollector collector;
    CArticleOperations operations(m_context, collector);
    LocalOutcome outcome = operations.DeleteLocal({id});
    return outcome.ok ? 0 : Refuse(outcome.reason);
}

int CBlogCommands::ArticleDeleteRemote(const std::string& idText) {
    int id = 0;
    if (!ParseId(idText, id))
        return 1;
    OperationResult result = RunOperation(
        [&](CArticleOperations& operations) { return operations.StartDeleteOnServer({id}); });
    return result.Ok() ? 0 : Refuse(result.reason);
}

int CBlogCommands::Categories(const std::string& name) {
    const CategoriesResult result = CWeblogLibrary(m_context).FetchCategories(name);
    if (!result.ok)
        return Refuse(result.reason);
    if (m_json) {
        CliJson rows = CliJson::array();
        for (const CategoryEntry& c : result.categories)
            rows.push_back({{"name", c.name}, {"id", c.id}});
        PrintJson(m_out, rows);
        return 0;
    }
    for (const CategoryEntry& c : result.categories)
        m_out << c.name << (c.id.empty() ? "" : "\t" + c.id) << "\n";
    return 0;
}

int CBlogCommands::MediaUpload(const std::string& name, const std::string& file) {
    const UploadResult result = CWeblogLibrary(m_context).Upload(name, file);
    if (!result.ok)
        return Refuse(result.reason);
    m_out << result.url << "\n";
    return 0;
}
