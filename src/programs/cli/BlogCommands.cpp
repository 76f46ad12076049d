#include "cli/BlogCommands.h"

#include "app/AccountStore.h"
#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "app/Reporter.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MetaWeblogApi.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "cli/CliCommands.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"
#include "reader/FeedDate.h"
#include "storage/ArticleDatabase.h"
#include "workspace/AccountOperations.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <ostream>

namespace {

const char* kUsage = R"(
博客命令:
  account add --name 名称 --description 描述 --type Blogger|MetaWeblog|MovableType|"MSN Spaces"
              --url 地址 --port 端口 --user 用户名 --password 密码 --encoding UTF-8|GB2312
              [--blog-url 博客地址]      新建账户
  account list [--json]       列出账户
  account rm 名称             删除账户和它的所有文章
  account test 名称           测试连接 (getUsersBlogs), 输出博客地址、编号和名称
  posts fetch 账户 [--count N]  获取最新日志到 已收日志
  articles 账户 --folder 1|2|3|4 [--json]
                              列出一个文件夹的文章 (1 已收日志, 2 已发日志, 3 草稿箱, 4 垃圾箱)
  article new 账户 --title 标题 [--category 分类] --content-file 文件
                              在 草稿箱 中新建文章, 输出其编号
  article publish 编号        发布文章, 移到 已发日志, 输出文章在服务器上的编号
  article delete-remote 编号  从服务器删除文章, 移到 垃圾箱
  categories 账户 [--json]    列出服务器上的分类
  media upload 账户 文件      上传文件, 输出其地址
)";

const char* kServiceTypes[] = {"Blogger", "MetaWeblog", "MovableType", "MSN Spaces"};

void Message(const std::string& text) {
    GetReporter().ReportMessage(text);
}

// Shows the text and gives the exit code of a failure.
int Refuse(const std::string& text) {
    Message(text);
    return 1;
}

// A whole decimal number, or -1.
long long ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 12 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit((unsigned char)c);
        }))
        return -1;
    return std::stoll(text);
}

std::string NowText() {
    std::time_t now = std::time(nullptr);
    return CXmlRpcRequest::FormatPubDate(now);
}

std::string MimeType(const std::string& file) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"png", "image/png"},         {"jpg", "image/jpeg"},      {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},         {"bmp", "image/bmp"},       {"webp", "image/webp"},
        {"svg", "image/svg+xml"},     {"ico", "image/x-icon"},    {"mp3", "audio/mpeg"},
        {"ogg", "audio/ogg"},         {"wav", "audio/wav"},       {"mp4", "video/mp4"},
        {"pdf", "application/pdf"},   {"zip", "application/zip"}, {"txt", "text/plain"},
        {"htm", "text/html"},         {"html", "text/html"},      {"css", "text/css"},
        {"doc", "application/msword"}};
    size_t dot = file.find_last_of('.');
    if (dot != std::string::npos && file.find('/', dot) == std::string::npos) {
        const std::string ext = AsciiLower(file.substr(dot + 1));
        for (const auto& [e, type] : kTypes) {
            if (ext == e)
                return type;
        }
    }
    return "application/octet-stream";
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

CBlogCommands::CBlogCommands(std::ostream& out, std::ostream& err, bool json)
    : m_out(out), m_err(err), m_json(json) {}

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
            if (!Parse(rest, {"title", "category", "content-file"}, a) ||
                a.positional.size() != 1 || !a.Has("title") || !a.Has("content-file"))
                return Usage();
            return ArticleNew(a);
        }
        if (sub == "publish" && rest.size() == 1)
            return ArticlePublish(rest[0]);
        if (sub == "delete-remote" && rest.size() == 1)
            return ArticleDeleteRemote(rest[0]);
        return Usage();
    }
    if (command == "categories" && args.size() == 1)
        return Categories(args[0]);
    if (command == "media" && sub == "upload" && rest.size() == 2)
        return MediaUpload(rest[0], rest[1]);
    return Usage();
}

bool CBlogCommands::OpenStore(CArticleDatabase& store) {
    store.SetDateNormalizer(NormalizeFeedDate);
    if (!store.OpenStore()) {
        Message(store.GetLastError());
        return false;
    }
    return true;
}

