#pragma once

#include <string>
#include <vector>

// One folder of one account: what a tree node shows and what a recount is about.
struct FolderRef {
    std::string account;
    int folder = 0; // kFolderReceived .. kFolderTrash

    bool operator==(const FolderRef&) const = default;
};

// What a weblog operation does; carried in its progress and its result.
enum class ArticleOperationKind {
    kFetch,             // recent posts into 已收日志
    kPublish,           // articles of 草稿箱 / 垃圾箱 (or edited ones) to their own account
    kPublishToAccounts, // one article to several accounts at once
    kDeleteOnServer, // posts of 已收日志 / 已发日志 deleted on the server, local copy to 垃圾箱
};

// How an operation (or one article or account of it) ended.
enum class OperationOutcome {
    kDone,
    kFailed,    // reason says why
    kCancelled, // stopped through Cancel (or the object's end) before it was done
};

// A step of a running operation, in the words the progress window shows ("正在获取文章...",
// "正在发布第 2 篇日志", "▉▉发送中").
struct OperationProgress {
    int operationId = 0;
    ArticleOperationKind kind = ArticleOperationKind::kFetch;
    std::string account; // the account the step is about
    std::string text;
};

// How one article of a publish or a server delete ended.
struct ArticleResult {
    int articleId = 0;
    OperationOutcome outcome = OperationOutcome::kDone;
    std::string postId; // the post id on the server (publish)
    std::string reason; // why it failed
};

// How publishing to one account of a publish-to-several ended.
struct AccountPublishResult {
    std::string account;
    OperationOutcome outcome = OperationOutcome::kDone;
    std::string postId; // the new post's id on that account's weblog
    int articleId = 0;  // the article in that account's 已发日志 (0 when it failed)
    std::string reason; // why it failed: the server's fault, the network, the store...

    bool Ok() const { return outcome == OperationOutcome::kDone; }
};

// The end of an operation.
struct OperationResult {
    int operationId = 0;
    ArticleOperationKind kind = ArticleOperationKind::kFetch;
    OperationOutcome outcome = OperationOutcome::kDone; // kFailed when any part failed
    std::string account; // the account it ran for (fetch; the article's own account otherwise)
    std::string reason;  // why it failed, when it failed as a whole (first failure otherwise)
    int fetched = 0;     // posts stored by a fetch
    std::vector<ArticleResult> articles;        // publish, delete on server: per article
    std::vector<AccountPublishResult> accounts; // publish to several: per account, row order
    std::vector<FolderRef> changedFolders;      // folders whose contents changed

    bool Ok() const { return outcome == OperationOutcome::kDone; }
};

// What the weblog operations tell the window or the cli.
//
// Threads: every method is called on a worker thread of the operations object, and calls for
// different operations (and for the accounts of one publish-to-several) may come at the same time
// from different threads. A window implementation hands each call on to its interface thread
// (a queued invocation) and touches no widget here. No call is made after the operation's
// OnOperationDone, and none after the operations object is destroyed.
class CArticleObserver {
public:
    virtual ~CArticleObserver() = default;
    // A step of an operation, for the progress window ("传输进度") or a row's text.
    virtual void OnProgress(const OperationProgress& progress) {}
    // The contents of a folder changed: recount its tree node, reload it when it is shown.
    virtual void OnFolderChanged(int operationId, const FolderRef& folder) {}
    // One account of a publish-to-several is done (success or failure), as soon as it is done,
    // in whatever order the accounts finish.
    virtual void OnAccountPublished(int operationId, const AccountPublishResult& result) {}
    // The operation ended; its workers are finishing and will be joined.
    virtual void OnOperationDone(const OperationResult& result) {}
};
