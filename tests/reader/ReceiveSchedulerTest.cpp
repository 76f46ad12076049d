#include "reader/ReceiveScheduler.h"
#include "app/ErrorCatalog.h"
#include "platform/LoopbackServer.h"
#include "platform/text/ReasonText.h"
#include "reader/BrokenStore.h"
#include "reader/ChannelTree.h"
#include "reader/FeedRules.h"
#include "reader/RecordingObserver.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Feed(const std::string& name, int items, int first = 0) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>" +
                      name + "</title>";
    for (int i = first; i < first + items; ++i)
        xml += "<item><title>" + name + " " + std::to_string(i) + "</title><link>http://x/" + name +
               "/" + std::to_string(i) +
               "</link><pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate>"
               "</item>";
    return xml + "</channel></rss>";
}

class ReceiveSchedulerTest : public ::testing::Test {
protected:
    // The server's threads write the counts below: they are stopped before the counts go.
    void TearDown() override { m_server.Stop(); }
    void SetUp() override {
        auto& server = m_server.Server();
        server.Get(R"(/feed/(\w+))",
                   [this](const httplib::Request& request, httplib::Response& response) {
                       const std::string name = request.matches[1];
                       int now = ++m_concurrent;
                       {
                           std::lock_guard lock(m_lock);
                           ++m_hits[name];
                           m_maxConcurrent = std::max(m_maxConcurrent, now);
                           if (request.has_header("If-None-Match"))
                               ++m_conditional[name];
                       }
                       if (m_delayMs)
                           std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs));
                       --m_concurrent;
                       if (name == "missing") {
                           response.status = 404;
                           return;
                       }
                       const int count = m_itemCount;
                       std::string etag = "\"" + name + "-v" + std::to_string(count) + "\"";
                       if (request.get_header_value("If-None-Match") == etag) {
                           response.status = 304;
                           return;
                       }
                       response.set_header("ETag", etag);
                       response.set_content(Feed(name, count), "application/rss+xml");
                   });
        m_server.Start();
        ASSERT_TRUE(Done(m_store.OpenStore()));
    }
    std::string Url(const std::string& name) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/feed/" + name;
    }
    // A tree with the named channels at the top level, built from its file.
    void MakeTree(const std::vector<std::string>& names, const std::string& directory = "") {
        std::string body;
        for (const std::string& name : names)
            body += "<outline title=\"" + name + "\" xmlUrl=\"" + Url(name) + "\"/>";
        if (!directory.empty())
            body = "<outline title=\"" + directory + "\">" + body + "</outline>";
        WriteAll(m_home.File("Storage/rssreader.opml"), "<opml><body>" + body + "</body></opml>");
        ASSERT_TRUE(m_tree.Build());
    }
    int Hits(const std::string& name) {
        std::lock_guard lock(m_lock);
        return m_hits[name];
    }
    void MarkAllRead() {
        for (int channel : m_tree.AllChannels()) {
            int feedId = 0;
            if (m_tree.GetFeedId(channel, feedId, m_store))
                m_store.SetFeedRead(feedId, 1);
        }
    }
    void Tick(CReceiveScheduler& scheduler) {
        scheduler.ReceiveAllByWeight();
        scheduler.Wait();
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    loopback::CHttpServer m_server;
    CFeedDatabase m_store{m_home.Context()};
    CChannelTree m_tree{m_home.Context()};
    CRecordingObserver m_observer;
    std::mutex m_lock;
    std::map<std::string, int> m_hits;
    std::map<std::string, int> m_conditional;
    std::atomic<int> m_concurrent{0};
    int m_maxConcurrent = 0;
    std::atomic<int> m_delayMs{0};
    std::atomic<int> m_itemCount{3}; // items each feed lists
};

