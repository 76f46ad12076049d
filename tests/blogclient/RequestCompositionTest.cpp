// What the operations put on the wire: templates, values, escaping and encoding.
#include "BlogTestSupport.h"

#include "app/AppContext.h"
#include "app/ErrorCatalog.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MovableTypeApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// A request parsed back, as a server reads it.
struct CSentRequest {
    explicit CSentRequest(const std::string& text) { EXPECT_TRUE(doc.LoadText(text)); }
    std::string Get(const std::string& path) const { return doc.SelectNode(path).GetText(); }
    std::string Method() const { return Get("/methodCall/methodName"); }
    std::string Param(int i, const std::string& type = "string") const {
        return Get("/methodCall/params/param[" + std::to_string(i) + "]/value/" + type);
    }
    std::string Member(const std::string& name, const std::string& rest = "string") const {
        return Get("/methodCall/params/param[3]/value/struct/member[name=\"" + name + "\"]/value/" +
                   rest);
    }
    CXmlDocument doc;
};

class BlogRequestTest : public ::testing::Test {
protected:
    template <class Api>
    void Prepare(CCapturingApi<Api>& api, const std::string& type,
                 const std::string& encoding = "UTF-8") {
        api.Bind(TestAccount(type, encoding), CBlogApiFactory::ReadConnection(m_home.Context()));
        api.now = LocalTime(2007, 3, 15, 9, 5, 0);
    }
    static PostRequest Article(const CBloggerApi& api) {
        PostRequest r = api.MakeRequest();
        r.title = "标题 \"引号\" & <尖括号> 'apos'";
        r.category = "技术";
        r.description = "<p>正文：你好 & 再见</p>";
        r.tags = "标签一, tag2";
        r.abstract = "摘要";
        return r;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
};

TEST_F(BlogRequestTest, BloggerRequestsCarryTheTitleAsTyped) {
    CCapturingApi<CBloggerApi> api;
    Prepare(api, "Blogger");
    api.answers = {Sample("blogger.newPost.xml"), Sample("blogger.getRecentPosts.xml"),
                   Sample("blogger.newPost.xml")};
    PostRequest r = Article(api);
    r.description = "hello";
    std::string postId;
    ASSERT_EQ(api.NewPost(r, postId), 1);
    EXPECT_EQ(postId, "1");
    PostList list;
    ASSERT_EQ(api.GetRecentPosts(list, 10), 1);

    // The server takes the title element's text literally, so the title goes in as typed; the
    // content string is escaped once, as every value, and never twice.
    CSentRequest sent(api.requests.at(0));
    EXPECT_EQ(sent.Method(), "blogger.newPost");
    EXPECT_EQ(sent.Param(2) + "/" + sent.Param(3), "admin/quill-pass-1");
    EXPECT_EQ(sent.Param(4), "<title>标题 \"引号\" & <尖括号> 'apos'</title><p>hello</p>");
    EXPECT_NE(api.requests[0].find("&lt;title&gt;标题 \"引号\" &amp; &lt;尖括号&gt; 'apos'"
                                   "&lt;/title&gt;"),
              std::string::npos)
        << api.requests[0];
    EXPECT_EQ(api.requests[0].find("&amp;amp;"), std::string::npos);
    EXPECT_EQ(api.requests[0].find("&amp;quot;"), std::string::npos);
    CSentRequest recent(api.requests.at(1));
    EXPECT_EQ(recent.Method(), "blogger.getRecentPosts");
    EXPECT_EQ(recent.Param(4, "int"), "10");

    // Without a title there is no title element (WordPress would keep an empty one in the body).
    r.title.clear();
    ASSERT_EQ(api.NewPost(r, postId), 1);
    EXPECT_EQ(CSentRequest(api.requests.at(2)).Param(4), "<p>hello</p>");
}

// Texts that XML cannot carry are refused before anything is sent, with a message that names
// the field and the character; tab, CR and LF go through.
TEST_F(BlogRequestTest, ArticlesWithControlCharactersOrBadBytesAreRefusedLocally) {
    CCapturingApi<CBloggerApi> blogger;
    Prepare(blogger, "Blogger");
    CCapturingApi<CMetaWeblogApi> metaWeblog;
    Prepare(metaWeblog, "MetaWeblog");
    CCapturingApi<CMovableTypeApi> movableType;
    Prepare(movableType, "MovableType", "GB2312");

    struct Case {
        std::string PostRequest::*field;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {&PostRequest::title, "标题\x01", "标题中第 3 个字符是控制字符 U+0001"},
        {&PostRequest::description, std::string("正文\0后面", 7),
         "正文中第 3 个字符是控制字符 U+0000"},
        {&PostRequest::category, "分类\x1B[0m", "分类中第 3 个字符是控制字符 U+001B"},
        {&PostRequest::tags, "a\x7F\x0C", "标签中第 3 个字符是控制字符 U+000C"},
        {&PostRequest::title, "GBK \xB1\xEA\xCC\xE2",
         "标题中第 5 个字符处不是有效的 UTF-8 文本 (字节 0xB1)"},
        {&PostRequest::description, "\xED\xA0\x80",
         "正文中第 1 个字符处不是有效的 UTF-8 文本 (字节 0xED)"},
        {&PostRequest::abstract, "\xEF\xBF\xBF", "摘要中第 1 个字符是 XML 不允许的字符 U+FFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        for (CBloggerApi* api :
             std::initializer_list<CBloggerApi*>{&blogger, &metaWeblog, &movableType}) {
            m_reporter.messages.clear();
            PostRequest r = Article(*api);
            r.*c.field = c.text;
            r.postId = "8";
            std::string postId = "kept";
            int result = 7;
            EXPECT_EQ(api->NewPost(r, postId), 0);
            EXPECT_EQ(api->EditPost(r, result), 0);
            EXPECT_EQ(postId + std::to_string(result), "kept7");
            ASSERT_EQ(m_reporter.messages.size(), 2u);
            EXPECT_EQ(m_reporter.messages[0].rfind("文章不能发送: " + c.message + "。", 0), 0u)
                << m_reporter.messages[0];
        }
    }
    EXPECT_TRUE(blogger.requests.empty());
    EXPECT_TRUE(metaWeblog.requests.empty());
    EXPECT_TRUE(movableType.requests.empty());
    EXPECT_TRUE(m_reporter.errors.empty());

    // Tab, CR and LF are text; so is a U+FFFD written as such.
    PostRequest fine = Article(metaWeblog);
    fine.title = "一\t二\r\n三 \xEF\xBF\xBD";
    fine.description = "<p>\n\t正文\r\n</p>";
    metaWeblog.answers = {Sample("metaWeblog.newPost.xml")};
    std::string postId;
    EXPECT_EQ(metaWeblog.NewPost(fine, postId), 1);
    EXPECT_EQ(CSentRequest(metaWeblog.requests.at(0)).Member("title"), fine.title);

    // Through the Blogger interface the title must not close its element early.
    m_reporter.messages.clear();
    PostRequest closing = Article(blogger);
    closing.title = "a</TITLE>b";
    EXPECT_EQ(blogger.NewPost(closing, postId), 0);
    ASSERT_EQ(m_reporter.messages.size(), 1u);
    EXPECT_NE(m_reporter.messages[0].find("</title>"), std::string::npos);
    EXPECT_TRUE(blogger.requests.empty());
    metaWeblog.answers = {Sample("metaWeblog.newPost.xml")};
    closing = Article(metaWeblog);
    closing.title = "a</title>b";
    EXPECT_EQ(metaWeblog.NewPost(closing, postId), 1);
}

TEST_F(BlogRequestTest, MetaWeblogNewPostSendsEveryFieldAndOneInstant) {
    CCapturingApi<CMetaWeblogApi> api;
    Prepare(api, "MetaWeblog");
    api.answers = {Sample("metaWeblog.newPost.xml"), Sample("metaWeblog.editPost.xml"),
                   Sample("metaWeblog.deletePost.xml")};
    std::string postId;
    ASSERT_EQ(api.NewPost(Article(api), postId), 1);
    CSentRequest sent(api.requests.at(0));
    EXPECT_EQ(sent.Method(), "metaWeblog.newPost");
    EXPECT_EQ(sent.Member("title"), "标题 \"引号\" & <尖括号> 'apos'");
    EXPECT_EQ(sent.Member("description"), "<p>正文：你好 & 再见</p>");
    EXPECT_EQ(sent.Member("categories", "array/data/value/string"), "技术");
    EXPECT_TRUE(
        sent.doc.SelectNode("//member[name=\"categories2\"]/value/array/data/value/string"));
    EXPECT_EQ(sent.Member("tags") + "|" + sent.Member("mt_keywords"), "标签一, tag2|标签一, tag2");
    EXPECT_EQ(sent.Member("abstract") + "|" + sent.Member("mt_excerpt"), "摘要|摘要");
    EXPECT_EQ(sent.Member("pubDate"), "2007-03-15 09:05:00");
    EXPECT_EQ(sent.Member("dateCreated", "dateTime.iso8601"), "20070315T09:05:00");
    EXPECT_EQ(sent.Member("date_created_gmt", "dateTime.iso8601"),
              CXmlRpcRequest::FormatGmtIsoDate(api.Now()));

    // editPost names the post in param[0] and sends a date only when one is given;
    // deletePost is the Blogger method.
    PostRequest r = Article(api);
    r.postId = "8";
    r.postTime = api.Now() + 3600;
    r.moreCategories = {"新闻"};
    r.slug = "a-slug";
    r.serverDraft = true;
    r.allowComments = false;
    int result = 0;
    ASSERT_EQ(api.EditPost(r, result), 1);
    const CSentRequest edit(api.requests.at(1));
    EXPECT_EQ(edit.Param(0), "8");
    EXPECT_EQ(edit.Member("date_created_gmt", "dateTime.iso8601"),
              CXmlRpcRequest::FormatGmtIsoDate(r.postTime));
    EXPECT_EQ(edit.Member("categories", "array/data/value[1]/string"), "新闻");
    EXPECT_EQ(edit.Member("wp_slug") + "|" + edit.Member("mt_allow_comments", "int") + "|" +
                  edit.Member("mt_keywords") + "|" + edit.Param(4, "boolean"),
              "a-slug|0|标签一, tag2|0");
    ASSERT_EQ(api.DeletePost(r), 1);
    EXPECT_EQ(CSentRequest(api.requests.at(2)).Method(), "blogger.deletePost");
    EXPECT_TRUE(m_reporter.errors.empty());
}

TEST_F(BlogRequestTest, MovableTypeSendsNeitherTagsNorAbstract) {
    CCapturingApi<CMovableTypeApi> api;
    Prepare(api, "MovableType");
    api.answers = {Sample("metaWeblog.newPost.xml"), Sample("mt.getCategoryList.xml")};
    std::string postId;
    ASSERT_EQ(api.NewPost(Article(api), postId), 1);
    CSentRequest sent(api.requests.at(0));
    EXPECT_EQ(sent.Member("title"), "标题 \"引号\" & <尖括号> 'apos'");
    EXPECT_EQ(sent.Member("tags") + sent.Member("mt_keywords") + sent.Member("abstract"), "");
    EXPECT_EQ(sent.Member("dateCreated", "dateTime.iso8601"), "20070315T09:05:00");
    CategoryList categories;
    ASSERT_EQ(api.GetCategories(categories), 1);
    EXPECT_EQ(CSentRequest(api.requests.at(1)).Method(), "mt.getCategoryList");
}

TEST_F(BlogRequestTest, AccountEncodingDecidesTheBytes) {
    CCapturingApi<CMetaWeblogApi> utf8;
    Prepare(utf8, "MetaWeblog", "UTF-8");
    CCapturingApi<CMetaWeblogApi> gb;
    Prepare(gb, "MetaWeblog", "GB2312");
    PostRequest r = Article(gb);
    r.description = "GBK 之外: € 😀";
    std::string postId;
    utf8.NewPost(r, postId);
    gb.NewPost(r, postId);

    const std::string& u = utf8.requests.at(0);
    EXPECT_EQ(u.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall>", 0), 0u);
    EXPECT_NE(u.find("标题 \"引号\" &amp; &lt;尖括号&gt; 'apos'"), std::string::npos);
    // GB2312: pure ASCII, every other character a reference, readable by any XML parser.
    const std::string& g = gb.requests.at(0);
    EXPECT_EQ(g.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u);
    EXPECT_TRUE(std::all_of(g.begin(), g.end(), [](char c) { return (unsigned char)c < 0x80; }));
    EXPECT_NE(g.find("&#26631;&#39064;"), std::string::npos); // 标题
    CSentRequest sent(g);
    EXPECT_EQ(sent.Member("title"), r.title);
    EXPECT_EQ(sent.Member("description"), "GBK 之外: € 😀");
}

TEST_F(BlogRequestTest, TemplateProblemsAreReportedWithTheirIds) {
    CCapturingApi<CMetaWeblogApi> api;
    Prepare(api, "MetaWeblog");
    ASSERT_TRUE(CFileUtil::CreateDirectories(m_home.File("Data/BlogApi")));
    WriteAll(m_home.File("Data/BlogApi/METAWEBLOG_newPost.xml"),
             "<methodCall><methodName>metaWeblog.newPost</methodName><params/></methodCall>");
    WriteAll(m_home.File("Data/BlogApi/METAWEBLOG_editPost.xml"), "<html/>");
    std::string postId;
    EXPECT_EQ(api.NewPost(Article(api), postId), 0);
    int result = 0;
    EXPECT_EQ(api.EditPost(Article(api), result), 0);
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrMetaWeblogNewPost, kErrTemplateLoad}));
    EXPECT_TRUE(api.requests.empty());
    CXmlDocument doc;
    EXPECT_FALSE(CXmlRpcRequest::LoadTemplate(m_home.Path(),
                                              "res://BlogApi.dll/../config/appConfig.xml", doc));
    // A program directory without a template uses the shipped one.
    EXPECT_TRUE(
        CXmlRpcRequest::LoadTemplate(m_home.Path(), "res://BlogApi.dll/BLOGGER_newPost.xml", doc));
}

