#include "ui/common/BottomHtmlView.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/common/CommandIds.h"
#include "ui/common/ReadingFrame.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QToolBar>
#include <QWebEngineSettings>
#include <gtest/gtest.h>

namespace {

// Takes the addresses that would go to the user's browser.
class CUrlCatcher : public QObject {
    Q_OBJECT
public:
    CUrlCatcher() {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
    }
    ~CUrlCatcher() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST(BottomHtmlViewRules, PreviewLinksToTheWebLeaveTheProgram) {
    const QUrl http(QStringLiteral("http://example.org/a"));
    const QUrl https(QStringLiteral("HTTPS://example.org/b"));
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/prog/Data/LogSkin/article.xml"));
    const QUrl anchor(QStringLiteral("file:///tmp/prog/article.xml#part2"));
    EXPECT_TRUE(CBottomHtmlView::OpensOutside(CBottomHtmlView::kModePreview, http));
    EXPECT_TRUE(CBottomHtmlView::OpensOutside(CBottomHtmlView::kModePreview, https));
    EXPECT_FALSE(CBottomHtmlView::OpensOutside(CBottomHtmlView::kModePreview, file));
    EXPECT_FALSE(CBottomHtmlView::OpensOutside(CBottomHtmlView::kModePreview, anchor));
    EXPECT_FALSE(CBottomHtmlView::OpensOutside(CBottomHtmlView::kModeBrowse, http));
    EXPECT_FALSE(CBottomHtmlView::OpensOutside(0, https));
    // An item's file goes to the desktop in every mode; only a web address does.
    EXPECT_EQ(CBottomHtmlView::OutsideTarget(QUrl(
                  QStringLiteral("quillpane:/open?url=http%3A%2F%2Fa%2Fb.mp3%3Fx%3D1%26y%3D2"))),
              QUrl(QStringLiteral("http://a/b.mp3?x=1&y=2")));
    EXPECT_TRUE(CBottomHtmlView::OutsideTarget(
                    QUrl(QStringLiteral("quillpane:/open?url=file%3A%2F%2F%2Fetc%2Fpasswd")))
                    .isEmpty());
    EXPECT_TRUE(CBottomHtmlView::OutsideTarget(http).isEmpty());
}

// Scripts run only on web pages the user browses; a backslash path becomes a file address.
TEST(BottomHtmlViewRules, ScriptsRunOnlyOnWebPagesTheUserBrowses) {
    const QUrl web(QStringLiteral("https://example.org/"));
    EXPECT_TRUE(CBottomHtmlView::ScriptsAllowed(CBottomHtmlView::kModeBrowse, web));
    for (const char* other : {"quillpane:/doc/1", "file:///tmp/x.html"})
        EXPECT_FALSE(CBottomHtmlView::ScriptsAllowed(CBottomHtmlView::kModeBrowse,
                                                     QUrl(QString::fromLatin1(other))))
            << other;
    EXPECT_FALSE(CBottomHtmlView::ScriptsAllowed(CBottomHtmlView::kModePreview, web));
    EXPECT_EQ(CBottomHtmlView::LocalFileUrl(QStringLiteral("/tmp/prog\\Data\\LogSkin\\article.xml"))
                  .toString(),
              QStringLiteral("file:///tmp/prog/Data/LogSkin/article.xml"));
}

class BottomHtmlViewTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_F(BottomHtmlViewTest, APreviewStaysWhenItsLinkGoesToTheBrowser) {
    CUrlCatcher catcher;
    CReadingFrame frame;
    CBottomHtmlView* view = frame.View();
    auto* page = static_cast<CHtmlPage*>(view->page());
    view->ShowPreview(QStringLiteral("/tmp/prog\\article.xml"), QStringLiteral("17"));
    EXPECT_EQ(view->GetMode(), CBottomHtmlView::kModePreview);
    EXPECT_EQ(view->CurrentKey(), QStringLiteral("17"));
    EXPECT_FALSE(frame.ToolBar()->isVisibleTo(&frame));
    EXPECT_FALSE(view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_FALSE(
        view->page()->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));

