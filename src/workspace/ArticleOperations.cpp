#include "workspace/ArticleOperations.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/BloggerApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "reader/FeedDate.h"
#include "workspace/FolderActions.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <ctime>
#include <iterator>
#include <optional>

// One running operation: its cancel token and the interface objects whose transfers a cancel
// aborts.
struct CArticleOperations::Operation {
    int id = 0;
    ArticleOperationKind kind = ArticleOperationKind::kFetch;
    CCancelToken cancel;
    std::mutex lock;
    std::vector<CBloggerApi*> apis;
    bool ended = false; // guarded by the operations' lock

    bool Cancelled() const { return cancel.IsCancelled(); }
    void Cancel() {
        cancel.Cancel();
        std::lock_guard guard(lock);
        for (CBloggerApi* api : apis)
            api->Abort();
    }
    // Makes the object's transfers abortable while it works for this operation. Registered
    // after a cancel, its next transfer fails at once.
    void Attach(CBloggerApi* api) {
        std::lock_guard guard(lock);
        apis.push_back(api);
        if (cancel.IsCancelled())
            api->Abort();
    }
    void Detach(CBloggerApi* api) {
        std::lock_guard guard(lock);
        apis.erase(std::remove(apis.begin(), apis.end(), api), apis.end());
    }
};

namespace {

constexpr const char* kCancelledText = "已取消";

// Keeps an interface object attached to an operation while it lives.
class CAttachedApi {
public:
    CAttachedApi(CArticleOperations::Operation& operation, CBloggerApi* api)
        : m_operation(operation), m_api(api) {
        if (m_api)
            m_operation.Attach(m_api);
    }
    ~CAttachedApi() {
        if (m_api)
            m_operation.Detach(m_api);
    }
    CAttachedApi(const CAttachedApi&) = delete;
    CAttachedApi& operator=(const CAttachedApi&) = delete;

private:
    CArticleOperations::Operation& m_operation;
    CBloggerApi* m_api;
};

void AddFolder(std::vector<FolderRef>& folders, const FolderRef& folder) {
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
}

std::string NowText() {
    return CXmlRpcRequest::FormatPubDate(std::time(nullptr));
}

PostRequest ArticleRequest(const CBloggerApi& api, const ArticleRecord& article) {
    PostRequest request = api.MakeRequest();
    request.title = article.title;
    request.description = article.content;
    request.category = article.category;
    request.postId = article.guid;
    request.tags = article.tags;
    return request;
}

// The article's category comes first, then the other ticked ones.
void ApplyOptions(PostRequest& request, const PostOptions& options) {
    for (const std::string& name : options.categories) {
        if (request.category.empty())
            request.category = name;
        else if (name != request.category)
            request.moreCategories.push_back(name);
    }
    request.abstract = options.excerpt;
    request.slug = options.slug;
    request.postTime = options.publishTime;
    request.serverDraft = options.status == PostStatus::kServerDraft;
    request.allowComments = options.allowComments;
}

bool AccountExists(const CAppContext& context, const std::string& name, std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::vector<AccountRecord> accounts;
    if (!context.Accounts().ListAccounts(accounts)) {
        reason = recorder.TakeOr("载入帐户信息失败!");
        return false;
    }
    for (const AccountRecord& account : accounts) {
        if (account.name == name)
            return true;
    }
    reason = "没有这个账户: " + name;
    return false;
}

} // namespace

CArticleOperations::CArticleOperations(const CAppContext& context, CArticleObserver& observer,
                                       std::string storePath)
    : m_context(context), m_observer(observer),
      m_storePath(storePath.empty() ? CArticleDatabase::PathOf(context) : std::move(storePath)),
      m_apiFactory(CBlogApiFactory::AccountFactory(context)) {}

CArticleOperations::~CArticleOperations() {
    CancelAll();
    Wait();
}

