// The editor program's window on a real blog.db and a weblog server on 127.0.0.1.
#include "ui/editor/EditorWindow.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/XmlRpcRequest.h"
#include "blogclient/peer/PeerSupport.h"
#include "platform/fs/FileUtil.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/UiText.h"
#include "ui/editor/ArticlePreviewPane.h"
#include "ui/editor/EditorActions.h"
#include "ui/editor/FindReplaceBar.h"
#include "ui/editor/LinkDialog.h"
#include "ui/editor/MarkdownPane.h"
#include "ui/editor/PictureDialog.h"
#include "ui/editor/PostOptionsPanel.h"
#include "ui/editor/RichTextCommands.h"
#include "ui/editor/RichTextHtml.h"
#include "ui/editor/SpellHighlighter.h"
#include "workspace/DraftPictures.h"
#include "workspace/EditorSession.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/WorkspaceTestSupport.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <gtest/gtest.h>

namespace {

void Type(QWidget* widget, const QString& text) {
    widget->setFocus();
    for (const QChar c : text) {
        const int key = c == QLatin1Char('\r') ? Qt::Key_Return : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(ServerAccount("甲", m_server, "/ok")), 1);
    }
    void TearDown() override { m_window.WaitForWorkers(); }

    void Open(EditorTask task, std::optional<long long> index = {}) {
        std::string reason;
        ASSERT_TRUE(m_session.Open({.task = task,
                                    .account = "甲",
                                    .index = index,
                                    .publishFolderTreeId = 1020,
                                    .draftFolderTreeId = 1030},
                                   reason))
            << reason;
        m_window.Attach(m_session);
        m_window.show();
    }

    std::vector<ArticleRecord> Drafts() {
        std::vector<ArticleRecord> list;
        std::string reason;
        EXPECT_TRUE(m_operations.GetArticles({.account = "甲", .folder = kFolderDrafts}, 0, 100,
                                             list, reason))
            << reason;
        return list;
    }

    // The window is a member: the application object comes first.
    QApplication* m_app = EnsureApp();
    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CRecordingMessageBoxes m_boxes;
    CWeblogServer m_server;
    CEditorWindow m_window;
    CArticleOperations m_operations{m_home.Context(), m_window};
    CEditorSession m_session{m_operations};
};

TEST_F(EditorWindowTest, TypedArticleIsSavedAsADraftWithTheServersCategories) {
    std::vector<int> recounted;
    m_window.SetFoldersChangedHandler([&](const std::vector<int>& codes) {
        recounted.insert(recounted.end(), codes.begin(), codes.end());
    });
    Open(EditorTask::Compose);
    // The account's autosave period (the default one here) drives the timer.
    EXPECT_EQ(m_window.AutosaveTimer()->interval(), CEditorSession::kDefaultAutosaveMs);
    EXPECT_TRUE(m_window.AutosaveTimer()->isActive());
    ASSERT_TRUE(WaitFor([&] { return m_window.CategoryBox()->count() == 3; }))
        << m_window.StatusText().toStdString();
    EXPECT_EQ(m_window.CategoryBox()->itemText(2), QStringLiteral("技术"));

    Type(m_window.TitleEdit(), QStringLiteral("标题 & 引号"));
    m_window.CategoryBox()->setEditText(QStringLiteral("自己的分类"));
    Type(m_window.RichEdit(), QStringLiteral("正文 <1>"));
    EXPECT_TRUE(m_window.windowTitle().startsWith(QStringLiteral("标题 & 引号")));

    ASSERT_TRUE(m_window.Save()) << m_window.StatusText().toStdString();
    EXPECT_TRUE(m_window.StatusText().startsWith(QStringLiteral("已保存到草稿箱")));
    EXPECT_EQ(recounted, std::vector<int>{1030});
    std::vector<ArticleRecord> drafts = Drafts();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].title, "标题 & 引号");
    EXPECT_EQ(drafts[0].category, "自己的分类");
    EXPECT_EQ(drafts[0].content, "<p>正文 &lt;1&gt;</p>");

    // More typing, then the timer's save: still one row.
    Type(m_window.RichEdit(), QStringLiteral("!"));
    m_window.Autosave();
    drafts = Drafts();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].content, "<p>正文 &lt;1&gt;!</p>");
    EXPECT_TRUE(m_window.StatusText().startsWith(QStringLiteral("已自动保存")));
}

TEST_F(EditorWindowTest, SourceViewRoundTripsTheHtml) {
    const std::string html = "<h2>小标题</h2>\n"
                             "<p>一段 <strong>加粗</strong> <em>斜体</em> "
                             "<a href=\"http://example.com/?a=1&amp;b=2\">链接</a></p>\n"
                             "<blockquote><p>引用</p></blockquote>\n"
                             "<ul><li>甲</li><li>乙</li></ul>\n"
                             "<p><img src=\"http://example.com/p.png\" alt=\"\"></p>";
    LocalOutcome draft = m_operations.NewDraft("甲", {.title = "源代码", .content = html});
    ASSERT_TRUE(draft.ok) << draft.reason;
    Open(EditorTask::EditDraft, draft.newIds[0]);

    // Untouched, the article's HTML is kept as it was opened; the source view shows it.
    EXPECT_EQ(m_window.BodyHtml().toStdString(), html);
    m_window.SetSourceView(true);
    EXPECT_EQ(m_window.SourceEdit()->toPlainText().toStdString(), html);
    // What the rich text makes of it reads back the same.
    EXPECT_EQ(CRichTextHtml::Fragment(*m_window.RichEdit()->document()).toStdString(), html);

    // An edit in the source view shows in the rich text and is what is saved.
    m_window.SourceEdit()->setPlainText(QStringLiteral("<p>改过的 <em>源</em></p>"));
    m_window.SetSourceView(false);
    EXPECT_EQ(m_window.RichEdit()->toPlainText(), QStringLiteral("改过的 源"));
    ASSERT_TRUE(m_window.Save());
    EXPECT_EQ(Drafts()[0].content, "<p>改过的 <em>源</em></p>");

    // Typing in the rich text after that: the clean fragment, without Qt's styles.
    Type(m_window.RichEdit(), QStringLiteral("新"));
    const QString edited = m_window.BodyHtml();
    EXPECT_FALSE(edited.contains(QStringLiteral("style")));
    EXPECT_TRUE(edited.contains(QStringLiteral("<em>源</em>"))) << edited.toStdString();
    EXPECT_TRUE(edited.contains(QStringLiteral("新"))) << edited.toStdString();
}

