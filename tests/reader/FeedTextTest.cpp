// What a feed says, read as it was meant: encodings that are undeclared or wrongly declared,
// windows-1252 characters declared as Latin-1, and addresses relative to the feed or the item.

#include "platform/LoopbackServer.h"
#include "platform/text/TextCodec.h"
#include "reader/FeedFetcher.h"
#include "reader/FeedParser.h"

#include "support/TextSupport.h"

#include <gtest/gtest.h>

using loopback::CHttpServer;

namespace {

struct Sample {
    const char* encoding;
    std::vector<std::string> titles;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"EUC-JP",
         {"日本語のニュースです。今日は東京で新しい技術の発表がありました。",
          "多くの開発者が参加し、会場はとても賑やかでした。", "明日も続報をお伝えします。"}},
        {"SHIFT_JIS",
         {"大阪の天気予報：明日は晴れのち曇りでしょう。",
          "週末には桜の花見を楽しむ人が増えそうです。", "交通機関の情報にご注意ください。"}},
        {"EUC-KR",
         {"한국어 뉴스입니다. 오늘 서울에서 새로운 기술 발표가 있었습니다.",
          "많은 개발자들이 참가하여 행사장은 매우 붐볐습니다.",
          "내일도 후속 소식을 전해 드리겠습니다."}},
        {"BIG5",
         {"這是繁體中文的新聞。今天在臺北舉行了新技術的發表會。",
          "許多開發者參加了這次會議，現場非常熱鬧。", "明天我們將繼續報導相關的消息。"}},
        {"WINDOWS-1251",
         {"Это новости на русском языке.", "Сегодня в Москве прошла презентация новых технологий.",
          "Завтра мы расскажем подробности."}},
        {"WINDOWS-1252",
         {"Les élèves ont présenté leurs idées à l'école.", "Über München ließ sich nichts sagen.",
          "Le café était très agréable, même en hiver."}},
    };
    return samples;
}

std::string FeedOf(const std::vector<std::string>& titles, const std::string& declaration = {}) {
    std::string feed =
        declaration + "<rss version=\"2.0\"><channel><title>" + titles[0] + "</title>";
    for (size_t i = 0; i < titles.size(); ++i)
        feed += "<item><title>" + titles[i] + "</title><link>http://example.com/" +
                std::to_string(i) + "</link><description>" + titles[i] + "</description></item>";
    return feed + "</channel></rss>";
}

} // namespace

TEST(FeedText, UndeclaredEncodingsAreDetectedAndAnAnswersCharsetNamesThemFirst) {
    CHttpServer server;
    for (const Sample& sample : Samples()) {
        const std::string bytes = Encode(FeedOf(sample.titles), sample.encoding);
        const std::string name = sample.encoding;
        server.Server().Get("/bare/" + name,
                            [bytes](const httplib::Request&, httplib::Response& res) {
                                res.set_content(bytes, "text/xml");
                            });
        server.Server().Get("/named/" + name,
                            [bytes, name](const httplib::Request&, httplib::Response& res) {
                                res.set_content(bytes, "application/rss+xml; charset=" + name);
                            });
    }
    server.Start();
    CFeedFetcher fetcher;
    for (const Sample& sample : Samples()) {
        for (const std::string route : {"/bare/", "/named/"}) {
            SCOPED_TRACE(route + sample.encoding);
            std::vector<FeedItem> items;
            ASSERT_TRUE(fetcher.FetchFeedItems(server.Url(route + sample.encoding), items));
            ASSERT_EQ(items.size(), sample.titles.size());
            for (size_t i = 0; i < items.size(); ++i) {
                EXPECT_EQ(items[i].title, sample.titles[i]);
                EXPECT_EQ(items[i].description, sample.titles[i]);
            }
            EXPECT_EQ(fetcher.FetchFeedTitle(server.Url(route + sample.encoding)),
                      sample.titles[0]);
        }
    }
}

