#pragma once

#include "platform/http/CancelToken.h"
#include "platform/http/HttpClient.h"
#include "platform/jobs/JobRunner.h"
#include "reader/ChannelTree.h"
#include "reader/FeedFetcher.h"
#include "storage/FeedItem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CFeedDatabase;
class CRuleFilter;

// How one channel's receive ended.
struct ChannelReceiveResult {
    enum class Outcome {
        kReceived,    // fetched (or unchanged since the last fetch) and stored
        kFetchFailed, // no feed came: a network or HTTP failure, not a feed, no items, stopped
        kStoreFailed, // the items could not be stored or counted
        kStopped,     // the user stopped the receive: nothing changed, nothing went wrong
    };
    int index = -1;
    Outcome outcome = Outcome::kFetchFailed;
    int newItems = 0; // items that came new
    int unread = 0;   // the channel's unread count afterwards; a failed channel keeps its count
    // Why it failed, short and for people: "HTTP 404", "no answer within 30 s",
    // "not a feed (text/html)", "store: SQLITE_FULL ..."; "" when it was received.
    std::string reason;
    bool byHand = false; // the user asked for this one channel

    bool Ok() const { return outcome == Outcome::kReceived; }
    bool Failed() const { return outcome == Outcome::kFetchFailed || outcome == Outcome::kStoreFailed; }
};

// The receives under way, counted together: every walk and every single channel that runs
// while another one still does belongs to one round, which ends when the last of them ends.
struct ReceiveProgress {
    int total = 0;        // channels the round's receives take
    int done = 0;         // of them, received or failed
    int newItems = 0;     // items that came new
    int failed = 0;       // channels that failed, each with its reason in its result
    bool running = true;  // false once the round ended
    bool stopped = false; // the user stopped the round

    // "正在收取 37/500 · 12 个新条目 · 2 个失败" while it runs; "收取完成: ...",
    // "已停止收取: ..." when it ended.
    std::string Text() const;
};

// A channel that got new items in a round and asks to be announced (有新文章时弹出提示).
struct NewItemsNote {
    int index = -1;
    int unread = 0;   // the channel's unread count afterwards
    int newItems = 0; // of this round
};

// What a receive tells the window (or whoever runs it). Called on worker threads: a window
// implementation hands each call on to the interface thread.
class CReceiveObserver {
public:
    virtual ~CReceiveObserver() = default;
    // A channel's receive begins (its path goes to the status line).
    virtual void OnReceiveBegin(int index) {}
    // The tree image of an item changed (receiving, received, failed).
    virtual void OnImageChanged(int index, int image) {}
    // A channel's unread count changed: repaint its label.
    virtual void OnUnreadChanged(int index, int count) {}
    // The round's counts changed (a channel began or ended, or more channels joined).
    virtual void OnProgress(const ReceiveProgress& progress) {}
    // The round ended: its final counts, and the channels to announce (one notification for
    // all of them). A round of one channel received on request announces it when it holds
    // unread items; a walk announces the channels that got new ones.
    virtual void OnRoundEnd(const ReceiveProgress& progress,
                            const std::vector<NewItemsNote>& announce) {}
    // The channel shown in the list was received: reload the list.
    virtual void OnReloadList(int feedId) {}
    // A branch or all-channels walk ended.
    virtual void OnWalkEnd() {}
    // The list must settle its read marks before items are merged.
    virtual void OnSettleReadMarks() {}
    // The item selected in the tree, -1 for none.
    virtual int SelectedItem() { return -1; }
    // The outcome of one channel, with the reason when it failed.
    virtual void OnChannelDone(const ChannelReceiveResult& result) {}
};

// A receive of one channel on request.
struct ChannelRequest {
    bool refreshList = false; // reload the item list when the channel is the selected one
    bool byHand = false;      // the user asked for it (a failure is worth a dialog)
};

