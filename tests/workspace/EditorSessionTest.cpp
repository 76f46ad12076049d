// The editor program's article: opened from the main window's orders, saved into blog.db,
// published and given pictures through a weblog server on 127.0.0.1; Markdown and spelling.
#include "WorkspaceTestSupport.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "workspace/EditorSession.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/SpellChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

class EditorSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(ServerAccount("甲", m_server, "/ok")), 1);
    }

    static EditorHandOff Orders(EditorTask task, std::optional<long long> index = {}) {
        return {.task = task,
                .account = "甲",
                .index = index,
                .publishFolderTreeId = 1020,
                .draftFolderTreeId = 1030,
                .accounts = {{.name = "甲", .treeId = 1000}}};
    }

    std::vector<ArticleRecord> Folder(int folder) {
        std::vector<ArticleRecord> list;
        std::string reason;
        EXPECT_TRUE(
            m_operations.GetArticles({.account = "甲", .folder = folder}, 0, 100, list, reason))
            << reason;
        return list;
    }

    int Draft(const std::string& title) {
        LocalOutcome outcome = m_operations.NewDraft(
            "甲", {.title = title, .content = "<p>旧的正文</p>", .category = "技术"});
        EXPECT_TRUE(outcome.ok) << outcome.reason;
        return outcome.newIds.empty() ? 0 : outcome.newIds[0];
    }

    // A channel with one item; gives the item's id.
    int FeedItemId(const FeedItem& item) {
        CFeedDatabase store(m_home.Context());
        EXPECT_TRUE(Done(store.OpenStore()));
        int feedId = 0;
        EXPECT_TRUE(store.AddFeed("http://example.com/feed.xml", feedId));
        EXPECT_TRUE(store.SaveReceivedItems(feedId, {item}, StorageRule::kKeepAll, 0));
        std::vector<FeedItem> items;
        int total = 0;
        EXPECT_TRUE(store.GetItemPage(feedId, ItemFilter::kAll, true, items, total, 10, 0));
        return items.empty() ? 0 : items[0].id;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CWeblogServer m_server;
    CRecordingObserver m_observer;
    CArticleOperations m_operations{m_home.Context(), m_observer};
    CEditorSession m_session{m_operations};
};

TEST_F(EditorSessionTest, ComposedArticleGoesIntoDraftsAndLaterSavesStayInOneRow) {
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    EXPECT_EQ(m_session.ArticleId(), 0);
    EXPECT_FALSE(m_session.IsModified());

    m_session.SetText({.title = "第一篇", .category = "技术", .content = "<p>你好 'x'</p>"});
    EXPECT_TRUE(m_session.IsModified());
    EditorSaveResult saved = m_session.SaveDraft();
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_FALSE(m_session.IsModified());
    EXPECT_EQ(m_session.Folder(), kFolderDrafts);
    EXPECT_EQ(m_session.FolderTreeId(), 1030);
    ASSERT_EQ(saved.changedFolders.size(), 1u);
    EXPECT_EQ(saved.changedFolders[0].folder, kFolderDrafts);

    m_session.SetText({.title = "第一篇(改)", .category = "技术", .content = "<p>二</p>"});
    ASSERT_TRUE(m_session.SaveDraft().ok);
    std::vector<ArticleRecord> drafts = Folder(kFolderDrafts);
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].id, m_session.ArticleId());
    EXPECT_EQ(drafts[0].title, "第一篇(改)");
    EXPECT_EQ(drafts[0].content, "<p>二</p>");
    EXPECT_EQ(drafts[0].category, "技术");
}

TEST_F(EditorSessionTest, EditingADraftSavesInPlaceAndAutosaveOnlyWhenChanged) {
    const int id = Draft("草稿");
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::EditDraft, id), reason)) << reason;
    EXPECT_EQ(m_session.Text().title, "草稿");
    EXPECT_EQ(m_session.Text().content, "<p>旧的正文</p>");
    EXPECT_EQ(m_session.Folder(), kFolderDrafts);

    // Nothing changed: the periodic save writes nothing.
    EditorSaveResult idle = m_session.Autosave();
    EXPECT_TRUE(idle.ok);
    EXPECT_TRUE(idle.changedFolders.empty());

    m_session.SetText({.title = "草稿", .category = "生活", .content = "<p>新的正文</p>"});
    EditorSaveResult saved = m_session.Autosave();
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_FALSE(saved.changedFolders.empty());
    std::vector<ArticleRecord> drafts = Folder(kFolderDrafts);
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_EQ(drafts[0].id, id);
    EXPECT_EQ(drafts[0].content, "<p>新的正文</p>");
    EXPECT_EQ(drafts[0].category, "生活");

    // The article vanished meanwhile (deleted in the main window): the save says why.
    ASSERT_TRUE(m_operations.DeleteLocal({id}).ok);
    ASSERT_TRUE(m_operations.DeleteLocal({id}).ok);
    m_session.SetText({.title = "草稿", .content = "<p>三</p>"});
    EditorSaveResult lost = m_session.SaveDraft();
    EXPECT_FALSE(lost.ok);
    EXPECT_EQ(lost.reason, "没有对应id的文章");
    EXPECT_TRUE(m_session.IsModified());
}

