// The answer readers on the WordPress peer's answers recorded in tests/data/blogclient (see its
// record.py) and on hand-made ones.
#include "BlogTestSupport.h"

#include "app/ErrorCatalog.h"
#include "blogclient/MovableTypeApi.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/XmlRpcAnswer.h"

#include <gtest/gtest.h>

namespace {

class BlogAnswerReadersTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_blogger.Bind(TestAccount("Blogger"), {});
        m_metaWeblog.Bind(TestAccount("MetaWeblog"), {});
        m_movableType.Bind(TestAccount("MovableType"), {});
        m_msn.Bind(TestAccount("MSN Spaces"), {});
    }
    // The code and the text shown for a fault answer.
    std::pair<std::string, std::string> FaultShown(const std::string& answer) {
        m_blogger.ShowFault(answer);
        const std::string& d = m_reporter.faults.back();
        const std::string codeLabel = "\r\n提示代码: ";
        const std::string textLabel = "\r\n提示信息: ";
        size_t code = d.find(codeLabel) + codeLabel.size();
        size_t text = d.find(textLabel);
        size_t end = d.find("\r\n=", text);
        return {d.substr(code, text - code),
                d.substr(text + textLabel.size(), end - text - textLabel.size())};
    }

    CTempHome m_home;
    CFaultRecorder m_reporter;
    CScopedReporter m_scope{m_reporter};
    CBloggerApi m_blogger;
    CMetaWeblogApi m_metaWeblog;
    CMovableTypeApi m_movableType;
    CMsnSpacesApi m_msn;
};

TEST_F(BlogAnswerReadersTest, ScalarsAreReadWhateverTheirType) {
    // blogger.newPost answers <int>, metaWeblog.newPost <string>: both are post ids.
    std::string id;
    ASSERT_EQ(m_blogger.ReadPostId(Sample("blogger.newPost.xml"), id), 1);
    EXPECT_EQ(id, "1");
    ASSERT_EQ(m_metaWeblog.ReadPostId(Sample("metaWeblog.newPost.xml"), id), 1);
    EXPECT_EQ(id, "3");
    for (const auto& [value, expected] :
         {std::pair{"<i4>77</i4>", "77"}, {"<string>abc-9</string>", "abc-9"}, {"123", "123"}}) {
        ASSERT_EQ(m_msn.ReadPostId(Answer(value), id), 1) << value;
        EXPECT_EQ(id, expected);
    }
    int value = -1;
    ASSERT_EQ(m_blogger.ReadBoolean(Sample("blogger.deletePost.xml"), value), 1);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(m_metaWeblog.ReadBoolean(Answer("<boolean>0</boolean>"), value), 1);
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(m_reporter.errors.empty());

    // A struct is no post id, a fault no boolean: the fault is shown, the outputs stay.
    id = "kept";
    EXPECT_EQ(m_blogger.ReadPostId(Answer("<struct></struct>"), id), 0);
    EXPECT_EQ(id, "kept");
    value = 7;
    EXPECT_EQ(m_blogger.ReadBoolean(Sample("fault-wrong-password.xml"), value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrServerFault, kErrServerFault}));
    const std::string rule(41, '=');
    EXPECT_EQ(m_reporter.faults.back(),
              "服务器返回的提示信息:\r\n" + rule +
                  "\r\n提示代码: 403\r\n提示信息: Incorrect username or password.\r\n" + rule +
                  "\r\n要了解更详细的信息请查询服务提供商");
    EXPECT_EQ(m_reporter.messages.back(), "服务器返回的提示信息");
}

TEST_F(BlogAnswerReadersTest, FaultCodeAsIntI4OrNeither) {
    using Shown = std::pair<std::string, std::string>;
    EXPECT_EQ(FaultShown(Fault("<int>401</int>", "<string>不允许</string>")),
              Shown("401", "不允许"));
    EXPECT_EQ(FaultShown(Fault("<i4>-32601</i4>", "<string>x</string>")), Shown("-32601", "x"));
    EXPECT_EQ(FaultShown(Fault("", "<string>x</string>")), Shown("无法识别的错误代码格式！", "x"));
    EXPECT_EQ(FaultShown(Fault("<int>5</int>", "")), Shown("5", "无法识别的错误信息格式！"));
    // An answer that is no XML says so, with the parser's reason.
    const Shown html = FaultShown("<html><body>Bad Gateway");
    EXPECT_EQ(html.first, "无法识别的错误代码格式！");
    EXPECT_EQ(html.second.rfind("服务器的回应不是格式正确的 XML-RPC 文档: line 1: ", 0), 0u)
        << html.second;
}

