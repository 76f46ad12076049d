// The weblog use-cases on a real blog.db and a weblog server on 127.0.0.1.
#include "WorkspaceTestSupport.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "storage/ArticleDatabase.h"
#include "support/StoreSupport.h"
#include "workspace/ArticleOperations.h"
#include "workspace/FolderActions.h"

#include <gtest/gtest.h>

namespace {

class ArticleOperationsTest : public ::testing::Test {
protected:
    void AddAccount(const std::string& name, CWeblogServer& server, const std::string& path) {
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(ServerAccount(name, server, path)), 1);
    }

    // A draft in the account's 草稿箱, written straight into blog.db.
    int Draft(const std::string& account, const std::string& title, const std::string& guid = {}) {
        CArticleDatabase store(m_home.Context());
        EXPECT_TRUE(Done(store.OpenStore()));
        EXPECT_TRUE(
            store.InsertPublishedArticle(kFolderDrafts, account,
                                         {.title = title,
                                          .content = "<p>正文 " + title + " &amp; 引号\"</p>",
                                          .pubDate = "2024-05-06 07:08:09",
                                          .category = "技术",
                                          .guid = guid}));
        return static_cast<int>(store.GetLastInsertId());
    }

    std::vector<ArticleRecord> Folder(const std::string& account, int folder) {
        std::vector<ArticleRecord> list;
        std::string reason;
        EXPECT_TRUE(
            m_operations.GetArticles({.account = account, .folder = folder}, 0, 100, list, reason))
            << reason;
        return list;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CRecordingObserver m_observer;
    CArticleOperations m_operations{m_home.Context(), m_observer};
};

// One article to four accounts at once: the server of three of them holds every call until all
// three have come, so a publish that went one account after the other would end in faults. The
// account whose server refuses gets its own reason; the others their posts.
TEST_F(ArticleOperationsTest, PublishToSeveralAccountsGoesAtOnceWithAResultPerAccount) {
    CWeblogServer server(3);
    AddAccount("甲", server, "/gate");
    AddAccount("乙", server, "/gate");
    AddAccount("丙", server, "/gate");
    CWeblogServer refusing;
    AddAccount("坏", refusing, "/fault");
    int id = Draft("甲", "一篇文章");

    OperationStart start = m_operations.StartPublishToAccounts(id, {"乙", "甲", "坏", "丙"});
    ASSERT_TRUE(start.Started()) << start.refusal;
    m_operations.Wait();

    ASSERT_EQ(m_observer.done.size(), 1u);
    const OperationResult& result = m_observer.done[0];
    EXPECT_EQ(result.outcome, OperationOutcome::kFailed);
    ASSERT_EQ(result.accounts.size(), 4u);
    EXPECT_EQ(m_observer.published.size(), 4u);
    // Row order in the result, whatever order they finished in.
    EXPECT_EQ(result.accounts[0].account, "乙");
    EXPECT_EQ(result.accounts[2].account, "坏");
    EXPECT_FALSE(result.accounts[2].Ok());
    EXPECT_NE(result.accounts[2].reason.find("错误 4000"), std::string::npos)
        << result.accounts[2].reason;
    EXPECT_NE(result.accounts[2].reason.find("Incorrect username or password."), std::string::npos);
    for (int i : {0, 1, 3}) {
        EXPECT_TRUE(result.accounts[i].Ok()) << result.accounts[i].reason;
        EXPECT_FALSE(result.accounts[i].postId.empty());
    }
    // The own account's article moved to 已发日志 with its post id; the others got copies.
    EXPECT_TRUE(Folder("甲", kFolderDrafts).empty());
    std::vector<ArticleRecord> own = Folder("甲", kFolderSent);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].id, id);
    EXPECT_EQ(own[0].guid, result.accounts[1].postId);
    for (int i : {0, 3}) {
        std::vector<ArticleRecord> sent = Folder(result.accounts[i].account, kFolderSent);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].title, "一篇文章");
        EXPECT_EQ(sent[0].content, "<p>正文 一篇文章 &amp; 引号\"</p>");
        EXPECT_EQ(sent[0].category, "技术");
        EXPECT_EQ(sent[0].guid, result.accounts[i].postId);
        EXPECT_EQ(sent[0].id, result.accounts[i].articleId);
    }
    EXPECT_TRUE(Folder("坏", kFolderSent).empty());
    // Each account's steps were shown on its own row, ending in failure for the refused one.
    EXPECT_NE(
        std::find(m_observer.progressTexts.begin(), m_observer.progressTexts.end(), "坏:发送失败!"),
        m_observer.progressTexts.end());
    EXPECT_NE(
        std::find(m_observer.progressTexts.begin(), m_observer.progressTexts.end(), "丙:▉▉▉▉▉"),
        m_observer.progressTexts.end());
    EXPECT_EQ(m_operations.RunningCount(), 0);
}