TEST_F(EditorSessionTest, OrdersThatCannotBeOpenedGiveTheReason) {
    std::string reason;
    EXPECT_FALSE(m_session.Open(Orders(EditorTask::EditSent, 4711), reason));
    EXPECT_NE(reason.find("4711"), std::string::npos) << reason;
    EXPECT_NE(reason.find("没有对应id的文章"), std::string::npos) << reason;

    EXPECT_FALSE(m_session.Open(Orders(EditorTask::EditDraft), reason));
    EXPECT_EQ(reason, CEditorSession::kNoIndexText);

    EXPECT_FALSE(m_session.Open(Orders(EditorTask::WriteFromFeedItem, 99), reason));
    EXPECT_NE(reason.find("没有对应id的rss item"), std::string::npos) << reason;

    EditorHandOff stranger = Orders(EditorTask::Compose);
    stranger.account = "乙";
    EXPECT_FALSE(m_session.Open(stranger, reason));
    EXPECT_FALSE(reason.empty());
}

TEST_F(EditorSessionTest, FeedItemIsQuotedWithItsTitleAndLinkEscapedAndItsScriptsDropped) {
    const int itemId =
        FeedItemId({.title = "A & B <新闻>",
                    .link = "http://example.com/a?x=1&y=\"2\"",
                    .description = "<p>原文 <b>加粗</b><script>alert(1)</script></p>"
                                   "<img src=\"http://example.com/p.png\" onerror=\"steal()\">"});
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::WriteFromFeedItem, itemId), reason)) << reason;
    EXPECT_EQ(m_session.Text().title, "A & B <新闻>");
    const std::string& html = m_session.Text().content;
    EXPECT_NE(html.find("<a href=\"http://example.com/a?x=1&amp;y=&quot;2&quot;\">A &amp; B "
                        "&lt;新闻&gt;</a>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<blockquote><p>原文 <b>加粗</b></p>"), std::string::npos) << html;
    EXPECT_NE(html.find("<img src=\"http://example.com/p.png\""), std::string::npos) << html;
    EXPECT_EQ(html.find("script"), std::string::npos) << html;
    EXPECT_EQ(html.find("steal"), std::string::npos) << html;
    // A new article: it counts as changed until it is saved, so the autosave keeps it.
    EXPECT_TRUE(m_session.IsModified());
    ASSERT_TRUE(m_session.Autosave().ok);
    ASSERT_EQ(Folder(kFolderDrafts).size(), 1u);
    EXPECT_EQ(Folder(kFolderDrafts)[0].content, html);
}

// The scratch table of on-line results and the received items number their rows apart: the
// orders name the table, and a stored item is never mistaken for a search result or back.
TEST_F(EditorSessionTest, FeedItemIsReadFromTheTableTheOrdersName) {
    const int stored = FeedItemId({.title = "收到的", .link = "http://example.com/stored"});
    CFeedDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    std::vector<FeedItem> results{{.title = "搜到的", .link = "http://example.com/found"}};
    ASSERT_TRUE(store.SaveTempItems(0, results));
    ASSERT_EQ(results[0].id, stored) << "both tables start at 1";

    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::WriteFromSearchResult, stored), reason));
    EXPECT_EQ(m_session.Text().title, "搜到的");
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::WriteFromFeedItem, stored), reason));
    EXPECT_EQ(m_session.Text().title, "收到的");
    ASSERT_TRUE(store.ClearTempItems(0));
    EXPECT_FALSE(m_session.Open(Orders(EditorTask::WriteFromSearchResult, stored), reason));
    EXPECT_NE(reason.find("没有对应id的rss item"), std::string::npos) << reason;
}