TEST_F(EditorWindowTest, ToolbarFormatsBecomePlainTags) {
    Open(EditorTask::Compose);
    auto trigger = [&](const QString& text) {
        for (QAction* action : m_window.findChildren<QAction*>()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
        FAIL() << "no action " << text.toStdString();
    };
    Type(m_window.RichEdit(), QStringLiteral("普通 "));
    trigger(QStringLiteral("加粗"));
    Type(m_window.RichEdit(), QStringLiteral("粗"));
    trigger(QStringLiteral("加粗"));
    trigger(QStringLiteral("斜体"));
    Type(m_window.RichEdit(), QStringLiteral("斜"));
    trigger(QStringLiteral("斜体"));
    m_window.InsertLink(QStringLiteral("http://example.com/?a=1&b=2"));
    Type(m_window.RichEdit(), QStringLiteral(" 完"));
    EXPECT_EQ(m_window.BodyHtml().toStdString(),
              std::string("<p>普通 <strong>粗</strong><em>斜</em><a "
                          "href=\"http://example.com/?a=1&amp;b=2\">http://example.com/"
                          "?a=1&amp;b=2</a> 完</p>"));

    // A new line after the link, and the end of an opened link, take plain text.
    Type(m_window.RichEdit(), QStringLiteral("\r下一行"));
    EXPECT_TRUE(m_window.BodyHtml().endsWith(QStringLiteral("</a> 完</p>\n<p>下一行</p>")))
        << m_window.BodyHtml().toStdString();
    m_window.RichEdit()->setHtml(QStringLiteral("<p><a href=\"http://a/\">甲乙</a></p>"));
    QTextCursor cursor = m_window.RichEdit()->textCursor();
    cursor.movePosition(QTextCursor::End);
    m_window.RichEdit()->setTextCursor(cursor);
    Type(m_window.RichEdit(), QStringLiteral("丙"));
    cursor.setPosition(1);
    m_window.RichEdit()->setTextCursor(cursor);
    Type(m_window.RichEdit(), QStringLiteral("中"));
    EXPECT_EQ(m_window.BodyHtml().toStdString(), "<p><a href=\"http://a/\">甲中乙</a>丙</p>");

    // In the source view the same commands wrap the selection in tags.
    m_window.SetSourceView(true);
    m_window.SourceEdit()->setPlainText(QStringLiteral("字"));
    m_window.SourceEdit()->selectAll();
    trigger(QStringLiteral("加粗"));
    EXPECT_EQ(m_window.BodyHtml().toStdString(), "<strong>字</strong>");
}

// Pictures from a file, a drop and the clipboard are shown at once and kept beside the drafts;
// publishing uploads each once and sends the server's addresses. A failed upload stops the
// publish and leaves the draft as it was; what is no picture, or too large, is refused.
TEST_F(EditorWindowTest, PicturesAreKeptWithTheDraftAndUploadedOnceWhenPublished) {
    Open(EditorTask::Compose);
    Type(m_window.TitleEdit(), QStringLiteral("有图"));
    const QString picture = QString::fromStdString(m_home.File("图.png"));
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(picture, "PNG"));
    m_window.InsertPicture(picture);
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(picture)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.RichEdit()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_window.RichEdit()->viewport(), &drop);
    QImage blue(2, 2, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QApplication::clipboard()->setImage(blue);
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(m_window.RichEdit(), &paste);
    ::unlink(picture.toStdString().c_str()); // the draft keeps its own copy

    const std::vector<std::string> local =
        CDraftPictures::LocalPictures(m_window.BodyHtml().toStdString());
    ASSERT_EQ(local.size(), 2u) << m_window.BodyHtml().toStdString();
    EXPECT_EQ(m_window.BodyHtml().count(QString::fromStdString(local[0])), 2)
        << m_window.BodyHtml().toStdString();
    EXPECT_TRUE(local[0].ends_with("/%E5%9B%BE.png")) << local[0];
    const QImage shown = m_window.RichEdit()
                             ->document()
                             ->resource(QTextDocument::ImageResource, QUrl(ToQ(local[0])))
                             .value<QImage>();
    EXPECT_EQ(shown.size(), red.size());

    // The picture dialog: the height follows the width by the picture's ratio.
    PictureLook look;
    QTextCursor at(m_window.RichEdit()->document());
    QTextCursor shownPicture;
    ASSERT_TRUE(CPictureDialog::LookAt(at, look, shownPicture));
    CPictureDialog dialog(look, red.size());
    dialog.AltEdit()->setText(QStringLiteral("红 \"块\""));
    dialog.WidthBox()->setValue(40);
    dialog.PlaceBox()->setCurrentIndex(static_cast<int>(PictureLook::Place::kCentre));
    CPictureDialog::Apply(shownPicture, dialog.Look());
    EXPECT_TRUE(m_window.BodyHtml().contains(
        QStringLiteral("alt=\"红 &quot;块&quot;\" width=\"40\" height=\"30\" "
                       "style=\"display:block;margin:0 auto\">")))
        << m_window.BodyHtml().toStdString();

    // Bad input: named, and the article is as it was.
    const QString before = m_window.BodyHtml();
    ASSERT_TRUE(CFileUtil::WriteFile(m_home.File("假.png"), "不是图片"));
    m_window.InsertPicture(QString::fromStdString(m_home.File("假.png")));
    ASSERT_TRUE(CFileUtil::WriteFile(m_home.File("大.png"), "\x89PNG\r\n\x1a\n"));
    ASSERT_EQ(::truncate(m_home.File("大.png").c_str(), 50 * 1024 * 1024), 0);
    m_window.InsertPicture(QString::fromStdString(m_home.File("大.png")));
    const std::vector<QString> texts = m_boxes.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("假.png 不是图片"))) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].contains(QStringLiteral("大.png 太大 (50 MB)"))) << texts[1].toStdString();
    EXPECT_EQ(m_window.BodyHtml(), before);

    // The server refuses the upload: nothing is published and the draft keeps its pictures.
    ASSERT_EQ(m_home.Context().Accounts().UpdateAccountConnection(
                  "甲", ServerAccount("甲", m_server, "/fault")),
              1);
    m_window.Publish();
    // What is typed while the pictures go up would be lost: the article waits for them.
    EXPECT_TRUE(m_window.RichEdit()->isReadOnly());
    EXPECT_TRUE(m_window.TitleEdit()->isReadOnly());
    ASSERT_TRUE(WaitFor([&] { return m_boxes.Texts().size() == 3; }));
    EXPECT_TRUE(m_boxes.Texts()[2].startsWith(QStringLiteral("发布失败: 图片 图.png 上传失败: ")))
        << m_boxes.Texts()[2].toStdString();
    EXPECT_FALSE(m_window.RichEdit()->isReadOnly());
    EXPECT_TRUE(Drafts().empty());
    std::vector<std::string> methods = m_server.Methods();
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "metaWeblog.newPost"), 0);

    ASSERT_EQ(m_home.Context().Accounts().UpdateAccountConnection(
                  "甲", ServerAccount("甲", m_server, "/ok")),
              1);
    m_window.Publish();
    ASSERT_TRUE(WaitFor([&] { return m_session.Folder() == kFolderSent; }))
        << m_window.StatusText().toStdString();
    methods = m_server.Methods();
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "metaWeblog.newMediaObject"), 1 + 2);
    const std::string sent = m_session.Text().content;
    EXPECT_EQ(sent.find("file://"), std::string::npos) << sent;
    EXPECT_NE(sent.find("http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png"),
              std::string::npos);
}

