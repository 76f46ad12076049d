#include "reader/OpmlExchange.h"
#include "platform/fs/FileUtil.h"
#include "platform/jobs/JobRunner.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "reader/ChannelTree.h"
#include "reader/OpmlDiscovery.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>

namespace {

const char* kTree = R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="1.0"><head><title>t</title></head><body>
  <outline title="新闻" xmlUrl="" expanded="1">
    <outline title="甲报" xmlUrl="http://a.example/rss" htmlUrl="http://a.example/"/>
    <outline title="子目录" xmlUrl="">
      <outline title="乙 &amp; 报" xmlUrl="http://b.example/rss"/>
    </outline>
  </outline>
  <outline title="空目录" xmlUrl=""/>
  <outline title="丁" xmlUrl="http://d.example/rss"/>
</body></opml>)";

// The tree as "title|xmlUrl|htmlUrl" lines, indented by depth.
void Flatten(const std::vector<OpmlOutline>& outlines, std::string& out, int depth = 0) {
    for (const OpmlOutline& o : outlines) {
        out += std::string(depth * 2, ' ') + o.title + "|" + o.xmlUrl + "|" + o.htmlUrl + "\n";
        Flatten(o.children, out, depth + 1);
    }
}

std::string FlatFile(const std::string& path) {
    std::vector<OpmlOutline> outlines;
    std::string error, out;
    EXPECT_TRUE(COpmlExchange::ReadOutlines(path, outlines, error)) << error;
    Flatten(outlines, out);
    return out;
}

// What OPML 2.0 asks of a file other readers import.
void ExpectOpml2(const std::string& path) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(path)) << doc.GetLastError();
    EXPECT_EQ(doc.Root().GetAttribute("version"), "2.0");
    EXPECT_FALSE(doc.SelectNode("/opml/head/title").GetText().empty());
    // dateCreated in RFC 822: "Mon, 07 Dec 2026 03:04:05 +0800".
    EXPECT_TRUE(std::regex_match(doc.SelectNode("/opml/head/dateCreated").GetText(),
                                 std::regex(R"([A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} )"
                                            R"(\d\d:\d\d:\d\d [+-]\d{4})")));
    EXPECT_TRUE(doc.SelectNode("//outline[not(@text)]").IsNull());
    EXPECT_TRUE(doc.SelectNode("//outline[@xmlUrl and not(@type)]").IsNull());
}

class OpmlExchangeTest : public ::testing::Test {
protected:
    void SetUp() override { WriteAll(ChannelFile(), kTree); }
    std::string ChannelFile() const { return m_home.File("Storage/rssreader.opml"); }
    std::vector<OpmlOutline> Read(const std::string& dataFile) {
        std::vector<OpmlOutline> outlines;
        std::string error;
        EXPECT_TRUE(COpmlExchange::ReadOutlines(TestDataPath(dataFile), outlines, error)) << error;
        return outlines;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
};

} // namespace

TEST_F(OpmlExchangeTest, ReadsListsAsOtherReadersWriteThem) {
    // Liferea: text-only outlines, folders two levels deep.
    std::vector<OpmlOutline> liferea = Read("opml/liferea-feedlist_en.opml");
    ASSERT_EQ(liferea.size(), 3u); // the feeds, and two search folders holding rules
    EXPECT_EQ(liferea[0].title, "Example Feeds");
    EXPECT_TRUE(liferea[0].IsDirectory());
    EXPECT_EQ(liferea[0].children[0].title, "News");
    EXPECT_EQ(liferea[0].children[0].children[0].title, "Ars Technica");
    EXPECT_EQ(liferea[0].children[0].children[0].xmlUrl,
              "https://feeds.arstechnica.com/arstechnica/index");

    // Newsboat: title-only and text-only folders.
    std::string newsboat;
    Flatten(Read("opml/newsboat-example.opml"), newsboat);
    EXPECT_NE(newsboat.find("example.com website|https://example.com/feed.xml|"),
              std::string::npos);

    // GB2312 bytes without a declaration, and under one.
    std::vector<OpmlOutline> gbk = Read("opml/gb2312-no-declaration.opml");
    ASSERT_EQ(gbk.size(), 2u);
    EXPECT_EQ(gbk[0].title, "新闻");
    EXPECT_EQ(gbk[0].children[0].title, "新浪新闻");
    EXPECT_EQ(gbk[0].children[0].htmlUrl, "http://news.sina.example/");
    EXPECT_EQ(gbk[1].title, "博客园");
    EXPECT_EQ(Read("opml/gb2312-declared.opml")[0].title, "中文频道");

    // OPML 2.0 with right-to-left titles, the marks kept as they are.
    std::vector<OpmlOutline> rtl = Read("opml/rtl-opml2.opml");
    ASSERT_EQ(rtl.size(), 2u);
    EXPECT_EQ(rtl[0].title, "أخبار");
    EXPECT_EQ(rtl[0].children[0].title, "الجزيرة نت");
    EXPECT_EQ(rtl[0].children[1].title, "\u200fחדשות");

    // Not well formed: a raw "&" and a broken quote; the feeds around them still come through.
    std::vector<OpmlOutline> broken = Read("opml/awesome-rss-feeds-Tech.opml");
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_EQ(broken[0].title, "Tech");
    EXPECT_GT(broken[0].children.size(), 10u);
}

