// Receiving from servers that misbehave in every way we know of: each channel ends within the
// limits the scheduler was given, fails with a reason that says what happened, and leaves no
// item in the store.
#include "platform/HostileServer.h"
#include "reader/ChannelTree.h"
#include "reader/RecordingObserver.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

// One item with a link; its title holds what the path puts there.
const std::string kHead = "<rss version=\"2.0\"><channel><title>t</title><item><title>";
const std::string kTail = "</title><link>http://a.example/1</link></item></channel></rss>";

std::string FeedBody(const std::string& path) {
    if (path == "/bomb")
        return hostile::EntityBomb(kHead, kTail);
    if (path == "/xxe")
        return hostile::ExternalEntity(kHead, kTail);
    if (path == "/encoding")
        return "<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?>" + hostile::Garbage(2000);
    if (path == "/utf16")
        return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + hostile::Garbage(2001);
    return kHead + "unexpected path " + path + kTail;
}

class FeedFaultInjection : public ::testing::Test {
protected:
    // One channel per path, named after it, all received at once.
    void ReceiveFrom(const std::vector<std::string>& paths) {
        std::string body;
        for (const std::string& path : paths)
            body +=
                "<outline title=\"" + path.substr(1) + "\" xmlUrl=\"" + m_server.Url(path) + "\"/>";
        WriteAll(m_home.File("Storage/rssreader.opml"), "<opml><body>" + body + "</body></opml>");
        ASSERT_TRUE(m_tree.Build());
        CReceiveScheduler scheduler(m_home.Context(), m_tree, m_observer);
        scheduler.SetConcurrency(static_cast<int>(paths.size()));
        scheduler.SetLimits({.connectTimeoutMs = 2000,
                             .totalTimeoutMs = 8000,
                             .lowSpeedBytesPerSecond = 16,
                             .lowSpeedTimeMs = 2000,
                             .maxBodyBytes = 256u << 10,
                             .maxRedirects = 4});
        scheduler.ReceiveAll();
        scheduler.Wait();
        ASSERT_TRUE(Done(m_store.OpenStore()));
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    hostile::CHostileServer m_server{FeedBody};
    CChannelTree m_tree{m_home.Context()};
    CRecordingObserver m_observer;
    CFeedDatabase m_store{m_home.Context()};
};

} // namespace

TEST_F(FeedFaultInjection, EveryMisbehaviourEndsWithItsReasonAndStoresNothing) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        // the path, and a regular expression the reason matches
        {"/silent", "^传输停滞|^服务器 [0-9.]+ 秒内没有回答"},
        {"/drip", "^传输停滞"},
        {"/cut", "^传输失败: "},
        {"/huge", "^回答超过 256 KB$"},
        {"/loop", "^重定向次数太多$"},
        {"/garbage", "^不是 feed"},
        {"/bomb", "^(不是 feed|feed 中没有条目)"},
        {"/encoding", "^(不是 feed|feed 中没有条目)"},
        {"/utf16", "^(不是 feed|feed 中没有条目)"},
        {"/html", "^不是 feed \\(text/html"},
        {"/503", "^HTTP 503 \\(服务暂时不可用\\)$"},
    };
    std::vector<std::string> paths;
    for (const auto& [path, reason] : cases)
        paths.push_back(path);
    ReceiveFrom(paths);
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const int index = m_tree.FindByPath(path.substr(1));
        ASSERT_TRUE(m_observer.results.count(index));
        const ChannelReceiveResult& result = m_observer.results[index];
        EXPECT_EQ(result.outcome, ChannelReceiveResult::Outcome::kFetchFailed);
        EXPECT_TRUE(std::regex_search(result.reason, std::regex(reason))) << result.reason;
        EXPECT_EQ(m_tree.Record(index).unreadCount, 0);
    }
    int feeds = 0, items = 0;
    ASSERT_TRUE(m_store.GetTotals(feeds, items));
    EXPECT_EQ(items, 0);
    EXPECT_TRUE(Done(m_store.CheckIntegrity()));
}

// A document that names the password file as an entity gets its item, without the file.
TEST_F(FeedFaultInjection, AnExternalEntityIsNeverRead) {
    ReceiveFrom({"/xxe"});
    std::vector<FeedItem> items;
    int count = 0;
    ASSERT_TRUE(m_store.GetAllUnread(items, count));
    for (const FeedItem& item : items) {
        EXPECT_EQ(item.title.find("root:"), std::string::npos) << item.title;
        EXPECT_EQ(item.description.find("root:"), std::string::npos);
    }
}