// A size line of /proc/self/status ("VmSize") in kB.
long StatusKb(const std::string& name) {
    std::istringstream status(ReadAll("/proc/self/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name + ":", 0) == 0)
            return std::stol(line.substr(name.size() + 1));
    return -1;
}

} // namespace

TEST_F(ReceiveSchedulerTest, ReceivingAChannelStoresItsItemsReportsInOrderAndThenFindsItUnchanged) {
    MakeTree({"a"});
    int a = m_tree.FindByPath("a");
    m_observer.selected = a;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    ASSERT_TRUE(scheduler.ReceiveChannel(a, {.refreshList = true}));
    scheduler.Wait();
    int feedId = m_tree.Record(a).feedId;
    ASSERT_NE(feedId, 0);
    EXPECT_EQ(m_observer.Events(),
              (std::vector<std::string>{"image 0 0", "begin 0", "unread 0 3",
                                        "reload " + std::to_string(feedId), "image 0 2"}));
    EXPECT_EQ(m_tree.Record(a).unreadCount, 3);
    EXPECT_EQ(m_tree.Record(a).image, kImageReceived);
    EXPECT_EQ(m_observer.done[a], std::make_pair(true, 3));

    // Unchanged, the feed counts as received with nothing new.
    m_observer.Clear();
    scheduler.ReceiveAll();
    scheduler.Wait();
    EXPECT_EQ(m_conditional["a"], 1) << "the second fetch sends the validators";
    EXPECT_EQ(m_observer.done[a], std::make_pair(true, 0));
    EXPECT_EQ(m_tree.Record(a).unreadCount, 3);
    EXPECT_EQ(m_observer.Events().back(), "end");
}

TEST_F(ReceiveSchedulerTest, TwoProgramDirectoriesInOneProcessKeepToTheirOwnFiles) {
    // Neither directory is the process's own: each receive reads its own channel file and
    // rules and writes its own store, and nothing reaches the process's directory.
    CTempHome other;
    CTempHome process({.seed = false, .processDir = true});
    MakeTree({"a"});
    WriteAll(other.File("Storage/rssreader.opml"),
             "<opml><body><outline title=\"b\" xmlUrl=\"" + Url("b") + "\"/></body></opml>");
    CFeedRules rules(CFeedRules::DefaultPath(m_home.Context()));
    std::string error;
    ASSERT_TRUE(rules.Load(error)) << error;
    ASSERT_EQ(rules.Add({.pattern = "a 1", .action = RuleAction::kDelete}), "");
    CChannelTree otherTree(other.Context());
    ASSERT_TRUE(otherTree.Build());
    CRecordingObserver otherObserver;
    CReceiveScheduler here(m_home.Context(), m_tree, m_observer);
    CReceiveScheduler there(other.Context(), otherTree, otherObserver);
    here.ReceiveAll();
    there.ReceiveAll();
    here.Wait();
    there.Wait();

    int feeds = 0, items = 0;
    ASSERT_TRUE(m_store.GetTotals(feeds, items));
    EXPECT_EQ(std::make_pair(feeds, items), std::make_pair(1, 2)) << "a, less its deleted item";
    CFeedDatabase otherStore(other.Context());
    ASSERT_TRUE(Done(otherStore.OpenStore()));
    ASSERT_TRUE(otherStore.GetTotals(feeds, items));
    EXPECT_EQ(std::make_pair(feeds, items), std::make_pair(1, 3)) << "b, under no rule";
    EXPECT_FALSE(std::filesystem::exists(process.File("Storage")));
}

TEST_F(ReceiveSchedulerTest, AnEmptyDirectoryIsPassedOverWithoutAReport) {
    MakeTree({"a"});
    int empty = -1;
    ASSERT_TRUE(m_tree.AddDirectory(-1, "空目录", &empty));
    // Read back from its file, as the next start sees it.
    ASSERT_TRUE(m_tree.Build());
    empty = m_tree.FindByPath("空目录");
    ASSERT_GE(empty, 0);
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    EXPECT_EQ(m_observer.done.count(empty), 0u);
    EXPECT_EQ(m_observer.done.size(), 1u);
    EXPECT_TRUE(m_observer.done[m_tree.FindByPath("a")].first);
}

TEST_F(ReceiveSchedulerTest, ReceivedItemsReachTheSearchIndexAfterTheRound) {
    MakeTree({"a", "b"});
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    int64_t pending = -1;
    ASSERT_TRUE(Done(m_store.CatchUpSearchIndex(0, &pending)));
    EXPECT_EQ(pending, 0);
    ASSERT_TRUE(Done(m_store.Exec("DELETE FROM rss_data; DELETE FROM feed_validators;")));
    ASSERT_TRUE(scheduler.ReceiveChannel(m_tree.FindByPath("a")));
    scheduler.Wait();
    ASSERT_TRUE(Done(m_store.CatchUpSearchIndex(0, &pending)));
    EXPECT_EQ(pending, 0);
    int feeds = 0, items = 0;
    ASSERT_TRUE(m_store.GetTotals(feeds, items));
    EXPECT_EQ(items, 3);
    // Rows written elsewhere are folded in by the background catch-up.
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(m_tree.FindByPath("b"), feedId, m_store));
    FeedItem item;
    item.link = "http://elsewhere/1";
    item.title = "written elsewhere";
    ASSERT_TRUE(m_store.SaveReceivedItems(feedId, {item}, StorageRule::kKeepAll, 0));
    ASSERT_TRUE(m_store.CatchUpSearchIndex(0, &pending));
    EXPECT_EQ(pending, 1);
    scheduler.CatchUpSearchIndexInBackground();
    scheduler.Wait();
    ASSERT_TRUE(m_store.CatchUpSearchIndex(0, &pending));
    EXPECT_EQ(pending, 0);
}

TEST_F(ReceiveSchedulerTest, FailedFetchMarksTheChannelAndKeepsItsCount) {
    MakeTree({"a", "missing"});
    int missing = m_tree.FindByPath("missing");
    m_tree.SetUnreadCount(missing, 9);
    m_tree.SetRank(missing, 3, 30);
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    Tick(scheduler);
    EXPECT_EQ(m_tree.Record(missing).image, kImageFailed);
    EXPECT_EQ(m_tree.Record(missing).unreadCount, 9);
    EXPECT_EQ(m_tree.Record(missing).rankLevel, 3) << "weights stay after a failure";
    EXPECT_EQ(m_tree.Record(missing).rankCounter, 30);
    EXPECT_FALSE(m_observer.done[missing].first);
    EXPECT_TRUE(m_observer.done[m_tree.FindByPath("a")].first);
}