TEST_F(ArticleOperationsTest, PublishToSeveralAccountsRefusesWhatItCannotSend) {
    CWeblogServer server;
    int id = Draft("甲", "文章");
    EXPECT_EQ(m_operations.StartPublishToAccounts(id, {}).refusal, "请至少选择一个要发布的帐户!");
    EXPECT_EQ(m_operations.StartPublishToAccounts(id, {"a", "b", "c", "d", "e", "f"}).refusal,
              "您最多只能选择同时发布到 5 个账户!");
    EXPECT_EQ(m_operations.StartPublishToAccounts(id, {"a", "b", "a"}).refusal, "账户重复: a");
    m_operations.Wait();
    EXPECT_TRUE(m_observer.done.empty());
    EXPECT_TRUE(server.Methods().empty());

    // Five is allowed; an account that does not exist fails on its own row.
    for (const char* name : {"a", "b", "c", "d"})
        AddAccount(name, server, "/ok");
    OperationStart five = m_operations.StartPublishToAccounts(id, {"a", "b", "c", "d", "无此账户"});
    ASSERT_TRUE(five.Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 1u);
    const OperationResult& result = m_observer.done[0];
    EXPECT_EQ(server.Methods().size(), 4u);
    EXPECT_FALSE(result.accounts[4].Ok());
    EXPECT_NE(result.accounts[4].reason.find("错误 6001"), std::string::npos)
        << result.accounts[4].reason;
    // The article's own account was not among them: it stays a draft.
    EXPECT_EQ(Folder("甲", kFolderDrafts).size(), 1u);
}

