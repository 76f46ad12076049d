#include "app/AppPaths.h"
#include "shell/ShellRegistration.h"
#include "storage/SqlDatabase.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/MainFrame.h"
#include "ui/common/CommandIds.h"
#include "ui/reader/SubscriptionDialog.h"
#include "ui/shell/ControlFavorites.h"

#include <QApplication>
#include <QMenu>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A user of their own: HOME and the XDG folders point into a temporary folder while it lives.
class CTempUser {
public:
    CTempUser() : m_root(MakeTempDir()) {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", m_root.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_root + "/.config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_root + "/.local/share").c_str(), 1);
    }
    ~CTempUser() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        RemoveTree(m_root);
    }
    const std::string& Root() const { return m_root; }

private:
    std::string m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

void MakeFirefoxProfile(const std::string& home) {
    const std::string profile = home + "/.mozilla/firefox/x1.default-esr";
    fs::create_directories(profile);
    WriteAll(home + "/.mozilla/firefox/profiles.ini",
             "[Profile0]\nName=default-esr\nIsRelative=1\nPath=x1.default-esr\nDefault=1\n");
    CSqlDatabase db;
    db.Open(profile + "/places.sqlite");
    db.ExecuteUpdate(
        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR,"
        " rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, guid TEXT);"
        "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
        "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER,"
        " folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT);"
        "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES"
        " (1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'),"
        " (3, 2, 1, 1, 'toolbar', 'toolbar_____'), (5, 2, 1, 3, 'unfiled', 'unfiled_____');"
        "INSERT INTO moz_places (id, url, title) VALUES (1, 'http://127.0.0.1:9/zeta', 'zeta'),"
        " (2, 'http://127.0.0.1:9/alpha', 'Alpha');"
        "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES"
        " (10, 1, 1, 3, 0, 'zeta', 'z1'), (11, 1, 2, 3, 1, 'Alpha', 'a1');");
}

class BrowserIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    CTempHome m_home{{.processDir = true}};
    CTempUser m_user;
    CRecordingMessageBoxes m_boxes;
};

QStringList Children(QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

} // namespace

