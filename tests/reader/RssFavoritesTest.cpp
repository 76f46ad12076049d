#include "reader/RssFavorites.h"
#include "platform/fs/FileUtil.h"
#include "reader/BrokenStore.h"
#include "reader/FeedDate.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// What feedparser (the parser behind many feed readers) reads of a feed file: a line
// "version|title|link", then "title|link|UTC seconds of pubDate" per item; nullopt when no
// python3 here has feedparser.
std::optional<std::string> Feedparser(const std::string& path) {
    const std::string script = "import sys,calendar,feedparser as f\n"
                               "d=f.parse(sys.argv[1])\n"
                               "print(d.version+\"|\"+d.feed.title+\"|\"+d.feed.link)\n"
                               "for e in d.entries: print(e.title+\"|\"+e.link+\"|\"+"
                               "str(calendar.timegm(e.published_parsed)))\n";
    for (const std::string python : {"/usr/bin/python3", "python3"}) {
        if (std::system((python + " -c 'import feedparser' 2>/dev/null").c_str()) != 0)
            continue;
        FILE* pipe = ::popen((python + " -c '" + script + "' '" + path + "'").c_str(), "r");
        std::string out;
        std::array<char, 4096> buffer{};
        while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
            out.append(buffer.data(), n);
        ::pclose(pipe);
        return out;
    }
    return std::nullopt;
}

// The stored clock time read as local time, in UTC seconds.
std::string LocalSeconds(const std::string& stored) {
    FeedDateTime d;
    EXPECT_TRUE(CFeedDate::Parse(stored, d)) << stored;
    std::tm tm{.tm_sec = d.second,
               .tm_min = d.minute,
               .tm_hour = d.hour,
               .tm_mday = d.day,
               .tm_mon = d.month - 1,
               .tm_year = d.year - 1900,
               .tm_isdst = -1};
    return std::to_string(std::mktime(&tm));
}

class RssFavoritesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Done(m_store.OpenStore()));
        ASSERT_TRUE(m_favorites.Build());
    }
    FeedItem Item(const std::string& title, const std::string& link) {
        return {.title = title,
                .link = link,
                .description = "<p>" + title + "</p>",
                .pubDate = "2026-01-02 03:04:05",
                .author = "作者"};
    }
    int Box(const std::string& name, int parent = -1) {
        int index = -1;
        EXPECT_TRUE(m_favorites.AddBox(parent, name, "", m_store, &index));
        return index;
    }
    std::vector<std::string> Titles(int box) {
        std::vector<FeedItem> items;
        EXPECT_TRUE(m_favorites.Items(box, items, m_store));
        std::vector<std::string> titles;
        for (const FeedItem& item : items)
            titles.push_back(item.title);
        return titles;
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    CFeedDatabase m_store{m_home.Context()};
    CRssFavorites m_favorites{m_home.Context()};
};

} // namespace

TEST_F(RssFavoritesTest, BoxesAndFoldersLiveInTheirOwnFile) {
    int folder = -1;
    ASSERT_TRUE(m_favorites.AddFolder(-1, "收藏夹一", &folder));
    int box = Box("技术文章", folder);
    ASSERT_GE(box, 0);
    const int id = m_favorites.BoxId(box);
    EXPECT_GT(id, 0);
    const std::string file = ReadAll(m_home.File("Storage/rssFavorite.opml"));
    EXPECT_NE(file.find("xmlUrl=\"" + std::to_string(id) + "\""), std::string::npos);
    EXPECT_EQ(ReadAll(m_home.File("Storage/rssreader.opml")).find("技术文章"), std::string::npos);

    CRssFavorites again(m_home.Context());
    ASSERT_TRUE(again.Build());
    int found = again.FindBox("收藏夹一/技术文章");
    ASSERT_GE(found, 0);
    EXPECT_EQ(again.BoxId(found), id);
    EXPECT_EQ(again.FindBox("收藏夹一"), -1) << "a folder is no box";

    // A box whose address is no number holds nothing.
    EXPECT_EQ(CRssFavorites::ParseBoxId("abc"), 0);
    EXPECT_EQ(CRssFavorites::ParseBoxId("12x"), 0);
    EXPECT_EQ(CRssFavorites::ParseBoxId("12"), 12);
    ASSERT_TRUE(m_favorites.Tree().AddEntry(-1, "坏盒", "abc", ""));
    int bad = m_favorites.FindBox("坏盒");
    EXPECT_TRUE(Titles(bad).empty());

    // An older program directory without the file gets an empty one.
    CFileUtil::RemoveFile(m_home.File("Storage/rssFavorite.opml"));
    CRssFavorites fresh(m_home.Context());
    EXPECT_TRUE(fresh.Build());
    EXPECT_TRUE(fresh.Tree().Roots().empty());
}