TEST_F(EditorSessionTest, PublishSavesThenPostsAndEditsTheSamePostNextTime) {
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    EXPECT_FALSE(m_session.StartPublish().Started()); // no title yet
    m_session.SetText({.title = "发布", .content = "<p>正文</p>"});
    OperationStart start = m_session.StartPublish();
    ASSERT_TRUE(start.Started()) << start.refusal;
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 1u);
    EXPECT_EQ(m_session.OnPublished(m_observer.done[0]), "");
    EXPECT_EQ(m_session.Folder(), kFolderSent);
    EXPECT_EQ(m_session.FolderTreeId(), 1020);
    EXPECT_FALSE(m_session.PostId().empty());
    EXPECT_TRUE(Folder(kFolderDrafts).empty());
    ASSERT_EQ(Folder(kFolderSent).size(), 1u);

    m_session.SetText({.title = "发布(改)", .content = "<p>正文</p>"});
    ASSERT_TRUE(m_session.StartPublish().Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 2u);
    EXPECT_EQ(m_session.OnPublished(m_observer.done[1]), "");
    EXPECT_EQ(m_server.Methods(),
              (std::vector<std::string>{"metaWeblog.newPost", "metaWeblog.editPost"}));
    std::vector<ArticleRecord> sent = Folder(kFolderSent);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].title, "发布(改)");
}

TEST_F(EditorSessionTest, CategoriesAndPicturesComeFromTheServerOrSayWhyNot) {
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    std::vector<std::string> names;
    ASSERT_TRUE(m_session.LoadCategories(names, reason)) << reason;
    EXPECT_EQ(names, (std::vector<std::string>{"News", "Uncategorized", "技术"}));

    const std::string picture = m_home.File("图片.png");
    WriteAll(picture, "\x89PNG\r\n\x1a\n fake");
    std::string url;
    ASSERT_TRUE(m_session.UploadPicture(picture, url, reason)) << reason;
    EXPECT_EQ(url, "http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png");
    EXPECT_FALSE(m_session.UploadPicture(m_home.File("无.png"), url, reason));
    EXPECT_NE(reason.find("无.png"), std::string::npos) << reason;
    // Sent as what its bytes are, whatever its name says.
    WriteAll(m_home.File("照片.jpg"), "\x89PNG\r\n\x1a\n fake");
    ASSERT_TRUE(m_session.UploadPicture(m_home.File("照片.jpg"), url, reason)) << reason;
    EXPECT_NE(m_server.Bodies().back().find("image/png"), std::string::npos);

    // An account whose interface object cannot be made: the reason names it.
    EXPECT_EQ(m_session.AutosaveMilliseconds(), CEditorSession::kDefaultAutosaveMs);
    m_session.SetApiFactory([](const std::string&) { return nullptr; });
    EXPECT_FALSE(m_session.LoadCategories(names, reason));
    EXPECT_EQ(reason, "无法读取账户: 甲");
}

// The main window recounts folders by node code: the article's account's node in the orders'
// list decides, whatever account the orders were written for.
TEST_F(EditorSessionTest, FolderCodesFollowTheArticlesAccountNode) {
    const int id = Draft("草稿");
    EditorHandOff orders = Orders(EditorTask::EditDraft, id);
    orders.account = "乙";
    orders.accounts = {{.name = "乙", .treeId = 1000}, {.name = "甲", .treeId = 1100}};
    std::string reason;
    ASSERT_TRUE(m_session.Open(orders, reason)) << reason;
    EXPECT_EQ(m_session.Account(), "甲");
    EXPECT_EQ(m_session.FolderTreeId(), 1130);
    EXPECT_EQ(m_session.FolderNodeCode(kFolderSent), 1120);
    EXPECT_EQ(m_session.FolderNodeCode(kFolderTrash), 1140);
    // Without a list, the orders' own codes serve only for their own account.
    orders.accounts.clear();
    ASSERT_TRUE(m_session.Open(orders, reason)) << reason;
    EXPECT_EQ(m_session.FolderTreeId(), 0);
}

TEST_F(EditorSessionTest, WindowRectangleIsKeptInTheAccount) {
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    EXPECT_FALSE(m_session.WindowRect().IsSet());
    ASSERT_TRUE(
        m_session.SaveWindowRect({.left = 10, .top = 20, .right = 810, .bottom = 620}, reason))
        << reason;
    EditorWindowRect rect = m_session.WindowRect();
    EXPECT_TRUE(rect.IsSet());
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.bottom, 620);
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("甲", "autosavetime", "2000"), 1);
    EXPECT_EQ(m_session.AutosaveMilliseconds(), 2000);
}

} // namespace

