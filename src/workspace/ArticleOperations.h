#pragma once

#include "app/AppContext.h"
#include "platform/http/CancelToken.h"
#include "platform/jobs/JobRunner.h"
#include "storage/ArticleDatabase.h"
#include "workspace/ArticleObserver.h"
#include "workspace/PostOptions.h"
#include "workspace/WeblogLibrary.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CBloggerApi;

// The answer of a call that starts an operation: its id, or why it was refused (nothing
// was started then).
struct OperationStart {
    int id = 0;
    std::string refusal;

    bool Started() const { return id != 0; }
};

// The answer of a local operation (done at once, on the calling thread).
struct LocalOutcome {
    bool ok = true;
    std::string reason;                    // the store's error text, or why it was refused
    int affected = 0;                      // articles deleted, copied or moved
    std::vector<int> newIds;               // the copies' ids (copy)
    std::vector<FolderRef> changedFolders; // recount these nodes
};

// The article counts of an account's four folders.
struct FolderCounts {
    std::array<int, 5> counts{}; // indexed by folder code; [0] unused

    int Of(int folder) const { return folder >= 1 && folder <= 4 ? counts[folder] : 0; }
};

// How a fetch is asked for.
struct FetchRequest {
    std::string account;
    int count = 0; // posts to fetch; 0: the account's stored number (getrecentpostsnum)
};

// The weblog side's article use-cases, shared by the windows and quillmark-cli: fetching recent
// posts, publishing (to the own account, or one article to up to five accounts at once),
// deleting on the server, and the local folder work (counts, pages, delete, copy, move, clear,
// compact).
//
// Network operations (the Start... calls) run as jobs of this object's runner: each operation
// gets its own store connection, its own interface object and its own cancel token, and reports
// through the observer (see CArticleObserver: called on the runner's threads). Any number of
// operations may run at once. A publish-to-several sends to its accounts at once on a runner of
// its own, one thread per account, whose jobs wait for nothing but their servers: its wait for
// them always ends, and no publish waits for the senders of another. Finished threads are joined
// when the next job comes, by Wait, and at the latest by the destructor, which cancels what
// still runs and waits for it; no thread outlives its work or this object.
//
// The local operations run on the calling thread, open their own store connection for the call,
// and answer with what changed; they never call the observer.
//
// Start..., Cancel, Wait and the destructor belong to one thread (the interface thread, or the
// cli's main thread).
class CArticleOperations {
public:
    // Makes the interface object bound to an account (nullptr after reporting why not).
    using ApiFactory = WeblogApiFactory;

    // The context's program directory and accounts, its store file (Storage/blog.db unless
    // given) and the observer that hears about every operation.
    CArticleOperations(const CAppContext& context, CArticleObserver& observer,
                       std::string storePath = {});
    ~CArticleOperations();
    CArticleOperations(const CArticleOperations&) = delete;
    CArticleOperations& operator=(const CArticleOperations&) = delete;

    // How the interface object of an account is made (the account store's account and its
    // service type unless set). For tests and for certificates of one's own.
    void SetApiFactory(ApiFactory factory) { m_apiFactory = std::move(factory); }

    // --- Network operations, on workers --------------------------------------------------
    // Fetches recent posts into the account's 已收日志; the copies of those posts already there
    // (by post id) give way to the fetched ones.
    OperationStart StartFetch(const FetchRequest& request);
    // Publishes articles of 草稿箱 or 垃圾箱 from their folder, one after the other: a new post,
    // or an edit of the post when the article has a post id (except in 垃圾箱, where a post id is
    // that of a post deleted on the server: a new post again). An article of another folder is
    // refused with kNotPublishableText (FolderActions::publish): it is a post of the weblog
    // already. Each published article moves to 已发日志 of its account with its post id; a
    // failed or refused one stays where it is.
    OperationStart StartPublish(const std::vector<int>& articleIds);
    // Publishes what the editor changed in an article, from whatever folder it lies in (an edit,
    // not a publish from the folder), with the post's options of the editor's side panel;
    // otherwise as StartPublish.
    OperationStart StartPublishEdited(int articleId, const PostOptions& options);
    // Publishes one article of 草稿箱 or 垃圾箱 to each of the accounts at once (at most
    // kMaxPublishAccounts; each with its own interface object and thread). An article of another
    // folder, or one that cannot be read, is refused as a whole: the result's reason says why
    // and no account is sent to (result.accounts stays empty). The article's own account, when
    // named, gets the article moved to its 已发日志 with the post id; every other account gets a
    // copy in its 已发日志 with its own post id and the current local time. Each account's result
    // is reported as soon as it is known.
    OperationStart StartPublishToAccounts(int articleId, const std::vector<std::string>& accounts);
    // Deletes the posts of articles of 已收日志 or 已发日志 (FolderActions::deleteOnServer) on the
    // server, one after the other; each one deleted moves to 垃圾箱 of its account.
    OperationStart StartDeleteOnServer(const std::vector<int>& articleIds);