int CBlogCommands::AccountAdd(const Arguments& a) {
    AccountRecord account;
    account.name = std::string(Trim(a.Get("name")));
    account.description = std::string(Trim(a.Get("description")));
    account.blogapitype = a.Get("type");
    account.encodetype = a.Has("encoding") ? a.Get("encoding") : "UTF-8";
    account.xmlrpcurl = a.Get("url");
    account.port = a.Get("port");
    account.username = a.Get("user");
    account.password = a.Get("password");
    account.blogurl = a.Has("blog-url") ? a.Get("blog-url") : "http://";
    // The service's fixed endpoint, as the account wizard fills it.
    if (account.blogapitype == "MSN Spaces" && account.xmlrpcurl.empty()) {
        account.xmlrpcurl = CMsnSpacesApi::kEndpoint;
        if (account.port.empty())
            account.port = "443";
    }

    // The checks of the account wizard, in its order.
    if (std::string message = CAccountStore::CheckAccountName(account.name); !message.empty())
        return Refuse(message);
    if (account.description.empty())
        return Refuse("请输入账户描述");
    if (std::find(std::begin(kServiceTypes), std::end(kServiceTypes), account.blogapitype) ==
        std::end(kServiceTypes))
        return Refuse(CBlogApiFactory::kUnknownTypeText);
    if (account.encodetype != "UTF-8" && account.encodetype != "GB2312")
        return Refuse("编码类型只能是 UTF-8 或 GB2312");
    if (account.xmlrpcurl.empty())
        return Refuse("请输入XML-RPC地址!");
    if (account.port.empty())
        return Refuse("请输入端口号!");
    long long port = ParseNumber(account.port);
    if (port < 0 || port > 65535)
        return Refuse("请输入有效的端口号!(0 - 65535)");
    if (account.username.empty())
        return Refuse("请输入用户名!");
    if (account.password.empty())
        return Refuse("请输入密码!");
    return CAccountStore::AddAccount(account) ? 0 : 1;
}

int CBlogCommands::AccountList() {
    std::vector<AccountRecord> accounts;
    if (!CAccountStore::ListAccounts(accounts))
        return 1;
    std::vector<AccountRecord> details;
    for (const AccountRecord& listed : accounts) {
        AccountRecord account;
        if (!CAccountStore::GetAccount(listed.name, account))
            return 1;
        account.localloginverify = listed.localloginverify;
        details.push_back(account);
    }
    if (m_json) {
        m_out << "[";
        for (size_t i = 0; i < details.size(); ++i) {
            const AccountRecord& d = details[i];
            m_out << (i ? ", " : "") << "{\"name\": " << JsonQuote(d.name)
                  << ", \"description\": " << JsonQuote(d.description)
                  << ", \"type\": " << JsonQuote(d.blogapitype)
                  << ", \"url\": " << JsonQuote(d.xmlrpcurl) << ", \"port\": " << JsonQuote(d.port)
                  << ", \"user\": " << JsonQuote(d.username)
                  << ", \"encoding\": " << JsonQuote(d.encodetype)
                  << ", \"blogUrl\": " << JsonQuote(d.blogurl)
                  << ", \"recentPosts\": " << d.getrecentpostsnum
                  << ", \"loginCheck\": " << d.localloginverify << "}";
        }
        m_out << "]\n";
        return 0;
    }
    for (const AccountRecord& d : details)
        m_out << d.name << "\t" << d.blogapitype << "\t" << d.encodetype << "\t" << d.xmlrpcurl
              << "\t" << d.description << "\n";
    return 0;
}

int CBlogCommands::AccountRemove(const std::string& name) {
    CArticleDatabase store;
    if (!OpenStore(store))
        return Refuse(CAccountOperations::kRemoveFailedText);
    return CAccountOperations::RemoveAccount(name, store) ? 0 : 1;
}

