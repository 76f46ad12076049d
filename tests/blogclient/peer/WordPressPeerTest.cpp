// The weblog interfaces against the real WordPress server of the peer.
#include "../BlogTestSupport.h"
#include "PeerSupport.h"

#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MovableTypeApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/fs/FileUtil.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace {

struct InterfaceCase {
    const char* type;
    const char* encoding;
};

void PrintTo(const InterfaceCase& c, std::ostream* os) {
    *os << c.type << " " << c.encoding;
}

std::string CaseName(const ::testing::TestParamInfo<InterfaceCase>& info) {
    std::string name = std::string(info.param.type) + "_" + info.param.encoding;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

class BlogPeerTest : public ::testing::TestWithParam<InterfaceCase> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_PEER();
        m_api = CBlogApiFactory::Create(GetParam().type);
        ASSERT_NE(m_api, nullptr);
        m_api->Bind(PeerAccount("peer", GetParam().type, GetParam().encoding), {});
    }

    const PostEntry* Find(const PostList& list, const std::string& postId) {
        for (const PostEntry& e : list) {
            if (e.postId == postId)
                return &e;
        }
        return nullptr;
    }

    CTempHome m_home;
    CFaultRecorder m_reporter;
    CScopedReporter m_scope{m_reporter};
    std::unique_ptr<CBloggerApi> m_api;
};

TEST_P(BlogPeerTest, PublishFetchEditDelete) {
    const bool blogger = std::string(GetParam().type) == "Blogger";
    // Other test runs may publish to the same server meanwhile: posts are found by their ids.
    PostRequest post = m_api->MakeRequest();
    post.title = "测试 \"引号\" & <尖括号> 'apos' " + std::string(GetParam().encoding);
    post.description = "<b>正文</b>：你好，世界！ & 再见";
    post.category = "技术";

    std::string postId;
    ASSERT_EQ(m_api->NewPost(post, postId), 1) << ::testing::PrintToString(m_reporter.faults);
    EXPECT_GT(std::stoi(postId), 0);

    PostList list;
    ASSERT_EQ(m_api->GetRecentPosts(list, 20), 1);
    const PostEntry* fetched = Find(list, postId);
    ASSERT_NE(fetched, nullptr) << "post " << postId << " not among the recent posts";
    EXPECT_EQ(fetched->title, post.title);
    if (blogger) {
        EXPECT_EQ(fetched->description, "<p>" + post.description + "</p>");
    } else {
        EXPECT_EQ(fetched->description, post.description);
        EXPECT_EQ(fetched->category, "技术");
        EXPECT_EQ(fetched->link, "http://127.0.0.1:8080/?p=" + postId);
    }
    EXPECT_EQ(fetched->dateCreated.find('T'), 8u) << fetched->dateCreated; // 20070315T09:05:00

    PostRequest edit = post;
    edit.postId = postId;
    edit.title = "修改后 <标题> & \"引号\"";
    edit.description = "修改后的正文 & <i>斜体</i>";
    int result = 0;
    ASSERT_EQ(m_api->EditPost(edit, result), 1);
    EXPECT_EQ(result, 1);
    list.clear();
    ASSERT_EQ(m_api->GetRecentPosts(list, 20), 1);
    fetched = Find(list, postId);
    ASSERT_NE(fetched, nullptr);
    EXPECT_EQ(fetched->title, edit.title);
    EXPECT_NE(fetched->description.find("修改后的正文 & <i>斜体</i>"), std::string::npos);

    PostRequest del = m_api->MakeRequest();
    del.postId = postId;
    ASSERT_EQ(m_api->DeletePost(del), 1);
    EXPECT_TRUE(m_reporter.errors.empty()) << ::testing::PrintToString(m_reporter.faults);

    // The post left the recent posts. When it was the only one, the blog is empty: WordPress
    // then answers getRecentPosts with an empty list (4001) or, for Blogger, a fault.
    list.clear();
    if (m_api->GetRecentPosts(list, 20) == 1) {
        EXPECT_EQ(Find(list, postId), nullptr);
    } else {
        ASSERT_EQ(m_reporter.errors, std::vector<int>{kErrServerFault});
        EXPECT_NE(m_reporter.faults.back().find("Either there are no posts"), std::string::npos);
    }
}