    // Stops an operation: no further step starts and a transfer under way is aborted. The
    // operation still ends with OnOperationDone (kCancelled for what did not get done).
    void Cancel(int operationId);
    void CancelAll();
    // Waits until every operation started so far has ended and its workers are joined.
    void Wait();
    // The operations started and not yet ended.
    int RunningCount() const;

    // --- Local operations, at once --------------------------------------------------------
    bool CountFolders(const std::string& account, FolderCounts& counts, std::string& reason);
    // count articles of the folder from the offset-th on, in the order they were stored.
    bool GetArticles(const FolderRef& folder, int offset, int count,
                     std::vector<ArticleRecord>& list, std::string& reason);
    bool GetArticle(int id, ArticleRecord& article, ArticlePlace& place, std::string& reason);
    // Articles of 已收日志, 已发日志 and 草稿箱 go to 垃圾箱 of their account; articles of 垃圾箱
    // are deleted for good.
    LocalOutcome DeleteLocal(const std::vector<int>& articleIds);
    // New articles in the folder of the account (title, category, content, date), without
    // post id, so publishing them makes new posts.
    LocalOutcome Copy(const std::vector<int>& articleIds, const FolderRef& to);
    // The articles themselves to the folder of the account; they keep their ids. Refused, with
    // nothing moved, when one lies in a folder that keeps its articles (FolderActions). Within one
    // account they keep their post ids; moved to another account they lose them (the post is on
    // the old account's weblog), so publishing them there makes new posts.
    LocalOutcome Move(const std::vector<int>& articleIds, const FolderRef& to);
    // Deletes every article of the folder for good.
    LocalOutcome ClearFolder(const FolderRef& folder);
    // Writes a new draft into the account's 草稿箱; its id is newIds[0].
    LocalOutcome NewDraft(const std::string& account, const ArticleRecord& article);
    // Writes the title, category and content of the article over the stored ones; it stays in
    // its folder with its post id.
    LocalOutcome SaveArticle(int id, const ArticleRecord& article);
    // Rebuilds blog.db to give back the space of deleted articles.
    LocalOutcome Compact();

    static constexpr int kMaxPublishAccounts = 5;
    static constexpr const char* kTooManyAccountsText = "您最多只能选择同时发布到 5 个账户!";
    static constexpr const char* kNoAccountText = "请至少选择一个要发布的帐户!";
    static constexpr const char* kNotOnServerText = "这篇文章不在服务器上";
    static constexpr const char* kBadFolderText = "目标文件夹无效";

    const std::string& StorePath() const { return m_storePath; }
    const CAppContext& Context() const { return m_context; }

    // The state of one running operation (its cancel token and the transfers to abort).
    struct Operation;

private:
    enum class Transfer { kCopy, kMove };

    // Registers an operation and starts its worker.
    OperationStart Launch(ArticleOperationKind kind, std::function<void(Operation&)> work);
    LocalOutcome CopyOrMove(const std::vector<int>& articleIds, const FolderRef& to,
                            Transfer transfer);
    bool OpenStore(CArticleDatabase& store, std::string& reason) const;

    // What publish and delete on the server do with each article.
    struct ArticleStep;
    // The articles one after the other: each read with its place, checked, sent with its
    // account's interface object (one per account), kept in the store, and its end counted into
    // the operation's result.
    void RunArticles(Operation& operation, const std::vector<int>& ids, const ArticleStep& step);
    void RunFetch(Operation& operation, const FetchRequest& request);
    // Where a publish comes from: a folder's list (only what FolderActions::publish allows) or
    // the editor (the article it edited, with the options of its side panel).
    enum class PublishFrom { kFolder, kEditor };
    void RunPublish(Operation& operation, const std::vector<int>& ids, PublishFrom from,
                    const PostOptions& options);
    void RunPublishToAccounts(Operation& operation, int articleId,
                              const std::vector<std::string>& accounts);
    // The store connection of a publish to several accounts, taken in turns by its senders.
    struct SharedStore {
        CArticleDatabase store;
        std::mutex lock;
    };
    AccountPublishResult PublishToAccount(Operation& operation, SharedStore& shared,
                                          const ArticleRecord& article, const ArticlePlace& place,
                                          const std::string& account, const std::string& nowText);
    void RunDeleteOnServer(Operation& operation, const std::vector<int>& ids);
    std::unique_ptr<CBloggerApi> MakeApi(const std::string& account, std::string& reason);

    CAppContext m_context;
    CArticleObserver& m_observer;
    std::string m_storePath;
    ApiFactory m_apiFactory;

    mutable std::mutex m_lock; // guards the operations
    std::vector<std::shared_ptr<Operation>> m_operations;
    int m_nextId = 1;
    // Last, so that its threads are joined before anything they use goes.
    CJobRunner m_runner;
};
