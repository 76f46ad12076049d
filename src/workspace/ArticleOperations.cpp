#include "workspace/ArticleOperations.h"

#include "app/AccountStore.h"
#include "app/AppPaths.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/BloggerApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "reader/FeedDate.h"
#include "workspace/FolderActions.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <ctime>
#include <iterator>

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

bool AccountExists(const std::string& name, std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::vector<AccountRecord> accounts;
    if (!CAccountStore::ListAccounts(accounts)) {
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

CArticleOperations::CArticleOperations(CArticleObserver& observer, std::string storePath)
    : m_observer(observer),
      m_storePath(storePath.empty() ? GetAppFilePath("Storage\\blog.db") : std::move(storePath)),
      m_apiFactory(&CBlogApiFactory::CreateForAccount) {}

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
    if (store.OpenStore())
        return true;
    reason = store.GetLastError();
    return false;
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
    if (!store.ReplaceReceivedArticles(kFolderReceived, request.account, received))
        return finish(OperationOutcome::kFailed, store.GetLastError());
    result.fetched = static_cast<int>(received.size());
    FolderRef folder{.account = request.account, .folder = kFolderReceived};
    result.changedFolders.push_back(folder);
    m_observer.OnFolderChanged(operation.id, folder);
    finish(OperationOutcome::kDone, {});
}

// --- Publish -------------------------------------------------------------------------------

OperationStart CArticleOperations::StartPublish(const std::vector<int>& articleIds,
                                                std::map<int, PostOptions> options) {
    if (articleIds.empty())
        return {.refusal = "没有选择文章"};
    return Launch(ArticleOperationKind::kPublish,
                  [this, articleIds, options = std::move(options)](Operation& operation) {
                      RunPublish(operation, articleIds, options);
                  });
}

void CArticleOperations::RunPublish(Operation& operation, const std::vector<int>& ids,
                                    const std::map<int, PostOptions>& options) {
    OperationResult result{.operationId = operation.id, .kind = ArticleOperationKind::kPublish};
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    CArticleDatabase store(m_storePath);
    std::string storeReason;
    bool storeOpen = OpenStore(store, storeReason);

    // One interface object per account, made when its first article comes.
    std::vector<std::pair<std::string, std::unique_ptr<CBloggerApi>>> apis;
    int n = 0;
    for (int id : ids) {
        ++n;
        ArticleResult article{.articleId = id};
        auto fail = [&](OperationOutcome outcome, std::string reason) {
            article.outcome = outcome;
            article.reason = std::move(reason);
        };
        ArticleRecord record;
        ArticlePlace place;
        m_observer.OnProgress({.operationId = operation.id,
                               .kind = ArticleOperationKind::kPublish,
                               .text = ids.size() == 1
                                           ? std::string("发布新文章...")
                                           : "正在发布第 " + std::to_string(n) + " 篇日志"});
        if (operation.Cancelled()) {
            fail(OperationOutcome::kCancelled, kCancelledText);
        } else if (!storeOpen) {
            fail(OperationOutcome::kFailed, storeReason);
        } else if (!store.GetArticle(id, record) || !store.GetArticlePlace(id, place)) {
            fail(OperationOutcome::kFailed, store.GetLastError());
        } else {
            if (result.account.empty())
                result.account = place.account;
            auto found = std::find_if(apis.begin(), apis.end(), [&](const auto& entry) {
                return entry.first == place.account;
            });
            if (found == apis.end()) {
                std::string reason;
                apis.emplace_back(place.account, MakeApi(place.account, reason));
                found = std::prev(apis.end());
                if (!found->second)
                    fail(OperationOutcome::kFailed, reason);
            }
            CBloggerApi* api = found->second.get();
            if (api) {
                // An article of 垃圾箱 that has a post id was deleted on the server: it
                // becomes a new post. Elsewhere a post id means the post is edited.
                const bool edit = !record.guid.empty() && place.folder != kFolderTrash;
                PostRequest request = ArticleRequest(*api, record);
                if (auto found = options.find(id); found != options.end())
                    ApplyOptions(request, found->second);
                if (!edit)
                    request.postId.clear();
                bool sent;
                std::string postId = edit ? record.guid : std::string();
                {
                    CAttachedApi attached(operation, api);
                    if (!edit) {
                        sent = api->NewPost(request, postId) != 0;
                    } else {
                        int edited = 0;
                        sent = api->EditPost(request, edited) != 0;
                    }
                }
                if (operation.Cancelled() && !sent) {
                    fail(OperationOutcome::kCancelled, kCancelledText);
                } else if (!sent) {
                    fail(OperationOutcome::kFailed, recorder.TakeOr("发布失败"));
                } else if (!store.SetArticlePublished(id, kFolderSent, postId)) {
                    article.postId = postId;
                    fail(OperationOutcome::kFailed,
                         "已发布 (文章编号: " + postId +
                             "), 但无法移到已发日志: " + store.GetLastError());
                } else {
                    article.postId = postId;
                    for (int folder : {place.folder, kFolderSent}) {
                        FolderRef changed{.account = place.account, .folder = folder};
                        if (std::find(result.changedFolders.begin(), result.changedFolders.end(),
                                      changed) == result.changedFolders.end()) {
                            result.changedFolders.push_back(changed);
                        }
                        m_observer.OnFolderChanged(operation.id, changed);
                    }
                }
            }
        }
        recorder.Take();
        if (article.outcome != OperationOutcome::kDone && result.reason.empty())
            result.reason = article.reason;
        if (article.outcome == OperationOutcome::kCancelled &&
            result.outcome == OperationOutcome::kDone)
            result.outcome = OperationOutcome::kCancelled;
        if (article.outcome == OperationOutcome::kFailed)
            result.outcome = OperationOutcome::kFailed;
        result.articles.push_back(std::move(article));
    }
    m_observer.OnOperationDone(result);
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
    {
        CArticleDatabase& store = shared.store;
        std::string reason;
        if (!OpenStore(store, reason) || !store.GetArticle(articleId, article) ||
            !store.GetArticlePlace(articleId, place)) {
            result.outcome = OperationOutcome::kFailed;
            result.reason = reason.empty() ? store.GetLastError() : reason;
            for (const std::string& account : accounts) {
                result.accounts.push_back({.account = account,
                                           .outcome = OperationOutcome::kFailed,
                                           .reason = result.reason});
            }
            m_observer.OnOperationDone(result);
            return;
        }
    }
    result.account = place.account;
    // The time of the copies in the other accounts' 已发日志.
    const std::string now = NowText();

    // Each account on its own thread, all at once; each result goes out as soon as it is known.
    result.accounts.resize(accounts.size());
    std::vector<std::thread> senders;
    for (size_t i = 0; i < accounts.size(); ++i) {
        senders.emplace_back([&, i] {
            result.accounts[i] =
                PublishToAccount(operation, shared, article, place, accounts[i], now);
            m_observer.OnAccountPublished(operation.id, result.accounts[i]);
        });
    }
    for (std::thread& sender : senders)
        sender.join();

    for (const AccountPublishResult& one : result.accounts) {
        if (one.Ok()) {
            AddFolder(result.changedFolders, {.account = one.account, .folder = kFolderSent});
            if (one.account == place.account)
                AddFolder(result.changedFolders,
                          {.account = place.account, .folder = place.folder});
        } else {
            if (result.reason.empty())
                result.reason = one.account + ": " + one.reason;
            if (one.outcome == OperationOutcome::kFailed)
                result.outcome = OperationOutcome::kFailed;
            else if (result.outcome == OperationOutcome::kDone)
                result.outcome = OperationOutcome::kCancelled;
        }
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
    auto fail = [&](OperationOutcome outcome, std::string reason) {
        result.outcome = outcome;
        result.reason = std::move(reason);
        progress("发送失败!");
        return result;
    };
    progress("▉发送中");
    if (operation.Cancelled())
        return fail(OperationOutcome::kCancelled, kCancelledText);
    std::string reason;
    std::unique_ptr<CBloggerApi> api = MakeApi(account, reason);
    if (!api)
        return fail(OperationOutcome::kFailed, reason);
    progress("▉▉发送中");
    progress("▉▉▉发送中");

    // Always a new post: on another weblog the article's post id means nothing.
    PostRequest request = ArticleRequest(*api, article);
    request.postId.clear();
    std::string postId;
    bool sent;
    {
        CAttachedApi attached(operation, api.get());
        sent = api->NewPost(request, postId) != 0;
    }
    if (!sent) {
        if (operation.Cancelled())
            return fail(OperationOutcome::kCancelled, kCancelledText);
        return fail(OperationOutcome::kFailed, recorder.TakeOr("发布失败"));
    }
    result.postId = postId;
    progress("▉▉▉▉发送中");
    std::unique_lock storeTurn(shared.lock);
    CArticleDatabase& store = shared.store;
    bool stored;
    if (account == place.account) {
        stored = store.SetArticlePublished(article.id, kFolderSent, postId) != 0;
        result.articleId = article.id;
    } else {
        ArticleRecord copy{.title = article.title,
                           .content = article.content,
                           .pubDate = nowText,
                           .category = article.category,
                           .guid = postId,
                           .tags = article.tags};
        stored = store.InsertPublishedArticle(kFolderSent, account, copy) != 0;
        if (stored)
            result.articleId = static_cast<int>(store.GetLastInsertId());
    }
    if (!stored) {
        result.articleId = 0;
        return fail(OperationOutcome::kFailed,
                    "已发布 (文章编号: " + postId +
                        "), 但无法存入已发日志: " + store.GetLastError());
    }
    storeTurn.unlock();
    if (account == place.account && place.folder != kFolderSent)
        m_observer.OnFolderChanged(operation.id, {.account = account, .folder = place.folder});
    m_observer.OnFolderChanged(operation.id, {.account = account, .folder = kFolderSent});
    progress("▉▉▉▉▉");
    return result;
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
    OperationResult result{.operationId = operation.id,
                           .kind = ArticleOperationKind::kDeleteOnServer};
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    CArticleDatabase store(m_storePath);
    std::string storeReason;
    bool storeOpen = OpenStore(store, storeReason);
    std::vector<std::pair<std::string, std::unique_ptr<CBloggerApi>>> apis;
    int n = 0;
    for (int id : ids) {
        ++n;
        ArticleResult article{.articleId = id};
        auto fail = [&](OperationOutcome outcome, std::string reason) {
            article.outcome = outcome;
            article.reason = std::move(reason);
        };
        m_observer.OnProgress({.operationId = operation.id,
                               .kind = ArticleOperationKind::kDeleteOnServer,
                               .text = ids.size() == 1
                                           ? std::string("正在删除文章...")
                                           : "正在删除第 " + std::to_string(n) + " 篇日志"});
        ArticleRecord record;
        ArticlePlace place;
        if (operation.Cancelled()) {
            fail(OperationOutcome::kCancelled, kCancelledText);
        } else if (!storeOpen) {
            fail(OperationOutcome::kFailed, storeReason);
        } else if (!store.GetArticle(id, record) || !store.GetArticlePlace(id, place)) {
            fail(OperationOutcome::kFailed, store.GetLastError());
        } else if ((place.folder != kFolderReceived && place.folder != kFolderSent) ||
                   record.guid.empty()) {
            fail(OperationOutcome::kFailed, kNotOnServerText);
        } else {
            if (result.account.empty())
                result.account = place.account;
            auto found = std::find_if(apis.begin(), apis.end(), [&](const auto& entry) {
                return entry.first == place.account;
            });
            if (found == apis.end()) {
                std::string reason;
                apis.emplace_back(place.account, MakeApi(place.account, reason));
                found = std::prev(apis.end());
                if (!found->second)
                    fail(OperationOutcome::kFailed, reason);
            }
            if (CBloggerApi* api = found->second.get()) {
                PostRequest request = api->MakeRequest();
                request.postId = record.guid;
                bool deleted;
                {
                    CAttachedApi attached(operation, api);
                    deleted = api->DeletePost(request) != 0;
                }
                if (!deleted && operation.Cancelled()) {
                    fail(OperationOutcome::kCancelled, kCancelledText);
                } else if (!deleted) {
                    fail(OperationOutcome::kFailed, recorder.TakeOr("删除失败"));
                } else if (!store.SetArticleFolder(id, kFolderTrash)) {
                    fail(OperationOutcome::kFailed,
                         "已从服务器删除, 但无法移到垃圾箱: " + store.GetLastError());
                } else {
                    article.postId = record.guid;
                    for (int folder : {place.folder, kFolderTrash}) {
                        FolderRef changed{.account = place.account, .folder = folder};
                        AddFolder(result.changedFolders, changed);
                        m_observer.OnFolderChanged(operation.id, changed);
                    }
                }
            }
        }
        recorder.Take();
        if (article.outcome != OperationOutcome::kDone && result.reason.empty())
            result.reason = article.reason;
        if (article.outcome == OperationOutcome::kFailed)
            result.outcome = OperationOutcome::kFailed;
        else if (article.outcome == OperationOutcome::kCancelled &&
                 result.outcome == OperationOutcome::kDone)
            result.outcome = OperationOutcome::kCancelled;
        result.articles.push_back(std::move(article));
    }
    m_observer.OnOperationDone(result);
}

// --- Local operations ------------------------------------------------------------------------

bool CArticleOperations::CountFolders(const std::string& account, FolderCounts& counts,
                                      std::string& reason) {
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return false;
    FolderCounts found;
    for (int folder = kFolderReceived; folder <= kFolderTrash; ++folder) {
        if (!store.CountArticles(folder, account, found.counts[folder])) {
            reason = store.GetLastError();
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
    if (!store.GetArticlePage(folder.folder, folder.account, list, count, offset)) {
        reason = store.GetLastError();
        return false;
    }
    return true;
}

bool CArticleOperations::GetArticle(int id, ArticleRecord& article, ArticlePlace& place,
                                    std::string& reason) {
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return false;
    if (!store.GetArticle(id, article) || !store.GetArticlePlace(id, place)) {
        reason = store.GetLastError();
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
        bool done = store.GetArticlePlace(id, place) &&
                    (FolderActionsOf(ArticleFolderOf(place.folder)).deleteForGood
                         ? store.DeleteArticle(id)
                         : store.SetArticleFolder(id, kFolderTrash));
        if (!done) {
            outcome.ok = false;
            outcome.reason = store.GetLastError();
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
    if (!AccountExists(to.account, reason))
        return refuse(reason);
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, reason))
        return refuse(reason);
    for (int id : articleIds) {
        ArticlePlace place;
        if (!store.GetArticlePlace(id, place))
            return refuse(store.GetLastError());
        if (transfer == Transfer::kCopy) {
            if (!store.CopyArticle(id, to.folder, to.account))
                return refuse(store.GetLastError());
            outcome.newIds.push_back(static_cast<int>(store.GetLastInsertId()));
        } else {
            if (!store.MoveArticle(id, to.folder, to.account))
                return refuse(store.GetLastError());
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
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!store.CountArticles(folder.folder, folder.account, count) ||
               !store.DeleteFolderArticles(folder.folder, folder.account)) {
        outcome.ok = false;
        outcome.reason = store.GetLastError();
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
    if (!AccountExists(account, reason))
        return {.ok = false, .reason = reason};
    CArticleDatabase store(m_storePath);
    ArticleRecord draft = article;
    if (draft.pubDate.empty())
        draft.pubDate = NowText();
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!store.InsertArticle(kFolderDrafts, account, draft)) {
        outcome.ok = false;
    std::vector<ArticlePlace> places;
        outcome.reason = store.GetLastError();
    } else {
        outcome.affected = 1;
        outcome.newIds.push_back(static_cast<int>(store.GetLastInsertId()));
        // Checked for all before any moves: a refused move leaves every article where it was.
        if (transfer == Transfer::kMove && !FolderActionsOf(ArticleFolderOf(place.folder)).moveAway)
            return refuse(kNotMovableText);
        places.push_back(std::move(place));
    }
    for (size_t i = 0; i < articleIds.size(); ++i) {
        const int id = articleIds[i];
        const ArticlePlace& place = places[i];
        outcome.changedFolders.push_back({.account = account, .folder = kFolderDrafts});
    }
    return outcome;
}

LocalOutcome CArticleOperations::SaveArticle(int id, const ArticleRecord& article) {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    ArticlePlace place;
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!store.GetArticlePlace(id, place) || !store.UpdateArticle(id, article)) {
        outcome.ok = false;
        outcome.reason = store.GetLastError();
    } else {
        outcome.affected = 1;
        outcome.changedFolders.push_back({.account = place.account, .folder = place.folder});
    }
    return outcome;
}

LocalOutcome CArticleOperations::Compact() {
    LocalOutcome outcome;
    CArticleDatabase store(m_storePath);
    if (!OpenStore(store, outcome.reason)) {
        outcome.ok = false;
    } else if (!store.CompactDatabase()) {
        outcome.ok = false;
        outcome.reason = store.GetLastError();
    }
    return outcome;
}
