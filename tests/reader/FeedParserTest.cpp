#include "reader/FeedParser.h"

#include "platform/text/TextCodec.h"
#include "reader/FeedDate.h"

#include "support/TextSupport.h"

#include <gtest/gtest.h>

namespace {

std::vector<FeedItem> Parse(std::string_view text, bool* ok = nullptr) {
    CFeedParser parser;
    std::vector<FeedItem> items;
    bool result = parser.ParseItems(text, items);
    if (ok)
        *ok = result;
    EXPECT_EQ(result, !items.empty());
    return items;
}

std::string Rss(const std::string& items, const std::string& rootAttributes = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"" +
           rootAttributes + "><channel><title> Channel </title><link>http://example.com/</link>" +
           items + "</channel></rss>";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// RSS 2.0

TEST(FeedParser, RssItemsInDocumentOrderWithTheirTexts) {
    auto items = Parse(Rss(R"(
        <item>
          <title>First &amp; best</title>
          <link> http://example.com/1 </link>
          <author>ann@example.com (Ann)</author>
          <description><![CDATA[<p>Hello <b>world</b></p>]]></description>
          <pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate>
          <guid>ignored</guid>
        </item>
        <item>
          <link>http://example.com/2</link>
          <description>&lt;i&gt;escaped&lt;/i&gt; 中文</description>
          <title>Second</title><title>not this one</title>
          <pubDate>2006-03-08T10:00:00-05:00</pubDate>
        </item>)"));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "First & best");
    EXPECT_EQ(items[0].link, "http://example.com/1");
    EXPECT_EQ(items[0].author, "ann@example.com (Ann)");
    EXPECT_EQ(items[0].description, "<p>Hello <b>world</b></p>");
    EXPECT_EQ(items[0].pubDate, "2006-03-07 09:05:00");
    EXPECT_EQ(items[1].title, "Second");
    EXPECT_EQ(items[1].description, "<i>escaped</i> 中文");
    EXPECT_EQ(items[1].pubDate, "2006-03-08 10:00:00");
    EXPECT_EQ(items[1].author, "");
    for (const FeedItem& item : items) {
        EXPECT_EQ(item.id, 0);
        EXPECT_EQ(item.feedId, 0);
        EXPECT_TRUE(item.extra.empty());
    }
}

TEST(FeedParser, TheTitleComesWithTheSiteItBelongsTo) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<rss><channel><title>甲</title><link>https://a.example/</link></channel></rss>",
         "https://a.example/"},
        // Atom: the alternate link, relative to the document's base; the self link is no site.
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:base=\"https://b.example/x/\"><title>"
         "甲</title><link rel=\"self\" href=\"feed\"/><link href=\"home\"/></feed>",
         "https://b.example/x/home"},
        {R"({"version":"https://jsonfeed.org/version/1.1","title":"甲",)"
         R"("home_page_url":"https://c.example/","items":[]})",
         "https://c.example/"},
        // Only a web address names a site.
        {"<rss><channel><title>甲</title><link>javascript:alert(1)</link></channel></rss>", ""},
    };
    for (const auto& [text, site] : cases) {
        CFeedParser parser;
        EXPECT_EQ(parser.ParseTitle(text), "甲") << text;
        EXPECT_EQ(parser.SiteLink(), site) << text;
    }
}

TEST(FeedParser, AnItemWithoutLinkEndsTheList) {
    bool ok = true;
    auto none = Parse(Rss("<item><title>no link</title></item>"
                          "<item><title>later</title><link>http://example.com/2</link></item>"),
                      &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(none.empty());

    auto one = Parse(Rss("<item><link>http://example.com/1</link></item>"
                         "<item><title>no link</title></item>"
                         "<item><link>http://example.com/3</link></item>"));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].link, "http://example.com/1");

    // An empty link element is still a link.
    EXPECT_EQ(Parse(Rss("<item><link/></item>")).size(), 1u);
}