TEST_F(BlogRequestTest, FactoryChoosesTheClassByType) {
    EXPECT_EQ(CBlogApiFactory::Create("metaweblog"), nullptr);
    EXPECT_NE(dynamic_cast<CMovableTypeApi*>(CBlogApiFactory::Create("MovableType").get()),
              nullptr);
    EXPECT_EQ(dynamic_cast<CMetaWeblogApi*>(CBlogApiFactory::Create("Blogger").get()), nullptr);
    AccountRecord odd = TestAccount("LiveJournal");
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(odd), 1);
    EXPECT_EQ(CBlogApiFactory::CreateForAccount(m_home.Context(), odd.name), nullptr);
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"无匹配的blog类型!"});
}

TEST(BlogTransport, EndpointPartsAndCallLimits) {
    XmlRpcEndpoint e;
    ASSERT_TRUE(CXmlRpcTransport::SplitEndpoint("HTTPS://h.example/x/rpc.php?a=1", "443", e));
    EXPECT_EQ(CXmlRpcTransport::EndpointUrl(e), "https://h.example:443/x/rpc.php?a=1");
    // The account's port counts; one in the address only stands in when the account has none.
    ASSERT_TRUE(CXmlRpcTransport::SplitEndpoint("http://127.0.0.1:8080/xmlrpc.php", "9000", e));
    EXPECT_EQ(CXmlRpcTransport::EndpointUrl(e), "http://127.0.0.1:9000/xmlrpc.php");
    ASSERT_TRUE(CXmlRpcTransport::SplitEndpoint("http://127.0.0.1:8080/xmlrpc.php", "", e));
    EXPECT_EQ(e.port, 8080);
    ASSERT_TRUE(CXmlRpcTransport::SplitEndpoint("https://h.example", "0", e));
    EXPECT_EQ(CXmlRpcTransport::EndpointUrl(e), "https://h.example:443/");
    EXPECT_FALSE(CXmlRpcTransport::SplitEndpoint("h.example/rpc", "80", e));
    EXPECT_FALSE(CXmlRpcTransport::SplitEndpoint("http:///rpc", "80", e));

    EXPECT_EQ(CXmlRpcRequest::Base64Encode("f") + CXmlRpcRequest::Base64Encode("fo") +
                  CXmlRpcRequest::Base64Encode(std::string("\xFF\xFE\x00", 3)),
              "Zg==Zm8=//4A");

    // A call may take its five minutes while it moves, but not sit silent for them.
    HttpLimits limits = CXmlRpcTransport::CallLimits();
    EXPECT_EQ(limits.totalTimeoutMs, 300'000);
    EXPECT_EQ(limits.lowSpeedTimeMs, 30'000);
    EXPECT_GT(limits.lowSpeedBytesPerSecond, 1);
}

} // namespace
