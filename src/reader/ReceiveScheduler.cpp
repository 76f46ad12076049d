#include "reader/ReceiveScheduler.h"

#include "platform/text/AsciiText.h"
#include "platform/text/ReasonText.h"

#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "reader/FeedParser.h"
#include "reader/FeedRules.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "storage/FeedMerge.h"
#include "storage/FeedSearchIndex.h"

#include <algorithm>
#include <chrono>
#include <deque>

int CReceiveScheduler::WeightOfLevel(int level) {
    static constexpr int kWeights[] = {10, 20, 30, 60, 120};
    return kWeights[std::clamp(level, 1, 5) - 1];
}

CReceiveScheduler::CReceiveScheduler(const CAppContext& context, CChannelTree& tree,
                                     CReceiveObserver& observer)
    : m_context(context), m_tree(tree), m_observer(observer),
      m_storePath(CFeedDatabase::PathOf(context)), m_rulesPath(CFeedRules::DefaultPath(context)) {
    // Settings the tree could not read were reported once already; the environment's proxy
    // settings stand in for them.
    if (m_tree.Options().settingsUnreadable)
        return;
    m_proxy = CProxySetup::Read(m_context, ProxyFallback::kEnvironment);
}

void CReceiveScheduler::Configure(CFeedFetcher& fetcher, const CCancelToken& stop) {
    fetcher.SetProxy(m_proxy);
    fetcher.SetLimits(m_limits);
    // The round's token: the user's stop and Shutdown both raise it.
    fetcher.SetCancelToken(&stop);
}

std::string ReceiveProgress::Text() const {
    std::string text;
    if (running)
        text = "正在收取 " + std::to_string(done) + "/" + std::to_string(total);
    else if (stopped)
        text = "已停止收取: " + std::to_string(done) + "/" + std::to_string(total) + " 个频道";
    else
        text = "收取完成: " + std::to_string(done) + " 个频道";
    text += " · " + std::to_string(newItems) + " 个新条目";
    if (failed > 0)
        text += " · " + std::to_string(failed) + " 个失败";
    return text;
}

CReceiveScheduler::StopToken CReceiveScheduler::JoinRound(int channels) {
    std::lock_guard lock(m_roundLock);
    if (m_round.receives++ == 0)
        m_round.progress = {};
    // A receive asked for after a stop runs: the round goes on.
    m_round.progress.stopped = false;
    m_round.progress.total += channels;
    if (m_round.progress.total > 0)
        m_observer.OnProgress(m_round.progress);
    return m_round.stop;
}

void CReceiveScheduler::AddToRound(int channels) {
    std::lock_guard lock(m_roundLock);
    m_round.progress.total += channels;
    if (channels != 0 && m_round.progress.total > 0)
        m_observer.OnProgress(m_round.progress);
}

void CReceiveScheduler::CountInRound(const ChannelReceiveResult& result) {
    std::lock_guard lock(m_roundLock);
    ReceiveProgress& progress = m_round.progress;
    if (result.outcome == ChannelReceiveResult::Outcome::kStopped)
        return;
    ++progress.done;
    progress.newItems += result.newItems;
    if (result.Failed())
        ++progress.failed;
    m_observer.OnProgress(progress);
}

void CReceiveScheduler::NoteNewItems(const NewItemsNote& note) {
    std::lock_guard lock(m_roundLock);
    m_round.announce.push_back(note);
}

void CReceiveScheduler::LeaveRound() {
    std::lock_guard lock(m_roundLock);
    if (--m_round.receives > 0)
        return;
    Round ended = std::exchange(m_round, Round{});
    // After Shutdown the next round is stopped before it starts.
    if (m_cancel.IsCancelled())
        m_round.stop->Cancel();
    ended.progress.running = false;
    if (ended.progress.total > 0 && !Stopped())
        m_observer.OnRoundEnd(ended.progress, ended.announce);
}

void CReceiveScheduler::StopRound() {
    std::lock_guard lock(m_roundLock);
    if (m_round.receives == 0)
        return;
    m_round.stop->Cancel();
    m_round.stop = std::make_shared<CCancelToken>();
    m_round.progress.stopped = true;
    m_observer.OnProgress(m_round.progress);
}

CReceiveScheduler::~CReceiveScheduler() {
    Shutdown();
}