// In Markdown a dropped picture goes into the source and shows in the preview; publishing
// uploads it and the source shown takes the server's address, as the HTML sent does.
TEST_F(EditorWindowTest, MarkdownPicturesAreShownAndUploadedWhenPublished) {
    Open(EditorTask::Compose);
    QString refusal;
    ASSERT_TRUE(m_window.SetFormat(EditorFormat::kMarkdown, refusal)) << refusal.toStdString();
    Type(m_window.TitleEdit(), QStringLiteral("md 图"));
    const QString picture = QString::fromStdString(m_home.File("图.png"));
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(picture, "PNG"));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(picture)});
    QPlainTextEdit* source = m_window.MarkdownPane()->SourceEdit();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(source->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(source->viewport(), &drop);
    ASSERT_TRUE(source->toPlainText().startsWith(QStringLiteral("![](file://")))
        << source->toPlainText().toStdString();
    m_window.MarkdownPane()->UpdatePreview();
    EXPECT_TRUE(m_window.MarkdownPane()->Preview()->toHtml().contains(QStringLiteral("file://")));

    m_window.Publish();
    ASSERT_TRUE(WaitFor([&] { return m_session.Folder() == kFolderSent; }))
        << m_window.StatusText().toStdString();
    const QString url =
        QStringLiteral("http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png");
    EXPECT_EQ(source->toPlainText(), QStringLiteral("![](%1)").arg(url));
    EXPECT_EQ(m_session.Text().content,
              "<p><img src=\"" + url.toStdString() + "\" alt=\"\" /></p>\n");
}

TEST_F(EditorWindowTest, PublishEndsInTheSentFolderOrSaysWhyNot) {
    int announced = 0;
    m_window.SetPublishedHandler([&] { ++announced; });
    std::vector<int> recounted;
    m_window.SetFoldersChangedHandler([&](const std::vector<int>& codes) {
        recounted.insert(recounted.end(), codes.begin(), codes.end());
    });
    Open(EditorTask::Compose);
    m_window.Publish();
    EXPECT_EQ(m_window.StatusText(), QStringLiteral("发布失败: 请输入日志标题"));

    Type(m_window.TitleEdit(), QStringLiteral("发布"));
    Type(m_window.RichEdit(), QStringLiteral("正文"));
    m_window.Publish();
    ASSERT_TRUE(WaitFor([&] { return m_session.Folder() == kFolderSent; }))
        << m_window.StatusText().toStdString();
    EXPECT_EQ(m_window.StatusText(), QStringLiteral("已发布, 文章在已发日志中"));
    EXPECT_TRUE(m_window.windowTitle().contains(QStringLiteral("已发日志")));
    // The draft it was saved as first, then both folders of the move.
    EXPECT_NE(std::find(recounted.begin(), recounted.end(), 1020), recounted.end());
    EXPECT_NE(std::find(recounted.begin(), recounted.end(), 1030), recounted.end());
    EXPECT_EQ(announced, 1);

    // The server refuses the edit: the window says so with the server's words.
    AccountRecord account = ServerAccount("甲", m_server, "/fault");
    ASSERT_EQ(m_home.Context().Accounts().UpdateAccountConnection("甲", account), 1);
    Type(m_window.RichEdit(), QStringLiteral("改"));
    m_window.Publish();
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.Boxes().empty(); }));
    EXPECT_TRUE(m_boxes.Boxes()[0].text.startsWith(QStringLiteral("发布失败: ")));
    EXPECT_TRUE(m_window.StatusText().contains(QStringLiteral("Incorrect username or password.")))
        << m_window.StatusText().toStdString();
    EXPECT_EQ(m_session.Folder(), kFolderSent);
    EXPECT_EQ(announced, 1);
}

TEST_F(EditorWindowTest, ClosingAsksAboutUnsavedChangesAndKeepsTheWindowRectangle) {
    Open(EditorTask::Compose);
    m_window.setGeometry(40, 50, 700, 500);
    Type(m_window.TitleEdit(), QStringLiteral("未保存"));
    // 取消 keeps the window and the text; 保存 saves and closes.
    m_boxes.AnswerSave(2);
    EXPECT_FALSE(m_window.close());
    EXPECT_TRUE(m_window.isVisible());
    EXPECT_TRUE(Drafts().empty());
    m_boxes.AnswerSave(0);
    ASSERT_TRUE(m_window.close());
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_TRUE(m_boxes.Boxes()[1].question);
    ASSERT_EQ(Drafts().size(), 1u);
    EXPECT_EQ(Drafts()[0].title, "未保存");
    const EditorWindowRect rect = m_session.WindowRect();
    EXPECT_EQ(rect.left, m_window.geometry().left());
    EXPECT_EQ(rect.right - rect.left, m_window.geometry().width());

    // Nothing changed since: no question.
    m_boxes.Clear();
    m_window.show();
    ASSERT_TRUE(m_window.close());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(EditorWindowTest, ShowsTheEditorPagesLookAndPointsAtTheAutosaveAfterAnInterruptedRun) {
    Open(EditorTask::Compose);
    EXPECT_TRUE(m_window.RichEdit()->document()->defaultStyleSheet().contains(
        QStringLiteral("blockquote")));
    EXPECT_TRUE(m_window.NoticeText().isEmpty()) << m_window.NoticeText().toStdString();

    // This editor is killed (never closed): the next one for the account says where the work is.
    {
        CEditorWindow next;
        CArticleOperations operations{m_home.Context(), next};
        CEditorSession session{operations};
        std::string reason;
        ASSERT_TRUE(session.Open({.account = "甲"}, reason)) << reason;
        next.Attach(session);
        EXPECT_EQ(next.NoticeText(), QString::fromUtf8(CEditorWindow::kInterruptedNotice));
        ASSERT_TRUE(next.close());
        // As the editor program does after its window closed: the category request still
        // running uses the session, which goes first.
        next.WaitForWorkers();
    }
    // Closed normally: no notice the time after; a page that cannot be read is named.
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("甲", "editorindex",
                                                          "\\Data\\Editor\\无\\index.html"),
              1);
    CEditorWindow last;
    CArticleOperations operations{m_home.Context(), last};
    CEditorSession session{operations};
    std::string reason;
    ASSERT_TRUE(session.Open({.account = "甲"}, reason)) << reason;
    last.Attach(session);
    EXPECT_TRUE(last.NoticeText().startsWith(QStringLiteral("无法读取编辑器页面")))
        << last.NoticeText().toStdString();
    EXPECT_FALSE(last.NoticeText().contains(QString::fromUtf8(CEditorWindow::kInterruptedNotice)));
    last.WaitForWorkers();
}