// A cancel aborts the transfer under way; nothing changes locally.
TEST_F(ArticleOperationsTest, CancelStopsAFetchAndASecondOperationRunsMeanwhile) {
    CWeblogServer server;
    AddAccount("慢", server, "/hold");
    AddAccount("快", server, "/ok");
    OperationStart slow = m_operations.StartFetch({.account = "慢", .count = 5});
    ASSERT_TRUE(slow.Started());
    ASSERT_TRUE(server.WaitUntilHeld());
    // A second operation starts and ends while the first waits for its server.
    OperationStart quick = m_operations.StartFetch({.account = "快", .count = 3});
    ASSERT_TRUE(quick.Started());
    EXPECT_NE(quick.id, slow.id);
    for (int i = 0; i < 1000 && m_operations.RunningCount() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(m_operations.RunningCount(), 1);

    m_operations.Cancel(slow.id);
    m_operations.Wait();
    EXPECT_EQ(server.HeldAnswered(), 0);
    ASSERT_EQ(m_observer.done.size(), 2u);
    const OperationResult& fast = m_observer.done[0];
    const OperationResult& cancelled = m_observer.done[1];
    EXPECT_EQ(fast.operationId, quick.id);
    EXPECT_TRUE(fast.Ok()) << fast.reason;
    EXPECT_EQ(fast.fetched, 3);
    EXPECT_EQ(cancelled.operationId, slow.id);
    EXPECT_EQ(cancelled.outcome, OperationOutcome::kCancelled) << cancelled.reason;
    EXPECT_TRUE(Folder("慢", kFolderReceived).empty());
    EXPECT_EQ(Folder("快", kFolderReceived).size(), 3u);
}

// The end of the operations object (the window closing) cancels what still runs and waits for
// it: every account of a publish still waiting for its server ends cancelled, nothing moves.
TEST_F(ArticleOperationsTest, TheEndOfTheOperationsCancelsAPublishUnderWay) {
    CWeblogServer server;
    AddAccount("甲", server, "/hold");
    AddAccount("乙", server, "/hold");
    int id = Draft("甲", "等待中");
    CRecordingObserver observer;
    {
        CArticleOperations operations(m_home.Context(), observer);
        ASSERT_TRUE(operations.StartPublishToAccounts(id, {"甲", "乙"}).Started());
        ASSERT_TRUE(server.WaitUntilHeld());
        EXPECT_EQ(operations.RunningCount(), 1);
    }
    // The transfers were aborted: the server has not answered them yet.
    EXPECT_EQ(server.HeldAnswered(), 0);
    ASSERT_EQ(observer.done.size(), 1u);
    const OperationResult& result = observer.done[0];
    EXPECT_EQ(result.outcome, OperationOutcome::kCancelled) << result.reason;
    ASSERT_EQ(result.accounts.size(), 2u);
    for (const AccountPublishResult& one : result.accounts)
        EXPECT_EQ(one.outcome, OperationOutcome::kCancelled) << one.account << one.reason;
    EXPECT_EQ(Folder("甲", kFolderDrafts).size(), 1u);
    EXPECT_TRUE(Folder("乙", kFolderSent).empty());
}

// Each publish to several accounts sends on threads of its own: one whose five accounts all
// wait for their server does not hold up another, and both end when the operations go.
TEST_F(ArticleOperationsTest, APublishToSeveralDoesNotWaitForTheSendersOfAnother) {
    CWeblogServer slow;
    CWeblogServer quick;
    const std::vector<std::string> held = {"一", "二", "三", "四", "五"};
    for (const std::string& name : held)
        AddAccount(name, slow, "/hold");
    AddAccount("快", quick, "/ok");
    const int first = Draft("一", "等待中");
    const int second = Draft("快", "不等");
    CRecordingObserver observer;
    {
        CArticleOperations operations(m_home.Context(), observer);
        ASSERT_TRUE(operations.StartPublishToAccounts(first, held).Started());
        ASSERT_TRUE(slow.WaitUntilHeld());
        const OperationStart other = operations.StartPublishToAccounts(second, {"快"});
        ASSERT_TRUE(other.Started());
        ASSERT_TRUE(observer.WaitForDone(other.id));
        EXPECT_TRUE(observer.done.front().Ok()) << observer.done.front().reason;
    }
    EXPECT_EQ(slow.HeldAnswered(), 0);
    ASSERT_EQ(observer.done.size(), 2u);
    EXPECT_EQ(observer.done[1].outcome, OperationOutcome::kCancelled) << observer.done[1].reason;
}

TEST_F(ArticleOperationsTest, FetchReplacesTheReceivedCopiesByPostId) {
    CWeblogServer server;
    AddAccount("甲", server, "/ok");
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(m_operations.StartFetch({.account = "甲"}).Started());
        m_operations.Wait();
    }
    ASSERT_EQ(m_observer.done.size(), 2u);
    EXPECT_TRUE(m_observer.done[1].Ok()) << m_observer.done[1].reason;
    std::vector<ArticleRecord> received = Folder("甲", kFolderReceived);
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0].guid, "1");
    EXPECT_EQ(received[2].guid, "3");
    EXPECT_EQ(received[2].tags, "tag2, 标签一");
    FolderCounts counts;
    std::string reason;
    ASSERT_TRUE(m_operations.CountFolders("甲", counts, reason));
    EXPECT_EQ(counts.Of(kFolderReceived), 3);
    EXPECT_EQ(m_observer.changed.size(), 2u);
    EXPECT_EQ(m_observer.changed[0], (FolderRef{.account = "甲", .folder = kFolderReceived}));
}