OperationStart CArticleOperations::Launch(ArticleOperationKind kind,
                                          std::function<void(Operation&)> work) {
    auto operation = std::make_shared<Operation>();
    operation->kind = kind;
    {
        std::lock_guard guard(m_lock);
        operation->id = m_nextId++;
        m_operations.push_back(operation);
    }
    m_runner.Submit([this, operation, work = std::move(work)](const CCancelToken&) {
        work(*operation);
        std::lock_guard guard(m_lock);
        operation->ended = true;
        m_operations.erase(std::remove(m_operations.begin(), m_operations.end(), operation),
                           m_operations.end());
    });
    return {.id = operation->id};
}

void CArticleOperations::Cancel(int operationId) {
    std::lock_guard guard(m_lock);
    for (const auto& operation : m_operations) {
        if (operation->id == operationId)
            operation->Cancel();
    }
}

void CArticleOperations::CancelAll() {
    std::lock_guard guard(m_lock);
    for (const auto& operation : m_operations)
        operation->Cancel();
}

void CArticleOperations::Wait() {
    m_runner.Wait();
}

int CArticleOperations::RunningCount() const {
    std::lock_guard guard(m_lock);
    return static_cast<int>(m_operations.size());
}

bool CArticleOperations::OpenStore(CArticleDatabase& store, std::string& reason) const {
    store.SetDateNormalizer(NormalizeFeedDate);
    const StoreResult opened = store.OpenStore();
    if (!opened)
        reason = opened.reason;
    return static_cast<bool>(opened);
}

std::unique_ptr<CBloggerApi> CArticleOperations::MakeApi(const std::string& account,
                                                         std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::unique_ptr<CBloggerApi> api = m_apiFactory(account);
    if (!api)
        reason = recorder.TakeOr("无法读取账户: " + account);
    return api;
}

// --- Fetch -------------------------------------------------------------------------------

OperationStart CArticleOperations::StartFetch(const FetchRequest& request) {
    if (request.account.empty())
        return {.refusal = "没有选择账户"};
    if (request.count < 0 || request.count > 9999)
        return {.refusal = "获取日志的数量无效: " + std::to_string(request.count)};
    return Launch(ArticleOperationKind::kFetch,
                  [this, request](Operation& operation) { RunFetch(operation, request); });
}

void CArticleOperations::RunFetch(Operation& operation, const FetchRequest& request) {
    OperationResult result{.operationId = operation.id,
                           .kind = ArticleOperationKind::kFetch,
                           .account = request.account};
    auto finish = [&](OperationOutcome outcome, std::string reason) {
        result.outcome = outcome;
        result.reason = std::move(reason);
        m_observer.OnOperationDone(result);
    };
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    m_observer.OnProgress({.operationId = operation.id,
                           .kind = ArticleOperationKind::kFetch,
                           .account = request.account,
                           .text = "正在获取文章..."});
    std::string reason;
    std::unique_ptr<CBloggerApi> api = MakeApi(request.account, reason);
    if (!api)
        return finish(OperationOutcome::kFailed, reason);
    int count = request.count > 0 ? request.count : api->Account().getrecentpostsnum;
    if (count <= 0 || count > 9999)
        return finish(OperationOutcome::kFailed, "获取日志的数量无效: " + std::to_string(count));
    if (operation.Cancelled())
        return finish(OperationOutcome::kCancelled, kCancelledText);

    PostList posts;
    bool fetched;
    {
        CAttachedApi attached(operation, api.get());
        fetched = api->GetRecentPosts(posts, count) != 0;
    }
    if (operation.Cancelled())
        return finish(OperationOutcome::kCancelled, kCancelledText);
    if (!fetched)
        return finish(OperationOutcome::kFailed, recorder.TakeOr("获取日志失败"));
    recorder.Take(); // an empty list is a notice, not a failure

    std::vector<ArticleRecord> received;
    for (const PostEntry& post : posts) {
        received.push_back({.title = post.title,
                            .content = post.description,
                            .pubDate = post.dateCreated,
                            .category = post.category,
                            .guid = post.postId,
                            .tags = post.tags});
    }
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return finish(OperationOutcome::kFailed, reason);
    if (StoreResult kept =
            store.ReplaceReceivedArticles(kFolderReceived, request.account, received);
        !kept)
        return finish(OperationOutcome::kFailed, kept.reason);
    result.fetched = static_cast<int>(received.size());
    FolderRef folder{.account = request.account, .folder = kFolderReceived};
    result.changedFolders.push_back(folder);
    m_observer.OnFolderChanged(operation.id, folder);
    finish(OperationOutcome::kDone, {});
}