// The editor program killed with SIGKILL after its autosave: while it ran, a second editor of
// its article was refused naming its window; the next start offers its work and restores it.
TEST_F(EditorWindowTest, KilledEditorsWorkIsOfferedAtTheNextStart) {
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("甲", "autosavetime", "200"), 1);
    CFeedDatabase feeds(m_home.Context().FilePath("Storage\\rss.db"));
    ASSERT_TRUE(Done(feeds.OpenStore()));
    int feedId = 0;
    ASSERT_TRUE(feeds.AddFeed("http://example.com/feed.xml", feedId));
    FeedItem item;
    item.title = "被杀之前写的";
    item.link = "http://example.com/1";
    item.description = "正文";
    ASSERT_TRUE(feeds.SaveReceivedItems(feedId, {item}, StorageRule::kKeepAll, 0));
    std::vector<FeedItem> items;
    int total = 0;
    ASSERT_TRUE(feeds.GetItemPage(feedId, ItemFilter::kAll, true, items, total, 10, 0));
    ASSERT_EQ(items.size(), 1u);
    ASSERT_TRUE(CEditorHandOff::WriteHandOff(
                    m_home.Context().FilePath("Temp\\subprocess.xml"),
                    {.task = EditorTask::WriteFromFeedItem, .account = "甲", .index = items[0].id})
                    .ok);

    const std::string program = QUILL_EDITOR_PATH;
    const std::string home = m_home.Path();
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("--home"),
                            const_cast<char*>(home.c_str()), nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    // Its autosave put the article into 草稿箱 and noted it.
    CEditorRecovery notes(CEditorRecovery::FolderOf(m_home.Context()));
    int articleId = 0;
    const bool saved = WaitFor(
        [&] {
            std::vector<ArticleRecord> drafts = Drafts();
            articleId = drafts.empty() ? 0 : drafts[0].id;
            // Noted again once the window's title names the folder.
            const std::optional<EditorRecord> held =
                articleId != 0 ? notes.Holder("甲", articleId) : std::nullopt;
            return held && held->windowTitle.find("草稿箱") != std::string::npos;
        },
        20000);
    CEditorWindow second;
    CArticleOperations operations{m_home.Context(), second};
    CEditorSession session{operations};
    std::string reason;
    const bool opened =
        saved &&
        session.Open({.task = EditorTask::EditDraft, .account = "甲", .index = articleId}, reason);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(saved) << "the editor did not autosave";
    EXPECT_FALSE(opened);
    EXPECT_EQ(reason, std::string(CEditorSession::kHeldElsewhereText) +
                          "被杀之前写的 - 甲 / 草稿箱 - 日志编辑器");
    EXPECT_TRUE(WIFSIGNALED(status));

    m_boxes.Answer(true);
    Open(EditorTask::Compose);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(QStringLiteral("《被杀之前写的》")))
        << m_boxes.Boxes()[0].text.toStdString();
    EXPECT_EQ(m_window.TitleEdit()->text(), QStringLiteral("被杀之前写的"));
    EXPECT_TRUE(m_window.BodyHtml().contains(QStringLiteral("正文")));
    EXPECT_EQ(m_session.ArticleId(), articleId);
    EXPECT_TRUE(
        m_window.NoticeText().contains(QString::fromUtf8(CEditorWindow::kInterruptedNotice)));
    // Offered once: the note is gone.
    EXPECT_TRUE(notes.Interrupted("甲").empty());
}

// An interface that lacks an option greys it and says why.
TEST_F(EditorWindowTest, OptionsTheInterfaceLacksAreGreyedWithTheReason) {
    AccountRecord blogger = ServerAccount("乙", m_server, "/ok");
    blogger.blogapitype = "Blogger";
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(blogger), 1);
    std::string reason;
    ASSERT_TRUE(m_session.Open({.account = "乙"}, reason)) << reason;
    m_window.Attach(m_session);
    CPostOptionsPanel* panel = m_window.OptionsPanel();
    EXPECT_FALSE(panel->CategoryList()->isEnabled());
    EXPECT_EQ(panel->CategoryList()->toolTip(), QStringLiteral("Blogger 接口没有分类"));
    EXPECT_FALSE(panel->SlugEdit()->isEnabled());
    EXPECT_FALSE(m_window.TagsEdit()->isEnabled());
    EXPECT_EQ(m_window.TagsEdit()->toolTip(), QStringLiteral("Blogger 接口没有标签"));
    EXPECT_TRUE(panel->StatusBox()->isEnabled());
}

// Deletes a post of the WordPress peer, through the account's own interface, when it goes out
// of scope.
struct CPeerPostRemover {
    CAppContext context;
    std::string account;
    std::string postId;
    ~CPeerPostRemover() {
        if (std::unique_ptr<CBloggerApi> api =
                CBlogApiFactory::CreateForAccount(context, account)) {
            PostRequest request = api->MakeRequest();
            request.postId = postId;
            api->DeletePost(request);
        }
    }
};

