#include "shell/BrowserLink.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    bool ok;
    std::string url;
    std::string title;
};

Parsed ParseLink(const std::string& text) {
    Parsed p{};
    p.ok = CBrowserLink::Parse(text, p.url, p.title);
    return p;
}

} // namespace

TEST(BrowserLinkTest, QuillLinkGivesAddressAndTitle) {
    const Parsed p = ParseLink("quill://rssurl=http://127.0.0.1:8080/feed.xml&rsstitle=测试");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.url, "http://127.0.0.1:8080/feed.xml");
    EXPECT_EQ(p.title, "测试");

    // What a browser hands over after escaping the link: the title's bytes, or the whole link.
    const Parsed escaped =
        ParseLink("quill://rssurl=https://example.org/Feed.xml&rsstitle=%E6%B5%8B%E8%AF%95%20A");
    EXPECT_EQ(escaped.url, "https://example.org/Feed.xml");
    EXPECT_EQ(escaped.title, "测试 A");
    const Parsed whole = ParseLink("quill%3A%2F%2Frssurl%3Dhttp%3A%2F%2Fa.org%2Frss&rsstitle=Name");
    EXPECT_EQ(whole.url, "http://a.org/rss");
    EXPECT_EQ(whole.title, "Name");

    // A link without a title, and one whose address itself uses the feed scheme.
    EXPECT_EQ(ParseLink("quill://rssurl=http://a.org/rss").url, "http://a.org/rss");
    const Parsed feed = ParseLink("quill://rssurl=feed://a.org/rss&rsstitle=T");
    EXPECT_EQ(feed.url, "http://a.org/rss");
    EXPECT_EQ(feed.title, "T");
    // An address keeps its letter case and its own escapes; the markers may be in any case.
    EXPECT_EQ(ParseLink("quill://http://a.org/Rss?q=%20x").url, "http://a.org/Rss?q=%20x");
    const Parsed upper = ParseLink("QUILL://RSSURL=http://a/b&RssTitle=T");
    EXPECT_EQ(upper.url + " " + upper.title, "http://a/b T");
}

TEST(BrowserLinkTest, FeedSchemeMapsToTheAddressItStandsFor) {
    EXPECT_EQ(ParseLink("feed://example.org/rss.xml").url, "http://example.org/rss.xml");
    EXPECT_EQ(ParseLink("feed:https://example.org/rss.xml").url, "https://example.org/rss.xml");
    EXPECT_EQ(ParseLink("FEED:http://example.org/rss.xml").url, "http://example.org/rss.xml");
    EXPECT_EQ(ParseLink("feed://https://example.org/rss.xml").url, "https://example.org/rss.xml");
    EXPECT_EQ(ParseLink("https://example.org/rss.xml").url, "https://example.org/rss.xml");
    EXPECT_TRUE(ParseLink("feed://example.org/").title.empty());

    EXPECT_FALSE(ParseLink("").ok);
    EXPECT_FALSE(ParseLink("feed:").ok);
    EXPECT_FALSE(ParseLink("quill://").ok);
    EXPECT_FALSE(ParseLink("  ").ok);
}