// --- The steps every network operation takes per article -------------------------------------

// What an operation over articles does with each one: which articles it takes, the call it
// makes on the server and what the store keeps of a done call.
struct CArticleOperations::ArticleStep {
    ArticleOperationKind kind = ArticleOperationKind::kPublish;
    const char* oneText = ""; // the progress of a single article ("发布新文章...")
    const char* verb = "";    // of several: "正在" + verb + "第 n 篇日志"
    ArticleFolder target = ArticleFolder::kSent; // where a done article goes
    const char* failure = "";                    // the reason when the interface reported none
    // Why the article cannot take the step ("" when it can).
    std::function<std::string(const ArticleRecord&, const ArticlePlace&)> refusal;
    // The call; postId is the article's post afterwards.
    std::function<bool(CBloggerApi&, const ArticleRecord&, const ArticlePlace&,
                       std::string& postId)>
        send;
    // Keeps the done call in the store: "" or why it could not.
    std::function<std::string(CArticleDatabase&, int id, const std::string& postId)> keep;
};

namespace {

// Makes one call of the interface with the operation's cancel wired to its transfer; the
// outcome as the operations count it: done, cancelled when the call failed because the
// operation was cancelled, else failed with what the interface reported (or the fallback).
OperationOutcome SendAttached(CArticleOperations::Operation& operation, CBloggerApi& api,
                              CReasonRecorder& recorder, const char* fallback,
                              const std::function<bool()>& call, std::string& reason) {
    bool done;
    {
        CAttachedApi attached(operation, &api);
        done = call();
    }
    if (done)
        return OperationOutcome::kDone;
    if (operation.Cancelled()) {
        reason = kCancelledText;
        return OperationOutcome::kCancelled;
    }
    reason = recorder.TakeOr(fallback);
    return OperationOutcome::kFailed;
}

// Counts the end of one article (or account) into the operation's: the first failure gives
// the reason; one failure fails the whole, else one cancel makes it cancelled.
void Fold(OperationResult& result, OperationOutcome outcome, const std::string& reason) {
    if (outcome == OperationOutcome::kDone)
        return;
    if (result.reason.empty())
        result.reason = reason;
    if (outcome == OperationOutcome::kFailed)
        result.outcome = OperationOutcome::kFailed;
    else if (result.outcome == OperationOutcome::kDone)
        result.outcome = OperationOutcome::kCancelled;
}

// The folders of the account a done step changed: the one the article lay in and the one it
// went to (the same one once).
std::vector<FolderRef> StepFolders(const std::string& account, int from, ArticleFolder to) {
    std::vector<FolderRef> folders;
    AddFolder(folders, {.account = account, .folder = from});
    AddFolder(folders, {.account = account, .folder = FolderCode(to)});
    return folders;
}

// The interface objects of one operation: one per account, made when its first article comes.
// An account whose object cannot be made gives the same reason for each of its articles.
class CApiCache {
public:
    using Make = std::function<std::unique_ptr<CBloggerApi>(const std::string&, std::string&)>;
    explicit CApiCache(Make make) : m_make(std::move(make)) {}