    EXPECT_FALSE(page->acceptNavigationRequest(QUrl(QStringLiteral("HTTPS://example.org/x")),
                                               QWebEnginePage::NavigationTypeLinkClicked, true));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0].host(), QStringLiteral("example.org"));
    EXPECT_EQ(view->GetMode(), CBottomHtmlView::kModePreview);
    // A local file or an anchor of the preview opens in the pane.
    EXPECT_TRUE(page->acceptNavigationRequest(QUrl(QStringLiteral("file:///tmp/prog/b.html#x")),
                                              QWebEnginePage::NavigationTypeLinkClicked, true));
    EXPECT_EQ(catcher.opened.size(), 1);
}

TEST_F(BottomHtmlViewTest, BrowsingKeepsLinksInThePaneAndShowsTheAddress) {
    CUrlCatcher catcher;
    CReadingFrame frame;
    CBottomHtmlView* view = frame.View();
    auto* page = static_cast<CHtmlPage*>(view->page());
    view->NavigateUrl(QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_EQ(view->GetMode(), CBottomHtmlView::kModeBrowse);
    EXPECT_EQ(frame.AddressBox()->text(), QStringLiteral("http://127.0.0.1:9/"));
    EXPECT_TRUE(frame.ToolBar()->isVisibleTo(&frame));
    EXPECT_TRUE(page->acceptNavigationRequest(QUrl(QStringLiteral("http://example.org/")),
                                              QWebEnginePage::NavigationTypeLinkClicked, true));
    EXPECT_TRUE(catcher.opened.isEmpty());

    // A rendered item: no scripts, in browsing mode.
    view->ShowRendered(QByteArrayLiteral("<html><body><a name=\"x\">item</a></body></html>"),
                       QStringLiteral("5"));
    EXPECT_EQ(view->url().scheme(), QStringLiteral("quillpane"));
    EXPECT_FALSE(view->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_EQ(view->GetMode(), CBottomHtmlView::kModeBrowse);
}

// The browser hands its right clicks to the view's contextMenuEvent.
class CProbeView : public CBottomHtmlView {
public:
    using CBottomHtmlView::contextMenuEvent;
};

TEST_F(BottomHtmlViewTest, ThePreviewMenuBelongsToTheArticleList) {
    CProbeView view;
    int asked = 0;
    QObject::connect(&view, &CBottomHtmlView::PreviewContextMenu, [&](const QPoint&) { ++asked; });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(105, 105));
    // A blank preview has no menu at all.
    view.ShowPreview(QString(), QStringLiteral("ignored"));
    EXPECT_TRUE(view.CurrentKey().isEmpty());
    view.contextMenuEvent(&click);
    EXPECT_EQ(asked, 0);
    view.ShowPreview(QStringLiteral("/tmp/article.xml"), QStringLiteral("42"));
    view.contextMenuEvent(&click);
    EXPECT_EQ(asked, 1);
}

TEST_F(BottomHtmlViewTest, TheToolbarGoesToTheTypedAddressAndBrowsesDirectly) {
    CReadingFrame frame;
    frame.AddressBox()->setText(QStringLiteral("about:blank"));
    frame.OnCommand(kCmdGoAddress);
    EXPECT_EQ(frame.View()->CurrentKey(), QStringLiteral("about:blank"));
    frame.OnCommand(kCmdBrowseDirectly);
    EXPECT_TRUE(frame.BrowseDirectly());
    EXPECT_TRUE(frame.Action(kCmdBrowseDirectly)->isChecked());
}

TEST_F(BottomHtmlViewTest, RenderedDocumentsAreServedWhole) {
    CBottomHtmlView view;
    QByteArray big(3 * 1024 * 1024, 'a');
    big.prepend("<html><body><p id=\"end\">");
    big.append("</p></body></html>");
    bool loaded = false;
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) { loaded = ok; });
    view.ShowRendered(big, QStringLiteral("1"));
    ASSERT_TRUE(WaitFor([&] { return loaded; }, 30000));
    // Larger than what setHtml accepts (2 MB), and still shown.
    QString title;
    bool done = false;
    view.page()->toPlainText([&](const QString& text) {
        title = text.left(3);
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return done; }, 10000));
    EXPECT_EQ(title, QStringLiteral("aaa"));
}

} // namespace

#include "BottomHtmlViewTest.moc"
