// JSON Feed 1.0 and 1.1 read onto the same item fields as RSS and Atom, recognised by the type
// it is served as or by its version, and a JSON document that is no feed said to be none.

#include "platform/LoopbackServer.h"
#include "reader/FeedFetcher.h"
#include "reader/FeedParser.h"

#include <gtest/gtest.h>

using loopback::CHttpServer;

namespace {

// 1.1: authors lists, an item keyed by its id, text content, an external address, a summary.
const std::string kFeed11 = R"({
  "version": "https://jsonfeed.org/version/1.1",
  "title": "Json \u0093Notes\u0094",
  "home_page_url": "https://example.org/",
  "authors": [{"name": "Feed Writer"}],
  "items": [
    {"id": "1", "url": "/posts/1", "title": "First",
     "content_html": "<p>see <a href=\"other.html\">x</a></p>",
     "content_text": "not this", "date_published": "2024-03-07T09:05:00+08:00",
     "authors": [{"name": "Ann"}]},
    {"id": "tag:example.org,2024:2", "title": "Second\u0092s",
     "content_text": "a < b & <script>c</script>", "date_modified": "2024-03-08T10:00:00Z"},
    {"id": "3", "external_url": "https://elsewhere.example/3", "summary": "Only a summary",
     "date_published": "2024-03-09T11:00:00-05:00", "date_modified": "2024-04-01T00:00:00Z"}
  ]
})";

// 1.0: single author objects, the feed's author for an item without one.
const std::string kFeed10 = R"(  {"version": "https://jsonfeed.org/version/1", "title": "Old notes",
  "author": {"name": "Old Writer"},
  "items": [
    {"id": "a1", "url": "https://example.org/a1", "content_text": "x",
     "date_published": "2017-05-17T08:02:12-07:00", "author": {"name": "Bo"}},
    {"id": "a2", "content_html": "<b>y</b>"}
  ]})";

void Serve(CHttpServer& server, const std::string& path, const std::string& body,
           const std::string& type) {
    server.Server().Get(path, [body, type](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, type);
    });
}

class CCountingSink : public CFeedItemSink {
public:
    bool OnItems(std::vector<FeedItem>& items) override {
        parts.push_back(items.size());
        return true;
    }
    void OnRestart() override {}
    std::vector<size_t> parts;
};

} // namespace

TEST(JsonFeed, ReadsOneOneAndOneZeroWhateverTheyAreServedAs) {
    CHttpServer server;
    Serve(server, "/feeds/notes.json", kFeed11, "application/feed+json");
    Serve(server, "/feeds/notes.txt", kFeed11, "text/plain");
    Serve(server, "/old.json", kFeed10, "application/json");
    Serve(server, "/old.txt", kFeed10, "text/plain; charset=utf-8");
    server.Start();
    CFeedFetcher fetcher;

    for (const char* path : {"/feeds/notes.json", "/feeds/notes.txt"}) {
        SCOPED_TRACE(path);
        std::vector<FeedItem> items;
        FeedFetchResult result = fetcher.Fetch(server.Url(path), items);
        ASSERT_EQ(result.outcome, FeedFetchResult::Outcome::kItems) << result.errorText;
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0].title, "First");
        EXPECT_EQ(items[0].link, server.Url("/posts/1"));
        EXPECT_EQ(items[0].description,
                  "<p>see <a href=\"" + server.Url("/feeds/other.html") + "\">x</a></p>");
        EXPECT_EQ(items[0].author, "Ann");
        EXPECT_EQ(items[0].pubDate, "2024-03-07 09:05:00");
        // No url: the id is the key; C1 controls read as windows-1252; text escaped as HTML.
        EXPECT_EQ(items[1].link, "tag:example.org,2024:2");
        EXPECT_EQ(items[1].title, "Second’s");
        EXPECT_EQ(items[1].description.find("<script>"), std::string::npos);
        EXPECT_EQ(items[1].description.rfind("a &lt; b &amp; &lt;script&gt;c", 0), 0u)
            << items[1].description;
        EXPECT_EQ(items[1].author, "Feed Writer");
        EXPECT_EQ(items[1].pubDate, "2024-03-08 10:00:00");
        EXPECT_EQ(items[2].link, "https://elsewhere.example/3");
        EXPECT_EQ(items[2].title, "");
        EXPECT_EQ(items[2].description, "Only a summary");
        EXPECT_EQ(items[2].pubDate, "2024-03-09 11:00:00");
        EXPECT_EQ(fetcher.FetchFeedTitle(server.Url(path)), "Json “Notes”");
    }
    for (const char* path : {"/old.json", "/old.txt"}) {
        SCOPED_TRACE(path);
        std::vector<FeedItem> items;
        ASSERT_TRUE(fetcher.FetchFeedItems(server.Url(path), items));
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].author, "Bo");
        EXPECT_EQ(items[0].description, "x");
        EXPECT_EQ(items[0].pubDate, "2017-05-17 08:02:12");
        EXPECT_EQ(items[1].link, "a2");
        EXPECT_EQ(items[1].author, "Old Writer");
        EXPECT_EQ(items[1].description, "<b>y</b>");
        EXPECT_EQ(fetcher.FetchFeedTitle(server.Url(path)), "Old notes");
    }

    // Parsed whole, handed over in parts like the XML formats.
    CFeedParser parser;
    parser.SetContentType("application/feed+json");
    CCountingSink sink;
    ASSERT_TRUE(parser.ParseItems(kFeed11, sink, 2));
    EXPECT_EQ(sink.parts, (std::vector<size_t>{2, 1}));
    EXPECT_EQ(parser.GetFormat(), CFeedParser::Format::kJsonFeed);
}