    CBloggerApi* For(const std::string& account, std::string& reason) {
        auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const Entry& entry) { return entry.account == account; });
        if (found == m_entries.end()) {
            Entry entry{.account = account};
            entry.api = m_make(account, entry.reason);
            m_entries.push_back(std::move(entry));
            found = std::prev(m_entries.end());
        }
        reason = found->reason;
        return found->api.get();
    }

private:
    struct Entry {
        std::string account;
        std::unique_ptr<CBloggerApi> api;
        std::string reason;
    };
    Make m_make;
    std::vector<Entry> m_entries;
};

} // namespace

void CArticleOperations::RunArticles(Operation& operation, const std::vector<int>& ids,
                                     const ArticleStep& step) {
    OperationResult result{.operationId = operation.id, .kind = step.kind};
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    CArticleDatabase store(m_storePath);
    std::string storeReason;
    const bool storeOpen = OpenStore(store, storeReason);
    CApiCache apis([this](const std::string& account, std::string& reason) {
        return MakeApi(account, reason);
    });
    int n = 0;
    for (int id : ids) {
        ++n;
        m_observer.OnProgress({.operationId = operation.id,
                               .kind = step.kind,
                               .text = ids.size() == 1 ? std::string(step.oneText)
                                                       : std::string("正在") + step.verb + "第 " +
                                                             std::to_string(n) + " 篇日志"});
        ArticleResult article{.articleId = id};
        auto fail = [&](std::string reason) {
            article.outcome = OperationOutcome::kFailed;
            article.reason = std::move(reason);
        };
        ArticleRecord record;
        ArticlePlace place;
        StoreResult read;
        std::string refusal;
        CBloggerApi* api = nullptr;
        if (operation.Cancelled()) {
            article.outcome = OperationOutcome::kCancelled;
            article.reason = kCancelledText;
        } else if (!storeOpen) {
            fail(storeReason);
        } else if (!(read = store.GetArticle(id, record)) ||
                   !(read = store.GetArticlePlace(id, place))) {
            fail(read.reason);
        } else if (!(refusal = step.refusal ? step.refusal(record, place) : "").empty()) {
            fail(refusal);
        } else {
            if (result.account.empty())
                result.account = place.account;
            std::string reason;
            if (!(api = apis.For(place.account, reason)))
                fail(reason);
        }
        if (api) {
            std::string postId;
            article.outcome = SendAttached(
                operation, *api, recorder, step.failure,
                [&] { return step.send(*api, record, place, postId); }, article.reason);
            if (article.outcome == OperationOutcome::kDone) {
                article.postId = postId;
                if (std::string kept = step.keep(store, id, postId); !kept.empty()) {
                    fail(kept);
                } else {
                    for (const FolderRef& changed :
                         StepFolders(place.account, place.folder, step.target)) {
                        AddFolder(result.changedFolders, changed);
                        m_observer.OnFolderChanged(operation.id, changed);
                    }
                }
            }
        }
        recorder.Take();
        Fold(result, article.outcome, article.reason);
        result.articles.push_back(std::move(article));
    }
    m_observer.OnOperationDone(result);
}

// --- Publish -------------------------------------------------------------------------------

OperationStart CArticleOperations::StartPublish(const std::vector<int>& articleIds) {
    if (articleIds.empty())
        return {.refusal = "没有选择文章"};
    return Launch(ArticleOperationKind::kPublish, [this, articleIds](Operation& operation) {
        RunPublish(operation, articleIds, PublishFrom::kFolder, {});
    });
}

OperationStart CArticleOperations::StartPublishEdited(int articleId, const PostOptions& options) {
    return Launch(ArticleOperationKind::kPublish, [this, articleId, options](Operation& operation) {
        RunPublish(operation, {articleId}, PublishFrom::kEditor, options);
    });
}