// The side panel's options reach the WordPress peer, read back by a second client: ticked
// categories, tags, excerpt, slug, a later date (scheduled), comments closed; then 服务器草稿.
TEST(EditorPeerTest, PostOptionsReachTheServer) {
    SKIP_WITHOUT_PEER();
    EnsureApp();
    CTempHome home;
    CRecordingMessageBoxes boxes;
    const std::string name = "o" + std::to_string(::getpid());
    ASSERT_EQ(home.Context().Accounts().AddAccount(PeerAccount(name, "MetaWeblog")), 1);
    CEditorWindow window;
    CArticleOperations operations{home.Context(), window};
    CEditorSession session{operations};
    std::string reason;
    ASSERT_TRUE(session.Open({.account = name}, reason)) << reason;
    window.Attach(session);
    CPostOptionsPanel* panel = window.OptionsPanel();
    ASSERT_TRUE(WaitFor([&] { return panel->CategoryList()->count() >= 3; }, 30000))
        << window.StatusText().toStdString();
    const std::string run = std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));
    window.TitleEdit()->setText(ToQ("选项 " + run));
    window.TagsEdit()->setText(ToQ("甲-" + run + ", 乙-" + run));
    Type(window.RichEdit(), QStringLiteral("正文"));
    // Two days on, on a whole minute: scheduled.
    const std::time_t when = (std::time(nullptr) + 2 * 86400) / 60 * 60;
    panel->SetOptions({.categories = {"技术", "News"},
                       .excerpt = "摘要 " + run,
                       .slug = "quill-" + run,
                       .publishTime = when,
                       .allowComments = false});
    window.Publish();
    ASSERT_TRUE(WaitFor([&] { return session.Folder() == kFolderSent; }, 30000))
        << window.StatusText().toStdString();

    CHttpClient client;
    // The post goes when the test ends, passed or not: dated two days on, it would stay first
    // among the server's recent posts and push the posts of other tests out of their reads.
    const CPeerPostRemover removePost{
        .context = home.Context(), .account = name, .postId = session.PostId()};
    const auto getPost = [&] {
        return client
            .Post(kPeerUrl,
                  "<?xml version=\"1.0\"?><methodCall><methodName>metaWeblog.getPost</methodName>"
                  "<params><param><value><string>" +
                      session.PostId() +
                      "</string></value></param><param><value><string>admin</string></value>"
                      "</param><param><value><string>quill-pass-1</string></value></param>"
                      "</params></methodCall>",
                  {{"Content-Type", "text/xml"}})
            .body;
    };
    std::string seen = getPost();
    for (const std::string& part :
         {std::string("<string>技术</string>"), std::string("<string>News</string>"), "甲-" + run,
          "乙-" + run, "摘要 " + run, "<string>quill-" + run + "</string>",
          "<dateTime.iso8601>" + CXmlRpcRequest::FormatGmtIsoDate(when) + "</dateTime.iso8601>"})
        EXPECT_NE(seen.find(part), std::string::npos) << part << "\n" << seen;
    const size_t comments = seen.find("<name>mt_allow_comments</name>");
    ASSERT_NE(comments, std::string::npos);
    EXPECT_EQ(seen.compare(seen.find("<int>", comments), 8, "<int>0</"), 0) << seen;

    panel->StatusBox()->setCurrentIndex(1); // 服务器草稿
    window.Publish();
    ASSERT_TRUE(
        WaitFor([&] { return window.StatusText().startsWith(QStringLiteral("已发布")); }, 30000))
        << window.StatusText().toStdString();
    seen = getPost();
    EXPECT_NE(seen.find("<string>draft</string>"), std::string::npos) << seen;
    EXPECT_NE(seen.find("甲-" + run), std::string::npos) << "an edit keeps the tags\n" << seen;
    window.WaitForWorkers();
}