TEST(FeedParser, DublinCoreOnlyWhenTheRssElementIsMissing) {
    auto items = Parse(Rss(R"(
        <item><link>a</link><dc:date>2006-03-07T09:05:00Z</dc:date>
              <dc:creator>Ann</dc:creator><content:encoded>full text</content:encoded></item>
        <item><link>b</link><pubDate>Wed, 08 Mar 2006 10:00:00 GMT</pubDate>
              <dc:date>2001-01-01T00:00:00Z</dc:date><author>Bob</author>
              <dc:creator>not Bob</dc:creator><description>summary</description>
              <content:encoded>full text</content:encoded></item>)"));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].pubDate, "2006-03-07 09:05:00");
    EXPECT_EQ(items[0].author, "Ann");
    EXPECT_EQ(items[0].description, "full text");
    EXPECT_EQ(items[1].pubDate, "2006-03-08 10:00:00");
    EXPECT_EQ(items[1].author, "Bob");
    EXPECT_EQ(items[1].description, "summary");

    // A dc prefix nobody declared still names the date.
    auto undeclared = Parse("<rss><channel><item><link>x</link>"
                            "<dc:date>2006-03-07T09:05:00Z</dc:date></item></channel></rss>");
    ASSERT_EQ(undeclared.size(), 1u);
    EXPECT_EQ(undeclared[0].pubDate, "2006-03-07 09:05:00");
}

TEST(FeedParser, RssInItsOwnNamespaceAndOlderVersions) {
    auto items = Parse(R"(<rss version="2.0" xmlns="http://backend.userland.com/rss2">
        <channel><title>NS</title><item><title>t</title><link>l</link></item></channel></rss>)");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "t");

    auto old = Parse(R"(<rss version="0.91"><channel><title>Old</title>
        <item><title>t</title><link>http://x/</link><description>d</description></item>
        </channel></rss>)");
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old[0].description, "d");
}

// ---------------------------------------------------------------------------------------------
// Atom (RDF: tests/data/feeds/rss10.rdf in FeedSamplesTest)

TEST(FeedParser, AtomEntriesMapOntoTheSameFields) {
    CFeedParser parser;
    parser.SetBaseUrl("http://feeds.example.com/blog/atom.xml");
    std::vector<FeedItem> items;
    ASSERT_TRUE(parser.ParseItems(R"(<?xml version="1.0" encoding="utf-8"?>
      <feed xmlns="http://www.w3.org/2005/Atom" xml:base="http://example.com/base/">
        <title type="text">Feed title</title>
        <author><name>Feed Author</name></author>
        <entry>
          <title type="html">A &lt;b&gt;bold&lt;/b&gt; entry</title>
          <link rel="self" href="http://example.com/self"/>
          <link rel="enclosure" href="http://example.com/a.mp3"/>
          <link href="posts/1.html"/>
          <link rel="alternate" href="http://example.com/second"/>
          <id>tag:example.com,2006:1</id>
          <updated>2006-03-08T10:00:00Z</updated>
          <published>2006-03-07T09:05:00+08:00</published>
          <author><name>Ann</name><email>ann@example.com</email></author>
          <summary type="text">1 &lt; 2 &amp; more</summary>
          <content type="html">&lt;p&gt;full&lt;/p&gt;</content>
        </entry>
        <entry xml:base="http://other.example.com/dir/">
          <title>Second</title>
          <link rel="alternate" type="text/html" href="../two.html"/>
          <updated>2006-03-09T10:00:00-05:00</updated>
          <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><p>rich <b>text</b></p></div></content>
        </entry>
        <entry><title>no link</title></entry>
        <entry><title>after</title><link href="http://example.com/after"/></entry>
      </feed>)",
                                  items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].title, "A <b>bold</b> entry");
    EXPECT_EQ(items[0].link, "http://example.com/base/posts/1.html");
    EXPECT_EQ(items[0].pubDate, "2006-03-07 09:05:00");
    EXPECT_EQ(items[0].author, "Ann");
    EXPECT_EQ(items[0].description, "1 &lt; 2 &amp; more");
    EXPECT_EQ(items[1].link, "http://other.example.com/two.html");
    EXPECT_EQ(items[1].pubDate, "2006-03-09 10:00:00");
    EXPECT_EQ(items[1].author, "Feed Author");
    EXPECT_EQ(items[1].description, "<p>rich <b>text</b></p>");
    EXPECT_EQ(parser.GetFormat(), CFeedParser::Format::kAtom);
}