TEST_F(ReceiveSchedulerTest, WeightsDecideWhichChannelsEachTickReceives) {
    MakeTree({"l3", "l4", "l5", "always"});
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    int l3 = m_tree.FindByPath("l3"), l4 = m_tree.FindByPath("l4"), l5 = m_tree.FindByPath("l5");
    int always = m_tree.FindByPath("always");
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(always, feedId, m_store));
    ChannelRecord record = m_tree.Record(always);
    ChannelProperties properties{.title = record.title, .xmlUrl = record.xmlUrl, .rssRank = 5};
    ASSERT_TRUE(m_tree.SetChannelProperties(always, properties, m_store));
    m_tree.SetRank(l3, 3, 30);
    m_tree.SetRank(l4, 4, 60);
    m_tree.SetRank(l5, 5, 120);

    std::vector<int> l4Hits, l5Hits;
    for (int tick = 1; tick <= 6; ++tick) {
        Tick(scheduler);
        if (tick == 1) {
            EXPECT_EQ(Hits("l3"), 1) << "30 - 10 = 20: received on the next tick";
        }
        l4Hits.push_back(Hits("l4"));
        l5Hits.push_back(Hits("l5"));
        MarkAllRead(); // nothing stays new, so received channels slow down
    }
    // Level 4 at 60 is skipped at 50 and 40 and received at 30; its new items lift it to
    // level 3 (counter 30), received again at once; nothing new then drops it back to 4.
    EXPECT_EQ(l4Hits, (std::vector<int>{0, 0, 1, 2, 2, 2}));
    EXPECT_EQ(l5Hits, (std::vector<int>{0, 0, 0, 0, 0, 1})) << "120: skipped five times";
    EXPECT_EQ(Hits("always"), 6) << "an always-receive channel comes every tick";
    EXPECT_EQ(m_tree.Record(l4).rankLevel, 4);
    EXPECT_EQ(m_tree.Record(l4).rankCounter, 40);
    EXPECT_EQ(m_tree.Record(l5).rankLevel, 4);
    EXPECT_EQ(m_tree.Record(l5).rankCounter, 60);
}

TEST_F(ReceiveSchedulerTest, NewItemsRaiseTheWeightAndQuietChannelsLoseIt) {
    MakeTree({"a"});
    int a = m_tree.FindByPath("a");
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    Tick(scheduler); // level 1 brings new items: stays at level 1
    EXPECT_EQ(m_tree.Record(a).rankLevel, 1);
    MarkAllRead();
    Tick(scheduler); // nothing new: level 2, counter 20
    EXPECT_EQ(m_tree.Record(a).rankLevel, 2);
    EXPECT_EQ(m_tree.Record(a).rankCounter, 20);
    Tick(scheduler); // 20 - 10 = 10: received again at once
    EXPECT_EQ(Hits("a"), 3);
    EXPECT_EQ(m_tree.Record(a).rankLevel, 3);
}

TEST_F(ReceiveSchedulerTest, ChannelsOutsideAllChannelsNeedTheDirectoryCommand) {
    MakeTree({"in", "out"}, "dir");
    int out = m_tree.FindByPath("dir/out");
    int feedId = 0;
    ASSERT_TRUE(m_tree.GetFeedId(out, feedId, m_store));
    ChannelRecord record = m_tree.Record(out);
    ChannelProperties properties{.title = record.title, .xmlUrl = record.xmlUrl, .autoUpdate = 0};
    ASSERT_TRUE(m_tree.SetChannelProperties(out, properties, m_store));
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    Tick(scheduler);
    scheduler.ReceiveBranch(m_tree.FindByPath("dir"));
    scheduler.Wait();
    EXPECT_EQ(Hits("out"), 0);
    EXPECT_EQ(Hits("in"), 3);
    scheduler.ReceiveBranch(m_tree.FindByPath("dir"), {.takeEvery = true});
    scheduler.Wait();
    EXPECT_EQ(Hits("out"), 1);
}

TEST_F(ReceiveSchedulerTest, FetchesRunSeveralAtOnceButBounded) {
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i)
        names.push_back("c" + std::to_string(i));
    MakeTree(names);
    m_delayMs = 150;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.SetConcurrency(4);
    scheduler.ReceiveAll();
    EXPECT_TRUE(scheduler.IsBusy());
    scheduler.Wait();
    EXPECT_FALSE(scheduler.IsBusy());
    EXPECT_GT(m_maxConcurrent, 1);
    EXPECT_LE(m_maxConcurrent, 4);
    EXPECT_EQ(m_observer.done.size(), 12u);
}

TEST_F(ReceiveSchedulerTest, ShutdownAbortsAWalkWithoutTouchingTheStore) {
    MakeTree({"s1", "s2", "s3"});
    m_delayMs = 2000;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    scheduler.Shutdown();
    for (int channel : m_tree.AllChannels()) {
        int unread = -1;
        m_store.GetUnreadCount(m_tree.Record(channel).feedId, unread);
        EXPECT_EQ(unread, 0);
    }
    for (const std::string& event : m_observer.Events())
        EXPECT_NE(event, "end") << "a stopped walk does not announce its end";
}

TEST_F(ReceiveSchedulerTest, LargeFeedsAreReadWhileMergedWithinTheByteBudget) {
    MakeTree({"l1", "l2", "l3"});
    m_itemCount = 1234; // three parts of the merge
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    // Every answer is "large", and one answer alone fills the budget: the walk goes on one
    // feed at a time and still receives them all.
    scheduler.SetReadAheadLimit(0);
    scheduler.SetByteBudget(1);
    scheduler.ReceiveAll();
    scheduler.Wait();
    ASSERT_EQ(m_observer.done.size(), 3u);
    for (int channel : m_tree.AllChannels()) {
        EXPECT_EQ(m_observer.done[channel], std::make_pair(true, 1234));
        std::vector<FeedItem> items;
        int total = 0;
        ASSERT_TRUE(m_store.GetItemPage(m_tree.Record(channel).feedId, ItemFilter::kAll, true,
                                        items, total, 2, 0));
        EXPECT_EQ(total, 1234);
        // The feed's first item on top, as with a feed read whole.
        const std::string name = m_tree.Record(channel).title;
        EXPECT_EQ(items.at(0).link, "http://x/" + name + "/0");
        EXPECT_EQ(items.at(1).link, "http://x/" + name + "/1");
    }
}

