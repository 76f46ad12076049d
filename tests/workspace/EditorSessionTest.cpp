// The editor program's article: opened from the main window's orders, saved into blog.db,
// published and given pictures through a weblog server on 127.0.0.1.
#include "WorkspaceTestSupport.h"

#include "app/AppPaths.h"
#include "storage/FeedDatabase.h"
#include "workspace/EditorSession.h"

#include <gtest/gtest.h>

namespace {

class EditorSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CAccountStore::AddAccount(ServerAccount("甲", m_server, "/ok")), 1);
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
        CFeedDatabase store(GetAppFilePath("Storage\\rss.db"));
        EXPECT_EQ(store.OpenStore(), 1) << store.GetLastError();
        int feedId = 0;
        EXPECT_EQ(store.AddFeed("http://example.com/feed.xml", feedId), 1);
        EXPECT_EQ(store.SaveReceivedItems(feedId, {item}, kStorageKeepAll, 0), 1);
        std::vector<FeedItem> items;
        int total = 0;
        EXPECT_EQ(store.GetItemPage(feedId, kItemFilterAll, true, items, total, 10, 0), 1);
        return items.empty() ? 0 : items[0].id;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CWeblogServer m_server;
    CRecordingObserver m_observer;
    CArticleOperations m_operations{m_observer};
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
    CFeedDatabase store(GetAppFilePath("Storage\\rss.db"));
    ASSERT_EQ(store.OpenStore(), 1);
    std::vector<FeedItem> results{{.title = "搜到的", .link = "http://example.com/found"}};
    ASSERT_EQ(store.SaveTempItems(0, results), 1);
    ASSERT_EQ(results[0].id, stored) << "both tables start at 1";

    std::string reason;
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::WriteFromSearchResult, stored), reason));
    EXPECT_EQ(m_session.Text().title, "搜到的");
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::WriteFromFeedItem, stored), reason));
    EXPECT_EQ(m_session.Text().title, "收到的");
    ASSERT_EQ(store.ClearTempItems(0), 1);
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
    ASSERT_EQ(CAccountStore::SetAccountField("甲", "autosavetime", "2000"), 1);
    EXPECT_EQ(m_session.AutosaveMilliseconds(), 2000);
}

} // namespace

namespace {

// One article, one editor: a second is refused naming the first one's window until that one
// ends. An editor gone without ending leaves its last autosaved text, offered to the next new
// article of the account (and only once).
TEST_F(EditorSessionTest, OneEditorPerArticleAndAGoneEditorsWorkIsOffered) {
    std::string reason;
    int articleId = 0;
    {
        CEditorSession first{m_operations};
        ASSERT_TRUE(first.Open(Orders(EditorTask::Compose), reason)) << reason;
        first.SetWindowTitle("第一个窗口");
        first.SetText({.title = "写到一半", .content = "<p>半句</p>"});
        ASSERT_TRUE(first.Autosave().ok);
        articleId = first.ArticleId();
        EXPECT_FALSE(m_session.Open(Orders(EditorTask::EditDraft, articleId), reason));
        EXPECT_EQ(reason, std::string(CEditorSession::kHeldElsewhereText) + "第一个窗口");
        // Typed after the autosave, never saved: what the note cannot hold.
        first.SetText({.title = "写到一半", .content = "<p>半句, 又一句</p>"});
    } // gone without EndEditing, as if killed

    CEditorSession next{m_operations};
    ASSERT_TRUE(next.Open(Orders(EditorTask::Compose), reason)) << reason;
    std::vector<EditorRecord> lost = next.InterruptedWork();
    ASSERT_EQ(lost.size(), 1u);
    next.Restore(lost[0]);
    EXPECT_EQ(next.ArticleId(), articleId);
    EXPECT_EQ(next.Text().content, "<p>半句</p>");
    EXPECT_TRUE(next.InterruptedWork().empty());
    ASSERT_TRUE(next.NoteState(reason)) << reason;
    next.EndEditing();
    // Ended normally: the article opens elsewhere and nothing is offered.
    ASSERT_TRUE(m_session.Open(Orders(EditorTask::EditDraft, articleId), reason)) << reason;
    EXPECT_TRUE(m_session.InterruptedWork().empty());
}

} // namespace