// A receive of a branch of the tree.
struct BranchRequest {
    bool withLaterSiblings = false; // go on with the item's later siblings and what lies below
    bool takeEvery = false;         // also the channels that are not part of "all channels"
    bool setBusy = false;           // holds the busy flag while it runs ("全部更新")
};

// One fetch of a feed.
struct FetchOutcome {
    bool ok = false;
    std::string reason;       // why it failed (FeedFetchResult::errorText)
    bool notModified = false; // the server said the feed has not changed since the last fetch
    std::vector<FeedItem> items;
    // A large answer is kept as it came and read while it is merged, part by part, so that
    // its items never sit in memory all at once; items is then empty.
    FeedDocument document;
    FeedValidators validators; // to send with the next fetch
    long status = 0;           // of the final answer, 0 when none came
    std::string movedTo;       // see FeedFetchResult::movedTo
    long retryAfterSeconds = -1;
};

// Runs receiving in the background. A walk covers one channel, a directory, every channel, or
// the channels whose weight says they are due (busy channels come round often, quiet ones
// rarely). A walk downloads several channels in parallel and folds each answer into the store
// on its own thread, through a connection nobody else uses. Asking for a channel that a walk
// already has does nothing, and a second by-weight walk waits for the first to end. Shutdown()
// or the exit flag ends every walk and aborts its downloads.
//
// Threads: the scheduler's job runner owns its workers (see CJobRunner); a walk's parallel
// fetchers run on a runner of the walk's own, as wide as the parallelism. The calls that start
// receives, Wait and Shutdown belong to one thread (the interface thread, or the cli's main
// thread).
class CReceiveScheduler {
public:
    // The weight of a level: the minutes between by-weight receives.
    static int WeightOfLevel(int level);

    // Receives into the context's store (Storage/rss.db) with its filter rules and proxy.
    CReceiveScheduler(const CAppContext& context, CChannelTree& tree, CReceiveObserver& observer);
    ~CReceiveScheduler();
    CReceiveScheduler(const CReceiveScheduler&) = delete;
    CReceiveScheduler& operator=(const CReceiveScheduler&) = delete;

    // How many feeds one walk fetches at once (6 unless set).
    void SetConcurrency(int fetchesAtOnce);
    // How many fetches may go to one host (name and port) at once, over every walk; the
    // settings' value (rss/hostfetches, 2) unless set. The other fetches go on with other hosts.
    void SetFetchesPerHost(int fetches) { m_fetchesPerHost = std::max(fetches, 1); }
    // The bytes of fetched answers (and of their items) that may wait for their merge before a
    // walk starts no further fetch (64 MB unless set). A fetch under way is never held back,
    // so one answer larger than this still goes through.
    void SetByteBudget(std::size_t bytes) { m_byteBudget = bytes; }
    // An answer up to this size is read into items by the thread that fetched it; a larger one
    // is read while it is merged (1 MB unless set).
    void SetReadAheadLimit(std::size_t bytes) { m_readAheadLimit = bytes; }
    // The filter rules file (the program directory's config/feedrules.json unless set). It is
    // read as each receive starts; its rules act on the items that come new.
    void SetRulesPath(const std::string& path) { m_rulesPath = path; }
    // The store file the workers open (the program directory's rss.db unless set).
    void SetStorePath(const std::string& path) { m_storePath = path; }
    // How the workers reach the network (the settings' proxy unless set).
    void SetProxy(const HttpProxy& proxy) { m_proxy = proxy; }
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }

    // One channel, on request; false when it is no channel or is being received already.
    bool ReceiveChannel(int index, const ChannelRequest& request = {});
    // The item and what lies below it (and its later siblings when asked).
    void ReceiveBranch(int index, const BranchRequest& request = {});
    // "全部更新": every channel that is part of all channels; sets the busy flag.
    void ReceiveAll();
    // All channels by their weights; nothing starts while ReceiveAll or another by-weight walk
    // runs. False when it did not start.
    bool ReceiveAllByWeight();

    // The start-up receive, when the settings ask for one.
    void StartupReceive();
    // The period of the auto-receive timer in milliseconds, 0 for no timer.
    int TimerPeriodMs() const;
    void OnTimerTick();
    // After the settings change: whether the timer must (re)start with TimerPeriodMs() or stop.
    enum class TimerChange { kNone, kStart, kStop };
    static TimerChange TimerChangeFor(const ChannelTreeOptions& before,
                                      const ChannelTreeOptions& after);

    // Folds the rows waiting for the search index into it on a worker of its own, with its own
    // store connection (an older store's first open queues all of its rows): for the window
    // to run once it is up, so that searches soon read the index alone.
    void CatchUpSearchIndexInBackground();

    // Stops the receives of the round under way; the channels that were still to come keep
    // what they had, and receives asked for afterwards run as usual.
    void StopRound();
    bool IsBusy() const { return m_busy.load(); }
    // The worker threads started and not joined yet.
    int WorkerCount() const;
    // Waits until every worker has ended.
    void Wait();
    // Stops every walk, aborts its transfers and waits for the workers.
    void Shutdown();