TEST_F(EditorWindowTest, EachEditingCommandChangesTheHtmlAsExpected) {
    Open(EditorTask::Compose);
    struct Case {
        const char* command; // an action's name, or a command below
        const char* html;    // the article before; all of its text is selected
        const char* expected;
        bool selectAll = true; // else the cursor stands at the end
    };
    const Case cases[] = {
        {"underline", "<p>字</p>", "<p><u>字</u></p>"},
        {"strike", "<p>字</p>", "<p><s>字</s></p>"},
        {"code", "<p>字</p>", "<p><code>字</code></p>"},
        {"red", "<p>字</p>", "<p><span style=\"color:#ff0000\">字</span></p>"},
        {"yellow", "<p>字</p>", "<p><span style=\"background-color:#ffff00\">字</span></p>"},
        {"bigger", "<p>字</p>", "<p><span style=\"font-size:large\">字</span></p>"},
        {"clearFormat", "<p><strong>字</strong> <em>x</em></p>", "<p>字 x</p>"},
        {"styleH2", "<p>字</p>", "<h2>字</h2>"},
        {"styleBody", "<h3>字</h3>", "<p>字</p>"},
        {"styleQuote", "<p>字</p>", "<blockquote><p>字</p></blockquote>"},
        {"styleCode", "<p>a &lt; b</p>", "<pre><code>a &lt; b\n</code></pre>"},
        {"bullets", "<p>字</p>", "<ul><li>字</li></ul>"},
        {"numbers", "<p>字</p>", "<ol><li>字</li></ol>"},
        {"bullets", "<ul><li>字</li></ul>", "<p>字</p>"},
        {"indent", "<ul><li>一</li><li>二</li></ul>", "<ul><li>一<ul><li>二</li></ul></li></ul>",
         false},
        {"outdent", "<ul><li>一<ul><li>二</li></ul></li></ul>", "<ul><li>一</li><li>二</li></ul>",
         false},
        {"alignCenter", "<p>字</p>", "<p style=\"text-align:center\">字</p>"},
        {"alignRight", "<p>字</p>", "<p style=\"text-align:right\">字</p>"},
        {"rule", "<p>字</p>", "<p>字</p>\n<hr>", false},
        {"table", "<p>字</p>",
         "<p>字</p>\n<table><tr><th></th><th></th></tr><tr><td></td><td></td></tr></table>", false},
        {"rowAdd", "",
         "<table><tr><th></th><th></th></tr><tr><td></td><td></td></tr>"
         "<tr><td></td><td></td></tr></table>",
         false},
        {"columnRemove", "",
         "<table><tr><th></th></tr><tr><td></td></tr><tr><td></td></tr></table>", false},
        {"unlink", "<p><a href=\"http://a/\">甲乙</a>丙</p>", "<p>甲乙丙</p>", false},
        {"undo", "<p>字</p>", "<p>字</p>"},
    };
    QTextEdit* edit = m_window.RichEdit();
    for (const Case& c : cases) {
        const std::string command = c.command;
        if (*c.html) {
            edit->setHtml(QString::fromUtf8(c.html));
            QTextCursor cursor = edit->textCursor();
            if (c.selectAll) {
                cursor.select(QTextCursor::Document);
            } else {
                cursor.movePosition(QTextCursor::End);
                if (command == "unlink")
                    cursor.setPosition(1);
            }
            edit->setTextCursor(cursor);
        } else if (command == "rowAdd") {
            // The table of the case before, the cursor in its first cell.
            edit->setHtml(QString());
            m_window.Commands().InsertTable(2, 2);
        }
        if (command == "undo")
            m_window.Actions()->Action(QStringLiteral("bold"))->trigger();
        if (command == "red")
            m_window.Commands().SetTextColor(Qt::red);
        else if (command == "yellow")
            m_window.Commands().SetHighlight(Qt::yellow);
        else if (command == "table")
            m_window.Commands().InsertTable(2, 2);
        else if (QAction* action = m_window.Actions()->Action(QString::fromUtf8(c.command)))
            action->trigger();
        else
            ADD_FAILURE() << "no action " << command;
        EXPECT_EQ(CRichTextHtml::Fragment(*edit->document()).toStdString(), c.expected)
            << command << " on " << c.html;
    }

    // Every command shows on a plain desktop, on a toolbar (the styles in the style box, the
    // table's rows and columns beside its button), and says what it does; the usual keys are there.
    for (QAction* action : m_window.findChildren<QAction*>()) {
        const QString name = action->objectName();
        if (name.isEmpty() || action->isSeparator())
            continue;
        EXPECT_FALSE(action->icon().isNull()) << name.toStdString();
        EXPECT_FALSE(action->toolTip().isEmpty()) << name.toStdString();
        const QList<QObject*> places = action->associatedObjects();
        const bool onBar = std::any_of(places.begin(), places.end(), [](QObject* object) {
            return qobject_cast<QToolBar*>(object) || qobject_cast<QToolButton*>(object->parent());
        });
        EXPECT_TRUE(onBar || name.startsWith(QStringLiteral("style")) ||
                    name == QStringLiteral("findNext") || name == QStringLiteral("close") ||
                    name == QStringLiteral("spelling"))
            << name.toStdString();
    }
    const std::pair<const char*, QKeySequence> keys[] = {
        {"bold", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {"italic", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {"underline", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {"link", QKeySequence(Qt::CTRL | Qt::Key_K)},
        {"undo", QKeySequence(Qt::CTRL | Qt::Key_Z)},
        {"redo", QKeySequence(Qt::CTRL | Qt::Key_Y)},
        {"find", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {"replace", QKeySequence(Qt::CTRL | Qt::Key_H)},
        {"save", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"publish", QKeySequence(Qt::CTRL | Qt::Key_Return)}};
    for (const auto& [name, key] : keys)
        EXPECT_EQ(m_window.Actions()->Action(QString::fromLatin1(name))->shortcut(), key) << name;

    // Find and replace, the count on the status line, the link dialog's check.
    edit->setPlainText(QStringLiteral("你好 hello, hello 世界"));
    m_window.FindBar()->ShowReplace();
    m_window.FindBar()->FindEdit()->setText(QStringLiteral("hello"));
    m_window.FindBar()->ReplaceEdit()->setText(QStringLiteral("再见"));
    EXPECT_EQ(m_window.FindBar()->ReplaceAll(), 2);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("你好 再见, 再见 世界"));
    EXPECT_EQ(m_window.CountText(), QStringLiteral("字数: 8  字符: 9"));
    EXPECT_FALSE(CLinkDialog::CheckAddress(QStringLiteral("javascript:alert(1)")).isEmpty());
    EXPECT_FALSE(CLinkDialog::CheckAddress(QStringLiteral("https://")).isEmpty());
    EXPECT_TRUE(CLinkDialog::CheckAddress(QStringLiteral("https://例子.cn/a?b=1")).isEmpty());
    EXPECT_TRUE(CLinkDialog::CheckAddress(QStringLiteral("/about/")).isEmpty());
}

TEST_F(EditorWindowTest, MarkdownModeIsRefusedWhenMarkupWouldBeLostAndReopensAsMarkdown) {
    Open(EditorTask::Compose);
    QAction* markdown = m_window.Actions()->Action(QStringLiteral("markdown"));
    m_window.RichEdit()->setHtml(QStringLiteral("<p><u>下划线</u> 和 <b>粗</b></p>"));
    markdown->trigger();
    EXPECT_EQ(m_window.Format(), EditorFormat::kRich);
    EXPECT_FALSE(markdown->isChecked());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].text.contains(QStringLiteral("<u>")))
        << m_boxes.Boxes()[0].text.toStdString();

    m_window.RichEdit()->setHtml(QStringLiteral("<h2>题</h2><p>一 <b>粗</b></p>"));
    markdown->trigger();
    ASSERT_EQ(m_window.Format(), EditorFormat::kMarkdown);
    EXPECT_FALSE(m_window.Actions()->Action(QStringLiteral("underline"))->isEnabled());
    EXPECT_EQ(m_window.MarkdownPane()->Markdown(), QStringLiteral("## 题\n\n一 **粗**\n"));
    Type(m_window.MarkdownPane()->SourceEdit(), QStringLiteral("\r~~删~~"));
    m_window.MarkdownPane()->UpdatePreview();
    EXPECT_TRUE(m_window.MarkdownPane()->Preview()->toHtml().contains(QStringLiteral("删")));
    Type(m_window.TitleEdit(), QStringLiteral("md"));
    ASSERT_TRUE(m_window.Save()) << m_window.StatusText().toStdString();
    const QString source = m_window.MarkdownPane()->Markdown();
    EXPECT_EQ(Drafts()[0].content, CMarkdownHtml::ToHtml(source.toStdString()));

    // Reopened: Markdown again, the same source; the account's next article starts in Markdown.
    m_session.EndEditing(); // as if closed: the article may open in another editor
    for (std::optional<long long> id :
         {std::optional<long long>(m_session.ArticleId()), std::optional<long long>()}) {
        CEditorWindow again;
        CArticleOperations operations{m_home.Context(), again};
        CEditorSession session{operations};
        std::string reason;
        ASSERT_TRUE(session.Open({.task = id ? EditorTask::EditDraft : EditorTask::Compose,
                                  .account = "甲",
                                  .index = id},
                                 reason))
            << reason;
        again.Attach(session);
        EXPECT_EQ(again.Format(), EditorFormat::kMarkdown);
        EXPECT_EQ(again.MarkdownPane()->Markdown(), id ? source : QString());
        again.WaitForWorkers();
        session.EndEditing();
    }

    // Back to rich text: always, with the HTML the Markdown gave.
    QString refusal;
    ASSERT_TRUE(m_window.SetFormat(EditorFormat::kRich, refusal));
    EXPECT_EQ(m_window.BodyHtml().toStdString(), CMarkdownHtml::ToHtml(source.toStdString()));

    // A table made in the editor has its header row: Markdown can take it. In Markdown the
    // toolbar writes Markdown's marks.
    m_window.RichEdit()->clear();
    m_window.Commands().InsertTable(2, 1);
    Type(m_window.RichEdit(), QStringLiteral("头"));
    QTextCursor below = m_window.RichEdit()->textCursor();
    below.movePosition(QTextCursor::NextBlock);
    m_window.RichEdit()->setTextCursor(below);
    Type(m_window.RichEdit(), QStringLiteral("格"));
    ASSERT_TRUE(m_window.SetFormat(EditorFormat::kMarkdown, refusal)) << refusal.toStdString();
    EXPECT_EQ(m_window.MarkdownPane()->Markdown(), QStringLiteral("| 头 |\n| --- |\n| 格 |\n"));
    QPlainTextEdit* text = m_window.MarkdownPane()->SourceEdit();
    text->setPlainText(QStringLiteral("字"));
    text->selectAll();
    m_window.Actions()->Action(QStringLiteral("bold"))->trigger();
    text->moveCursor(QTextCursor::End);
    m_window.InsertLink(QStringLiteral("https://a.cn/"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("**字**[https://a.cn/](https://a.cn/)"));
}

TEST_F(EditorWindowTest, SpellingUnderlinesEnglishMistakesNeverChineseAndCanBeSwitchedOff) {
    Open(EditorTask::Compose);
    m_window.WaitForWorkers();
    QTextEdit* edit = m_window.RichEdit();
    edit->setPlainText(QStringLiteral("中文 wrold 里"));
    ASSERT_TRUE(WaitFor([&] {
        return !edit->document()->firstBlock().layout()->formats().isEmpty();
    })) << m_window.StatusText().toStdString();
    auto underlined = [&] {
        QStringList words;
        const QTextBlock block = edit->document()->firstBlock();
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                words << block.text().mid(range.start, range.length);
        }
        return words;
    };
    EXPECT_EQ(underlined(), QStringList{QStringLiteral("wrold")});
    QTextCursor on(edit->document());
    on.setPosition(4);
    QTextCursor word;
    ASSERT_TRUE(m_window.RichSpelling()->MistakeAt(on, word));
    QMenu menu;
    m_window.RichSpelling()->ExtendMenu(menu, on);
    QAction* world = nullptr;
    for (QAction* action : menu.actions())
        if (action->text() == QStringLiteral("world"))
            world = action;
    ASSERT_NE(world, nullptr);
    world->trigger();
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("中文 world 里"));
    EXPECT_TRUE(underlined().isEmpty());

    edit->setPlainText(QStringLiteral("wrold"));
    m_window.Actions()->Action(QStringLiteral("spelling"))->trigger();
    EXPECT_FALSE(m_window.SpellCheckOn());
    EXPECT_TRUE(underlined().isEmpty());
    EXPECT_FALSE(m_session.SpellCheckEnabled());
}