void CArticleOperations::RunPublish(Operation& operation, const std::vector<int>& ids,
                                    PublishFrom from, const PostOptions& options) {
    // From a folder only drafts and deleted articles go out: the others are posts already, and
    // what the editor changed in them is published by the editor.
    const auto refusal = [from](const ArticleRecord&, const ArticlePlace& place) {
        const bool allowed =
            from == PublishFrom::kEditor || FolderActionsOf(ArticleFolderOf(place.folder)).publish;
        return std::string(allowed ? "" : kNotPublishableText);
    };
    const auto send = [&](CBloggerApi& api, const ArticleRecord& record, const ArticlePlace& place,
                          std::string& postId) {
        // An article of 垃圾箱 that has a post id was deleted on the server: it becomes a new
        // post. Elsewhere a post id means the post is edited.
        const bool edit = !record.guid.empty() && place.folder != kFolderTrash;
        PostRequest request = ArticleRequest(api, record);
        if (from == PublishFrom::kEditor)
            ApplyOptions(request, options);
        if (!edit) {
            request.postId.clear();
            return api.NewPost(request, postId) != 0;
        }
        postId = record.guid;
        int edited = 0;
        return api.EditPost(request, edited) != 0;
    };
    const auto keep = [](CArticleDatabase& store, int id, const std::string& postId) {
        const StoreResult moved = store.SetArticlePublished(id, kFolderSent, postId);
        if (moved)
            return std::string();
        return "已发布 (文章编号: " + postId + "), 但无法移到已发日志: " + moved.reason;
    };
    RunArticles(operation, ids,
                {.kind = ArticleOperationKind::kPublish,
                 .oneText = "发布新文章...",
                 .verb = "发布",
                 .target = ArticleFolder::kSent,
                 .failure = "发布失败",
                 .refusal = refusal,
                 .send = send,
                 .keep = keep});
}

// --- Publish to several accounts -----------------------------------------------------------

OperationStart
CArticleOperations::StartPublishToAccounts(int articleId,
                                           const std::vector<std::string>& accounts) {
    if (accounts.empty())
        return {.refusal = kNoAccountText};
    if (static_cast<int>(accounts.size()) > kMaxPublishAccounts)
        return {.refusal = kTooManyAccountsText};
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (accounts[i].empty())
            return {.refusal = "账户名称为空"};
        if (std::find(accounts.begin(), accounts.begin() + i, accounts[i]) != accounts.begin() + i)
            return {.refusal = "账户重复: " + accounts[i]};
    }
    return Launch(ArticleOperationKind::kPublishToAccounts,
                  [this, articleId, accounts](Operation& operation) {
                      RunPublishToAccounts(operation, articleId, accounts);
                  });
}

void CArticleOperations::RunPublishToAccounts(Operation& operation, int articleId,
                                              const std::vector<std::string>& accounts) {
    OperationResult result{.operationId = operation.id,
                           .kind = ArticleOperationKind::kPublishToAccounts};
    ArticleRecord article;
    ArticlePlace place;
    // One connection for the whole operation: the senders take turns with it (their writes
    // would wait for each other in the file anyway), and none spends the time of an open before
    // its call goes out.
    SharedStore shared{.store = CArticleDatabase(m_storePath)};
    // Why nothing is sent (nullopt: the article goes out).
    const std::optional<std::string> refusal = [&]() -> std::optional<std::string> {
        std::string reason;
        if (!OpenStore(shared.store, reason))
            return reason;
        StoreResult read;
        if (!(read = shared.store.GetArticle(articleId, article)) ||
            !(read = shared.store.GetArticlePlace(articleId, place)))
            return read.reason;
        // A post of the weblog is not sent again as a new one, to its account or others.
        if (!FolderActionsOf(ArticleFolderOf(place.folder)).publish)
            return kNotPublishableText;
        return std::nullopt;
    }();
    if (refusal) {
        result.outcome = OperationOutcome::kFailed;
        result.reason = *refusal;
        m_observer.OnOperationDone(result);
        return;
    }
    result.account = place.account;
    // The time of the copies in the other accounts' 已发日志.
    const std::string now = NowText();

    // Each account on a sender of its own, all at once, on a runner of this operation alone
    // (another publish never waits for these threads, nor this one for its); each result goes
    // out as soon as it is known. A sender waits for nothing but its server, and a cancel aborts
    // that, so this wait for them always ends.
    result.accounts.resize(accounts.size());
    {
        CJobRunner senders(static_cast<int>(accounts.size()));
        for (size_t i = 0; i < accounts.size(); ++i) {
            senders.Submit([&, i](const CCancelToken&) {
                result.accounts[i] =
                    PublishToAccount(operation, shared, article, place, accounts[i], now);
                m_observer.OnAccountPublished(operation.id, result.accounts[i]);
            });
        }
        senders.Wait();
    }

    for (const AccountPublishResult& one : result.accounts) {
        if (one.Ok()) {
            for (const FolderRef& changed :
                 StepFolders(one.account, one.account == place.account ? place.folder : kFolderSent,
                             ArticleFolder::kSent))
                AddFolder(result.changedFolders, changed);
        }
        Fold(result, one.outcome, one.account + ": " + one.reason);
    }
    m_observer.OnOperationDone(result);
}