TEST_F(RssFavoritesTest, ItemsAreCopiedAddedAndMovedBetweenBoxes) {
    int a = Box("甲"), b = Box("乙");
    int feedId = 0;
    ASSERT_TRUE(m_store.AddFeed("http://x.example/rss", feedId));
    ASSERT_TRUE(m_store.SaveReceivedItems(
        feedId, {Item("新一", "http://x.example/1"), Item("旧二", "http://x.example/2")},
        StorageRule::kKeepAll, 0));
    std::vector<FeedItem> received;
    int total = 0;
    ASSERT_TRUE(m_store.GetItemPage(feedId, ItemFilter::kAll, false, received, total, 50, 0));
    ASSERT_TRUE(m_favorites.CopyItems(a, {received[0].Ref(), received[1].Ref()}, m_store));
    EXPECT_EQ(Titles(a), (std::vector<std::string>{"新一", "旧二"}));
    EXPECT_FALSE(m_favorites.CopyItems(a, {StoredItem(99999)}, m_store));
    EXPECT_EQ(m_reporter.messages.back(), "添加失败: 没有对应id的rss item");

    std::vector<FeedItem> inA;
    ASSERT_TRUE(m_favorites.Items(a, inA, m_store));
    EXPECT_FALSE(m_favorites.MoveItems(a, a, {inA[0].id}, m_store));
    EXPECT_EQ(m_reporter.messages.back(), "需要指定一个不同的收藏!");
    EXPECT_EQ(Titles(a).size(), 2u);
    ASSERT_TRUE(m_favorites.MoveItems(a, b, {inA[0].id}, m_store));
    EXPECT_EQ(Titles(a), (std::vector<std::string>{"旧二"}));
    EXPECT_EQ(Titles(b), (std::vector<std::string>{"新一"}));

    // By hand, with the dialog's checks in their order.
    FeedItem item = Item("手工", "http://h.example/");
    EXPECT_EQ(CRssFavorites::CheckItem(item), "");
    item.title = "";
    EXPECT_EQ(CRssFavorites::CheckItem(item), "请输入标题");
    item.title = "a<b";
    item.link = "";
    EXPECT_EQ(CRssFavorites::CheckItem(item), "请输入链接");
    item.link = "http://h.example/";
    EXPECT_EQ(CRssFavorites::CheckItem(item), "含有不合法的字符 '<' 或 '>'!");
    item.title = "手工";
    item.author = "x>y";
    EXPECT_FALSE(m_favorites.AddItem(b, item, m_store));
    EXPECT_EQ(m_reporter.messages.back(), "含有不合法的字符 '<' 或 '>'!");
    item.author = "我";
    item.description = "<b>markup is fine here</b>";
    ASSERT_TRUE(m_favorites.AddItem(b, item, m_store));
    EXPECT_EQ(Titles(b), (std::vector<std::string>{"手工", "新一"}));
    EXPECT_EQ(CRssFavorites::NowText().size(), 19u);
}

