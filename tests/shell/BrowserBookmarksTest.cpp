#include "shell/BrowserBookmarks.h"
#include "storage/SqlDatabase.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// The two tables of Firefox's places.sqlite that hold bookmarks, as Firefox creates them.
constexpr const char* kPlacesSchema = R"(
CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR,
  rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL,
  typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER,
  guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL,
  description TEXT, preview_image_url TEXT, site_name TEXT,
  origin_id INTEGER REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0,
  alt_frecency INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);
CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL,
  parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT,
  dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0,
  syncChangeCounter INTEGER NOT NULL DEFAULT 1);
INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES
  (1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'),
  (3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'),
  (5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______');
INSERT INTO moz_places (id, url, title) VALUES (1, 'https://b.example/', 'B site'),
  (2, 'https://a.example/', 'a site'), (3, 'place:sort=8', NULL), (4, 'https://c.example/', 'C');
INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES
  (10, 1, 1, 3, 0, 'B site', 'b1'), (11, 1, 2, 3, 1, 'a site', 'a1'),
  (12, 1, 3, 3, 2, 'Most visited', 'q1'), (13, 3, NULL, 3, 3, NULL, 's1'),
  (14, 2, NULL, 2, 0, 'Reading', 'f1'), (15, 1, 4, 14, 0, 'C', 'c1'),
  (16, 1, 4, 4, 0, 'tagged', 't1');
)";

class BrowserBookmarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_home = MakeTempDir();
        m_scratch = m_home + "/quillmark/Temp";
    }
    void TearDown() override { RemoveTree(m_home); }

    std::string MakeFirefoxProfile() {
        const std::string root = m_home + "/.mozilla/firefox";
        fs::create_directories(root + "/abcd.default-esr");
        fs::create_directories(root + "/old.default");
        WriteAll(root + "/profiles.ini", "[Install4F96D1932A9F858E]\nDefault=abcd.default-esr\n"
                                         "Locked=1\n\n[Profile1]\nName=old\nIsRelative=1\n"
                                         "Path=old.default\nDefault=1\n\n[Profile0]\n"
                                         "Name=default-esr\nIsRelative=1\n"
                                         "Path=abcd.default-esr\n\n[General]\nVersion=2\n");
        const std::string places = root + "/abcd.default-esr/places.sqlite";
        CSqlDatabase db;
        db.Open(places);
        db.ExecuteUpdate(kPlacesSchema);
        return places;
    }

    std::string m_home;
    std::string m_scratch;
};

std::vector<std::string> Titles(const BookmarkNode& node) {
    std::vector<std::string> titles;
    for (const BookmarkNode& child : node.children)
        titles.push_back(child.title);
    return titles;
}

} // namespace

TEST_F(BrowserBookmarksTest, FirefoxBookmarksFromACopyOfPlacesAndFilesThatAreNoneReported) {
    const std::string places = MakeFirefoxProfile();
    const std::vector<FoundBookmarkFile> found = CBrowserBookmarks::FindFirefoxPlaces(m_home);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].path, places);
    EXPECT_EQ(found[0].label, "Firefox");

    // Firefox holds its database locked while it runs, with recent changes only in its log.
    CSqlDatabase firefox;
    firefox.Open(places);
    firefox.ExecuteUpdate("PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL;"
                          "INSERT INTO moz_places (id, url, title) VALUES (5, 'https://new/', 'N');"
                          "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid)"
                          " VALUES (17, 1, 5, 5, 0, 'new one', 'n1');");
    ASSERT_TRUE(fs::exists(places + "-wal"));
    const auto stamp = fs::last_write_time(places);
    const auto size = fs::file_size(places);

    BookmarkNode root;
    std::string error;
    ASSERT_TRUE(CBrowserBookmarks::ReadFirefoxPlaces(places, m_scratch, root, error)) << error;
    ASSERT_EQ(Titles(root), (std::vector<std::string>{"书签菜单", "书签工具栏", "其他书签"}));
    const BookmarkNode& menu = root.children[0];
    ASSERT_EQ(Titles(menu), std::vector<std::string>{"Reading"});
    EXPECT_EQ(menu.children[0].kind, BookmarkKind::kFolder);
    EXPECT_EQ(menu.children[0].children.at(0).url, "https://c.example/");
    // Case-insensitive order; no queries, separators or tags.
    const BookmarkNode& toolbar = root.children[1];
    EXPECT_EQ(Titles(toolbar), (std::vector<std::string>{"a site", "B site"}));
    EXPECT_EQ(toolbar.children[1].url, "https://b.example/");
    EXPECT_EQ(toolbar.children[1].kind, BookmarkKind::kLink);
    EXPECT_EQ(Titles(root.children[2]), std::vector<std::string>{"new one"});

    // The original is untouched and the copy is gone.
    EXPECT_EQ(fs::last_write_time(places), stamp);
    EXPECT_EQ(fs::file_size(places), size);
    EXPECT_TRUE(fs::is_empty(m_scratch));

    // A file that is no places database, or none at all, is named in the error.
    const std::string bad = m_home + "/places.sqlite";
    WriteAll(bad, "this is not a database");
    EXPECT_FALSE(CBrowserBookmarks::ReadFirefoxPlaces(bad, m_scratch, root, error));
    EXPECT_NE(error.find(bad), std::string::npos) << error;
    EXPECT_FALSE(CBrowserBookmarks::ReadFirefoxPlaces(m_home + "/none", m_scratch, root, error));
    EXPECT_NE(error.find("/none"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(m_scratch));
}