int CBlogCommands::AccountTest(const std::string& name) {
    auto api = CBlogApiFactory::CreateForAccount(name);
    BlogInfo info;
    if (!api || !api->GetUsersBlogs(info))
        return 1;
    if (m_json) {
        m_out << "{\"url\": " << JsonQuote(info.url) << ", \"blogid\": " << JsonQuote(info.blogId)
              << ", \"blogName\": " << JsonQuote(info.blogName) << "}\n";
    } else {
        m_out << "url=" << info.url << "\nblogid=" << info.blogId << "\nblogName=" << info.blogName
              << "\n";
    }
    return 0;
}

int CBlogCommands::PostsFetch(const Arguments& a) {
    const std::string& name = a.positional[0];
    auto api = CBlogApiFactory::CreateForAccount(name);
    if (!api)
        return 1;
    long long count =
        a.Has("count") ? ParseNumber(a.Get("count")) : api->Account().getrecentpostsnum;
    if (count <= 0 || count > 9999)
        return Refuse("获取日志的数量无效: " +
                      (a.Has("count") ? a.Get("count") : std::to_string(count)));
    PostList posts;
    if (!api->GetRecentPosts(posts, static_cast<int>(count)))
        return 1;
    std::vector<ArticleRecord> received;
    for (const PostEntry& post : posts) {
        ArticleRecord article;
        article.title = post.title;
        article.content = post.description;
        article.pubDate = post.dateCreated;
        article.category = post.category;
        article.guid = post.postId;
        received.push_back(std::move(article));
    }
    CArticleDatabase store;
    if (!OpenStore(store))
        return 1;
    if (!store.ReplaceReceivedArticles(kFolderReceived, name, received))
        return Refuse(store.GetLastError());
    m_out << received.size() << "\n";
    return 0;
}

int CBlogCommands::Articles(const Arguments& a) {
    const std::string& name = a.positional[0];
    long long folder = ParseNumber(a.Get("folder"));
    if (folder < kFolderReceived || folder > kFolderTrash)
        return Usage();
    AccountRecord account;
    if (!CAccountStore::GetAccount(name, account))
        return 1;
    CArticleDatabase store;
    if (!OpenStore(store))
        return 1;
    std::vector<ArticleRecord> list;
    if (!store.GetArticlePage(static_cast<int>(folder), name, list, 9999, 0))
        return Refuse(store.GetLastError());
    if (m_json) {
        m_out << "[";
        for (size_t i = 0; i < list.size(); ++i) {
            const ArticleRecord& r = list[i];
            m_out << (i ? ", " : "") << "{\"id\": " << r.id << ", \"title\": " << JsonQuote(r.title)
                  << ", \"category\": " << JsonQuote(r.category)
                  << ", \"pubDate\": " << JsonQuote(r.pubDate)
                  << ", \"guid\": " << JsonQuote(r.guid) << "}";
        }
        m_out << "]\n";
        return 0;
    }
    for (const ArticleRecord& r : list)
        m_out << r.id << "\t" << r.pubDate << "\t" << r.guid << "\t" << r.title << "\n";
    return 0;
}

int CBlogCommands::ArticleNew(const Arguments& a) {
    const std::string& name = a.positional[0];
    AccountRecord account;
    if (!CAccountStore::GetAccount(name, account))
        return 1;
    std::string content;
    if (!ReadInputFile(a.Get("content-file"), content))
        return 1;
    ArticleRecord article;
    article.title = CTextCodec::ToUtf8Lenient(a.Get("title"));
    article.category = CTextCodec::ToUtf8Lenient(a.Get("category"));
    article.content = CTextCodec::ToUtf8Lenient(content);
    article.pubDate = NowText();
    CArticleDatabase store;
    if (!OpenStore(store))
        return 1;
    if (!store.InsertArticle(kFolderDrafts, name, article))
        return Refuse(store.GetLastError());
    m_out << store.GetLastInsertId() << "\n";
    return 0;
}