// A draft becomes a new post; an article that has a post id edits that post. Both end in
// 已发日志; a failed one stays where it was, with the server's reason.
TEST_F(ArticleOperationsTest, PublishMakesNewPostsOrEditsAndMovesToSent) {
    CWeblogServer server;
    CWeblogServer refusing;
    AddAccount("甲", server, "/ok");
    AddAccount("坏", refusing, "/fault");
    int fresh = Draft("甲", "新的");
    int edited = Draft("甲", "改过的", "77");
    int refused = Draft("坏", "不行");
    // An article deleted on the server lies in 垃圾箱 with the old post id: publishing it again
    // makes a new post (an edit would change the deleted one, which nobody sees).
    int trashed = Draft("甲", "删过的", "66");
    CArticleDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    ASSERT_TRUE(store.SetArticleFolder(trashed, kFolderTrash));
    ASSERT_TRUE(m_operations.StartPublish({fresh, edited, refused, trashed}).Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 1u);
    const OperationResult& result = m_observer.done[0];
    EXPECT_EQ(result.outcome, OperationOutcome::kFailed);
    ASSERT_EQ(result.articles.size(), 4u);
    EXPECT_EQ(result.articles[1].postId, "77");
    EXPECT_NE(result.articles[2].reason.find("错误 4000"), std::string::npos);
    EXPECT_EQ(server.Methods(),
              (std::vector<std::string>{"metaWeblog.newPost", "metaWeblog.editPost",
                                        "metaWeblog.newPost"}));
    std::vector<ArticleRecord> sent = Folder("甲", kFolderSent);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].guid, result.articles[0].postId);
    EXPECT_EQ(sent[1].guid, "77");
    EXPECT_EQ(sent[2].id, trashed);
    EXPECT_NE(sent[2].guid, "66");
    EXPECT_EQ(sent[2].guid, result.articles[3].postId);
    EXPECT_EQ(Folder("坏", kFolderDrafts).size(), 1u);
    EXPECT_NE(std::find(m_observer.progressTexts.begin(), m_observer.progressTexts.end(),
                        ":正在发布第 2 篇日志"),
              m_observer.progressTexts.end());
}

// What the folders allow, as the operations do it: from its folder only a draft or a deleted
// article is published, by itself or to several accounts; a post of the weblog is refused with
// the reason and nothing is sent; the editor's publish of that post edits it. A received copy
// stays where the server put it; 垃圾箱's delete is final.
TEST_F(ArticleOperationsTest, EachFolderAllowsWhatItsArticlesMayUndergo) {
    CWeblogServer server;
    AddAccount("甲", server, "/ok");
    CArticleDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    const auto in = [&](int folder, const std::string& title, const std::string& guid) {
        const int id = Draft("甲", title, guid);
        EXPECT_TRUE(store.SetArticleFolder(id, folder));
        return id;
    };
    const int received = in(kFolderReceived, "收到的", "11");
    const int sent = in(kFolderSent, "发过的", "22");
    const int draft = in(kFolderDrafts, "草稿", "");
    const int trashed = in(kFolderTrash, "删过的", "33");

    ASSERT_TRUE(m_operations.StartPublish({received, sent, draft, trashed}).Started());
    OperationStart several = m_operations.StartPublishToAccounts(sent, {"甲"});
    ASSERT_TRUE(several.Started());
    m_operations.Wait();
    ASSERT_EQ(m_observer.done.size(), 2u);
    const OperationResult& publish = m_observer.done[0].kind == ArticleOperationKind::kPublish
                                         ? m_observer.done[0]
                                         : m_observer.done[1];
    ASSERT_EQ(publish.articles.size(), 4u);
    for (int i : {0, 1})
        EXPECT_EQ(publish.articles[i].reason, kNotPublishableText) << i;
    for (int i : {2, 3})
        EXPECT_EQ(publish.articles[i].outcome, OperationOutcome::kDone) << i;
    const OperationResult& refused =
        m_observer.done[0].operationId == several.id ? m_observer.done[0] : m_observer.done[1];
    EXPECT_EQ(refused.outcome, OperationOutcome::kFailed);
    EXPECT_EQ(refused.reason, kNotPublishableText);
    EXPECT_TRUE(refused.accounts.empty());
    EXPECT_EQ(server.Methods(),
              (std::vector<std::string>{"metaWeblog.newPost", "metaWeblog.newPost"}));
    EXPECT_EQ(Folder("甲", kFolderReceived).size(), 1u);
    EXPECT_EQ(Folder("甲", kFolderSent).size(), 3u);

    // What the editor changed in a post is an edit of that post.
    ASSERT_TRUE(m_operations.StartPublishEdited(sent, {}).Started());
    m_operations.Wait();
    EXPECT_TRUE(m_observer.done.at(2).Ok()) << m_observer.done[2].reason;
    EXPECT_EQ(server.Methods().back(), "metaWeblog.editPost");

    const FolderRef drafts{.account = "甲", .folder = kFolderDrafts};
    EXPECT_EQ(m_operations.Move({received}, drafts).reason, kNotMovableText);
    EXPECT_TRUE(m_operations.Move({sent}, drafts).ok);
    ASSERT_TRUE(m_operations.DeleteLocal({trashed}).ok); // lay in 已发日志 since its publish
    ASSERT_TRUE(m_operations.DeleteLocal({trashed}).ok); // now in 垃圾箱: gone
    ArticleRecord gone;
    EXPECT_FALSE(store.GetArticle(trashed, gone));
}

