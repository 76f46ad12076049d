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

struct Parsed {
    bool ok = false;
    std::vector<FeedItem> items;
    std::string title;
    CFeedParser::Format format = CFeedParser::Format::kNone;
    bool lenient = false;
};

Parsed ParseFile(const std::string& name) {
    const std::string bytes = ReadTestData("feeds/" + name);
    Parsed p;
    CFeedParser parser;
    p.ok = parser.ParseItems(bytes, p.items);
    p.format = parser.GetFormat();
    p.lenient = parser.UsedLenientPass();
    p.title = parser.ParseTitle(bytes);
    EXPECT_EQ(p.ok, !p.items.empty());
    EXPECT_TRUE(CTextCodec::IsValidUtf8(p.title)) << p.title;
    for (const FeedItem& item : p.items) {
        EXPECT_TRUE(CTextCodec::IsValidUtf8(item.title + item.link + item.description +
                                            item.author + item.pubDate))
            << item.link;
    }
    return p;
}

// A feed date as the parser stores it.
std::string Date(std::string text) {
    CFeedDate::Normalize(text);
    return text;
}

TEST(FeedSamples, Rss20) {
    Parsed p = ParseFile("rss20.xml");
    EXPECT_EQ(p.format, CFeedParser::Format::kRss);
    EXPECT_FALSE(p.lenient);
    EXPECT_EQ(p.title, "羽毛笔 RSS 2.0 测试频道");
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(p.items[0].title, "第一篇 & \"引号\"");
    EXPECT_EQ(p.items[0].link, "http://example.com/posts/1");
    EXPECT_EQ(p.items[0].description, "<p>正文 <b>粗体</b> &amp; 实体</p>");
    EXPECT_EQ(p.items[0].author, "editor@example.com (编辑)");
    EXPECT_EQ(p.items[0].pubDate, Date("Tue, 15 Mar 2005 09:05:00 GMT"));
    // Dublin Core stands in for the missing author and date.
    EXPECT_EQ(p.items[1].description, "<p>escaped markup</p>");
    EXPECT_EQ(p.items[1].author, "张三");
    EXPECT_EQ(p.items[1].pubDate, Date("2005-03-16T10:00:00Z"));
    EXPECT_EQ(p.items[2].author, "");
    EXPECT_EQ(p.items[2].pubDate, Date("Thu, 17 Mar 2005 08:30:00 +0800"));
    EXPECT_NE(p.items[0].pubDate, p.items[2].pubDate);
}

TEST(FeedSamples, Rss10) {
    Parsed p = ParseFile("rss10.rdf");
    EXPECT_EQ(p.format, CFeedParser::Format::kRdf);
    EXPECT_EQ(p.title, "RSS 1.0 频道");
    ASSERT_EQ(p.items.size(), 2u);
    EXPECT_EQ(p.items[0].title, "条目甲");
    EXPECT_EQ(p.items[0].link, "http://example.org/a");
    EXPECT_EQ(p.items[0].description, "甲的正文");
    EXPECT_EQ(p.items[0].author, "李四");
    EXPECT_EQ(p.items[0].pubDate, Date("2006-01-02T03:04:05Z"));
    EXPECT_EQ(p.items[1].link, "http://example.org/b");
}

TEST(FeedSamples, Atom10) {
    Parsed p = ParseFile("atom10.xml");
    EXPECT_EQ(p.format, CFeedParser::Format::kAtom);
    EXPECT_EQ(p.title, "Atom 1.0 频道");
    ASSERT_EQ(p.items.size(), 2u);
    EXPECT_EQ(p.items[0].title, "Atom 条目一");
    // The alternate link, resolved against xml:base; the summary as HTML; the feed's author.
    EXPECT_EQ(p.items[0].link, "http://example.net/blog/entries/1");
    EXPECT_EQ(p.items[0].description, "<p>摘要</p>");
    EXPECT_EQ(p.items[0].author, "王五");
    EXPECT_EQ(p.items[0].pubDate, Date("2007-04-30T08:00:00+08:00"));
    // Text content is escaped; the entry's own author wins.
    EXPECT_EQ(p.items[1].link, "http://example.net/blog/entries/2");
    EXPECT_EQ(p.items[1].description, "text &lt;not markup&gt;");
    EXPECT_EQ(p.items[1].author, "Zhao Liu");
    EXPECT_EQ(p.items[1].pubDate, Date("2007-05-02T12:00:00Z"));
}

TEST(FeedSamples, Gb2312DeclaredDocumentComesOutAsUtf8) {
    EXPECT_FALSE(CTextCodec::IsValidUtf8(ReadTestData("feeds/gb2312.xml")));
    Parsed p = ParseFile("gb2312.xml");
    EXPECT_FALSE(p.lenient);
    EXPECT_EQ(p.title, "国标编码频道");
    ASSERT_EQ(p.items.size(), 1u);
    EXPECT_EQ(p.items[0].title, "简体中文标题");
    EXPECT_EQ(p.items[0].description, "这是 GB2312 编码的正文。");
    EXPECT_EQ(p.items[0].pubDate, Date("Wed, 01 Feb 2006 10:20:30 +0800"));
}

TEST(FeedSamples, BrokenDocumentIsReadLeniently) {
    Parsed p = ParseFile("broken.xml");
    EXPECT_TRUE(p.lenient);
    EXPECT_EQ(p.title, "Broken & mended");
    ASSERT_FALSE(p.items.empty());
    EXPECT_EQ(p.items[0].title, "Fish & chips\u00A0today");
    EXPECT_EQ(p.items[0].link, "http://example.com/broken/1");
}

TEST(FeedSamples, WhatIsNoFeedGivesNothing) {
    Parsed p = ParseFile("not-a-feed.txt");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.title, "");
}

TEST(FeedSamples, AMissingFileFailsLoudly) {
    EXPECT_THROW(ReadTestData("feeds/no-such-feed.xml"), std::runtime_error);
    try {
        ReadTestData("feeds/no-such-feed.xml");
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("tests/data/feeds/no-such-feed.xml"),
                  std::string::npos)
            << e.what();
    }
}

} // namespace