AccountPublishResult CArticleOperations::PublishToAccount(Operation& operation, SharedStore& shared,
                                                          const ArticleRecord& article,
                                                          const ArticlePlace& place,
                                                          const std::string& account,
                                                          const std::string& nowText) {
    AccountPublishResult result{.account = account};
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    auto progress = [&](const char* text) {
        m_observer.OnProgress({.operationId = operation.id,
                               .kind = ArticleOperationKind::kPublishToAccounts,
                               .account = account,
                               .text = text});
    };
    auto end = [&](OperationOutcome outcome, std::string reason) {
        result.outcome = outcome;
        result.reason = std::move(reason);
        if (outcome != OperationOutcome::kDone)
            progress("发送失败!");
        return result;
    };
    progress("▉发送中");
    if (operation.Cancelled())
        return end(OperationOutcome::kCancelled, kCancelledText);
    std::string reason;
    std::unique_ptr<CBloggerApi> api = MakeApi(account, reason);
    if (!api)
        return end(OperationOutcome::kFailed, reason);
    progress("▉▉发送中");
    progress("▉▉▉发送中");

    // Always a new post: on another weblog the article's post id means nothing.
    PostRequest request = ArticleRequest(*api, article);
    request.postId.clear();
    std::string postId;
    const OperationOutcome sent = SendAttached(
        operation, *api, recorder, "发布失败", [&] { return api->NewPost(request, postId) != 0; },
        reason);
    if (sent != OperationOutcome::kDone)
        return end(sent, reason);
    result.postId = postId;
    progress("▉▉▉▉发送中");
    std::unique_lock storeTurn(shared.lock);
    CArticleDatabase& store = shared.store;
    StoreResult stored;
    if (account == place.account) {
        stored = store.SetArticlePublished(article.id, kFolderSent, postId);
        result.articleId = article.id;
    } else {
        ArticleRecord copy{.title = article.title,
                           .content = article.content,
                           .pubDate = nowText,
                           .category = article.category,
                           .guid = postId,
                           .tags = article.tags};
        stored = store.InsertPublishedArticle(kFolderSent, account, copy);
        if (stored)
            result.articleId = static_cast<int>(store.GetLastInsertId());
    }
    if (!stored) {
        result.articleId = 0;
        return end(OperationOutcome::kFailed,
                   "已发布 (文章编号: " + postId + "), 但无法存入已发日志: " + stored.reason);
    }
    storeTurn.unlock();
    for (const FolderRef& changed : StepFolders(
             account, account == place.account ? place.folder : kFolderSent, ArticleFolder::kSent))
        m_observer.OnFolderChanged(operation.id, changed);
    progress("▉▉▉▉▉");
    return end(OperationOutcome::kDone, {});
}

// --- Delete on the server ------------------------------------------------------------------