namespace {

// One article, one editor: a second is refused naming the first one's window until that one
// ends. An editor gone without ending leaves its last autosaved text, offered to the next new
// article of the account (and only once), Markdown as Markdown.
TEST_F(EditorSessionTest, OneEditorPerArticleAndAGoneEditorsWorkIsOffered) {
    std::string reason;
    int articleId = 0;
    {
        CEditorSession first{m_operations};
        ASSERT_TRUE(first.Open(Orders(EditorTask::Compose), reason)) << reason;
        first.SetWindowTitle("第一个窗口");
        first.SetText(
            {.title = "写到一半", .format = EditorFormat::kMarkdown, .markdown = "半句\n"});
        ASSERT_TRUE(first.Autosave().ok);
        // The next new article starts in Markdown: still empty, and offered the note.
        ASSERT_TRUE(first.SetPreferredFormat(EditorFormat::kMarkdown, reason)) << reason;
        articleId = first.ArticleId();
        EXPECT_FALSE(m_session.Open(Orders(EditorTask::EditDraft, articleId), reason));
        EXPECT_EQ(reason, std::string(CEditorSession::kHeldElsewhereText) + "第一个窗口");
        // Typed after the autosave, never saved: what the note cannot hold.
        first.SetText(
            {.title = "写到一半", .format = EditorFormat::kMarkdown, .markdown = "半句, 又一句\n"});
    } // gone without EndEditing, as if killed

    CEditorSession next{m_operations};
    ASSERT_TRUE(next.Open(Orders(EditorTask::Compose), reason)) << reason;
    std::vector<EditorRecord> lost = next.InterruptedWork();
    ASSERT_EQ(lost.size(), 1u);
    next.Restore(lost[0]);
    EXPECT_EQ(next.ArticleId(), articleId);
    EXPECT_EQ(next.Text().content, "<p>半句</p>\n");
    EXPECT_EQ(next.Text().format, EditorFormat::kMarkdown);
    EXPECT_EQ(next.Text().markdown, "半句\n");
    EXPECT_TRUE(next.InterruptedWork().empty());
    ASSERT_TRUE(next.NoteState(reason)) << reason;
    next.EndEditing();
    // Ended normally: the article opens elsewhere and nothing is offered.
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::EditDraft, articleId), reason)) << reason;
    EXPECT_TRUE(m_session.InterruptedWork().empty());
}

} // namespace

// In Markdown a kept picture is found in the source (its HTML drops file addresses), uploaded,
// and its server address goes into the HTML sent and into the source that reopens.
TEST_F(EditorSessionTest, MarkdownPicturesAreUploadedAndTheSourceKeepsTheirServerAddress) {
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    const std::string picture = m_home.File("图.png");
    WriteAll(picture, "\x89PNG\r\n\x1a\n fake");
    std::string address;
    ASSERT_TRUE(m_session.KeepPicture(picture, address, reason)) << reason;
    m_session.SetText({.title = "md 图",
                       .format = EditorFormat::kMarkdown,
                       .markdown = "![图](" + address + ") ![又](" + address + ")\n"});
    ASSERT_EQ(m_session.LocalPictures(), std::vector<std::string>{address});
    std::map<std::string, std::string> urls;
    // A local file the draft did not keep (a fetched post may name one) is never sent out.
    const size_t sent = m_server.Bodies().size();
    EXPECT_FALSE(m_session.UploadPictures({CDraftPictures::FileAddress(picture)}, urls, reason));
    EXPECT_EQ(reason, "图片 图.png 不是草稿保存的图片, 不会上传: " + picture);
    EXPECT_EQ(m_server.Bodies().size(), sent);
    ASSERT_TRUE(m_session.UploadPictures(m_session.LocalPictures(), urls, reason)) << reason;
    ASSERT_TRUE(m_session.StartPublish(urls).Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 1u);
    EXPECT_EQ(m_session.OnPublished(m_observer.done[0]), "");
    const std::string url = "http://127.0.0.1:8080/wp-content/uploads/2026/12/quill-test.png";
    const std::string markdown = "![图](" + url + ") ![又](" + url + ")\n";
    EXPECT_EQ(m_session.Text().markdown, markdown);
    const std::string html =
        "<p><img src=\"" + url + "\" alt=\"图\" /> <img src=\"" + url + "\" alt=\"又\" /></p>\n";
    EXPECT_EQ(m_session.Text().content, html);
    EXPECT_NE(m_server.Bodies().back().find("&lt;img src=\"" + url), std::string::npos)
        << m_server.Bodies().back();
    m_session.EndEditing(); // closed: the article may open in another editor
    CEditorSession again(m_operations);
    ASSERT_TRUE(again.Open(Orders(EditorTask::EditSent, m_session.ArticleId()), reason)) << reason;
    EXPECT_EQ(again.Text().format, EditorFormat::kMarkdown);
    EXPECT_EQ(again.Text().markdown, markdown);
}