bool CBlogCommands::LoadArticle(CArticleDatabase& store, const std::string& idText,
                                ArticleRecord& article, std::string& account, int& folder) {
    long long id = ParseNumber(idText);
    if (id <= 0 || id > 0x7fffffff) {
        Message("文章编号无效: " + idText);
        return false;
    }
    if (!store.GetArticle(static_cast<int>(id), article)) {
        Message(store.GetLastError());
        return false;
    }
    // The record does not carry its place; the row does.
    int found = store.Run([&](CSqlDatabase& db) {
        CSqlStatement statement = db.CompileStatement(
            "SELECT log_author, log_property FROM blog_article WHERE log_id = ?;");
        statement.Bind(1, static_cast<int>(id));
        CSqlQuery row = statement.ExecQuery();
        if (!row.IsEnd()) {
            account = row.GetText(0);
            folder = row.GetInt(1);
        }
    });
    if (!found || account.empty()) {
        Message(found ? "没有对应id的文章" : store.GetLastError());
        return false;
    }
    return true;
}

int CBlogCommands::ArticlePublish(const std::string& idText) {
    CArticleDatabase store;
    if (!OpenStore(store))
        return 1;
    ArticleRecord article;
    std::string name;
    int folder = 0;
    if (!LoadArticle(store, idText, article, name, folder))
        return 1;
    // Published and received articles are on the server already.
    if (folder != kFolderDrafts && folder != kFolderTrash)
        return Refuse("只能发布草稿箱或垃圾箱中的文章");
    auto api = CBlogApiFactory::CreateForAccount(name);
    if (!api)
        return 1;
    PostRequest request = api->MakeRequest();
    request.title = article.title;
    request.description = article.content;
    request.category = article.category;
    std::string postId;
    if (!api->NewPost(request, postId))
        return 1;
    if (!store.SetArticlePublished(article.id, kFolderSent, postId))
        return Refuse(store.GetLastError());
    m_out << postId << "\n";
    return 0;
}

int CBlogCommands::ArticleDeleteRemote(const std::string& idText) {
    CArticleDatabase store;
    if (!OpenStore(store))
        return 1;
    ArticleRecord article;
    std::string name;
    int folder = 0;
    if (!LoadArticle(store, idText, article, name, folder))
        return 1;
    if ((folder != kFolderReceived && folder != kFolderSent) || article.guid.empty())
        return Refuse("这篇文章不在服务器上");
    auto api = CBlogApiFactory::CreateForAccount(name);
    if (!api)
        return 1;
    PostRequest request = api->MakeRequest();
    request.postId = article.guid;
    if (!api->DeletePost(request))
        return 1;
    if (!store.SetArticleFolder(article.id, kFolderTrash))
        return Refuse(store.GetLastError());
    return 0;
}

int CBlogCommands::Categories(const std::string& name) {
    auto api = CBlogApiFactory::CreateForAccount(name);
    if (!api)
        return 1;
    auto* metaWeblog = dynamic_cast<CMetaWeblogApi*>(api.get());
    if (!metaWeblog)
        return Refuse("Blogger 接口没有分类");
    CategoryList list;
    if (!metaWeblog->GetCategories(list))
        return 1;
    if (m_json) {
        m_out << "[";
        for (size_t i = 0; i < list.size(); ++i)
            m_out << (i ? ", " : "") << "{\"name\": " << JsonQuote(list[i].name)
                  << ", \"id\": " << JsonQuote(list[i].id) << "}";
        m_out << "]\n";
        return 0;
    }
    for (const CategoryEntry& c : list)
        m_out << c.name << (c.id.empty() ? "" : "\t" + c.id) << "\n";
    return 0;
}

int CBlogCommands::MediaUpload(const std::string& name, const std::string& file) {
    auto api = CBlogApiFactory::CreateForAccount(name);
    if (!api)
        return 1;
    auto* metaWeblog = dynamic_cast<CMetaWeblogApi*>(api.get());
    if (!metaWeblog)
        return Refuse("Blogger 接口不能上传文件");
    std::string data;
    if (!ReadInputFile(file, data))
        return 1;
    std::string fileName = file.substr(file.find_last_of('/') + 1);
    std::string url;
    if (!metaWeblog->NewMediaObject(CTextCodec::ToUtf8Lenient(fileName), MimeType(fileName),
                                    CXmlRpcRequest::Base64Encode(data), url))
        return 1;
    m_out << url << "\n";
    return 0;
}