TEST(JsonFeed, JsonThatIsNoFeedSaysWhy) {
    const std::string rss =
        "<rss version=\"2.0\"><channel><title>RSS as JSON</title><item>"
        "<title>i</title><link>http://example.com/i</link></item></channel></rss>";
    CHttpServer server;
    Serve(server, "/broken", R"({"version": "https://jsonfeed.org/version/1.1", "items": [{"id": )",
          "application/feed+json");
    Serve(server, "/api", R"({"data": [1, 2]})", "application/json");
    Serve(server, "/plain", R"({"title": "no version", "items": []})", "text/plain");
    Serve(server, "/deep", std::string(200000, '['), "application/json");
    Serve(server, "/empty", R"({"version": "https://jsonfeed.org/version/1.1", "items": []})",
          "application/feed+json");
    Serve(server, "/rss", rss, "application/json");
    server.Start();
    CFeedFetcher fetcher;

    const auto why = [&](const char* path) {
        std::vector<FeedItem> items;
        FeedFetchResult result = fetcher.Fetch(server.Url(path), items);
        EXPECT_EQ(result.outcome, FeedFetchResult::Outcome::kNoItems) << path;
        EXPECT_TRUE(items.empty()) << path;
        return result.errorText;
    };
    EXPECT_EQ(why("/broken"), "不是 feed (application/feed+json, JSON 格式错误 (第 66 字节))");
    EXPECT_EQ(why("/api"), "不是 feed (application/json, JSON 但不是 JSON Feed (缺少 version))");
    EXPECT_EQ(why("/plain"), "不是 feed (text/plain, JSON 但不是 JSON Feed (缺少 version))");
    EXPECT_EQ(why("/deep").rfind("不是 feed (application/json, JSON 格式错误 (第 ", 0), 0u);
    EXPECT_EQ(why("/empty"), "feed 中没有条目");
    EXPECT_EQ(fetcher.FetchFeedTitle(server.Url("/broken")), "");
    EXPECT_EQ(fetcher.FetchFeedTitle(server.Url("/api")), "");

    // An XML feed served as JSON is read as what it is.
    std::vector<FeedItem> items;
    ASSERT_TRUE(fetcher.FetchFeedItems(server.Url("/rss"), items));
    EXPECT_EQ(items.at(0).link, "http://example.com/i");
    EXPECT_EQ(fetcher.FetchFeedTitle(server.Url("/rss")), "RSS as JSON");
}