TEST_F(EditorSessionTest, MarkdownArticleReopensAsItsSourceAndPublishesCmarkHtml) {
    const std::string source = "# 标题\n\n**粗体** 和 ~~删除~~, https://example.com\n\n"
                               "| 列 | 值 |\n| --- | --- |\n| a | 1 |\n";
    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::Compose), reason)) << reason;
    EXPECT_EQ(m_session.Text().format, EditorFormat::kRich);
    m_session.SetText({.title = "md", .format = EditorFormat::kMarkdown, .markdown = source});
    const std::string html = m_session.Text().content;
    EXPECT_NE(html.find("<del>删除</del>"), std::string::npos) << html;
    EXPECT_NE(html.find("<a href=\"https://example.com\">"), std::string::npos) << html;
    EXPECT_NE(html.find("<th>列</th>"), std::string::npos) << html;
    ASSERT_TRUE(m_session.StartPublish().Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 1u);
    EXPECT_EQ(m_session.OnPublished(m_observer.done[0]), "");
    ASSERT_FALSE(m_server.Bodies().empty());
    std::string sent; // the HTML as the request writes it
    for (char c : html)
        sent += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    EXPECT_NE(m_server.Bodies().back().find(sent), std::string::npos) << m_server.Bodies().back();

    // Reopened, it is Markdown again; changed elsewhere, its source no longer counts.
    m_session.EndEditing(); // closed: the article may open in another editor
    CEditorSession again(m_operations);
    ASSERT_TRUE(again.Open(Orders(EditorTask::EditSent, m_session.ArticleId()), reason)) << reason;
    EXPECT_EQ(again.Text().format, EditorFormat::kMarkdown);
    EXPECT_EQ(again.Text().markdown, source);
    EXPECT_EQ(again.Text().content, html);
    ASSERT_TRUE(
        m_operations.SaveArticle(m_session.ArticleId(), {.title = "md", .content = "<p>x</p>"}).ok);
    ASSERT_TRUE(again.Open(Orders(EditorTask::EditSent, m_session.ArticleId()), reason)) << reason;
    EXPECT_EQ(again.Text().format, EditorFormat::kRich);

    // The account remembers the way it writes; spelling is a setting of its own.
    ASSERT_TRUE(again.SetPreferredFormat(EditorFormat::kMarkdown, reason)) << reason;
    ASSERT_TRUE(again.Open(Orders(EditorTask::Compose), reason)) << reason;
    EXPECT_EQ(again.Text().format, EditorFormat::kMarkdown);
    EXPECT_TRUE(again.SpellCheckEnabled());
    ASSERT_TRUE(again.SetSpellCheckEnabled(false, reason)) << reason;
    EXPECT_FALSE(m_session.SpellCheckEnabled());
}

TEST(MarkdownHtml, LinksToScriptsLoseTheirAddress) {
    EXPECT_EQ(
        CMarkdownHtml::ToHtml("[a](javascript:alert(1)) [b](JavaScript:x) ![c](data:text/html,x) "
                              "[d](https://a.cn/) ![e](data:image/png;base64,AA==)\n"),
        "<p><a href=\"\">a</a> <a href=\"\">b</a> <img src=\"\" alt=\"c\" /> "
        "<a href=\"https://a.cn/\">d</a> <img src=\"data:image/png;base64,AA==\" alt=\"e\" "
        "/></p>\n");
}

