#include "export/ArticlePreview.h"
#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "platform/text/TextCodec.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/common/BottomHtmlView.h"

#include <QWebEnginePage>
#include <gtest/gtest.h>

namespace {

// The page's text once it has loaded.
QString PageText(CBottomHtmlView& view) {
    QString text;
    bool done = false;
    view.page()->toPlainText([&](const QString& result) {
        text = result;
        done = true;
    });
    WaitFor([&] { return done; }, 10000);
    return text;
}

bool LoadAndWait(CBottomHtmlView& view, const std::function<void()>& action) {
    bool loaded = false;
    auto connection =
        QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool) { loaded = true; });
    action();
    const bool ok = WaitFor([&] { return loaded; }, 30000);
    QObject::disconnect(connection);
    return ok;
}

class ArticlePreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_EQ(
            m_home.Context().Accounts().AddAccount({.name = "预览账户",
                                                    .xmlrpcurl = "http://127.0.0.1:9/xmlrpc.php",
                                                    .port = "80",
                                                    .blogapitype = "MetaWeblog",
                                                    .username = "u",
                                                    .password = "p",
                                                    .encodetype = "UTF-8"}),
            1);
        // A second style that marks its pages, to see which one rendered.
        WriteAll(m_home.File("Data/LogSkin/大字.xsl"),
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                 "<xsl:stylesheet version=\"1.0\" "
                 "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                 "<xsl:output method=\"html\" encoding=\"UTF-8\"/>"
                 "<xsl:template match=\"/\"><html><body><p>大字样式</p>"
                 "<h1><xsl:value-of select=\"root/title\"/></h1></body></html>"
                 "</xsl:template></xsl:stylesheet>");
    }

    CTempHome m_home;
    const ArticleRecord m_article{.id = 31,
                                  .title = "春节见闻 & 随想",
                                  .content =
                                      "<p>第一段：<b>鞭炮</b>声声。</p><p>𠮷野家 ]]> 收尾</p>",
                                  .pubDate = "2026-02-17 08:30:00",
                                  .category = "生活",
                                  .tags = "春节, 民俗、 家乡，"};
};

TEST_F(ArticlePreviewWindowTest, ShowsTheArticleThroughItsAccountStyleAndFollowsStyleChanges) {
    CBottomHtmlView view;
    ASSERT_TRUE(
        LoadAndWait(view, [&] { view.PreviewArticle(m_home.Context(), m_article, "预览账户"); }));
    EXPECT_EQ(view.GetMode(), CBottomHtmlView::kModePreview);
    EXPECT_EQ(view.CurrentKey(), QStringLiteral("31"));
    EXPECT_TRUE(view.ShowsArticlePreview());
    QString text = PageText(view);
    EXPECT_TRUE(text.contains(QStringLiteral("春节见闻 & 随想"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2026-02-17 08:30:00")));
    EXPECT_TRUE(text.contains(QStringLiteral("生活")));
    EXPECT_TRUE(text.contains(QStringLiteral("鞭炮声声")));
    EXPECT_TRUE(text.contains(QStringLiteral("𠮷野家 ]]> 收尾")));
    // The tags, each on its own, under the body.
    EXPECT_TRUE(text.contains(QStringLiteral("标签:"))) << text.toStdString();
    EXPECT_EQ(CArticlePreview::SplitTags("春节, 民俗、 家乡，"),
              (std::vector<std::string>{"春节", "民俗", "家乡"}));
    for (const char* tag : {"春节", "民俗", "家乡"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(tag)));
    // The document the style reads lies beside the styles, in GBK.
    EXPECT_NE(ReadAll(m_home.File("Data/LogSkin/article.xml"))
                  .find(CTextCodec::Utf8ToGbk("href=\"默认.xsl\"")),
              std::string::npos);

    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("预览账户", "logxsl", "大字"), 1);
    ASSERT_TRUE(LoadAndWait(view, [&] { view.RefreshArticlePreview(); }));
    text = PageText(view);
    EXPECT_TRUE(text.contains(QStringLiteral("大字样式")));
    EXPECT_TRUE(text.contains(QStringLiteral("春节见闻")));
}

TEST_F(ArticlePreviewWindowTest, AStyleChangeWhileAFeedItemShowsChangesNothing) {
    CBottomHtmlView view;
    ASSERT_TRUE(
        LoadAndWait(view, [&] { view.PreviewArticle(m_home.Context(), m_article, "预览账户"); }));
    ASSERT_TRUE(LoadAndWait(view, [&] {
        view.ShowRendered(QByteArrayLiteral("<html><body>feed item</body></html>"),
                          QStringLiteral("5"));
    }));
    const QUrl shown = view.url();
    EXPECT_FALSE(view.ShowsArticlePreview());
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("预览账户", "logxsl", "大字"), 1);
    view.RefreshArticlePreview();
    EXPECT_EQ(view.url(), shown);
    EXPECT_EQ(view.GetMode(), CBottomHtmlView::kModeBrowse);
    EXPECT_EQ(PageText(view), QStringLiteral("feed item"));
}

TEST_F(ArticlePreviewWindowTest, AStyleThatFailsShowsItsReason) {
    WriteAll(m_home.File("Data/LogSkin/坏的.xsl"), "<xsl:stylesheet");
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("预览账户", "logxsl", "坏的"), 1);
    CBottomHtmlView view;
    ASSERT_TRUE(
        LoadAndWait(view, [&] { view.PreviewArticle(m_home.Context(), m_article, "预览账户"); }));
    const QString text = PageText(view);
    EXPECT_TRUE(text.contains(QStringLiteral("无法显示这篇日志"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("坏的.xsl")));
}

} // namespace