private:
    using StopToken = std::shared_ptr<CCancelToken>;
    struct Job {
        StopToken stop; // the round's: the user's stop
        int index = -1;
        int image = kImageChannel; // the tree image before the receive, shown again on a stop
        int feedId = 0;
        std::string url;
        int level = 1;             // the level used for the weight step
        FeedValidators validators; // of the last fetch
        FetchOutcome outcome;
        bool skipped = false;  // stopped, or received by another walk already
        std::size_t bytes = 0; // of the outcome, counted against the byte budget
        std::string host;      // the host key of the address (HostKeyOf)
        std::string mergeFailure; // why the merge into the store failed, when it did
    };
    // Whether a fetch to a host may start now.
    enum class HostTurn {
        kGo,    // a slot was taken: give it back with ReleaseHost
        kBusy,  // every slot is taken, or the host asked to wait a little longer
        kRefuse // the host asked to wait longer than a walk waits: refusal says how long
    };

    // Which channels a walk takes.
    struct WalkRule {
        bool byWeight = false;
        bool takeEvery = false;
    };

    // Starts a worker; false once the scheduler was shut down.
    bool Start(std::function<void()> work);
    bool Stopped() const;
    bool Stopped(const CCancelToken& round) const { return Stopped() || round.IsCancelled(); }
    // A receive joins the round (starting one when none runs) with the channels it takes, and
    // gets the round's stop token; it leaves when it ended, whichever way it ends.
    StopToken JoinRound(int channels);
    struct RoundTicket {
        RoundTicket(CReceiveScheduler& scheduler, int channels)
            : owner(scheduler), stop(scheduler.JoinRound(channels)) {}
        ~RoundTicket() { owner.LeaveRound(); }
        RoundTicket(const RoundTicket&) = delete;
        RoundTicket& operator=(const RoundTicket&) = delete;
        CReceiveScheduler& owner;
        const StopToken stop;
    };
    void AddToRound(int channels);
    void CountInRound(const ChannelReceiveResult& result);
    void NoteNewItems(const NewItemsNote& note);
    void LeaveRound();
    // Folds the rows the walk stored into the search index, until none is left or the
    // scheduler stops.
    void CatchUpSearchIndex(CFeedDatabase& store) const;
    void RunWalk(int start, int depth, const WalkRule& rule);
    void CollectWalk(int item, int depth, const WalkRule& rule, CFeedDatabase& store,
                     const StopToken& stop, std::vector<Job>& jobs);
    // "host:port" of an address, lower-cased.
    static std::string HostKeyOf(const std::string& url);
    // wakeAt is brought forward to when a host that asked to wait may be asked again.
    HostTurn TakeHost(const std::string& host, std::chrono::steady_clock::time_point& wakeAt,
                      std::string& refusal);
    HostTurn TakeHostLocked(const std::string& host, std::chrono::steady_clock::time_point& wakeAt,
                            std::string& refusal);
    // Waits for a slot of the host (kGo), a refusal, or a stop (kBusy).
    HostTurn AwaitHost(const std::string& host, const CCancelToken& stop, std::string& refusal);
    void ReleaseHost(const std::string& host);
    // Takes the limit from SetFetchesPerHost or the settings, as a receive starts.
    void UpdateHostLimit();
    // Notes a 429 or 503 answer's Retry-After for the host.
    void NoteRetryAfter(const std::string& host, long seconds);
    // What the answer says about the channel's address: a permanent move (taken over after
    // three receives that agree) or 410 Gone (the channel leaves automatic receiving); a
    // successful receive brings a gone channel back.
    void NoteStanding(Job& job, CFeedDatabase& store);
    bool Claim(const std::string& url);
    void Release(const std::string& url);
    void FetchAll(std::vector<Job>& jobs, const CCancelToken& stop,
                  const std::function<void(Job&)>& done);
    FetchOutcome Fetch(CFeedFetcher& fetcher, const Job& job);
    void Configure(CFeedFetcher& fetcher, const CCancelToken& stop);
    // Merges a fetched channel and takes its unread count; the number of items that came new,
    // or -1 on failure. The channel is noted for the round's announcement as `announce` says.
    enum class Announce { kNewItems, kUnreadItems };
    int Merge(Job& job, CFeedDatabase& store, Announce announce, CRuleFilter* rules);
    // The rules of the rules file, ready for the merges; null when there are none (or the
    // file cannot be read: `rules list` says why).
    std::unique_ptr<CRuleFilter> LoadRules() const;
    void ReceiveOnRequest(int index, const ChannelRequest& request);
    void ShowImage(int index, int image);
    // The storage rule and count a merge of the channel applies.
    static std::pair<StorageRule, int> StorageRuleFor(const ChannelRecord& record,
                                                      const ChannelTreeOptions& options);
    // What a fetched job came to: its result with the reason of a failure, from the merge's
    // answer (items added, or -1 when the store failed).
    ChannelReceiveResult ResultOf(const Job& job, int added) const;
    // Shows and reports a channel's outcome; a failed one reports its stored unread count.
    void Finish(ChannelReceiveResult result, int feedId, CFeedDatabase& store, int image = -1);

    CAppContext m_context;
    CChannelTree& m_tree;
    CReceiveObserver& m_observer;
    std::string m_storePath;
    std::string m_rulesPath;
    HttpProxy m_proxy;
    HttpLimits m_limits;
    int m_concurrency = 6;
    int m_fetchesPerHost = 0; // 0: as the settings say
    std::size_t m_byteBudget = 64u << 20;
    std::size_t m_readAheadLimit = 1u << 20;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_weightWalk{false}; // a by-weight walk runs
    // A worker folds the search index's queue in; the others leave it to that one.
    mutable std::atomic<bool> m_indexing{false};
    CCancelToken m_cancel;

    mutable std::mutex m_lock; // guards the channels in flight and the hosts' slots
    std::set<std::string> m_inFlight;
    std::map<std::string, int> m_hostFetches; // fetches under way per host
    int m_hostLimit = 2;
    std::condition_variable m_hostFreed;
    std::map<std::string, std::chrono::steady_clock::time_point> m_hostWaitUntil;

    // The round under way, guarded by m_roundLock.
    struct Round {
        StopToken stop = std::make_shared<CCancelToken>();
        int receives = 0; // joined and not left yet
        ReceiveProgress progress;
        std::vector<NewItemsNote> announce;
    };
    std::mutex m_roundLock;
    Round m_round;
    // Last, so that its threads are joined before anything they use goes.
    CJobRunner m_runner;
};