void CReceiveScheduler::SetConcurrency(int fetchesAtOnce) {
    m_concurrency = std::max(fetchesAtOnce, 1);
}

bool CReceiveScheduler::Stopped() const {
    return g_bAppExiting.load() != 0 || m_cancel.IsCancelled();
}

bool CReceiveScheduler::Start(std::function<void()> work) {
    if (m_cancel.IsCancelled())
        return false;
    return m_runner.Submit([work = std::move(work)](const CCancelToken&) { work(); });
}

int CReceiveScheduler::WorkerCount() const {
    return m_runner.ThreadCount();
}

void CReceiveScheduler::Wait() {
    m_runner.Wait();
}

void CReceiveScheduler::Shutdown() {
    m_cancel.Cancel();
    {
        std::lock_guard lock(m_roundLock);
        m_round.stop->Cancel();
    }
    m_runner.Shutdown();
}

namespace {

// A host that asks for a wait of up to this long is waited for within a walk; a longer wait
// fails the host's channels of the walk with the reason.
constexpr auto kLongestWaitInWalk = std::chrono::seconds(30);
// How often a fetcher waiting for a host looks again (slots of other walks free silently).
constexpr auto kHostPoll = std::chrono::milliseconds(100);
// Receives in a row that must agree on a permanent move before the address is changed.
constexpr int kMovesToAgree = 3;

} // namespace

std::string CReceiveScheduler::HostKeyOf(const std::string& url) {
    return AsciiLower(CFeedFetcher::HostOf(url));
}

CReceiveScheduler::HostTurn
CReceiveScheduler::TakeHost(const std::string& host, std::chrono::steady_clock::time_point& wakeAt,
                            std::string& refusal) {
    std::lock_guard lock(m_lock);
    return TakeHostLocked(host, wakeAt, refusal);
}

CReceiveScheduler::HostTurn CReceiveScheduler::TakeHostLocked(
    const std::string& host, std::chrono::steady_clock::time_point& wakeAt, std::string& refusal) {
    const auto now = std::chrono::steady_clock::now();
    if (auto wait = m_hostWaitUntil.find(host); wait != m_hostWaitUntil.end()) {
        if (wait->second <= now) {
            m_hostWaitUntil.erase(wait);
        } else if (wait->second - now > kLongestWaitInWalk) {
            const auto seconds =
                std::chrono::ceil<std::chrono::seconds>(wait->second - now).count();
            refusal = CReasonText::Text(Reason::kHostAsksToWait, {host, std::to_string(seconds)});
            return HostTurn::kRefuse;
        } else {
            wakeAt = std::min(wakeAt, wait->second);
            return HostTurn::kBusy;
        }
    }
    int& fetches = m_hostFetches[host];
    if (fetches >= m_hostLimit)
        return HostTurn::kBusy;
    ++fetches;
    return HostTurn::kGo;
}

CReceiveScheduler::HostTurn CReceiveScheduler::AwaitHost(const std::string& host,
                                                         const CCancelToken& stop,
                                                         std::string& refusal) {
    std::unique_lock lock(m_lock);
    while (!Stopped(stop)) {
        auto wakeAt = std::chrono::steady_clock::now() + kHostPoll;
        const HostTurn turn = TakeHostLocked(host, wakeAt, refusal);
        if (turn != HostTurn::kBusy)
            return turn;
        m_hostFreed.wait_until(lock, wakeAt);
    }
    return HostTurn::kBusy;
}

void CReceiveScheduler::UpdateHostLimit() {
    const int limit =
        m_fetchesPerHost > 0 ? m_fetchesPerHost : std::max(m_tree.Options().fetchesPerHost, 1);
    std::lock_guard lock(m_lock);
    m_hostLimit = limit;
}

void CReceiveScheduler::ReleaseHost(const std::string& host) {
    {
        std::lock_guard lock(m_lock);
        if (auto it = m_hostFetches.find(host); it != m_hostFetches.end() && --it->second <= 0)
            m_hostFetches.erase(it);
    }
    m_hostFreed.notify_all();
}