OperationStart CArticleOperations::StartDeleteOnServer(const std::vector<int>& articleIds) {
    if (articleIds.empty())
        return {.refusal = "没有选择文章"};
    return Launch(ArticleOperationKind::kDeleteOnServer, [this, articleIds](Operation& operation) {
        RunDeleteOnServer(operation, articleIds);
    });
}

void CArticleOperations::RunDeleteOnServer(Operation& operation, const std::vector<int>& ids) {
    const auto refusal = [](const ArticleRecord& record, const ArticlePlace& place) {
        const bool onServer =
            FolderActionsOf(ArticleFolderOf(place.folder)).deleteOnServer && !record.guid.empty();
        return std::string(onServer ? "" : kNotOnServerText);
    };
    const auto send = [](CBloggerApi& api, const ArticleRecord& record, const ArticlePlace&,
                         std::string& postId) {
        PostRequest request = api.MakeRequest();
        request.postId = record.guid;
        postId = record.guid;
        return api.DeletePost(request) != 0;
    };
    const auto keep = [](CArticleDatabase& store, int id, const std::string&) {
        const StoreResult moved = store.SetArticleFolder(id, kFolderTrash);
        if (moved)
            return std::string();
        return "已从服务器删除, 但无法移到垃圾箱: " + moved.reason;
    };
    RunArticles(operation, ids,
                {.kind = ArticleOperationKind::kDeleteOnServer,
                 .oneText = "正在删除文章...",
                 .verb = "删除",
                 .target = ArticleFolder::kTrash,
                 .failure = "删除失败",
                 .refusal = refusal,
                 .send = send,
                 .keep = keep});
}

// --- Local operations ------------------------------------------------------------------------

bool CArticleOperations::CountFolders(const std::string& account, FolderCounts& counts,
                                      std::string& reason) {
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return false;
    FolderCounts found;
    for (int folder = kFolderReceived; folder <= kFolderTrash; ++folder) {
        if (StoreResult counted = store.CountArticles(folder, account, found.counts[folder]);
            !counted) {
            reason = counted.reason;
            return false;
        }
    }
    counts = found;
    return true;
}

bool CArticleOperations::GetArticles(const FolderRef& folder, int offset, int count,
                                     std::vector<ArticleRecord>& list, std::string& reason) {
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return false;
    if (StoreResult read = store.GetArticlePage(folder.folder, folder.account, list, count, offset);
        !read) {
        reason = read.reason;
        return false;
    }
    return true;
}

bool CArticleOperations::GetArticle(int id, ArticleRecord& article, ArticlePlace& place,
                                    std::string& reason) {
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return false;
    StoreResult read;
    if (!(read = store.GetArticle(id, article)) || !(read = store.GetArticlePlace(id, place))) {
        reason = read.reason;
        return false;
    }
    return true;
}

LocalOutcome CArticleOperations::DeleteLocal(const std::vector<int>& articleIds) {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
        return outcome;
    }
    for (int id : articleIds) {
        ArticlePlace place;
        StoreResult done = store.GetArticlePlace(id, place);
        if (done) {
            done = FolderActionsOf(ArticleFolderOf(place.folder)).deleteForGood
                       ? store.DeleteArticle(id)
                       : store.SetArticleFolder(id, kFolderTrash);
        }
        if (!done) {
            outcome.ok = false;
            outcome.reason = done.reason;
            break;
        }
        ++outcome.affected;
        AddFolder(outcome.changedFolders, {.account = place.account, .folder = place.folder});
        AddFolder(outcome.changedFolders, {.account = place.account, .folder = kFolderTrash});
    }
    return outcome;
}

LocalOutcome CArticleOperations::Copy(const std::vector<int>& articleIds, const FolderRef& to) {
    return CopyOrMove(articleIds, to, Transfer::kCopy);
}

