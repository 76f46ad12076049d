// The project's own small feed set (tests/data/feeds): one document of each kind the reader
// meets (RSS 2.0, RSS 1.0, Atom 1.0, a GB2312 document, a broken one and no feed at all), read
// from files as receiving reads them. Unlike the shared corpus (FeedCorpusTest) these files are
// part of the source tree, so the tests run in every clone; a missing file fails them.
#include "platform/text/TextCodec.h"
#include "reader/FeedDate.h"
#include "reader/FeedParser.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A feed date as the parser stores it.
std::string Date(std::string text) {
    CFeedDate::Normalize(text);
    return text;
}

struct Sample {
    const char* file;
    CFeedParser::Format format;
    bool lenient;
    std::string title;
    size_t items;
    FeedItem first; // the first item; of a mended document only its title and link
};

TEST(FeedSamples, EachKindOfDocumentIsReadAsReceivingReadsIt) {
    using Format = CFeedParser::Format;
    const Sample samples[] = {
        {"rss20.xml",
         Format::kRss,
         false,
         "羽毛笔 RSS 2.0 测试频道",
         3,
         {.title = "第一篇 & \"引号\"",
          .link = "http://example.com/posts/1",
          .description = "<p>正文 <b>粗体</b> &amp; 实体</p>",
          .pubDate = Date("Tue, 15 Mar 2005 09:05:00 GMT"),
          .author = "editor@example.com (编辑)"}},
        {"rss10.rdf",
         Format::kRdf,
         false,
         "RSS 1.0 频道",
         2,
         {.title = "条目甲",
          .link = "http://example.org/a",
          .description = "甲的正文",
          .pubDate = Date("2006-01-02T03:04:05Z"),
          .author = "李四"}},
        // The alternate link, resolved against xml:base; the summary as HTML; the feed's author.
        {"atom10.xml",
         Format::kAtom,
         false,
         "Atom 1.0 频道",
         2,
         {.title = "Atom 条目一",
          .link = "http://example.net/blog/entries/1",
          .description = "<p>摘要</p>",
          .pubDate = Date("2007-04-30T08:00:00+08:00"),
          .author = "王五"}},
        // Declared gb2312, and comes out as UTF-8.
        {"gb2312.xml",
         Format::kRss,
         false,
         "国标编码频道",
         1,
         {.title = "简体中文标题",
          .link = "http://example.cn/1",
          .description = "这是 GB2312 编码的正文。",
          .pubDate = Date("Wed, 01 Feb 2006 10:20:30 +0800")}},
        {"broken.xml",
         Format::kRss,
         true,
         "Broken & mended",
         2,
         {.title = "Fish & chips\u00A0today", .link = "http://example.com/broken/1"}},
        {"not-a-feed.txt", Format::kNone, false, "", 0, {}},
    };
    EXPECT_FALSE(CTextCodec::IsValidUtf8(ReadTestData("feeds/gb2312.xml")));
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.file);
        const std::string bytes = ReadTestData(std::string("feeds/") + sample.file);
        CFeedParser parser;
        std::vector<FeedItem> items;
        EXPECT_EQ(parser.ParseItems(bytes, items), sample.items > 0);
        EXPECT_EQ(parser.ParseTitle(bytes), sample.title);
        if (sample.items == 0)
            continue;
        EXPECT_EQ(parser.UsedLenientPass(), sample.lenient);
        EXPECT_EQ(parser.GetFormat(), sample.format);
        ASSERT_FALSE(items.empty());
        if (!sample.lenient) // a mended document gives at least its first item whole
            EXPECT_EQ(items.size(), sample.items);
        for (const FeedItem& item : items)
            EXPECT_TRUE(CTextCodec::IsValidUtf8(item.title + item.link + item.description +
                                                item.author + item.pubDate))
                << item.link;
        const FeedItem& first = items[0];
        EXPECT_EQ(first.title, sample.first.title);
        EXPECT_EQ(first.link, sample.first.link);
        if (sample.lenient)
            continue;
        EXPECT_EQ(first.description, sample.first.description);
        EXPECT_EQ(first.author, sample.first.author);
        EXPECT_EQ(first.pubDate, sample.first.pubDate);
    }
}

// Collects what a parse in parts hands over.
class CCollectingSink : public CFeedItemSink {
public:
    bool OnItems(std::vector<FeedItem>& part) override {
        for (FeedItem& item : part)
            items.push_back(std::move(item));
        part.clear();
        return true;
    }
    void OnRestart() override { items.clear(); }
    std::vector<FeedItem> items;
};

TEST(FeedSamples, FilesAttachedToItemsComeWithThemWholeOrInParts) {
    using Files = std::vector<FeedEnclosure>;
    const std::vector<Files> rss = {
        {{"http://example.com/media/ep1.mp3", "audio/mpeg", 12345678},
         {"http://example.com/podcast/files/ep1-notes.pdf", "application/pdf", 0}},
        {{"http://example.com/media/ep2-720.mp4", "video/mp4", 73400320},
         {"http://example.com/media/ep2-360.mp4", "video/mp4", 0},
         {"http://example.com/media/ep2.jpg", "image/jpeg", 2048}},
        {{"http://example.com/media/ep3.ogg", "audio/ogg", 900}},
        {},
    };
    const Files atom = {{"http://example.net/talks/talk1.webm", "video/webm", 1048576},
                        {"http://cdn.example.net/talk1.mp3", "audio/mpeg", 0}};
    for (const auto& [file, expected] :
         {std::pair{"enclosures.xml", rss},
          std::pair{"enclosures-atom.xml", std::vector<Files>{atom}}}) {
        SCOPED_TRACE(file);
        const std::string bytes = ReadTestData(std::string("feeds/") + file);
        CFeedParser whole;
        std::vector<FeedItem> items;
        ASSERT_TRUE(whole.ParseItems(bytes, items));
        CFeedParser inParts;
        CCollectingSink sink;
        ASSERT_TRUE(inParts.ParseItems(bytes, sink, 1));
        ASSERT_EQ(items.size(), expected.size());
        ASSERT_EQ(sink.items.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(items[i].enclosures, expected[i]) << items[i].title;
            EXPECT_EQ(sink.items[i].enclosures, expected[i]) << items[i].title;
        }
    }
    // JSON Feed attachments.
    CFeedParser json;
    std::vector<FeedItem> items;
    ASSERT_TRUE(json.ParseItems(
        R"({"version": "https://jsonfeed.org/version/1.1", "items": [{"id": "1",
            "url": "http://example.org/1", "attachments": [{"url": "http://example.org/a.m4a",
            "mime_type": "audio/x-m4a", "size_in_bytes": 4096}, {"mime_type": "x/no-url"}]}]})",
        items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].enclosures, (Files{{"http://example.org/a.m4a", "audio/x-m4a", 4096}}));
}

TEST(FeedSamples, AMissingFileFailsLoudly) {
    try {
        ReadTestData("feeds/no-such-feed.xml");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("tests/data/feeds/no-such-feed.xml"),
                  std::string::npos)
            << e.what();
    }
}

} // namespace