TEST_F(ReceiveSchedulerTest, AChannelRemovedWhileItIsReceivedGetsNoItems) {
    MakeTree({"gone", "kept"});
    m_delayMs = 400;
    const int gone = m_tree.FindByPath("gone");
    const int kept = m_tree.FindByPath("kept");
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    // The fetches are under way when the channel goes from the store.
    for (int i = 0; i < 100 && Hits("gone") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int feedId = m_tree.Record(gone).feedId;
    ASSERT_NE(feedId, 0);
    ASSERT_TRUE(m_store.DeleteFeeds({feedId}));
    scheduler.Wait();
    EXPECT_FALSE(m_observer.done[gone].first);
    EXPECT_TRUE(m_observer.done[kept].first);
    int total = -1, unread = -1;
    ASSERT_TRUE(m_store.GetFeedCounts(feedId, total, unread));
    EXPECT_EQ(total, 0) << "no items without their channel";
}

TEST(ReceiveSchedulerTimer, PeriodsAndChanges) {
    ChannelTreeOptions off;
    off.autoReceive = 0;
    ChannelTreeOptions weight = off;
    weight.autoReceive = 1;
    weight.autoReceiveType = ReceiveMode::kByWeight;
    ChannelTreeOptions every = weight;
    every.autoReceiveType = ReceiveMode::kEvery;
    every.autoReceiveMinutes = 30;
    ChannelTreeOptions every15 = every;
    every15.autoReceiveMinutes = 15;
    using Change = CReceiveScheduler::TimerChange;
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(off, weight), Change::kStart);
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(weight, off), Change::kStop);
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(weight, every), Change::kStart);
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(every, every15), Change::kStart);
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(every, every), Change::kNone);
    EXPECT_EQ(CReceiveScheduler::TimerChangeFor(off, off), Change::kNone);
    EXPECT_EQ(CReceiveScheduler::WeightOfLevel(1), 10);
    EXPECT_EQ(CReceiveScheduler::WeightOfLevel(4), 60);
    EXPECT_EQ(CReceiveScheduler::WeightOfLevel(5), 120);
}

TEST_F(ReceiveSchedulerTest, AThousandReceivesLeaveNoThreadsBehind) {
    MakeTree({"t0", "t1", "t2", "t3"});
    std::vector<int> channels = m_tree.AllChannels();
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    // The test server starts its pool of threads just after it reports running: once it has
    // answered a receive they are all there, and only then are the threads counted.
    ASSERT_TRUE(scheduler.ReceiveChannel(channels[0]));
    scheduler.Wait();
    m_observer.Clear();
    {
        std::lock_guard lock(m_lock);
        m_hits.clear();
    }
    const int threadsBefore = ThreadCount();
    const long vmBefore = StatusKb("VmSize");
    int mostThreads = threadsBefore;
    int mostWorkers = 0;
    long mostVm = vmBefore;
    for (int i = 0; i < 1000; ++i) {
        // A channel still being received is refused; it is asked again until it starts.
        while (!scheduler.ReceiveChannel(channels[i % channels.size()]))
            std::this_thread::yield();
        mostThreads = std::max(mostThreads, ThreadCount());
        mostVm = std::max(mostVm, StatusKb("VmSize"));
        mostWorkers = std::max(mostWorkers, scheduler.WorkerCount());
    }
    scheduler.Wait();
    // A joined thread wakes its joiner before the kernel has taken it off the process's list:
    // the last one may be listed for a moment after Wait() returns.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ThreadCount() > threadsBefore && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_EQ(scheduler.WorkerCount(), 0);
    // Four channels: each has at most one receive fetching; a worker that has let its channel
    // go may still be reporting, folding the search index's queue in or closing its store while
    // the next receive of that channel runs, and ended workers are joined as new ones start. On
    // a slow machine (under the sanitizers) a few dozen of those may overlap, never hundreds.
    EXPECT_LE(mostWorkers, 40);
    EXPECT_LE(mostThreads, threadsBefore + 40);
    // A thread that ended but was never joined keeps its 8 MB stack: a thousand of them would
    // take 8 GB of address space before Wait() joins them.
    EXPECT_LT(mostVm - vmBefore, 2 * 1024 * 1024) << "kB before: " << vmBefore;
    EXPECT_EQ(Hits("t0") + Hits("t1") + Hits("t2") + Hits("t3"), 1000);
    EXPECT_EQ(m_observer.done.size(), 4u);
    for (const auto& [index, done] : m_observer.done)
        EXPECT_TRUE(done.first) << index;
}

TEST_F(ReceiveSchedulerTest, WhatIsStillRunningIsNotStartedAgain) {
    MakeTree({"quiet", "busy"});
    const int quiet = m_tree.FindByPath("quiet");
    const int busy = m_tree.FindByPath("busy");
    m_tree.SetRank(quiet, 4, 60);
    m_delayMs = 300;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    ASSERT_TRUE(scheduler.ReceiveChannel(busy));
    EXPECT_FALSE(scheduler.ReceiveChannel(busy)) << "the channel is still being received";
    scheduler.Wait();
    EXPECT_EQ(Hits("busy"), 1);
    EXPECT_TRUE(scheduler.ReceiveAllByWeight());
    EXPECT_FALSE(scheduler.ReceiveAllByWeight()) << "the first walk still runs";
    scheduler.Wait();
    EXPECT_EQ(m_tree.Record(quiet).rankCounter, 50) << "one tick counts the weight down once";
    const std::vector<std::string> events = m_observer.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 1);
    EXPECT_EQ(Hits("busy"), 2);
    EXPECT_TRUE(scheduler.ReceiveAllByWeight()) << "the next tick starts again";
    scheduler.Wait();
}