// A folder code the store does not know (a file from elsewhere) allows nothing.
TEST(FolderActionsTest, AFolderTheStoreDoesNotKnowAllowsNothing) {
    for (const int code : {0, 5, -1}) {
        const FolderActions actions = FolderActionsOf(ArticleFolderOf(code));
        EXPECT_FALSE(actions.publish || actions.deleteOnServer || actions.moveAway ||
                     actions.deleteForGood)
            << code;
    }
}

// Each article of an account whose interface object cannot be made fails with the reason, not
// only the first one.
TEST_F(ArticleOperationsTest, EveryArticleOfAnUnreachableAccountFails) {
    const int first = Draft("无此账户", "一");
    const int second = Draft("无此账户", "二");
    ASSERT_TRUE(m_operations.StartPublish({first, second}).Started());
    m_operations.Wait();
    const OperationResult& result = m_observer.done.at(0);
    EXPECT_EQ(result.outcome, OperationOutcome::kFailed);
    ASSERT_EQ(result.articles.size(), 2u);
    for (const ArticleResult& article : result.articles) {
        EXPECT_EQ(article.outcome, OperationOutcome::kFailed) << article.articleId;
        EXPECT_NE(article.reason.find("错误 6001"), std::string::npos) << article.reason;
    }
    EXPECT_EQ(Folder("无此账户", kFolderDrafts).size(), 2u);
}

TEST_F(ArticleOperationsTest, DeleteOnServerMovesToTrashAndRefusesDrafts) {
    CWeblogServer server;
    AddAccount("甲", server, "/ok");
    int draft = Draft("甲", "草稿");
    int published = Draft("甲", "已发", "42");
    CArticleDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    ASSERT_TRUE(store.SetArticleFolder(published, kFolderSent));

    ASSERT_TRUE(m_operations.StartDeleteOnServer({published, draft}).Started());
    m_operations.Wait();
    const OperationResult& result = m_observer.done.at(0);
    EXPECT_EQ(result.articles.at(0).outcome, OperationOutcome::kDone);
    EXPECT_EQ(result.articles.at(1).reason, "这篇文章不在服务器上");
    EXPECT_EQ(server.Methods(), std::vector<std::string>{"blogger.deletePost"});
    std::vector<ArticleRecord> trash = Folder("甲", kFolderTrash);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_EQ(trash[0].id, published);
    EXPECT_EQ(Folder("甲", kFolderDrafts).size(), 1u);
}