// What a user does in the editor against the WordPress peer: a picture uploaded and shown in the
// post, the post published, edited and published again as the same post.
TEST(EditorPeerTest, ArticleWithAPictureIsPublishedThenItsEditChangesTheSamePost) {
    SKIP_WITHOUT_PEER();
    EnsureApp();
    CTempHome home;
    CRecordingMessageBoxes boxes;
    const std::string name = "e" + std::to_string(::getpid());
    ASSERT_EQ(home.Context().Accounts().AddAccount(PeerAccount(name, "MetaWeblog")), 1);
    CEditorWindow window;
    CArticleOperations operations{home.Context(), window};
    CEditorSession session{operations};
    std::string reason;
    ASSERT_TRUE(session.Open({.account = name}, reason)) << reason;
    window.Attach(session);
    ASSERT_TRUE(
        WaitFor([&] { return window.CategoryBox()->findText(QStringLiteral("技术")) >= 0; }, 30000))
        << window.StatusText().toStdString();

    const QString title = QStringLiteral("编辑器走查 %1").arg(::getpid());
    window.TitleEdit()->setText(title);
    window.CategoryBox()->setEditText(QStringLiteral("技术"));
    Type(window.RichEdit(), QStringLiteral("第一版正文"));
    const QString picture = QString::fromStdString(home.File("peer.png"));
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(picture, "PNG"));
    window.InsertPicture(picture);
    ASSERT_TRUE(WaitFor([&] { return window.BodyHtml().contains(QStringLiteral("<img")); }, 30000))
        << window.StatusText().toStdString();

    window.Publish();
    ASSERT_TRUE(WaitFor([&] { return session.Folder() == kFolderSent; }, 30000))
        << window.StatusText().toStdString();
    const std::string postId = session.PostId();
    ASSERT_FALSE(postId.empty());

    Type(window.RichEdit(), QStringLiteral(", 第二版"));
    window.Publish();
    ASSERT_TRUE(
        WaitFor([&] { return window.StatusText().startsWith(QStringLiteral("已发布")); }, 30000))
        << window.StatusText().toStdString();
    EXPECT_EQ(session.PostId(), postId);

    std::unique_ptr<CBloggerApi> api = CBlogApiFactory::CreateForAccount(home.Context(), name);
    ASSERT_TRUE(api);
    PostList posts;
    ASSERT_EQ(api->GetRecentPosts(posts, 20), 1);
    int withTitle = 0;
    std::string content;
    for (const PostEntry& post : posts) {
        if (post.title == title.toStdString()) {
            ++withTitle;
            content = post.description;
            EXPECT_EQ(post.postId, postId);
            EXPECT_EQ(post.category, "技术");
        }
    }
    EXPECT_EQ(withTitle, 1);
    EXPECT_NE(content.find(", 第二版"), std::string::npos) << content;
    const size_t src = content.find("<img src=\"");
    ASSERT_NE(src, std::string::npos) << content;
    const std::string address = content.substr(src + 10, content.find('"', src + 10) - src - 10);
    CHttpClient client;
    const HttpResponse served = client.Get(address);
    std::string sent;
    ASSERT_TRUE(CFileUtil::ReadFile(picture.toStdString(), sent));
    EXPECT_EQ(served.body, sent) << address;
    window.WaitForWorkers();
}