TEST_F(ReceiveSchedulerTest, AFailureCarriesItsReasonAndTheStoredUnreadCount) {
    MakeTree({"a", "missing"});
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    // A tree built anew (as the cli builds one for each command) has counted nothing yet.
    CChannelTree fresh(m_home.Context());
    ASSERT_TRUE(fresh.Build());
    const int a = fresh.FindByPath("a");
    const int missing = fresh.FindByPath("missing");
    CReceiveScheduler again(m_home.Context(), fresh, m_observer);
    m_observer.Clear();
    m_itemCount = 5;
    BreakTable(m_store.GetPath(), "rss_data", "INSERT");
    again.ReceiveAll();
    again.Wait();

    using Outcome = ChannelReceiveResult::Outcome;
    const ChannelReceiveResult notFound = m_observer.results[missing];
    EXPECT_EQ(notFound.outcome, Outcome::kFetchFailed);
    EXPECT_EQ(notFound.reason, "HTTP 404 (页面不存在)");
    const ChannelReceiveResult full = m_observer.results[a];
    EXPECT_EQ(full.outcome, Outcome::kStoreFailed);
    EXPECT_EQ(full.reason.rfind("数据库出错: ", 0), 0u) << full.reason;
    EXPECT_NE(full.reason.find("database or disk is full"), std::string::npos) << full.reason;
    EXPECT_EQ(full.unread, 3) << "the items stored before are still unread";
    EXPECT_EQ(fresh.Record(a).image, kImageFailed);
    EXPECT_EQ(fresh.Record(a).receiveError, full.reason);

    m_observer.Clear();
    ASSERT_TRUE(again.ReceiveChannel(missing, {.byHand = true}));
    again.Wait();
    EXPECT_TRUE(m_observer.results[missing].byHand);
    EXPECT_EQ(m_observer.results[missing].reason, "HTTP 404 (页面不存在)");
}

TEST_F(ReceiveSchedulerTest, UnreadableSettingsRemoveNothing) {
    MakeTree({"a"});
    const int a = m_tree.FindByPath("a");
    m_itemCount = 6;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    const std::string settings = m_home.File("config/appConfig.xml");
    const std::string broken = ReadAll(settings).substr(0, 200);
    WriteAll(settings, broken);
    m_reporter.errors.clear();
    m_reporter.messages.clear();
    CChannelTree tree(m_home.Context());
    ASSERT_TRUE(tree.Build());
    EXPECT_TRUE(tree.Options().settingsUnreadable);
    CReceiveScheduler again(m_home.Context(), tree, m_observer);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrSettingsLoad}) << "reported once";
    EXPECT_TRUE(m_reporter.messages.empty());

    // The built-in rule would keep only the 3 items the feed lists now.
    m_itemCount = 3;
    again.ReceiveAll();
    again.Wait();
    EXPECT_TRUE(m_observer.done[tree.FindByPath("a")].first);
    std::vector<FeedItem> items;
    int total = 0;
    ASSERT_TRUE(
        m_store.GetItemPage(m_tree.Record(a).feedId, ItemFilter::kAll, false, items, total, 0, 0));
    EXPECT_EQ(total, 6) << "nothing is removed under a rule nobody chose";
    EXPECT_EQ(ReadAll(settings), broken) << "the damaged file is left for the user";
}

TEST_F(ReceiveSchedulerTest, AStoreThatCannotBeOpenedFailsEveryChannelWithItsReason) {
    MakeTree({"a", "b"});
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.SetStorePath(m_home.File("Storage")); // a folder, not a database
    scheduler.ReceiveAll();
    scheduler.Wait();
    ASSERT_EQ(m_observer.results.size(), 2u);
    for (const auto& [index, result] : m_observer.results) {
        EXPECT_EQ(result.outcome, ChannelReceiveResult::Outcome::kStoreFailed);
        EXPECT_EQ(result.reason.rfind("数据库出错: ", 0), 0u) << result.reason;
        EXPECT_GT(result.reason.size(), 7u) << "with the store's own words";
    }
    m_observer.Clear();
    const int a = m_tree.FindByPath("a");
    ASSERT_TRUE(scheduler.ReceiveChannel(a, {.byHand = true}));
    scheduler.Wait();
    EXPECT_EQ(m_observer.results[a].outcome, ChannelReceiveResult::Outcome::kStoreFailed);
    EXPECT_EQ(Hits("a"), 0);
}