TEST_P(BlogPeerTest, UsersBlogsCategoriesAndMedia) {
    BlogInfo info;
    ASSERT_EQ(m_api->GetUsersBlogs(info), 1);
    EXPECT_EQ(info.url + " " + info.blogId + " " + info.blogName,
              "http://127.0.0.1:8080/ 1 Quill 测试博客");

    auto* metaWeblog = dynamic_cast<CMetaWeblogApi*>(m_api.get());
    if (!metaWeblog)
        return; // the Blogger API has neither categories nor media
    CategoryList categories;
    ASSERT_EQ(metaWeblog->GetCategories(categories), 1);
    std::vector<std::string> names;
    for (const CategoryEntry& c : categories) {
        names.push_back(c.name);
        EXPECT_FALSE(c.id.empty());
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "技术"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "News"), names.end());

    // A 3x2 PNG under a Chinese name; the stored file is served back byte for byte.
    const std::string png = "iVBORw0KGgoAAAANSUhEUgAAAAMAAAACCAIAAAASFvFNAAAAEElEQVR4nGM4IScHQQxw"
                            "FgBBAAYZPEVBlgAAAABJRU5ErkJggg==";
    std::string url;
    ASSERT_EQ(metaWeblog->NewMediaObject(std::string("图片-") + GetParam().encoding + ".png",
                                         "image/png", png, url),
              1);
    EXPECT_EQ(url.rfind("http://127.0.0.1:8080/wp-content/uploads/", 0), 0u) << url;
    EXPECT_NE(url.find("图片-"), std::string::npos) << url;
    CHttpClient client;
    HttpResponse served = client.Get(url);
    ASSERT_TRUE(served.IsSuccess()) << served.errorText << " " << served.status;
    EXPECT_EQ(CXmlRpcRequest::Base64Encode(served.body), png);
    EXPECT_TRUE(m_reporter.errors.empty()) << ::testing::PrintToString(m_reporter.faults);
}