TEST_F(BlogAnswerReadersTest, BlogInfoIsTheFirstBlog) {
    BlogInfo info;
    ASSERT_EQ(m_blogger.ReadBlogInfo(Sample("blogger.getUsersBlogs.xml"), info), 1);
    EXPECT_EQ(info.url, "http://127.0.0.1:8080/");
    EXPECT_EQ(info.blogId, "1");
    EXPECT_EQ(info.blogName, "Quill 测试博客");
    auto blog = [](const std::string& id) {
        return "<value><struct><member><name>url</name><value>http://x/" + id +
               "</value></member><member><name>blogid</name><value><int>" + id +
               "</int></value></member><member><name>blogName</name><value>B" + id +
               "</value></member></struct></value>";
    };
    ASSERT_EQ(m_msn.ReadBlogInfo(
                  Answer("<array><data>" + blog("7") + blog("8") + "</data></array>"), info),
              1);
    EXPECT_EQ(info.blogId + info.blogName + info.url, "7B7http://x/7");
    EXPECT_EQ(m_blogger.ReadBlogInfo(Answer("<array><data></data></array>"), info), 0);
}

TEST_F(BlogAnswerReadersTest, PostListsReadEveryPostInOrder) {
    PostList list;
    ASSERT_EQ(m_metaWeblog.ReadPostList(Sample("metaWeblog.getRecentPosts.xml"), list), 1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].sequence + list[1].sequence + list[2].sequence, 6);
    EXPECT_EQ(list[0].postId + list[1].postId + list[2].postId, "123");
    EXPECT_EQ(list[0].category, "News"); // the first of two
    EXPECT_EQ(list[1].title, "标题 \"引号\" & <b>粗</b> O'Brien");
    EXPECT_EQ(list[2].title, "元数据标题 & <测试> \"引号\" 'apos'");
    EXPECT_EQ(list[2].dateCreated, "20070315T09:05:00");
    EXPECT_EQ(list[2].link, "http://127.0.0.1:8080/?p=3");
    EXPECT_EQ(list[2].userId, "1");
    EXPECT_EQ(list[0].tags + "|" + list[2].tags, "|tag2, 标签一");

    // Blogger servers give the title back inside the content as it was sent, which is the
    // title as stored: the same titles as through MetaWeblog.
    PostList blogger;
    ASSERT_EQ(m_blogger.ReadPostList(Sample("blogger.getRecentPosts.xml"), blogger), 1);
    ASSERT_EQ(blogger.size(), 3u);
    EXPECT_EQ(blogger[1].sequence, 2);
    EXPECT_EQ(blogger[0].postId, "1");
    EXPECT_EQ(blogger[0].title, "博客标题 Blogger 测试");
    EXPECT_EQ(blogger[0].description, "正文内容：你好，世界！\n第二行 & <b>粗体</b>");
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(blogger[i].postId, list[i].postId);
        EXPECT_EQ(blogger[i].title, list[i].title);
    }
    EXPECT_EQ(blogger[2].description, list[2].description);

    // Entities in the title element are the title's own text, not escapes to undo.
    blogger.clear();
    ASSERT_EQ(m_blogger.ReadPostList(
                  Answer("<array><data><value><struct><member><name>content</name><value>"
                         "&lt;title&gt;A &amp;amp; &amp;#039;C&amp;#xD800;&lt;/title&gt;body"
                         "</value></member></struct></value></data></array>"),
                  blogger),
              1);
    ASSERT_EQ(blogger.size(), 1u);
    EXPECT_EQ(blogger[0].title, "A &amp; &#039;C&#xD800;");
    EXPECT_EQ(blogger[0].description, "body");
    EXPECT_TRUE(m_reporter.errors.empty());
}

// A character reference that XML does not allow (a surrogate, NUL, past U+10FFFF) makes the
// answer no XML at all: it is refused as a fault that says so, and no text comes out of it.
TEST_F(BlogAnswerReadersTest, ForbiddenCharacterReferencesMakeAClearFault) {
    for (const char* reference :
         {"&#xD800;", "&#55296;", "&#xDFFF;", "&#0;", "&#x110000;", "&#xFFFE;", "&#1;"}) {
        SCOPED_TRACE(reference);
        m_reporter.faults.clear();
        const std::string title = std::string("<string>A") + reference + "B</string>";
        PostList list;
        EXPECT_EQ(m_metaWeblog.ReadPostList(
                      Answer("<array><data><value><struct><member><name>title</name><value>" +
                             title + "</value></member></struct></value></data></array>"),
                      list),
                  0);
        EXPECT_TRUE(list.empty());
        std::string id = "kept";
        EXPECT_EQ(m_blogger.ReadPostId(Answer(title), id), 0);
        EXPECT_EQ(id, "kept");
        ASSERT_EQ(m_reporter.faults.size(), 2u);
        for (const std::string& fault : m_reporter.faults) {
            EXPECT_NE(fault.find("提示信息: 服务器的回应不是格式正确的 XML-RPC 文档: "),
                      std::string::npos)
                << fault;
            EXPECT_NE(fault.find("CharRef"), std::string::npos) << fault;
        }
    }
    // A fault string with such a reference is no readable fault either.
    EXPECT_EQ(FaultShown(Fault("<int>1</int>", "<string>&#xD800;</string>")).first,
              "无法识别的错误代码格式！");
}