LocalOutcome CArticleOperations::Move(const std::vector<int>& articleIds, const FolderRef& to) {
    return CopyOrMove(articleIds, to, Transfer::kMove);
}

LocalOutcome CArticleOperations::CopyOrMove(const std::vector<int>& articleIds, const FolderRef& to,
                                            Transfer transfer) {
    LocalOutcome outcome;
    auto refuse = [&](std::string reason) {
        outcome.ok = false;
        outcome.reason = std::move(reason);
        return outcome;
    };
    if (to.folder < kFolderReceived || to.folder > kFolderTrash)
        return refuse(kBadFolderText);
    std::string reason;
    if (!AccountExists(m_context, to.account, reason))
        return refuse(reason);
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return refuse(reason);
    std::vector<ArticlePlace> places;
    for (int id : articleIds) {
        ArticlePlace place;
        if (StoreResult found = store.GetArticlePlace(id, place); !found)
            return refuse(found.reason);
        // Checked for all before any moves: a refused move leaves every article where it was.
        if (transfer == Transfer::kMove && !FolderActionsOf(ArticleFolderOf(place.folder)).moveAway)
            return refuse(kNotMovableText);
        places.push_back(std::move(place));
    }
    for (size_t i = 0; i < articleIds.size(); ++i) {
        const int id = articleIds[i];
        const ArticlePlace& place = places[i];
        if (transfer == Transfer::kCopy) {
            if (StoreResult copied = store.CopyArticle(id, to.folder, to.account); !copied)
                return refuse(copied.reason);
            outcome.newIds.push_back(static_cast<int>(store.GetLastInsertId()));
        } else {
            if (StoreResult moved = store.MoveArticle(id, to.folder, to.account); !moved)
                return refuse(moved.reason);
            AddFolder(outcome.changedFolders, {.account = place.account, .folder = place.folder});
        }
        ++outcome.affected;
        AddFolder(outcome.changedFolders, to);
    }
    return outcome;
}

LocalOutcome CArticleOperations::ClearFolder(const FolderRef& folder) {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    int count = 0;
    StoreResult done;
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!(done = store.CountArticles(folder.folder, folder.account, count)) ||
               !(done = store.DeleteFolderArticles(folder.folder, folder.account))) {
        outcome.ok = false;
        outcome.reason = done.reason;
    } else {
        outcome.affected = count;
        outcome.changedFolders.push_back(folder);
    }
    return outcome;
}

LocalOutcome CArticleOperations::NewDraft(const std::string& account,
                                          const ArticleRecord& article) {
    LocalOutcome outcome;
    std::string reason;
    if (!AccountExists(m_context, account, reason))
        return {.ok = false, .reason = reason};
    CArticleDatabase store(m_storePath);
    ArticleRecord draft = article;
    if (draft.pubDate.empty())
        draft.pubDate = NowText();
    StoreResult inserted;
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!(inserted = store.InsertArticle(kFolderDrafts, account, draft))) {
        outcome.ok = false;
        outcome.reason = inserted.reason;
    } else {
        outcome.affected = 1;
        outcome.newIds.push_back(static_cast<int>(store.GetLastInsertId()));
        outcome.changedFolders.push_back({.account = account, .folder = kFolderDrafts});
    }
    return outcome;
}

LocalOutcome CArticleOperations::SaveArticle(int id, const ArticleRecord& article) {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    ArticlePlace place;
    StoreResult saved;
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!(saved = store.GetArticlePlace(id, place)) ||
               !(saved = store.UpdateArticle(id, article))) {
        outcome.ok = false;
        outcome.reason = saved.reason;
    } else {
        outcome.affected = 1;
        outcome.changedFolders.push_back({.account = place.account, .folder = place.folder});
    }
    return outcome;
}

LocalOutcome CArticleOperations::Compact() {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    StoreResult compacted;
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!(compacted = store.CompactDatabase())) {
        outcome.ok = false;
        outcome.reason = compacted.reason;
    }
    return outcome;
}
