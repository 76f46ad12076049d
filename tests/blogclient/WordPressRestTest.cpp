// The WordPress REST interface on answers recorded from the WordPress peer
// (tests/data/blogclient/rest/record.sh): what each operation asks for, how it reads the
// answers, and that a WordPress error reaches the user with its code and message.
#include "BlogTestSupport.h"

#include "app/ErrorCatalog.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/WordPressRestApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/LoopbackServer.h"

#include <gtest/gtest.h>

namespace {

std::string RestSample(const std::string& name) {
    return ReadTestData("blogclient/rest/" + name);
}

// Answers every exchange with the next canned reply and records the calls.
class CCapturingRestApi : public CWordPressRestApi {
public:
    int Exchange(const RestCall& call, RestReply& reply) override {
        calls.push_back(call);
        if (replies.empty())
            return 0;
        reply = replies.front();
        replies.erase(replies.begin());
        return 1;
    }
    std::string Query(size_t index, const std::string& name) const {
        for (const auto& [key, value] : calls.at(index).query) {
            if (key == name)
                return value;
        }
        return "<none>";
    }

    std::vector<RestCall> calls;
    std::vector<RestReply> replies;
};

RestReply Ok(const std::string& body) {
    return {.status = 200, .body = body, .contentType = "application/json"};
}

class WordPressRest : public ::testing::Test {
protected:
    void SetUp() override { m_api.Bind(TestAccount(CWordPressRestApi::kTypeName), {}); }

    CTempHome m_home;
    CFaultRecorder m_reporter;
    CScopedReporter m_scope{m_reporter};
    CCapturingRestApi m_api;
};

} // namespace

TEST(WordPressRestRoutes, RoutesFollowTheBaseTheSiteAnnounces) {
    EXPECT_EQ(CWordPressRestApi::RouteUrl("http://h:8080/index.php?rest_route=/", "/wp/v2/posts",
                                          {{"per_page", "5"}, {"search", "技 术&x"}}),
              "http://h:8080/index.php?rest_route=/wp/v2/posts&per_page=5&search=%E6%8A%80%20%E6%"
              "9C%AF%26x");
    EXPECT_EQ(CWordPressRestApi::RouteUrl("https://h/blog/?rest_route=%2F&lang=zh",
                                          "/wp/v2/users/me", {}),
              "https://h/blog/?rest_route=/wp/v2/users/me&lang=zh");
    EXPECT_EQ(CWordPressRestApi::RouteUrl("https://h/wp-json/", "/wp/v2/posts/7", {{"a", "1"}}),
              "https://h/wp-json/wp/v2/posts/7?a=1");
    EXPECT_EQ(CWordPressRestApi::IsoDate("2026-12-07T13:32:15"), "20261207T13:32:15");
    EXPECT_NE(CBlogApiFactory::Create("WordPress REST"), nullptr);
}

TEST_F(WordPressRest, ChecksTheUserAndReadsTheSite) {
    m_api.replies = {Ok(RestSample("users.me.json")), Ok(RestSample("index.json"))};
    BlogInfo info;
    ASSERT_EQ(m_api.GetUsersBlogs(info), 1);
    EXPECT_EQ(m_api.calls.at(0).route, "/wp/v2/users/me");
    EXPECT_EQ(info.blogName, "Quill 测试博客");
    EXPECT_EQ(info.url, "http://127.0.0.1:8080/");
    EXPECT_EQ(info.blogId, "1");
}

TEST_F(WordPressRest, ReadsPostsWithTheirCategoryNames) {
    m_api.replies = {Ok(RestSample("posts.list.json")), Ok(RestSample("categories.json"))};
    PostList posts;
    ASSERT_EQ(m_api.GetRecentPosts(posts, 5), 1);
    EXPECT_EQ(m_api.Query(0, "per_page"), "5");
    EXPECT_EQ(m_api.Query(0, "context"), "edit");
    EXPECT_EQ(m_api.Query(1, "include"), "1,2"); // the draft is Uncategorized, the other News
    ASSERT_EQ(posts.size(), 2u);
    // Newest first: the draft, then the published post in News.
    EXPECT_EQ(posts[0].title, "REST 录制二");
    EXPECT_EQ(posts[1].title, "REST 录制一");
    EXPECT_EQ(posts[1].description, "<p>第一篇 &amp; 正文</p>");
    EXPECT_EQ(posts[1].category, "News");
    EXPECT_EQ(posts[1].userId, "1");
    EXPECT_EQ(posts[1].sequence, 2);
    EXPECT_EQ(posts[1].dateCreated.size(), 17u) << posts[1].dateCreated;
    EXPECT_NE(posts[1].link.find("?p="), std::string::npos);
}