TEST_F(OpmlExchangeTest, RefusesWhatIsNoOpml) {
    const std::string dir = m_home.File("Temp");
    std::vector<OpmlOutline> outlines;
    std::string error;
    WriteAll(dir + "/rss.xml", "<rss><channel><title>x</title></channel></rss>");
    EXPECT_FALSE(COpmlExchange::ReadOutlines(dir + "/rss.xml", outlines, error));
    WriteAll(dir + "/text.opml", "just some words");
    EXPECT_FALSE(COpmlExchange::ReadOutlines(dir + "/text.opml", outlines, error));
    EXPECT_FALSE(COpmlExchange::ReadOutlines(dir + "/missing.opml", outlines, error));
}

TEST_F(OpmlExchangeTest, ExportAllThenImportGivesTheSameTree) {
    const std::string dest = m_home.File("Temp/all.opml");
    std::string error;
    ASSERT_TRUE(COpmlExchange::ExportAll(ChannelFile(), dest, error)) << error;
    const std::string exported = CTextCodec::GbkToUtf8(ReadAll(dest));
    // text mirrors title, empty feed addresses are gone, other attributes stay.
    EXPECT_NE(exported.find("text=\"甲报\""), std::string::npos);
    EXPECT_EQ(exported.find("xmlUrl=\"\""), std::string::npos);
    EXPECT_NE(exported.find("expanded=\"1\""), std::string::npos);
    EXPECT_EQ(ReadAll(ChannelFile()), kTree) << "the channel file is not rewritten";
    ExpectOpml2(dest);

    // Into an empty program directory, through the arrangement: every top-level outline dropped.
    CTempHome other;
    const std::string before = FlatFile(ChannelFile());
    COpmlImport import(other.Context());
    ASSERT_TRUE(import.Begin(error)) << error;
    ASSERT_TRUE(import.LoadSource(dest));
    for (int i = 0; i < static_cast<int>(import.Source().size()); ++i)
        ASSERT_TRUE(import.Drop({i}, {}));
    ASSERT_TRUE(import.Commit(error)) << error;
    EXPECT_EQ(FlatFile(other.File("Storage/rssreader.opml")), before);

    // And the channel tree reads it back the same way.
    CChannelTree tree(other.Context());
    ASSERT_TRUE(tree.Build());
    EXPECT_EQ(tree.Record(tree.FindByPath("新闻/子目录/乙 & 报")).xmlUrl, "http://b.example/rss");
    EXPECT_TRUE(tree.Record(tree.FindByPath("空目录")).directory);

    // The same through the non-interactive merge.
    CTempHome third;
    std::vector<OpmlOutline> source;
    ASSERT_TRUE(COpmlExchange::ReadOutlines(dest, source, error));
    OpmlMergeResult result;
    ASSERT_TRUE(
        COpmlExchange::MergeInto(third.File("Storage/rssreader.opml"), {}, source, result, error));
    EXPECT_EQ(result.added.size(), 3u);
    std::string merged = FlatFile(third.File("Storage/rssreader.opml"));
    // The empty folder holds nothing to subscribe and is left out.
    EXPECT_EQ(merged, "新闻||\n  甲报|http://a.example/rss|http://a.example/\n  子目录||\n"
                      "    乙 & 报|http://b.example/rss|\n丁|http://d.example/rss|\n");

    // A list imported from a reader that writes only text keeps its names.
    WriteAll(ChannelFile(),
             "<opml><body><outline text=\"只有文字\" xmlUrl=\"http://t.example/rss\"/>"
             "</body></opml>");
    ASSERT_TRUE(COpmlExchange::ExportAll(ChannelFile(), dest, error)) << error;
    EXPECT_EQ(FlatFile(dest), "只有文字|http://t.example/rss|\n");
}

