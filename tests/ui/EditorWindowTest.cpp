// The editor program's window on a real blog.db and a weblog server on 127.0.0.1.
#include "ui/editor/EditorWindow.h"
#include "app/AppPaths.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/peer/PeerSupport.h"
#include "platform/fs/FileUtil.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/editor/EditorActions.h"
#include "ui/editor/FindReplaceBar.h"
#include "ui/editor/LinkDialog.h"
#include "ui/editor/MarkdownPane.h"
#include "ui/editor/RichTextCommands.h"
#include "ui/editor/RichTextHtml.h"
#include "ui/editor/SpellHighlighter.h"
#include "workspace/EditorSession.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/WorkspaceTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
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
        ASSERT_EQ(CAccountStore::AddAccount(ServerAccount("甲", m_server, "/ok")), 1);
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
    CArticleOperations m_operations{m_window};
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

TEST_F(EditorWindowTest, PictureIsUploadedShownAndFailuresShowTheirReason) {
    Open(EditorTask::Compose);
    const QString picture = QString::fromStdString(m_home.File("图.png"));
    QImage red(4, 3, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(picture, "PNG"));
    m_window.InsertPicture(picture);
    ASSERT_TRUE(WaitFor([&] { return m_window.BodyHtml().contains(QStringLiteral("<img")); }))
        << m_window.StatusText().toStdString();
    const QString address =
        QStringLiteral("http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png");
    EXPECT_TRUE(m_window.BodyHtml().contains(QStringLiteral("src=\"%1\"").arg(address)));
    // The rich text shows the picture from the file instead of a broken link to the server.
    const QImage shown = m_window.RichEdit()
                             ->document()
                             ->resource(QTextDocument::ImageResource, QUrl(address))
                             .value<QImage>();
    EXPECT_EQ(shown.size(), red.size());

    m_window.InsertPicture(QString::fromStdString(m_home.File("没有.png")));
    ASSERT_TRUE(
        WaitFor([&] { return m_window.StatusText().startsWith(QStringLiteral("上传图片失败")); }));
    EXPECT_TRUE(m_window.StatusText().contains(QStringLiteral("没有.png")));
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
    ASSERT_EQ(CAccountStore::UpdateAccountConnection("甲", account), 1);
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
    m_boxes.Answer(true);
    ASSERT_TRUE(m_window.close());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].question);
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
        CArticleOperations operations{next};
        CEditorSession session{operations};
        std::string reason;
        ASSERT_TRUE(session.Open({.account = "甲"}, reason)) << reason;
        next.Attach(session);
        EXPECT_EQ(next.NoticeText(), QString::fromUtf8(CEditorWindow::kInterruptedNotice));
        ASSERT_TRUE(next.close());
    }
    // Closed normally: no notice the time after; a page that cannot be read is named.
    ASSERT_EQ(CAccountStore::SetAccountField("甲", "editorindex", "\\Data\\Editor\\无\\index.html"),
              1);
    CEditorWindow last;
    CArticleOperations operations{last};
    CEditorSession session{operations};
    std::string reason;
    ASSERT_TRUE(session.Open({.account = "甲"}, reason)) << reason;
    last.Attach(session);
    EXPECT_TRUE(last.NoticeText().startsWith(QStringLiteral("无法读取编辑器页面")))
        << last.NoticeText().toStdString();
    EXPECT_FALSE(last.NoticeText().contains(QString::fromUtf8(CEditorWindow::kInterruptedNotice)));
    last.WaitForWorkers();
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
    for (std::optional<long long> id :
         {std::optional<long long>(m_session.ArticleId()), std::optional<long long>()}) {
        CEditorWindow again;
        CArticleOperations operations{again};
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
    ASSERT_EQ(CAccountStore::AddAccount(PeerAccount(name, "MetaWeblog")), 1);
    CEditorWindow window;
    CArticleOperations operations{window};
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

    std::unique_ptr<CBloggerApi> api = CBlogApiFactory::CreateForAccount(name);
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

} // namespace
