// Receiving from servers that misbehave in every way we know of: each channel ends within the
// limits the scheduler was given, fails with a reason that says what happened, and leaves no
// item in the store.
#include "platform/HostileServer.h"
#include "reader/ChannelTree.h"
#include "reader/ReceiveScheduler.h"
#include "storage/FeedDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <regex>

namespace {

class CResultObserver : public CReceiveObserver {
public:
    void OnReceiveBegin(int) override {}
    void OnImageChanged(int, int) override {}
    void OnUnreadChanged(int, int) override {}
    void OnNewItems(int, int) override {}
    void OnReloadList(int) override {}
    void OnWalkEnd() override {}
    int SelectedItem() override { return -1; }
    void OnChannelDone(const ChannelReceiveResult& result) override {
        std::lock_guard lock(m_lock);
        results[result.index] = result;
    }
    std::mutex m_lock;
    std::map<int, ChannelReceiveResult> results;
};

// One item with a link, whose title holds what the case puts there.
std::string FeedAround(const std::string& payload) {
    return "<rss version=\"2.0\"><channel><title>t</title><item><title>" + payload +
           "</title><link>http://a.example/1</link></item></channel></rss>";
}

std::string FeedBody(const std::string& path) {
    if (path == "/bomb")
        return hostile::EntityBomb("<rss version=\"2.0\"><channel><title>t</title><item><title>",
                                   "</title>"
                                   "<link>http://a.example/1</link></item></channel></rss>");
    if (path == "/xxe")
        return hostile::ExternalEntity(
            "<rss version=\"2.0\"><channel><title>t</title><item><title>",
            "</title>"
            "<link>http://a.example/1</link></item></channel></rss>");
    if (path == "/encoding")
        return "<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?>" + hostile::Garbage(2000);
    if (path == "/utf16")
        return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + hostile::Garbage(2001);
    return FeedAround("unexpected path " + path);
}

struct Case {
    const char* path;
    const char* reason; // a regular expression the reason matches
};

} // namespace

TEST(FeedFaultInjection, EveryMisbehaviourEndsWithItsReasonAndStoresNothing) {
    const std::vector<Case> cases = {
        {"/silent", "^transfer stalled|^no answer within"},
        {"/drip", "^transfer stalled"},
        {"/cut", "^transfer failed: "},
        {"/huge", "^answer larger than 256 KB$"},
        {"/loop", "^too many redirects$"},
        {"/garbage", "^not a feed"},
        {"/bomb", "^(not a feed|no items in the feed)"},
        {"/encoding", "^(not a feed|no items in the feed)"},
        {"/utf16", "^(not a feed|no items in the feed)"},
        {"/html", "^not a feed \\(text/html"},
        {"/503", "^HTTP 503$"},
    };
    CTempHome home;
    CRecordingReporter reporter;
    CScopedReporter scope(reporter);
    hostile::CHostileServer server(FeedBody);

    std::string body;
    for (const Case& c : cases)
        body += std::string("<outline title=\"") + (c.path + 1) + "\" xmlUrl=\"" +
                server.Url(c.path) + "\"/>";
    WriteAll(home.File("Storage/rssreader.opml"), "<opml><body>" + body + "</body></opml>");
    CChannelTree tree;
    ASSERT_TRUE(tree.Build());

    CResultObserver observer;
    CReceiveScheduler scheduler(tree, observer);
    scheduler.SetConcurrency(static_cast<int>(cases.size()));
    scheduler.SetLimits({.connectTimeoutMs = 2000,
                         .totalTimeoutMs = 8000,
                         .lowSpeedBytesPerSecond = 16,
                         .lowSpeedTimeMs = 2000,
                         .maxBodyBytes = 256u << 10,
                         .maxRedirects = 4});
    scheduler.ReceiveAll();
    scheduler.Wait();

    CFeedDatabase store;
    ASSERT_EQ(store.OpenStore(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        int index = tree.FindByPath(c.path + 1);
        ASSERT_TRUE(observer.results.count(index));
        const ChannelReceiveResult& result = observer.results[index];
        EXPECT_EQ(result.outcome, ChannelReceiveResult::Outcome::kFetchFailed);
        EXPECT_TRUE(std::regex_search(result.reason, std::regex(c.reason))) << result.reason;
        EXPECT_EQ(tree.Record(index).unreadCount, 0);
    }
    int feeds = 0;
    int items = 0;
    ASSERT_EQ(store.GetTotals(feeds, items), 1);
    EXPECT_EQ(items, 0);
    EXPECT_EQ(store.CheckIntegrity(), 1) << store.GetLastError();
}

// A document that names the password file as an entity gets its item, without the file.
TEST(FeedFaultInjection, AnExternalEntityIsNeverRead) {
    CTempHome home;
    CRecordingReporter reporter;
    CScopedReporter scope(reporter);
    hostile::CHostileServer server(FeedBody);
    WriteAll(home.File("Storage/rssreader.opml"), "<opml><body><outline title=\"xxe\" xmlUrl=\"" +
                                                      server.Url("/xxe") + "\"/></body></opml>");
    CChannelTree tree;
    ASSERT_TRUE(tree.Build());
    CResultObserver observer;
    CReceiveScheduler scheduler(tree, observer);
    scheduler.ReceiveAll();
    scheduler.Wait();

    CFeedDatabase store;
    ASSERT_EQ(store.OpenStore(), 1);
    std::vector<FeedItem> items;
    int count = 0;
    ASSERT_EQ(store.GetAllUnread(items, count), 1);
    for (const FeedItem& item : items) {
        EXPECT_EQ(item.title.find("root:"), std::string::npos) << item.title;
        EXPECT_EQ(item.description.find("root:"), std::string::npos);
    }
}
