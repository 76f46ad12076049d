// The editor's 网站样式: a weblog's home page made into a template, on loopback pages and on
// the WordPress peer.
#include "workspace/WebsiteStyle.h"
#include "app/AppContext.h"

#include "app/AccountStore.h"
#include "blogclient/peer/PeerSupport.h"
#include "platform/LoopbackServer.h"
#include "platform/text/TextCodec.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The text between the element that opens with `opening` and the next `closing`.
std::string Inside(const std::string& html, const std::string& opening,
                   const std::string& closing) {
    const size_t at = html.find(opening);
    if (at == std::string::npos)
        return "(no " + opening + ")";
    const size_t start = at + opening.size();
    return html.substr(start, html.find(closing, start) - start);
}

class WebsiteStyleTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& server = m_site.Server();
        server.Get("/", [](const httplib::Request&, httplib::Response& answer) {
            answer.set_content(ReadTestData("html/site-post.html"), "text/html; charset=UTF-8");
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response& answer) {
            answer.set_content(ReadTestData("html/site-no-post.html"), "text/html");
        });
        server.Get("/gbk", [](const httplib::Request&, httplib::Response& answer) {
            answer.set_content(CTextCodec::Utf8ToGbk("<html><body><article><p>旧</p></article>"
                                                     "<p>页脚文字</p></body></html>"),
                               "text/html; charset=gb2312");
        });
        server.Get("/gone", [](const httplib::Request&, httplib::Response& answer) {
            answer.status = 404;
            answer.set_content("not here", "text/html");
        });
        m_site.Start();
    }

    CTempHome m_home;
    loopback::CHttpServer m_site;
    CWebsiteStyle m_style{m_home.Context(), {.proxy = HttpProxy{.mode = HttpProxy::Mode::kDirect}}};
};

// The page keeps its look (style sheets, absolute, and inline styles), loses everything that
// runs, and takes the article where its first post's content was and the title in its title.
TEST_F(WebsiteStyleTest, TheFirstPostMakesTheTemplateAndNothingOfTheSiteRuns) {
    const std::string home = m_site.Url("/");
    const SiteTemplate made = m_style.Fetch("博客", home, nullptr);
    ASSERT_TRUE(made.ok) << made.reason;
    const std::string& t = made.html;
    EXPECT_NE(t.find("<link rel=\"stylesheet\" href=\"" +
                     m_site.Url("/wp-content/themes/plain/"
                                "style.css?ver=1.7") +
                     "\" media=\"all\">"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("href=\"https://fonts.example.org/css?family=Noto\" media=\"screen\""),
              std::string::npos);
    EXPECT_NE(t.find("<link rel=\"stylesheet\" href=\"" + m_site.Url("/footer.css") + "\">"),
              std::string::npos);
    EXPECT_NE(t.find("<style>.entry-content { color: #333; }</style>"), std::string::npos);
    EXPECT_NE(t.find("<base href=\"" + home + "\">"), std::string::npos);
    EXPECT_NE(t.find("<title>小站 – 又一个博客</title>"), std::string::npos);
    EXPECT_NE(t.find("<body class=\"home blog\">"), std::string::npos);
    for (const char* gone :
         {"<script", "alert", "javascript:", "onload", "onclick", "onerror", "<iframe", "<noscript",
          "refresh", "night.css", "favicon", "旧文章的正文", "旧文章的标题", "js-only"})
        EXPECT_EQ(t.find(gone), std::string::npos) << gone;
    // Only the second post and the rest of the page stay as the site wrote them.
    EXPECT_NE(t.find("第二篇的正文"), std::string::npos);
    EXPECT_NE(t.find("src=\"images/icon.png\""), std::string::npos);

    const std::string page =
        CWebsiteStyle::Fill(t, "新的 <标题> & " + std::string(CWebsiteStyle::kArticleMark),
                            "<p>新文章的<b>正文</b></p>");
    EXPECT_EQ(Inside(page, "<div class=\"entry-content\">", "</div>"),
              "<p>新文章的<b>正文</b></p>");
    EXPECT_EQ(Inside(page, "<h2 class=\"entry-title\">", "</h2>"),
              "<a>新的 &lt;标题&gt; &amp; &lt;!--quillmark:article--&gt;</a>");
    // The first post only: the second keeps its own.
    EXPECT_NE(page.find("<div class=\"entry-content\"><p>第二篇的正文</p></div>"),
              std::string::npos);

    // Kept for the account and this address, and recognised by the next editor.
    std::string cached;
    ASSERT_TRUE(m_style.LoadCached("博客", home, cached));
    EXPECT_EQ(cached, t);
    EXPECT_EQ(CWebsiteStyle::SourceOf(cached), home);
    EXPECT_FALSE(m_style.LoadCached("博客", m_site.Url("/other"), cached));
    EXPECT_FALSE(m_style.LoadCached("别的账户", home, cached));
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(CWebsiteStyle::FolderOf(m_home.Context()))) {
        EXPECT_EQ(entry.path().extension(), ".html");
        ++files;
    }
    EXPECT_EQ(files, 1);
}