namespace {

// Loopback hosts (127.0.0.2, ...) for the polite-receiving cases: each server counts its own
// fetches under way and answers by the path's name.
class PoliteHost {
public:
    using Answer = std::function<void(const std::string& name, httplib::Response&)>;
    PoliteHost(const std::string& address, Answer answer) : m_answer(std::move(answer)) {
        m_server.Server().Get(R"(/(\w+))",
                              [this](const httplib::Request& request, httplib::Response& response) {
                                  const std::string name = request.matches[1];
                                  const int now = ++m_concurrent;
                                  {
                                      std::lock_guard lock(m_lock);
                                      m_hits[name].push_back(std::chrono::steady_clock::now());
                                      m_maxConcurrent = std::max(m_maxConcurrent, now);
                                  }
                                  if (hold)
                                      hold();
                                  --m_concurrent;
                                  m_answer(name, response);
                              });
        m_server.Start(address);
    }
    ~PoliteHost() { m_server.Stop(); }
    std::string Url(const std::string& name) const { return m_server.Url("/" + name); }
    int Hits(const std::string& name) {
        std::lock_guard lock(m_lock);
        return static_cast<int>(m_hits[name].size());
    }
    std::chrono::steady_clock::time_point HitAt(const std::string& name, size_t n) {
        std::lock_guard lock(m_lock);
        return m_hits[name].at(n);
    }
    int MaxConcurrent() {
        std::lock_guard lock(m_lock);
        return m_maxConcurrent;
    }
    std::function<void()> hold; // runs inside every request, before the answer

private:
    Answer m_answer;
    loopback::CHttpServer m_server;
    std::atomic<int> m_concurrent{0};
    std::mutex m_lock;
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> m_hits;
    int m_maxConcurrent = 0;
};

void AnswerFeed(const std::string& name, httplib::Response& response) {
    response.set_content(Feed(name, 2), "application/rss+xml");
}

void WriteTree(CTempHome& home, const std::vector<std::pair<std::string, std::string>>& channels) {
    std::string body;
    for (const auto& [title, url] : channels)
        body += "<outline title=\"" + title + "\" xmlUrl=\"" + url + "\"/>";
    WriteAll(home.File("Storage/rssreader.opml"), "<opml><body>" + body + "</body></opml>");
}

} // namespace

TEST_F(ReceiveSchedulerTest, AHostGetsTwoFetchesAtOnceWhileTheOthersGoOn) {
    PoliteHost busy("127.0.0.2", AnswerFeed);
    PoliteHost other("127.0.0.3", AnswerFeed);
    // busy's fetches stay open until two of them are open at once and other has answered
    // twice: without the per-host limit all six fetchers sit on busy and other waits behind
    // them. (Waiting for the second fetch keeps a slow start of the fetchers from passing for
    // a limit of one.)
    std::atomic<bool> overlapped{false};
    const auto otherHits = [&] { return other.Hits("o0") + other.Hits("o1") + other.Hits("o2"); };
    busy.hold = [&] {
        for (int i = 0; i < 1000 && (otherHits() < 2 || busy.MaxConcurrent() < 2); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (otherHits() >= 2)
            overlapped = true;
    };
    std::vector<std::pair<std::string, std::string>> channels;
    for (int i = 0; i < 6; ++i)
        channels.push_back({"b" + std::to_string(i), busy.Url("b" + std::to_string(i))});
    for (int i = 0; i < 3; ++i)
        channels.push_back({"o" + std::to_string(i), other.Url("o" + std::to_string(i))});
    WriteTree(m_home, channels);
    ASSERT_TRUE(m_tree.Build());
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    EXPECT_EQ(busy.MaxConcurrent(), 2) << "the setting's default";
    EXPECT_TRUE(overlapped);
    EXPECT_EQ(m_observer.done.size(), 9u);
    for (const auto& [index, done] : m_observer.done)
        EXPECT_TRUE(done.first) << m_tree.Record(index).title;
}

TEST_F(ReceiveSchedulerTest, RetryAfterHoldsBackTheHostForAWalkOrLonger) {
    std::atomic<int> waitSeconds{3600};
    PoliteHost host("127.0.0.4", [&](const std::string& name, httplib::Response& response) {
        if (name == "busy") {
            response.status = 429;
            response.set_header("Retry-After", std::to_string(waitSeconds.load()));
            return;
        }
        AnswerFeed(name, response);
    });
    WriteTree(m_home, {{"busy", host.Url("busy")}, {"x", host.Url("x")}, {"y", host.Url("y")}});
    ASSERT_TRUE(m_tree.Build());
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.SetFetchesPerHost(1);
    scheduler.ReceiveAll();
    scheduler.Wait();
    // An hour is longer than a walk waits: the host's other channels fail at once, unasked,
    // and so does the next walk.
    EXPECT_EQ(host.Hits("busy"), 1);
    EXPECT_EQ(host.Hits("x") + host.Hits("y"), 0);
    const int x = m_tree.FindByPath("x");
    EXPECT_NE(m_observer.results[x].reason.find("Retry-After"), std::string::npos)
        << m_observer.results[x].reason;
    EXPECT_NE(m_observer.results[m_tree.FindByPath("busy")].reason.find("429"), std::string::npos);
    scheduler.ReceiveAll();
    scheduler.Wait();
    EXPECT_EQ(host.Hits("busy") + host.Hits("x") + host.Hits("y"), 1);

    // A short wait is waited out within the walk.
    waitSeconds = 1;
    CReceiveScheduler fresh(m_home.Context(), m_tree, m_observer);
    fresh.SetFetchesPerHost(1);
    fresh.ReceiveAll();
    fresh.Wait();
    ASSERT_EQ(host.Hits("busy"), 2);
    ASSERT_EQ(host.Hits("x"), 1);
    EXPECT_GE(host.HitAt("x", 0) - host.HitAt("busy", 1), std::chrono::milliseconds(900));
    EXPECT_TRUE(m_observer.done[x].first);
}

TEST_F(ReceiveSchedulerTest, APermanentMoveIsTakenOverAfterThreeReceivesThatAgree) {
    loopback::CHttpServer server;
    server.Server().Get("/old", [](const httplib::Request&, httplib::Response& response) {
        response.status = 301;
        response.set_header("Location", "/mid");
    });
    server.Server().Get("/mid", [](const httplib::Request&, httplib::Response& response) {
        response.status = 308;
        response.set_header("Location", "/new");
    });
    server.Server().Get("/moving", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302; // a temporary move is never written back
        response.set_header("Location", "/new");
    });
    server.Server().Get("/new", [](const httplib::Request&, httplib::Response& response) {
        AnswerFeed("new", response);
    });
    server.Start();
    WriteTree(m_home, {{"old", server.Url("/old")}, {"tmp", server.Url("/moving")}});
    ASSERT_TRUE(m_tree.Build());
    const int old = m_tree.FindByPath("old");
    const int tmp = m_tree.FindByPath("tmp");
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    for (int round = 1; round <= 3; ++round) {
        EXPECT_EQ(m_tree.Record(old).xmlUrl, server.Url("/old")) << "before receive " << round;
        scheduler.ReceiveAll();
        scheduler.Wait();
        EXPECT_TRUE(m_observer.done[old].first);
    }
    EXPECT_EQ(m_tree.Record(old).xmlUrl, server.Url("/new"));
    EXPECT_EQ(m_tree.Record(tmp).xmlUrl, server.Url("/moving"));
    EXPECT_NE(ReadAll(m_home.File("Storage/rssreader.opml")).find(server.Url("/new")),
              std::string::npos);
    // The store row moved with it: the items stay the channel's.
    FeedSettings settings;
    ASSERT_TRUE(m_store.GetFeedSettings(server.Url("/new"), settings));
    EXPECT_EQ(settings.feedId, m_tree.Record(old).feedId);
    int unread = 0;
    ASSERT_TRUE(m_store.GetUnreadCount(settings.feedId, unread));
    EXPECT_EQ(unread, 2);
}