TEST(FeedText, ADeclarationThatCannotDecodeTheBytesGivesWayToTheGuess) {
    const Sample& japanese = Samples()[1];
    struct Case {
        const char* what;
        std::string bytes;
        std::string transport;
        std::string title;
    };
    const std::vector<Case> cases = {
        {"Shift_JIS declared as UTF-8",
         Encode(FeedOf(japanese.titles, "<?xml version=\"1.0\" encoding=\"utf-8\"?>"), "SHIFT_JIS"),
         "", japanese.titles[0]},
        {"EUC-KR served as UTF-8", Encode(FeedOf(Samples()[2].titles), "EUC-KR"), "utf-8",
         Samples()[2].titles[0]},
        {"a few GBK words declared as UTF-8",
         Encode(FeedOf({"中文标题"}, "<?xml version=\"1.0\" encoding=\"utf-8\"?>"), "GBK"), "",
         "中文标题"},
        {"UTF-8 with one bad byte stays UTF-8",
         FeedOf({"中文\xFF标题"}, "<?xml version=\"1.0\" encoding=\"utf-8\"?>"), "",
         "中文\uFFFD标题"},
        // The answer's charset comes first: the document's declaration is wrong here.
        {"UTF-8 served as UTF-8 and declared gb2312",
         FeedOf({"中文标题"}, "<?xml version=\"1.0\" encoding=\"gb2312\"?>"), "UTF-8", "中文标题"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CFeedParser parser;
        parser.SetTransportCharset(c.transport);
        std::vector<FeedItem> items;
        ASSERT_TRUE(parser.ParseItems(c.bytes, items));
        EXPECT_EQ(items[0].title, c.title);
        EXPECT_EQ(parser.ParseTitle(c.bytes), c.title);
    }
}

TEST(FeedText, C1ControlsTakeTheirWindows1252Meaning) {
    // Bytes 0x80..0x9F under a Latin-1 declaration, and as character references under UTF-8.
    const std::string latin1 =
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><rss><channel>"
        "<title>\x93News\x94</title><item>"
        "<title>It\x92s \x93quoted\x94 \x96 \x80 5\x85\x81\x8D\x8F\x90\x9D</title>"
        "<link>http://x/</link><author>Ren\xE9\x99</author>"
        "<description>&lt;p&gt;caf\xE9\x97ok&lt;/p&gt;</description>"
        "</item></channel></rss>";
    const std::string references = "<rss><channel><item><title>&#x92;a&#x9c;&#x81;</title>"
                                   "<link>http://x/</link></item></channel></rss>";
    CFeedParser parser;
    std::vector<FeedItem> items;
    ASSERT_TRUE(parser.ParseItems(latin1, items));
    ASSERT_TRUE(parser.ParseItems(references, items));
    EXPECT_EQ(items[0].title, "It’s “quoted” – € 5…");
    EXPECT_EQ(items[0].author, "René™");
    EXPECT_EQ(items[0].description, "<p>café—ok</p>");
    EXPECT_EQ(parser.ParseTitle(latin1), "“News”");
    EXPECT_EQ(items[1].title, "’aœ");
}

TEST(FeedText, RelativeAddressesResolveAgainstTheItemsBaseAfterRedirects) {
    const std::string feed =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>t</title>"
        "<item><title>root-relative</title><link>/posts/1</link>"
        "<description>&lt;p&gt;见 &lt;a href=\"/a?x=1&amp;amp;y=2\"&gt;这里&lt;/a&gt; &lt;img "
        "src='img/p.png'&gt; &lt;a href=\"https://other.example/z\"&gt;z&lt;/a&gt; &lt;a "
        "href=\"#top\"&gt;top&lt;/a&gt;&lt;/p&gt;</description></item>"
        "<item><title>path-relative</title><link>2.html</link>"
        "<description>&lt;p data-src=\"x\"&gt;没有相对地址 &lt;a "
        "href=\"http://example.com/\"&gt;e&lt;/a&gt;&lt;/p&gt;</description></item>"
        "<item xml:base=\"http://other.example/base/\"><title>xml:base</title><link>x</link>"
        "<description><![CDATA[<img src=\"i.gif\">]]></description></item>"
        "</channel></rss>";
    CHttpServer server;
    server.Server().Get("/old", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/feeds/main.xml", 301);
    });
    server.Server().Get("/feeds/main.xml", [feed](const httplib::Request&, httplib::Response& res) {
        res.set_content(feed, "application/rss+xml");
    });
    server.Start();
    CFeedFetcher fetcher;
    std::vector<FeedItem> items;
    ASSERT_TRUE(fetcher.FetchFeedItems(server.Url("/old"), items));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].link, server.Url("/posts/1"));
    EXPECT_EQ(items[0].description,
              "<p>见 <a href=\"" + server.Url("/a?x=1&amp;y=2") + "\">这里</a> <img src=\"" +
                  server.Url("/feeds/img/p.png") +
                  "\"> <a href=\"https://other.example/z\">z</a> <a href=\"#top\">top</a></p>");
    EXPECT_EQ(items[1].link, server.Url("/feeds/2.html"));
    // Nothing relative: the description stays exactly as written.
    EXPECT_EQ(items[1].description,
              "<p data-src=\"x\">没有相对地址 <a href=\"http://example.com/\">e</a></p>");
    EXPECT_EQ(items[2].link, "http://other.example/base/x");
    EXPECT_EQ(items[2].description, "<img src=\"http://other.example/base/i.gif\">");
}