// A page without a post, an error, a host that does not answer: each with its reason, and the
// copy kept before stays.
TEST_F(WebsiteStyleTest, PagesThatGiveNoTemplateSayWhyAndKeepTheLastCopy) {
    ASSERT_TRUE(m_style.Fetch("博客", m_site.Url("/"), nullptr).ok);
    const std::string closed = "http://127.0.0.1:" + std::to_string(loopback::ClosedPort()) + "/";
    const std::pair<std::string, std::string> failures[] = {
        {m_site.Url("/empty"),
         std::string(CWebsiteStyle::kNoPostText) + ": " + m_site.Url("/empty")},
        {m_site.Url("/gone"), "无法读取博客首页: HTTP 404"},
        {closed, "无法读取博客首页: "},
        {"ftp://example.org/", "博客地址不是 http 或 https 地址: ftp://example.org/"},
    };
    for (const auto& [address, reason] : failures) {
        const SiteTemplate failed = m_style.Fetch("博客", address, nullptr);
        EXPECT_FALSE(failed.ok) << address;
        EXPECT_TRUE(failed.html.empty());
        EXPECT_EQ(failed.reason.rfind(reason, 0), 0u) << failed.reason;
    }
    std::string cached;
    EXPECT_TRUE(m_style.LoadCached("博客", m_site.Url("/"), cached));

    // A cancelled read ends at once, saying so.
    CCancelToken cancel;
    cancel.Cancel();
    const SiteTemplate cancelled = m_style.Fetch("博客", m_site.Url("/"), &cancel);
    EXPECT_FALSE(cancelled.ok);
    EXPECT_EQ(cancelled.reason, "无法读取博客首页: 传输已取消");
}

// A page in GBK is read as GBK; a site without the usual classes falls back to its first
// <article>; the weblog address comes from the account.
TEST_F(WebsiteStyleTest, OtherPagesAndTheAccountsAddress) {
    const SiteTemplate gbk = m_style.Fetch("博客", m_site.Url("/gbk"), nullptr);
    ASSERT_TRUE(gbk.ok) << gbk.reason;
    const std::string page = CWebsiteStyle::Fill(gbk.html, "标题", "<p>正文</p>");
    EXPECT_NE(page.find("<article><h2>标题</h2><div><p>正文</p></div></article><p>页脚文字</p>"),
              std::string::npos)
        << page;

    const SiteTemplate titled = CWebsiteStyle::MakeTemplate(
        "<article><header><h1>旧</h1></header><p>旧正文</p><footer>尾</footer></article>",
        "http://example.org/", "http://example.org/");
    ASSERT_TRUE(titled.ok);
    EXPECT_NE(CWebsiteStyle::Fill(titled.html, "新", "<p>新正文</p>")
                  .find("<article><header><h1>新</h1></header><div><p>新正文</p></div></article>"),
              std::string::npos)
        << titled.html;

    ASSERT_EQ(m_home.Context().Accounts().AddAccount({.name = "有地址",
                                                      .xmlrpcurl = "http://127.0.0.1:9/xmlrpc.php",
                                                      .port = "80",
                                                      .blogapitype = "MetaWeblog",
                                                      .username = "u",
                                                      .password = "p",
                                                      .blogurl = " https://example.org/blog ",
                                                      .encodetype = "UTF-8"}),
              1);
    EXPECT_EQ(CWebsiteStyle::HomeAddressOf(m_home.Context(), "有地址"), "https://example.org/blog");
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("有地址", "blogurl", "http://"), 1);
    EXPECT_EQ(CWebsiteStyle::HomeAddressOf(m_home.Context(), "有地址"), "");
    EXPECT_EQ(CWebsiteStyle::HomeAddressOf(m_home.Context(), "没有这个账户"), "");
}

// The peer's real theme (twentytwentyone): its style sheets stay and the article lands in the
// first post's content element.
TEST_F(WebsiteStyleTest, ThePeersHomePageTakesTheArticle) {
    SKIP_WITHOUT_PEER();
    const SiteTemplate made = m_style.Fetch("peer", "http://127.0.0.1:8080/", nullptr);
    ASSERT_TRUE(made.ok) << made.reason;
    EXPECT_NE(made.html.find("<link rel=\"stylesheet\" href=\"http://127.0.0.1:8080/wp-content/"
                             "themes/twentytwentyone/style.css?ver="),
              std::string::npos);
    EXPECT_EQ(made.html.find("<script"), std::string::npos);
    const std::string page = CWebsiteStyle::Fill(made.html, "预览的标题", "<p>预览的正文</p>");
    const std::string_view contentTag = "<div class=\"entry-content\">";
    const size_t content = page.find(contentTag);
    ASSERT_NE(content, std::string::npos) << page;
    EXPECT_EQ(page.find("<p>预览的正文</p>"), content + contentTag.size());
    const size_t title = page.find("预览的标题");
    ASSERT_NE(title, std::string::npos);
    EXPECT_LT(title, content);
    EXPECT_NE(page.rfind("entry-title", title), std::string::npos);
}

} // namespace