TEST_P(BlogPeerTest, WrongPasswordShowsTheServersFault) {
    AccountRecord wrong = PeerAccount("peer", GetParam().type, GetParam().encoding);
    wrong.password = "not-the-password";
    m_api->Bind(wrong, {});
    PostList list;
    EXPECT_EQ(m_api->GetRecentPosts(list, 5), 0);
    std::string postId;
    PostRequest post = m_api->MakeRequest();
    post.title = "不应发布";
    EXPECT_EQ(m_api->NewPost(post, postId), 0);
    EXPECT_TRUE(postId.empty());
    ASSERT_EQ(m_reporter.errors, (std::vector<int>{kErrServerFault, kErrServerFault}));
    // Over REST WordPress answers a password it does not know as no login at all: the posts of
    // every status and a new post are refused with its own words.
    if (std::string(GetParam().type) == "WordPress REST") {
        ASSERT_EQ(m_reporter.faults.size(), 2u);
        EXPECT_NE(m_reporter.faults[0].find("提示代码: rest_invalid_param\r\n提示信息: Invalid "
                                            "parameter(s): status — status: Status is forbidden. "
                                            "(HTTP 400)"),
                  std::string::npos)
            << m_reporter.faults[0];
        EXPECT_NE(m_reporter.faults[1].find("提示代码: rest_cannot_create\r\n提示信息: Sorry, you "
                                            "are not allowed to create posts as this user. (HTTP "
                                            "401)"),
                  std::string::npos)
            << m_reporter.faults[1];
        return;
    }
    for (const std::string& fault : m_reporter.faults) {
        EXPECT_NE(fault.find("提示代码: 403"), std::string::npos) << fault;
        EXPECT_NE(fault.find("提示信息: Incorrect username or password."), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WordPress, BlogPeerTest,
    ::testing::Values(InterfaceCase{"Blogger", "UTF-8"}, InterfaceCase{"Blogger", "GB2312"},
                      InterfaceCase{"MetaWeblog", "UTF-8"}, InterfaceCase{"MetaWeblog", "GB2312"},
                      InterfaceCase{"MovableType", "UTF-8"}, InterfaceCase{"MovableType", "GB2312"},
                      InterfaceCase{"WordPress REST", "UTF-8"}),
    CaseName);

// A title with quotes, an ampersand, markup and an apostrophe published through the Blogger
// interface is stored as typed (WordPress takes the title element's text literally): MetaWeblog
// reads it so, and Blogger reads the same back. An empty title leaves nothing in the body.
TEST(BlogPeerBloggerTitle, StoredAsTypedAndReadBackTheSame) {
    SKIP_WITHOUT_PEER();
    CTempHome home;
    CFaultRecorder reporter;
    CScopedReporter scope(reporter);
    for (const char* encoding : {"UTF-8", "GB2312"}) {
        SCOPED_TRACE(encoding);
        CBloggerApi blogger;
        blogger.Bind(PeerAccount("peer", "Blogger", encoding), {});
        CMetaWeblogApi metaWeblog;
        metaWeblog.Bind(PeerAccount("peer", "MetaWeblog", encoding), {});
        auto fetch = [](CBloggerApi& api, const std::string& postId) {
            PostList list;
            EXPECT_EQ(api.GetRecentPosts(list, 20), 1);
            for (const PostEntry& e : list) {
                if (e.postId == postId)
                    return e;
            }
            ADD_FAILURE() << "post " << postId << " not among the recent posts";
            return PostEntry();
        };

        PostRequest post = blogger.MakeRequest();
        post.title = "标题 \"引号\" & <b>粗</b> O'Brien " + std::string(encoding);
        post.description = "正文";
        std::string postId;
        ASSERT_EQ(blogger.NewPost(post, postId), 1) << ::testing::PrintToString(reporter.faults);
        EXPECT_EQ(fetch(metaWeblog, postId).title, post.title);
        EXPECT_EQ(fetch(blogger, postId).title, post.title);

        PostRequest edit = post;
        edit.postId = postId;
        edit.title = "改 &amp; 不是实体 &#039; 'x' " + std::string(encoding);
        int result = 0;
        ASSERT_EQ(blogger.EditPost(edit, result), 1);
        EXPECT_EQ(fetch(metaWeblog, postId).title, edit.title);
        EXPECT_EQ(fetch(blogger, postId).title, edit.title);

        edit.title.clear();
        ASSERT_EQ(blogger.EditPost(edit, result), 1);
        PostEntry untitled = fetch(metaWeblog, postId);
        EXPECT_EQ(untitled.title, "");
        EXPECT_EQ(untitled.description, "<p>正文</p>");

        PostRequest del = blogger.MakeRequest();
        del.postId = postId;
        EXPECT_EQ(blogger.DeletePost(del), 1);
    }
    EXPECT_TRUE(reporter.errors.empty()) << ::testing::PrintToString(reporter.faults);
}

class BlogPeerTransportTest : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_PEER(); }
    CTempHome m_home;
    CFaultRecorder m_reporter;
    CScopedReporter m_scope{m_reporter};
};

TEST_F(BlogPeerTransportTest, HttpsNeedsATrustedCertificate) {
    const std::string cert = PeerDir() + "/tls/cert.pem";
    if (!CFileUtil::Exists(cert))
        GTEST_SKIP() << "the peer has no TLS listener (" << cert << " missing)";
    AccountRecord account = PeerAccount("tls", "MetaWeblog");
    account.xmlrpcurl = kPeerTlsUrl;
    account.port = "8443";
    CMetaWeblogApi api;
    api.Bind(account, {});
    BlogInfo info;
    EXPECT_EQ(api.GetUsersBlogs(info), 0);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrNetwork});

    api.SetCaFile(cert);
    ASSERT_EQ(api.GetUsersBlogs(info), 1);
    EXPECT_EQ(info.blogName, "Quill 测试博客");
}

} // namespace