TEST_F(RssFavoritesTest, DeletingAFolderRemovesItsBoxesAndTheirItems) {
    int folder = -1;
    ASSERT_TRUE(m_favorites.AddFolder(-1, "夹", &folder));
    int a = Box("甲", folder), b = Box("乙", folder), kept = Box("留");
    for (int box : {a, b, kept})
        ASSERT_TRUE(m_favorites.AddItem(box, Item("项", "http://i.example/"), m_store));
    const int idA = m_favorites.BoxId(a);
    ASSERT_TRUE(m_favorites.Delete(folder, m_store));
    std::vector<FeedItem> left;
    ASSERT_TRUE(m_store.GetFavoriteItems(idA, false, left));
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(Titles(kept).size(), 1u);
    CRssFavorites again(m_home.Context());
    ASSERT_TRUE(again.Build());
    EXPECT_EQ(again.Tree().Roots().size(), 1u);

    // Properties: a box is renamed, its id stays.
    ASSERT_TRUE(m_favorites.SetProperties(kept, "留下", "http://site.example/"));
    ASSERT_TRUE(again.Build());
    int renamed = again.FindBox("留下");
    ASSERT_GE(renamed, 0);
    EXPECT_EQ(again.BoxId(renamed), m_favorites.BoxId(kept));
    EXPECT_EQ(again.Tree().Record(renamed).htmlUrl, "http://site.example/");
}

TEST_F(RssFavoritesTest, AStoreThatFailsSaysWhyBesideTheMessage) {
    const std::string db = m_home.File("Storage/rss.db");
    const std::string full = "\n原因: SQLITE_CONSTRAINT[19]: database or disk is full";
    int a = Box("甲"), b = Box("乙");
    ASSERT_TRUE(m_favorites.AddItem(a, Item("项", "http://i.example/"), m_store));

    BreakTable(db, "feedfav_data", "INSERT");
    EXPECT_FALSE(m_favorites.AddBox(-1, "丙", "", m_store));
    EXPECT_THAT(m_reporter.messages.back(), ::testing::StartsWith("添加失败!" + full));
    RepairTable(db, "feedfav_data");

    BreakTable(db, "rssfavorite_data", "INSERT");
    EXPECT_FALSE(m_favorites.AddItem(b, Item("新", "http://n.example/"), m_store));
    EXPECT_THAT(m_reporter.messages.back(), ::testing::StartsWith("添加失败" + full));
    RepairTable(db, "rssfavorite_data");

    BreakTable(db, "rssfavorite_data", "UPDATE");
    std::vector<FeedItem> inA;
    ASSERT_TRUE(m_favorites.Items(a, inA, m_store));
    EXPECT_FALSE(m_favorites.MoveItems(a, b, {inA[0].id}, m_store));
    EXPECT_THAT(m_reporter.messages.back(), ::testing::StartsWith("移动失败!" + full));
    RepairTable(db, "rssfavorite_data");

    BreakTable(db, "feedfav_data", "DELETE");
    EXPECT_FALSE(m_favorites.Delete(a, m_store));
    EXPECT_THAT(m_reporter.messages.back(), ::testing::StartsWith("删除失败!" + full));
    RepairTable(db, "feedfav_data");
    EXPECT_EQ(Titles(a).size(), 1u) << "nothing moved or went";
}