void CReceiveScheduler::NoteRetryAfter(const std::string& host, long seconds) {
    if (seconds <= 0)
        return;
    std::lock_guard lock(m_lock);
    auto& until = m_hostWaitUntil[host];
    until = std::max(until, std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
}

void CReceiveScheduler::NoteStanding(Job& job, CFeedDatabase& store) {
    FeedStanding standing;
    if (!store.GetFeedStanding(job.feedId, standing))
        return; // the merge that follows meets the same store and says why
    FeedStanding now = standing;
    if (job.outcome.status == 410) {
        now.gone = true;
        job.outcome.reason = CReasonText::Text(Reason::kFeedGoneForGood);
    } else if (job.outcome.ok) {
        now.gone = false;
        if (job.outcome.movedTo.empty()) {
            now.movedTo.clear();
            now.movedCount = 0;
        } else if (job.outcome.movedTo == standing.movedTo) {
            ++now.movedCount;
        } else {
            now.movedTo = job.outcome.movedTo;
            now.movedCount = 1;
        }
    }
    if (now.gone != standing.gone || now.movedTo != standing.movedTo ||
        now.movedCount != standing.movedCount) {
        store.SetFeedStanding(job.feedId, now);
        m_tree.SetGone(job.index, now.gone);
    }
    if (now.movedCount >= kMovesToAgree) {
        std::string why;
        if (m_tree.MoveChannelAddress(job.index, now.movedTo, store, why)) {
            job.url = now.movedTo;
        } else {
            // Tried again after the next receive that agrees.
            now.movedCount = kMovesToAgree - 1;
            store.SetFeedStanding(job.feedId, now);
        }
    }
}

bool CReceiveScheduler::Claim(const std::string& url) {
    std::lock_guard lock(m_lock);
    return m_inFlight.insert(url).second;
}

void CReceiveScheduler::Release(const std::string& url) {
    std::lock_guard lock(m_lock);
    m_inFlight.erase(url);
}

namespace {

// Items go to the store in parts of this many.
constexpr size_t kMergeBatch = 500;

// Hands the parts of a document being read to the merge.
class CMergeSink : public CFeedItemSink {
public:
    CMergeSink(CFeedMerge& merge, std::function<bool()> stopped)
        : m_merge(merge), m_stopped(std::move(stopped)) {}
    bool OnItems(std::vector<FeedItem>& items) override {
        if (m_failed || m_stopped())
            m_failed = true;
        else
            Note(m_merge.Add(items));
        return !m_failed;
    }
    void OnRestart() override { Note(m_merge.Restart()); }
    bool Failed() const { return m_failed; }
    // Why the merge failed (empty when it did not, or when only a stop ended it).
    const std::string& Failure() const { return m_reason; }

private:
    void Note(const StoreResult& result) {
        if (!result) {
            m_failed = true;
            m_reason = result.reason;
        }
    }

    CFeedMerge& m_merge;
    std::function<bool()> m_stopped;
    bool m_failed = false;
    std::string m_reason;
};

// Gives a document's answer back to the heap. Assigning an empty document would not: a string
// moved from a short one keeps its own buffer, so every answer of a walk stayed allocated until
// the walk ended.
void FreeDocument(FeedDocument& document) {
    std::string().swap(document.body);
}

// What an outcome holds in memory, roughly: the answer kept, the texts and the records.
size_t BytesOf(const FetchOutcome& outcome) {
    size_t bytes = outcome.document.body.size();
    for (const FeedItem& item : outcome.items) {
        bytes += sizeof(FeedItem) + item.title.size() + item.link.size() + item.description.size() +
                 item.pubDate.size() + item.author.size();
        for (const FeedEnclosure& enclosure : item.enclosures)
            bytes += sizeof(FeedEnclosure) + enclosure.url.size() + enclosure.type.size();
    }
    return bytes;
}

} // namespace

FetchOutcome CReceiveScheduler::Fetch(CFeedFetcher& fetcher, const Job& job) {
    FetchOutcome outcome;
    using Outcome = FeedFetchResult::Outcome;
    FeedFetchResult result = fetcher.FetchDocument(job.url, outcome.document, job.validators);
    if (result.outcome == Outcome::kItems && outcome.document.body.size() <= m_readAheadLimit) {
        // A common feed is read here, beside the other fetches; only its items wait.
        if (!CFeedFetcher::ReadDocument(outcome.document, outcome.items, &result.errorText))
            result.outcome = Outcome::kNoItems;
        FreeDocument(outcome.document);
    }
    outcome.ok = result.outcome == Outcome::kItems || result.outcome == Outcome::kNotModified;
    outcome.reason = result.errorText;
    outcome.notModified = result.outcome == Outcome::kNotModified;
    outcome.validators = result.validators;
    outcome.status = result.status;
    outcome.movedTo = result.movedTo;
    outcome.retryAfterSeconds = result.retryAfterSeconds;
    return outcome;
}

std::unique_ptr<CRuleFilter> CReceiveScheduler::LoadRules() const {
    CFeedRules file(m_rulesPath);
    std::string error;
    if (!file.Load(error) || file.Rules().empty())
        return nullptr;
    const bool copies =
        std::any_of(file.Rules().begin(), file.Rules().end(), [](const FeedRule& rule) {
            return rule.action == RuleAction::kCopyToFavorites;
        });
    std::unique_ptr<CRssFavorites> favorites;
    if (copies) {
        favorites = std::make_unique<CRssFavorites>(m_context);
        if (!favorites->Build())
            favorites.reset();
    }
    return std::make_unique<CRuleFilter>(file.Rules(), [&](const std::string& box) {
        const int index = favorites ? favorites->FindBox(box) : -1;
        return index < 0 ? 0 : favorites->BoxId(index);
    });
}

int CReceiveScheduler::Merge(Job& job, CFeedDatabase& store, Announce announce,
                             CRuleFilter* rules) {
    const CCancelToken& stop = *job.stop;
    ChannelRecord record = m_tree.Record(job.index);
    ChannelTreeOptions options = m_tree.Options();
    int added = 0;
    job.mergeFailure.clear();
    if (!job.outcome.notModified) {
        const auto [storageType, storageNum] = StorageRuleFor(record, options);
        // One transaction for the whole download, whether it comes as a list or is read now in
        // parts; a failure or a stop anywhere keeps nothing of it.
        CFeedMerge merge(store);
        if (rules && rules->Focus(m_tree, job.index))
            merge.SetFilter(rules);
        StoreResult merged = merge.Begin(job.feedId, storageType, storageNum);
        if (!merged) {
            job.mergeFailure = merged.reason;
            return -1;
        }
        bool read = false;
        if (!job.outcome.document.body.empty()) {
            CMergeSink sink(merge, [this, &stop] { return Stopped(stop); });
            std::string whyNone;
            read = CFeedFetcher::ReadDocument(job.outcome.document, sink, kMergeBatch, &whyNone) &&
                   !sink.Failed();
            merged.reason = sink.Failure();
            if (!read && !sink.Failed() && !Stopped(stop)) {
                // Not the store's fault: the large answer held no feed after all.
                job.outcome.ok = false;
                job.outcome.reason = whyNone;
                return -1;
            }
        } else if (job.outcome.items.empty()) {
            // Nothing to store: not the store's fault either.
            job.outcome.ok = false;
            job.outcome.reason = CReasonText::Text(Reason::kNoItemsInFeed);
            return -1;
        } else {
            read = static_cast<bool>(merged = merge.Add(job.outcome.items));
        }
        if (read && !Stopped(stop))
            merged = merge.Commit(&added);
        else if (merged.reason.empty())
            merged = {.reason = CReasonText::Text(Reason::kCancelled)}; // stopped while reading
        else
            merged.ok = false;
        if (!merged) {
            job.mergeFailure = merged.reason;
            return -1;
        }
        store.SetFeedValidators(job.feedId, job.outcome.validators.etag,
                                job.outcome.validators.lastModified);
    }
    int unread = 0;
    if (const StoreResult counted = store.GetUnreadCount(job.feedId, unread); !counted) {
        job.mergeFailure = counted.reason;
        return -1;
    }
    if (Stopped(stop))
        return added;
    m_tree.SetUnreadCount(job.index, unread);
    m_observer.OnUnreadChanged(job.index, unread);
    // Nothing arrived from a feed that has not changed: nothing to announce.
    const bool worthIt = announce == Announce::kNewItems ? added > 0 : unread > 0;
    if (!job.outcome.notModified && worthIt && record.newItemShowTip == 1)
        NoteNewItems({.index = job.index, .unread = unread, .newItems = added});
    return added;
}

std::pair<StorageRule, int> CReceiveScheduler::StorageRuleFor(const ChannelRecord& record,
                                                              const ChannelTreeOptions& options) {
    // Settings that could not be read hold no rule the user chose: nothing is removed.
    if (options.settingsUnreadable)
        return {StorageRule::kKeepAll, record.storageNum};
    if (record.storageType != StorageRule::kDefault)
        return {record.storageType, record.storageNum};
    return {options.defaultStorageType, options.defaultStorageNum};
}

void CReceiveScheduler::CollectWalk(int item, int depth, const WalkRule& rule, CFeedDatabase& store,
                                    const StopToken& stop, std::vector<Job>& jobs) {
    // The siblings after the item, when the depth says so.
    std::vector<int> items{item};
    if (depth != 0) {
        ChannelRecord record = m_tree.Record(item);
        std::vector<int> siblings =
            record.parent >= 0 ? m_tree.Record(record.parent).children : m_tree.Roots();
        auto it = std::find(siblings.begin(), siblings.end(), item);
        items.assign(it, siblings.end());
    }
    for (int at : items) {
        if (Stopped(*stop))
            return;
        ChannelRecord record = m_tree.Record(at);
        if (record.directory) {
            // An empty directory has nothing to receive (and no feed row to look up).
            if (!record.children.empty())
                CollectWalk(record.children.front(), depth + 1, rule, store, stop, jobs);
            continue;
        }
        int feedId = 0;
        if (const StoreResult found = m_tree.GetFeedId(at, feedId, store); !found) {
            AddToRound(1);
            Finish({.index = at,
                    .outcome = ChannelReceiveResult::Outcome::kStoreFailed,
                    .reason = CReasonText::Text(Reason::kStore, {found.reason})},
                   0, store);
            continue;
        }
        record = m_tree.Record(at);
        if ((record.autoUpdate != 1 && !rule.takeEvery) || record.gone)
            continue;
        int level = 1;
        if (rule.byWeight && record.rssRank == 0) {
            level = record.rankLevel;
            if (level != 1) {
                int counter = record.rankCounter - 10;
                if (counter != 10 && counter != 20 && counter != 30 && counter != 60) {
                    m_tree.SetRank(at, record.rankLevel, counter);
                    continue;
                }
            }
        }
        Job job{.stop = stop,
                .index = at,
                .image = record.image,
                .feedId = feedId,
                .url = record.xmlUrl,
                .level = level};
        job.host = HostKeyOf(job.url);
        store.GetFeedValidators(feedId, job.validators.etag, job.validators.lastModified);
        jobs.push_back(std::move(job));
    }
}

void CReceiveScheduler::FetchAll(std::vector<Job>& jobs, const CCancelToken& stop,
                                 const std::function<void(Job&)>& done) {
    std::mutex queueLock;
    std::condition_variable ready;
    std::condition_variable room; // budget freed, or a host's slot
    std::deque<Job*> finished;
    // The jobs not started yet, in walk order: a fetcher takes the first whose host has a free
    // slot, so that a host with many channels never holds up the others.
    std::vector<Job*> waiting;
    for (Job& job : jobs)
        waiting.push_back(&job);
    size_t pending = jobs.size();
    // Bytes of outcomes fetched and not yet merged: while they pass the budget, no further fetch
    // starts, so a walk over many large feeds holds only a few of them at a time.
    size_t inFlight = 0;

    // The next job and whether it holds a slot of its host; null when none is left.
    const auto next = [&](bool& slot, std::string& refusal) -> Job* {
        std::unique_lock lock(queueLock);
        for (;;) {
            while (inFlight >= m_byteBudget && !Stopped(stop))
                room.wait_for(lock, kHostPoll);
            if (waiting.empty())
                return nullptr;
            auto wakeAt = std::chrono::steady_clock::now() + kHostPoll;
            for (auto it = waiting.begin(); it != waiting.end(); ++it) {
                refusal.clear();
                const HostTurn turn =
                    Stopped(stop) ? HostTurn::kRefuse : TakeHost((*it)->host, wakeAt, refusal);
                if (turn == HostTurn::kBusy)
                    continue;
                Job* job = *it;
                waiting.erase(it);
                slot = turn == HostTurn::kGo;
                return job;
            }
            room.wait_until(lock, wakeAt);
        }
    };

    const size_t workers = std::min<size_t>(static_cast<size_t>(m_concurrency), jobs.size());
    // The walk's fetchers have a runner of their own, as wide as the walk may fetch at once: a
    // fetcher never waits for a thread that another job holds, however busy the scheduler is.
    CJobRunner fetchers(static_cast<int>(workers));
    for (size_t w = 0; w < workers; ++w) {
        fetchers.Submit([&](const CCancelToken&) {
            CFeedFetcher fetcher;
            Configure(fetcher, stop);
            for (;;) {
                bool slot = false;
                std::string refusal;
                Job* job = next(slot, refusal);
                if (!job)
                    return;
                const bool stopped = Stopped(stop);
                if (!stopped && Claim(job->url)) {
                    ShowImage(job->index, kImageReceiving);
                    m_observer.OnReceiveBegin(job->index);
                    if (slot) {
                        job->outcome = Fetch(fetcher, *job);
                        NoteRetryAfter(job->host, job->outcome.retryAfterSeconds);
                    } else {
                        job->outcome.reason = refusal;
                    }
                    job->bytes = BytesOf(job->outcome);
                    Release(job->url);
                } else {
                    job->skipped = true; // nothing is reported for it
                    // Another receive has the channel and counts it.
                    if (!stopped)
                        AddToRound(-1);
                }
                if (slot)
                    ReleaseHost(job->host);
                std::lock_guard lock(queueLock);
                inFlight += job->bytes;
                finished.push_back(job);
                ready.notify_one();
                room.notify_all();
            }
        });
    }
    while (pending > 0) {
        Job* job = nullptr;
        {
            std::unique_lock lock(queueLock);
            ready.wait(lock, [&] { return !finished.empty(); });
            job = finished.front();
            finished.pop_front();
        }
        --pending;
        if (!job->skipped)
            done(*job);
        // The outcome is in the store now: its memory goes back to the budget.
        std::vector<FeedItem>().swap(job->outcome.items);
        FreeDocument(job->outcome.document);
        {
            std::lock_guard lock(queueLock);
            inFlight -= job->bytes;
        }
        room.notify_all();
    }
    fetchers.Wait();
}

void CReceiveScheduler::RunWalk(int start, int depth, const WalkRule& rule) {
    const RoundTicket ticket(*this, 0);
    const StopToken& stop = ticket.stop;
    CFeedDatabase store(m_storePath);
    if (const StoreResult opened = store.OpenStore(); !opened) {
        // Without the store no channel can be received; each says so.
        const std::string reason = CReasonText::Text(Reason::kStore, {opened.reason});
        std::vector<int> items{start};
        if (depth != 0) {
            const int parent = m_tree.Record(start).parent;
            std::vector<int> siblings =
                parent >= 0 ? m_tree.Record(parent).children : m_tree.Roots();
            items.assign(std::find(siblings.begin(), siblings.end(), start), siblings.end());
        }
        for (int item : items)
            for (int channel : m_tree.ChannelsBelow(item)) {
                AddToRound(1);
                Finish({.index = channel,
                        .outcome = ChannelReceiveResult::Outcome::kStoreFailed,
                        .reason = reason},
                       0, store);
            }
        return;
    }
    std::vector<Job> jobs;
    if (m_tree.IsValid(start))
        CollectWalk(start, depth, rule, store, stop, jobs);
    AddToRound(static_cast<int>(jobs.size()));
    const std::unique_ptr<CRuleFilter> rules = LoadRules();
    UpdateHostLimit();
    FetchAll(jobs, *stop, [&](Job& job) {
        if (!Stopped(*stop))
            NoteStanding(job, store);
        const int added = job.outcome.ok && !Stopped(*stop)
                              ? Merge(job, store, Announce::kNewItems, rules.get())
                              : -1;
        // The items are in the store now; a walk over hundreds of channels keeps none of them.
        std::vector<FeedItem>().swap(job.outcome.items);
        Finish(ResultOf(job, added), job.feedId, store, job.image);
        if (added < 0 || !rule.byWeight)
            return;
        std::vector<FeedItem> none;
        int newCount = 0;
        if (!store.GetItemPage(job.feedId, ItemFilter::kNew, false, none, newCount, 0, 0))
            return;
        const int level = job.level;
        if (newCount > 0) {
            if (level != 1)
                m_tree.SetRank(job.index, level - 1, WeightOfLevel(level - 1));
        } else if (level == 5) {
            m_tree.SetRank(job.index, 5, 120);
        } else {
            m_tree.SetRank(job.index, level + 1, WeightOfLevel(level + 1));
        }
    });
    CatchUpSearchIndex(store);
}

void CReceiveScheduler::CatchUpSearchIndexInBackground() {
    Start([this] {
        CFeedDatabase store(m_storePath);
        // A store that cannot be opened here fails the receives too, which say why.
        if (store.OpenStore())
            CatchUpSearchIndex(store);
    });
}

void CReceiveScheduler::CatchUpSearchIndex(CFeedDatabase& store) const {
    // The merges only queued their rows for the search index; they are folded in now, a batch
    // to a transaction so that a receive starting meanwhile waits for one batch at most. A
    // failure loses nothing: the rows stay queued, searches still find them, and the next round
    // tries again. One worker at a time does it: it goes on while rows are queued, so the rows
    // of receives that end meanwhile are folded in too, and the others end at once instead of
    // waiting for the write lock behind it.
    if (m_indexing.exchange(true))
        return;
    int64_t pending = 1;
    while (pending > 0 && !Stopped()) {
        if (!store.CatchUpSearchIndex(CFeedSearchIndex::kCatchUpBatch, &pending))
            break;
    }
    m_indexing = false;
}

void CReceiveScheduler::ShowImage(int index, int image) {
    m_tree.SetImage(index, image);
    m_observer.OnImageChanged(index, image);
}

ChannelReceiveResult CReceiveScheduler::ResultOf(const Job& job, int added) const {
    using Outcome = ChannelReceiveResult::Outcome;
    ChannelReceiveResult result{.index = job.index, .newItems = std::max(added, 0)};
    if (added >= 0) {
        result.outcome = Outcome::kReceived;
    } else if (Stopped(*job.stop)) {
        result.outcome = Outcome::kStopped;
        result.reason = "stopped";
    } else if (!job.outcome.ok) {
        result.outcome = Outcome::kFetchFailed;
        result.reason = job.outcome.reason.empty() ? "stopped" : job.outcome.reason;
    } else {
        result.outcome = Outcome::kStoreFailed;
        // Merge says why it failed, whichever of its steps did.
        result.reason = CReasonText::Text(Reason::kStore, {job.mergeFailure});
    }
    return result;
}

void CReceiveScheduler::Finish(ChannelReceiveResult result, int feedId, CFeedDatabase& store,
                               int image) {
    const int index = result.index;
    CountInRound(result);
    if (result.outcome == ChannelReceiveResult::Outcome::kStopped) {
        // Nothing happened to the channel: it shows what it showed before.
        ShowImage(index, image >= 0 ? image : kImageChannel);
        m_observer.OnChannelDone(result);
        return;
    }
    result.unread = m_tree.Record(index).unreadCount;
    // A failure leaves the tree's count alone; the items stored before are still there, and
    // the result tells how many of them are unread (a tree that never counted shows 0).
    if (!result.Ok() && feedId != 0 && !Stopped()) {
        int unread = 0;
        if (store.GetUnreadCount(feedId, unread))
            result.unread = unread;
    }
    m_tree.SetReceiveError(index, result.reason);
    ShowImage(index, result.Ok() ? kImageReceived : kImageFailed);
    m_observer.OnChannelDone(result);
}

void CReceiveScheduler::ReceiveOnRequest(int index, const ChannelRequest& request) {
    const RoundTicket ticket(*this, 1);
    const StopToken& stop = ticket.stop;
    CFeedDatabase store(m_storePath);
    int feedId = 0;
    ChannelRecord record = m_tree.Record(index);
    StoreResult found = store.OpenStore();
    if (found)
        found = m_tree.GetFeedId(index, feedId, store);
    if (!found) {
        Release(record.xmlUrl);
        Finish({.index = index,
                .outcome = ChannelReceiveResult::Outcome::kStoreFailed,
                .reason = CReasonText::Text(Reason::kStore, {found.reason}),
                .byHand = request.byHand},
               0, store);
        return;
    }
    ShowImage(index, kImageReceivingOne);
    m_observer.OnReceiveBegin(index);
    CFeedFetcher fetcher;
    Configure(fetcher, *stop);
    Job job{.stop = stop,
            .index = index,
            .image = record.image,
            .feedId = feedId,
            .url = record.xmlUrl};
    job.host = HostKeyOf(job.url);
    UpdateHostLimit();
    store.GetFeedValidators(feedId, job.validators.etag, job.validators.lastModified);
    // The channel waits for a slot of its host like the fetches of a walk.
    std::string refusal;
    const HostTurn turn = AwaitHost(job.host, *stop, refusal);
    if (turn == HostTurn::kGo) {
        job.outcome = Fetch(fetcher, job);
        NoteRetryAfter(job.host, job.outcome.retryAfterSeconds);
        ReleaseHost(job.host);
    } else {
        job.outcome.reason = refusal;
    }
    Release(record.xmlUrl);
    if (!Stopped(*stop))
        NoteStanding(job, store);
    int added = -1;
    if (job.outcome.ok && !Stopped(*stop)) {
        m_observer.OnSettleReadMarks();
        added = Merge(job, store, Announce::kUnreadItems, LoadRules().get());
    }
    if (added >= 0 && request.refreshList && m_observer.SelectedItem() == index)
        m_observer.OnReloadList(feedId);
    ChannelReceiveResult result = ResultOf(job, added);
    result.byHand = request.byHand;
    Finish(std::move(result), feedId, store, job.image);
    if (added > 0)
        CatchUpSearchIndex(store);
}

bool CReceiveScheduler::ReceiveChannel(int index, const ChannelRequest& request) {
    if (!m_tree.IsValid(index) || m_tree.Record(index).directory)
        return false;
    const std::string url = m_tree.Record(index).xmlUrl;
    if (!Claim(url))
        return false;
    if (!Start([this, index, request] { ReceiveOnRequest(index, request); })) {
        Release(url);
        return false;
    }
    return true;
}

void CReceiveScheduler::ReceiveBranch(int index, const BranchRequest& request) {
    if (request.setBusy)
        m_busy = true;
    Start([this, index, request] {
        RunWalk(index, request.withLaterSiblings ? 1 : 0, {.takeEvery = request.takeEvery});
        if (!Stopped())
            m_observer.OnWalkEnd();
        if (request.setBusy)
            m_busy = false;
    });
}

void CReceiveScheduler::ReceiveAll() {
    std::vector<int> roots = m_tree.Roots();
    if (roots.empty())
        return;
    ReceiveBranch(roots.front(), {.withLaterSiblings = true, .setBusy = true});
}

bool CReceiveScheduler::ReceiveAllByWeight() {
    if (m_busy)
        return false;
    std::vector<int> roots = m_tree.Roots();
    if (roots.empty())
        return false;
    // One by-weight walk at a time: a second one would count every channel's weight down twice.
    if (m_weightWalk.exchange(true))
        return false;
    Start([this, first = roots.front()] {
        RunWalk(first, 1, {.byWeight = true});
        if (!Stopped())
            m_observer.OnWalkEnd();
        m_weightWalk = false;
    });
    return true;
}

void CReceiveScheduler::StartupReceive() {
    ChannelTreeOptions options = m_tree.Options();
    if (!options.startupReceive)
        return;
    if (options.autoReceiveType == ReceiveMode::kByWeight)
        ReceiveAllByWeight();
    else
        ReceiveAll();
}

int CReceiveScheduler::TimerPeriodMs() const {
    ChannelTreeOptions options = m_tree.Options();
    if (!options.autoReceive)
        return 0;
    return options.autoReceiveType == ReceiveMode::kByWeight ? 600000
                                                             : options.autoReceiveMinutes * 60000;
}

void CReceiveScheduler::OnTimerTick() {
    if (m_tree.Options().autoReceiveType == ReceiveMode::kByWeight)
        ReceiveAllByWeight();
    else if (!m_busy)
        ReceiveAll();
}

CReceiveScheduler::TimerChange CReceiveScheduler::TimerChangeFor(const ChannelTreeOptions& before,
                                                                 const ChannelTreeOptions& after) {
    if (!before.autoReceive && after.autoReceive)
        return TimerChange::kStart;
    if (before.autoReceive && !after.autoReceive)
        return TimerChange::kStop;
    if (!after.autoReceive)
        return TimerChange::kNone;
    if (before.autoReceiveType != after.autoReceiveType)
        return TimerChange::kStart;
    if (after.autoReceiveType == ReceiveMode::kEvery &&
        before.autoReceiveMinutes != after.autoReceiveMinutes)
        return TimerChange::kStart;
    return TimerChange::kNone;
}