TEST_F(ReceiveSchedulerTest, AGoneChannelLeavesWalksUntilReceivedByHand) {
    std::atomic<bool> back{false};
    PoliteHost host("127.0.0.5", [&](const std::string& name, httplib::Response& response) {
        if (name == "gone" && !back) {
            response.status = 410;
            return;
        }
        AnswerFeed(name, response);
    });
    WriteTree(m_home, {{"gone", host.Url("gone")}, {"live", host.Url("live")}});
    ASSERT_TRUE(m_tree.Build());
    const int gone = m_tree.FindByPath("gone");
    {
        CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
        scheduler.ReceiveAll();
        scheduler.Wait();
        EXPECT_TRUE(m_tree.Record(gone).gone);
        EXPECT_EQ(m_tree.Record(gone).receiveError, CReasonText::Text(Reason::kFeedGoneForGood));
        scheduler.ReceiveAll();
        scheduler.Wait();
        EXPECT_EQ(host.Hits("gone"), 1);
        EXPECT_EQ(host.Hits("live"), 2);
    }
    // Noted in the store: a tree read again knows it.
    CChannelTree again(m_home.Context());
    ASSERT_TRUE(again.Build());
    const int goneAgain = again.FindByPath("gone");
    int feedId = 0;
    ASSERT_TRUE(again.GetFeedId(goneAgain, feedId, m_store));
    EXPECT_TRUE(again.Record(goneAgain).gone);
    CReceiveScheduler scheduler(m_home.Context(), again, m_observer);
    back = true;
    ASSERT_TRUE(scheduler.ReceiveChannel(goneAgain, {.byHand = true}));
    scheduler.Wait();
    EXPECT_FALSE(again.Record(goneAgain).gone);
    scheduler.ReceiveAll();
    scheduler.Wait();
    EXPECT_EQ(host.Hits("gone"), 3);
}