// Copy and move keep every text of the article; a copy has no post id and a new id, a moved
// article keeps its id, and its post id while it stays in its account. A folder or account that
// does not exist is refused and nothing moves.
TEST_F(ArticleOperationsTest, LocalDeleteCopyMoveAndClear) {
    CWeblogServer server;
    AddAccount("甲", server, "/ok");
    AddAccount("乙", server, "/ok");
    int id = Draft("甲", "标题 'a' & <b>", "55");
    ArticleRecord before;
    ArticlePlace place;
    std::string reason;
    ASSERT_TRUE(m_operations.GetArticle(id, before, place, reason)) << reason;
    EXPECT_EQ(place.account, "甲");
    EXPECT_EQ(place.folder, kFolderDrafts);

    LocalOutcome copy = m_operations.Copy({id}, {.account = "乙", .folder = kFolderTrash});
    ASSERT_TRUE(copy.ok) << copy.reason;
    ASSERT_EQ(copy.newIds.size(), 1u);
    ArticleRecord copied;
    ASSERT_TRUE(m_operations.GetArticle(copy.newIds[0], copied, place, reason));
    EXPECT_NE(copied.id, id);
    EXPECT_EQ(copied.title + copied.content + copied.category + copied.pubDate,
              before.title + before.content + before.category + before.pubDate);
    EXPECT_EQ(copied.guid, "");
    EXPECT_EQ(place.account + std::to_string(place.folder), "乙4");

    // Within the account the post id stays; to another account it goes, and publishing there
    // makes a new post instead of editing whatever post of that weblog has the number.
    ArticleRecord moved;
    ASSERT_TRUE(m_operations.Move({id}, {.account = "甲", .folder = kFolderSent}).ok);
    ASSERT_TRUE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(moved.guid, "55");
    LocalOutcome move = m_operations.Move({id}, {.account = "乙", .folder = kFolderDrafts});
    ASSERT_TRUE(move.ok) << move.reason;
    ASSERT_TRUE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(moved.title + moved.content + moved.category + moved.pubDate,
              before.title + before.content + before.category + before.pubDate);
    EXPECT_EQ(moved.guid, "");
    EXPECT_EQ(place.account + std::to_string(place.folder), "乙3");
    EXPECT_EQ(move.changedFolders,
              (std::vector<FolderRef>{{.account = "甲", .folder = kFolderSent},
                                      {.account = "乙", .folder = kFolderDrafts}}));
    ASSERT_TRUE(m_operations.StartPublish({id}).Started());
    m_operations.Wait();
    EXPECT_EQ(server.Methods(), std::vector<std::string>{"metaWeblog.newPost"});
    ASSERT_TRUE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(place.account + std::to_string(place.folder), "乙2");

    LocalOutcome nobody = m_operations.Move({id}, {.account = "无此账户", .folder = kFolderDrafts});
    EXPECT_FALSE(nobody.ok);
    EXPECT_EQ(nobody.reason, "没有这个账户: 无此账户");
    EXPECT_FALSE(m_operations.Copy({id}, {.account = "甲", .folder = 5}).ok);
    ASSERT_TRUE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(place.account + std::to_string(place.folder), "乙2");

    // Local delete: to 垃圾箱 first, then for good.
    ASSERT_TRUE(m_operations.DeleteLocal({id}).ok);
    ASSERT_TRUE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(place.folder, kFolderTrash);
    ASSERT_TRUE(m_operations.DeleteLocal({id}).ok);
    EXPECT_FALSE(m_operations.GetArticle(id, moved, place, reason));
    EXPECT_EQ(reason, "没有对应id的文章");

    LocalOutcome cleared = m_operations.ClearFolder({.account = "乙", .folder = kFolderTrash});
    EXPECT_EQ(cleared.affected, 1);
    FolderCounts counts;
    ASSERT_TRUE(m_operations.CountFolders("乙", counts, reason));
    EXPECT_EQ(counts.counts, (std::array<int, 5>{0, 0, 0, 0, 0}));
    EXPECT_TRUE(m_operations.Compact().ok);
}

} // namespace