// A post made over REST, with its category, tags, excerpt and a picture, read back by a second
// client over XML-RPC; changed and deleted over REST, and seen so over XML-RPC.
TEST(BlogPeerRest, ArticleCycleReadBackOverXmlRpc) {
    SKIP_WITHOUT_PEER();
    CTempHome home;
    CFaultRecorder reporter;
    CScopedReporter scope(reporter);
    auto rest = CBlogApiFactory::Create("WordPress REST");
    rest->Bind(PeerAccount("rest", "WordPress REST"), {});
    auto* restApi = dynamic_cast<CMetaWeblogApi*>(rest.get());
    ASSERT_NE(restApi, nullptr);
    const std::string run = std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));

    std::string picture;
    ASSERT_EQ(restApi->NewMediaObject("rest-" + run + ".png", "image/png",
                                      "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8"
                                      "z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==",
                                      picture),
              1)
        << ::testing::PrintToString(reporter.faults);
    PostRequest post = rest->MakeRequest();
    post.title = "REST 文章 " + run;
    post.description = "<p>正文 &amp; <img src=\"" + picture + "\"></p>";
    post.category = "技术";
    post.tags = "标签甲-" + run + ", 标签乙-" + run;
    post.abstract = "摘要 " + run;
    std::string postId;
    ASSERT_EQ(rest->NewPost(post, postId), 1) << ::testing::PrintToString(reporter.faults);

    // The second client: metaWeblog.getPost over XML-RPC.
    CHttpClient client;
    const auto getPost = [&] {
        return client
            .Post(kPeerUrl,
                  "<?xml version=\"1.0\"?><methodCall><methodName>metaWeblog.getPost</methodName>"
                  "<params><param><value><string>" +
                      postId +
                      "</string></value></param><param><value><string>admin</string></value>"
                      "</param><param><value><string>quill-pass-1</string></value></param>"
                      "</params></methodCall>",
                  {{"Content-Type", "text/xml"}})
            .body;
    };
    const std::string seen = getPost();
    for (const std::string& part :
         {post.title, std::string("<string>技术</string>"), "标签甲-" + run, "标签乙-" + run,
          post.abstract, picture, std::string("<string>publish</string>")})
        EXPECT_NE(seen.find(part), std::string::npos) << part << "\n" << seen;

    // An edit carries the article's options as a new post does: the changed tags, slug and
    // status reach the server, and the tag taken away leaves the post.
    PostRequest edit = post;
    edit.postId = postId;
    edit.title = "REST 修改 " + run;
    edit.tags = "标签丙-" + run;
    edit.slug = "rest-edit-" + run;
    edit.serverDraft = true;
    int result = 0;
    ASSERT_EQ(rest->EditPost(edit, result), 1);
    const std::string edited = getPost();
    for (const std::string& part :
         {edit.title, "标签丙-" + run, edit.slug, std::string("<string>draft</string>")})
        EXPECT_NE(edited.find(part), std::string::npos) << part << "\n" << edited;
    EXPECT_EQ(edited.find("标签甲-" + run), std::string::npos) << edited;

    CategoryList categories;
    ASSERT_EQ(restApi->GetCategories(categories), 1);
    EXPECT_TRUE(std::any_of(categories.begin(), categories.end(), [](const CategoryEntry& c) {
        return c.name == "技术" && c.id == "3";
    }));

    PostRequest del = rest->MakeRequest();
    del.postId = postId;
    ASSERT_EQ(rest->DeletePost(del), 1);
    EXPECT_NE(getPost().find("<string>trash</string>"), std::string::npos);
    EXPECT_TRUE(reporter.errors.empty()) << ::testing::PrintToString(reporter.faults);
}