TEST_F(ReceiveSchedulerTest, RulesActOnTheItemsThatComeNewAndOnlyWhereTheyReach) {
    MakeTree({"a", "b"});
    const int a = m_tree.FindByPath("a");
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    CRssFavorites favorites(m_home.Context());
    ASSERT_TRUE(favorites.Build());
    int box = -1;
    ASSERT_TRUE(favorites.AddBox(-1, "留存", "", m_store, &box));
    CFeedRules rules(CFeedRules::DefaultPath(m_home.Context()));
    std::string error;
    ASSERT_TRUE(rules.Load(error)) << error;
    ASSERT_EQ(rules.Add({.pattern = "A 1"}), ""); // "a 1" is stored already: it stays unread
    ASSERT_EQ(rules.Add({.pattern = "a 3"}), "");
    ASSERT_EQ(
        rules.Add({.match = RuleMatch::kRegex, .pattern = "^a 4$", .action = RuleAction::kDelete}),
        "");
    ASSERT_EQ(rules.Add({.scope = RuleScope::kChannel,
                         .scopePath = "a",
                         .pattern = " 5",
                         .action = RuleAction::kCopyToFavorites,
                         .box = "留存"}),
              "");
    ASSERT_EQ(rules.Add({.pattern = "5", .action = RuleAction::kMarkImportant}), "");
    m_itemCount = 6;
    scheduler.ReceiveAll();
    scheduler.Wait();

    std::vector<FeedItem> items;
    int total = 0;
    ASSERT_TRUE(m_store.GetItemPage(m_tree.Record(a).feedId, ItemFilter::kAll, false, items, total,
                                    100, 0));
    std::vector<std::string> stored;
    for (const FeedItem& item : items)
        stored.push_back(item.title + (item.isRead ? " read" : "") +
                         (item.isImportant ? " important" : ""));
    EXPECT_EQ(stored, (std::vector<std::string>{"a 3 read", "a 5 important", "a 0", "a 1", "a 2"}));
    EXPECT_EQ(m_observer.done[a].second, 2) << "a dropped item is not counted as new";
    std::vector<FeedItem> copied;
    ASSERT_TRUE(favorites.Items(box, copied, m_store));
    ASSERT_EQ(copied.size(), 1u) << "b 5 is outside the rule's channel";
    EXPECT_EQ(copied[0].title, "a 5");
    EXPECT_EQ(copied[0].isImportant, 1) << "the copy keeps the mark";

    EXPECT_EQ(CRuleFilter::CountHits({.pattern = "A "}, m_tree, m_store, error), 5);
    EXPECT_EQ(
        CRuleFilter::CountHits({.scope = RuleScope::kChannel, .scopePath = "b", .pattern = "5"},
                               m_tree, m_store, error),
        1);
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(ReceiveSchedulerTest, ARoundCountsItsChannelsAndAnnouncesOnceAtTheEnd) {
    MakeTree({"r1", "r2", "r3", "missing"});
    // r1 and missing ask to be announced; r2 does not.
    for (const char* name : {"r1", "missing"}) {
        const int index = m_tree.FindByPath(name);
        ChannelProperties properties{.title = name, .xmlUrl = Url(name), .newItemShowTip = 1};
        ASSERT_TRUE(m_tree.SetChannelProperties(index, properties, m_store));
    }
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    ASSERT_EQ(m_observer.Rounds(), 1);
    const ReceiveProgress& end = m_observer.rounds.front();
    EXPECT_EQ(end.total, 4);
    EXPECT_EQ(end.done, 4);
    EXPECT_EQ(end.newItems, 9);
    EXPECT_EQ(end.failed, 1);
    EXPECT_FALSE(end.running);
    EXPECT_EQ(end.Text(), "收取完成: 4 个频道 · 9 个新条目 · 1 个失败");
    // While it ran the counts only grew, and every step was shown.
    ASSERT_FALSE(m_observer.progressSeen.empty());
    for (size_t i = 1; i < m_observer.progressSeen.size(); ++i)
        EXPECT_GE(m_observer.progressSeen[i].done, m_observer.progressSeen[i - 1].done);
    EXPECT_EQ(m_observer.progressSeen.back().Text(), "正在收取 4/4 · 9 个新条目 · 1 个失败");
    ASSERT_EQ(m_observer.announced.front().size(), 1u);
    EXPECT_EQ(m_observer.announced.front()[0].index, m_tree.FindByPath("r1"));
    EXPECT_EQ(m_observer.announced.front()[0].newItems, 3);

    // A walk that brings nothing new announces nothing; one channel asked for by hand is
    // announced while it holds unread items, as it always was.
    m_observer.Clear();
    scheduler.ReceiveAll();
    scheduler.Wait();
    ASSERT_EQ(m_observer.Rounds(), 1);
    EXPECT_TRUE(m_observer.announced.front().empty());
    m_itemCount = 4;
    ASSERT_TRUE(scheduler.ReceiveChannel(m_tree.FindByPath("r1"), {.byHand = true}));
    scheduler.Wait();
    ASSERT_EQ(m_observer.Rounds(), 2);
    EXPECT_EQ(m_observer.rounds[1].total, 1);
    ASSERT_EQ(m_observer.announced[1].size(), 1u);
    EXPECT_EQ(m_observer.announced[1][0].unread, 4);
    EXPECT_EQ(m_observer.announced[1][0].newItems, 1);
}

TEST_F(ReceiveSchedulerTest, AStoppedRoundLeavesTheRestAsTheyWereAndTheNextOneRuns) {
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i)
        names.push_back("p" + std::to_string(i));
    MakeTree(names);
    m_delayMs = 400;
    CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
    scheduler.SetConcurrency(1);
    scheduler.ReceiveAll();
    ASSERT_TRUE(WaitFor([&] { return Hits("p1") > 0; }, 10000));
    scheduler.StopRound();
    scheduler.Wait();
    ASSERT_EQ(m_observer.Rounds(), 1);
    const ReceiveProgress end = m_observer.rounds.front();
    EXPECT_TRUE(end.stopped);
    EXPECT_EQ(end.total, 6);
    EXPECT_LT(end.done, 6);
    EXPECT_EQ(end.failed, 0) << "a stop is no failure";
    EXPECT_EQ(Hits("p5"), 0);
    for (const std::string& name : names) {
        const ChannelRecord record = m_tree.Record(m_tree.FindByPath(name));
        EXPECT_TRUE(record.receiveError.empty()) << name;
        EXPECT_NE(record.image, kImageFailed) << name;
        EXPECT_NE(record.image, kImageReceiving) << name;
    }
    // The stop belonged to that round: the next receive goes through.
    m_delayMs = 0;
    m_observer.Clear();
    ASSERT_TRUE(scheduler.ReceiveChannel(m_tree.FindByPath("p5")));
    scheduler.Wait();
    ASSERT_EQ(m_observer.Rounds(), 1);
    EXPECT_FALSE(m_observer.rounds.front().stopped);
    EXPECT_EQ(m_observer.rounds.front().done, 1);
    EXPECT_EQ(Hits("p5"), 1);
}