// The 预览 tab: the article through the account's style (the main window's preview) with its
// local picture, drawn again after typing; 网站样式 from the weblog's page, and while the page
// cannot be read, the reason above the account's style.
TEST_F(EditorWindowTest, PreviewTabShowsTheArticleThroughTheAccountStyleOrTheWeblogsPage) {
    loopback::CHttpServer site;
    std::atomic<bool> up{false};
    site.Server().Get("/", [&](const httplib::Request&, httplib::Response& answer) {
        if (!up) {
            answer.status = 404;
            answer.set_content("down", "text/html");
            return;
        }
        answer.set_content(ReadTestData("html/site-post.html"), "text/html; charset=UTF-8");
    });
    site.Start();
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("甲", "blogurl", site.Url("/")), 1);
    Open(EditorTask::Compose);
    Type(m_window.TitleEdit(), QStringLiteral("预览的标题"));
    Type(m_window.RichEdit(), QStringLiteral("预览的正文"));
    const QString picture = QString::fromStdString(m_home.File("图.png"));
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(picture, "PNG"));
    m_window.InsertPicture(picture);

    CArticlePreviewPane* preview = m_window.Preview();
    EXPECT_EQ(preview->View(), nullptr); // no web engine until the tab is shown
    m_window.Tabs()->setCurrentWidget(preview);
    ASSERT_NE(preview->View(), nullptr);
    // What the engine did, told when a wait for its page fails.
    std::string engineLog;
    QObject listening; // goes before the log it writes to
    QObject::connect(preview->View()->page(), &QWebEnginePage::loadFinished, &listening,
                     [&](bool ok) { engineLog += ok ? " loaded" : " load-failed"; });
    QObject::connect(preview->View()->page(), &QWebEnginePage::renderProcessTerminated, &listening,
                     [&](QWebEnginePage::RenderProcessTerminationStatus, int code) {
                         engineLog += " renderer-ended:" + std::to_string(code);
                     });
    const auto shown = [&] { return QString::fromUtf8(preview->View()->ShownDocument()); };
    const auto pageText = [&] {
        QString text;
        bool done = false;
        preview->View()->page()->toPlainText([&](const QString& result) {
            text = result;
            done = true;
        });
        WaitFor([&] { return done; }, 10000);
        return text;
    };
    EXPECT_FALSE(
        preview->View()->page()->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_TRUE(shown().contains(QStringLiteral("预览的标题"))) << shown().toStdString();
    // The picture kept with the draft comes from the pane's scheme, never as a file address.
    EXPECT_TRUE(shown().contains(QStringLiteral("quillpane:/file/"))) << shown().toStdString();
    EXPECT_FALSE(shown().contains(QStringLiteral("file://")));
    EXPECT_TRUE(WaitFor([&] { return pageText().contains(QStringLiteral("预览的正文")); }, 30000))
        << "engine:" << engineLog;
    // The engine shows the picture itself (the page's scripts are off; this one runs apart).
    const auto pictureWidth = [&] {
        int width = -1;
        bool done = false;
        preview->View()->page()->runJavaScript(
            QStringLiteral("document.images.length ? document.images[0].naturalWidth : 0"),
            QWebEngineScript::ApplicationWorld, [&](const QVariant& result) {
                width = result.toInt();
                done = true;
            });
        WaitFor([&] { return done; }, 10000);
        return width;
    };
    EXPECT_TRUE(WaitFor([&] { return pictureWidth() == 4; }, 10000)) << pictureWidth();

    m_window.RichEdit()->textCursor().insertText(QStringLiteral("又加一句"));
    EXPECT_TRUE(WaitFor([&] { return shown().contains(QStringLiteral("又加一句")); }));

    // The site answers 404: the account's style stays, the line says why.
    preview->SetLook(PreviewLook::kWebsite);
    ASSERT_TRUE(WaitFor([&] { return !preview->IsReading(); }, 30000));
    EXPECT_TRUE(preview->StatusLine().startsWith(
        QStringLiteral("无法使用网站样式, 现在显示的是日志样式: 无法读取博客首页: HTTP 404")))
        << preview->StatusLine().toStdString();
    EXPECT_FALSE(shown().contains(QStringLiteral("entry-content")));
    EXPECT_TRUE(shown().contains(QStringLiteral("又加一句")));

    // 刷新 once it answers: the article in the first post of the weblog's page.
    up = true;
    preview->ReloadButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !preview->IsReading(); }, 30000));
    EXPECT_EQ(preview->StatusLine(), QString());
    EXPECT_TRUE(shown().contains(QStringLiteral("<div class=\"entry-content\"><p>预览的正文<img ")))
        << shown().toStdString();
    EXPECT_TRUE(shown().contains(QStringLiteral("quillpane:/file/")));
    EXPECT_TRUE(shown().contains(QStringLiteral("又加一句</p></div>")));
    EXPECT_TRUE(shown().contains(ToQ(site.Url("/wp-content/themes/plain/style.css"))));
    EXPECT_TRUE(WaitFor(
        [&] {
            const QString text = pageText();
            return text.contains(QStringLiteral("预览的标题")) &&
                   text.contains(QStringLiteral("第二篇的正文")) &&
                   !text.contains(QStringLiteral("旧文章的正文"));
        },
        30000))
        << "page: " << pageText().toStdString()
        << "\nurl: " << preview->View()->url().toString().toStdString() << "\nengine:" << engineLog;

    // An account without a weblog address has no 网站样式.
    preview->SetAccount(m_home.Context(), "乙", {});
    EXPECT_EQ(preview->Look(), PreviewLook::kAccountStyle);
    EXPECT_FALSE(
        qobject_cast<QStandardItemModel*>(preview->LookBox()->model())->item(1)->isEnabled());
}

} // namespace