TEST(MarkdownHtml, RichTextBecomesMarkdownOnlyWhenNothingIsLost) {
    struct Case {
        const char* html;
        const char* markdown; // nullptr: refused
    };
    const Case cases[] = {
        {"<h2>标题</h2><p>一段 <strong>粗</strong> <em>斜</em> <s>删</s> <code>a`b</code></p>",
         "## 标题\n\n一段 **粗** *斜* ~~删~~ ``a`b``\n"},
        {"<ul><li>一</li><li>二<ul><li>三</li></ul></li></ul><ol><li>x</li></ol>",
         "- 一\n- 二\n  - 三\n\n1. x\n"},
        {"<blockquote><p>引用</p></blockquote><pre><code>int a = 1;\n</code></pre><hr>",
         "> 引用\n\n```\nint a = 1;\n```\n\n***\n"},
        {"<p><a href=\"https://a.cn/x y\">链接</a> <img src=\"p.png\" alt=\"图\"> 1*2</p>",
         "[链接](<https://a.cn/x y>) ![图](p.png) 1\\*2\n"},
        {"<table><tr><th>a</th></tr><tr><td>b|c</td></tr></table>", "| a |\n| --- |\n| b\\|c |\n"},
        {"<p><u>下划线</u></p>", nullptr},
        {"<p style=\"text-align:center\">居中</p>", nullptr},
        {"<p><span style=\"color:#ff0000\">红</span></p>", nullptr},
        {"<table><tr><td>no header</td></tr></table>", nullptr},
    };
    for (const Case& c : cases) {
        std::string markdown;
        std::string reason;
        const bool ok = CMarkdownHtml::FromHtml(c.html, markdown, reason);
        EXPECT_EQ(ok, c.markdown != nullptr) << c.html << ": " << reason;
        if (ok && c.markdown) {
            EXPECT_EQ(markdown, c.markdown) << c.html;
        } else if (!ok) {
            EXPECT_NE(reason.find("Markdown"), std::string::npos) << reason;
        }
    }
}

TEST(SpellChecker, FlagsEnglishMistakesAndNeverChinese) {
    CSpellChecker checker;
    std::string reason;
    ASSERT_TRUE(checker.LoadDefault(reason)) << reason;
    const std::string text = "今天写了一篇 articel about the weekend, 中文不检查; e-mail R2D2 "
                             "example.com don’t recieve";
    std::vector<std::string> flagged;
    for (const SpellingMistake& mistake : checker.Check(text))
        flagged.push_back(text.substr(mistake.offset, mistake.length));
    EXPECT_EQ(flagged, (std::vector<std::string>{"articel", "recieve"}));
    const std::vector<std::string> suggestions = checker.Suggest("recieve");
    EXPECT_NE(std::find(suggestions.begin(), suggestions.end(), "receive"), suggestions.end());
    checker.Ignore("articel");
    EXPECT_EQ(checker.Check("articel 中文").size(), 0u);
    CSpellChecker missing;
    EXPECT_FALSE(missing.Load("/nonexistent", "en_US", reason));
    EXPECT_NE(reason.find("hunspell-en-us"), std::string::npos) << reason;
}

// Process ids come round again: a note left under the id of this process by an editor that died
// is kept for its own article, not written over by the next note.
TEST(EditorRecoveryTest, ANoteOfADeadEditorWithThisProcessIdIsKept) {
    const std::string probeFolder = MakeTempDir();
    const std::string folder = MakeTempDir();
    std::string reason;
    std::string nextKey;
    {
        // The key the next note of this process would take.
        CEditorRecovery probe(probeFolder);
        ASSERT_TRUE(probe.Write({.account = "甲", .title = "试"}, reason)) << reason;
        for (const auto& entry : std::filesystem::directory_iterator(probeFolder)) {
            if (entry.path().extension() == ".xml") {
                const std::string key = entry.path().stem().string();
                const size_t dash = key.rfind('-');
                nextKey =
                    key.substr(0, dash + 1) + std::to_string(std::stoi(key.substr(dash + 1)) + 1);
            }
        }
    }
    ASSERT_FALSE(nextKey.empty());
    WriteAll(folder + "/" + nextKey + ".lock", "");
    WriteAll(folder + "/" + nextKey + ".xml", "dead editor's note");
    CEditorRecovery recovery(folder);
    ASSERT_TRUE(recovery.Write({.account = "甲", .title = "新"}, reason)) << reason;
    EXPECT_EQ(ReadAll(folder + "/" + nextKey + ".xml"), "dead editor's note");
    RemoveTree(probeFolder);
    RemoveTree(folder);
}