namespace {

// The site's time zone setting (timezone_string) read and written over REST as the admin; ""
// when it cannot be read.
std::string SiteTimeZone(CHttpClient& client) {
    HttpRequest get{.url = std::string(kPeerRestUrl) + "wp/v2/settings"};
    get.headers = {
        {"Authorization", "Basic " + CXmlRpcRequest::Base64Encode("admin:" + PeerAppPassword())}};
    const nlohmann::json settings = nlohmann::json::parse(client.Perform(get).body, nullptr, false);
    return settings.is_object() && settings.contains("timezone")
               ? settings["timezone"].get<std::string>()
               : "";
}

bool SetSiteTimeZone(CHttpClient& client, const std::string& zone) {
    HttpRequest set{.method = "POST",
                    .url = std::string(kPeerRestUrl) + "wp/v2/settings",
                    .body = nlohmann::json{{"timezone", zone}}.dump()};
    set.headers = {
        {"Authorization", "Basic " + CXmlRpcRequest::Base64Encode("admin:" + PeerAppPassword())},
        {"Content-Type", "application/json"}};
    return client.Perform(set).IsSuccess() && SiteTimeZone(client) == zone;
}

// The text of a dateTime.iso8601 member of an XML-RPC answer.
std::string DateMember(const std::string& answer, const std::string& name) {
    const size_t at = answer.find("<name>" + name + "</name>");
    const size_t open = answer.find("<dateTime.iso8601>", at);
    if (at == std::string::npos || open == std::string::npos)
        return {};
    return answer.substr(open + 18, answer.find('<', open + 18) - open - 18);
}

} // namespace

// A post's date is the instant the writer gave, on a site in Beijing time and on one in UTC,
// whether sent over XML-RPC or REST: read back by a second client, its UTC date is the instant and
// its local date that instant in the site's zone. The site's zone is put back afterwards (other
// runs may use the peer meanwhile; they find the zone they expect again within seconds).
TEST(BlogPeerDates, PostDateIsTheInstantSentInEverySiteZone) {
    SKIP_WITHOUT_PEER();
    CTempHome home;
    CFaultRecorder reporter;
    CScopedReporter scope(reporter);
    CHttpClient client;
    const std::string original = PeerAppPassword().empty() ? "" : SiteTimeZone(client);
    if (original.empty())
        GTEST_SKIP() << "the peer's time zone setting cannot be read over REST";
    // Put back however the test ends.
    struct Restore {
        CHttpClient& client;
        std::string zone;
        ~Restore() { EXPECT_TRUE(SetSiteTimeZone(client, zone)) << "restoring the peer's zone"; }
    } restore{client, original};
    // Yesterday, on a whole minute: a past date publishes at once.
    const std::time_t when = (std::time(nullptr) - 86400) / 60 * 60;
    std::vector<std::string> madeIds;
    for (const auto& [zone, offset] : {std::pair<std::string, int>{"Asia/Shanghai", 8 * 3600},
                                       std::pair<std::string, int>{"UTC", 0}}) {
        ASSERT_TRUE(SetSiteTimeZone(client, zone)) << zone;
        for (const char* type : {"MetaWeblog", "WordPress REST"}) {
            auto api = CBlogApiFactory::Create(type);
            api->Bind(PeerAccount("dates", type), {});
            PostRequest post = api->MakeRequest();
            post.title = "日期 " + zone + " " + type + " " + std::to_string(::getpid());
            post.description = "<p>日期</p>";
            post.postTime = when;
            std::string postId;
            ASSERT_EQ(api->NewPost(post, postId), 1) << ::testing::PrintToString(reporter.faults);
            madeIds.push_back(postId);
            const std::string seen =
                client
                    .Post(kPeerUrl,
                          "<?xml version=\"1.0\"?><methodCall><methodName>metaWeblog.getPost"
                          "</methodName><params><param><value><string>" +
                              postId +
                              "</string></value></param><param><value><string>admin</string>"
                              "</value></param><param><value><string>quill-pass-1</string>"
                              "</value></param></params></methodCall>",
                          {{"Content-Type", "text/xml"}})
                    .body;
            EXPECT_EQ(DateMember(seen, "date_created_gmt"), CXmlRpcRequest::FormatGmtIsoDate(when))
                << zone << " " << type;
            EXPECT_EQ(DateMember(seen, "dateCreated"),
                      CXmlRpcRequest::FormatGmtIsoDate(when + offset))
                << zone << " " << type;
        }
    }
    auto api = CBlogApiFactory::Create("MetaWeblog");
    api->Bind(PeerAccount("dates", "MetaWeblog"), {});
    for (const std::string& id : madeIds) {
        PostRequest gone = api->MakeRequest();
        gone.postId = id;
        api->DeletePost(gone);
    }
}