TEST_F(OpmlExchangeTest, ExportsOneOutlineAsItsOwnDocument) {
    const std::string dest = m_home.File("Temp/one.opml");
    std::string error;
    ASSERT_TRUE(COpmlExchange::ExportOutline(ChannelFile(), {0}, dest, error)) << error;
    const std::string bytes = ReadAll(dest);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?><opml version=\"2.0\"><head>"
                          "<title>",
                          0),
              0u);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    ExpectOpml2(dest);
    EXPECT_EQ(FlatFile(dest), "新闻||\n  甲报|http://a.example/rss|http://a.example/\n  子目录||\n"
                              "    乙 & 报|http://b.example/rss|\n");
    EXPECT_FALSE(COpmlExchange::ExportOutline(ChannelFile(), {9}, dest, error));
    EXPECT_FALSE(
        COpmlExchange::ExportOutline(ChannelFile(), {0}, "/nonexistent/dir/x.opml", error));
}

TEST_F(OpmlExchangeTest, ArrangementDropsIntoDirectoriesAndCancelChangesNothing) {
    std::string error;
    COpmlImport import(m_home.Context());
    ASSERT_TRUE(import.Begin(error)) << error;
    EXPECT_TRUE(CFileUtil::Exists(import.WorkingCopy()));
    ASSERT_TRUE(import.LoadSource(TestDataPath("opml/liferea-feedlist_en.opml")));
    OutlinePath landed;
    // Onto a directory: at its end; onto a feed: the top level.
    ASSERT_TRUE(import.Drop({0, 0}, {0}, &landed));
    EXPECT_EQ(landed, (OutlinePath{0, 2}));
    ASSERT_TRUE(import.Drop({0, 1, 0}, {2}, &landed));
    EXPECT_EQ(landed, (OutlinePath{3}));
    EXPECT_FALSE(import.Drop({7}, {}));
    // A feed the working copy holds already is left out, and said so.
    OpmlMergeResult result;
    ASSERT_TRUE(import.Drop({0, 0, 1}, {}, &landed, &result));
    EXPECT_TRUE(landed.empty());
    EXPECT_EQ(result.SummaryText(), "0 个频道已导入, 1 个已存在, 0 个无效");
    EXPECT_EQ(import.Target().size(), 4u);
    EXPECT_NE(ReadAll(import.WorkingCopy()).find("Slashdot"), std::string::npos);
    import.Cancel();
    EXPECT_EQ(ReadAll(ChannelFile()), kTree);
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/temp.opml")));

    COpmlImport again(m_home.Context());
    ASSERT_TRUE(again.Begin(error));
    ASSERT_TRUE(again.LoadSource(TestDataPath("opml/gb2312-no-declaration.opml")));
    ASSERT_TRUE(again.Drop({0}, {1}));
    ASSERT_TRUE(again.Commit(error)) << error;
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/temp.opml")));
    CChannelTree tree(m_home.Context());
    ASSERT_TRUE(tree.Build());
    EXPECT_EQ(tree.Record(tree.FindByPath("空目录/新闻/网易科技")).xmlUrl,
              "http://tech.163.example/rss.xml");
}