TEST_F(BlogAnswerReadersTest, EmptyListsFaultsAndOtherAnswers) {
    PostList list(1);
    ASSERT_EQ(m_metaWeblog.ReadPostList("", list), 1);
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(m_metaWeblog.ReadPostList(Sample("metaWeblog.getRecentPosts.empty.xml"), list), 1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrEmptyPostList, kErrEmptyPostList}));

    // An empty blog answers blogger.getRecentPosts with a fault; MovableType shows i4 codes.
    m_reporter.errors.clear();
    EXPECT_EQ(m_blogger.ReadPostList(Sample("blogger.getRecentPosts.empty.xml"), list), 0);
    EXPECT_NE(m_reporter.faults.back().find("提示代码: 500"), std::string::npos);
    EXPECT_EQ(m_movableType.ReadPostList(Fault("<i4>404</i4>", "<string>x</string>"), list), 0);
    EXPECT_NE(m_reporter.faults.back().find("提示代码: 404"), std::string::npos);
    EXPECT_EQ(m_msn.ReadPostList(Fault("<int>403</int>", "<string>y</string>"), list), 0);
    // Neither a list nor a fault: MetaWeblog shows it, MovableType and MSN take it as empty.
    const std::string odd = Answer("<string>nothing</string>");
    EXPECT_EQ(m_metaWeblog.ReadPostList(odd, list), 0);
    EXPECT_EQ(m_movableType.ReadPostList(odd, list), 1);
    EXPECT_EQ(m_msn.ReadPostList(odd, list), 1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(m_reporter.errors,
              (std::vector<int>{kErrServerFault, kErrServerFault, kErrServerFault, kErrServerFault,
                                kErrEmptyPostList, kErrEmptyPostList}));
}

TEST_F(BlogAnswerReadersTest, MsnAnswersWithoutTypesAndWithTextBeforeTheResponse) {
    const std::string post =
        "<value><struct><member><name>title</name><value>标题一</value></member>"
        "<member><name>description</name><value>&lt;p&gt;正文&lt;/p&gt;</value></member>"
        "<member><name>categories</name><value><array><data><value>生活</value>"
        "<value>Tech</value></data></array></value></member>"
        "<member><name>postid</name><value>cns!1!101</value></member></struct></value>";
    std::string raw = "\xEF\xBB\xBF"
                      "garbage\r\n<methodResponse><params><param><value><array><data>" +
                      post + post + "</data></array></value></param></params></methodResponse>";
    std::string cleaned = CXmlRpcAnswer::CleanMsnAnswer(raw, "GB2312");
    EXPECT_EQ(cleaned.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodResponse>", 0), 0u);
    EXPECT_EQ(CXmlRpcAnswer::CleanMsnAnswer("no response", "UTF-8"), "no response");
    PostList list;
    ASSERT_EQ(m_msn.ReadPostList(cleaned, list), 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].sequence, 2);
    EXPECT_EQ(list[0].title, "标题一");
    EXPECT_EQ(list[0].description, "<p>正文</p>");
    EXPECT_EQ(list[0].category, "生活Tech"); // every name, run together
    EXPECT_EQ(list[0].postId, "cns!1!101");
}

TEST_F(BlogAnswerReadersTest, CategoriesAndMedia) {
    CategoryList list;
    ASSERT_EQ(m_metaWeblog.ReadCategories(Sample("metaWeblog.getCategories.xml"), list), 1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].name + list[2].id, "技术3");
    list.clear();
    ASSERT_EQ(m_movableType.ReadCategories(Sample("mt.getCategoryList.xml"), list), 1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].name + list[1].id, "Uncategorized1");
    list.clear();
    ASSERT_EQ(m_msn.ReadCategories(Answer("<array><data><value><struct><member><name>title"
                                          "</name><value>生活</value></member></struct></value>"
                                          "</data></array>"),
                                   list),
              1);
    EXPECT_EQ(list.at(0).name, "生活");
    std::string url;
    ASSERT_EQ(m_metaWeblog.ReadMediaUrl(Sample("metaWeblog.newMediaObject.xml"), url), 1);
    EXPECT_EQ(url, "http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png");
    EXPECT_TRUE(m_reporter.errors.empty());
    EXPECT_EQ(m_metaWeblog.ReadCategories(Sample("fault-wrong-password.xml"), list), 0);
    EXPECT_EQ(m_metaWeblog.ReadMediaUrl(Sample("fault-unknown-method.xml"), url), 0);
}

TEST(BlogXmlRpcAnswer, GbkAnswerWithoutDeclarationIsReadInTheAccountEncoding) {
    std::string gbk = "<methodResponse><params><param><value><string>\xD6\xD0\xCE\xC4</string>"
                      "</value></param></params></methodResponse>"; // 中文
    CXmlDocument doc;
    ASSERT_TRUE(CXmlRpcAnswer::Load(doc, gbk, "GB2312"));
    EXPECT_EQ(CXmlRpcAnswer::ScalarOr(CXmlRpcAnswer::ResultValue(doc)), "中文");
}

} // namespace