TEST(FeedParser, AtomRelativeLinksUseTheDocumentAddress) {
    CFeedParser parser;
    parser.SetBaseUrl("http://feeds.example.com/blog/atom.xml");
    std::vector<FeedItem> items;
    ASSERT_TRUE(parser.ParseItems(R"(<feed xmlns="http://purl.org/atom/ns#" version="0.3">
        <entry><title>old atom</title><link rel="alternate" type="text/html" href="p/1"/>
          <issued>2004-01-01T19:48:21Z</issued><modified>2005-01-01T00:00:00Z</modified>
          <content type="text/html" mode="escaped">&lt;p&gt;x&lt;/p&gt;</content></entry>
        </feed>)",
                                  items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].link, "http://feeds.example.com/blog/p/1");
    EXPECT_EQ(items[0].pubDate, "2004-01-01 19:48:21");
    EXPECT_EQ(items[0].description, "<p>x</p>");
}

TEST(FeedParser, TitleIsTheChannelsOrTheFeeds) {
    CFeedParser parser;
    EXPECT_EQ(parser.ParseTitle(Rss("<item><title>item</title><link>x</link></item>")), "Channel");
    EXPECT_EQ(parser.ParseTitle(R"(<feed xmlns="http://www.w3.org/2005/Atom">
        <entry><title>entry</title></entry><title>Atom feed</title></feed>)"),
              "Atom feed");
    EXPECT_EQ(parser.ParseTitle("<rss><channel><link>x</link></channel></rss>"), "");
    EXPECT_EQ(parser.ParseTitle("<html><head><title>Error</title></head></html>"), "");
    EXPECT_EQ(parser.ParseTitle(""), "");
}

// ---------------------------------------------------------------------------------------------
// Encodings: whatever is declared comes out as UTF-8

TEST(FeedParser, EveryDeclaredEncodingComesOutAsUtf8) {
    const std::string title = "朱镕基与堃";
    const std::string body = "<rss><channel><title>" + title + "</title><item><title>" + title +
                             "</title><link>http://x/</link></item></channel></rss>";
    struct Case {
        const char* declared;
        const char* iconvName;
        std::string text;
    };
    const std::vector<Case> cases = {
        // A "gb2312" declaration over characters only GBK has.
        {"gb2312", "GBK", title},
        {"GBK", "GBK", title},
        {"gb18030", "GB18030", title},
        {"big5", "BIG5", "繁體中文"},
        {"iso-8859-1", "ISO-8859-1", "Jornal de Notícias"},
        {"windows-1252", "WINDOWS-1252", "€ sign"},
        {"euc-kr", "EUC-KR", "\xEB\x85\x84"},
        {"utf-16", "UTF-16", title}, // with a byte-order mark
        {"UTF-16LE", "UTF-16LE", title},
    };
    for (const Case& c : cases) {
        std::string text = std::string(body);
        for (size_t pos = text.find(title); pos != std::string::npos;
             pos = text.find(title, pos + c.text.size()))
            text.replace(pos, title.size(), c.text);
        std::string declaration =
            "<?xml version=\"1.0\" encoding=\"" + std::string(c.declared) + "\"?>";
        std::string bytes = Encode(declaration + text, c.iconvName);
        auto items = Parse(bytes);
        ASSERT_EQ(items.size(), 1u) << c.declared;
        EXPECT_EQ(items[0].title, c.text) << c.declared;
        EXPECT_EQ(CFeedParser().ParseTitle(bytes), c.text) << c.declared;
    }
}

