// Receiving every channel again and again while the user marks items read, cleans old items and
// compacts the store, each on a thread and connection of its own as the windows and the vacuum
// tool do: no operation fails, and no mark is lost.
#include "platform/LoopbackServer.h"
#include "reader/ChannelTree.h"
#include "reader/FeedDate.h"
#include "reader/ReceiveScheduler.h"
#include "reader/RecordingObserver.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Each fetch lists ten items it has not listed before and the ten of the fetch before: half of
// them dated long ago (cleaning takes those once read), half today.
std::string Feed(const std::string& name, int round) {
    std::string xml = "<rss version=\"2.0\"><channel><title>" + name + "</title>";
    for (int r = std::max(0, round - 1); r <= round; ++r)
        for (int i = 0; i < 10; ++i)
            xml += "<item><title>" + name + std::to_string(i) + "</title><link>http://a.example/" +
                   name + "/" + std::to_string(r) + "/" + std::to_string(i) + "</link><pubDate>" +
                   (i % 2 ? "Tue, 07 Mar 2006 09:05:00 GMT" : CFeedDate::Now()) +
                   "</pubDate></item>";
    return xml + "</channel></rss>";
}

} // namespace

TEST(ConcurrentUse, ReceivingWhileTheUserMarksCleansAndCompacts) {
    CTempHome home;
    CRecordingReporter reporter;
    SetReporter(&reporter); // every thread's reports, not only this one's
    std::atomic<int> round{0};
    loopback::CHttpServer server;
    server.Server().Get(R"(/feed/(\w+))", [&](const httplib::Request& q, httplib::Response& r) {
        r.set_content(Feed(q.matches[1], round), "application/rss+xml");
    });
    server.Start();
    std::string body;
    for (const char* name : {"a", "b", "c"})
        body += std::string("<outline title=\"") + name + "\" xmlUrl=\"" +
                server.Url(std::string("/feed/") + name) + "\"/>";
    WriteAll(home.File("Storage/rssreader.opml"), "<opml><body>" + body + "</body></opml>");
    CChannelTree tree(home.Context());
    ASSERT_TRUE(tree.Build());
    CRecordingObserver observer;
    CReceiveScheduler scheduler(home.Context(), tree, observer);
    scheduler.ReceiveAll();
    scheduler.Wait();
    std::vector<int> feedIds;
    CFeedDatabase first(home.Context());
    ASSERT_TRUE(Done(first.OpenStore()));
    for (int channel : tree.AllChannels()) {
        int feedId = 0;
        ASSERT_TRUE(tree.GetFeedId(channel, feedId, first));
        feedIds.push_back(feedId);
    }

    std::atomic<bool> receiving{true};
    std::atomic<int> userFailures{0};
    std::mutex markedLock;
    std::set<int> marked;
    std::thread reader([&] {
        CFeedDatabase store(home.Context());
        if (!store.OpenStore())
            ++userFailures;
        while (receiving) {
            for (int feedId : feedIds) {
                std::vector<FeedItem> items;
                int total = 0;
                if (!store.GetItemPage(feedId, ItemFilter::kUnread, false, items, total, 50, 0))
                    ++userFailures;
                for (const FeedItem& item : items) {
                    if (!store.SetItemRead(StoredItem(item.id), 1))
                        ++userFailures;
                    std::lock_guard lock(markedLock);
                    marked.insert(item.id);
                }
            }
        }
    });
    std::thread cleaner([&] {
        CFeedDatabase store(home.Context());
        if (!store.OpenStore())
            ++userFailures;
        while (receiving) {
            if (!store.CleanItems(feedIds, 30, false) || !store.CompactStore())
                ++userFailures;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    for (int i = 1; i <= 15; ++i) {
        round = i;
        scheduler.ReceiveAll();
        scheduler.Wait();
    }
    receiving = false;
    reader.join();
    cleaner.join();
    SetReporter(nullptr);

    EXPECT_EQ(userFailures, 0);
    EXPECT_TRUE(observer.failures.empty()) << observer.failures.front();
    EXPECT_EQ(observer.finished, 3 * 16);
    EXPECT_TRUE(reporter.errors.empty());
    EXPECT_TRUE(reporter.messages.empty()) << reporter.messages.front();
    CFeedDatabase store(home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    EXPECT_TRUE(Done(store.CheckIntegrity()));
    int lost = 0;
    for (int id : marked) {
        FeedItem item;
        if (store.GetItem(StoredItem(id), item) && item.isRead != 1)
            ++lost;
    }
    EXPECT_EQ(lost, 0) << "of " << marked.size() << " marks";
    EXPECT_GT(marked.size(), 30u);
}