TEST_F(BrowserIntegrationTest, TheFavoritesPaneShowsFirefoxAndLinkFiles) {
    MakeFirefoxProfile(m_user.Root());
    fs::create_directories(m_user.Root() + "/Favorites");
    WriteAll(m_user.Root() + "/Favorites/B.url", "[InternetShortcut]\nURL=http://b.example/\n");
    WriteAll(m_user.Root() + "/Favorites/a.URL", "[InternetShortcut]\nURL=http://a.example/\n");

    CControlFavorites pane(m_home.Context());
    pane.Reload();
    ASSERT_EQ(pane.topLevelItemCount(), 2);
    QTreeWidgetItem* firefox = pane.topLevelItem(0);
    EXPECT_EQ(firefox->text(0), QStringLiteral("Firefox"));
    EXPECT_EQ(Children(firefox),
              (QStringList{QStringLiteral("书签菜单"), QStringLiteral("书签工具栏"),
                           QStringLiteral("其他书签")}));
    QTreeWidgetItem* toolbar = firefox->child(1);
    EXPECT_EQ(Children(toolbar), (QStringList{QStringLiteral("Alpha"), QStringLiteral("zeta")}));
    EXPECT_EQ(Children(pane.topLevelItem(1)),
              (QStringList{QStringLiteral("a"), QStringLiteral("B")}));
    // No copy of Firefox's database is left behind.
    EXPECT_TRUE(fs::is_empty(m_home.File("Temp")));

    QString opened;
    QObject::connect(&pane, &CControlFavorites::OpenUrl, [&](const QString& url) { opened = url; });
    emit pane.itemClicked(toolbar->child(0), 0);
    EXPECT_EQ(opened, QStringLiteral("http://127.0.0.1:9/alpha"));
    opened.clear();
    emit pane.itemClicked(toolbar, 0);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(BrowserIntegrationTest, AnEmptyOrUnreadableSourceIsSaid) {
    fs::create_directories(m_user.Root() + "/.config/chromium/Default");
    WriteAll(m_user.Root() + "/.config/chromium/Default/Bookmarks", "not json");
    CControlFavorites pane(m_home.Context());
    pane.Reload();
    ASSERT_EQ(pane.topLevelItemCount(), 2);
    EXPECT_EQ(pane.topLevelItem(0)->text(0), QStringLiteral("(没有找到浏览器书签)"));
    EXPECT_TRUE(pane.topLevelItem(1)->text(0).startsWith(QStringLiteral("无法读取: ")));
    EXPECT_TRUE(pane.topLevelItem(1)->text(0).contains(QStringLiteral("chromium/Default")));
}

TEST_F(BrowserIntegrationTest, TheMainWindowAddsAndRemovesTheBrowserHandOff) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    // The tools menu of the reader names the browser, not one browser's make.
    QStringList submenus;
    for (QMenu* menu : frame.MenusOf(CMainFrame::kSideRss))
        for (QAction* action : menu->actions())
            if (action->menu())
                submenus << action->text();
    EXPECT_TRUE(submenus.contains(QStringLiteral("浏览器右键订阅")))
        << submenus.join(',').toStdString();

    const std::string mimeapps = m_user.Root() + "/.config/mimeapps.list";
    fs::create_directories(m_user.Root() + "/.config");
    const std::string before = "[Default Applications]\nx-scheme-handler/quill=other.desktop;\n";
    WriteAll(mimeapps, before);
    ASSERT_TRUE(frame.Action(kCmdBrowserMenuAdd)->isEnabled());
    frame.Action(kCmdBrowserMenuAdd)->trigger();
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    EXPECT_EQ(registration.DefaultFor("x-scheme-handler/quill"), CShellRegistration::kDesktopId);
    const std::string entry = ReadAll(registration.DesktopEntryPath());
    EXPECT_NE(entry.find(QCoreApplication::applicationFilePath().toStdString()), std::string::npos);
    EXPECT_NE(entry.find("--home " + GetModuleDir() + " %u"), std::string::npos) << entry;
    frame.Action(kCmdBrowserMenuRemove)->trigger();
    EXPECT_EQ(ReadAll(mimeapps), before);
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<QString>{QString::fromUtf8(CShellRegistration::kAddedText),
                                    QString::fromUtf8(CShellRegistration::kRemovedText)}));

    // No folder of link files: the command says so and where it looked.
    m_boxes.Clear();
    frame.Action(kCmdOrganizeFavorites)->trigger();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("Error"));
    EXPECT_TRUE(m_boxes.Boxes()[0].text.startsWith(
        QStringLiteral("The path of the Favorites folder cannot be found.")));
    EXPECT_TRUE(
        m_boxes.Boxes()[0].text.contains(QString::fromStdString(m_user.Root() + "/Favorites")));

    // Without an updater beside the program, the distribution updates it.
    m_boxes.Clear();
    frame.Action(kCmdCheckUpdate)->trigger();
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_TRUE(m_boxes.Texts()[0].contains(QStringLiteral("发行版")));
}

TEST_F(BrowserIntegrationTest, AFeedLinkFromTheBrowserFillsTheSubscriptionDialog) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    const std::pair<std::string, QStringList> cases[] = {
        {"feed:https://example.org/rss.xml", {QStringLiteral("https://example.org/rss.xml"), {}}},
        {"quill://rssurl=feed://example.org/a.xml&rsstitle=%E6%B5%8B%E8%AF%95",
         {QStringLiteral("http://example.org/a.xml"), QStringLiteral("测试")}},
    };
    for (const auto& [address, expected] : cases) {
        QStringList shown;
        WhenOpen<CSubscriptionDialog>([&](CSubscriptionDialog& dialog) {
            shown = QStringList{dialog.Url(), dialog.Title()};
            dialog.reject();
        });
        frame.AddSubscriptionFromAddress(address);
        EXPECT_EQ(shown, expected) << address;
    }
}