TEST_F(BrowserBookmarksTest, ChromiumBookmarksFile) {
    const std::string profile = m_home + "/.config/chromium/Default";
    fs::create_directories(profile);
    fs::create_directories(m_home + "/.config/google-chrome/Profile 1");
    WriteAll(profile + "/Bookmarks", R"({
      "checksum": "0", "version": 1,
      "roots": {
        "bookmark_bar": {"name": "Bookmarks bar", "type": "folder", "children": [
          {"name": "zeta", "type": "url", "url": "https://z.example/"},
          {"name": "Alpha", "type": "url", "url": "https://a.example/"},
          {"name": "新闻", "type": "folder", "children": [
            {"name": "", "type": "url", "url": "https://news.example/"}]}]},
        "other": {"name": "Other bookmarks", "type": "folder", "children": []},
        "synced": {"name": "Mobile bookmarks", "type": "folder", "children": []}}})");
    WriteAll(m_home + "/.config/google-chrome/Profile 1/Bookmarks", "{ broken");

    BookmarkSources sources{.home = m_home, .configHome = m_home + "/.config"};
    const std::vector<FoundBookmarkFile> found = CBrowserBookmarks::FindChromiumBookmarks(sources);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].label, "Chromium");
    EXPECT_EQ(found[1].label, "Google Chrome (Profile 1)");

    BookmarkNode root;
    std::string error;
    ASSERT_TRUE(CBrowserBookmarks::ReadChromiumBookmarks(found[0].path, root, error)) << error;
    EXPECT_EQ(Titles(root), (std::vector<std::string>{"书签栏", "其他书签"}));
    EXPECT_EQ(Titles(root.children[0]), (std::vector<std::string>{"Alpha", "zeta", "新闻"}));
    EXPECT_EQ(root.children[0].children[2].children.at(0).title, "https://news.example/");

    EXPECT_FALSE(CBrowserBookmarks::ReadChromiumBookmarks(found[1].path, root, error));
    EXPECT_NE(error.find("Profile 1/Bookmarks"), std::string::npos) << error;
    // The broken file is left out and said; the good one is still shown.
    std::vector<std::string> problems;
    const std::vector<BookmarkNode> all = CBrowserBookmarks::ReadAll(sources, problems);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].title, "Chromium");
    ASSERT_EQ(problems.size(), 1u);
}

TEST_F(BrowserBookmarksTest, FolderOfUrlFiles) {
    const std::string folder = m_home + "/Favorites";
    fs::create_directories(folder + "/Links");
    WriteAll(folder + "/B.url", "[InternetShortcut]\r\nURL=https://b.example/\r\n");
    WriteAll(folder + "/a.url", "\xEF\xBB\xBF[DEFAULT]\nBASEURL=x\n[internetshortcut]\nurl = "
                                "https://a.example/\nIconIndex=0\n");
    WriteAll(folder + "/c.URL", "[InternetShortcut]\nURL=https://c.example/\n");
    WriteAll(folder + "/notes.txt", "not a link");
    WriteAll(folder + "/Links/d.url", "[InternetShortcut]\nURL=https://d.example/\n");

    BookmarkNode root;
    std::string error;
    ASSERT_TRUE(CBrowserBookmarks::ReadUrlFolder(folder, root, error)) << error;
    EXPECT_EQ(Titles(root), (std::vector<std::string>{"a", "B", "c", "Links"}));
    EXPECT_EQ(root.children[0].url, "https://a.example/");
    EXPECT_EQ(root.children[2].url, "https://c.example/");
    EXPECT_EQ(root.children[3].children.at(0).url, "https://d.example/");
    EXPECT_FALSE(CBrowserBookmarks::ReadUrlFolder(m_home + "/missing", root, error));
}

TEST_F(BrowserBookmarksTest, FavoritesFolderLookupOrder) {
    BookmarkSources sources{.home = m_home,
                            .configHome = m_home + "/.config",
                            .configuredFavorites = m_home + "/chosen"};
    EXPECT_EQ(CBrowserBookmarks::FindFavoritesFolder(sources), "");
    fs::create_directories(m_home + "/Favorites");
    EXPECT_EQ(CBrowserBookmarks::FindFavoritesFolder(sources), m_home + "/Favorites");
    fs::create_directories(m_home + "/.config");
    fs::create_directories(m_home + "/收藏夹");
    WriteAll(m_home + "/.config/user-dirs.dirs",
             "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
             "XDG_FAVORITES_DIR=\"$HOME/收藏夹\"\n");
    EXPECT_EQ(CBrowserBookmarks::FindFavoritesFolder(sources), m_home + "/收藏夹");
    fs::create_directories(m_home + "/chosen");
    EXPECT_EQ(CBrowserBookmarks::FindFavoritesFolder(sources), m_home + "/chosen");
}