TEST_F(OpmlExchangeTest, MergeKeepsFoldersAndSkipsWhatIsSubscribed) {
    std::string error;
    std::vector<OpmlOutline> source = Read("opml/liferea-feedlist_en.opml");
    // One of Liferea's feeds is subscribed already, under another name.
    source[0].children[0].children[0].xmlUrl = "http://a.example/rss";
    OpmlMergeResult result;
    ASSERT_TRUE(COpmlExchange::MergeInto(ChannelFile(), {1}, source, result, error)) << error;
    ASSERT_FALSE(result.skipped.empty());
    EXPECT_EQ(result.skipped[0].path, "Example Feeds/News/Ars Technica");
    EXPECT_EQ(result.skipped[0].reason, "已订阅");
    // Liferea's search folders hold rules, no feeds: nothing of them is made.
    for (const OpmlMergeEntry& entry : result.added)
        EXPECT_EQ(entry.path.rfind("Example Feeds/", 0), 0u) << entry.path;

    CChannelTree tree(m_home.Context());
    ASSERT_TRUE(tree.Build());
    EXPECT_GE(tree.FindByPath("空目录/Example Feeds/News/Slashdot"), 0);

    // Again: everything is known now, the folders are reused, nothing is added.
    const std::string once = ReadAll(ChannelFile());
    ASSERT_TRUE(COpmlExchange::MergeInto(ChannelFile(), {1}, source, result, error));
    EXPECT_TRUE(result.added.empty());
    EXPECT_EQ(ReadAll(ChannelFile()), once);
}

// Every list of the shared corpus reads, and a list exported from it comes back the same.
TEST(OpmlCorpusTest, EveryListReadsAndRoundTrips) {
    if (std::string reason = SharedSkipReason("corpus/opml"); !reason.empty())
        GTEST_SKIP() << reason;
    CRecordingReporter reporter;
    CScopedReporter scope(reporter);
    int lists = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SharedDir() + "/corpus/opml")) {
        if (entry.path().extension() != ".opml")
            continue;
        SCOPED_TRACE(entry.path().string());
        ++lists;
        std::vector<OpmlOutline> outlines;
        std::string error;
        ASSERT_TRUE(COpmlExchange::ReadOutlines(entry.path().string(), outlines, error)) << error;
        EXPECT_FALSE(outlines.empty());
        CTempHome home;
        const std::string channels = home.File("Storage/rssreader.opml");
        ASSERT_TRUE(COpmlExchange::WriteOutlines(channels, outlines, error)) << error;
        ASSERT_TRUE(COpmlExchange::ExportAll(channels, home.File("Temp/out.opml"), error));
        std::string first, second;
        Flatten(outlines, first);
        second = FlatFile(home.File("Temp/out.opml"));
        EXPECT_EQ(second, first);
    }
    EXPECT_GE(lists, 9);
}

// The pages of an import are asked side by side even from the one job of a full runner (a use-case
// may itself run as a job): the helpers never wait for a thread that job holds.
TEST(OpmlDiscovery, PagesAreAskedSideBySideFromInsideABusyRunner) {
    std::vector<OpmlOutline> outlines;
    for (int i = 0; i < 8; ++i)
        outlines.push_back({.title = "页" + std::to_string(i),
                            .xmlUrl = "http://site" + std::to_string(i) + ".example/"});
    std::mutex lock;
    std::condition_variable changed;
    int asking = 0, most = 0;
    std::multiset<std::string> asked;
    const auto discover = [&](const std::string& url) {
        std::unique_lock held(lock);
        asked.insert(url);
        most = std::max(most, ++asking);
        changed.notify_all();
        // Each waits (bounded) until the others are asking as well.
        changed.wait_for(held, std::chrono::seconds(10),
                         [&] { return most >= COpmlDiscovery::kWorkers; });
        --asking;
        FeedDiscovery page{.answered = true};
        if (url != "http://site0.example/")
            page.offers.push_back({.url = url + "feed"});
        return page;
    };
    CJobRunner outer(1);
    OpmlDiscoveryResult result;
    ASSERT_TRUE(outer.Submit([&](const CCancelToken&) {
        result = COpmlDiscovery::Resolve(outlines, COpmlFeedFilter(), discover);
    }));
    outer.Wait();
    EXPECT_EQ(most, COpmlDiscovery::kWorkers);
    EXPECT_EQ(asked.size(), 8u);
    EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), 8u);
    EXPECT_EQ(result.resolved.size(), 7u);
    ASSERT_EQ(result.dropped.size(), 1u);
    EXPECT_EQ(result.dropped[0].path, "页0");
    EXPECT_EQ(outlines.size(), 7u);
    EXPECT_EQ(outlines[0].xmlUrl, "http://site1.example/feed");
}