TEST_F(RssFavoritesTest, ExportThenImportGivesTheBoxBack) {
    int box = Box("导出");
    FeedItem odd = Item("含 € 与 😀 的标题", "http://e.example/1?a=1&b=2");
    odd.description = "<p>描述 ]]> 😀</p>";
    odd.enclosures = {{"http://e.example/1.mp3?a=1&b=2", "audio/mpeg", 1234},
                      {"http://e.example/1.pdf", "", 0}};
    ASSERT_TRUE(m_favorites.AddItem(box, Item("较早", "http://e.example/0"), m_store));
    ASSERT_TRUE(m_favorites.AddItem(box, odd, m_store));

    ASSERT_TRUE(m_favorites.SetProperties(box, "导出", "http://site.example/"));

    const std::string path = m_home.File("Temp/导出.xml");
    ASSERT_TRUE(m_favorites.ExportBox(box, path, m_store));
    const std::string bytes = ReadAll(path);
    EXPECT_EQ(
        bytes.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
                    "<title><![CDATA[",
                    0),
        0u);
    EXPECT_NE(bytes.find("<pubDate>Fri, 02 Jan 2026 03:04:05 "), std::string::npos);
    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    // The author comes after the description.
    EXPECT_LT(bytes.find("<description>"), bytes.find("<author>"));

    int imported = -1;
    ASSERT_TRUE(m_favorites.ImportBox(path, -1, m_store, &imported))
        << (m_reporter.messages.empty() ? "" : m_reporter.messages.back());
    EXPECT_EQ(m_favorites.Tree().Record(imported).title, "导出");
    std::vector<FeedItem> before, after;
    ASSERT_TRUE(m_favorites.Items(box, before, m_store));
    ASSERT_TRUE(m_favorites.Items(imported, after, m_store));
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].title, before[i].title);
        EXPECT_EQ(after[i].link, before[i].link);
        EXPECT_EQ(after[i].description, before[i].description);
        EXPECT_EQ(after[i].author, before[i].author);
        EXPECT_EQ(after[i].pubDate, before[i].pubDate);
        EXPECT_EQ(after[i].enclosures, before[i].enclosures);
    }
    EXPECT_EQ(before[0].enclosures, odd.enclosures);
    // Another reader takes the same file.
    std::optional<std::string> read = Feedparser(path);
    if (!read)
        GTEST_SKIP() << "no python3 with feedparser";
    const std::string seconds = LocalSeconds("2026-01-02 03:04:05");
    EXPECT_EQ(*read,
              "rss20|导出|http://site.example/\n含 € 与 😀 的标题|http://e.example/1?a=1&b=2|" +
                  seconds + "\n较早|http://e.example/0|" + seconds + "\n");
}

TEST_F(RssFavoritesTest, AFailedImportStoresNothing) {
    const std::string dir = m_home.File("Temp");
    WriteAll(dir + "/broken.xml", "<rss><channel><item><title>a</title><link>x</link>");
    WriteAll(dir + "/good.xml",
             "<rss xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><item><title>t</title>"
             "<link>http://l.example/</link><dc:date>2024-05-06T07:08:09Z</dc:date></item>"
             "<item><title>u</title><link>http://m.example/</link></item></channel></rss>");
    EXPECT_FALSE(m_favorites.ImportBox(dir + "/broken.xml", -1, m_store));
    EXPECT_EQ(m_reporter.messages.back().rfind("导入失败", 0), 0u);

    // The store fails on the items: the folder row made before them is not kept either.
    BreakTable(m_home.File("Storage/rss.db"), "rssfavorite_data", "INSERT");
    EXPECT_FALSE(m_favorites.ImportBox(dir + "/good.xml", -1, m_store));
    EXPECT_EQ(m_reporter.messages.back().rfind("导入失败", 0), 0u);
    RepairTable(m_home.File("Storage/rss.db"), "rssfavorite_data");
    EXPECT_TRUE(m_favorites.Tree().Roots().empty());
    int folderId = 0;
    ASSERT_TRUE(m_store.CreateFavoriteFolder(folderId));
    EXPECT_EQ(folderId, 1) << "no folder row was left by the failed imports";

    int box = -1;
    ASSERT_TRUE(m_favorites.ImportBox(dir + "/good.xml", -1, m_store, &box));
    std::vector<FeedItem> items;
    ASSERT_TRUE(m_favorites.Items(box, items, m_store));
    ASSERT_EQ(items.size(), 2u);
    // The file lists the newest first, and the box shows them in that order again.
    EXPECT_EQ(items[0].title, "t");
    EXPECT_EQ(items[0].pubDate.substr(0, 10), "2024-05-06");
    EXPECT_EQ(items[1].author, "");
}