TEST(FeedParser, TransportCharsetServesDocumentsThatDeclareNothing) {
    std::string bytes = Encode(
        "<rss><channel><item><title>中文</title><link>x</link></item></channel></rss>", "GBK");
    CFeedParser parser;
    parser.SetTransportCharset("gb2312");
    std::vector<FeedItem> items;
    ASSERT_TRUE(parser.ParseItems(bytes, items));
    EXPECT_EQ(items[0].title, "中文");
    EXPECT_FALSE(parser.UsedLenientPass());

    // A Latin-1 charset, a server's default, yields to the document's declaration.
    CFeedParser declared;
    declared.SetTransportCharset("iso-8859-1");
    items.clear();
    ASSERT_TRUE(declared.ParseItems("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                    "<rss><channel><item><title>中文</title><link>x</link>"
                                    "</item></channel></rss>",
                                    items));
    EXPECT_EQ(items[0].title, "中文");
}

// ---------------------------------------------------------------------------------------------
// Slightly broken feeds are read by the lenient pass

TEST(FeedParser, LenientPassReadsSlightlyBrokenFeeds) {
    struct Case {
        const char* what;
        std::string text;
        const char* title;
    };
    const std::string item = "<link>http://x/</link></item></channel></rss>";
    const std::vector<Case> cases = {
        {"blank line before the declaration",
         "\n\n<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><item><title>t</title>" +
             item,
         "t"},
        {"HTML entities",
         "<rss><channel><item><title>a&nbsp;b &copy; &hellip;&mdash;</title>" + item,
         "a\u00A0b \u00A9 \u2026\u2014"},
        {"stray control characters",
         "<rss><channel><item><title>a\x01\x1F"
         "b</title>" +
             item,
         "ab"},
        {"a bare ampersand and a lone <", "<rss><channel><item><title>R&D 1 < 2</title>" + item,
         "R&D 1 < 2"},
        {"an invalid character reference", "<rss><channel><item><title>x&#1;y&#2</title>" + item,
         "xy&#2"},
        {"a document cut short", "<rss><channel><item><title>cut</title><link>http://x/</link>",
         "cut"},
    };
    for (const Case& c : cases) {
        CFeedParser parser;
        std::vector<FeedItem> items;
        ASSERT_TRUE(parser.ParseItems(c.text, items)) << c.what;
        EXPECT_TRUE(parser.UsedLenientPass()) << c.what;
        ASSERT_EQ(items.size(), 1u) << c.what;
        EXPECT_EQ(items[0].title, c.title) << c.what;
        EXPECT_EQ(items[0].link, "http://x/") << c.what;
    }
}

TEST(FeedParser, WhatIsNoFeedGivesNothing) {
    const std::vector<std::string> inputs = {
        "",
        "   \n ",
        "<html><head><title>502 Bad Gateway</title></head><body><p>nginx</body></html>",
        "<!DOCTYPE html><html><body><a href=x>not xml & not a feed</body>",
        "{\"items\": [{\"link\": \"http://x/\"}]}",
        "<opml version=\"1.0\"><body><outline text=\"x\" xmlUrl=\"http://x/\"/></body></opml>",
        "<rss><item><link>outside a channel</link></item></rss>",
        "<rss><channel><title>no items</title></channel></rss>",
        std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\xFF\xFE\xFD", 20),
        std::string("<?xml version=\"1.0\" encoding=\"utf-16\"?>\xFF\xFE\xFF\xFE\x00\xD8", 44),
        "<?xml version=\"1.0\" encoding=\"no-such-charset\"?>\x80\x81\x82\xFF",
        // Entity expansion that would take gigabytes.
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]><rss><channel><item><title>&h;</title>"
        "</item></channel></rss>",
        std::string(100000, '<'),
        std::string(200000, '\0'),
    };
    for (const std::string& input : inputs) {
        CFeedParser parser;
        std::vector<FeedItem> items(1); // what the caller holds already stays
        EXPECT_FALSE(parser.ParseItems(input, items)) << input.substr(0, 60);
        EXPECT_EQ(items.size(), 1u);
        EXPECT_TRUE(CTextCodec::IsValidUtf8(parser.ParseTitle(input)));
    }
    // Deep nesting is cut off, not followed down the stack.
    std::string deep;
    for (int i = 0; i < 50000; ++i)
        deep += "<a>";
    EXPECT_TRUE(Parse("<rss><channel><item><link>x</link>" + deep).size() <= 1);
}