TEST_F(WordPressRest, AHundredAndFiftyPostsComeInTwoPages) {
    std::string page1 = "[";
    for (int i = 0; i < 100; ++i)
        page1 += std::string(i ? "," : "") + "{\"id\":" + std::to_string(1000 - i) + "}";
    m_api.replies = {Ok(page1 + "]"), Ok("[{\"id\":1},{\"id\":2}]")};
    PostList posts;
    ASSERT_EQ(m_api.GetRecentPosts(posts, 150), 1);
    ASSERT_EQ(m_api.calls.size(), 2u);
    EXPECT_EQ(m_api.Query(1, "page"), "2");
    EXPECT_EQ(m_api.Query(1, "per_page"), "100");
    EXPECT_EQ(posts.size(), 102u);
    EXPECT_EQ(posts.back().postId, "2");
}

TEST_F(WordPressRest, PublishesWithCategoryAndTagIdsMakingMissingOnes) {
    m_api.replies = {Ok(RestSample("categories.json")), // search "News": found
                     Ok("[]"),                          // tag "新标签": none
                     Ok("{\"id\":41}"),                 // made
                     Ok(RestSample("posts.create.json"))};
    PostRequest request = m_api.MakeRequest();
    request.title = "标题";
    request.description = "<p>正文</p>";
    request.category = "News";
    request.tags = "新标签，";
    request.abstract = "摘要";
    std::string postId;
    ASSERT_EQ(m_api.NewPost(request, postId), 1);
    EXPECT_EQ(postId, "752");
    ASSERT_EQ(m_api.calls.size(), 4u);
    EXPECT_EQ(m_api.Query(0, "search"), "News");
    EXPECT_EQ(m_api.calls[2].method, "POST");
    EXPECT_EQ(m_api.calls[2].route, "/wp/v2/tags");
    EXPECT_EQ(m_api.calls[3].route, "/wp/v2/posts");
    EXPECT_EQ(m_api.calls[3].body,
              "{\"categories\":[2],\"content\":\"<p>正文</p>\",\"excerpt\":\"摘要\","
              "\"status\":\"publish\",\"tags\":[41],\"title\":\"标题\"}");
}

TEST_F(WordPressRest, UploadsThePictureAsItsBytes) {
    m_api.replies = {Ok("{\"id\":9,\"source_url\":\"http://h/wp-content/uploads/图.png\"}")};
    std::string url;
    ASSERT_EQ(
        m_api.NewMediaObject("图.png", "image/png", CXmlRpcRequest::Base64Encode("\x89PNG"), url),
        1);
    EXPECT_EQ(url, "http://h/wp-content/uploads/图.png");
    EXPECT_EQ(m_api.calls.at(0).body, "\x89PNG");
    EXPECT_EQ(m_api.calls[0].contentType, "image/png");
    EXPECT_EQ(m_api.calls[0].headers.at(0).value,
              "attachment; filename=\"图.png\"; filename*=UTF-8''%E5%9B%BE.png");
}

TEST_F(WordPressRest, EveryFailureCarriesTheServersCodeAndMessage) {
    struct Case {
        RestReply reply;
        int error;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{.status = 401, .body = RestSample("error.not-logged-in.json")},
         kErrServerFault,
         "提示代码: rest_not_logged_in\r\n提示信息: You are not currently logged in. (HTTP 401)"},
        {{.status = 401, .body = RestSample("error.cannot-create.json")},
         kErrServerFault,
         "提示代码: rest_cannot_create"},
        {{.status = 502, .body = "<html>Bad gateway</html>"}, kErrHttpStatus, "HTTP 502"},
        {Ok("<html>a page</html>"), kErrServerFault, "不是 WordPress REST 接口的 JSON 回答"},
    };
    for (const Case& c : cases) {
        m_reporter.errors.clear();
        m_reporter.faults.clear();
        m_api.replies = {c.reply};
        CategoryList list;
        EXPECT_EQ(m_api.GetCategories(list), 0);
        ASSERT_EQ(m_reporter.errors, std::vector<int>{c.error}) << c.text;
        EXPECT_NE(m_reporter.faults.at(0).find(c.text), std::string::npos) << m_reporter.faults[0];
    }
}

// With the debug setting on, the exchanges go to the trace file, without the password.
TEST(WordPressRestTrace, ExchangesAreTracedWithoutThePassword) {
    CTempHome home;
    CFaultRecorder reporter;
    CScopedReporter scope(reporter);
    loopback::CHttpServer site;
    site.Server().Get("/", [](const httplib::Request&, httplib::Response& answer) {
        answer.status = 401;
        answer.set_content(RestSample("error.not-logged-in.json"), "application/json");
    });
    site.Start();
    AccountRecord account = TestAccount(CWordPressRestApi::kTypeName);
    account.xmlrpcurl = site.Url("/?rest_route=/");
    account.port = std::to_string(site.Port());
    CWordPressRestApi api;
    api.Bind(account, {});
    api.SetDebugPath(home.File("trace.txt"));
    BlogInfo info;
    EXPECT_EQ(api.GetUsersBlogs(info), 0);
    const std::string trace = ReadAll(home.File("trace.txt"));
    EXPECT_NE(
        trace.find("GET " + site.Url("/?rest_route=/wp/v2/users/me&context=edit") + ": HTTP 401"),
        std::string::npos)
        << trace;
    EXPECT_NE(trace.find("rest_not_logged_in"), std::string::npos);
    EXPECT_EQ(trace.find(account.password), std::string::npos);
}
