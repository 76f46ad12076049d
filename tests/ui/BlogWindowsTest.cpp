#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"
#include "platform/jobs/JobRunner.h"
#include "platform/text/TextCodec.h"
#include "storage/ArticleDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/app/MainFrame.h"
#include "ui/blog/AccountChooserDialog.h"
#include "ui/blog/AccountSetupCommands.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/BlogArticlesView.h"
#include "ui/blog/BlogWorkspace.h"
#include "ui/blog/FolderPickerDialog.h"
#include "ui/blog/LocalLoginDialog.h"
#include "ui/blog/PropertySheetAccountSetup.h"
#include "ui/blog/PublishSeveralDialog.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/FileChooser.h"
#include "ui/common/InputBox.h"
#include "ui/common/PopupWindow.h"
#include "ui/common/ReadingFrame.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/FeedItemModel.h"
#include "workspace/ArticleRowText.h"
#include "workspace/WorkspaceTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string Gbk(const std::string& utf8, std::size_t bytes) {
    return CArticleRowText::Summary(utf8, bytes);
}

AccountRecord Account(const std::string& name, const std::string& url = "http://127.0.0.1:9/") {
    AccountRecord a;
    a.name = name;
    a.description = name + " 的博客";
    a.xmlrpcurl = url;
    // The account's port stands before the one in its address.
    const auto colon = url.find(':', 7);
    a.port = url.substr(colon + 1, url.find('/', colon) - colon - 1);
    a.blogapitype = "MetaWeblog";
    a.username = name;
    a.password = "pw-" + name;
    a.blogurl = "http://" + name + ".example/";
    a.encodetype = "UTF-8";
    return a;
}

QStringList Texts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

QAction* Find(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

// Counts the folders the tree asked the list to show.
struct FolderSpy {
    explicit FolderSpy(CAccountTreeCtrl& tree) {
        QObject::connect(&tree, &CAccountTreeCtrl::FolderSelected, &tree,
                         [this](const QString&, int folder) {
                             ++shown;
                             lastFolder = folder;
                         });
    }
    int count() const { return shown; }
    int shown = 0;
    int lastFolder = 0;
};

std::string DaysAgo(int days) {
    return CArticleRowText::LocalTimeText(std::time(nullptr) - days * 86400L);
}

class BlogWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        m_store = std::make_unique<CArticleDatabase>(m_home.File("Storage/blog.db"));
        ASSERT_TRUE(Done(m_store->OpenStore()));
        m_commands = std::make_unique<CCommandTable>();
        m_logins = 0;
        CLocalLoginDialog::SetHook([this](const QString&) -> std::optional<QString> {
            ++m_logins;
            if (m_typed.empty())
                return std::nullopt;
            QString typed = m_typed.front();
            m_typed.erase(m_typed.begin());
            return typed;
        });
    }
    void TearDown() override {
        m_workspace.reset();
        CLocalLoginDialog::SetHook({});
        CFolderPickerDialog::SetHook({});
    }

    void AddAccounts(std::initializer_list<AccountRecord> accounts) {
        for (const AccountRecord& a : accounts)
            ASSERT_EQ(m_home.Context().Accounts().AddAccount(a), 1);
    }
    int Insert(int folder, const std::string& account, const std::string& title,
               const std::string& pubDate = "2006-03-07 09:05:00") {
        ArticleRecord record{.title = title, .content = "<p>正文</p>", .pubDate = pubDate};
        EXPECT_TRUE(m_store->InsertArticle(folder, account, record));
        return static_cast<int>(m_store->GetLastInsertId());
    }
    int Count(int folder, const std::string& account) {
        int count = -1;
        EXPECT_TRUE(m_store->CountArticles(folder, account, count));
        return count;
    }
    CBlogWorkspace& Workspace() {
        if (!m_workspace) {
            m_window = std::make_unique<QWidget>();
            m_workspace = std::make_unique<CBlogWorkspace>(m_home.Context(), *m_store, *m_commands,
                                                           m_dialogJobs, m_window.get());
            m_workspace->Build();
        }
        return *m_workspace;
    }
    CAccountTreeCtrl& Tree() { return *Workspace().Tree(); }
    CBlogArticlesView& View() { return *Workspace().View(); }

    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
    std::unique_ptr<CArticleDatabase> m_store;
    std::unique_ptr<CCommandTable> m_commands;
    CJobRunner m_dialogJobs{1};
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<CBlogWorkspace> m_workspace;
    std::vector<QString> m_typed;
    int m_logins = 0;
};

TEST_F(BlogWindowsTest, TheTreeShowsEachAccountWithItsFiveNodesAndCounts) {
    AddAccounts({Account("alpha"), Account("beta"), Account("gamma")});
    for (int i = 0; i < 12; ++i)
        Insert(kFolderDrafts, "beta", "草稿 " + std::to_string(i));
    Insert(kFolderReceived, "alpha", "收到的");

    CAccountTreeCtrl& tree = Tree();
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    for (int a = 0; a < 3; ++a)
        for (int kind = 0; kind <= 5; ++kind)
            EXPECT_NE(tree.ItemOfCode(1000 + 100 * a + 10 * kind), nullptr) << a << kind;
    EXPECT_EQ(CAccountTreeCtrl::AccountIndexOf(1130), 1);
    EXPECT_EQ(CAccountTreeCtrl::KindOf(1130), CAccountTreeCtrl::kNodeDrafts);

    EXPECT_EQ(tree.topLevelItem(1)->text(0), QStringLiteral("beta 的博客"));
    EXPECT_EQ(tree.CountOf(1130), 12);
    EXPECT_EQ(tree.CountOf(1010), 1);
    EXPECT_EQ(tree.CountOf(1030), 0);

    // 我的博客: the account's own address, or the default one for an empty or bare address.
    EXPECT_EQ(CAccountTreeCtrl::BlogAddress("HTTP://"),
              QString::fromLatin1(CAccountTreeCtrl::kDefaultBlogAddress));
    EXPECT_EQ(CAccountTreeCtrl::BlogAddress(""),
              QString::fromLatin1(CAccountTreeCtrl::kDefaultBlogAddress));
    EXPECT_EQ(CAccountTreeCtrl::BlogAddress("http://a.b/"), QStringLiteral("http://a.b/"));
    QStringList pane;
    QObject::connect(&tree, &CAccountTreeCtrl::OpenInPane,
                     [&](const QString& address) { pane << address; });
    tree.ClickItem(tree.ItemOfCode(1150));
    EXPECT_EQ(pane, (QStringList{QStringLiteral("http://beta.example/")}));

    // A recount after another program changed the store, as WM_ACCOUNT_TREE_UPDATE asks for
    // it: the count and the list that shows the folder follow.
    tree.ClickItem(tree.ItemOfCode(1130));
    const int shownRows = View().RowCount();
    Insert(kFolderDrafts, "beta", "再一篇");
    Workspace().OnTreeUpdate(1130, CAccountTreeCtrl::kUpdateRecount);
    EXPECT_EQ(tree.CountOf(1130), 13);
    EXPECT_EQ(View().RowCount(), shownRows + 1);
    Workspace().OnTreeUpdate(4711, 0); // not in the tree: nothing happens
}

TEST_F(BlogWindowsTest, ALockedAccountAsksOncePerRun) {
    AddAccounts({Account("alpha"), Account("locked")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("locked", 2, "Geheim"), 1);
    CAccountTreeCtrl& tree = Tree();
    FolderSpy shown(tree);

    tree.ClickItem(tree.ItemOfCode(1010)); // no check for an open account
    EXPECT_EQ(m_logins, 0);
    EXPECT_EQ(shown.count(), 1);

    m_typed = {QStringLiteral("geheim")}; // letter case counts
    tree.ClickItem(tree.ItemOfCode(1110));
    EXPECT_EQ(m_logins, 1);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("密码错误!"));

    tree.ClickItem(tree.ItemOfCode(1130)); // cancelled
    EXPECT_EQ(m_logins, 2);
    EXPECT_EQ(shown.count(), 1);

    m_typed = {QStringLiteral("Geheim")};
    tree.ClickItem(tree.ItemOfCode(1130));
    EXPECT_EQ(shown.count(), 2);
    EXPECT_EQ(shown.lastFolder, kFolderDrafts);
    tree.ClickItem(tree.ItemOfCode(1110));
    tree.ClickItem(tree.ItemOfCode(1100));
    EXPECT_EQ(m_logins, 3);
    EXPECT_EQ(shown.count(), 3);
}

// Nothing of a locked account is reached around its password: not by a right-click on its
// folders, not by their commands, not by the settings sheet (which shows the service password).
TEST_F(BlogWindowsTest, ALockedAccountsMenusCommandsAndSettingsAskFirst) {
    AddAccounts({Account("locked")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("locked", 2, "Geheim"), 1);
    Insert(kFolderDrafts, "locked", "私人草稿");
    CAccountTreeCtrl& tree = Tree();
    CAccountSetupCommands::Register(*m_commands, m_window.get(), &tree, [](int, int) {});
    FolderSpy shown(tree);
    struct CountingChooser : CFileChooserHandler {
        CountingChooser() { CFileChooser::SetHandler(this); }
        ~CountingChooser() override { CFileChooser::SetHandler(nullptr); }
        QString OnOpenFile(const QString&, const QString&) override { return ++asked, QString(); }
        QString OnSaveFile(const QString&, const QString&, const QString&) override {
            return ++asked, QString();
        }
        int asked = 0;
    } chooser;
    int sheets = 0;
    const auto openSettings = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* sheet =
                    qobject_cast<CPropertySheetAccountSetup*>(QApplication::activeModalWidget())) {
                ++sheets;
                sheet->reject();
            }
        });
        m_commands->Run(kCmdAccountSettings);
        QApplication::processEvents();
    };

    // Cancelled each time: no folder, no menu, no command, no sheet.
    EXPECT_EQ(tree.BuildContextMenu(tree.ItemOfCode(1030), nullptr), nullptr);
    EXPECT_EQ(shown.count(), 0);
    for (int id : {kCmdExportFolder, kCmdImportFolder, kCmdFolderEbook, kCmdClearFolder})
        tree.OnCommand(id);
    openSettings();
    EXPECT_EQ(m_logins, 6);
    EXPECT_EQ(chooser.asked, 0);
    EXPECT_EQ(sheets, 0);
    EXPECT_EQ(Count(kFolderDrafts, "locked"), 1);

    // The right password once: the menu, its export and the sheet follow without asking again.
    m_typed = {QStringLiteral("Geheim")};
    std::unique_ptr<QMenu> menu(tree.BuildContextMenu(tree.ItemOfCode(1030), nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(shown.lastFolder, kFolderDrafts);
    tree.OnCommand(kCmdExportFolder);
    EXPECT_EQ(chooser.asked, 1);
    openSettings();
    EXPECT_EQ(sheets, 1);
    EXPECT_EQ(m_logins, 7);
}

TEST_F(BlogWindowsTest, EachKindOfNodeHasItsMenu) {
    AddAccounts({Account("alpha")});
    CAccountTreeCtrl& tree = Tree();
    auto menuOf = [&](int code) {
        std::unique_ptr<QMenu> menu(tree.BuildContextMenu(tree.ItemOfCode(code), nullptr));
        return menu ? Texts(menu.get()) : QStringList();
    };
    EXPECT_EQ(menuOf(1010),
              (QStringList{QStringLiteral("清空文章(&C)"), QStringLiteral("导出为XML日志(&E)..."),
                           QStringLiteral("制作CHM电子书(&Z)...")}));
    for (int code : {1020, 1040})
        EXPECT_EQ(menuOf(code).first(), QStringLiteral("清空文章(&C)...")) << code;
    EXPECT_EQ(menuOf(1030).first(), QStringLiteral("导入日志(&A)..."));
    for (int code : {1000, 1010, 1020, 1040, 1050})
        EXPECT_FALSE(menuOf(code).contains(QStringLiteral("导入日志(&A)..."))) << code;
    EXPECT_EQ(menuOf(1050), (QStringList{QStringLiteral("在浏览器中打开我的博客(&B)")}));
    EXPECT_EQ(menuOf(1000).first(), QStringLiteral("账户设置(&A)..."));

    // A right-click shows the folder it was made on; work still to come is greyed, saying so.
    FolderSpy shown(tree);
    std::unique_ptr<QMenu> menu(tree.BuildContextMenu(tree.ItemOfCode(1020), nullptr));
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(tree.CurrentKind(), CAccountTreeCtrl::kNodeSent);
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("导出为XML日志(&E)..."))->isEnabled());
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("制作CHM电子书(&Z)..."))->isEnabled());
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("清空文章(&C)..."))->isEnabled());
    // The entries run through the window's table, on the folder the menu was opened on.
    m_boxes.Answer(false);
    Find(menu.get(), QStringLiteral("清空文章(&C)..."))->trigger();
    ASSERT_FALSE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_boxes.Boxes().back().text,
              QStringLiteral("确定要清空 \"已发日志\" 中的所有日志吗?"));
    for (int code : {1000, 1010, 1030, 1050}) {
        std::unique_ptr<QMenu> kindMenu(tree.BuildContextMenu(tree.ItemOfCode(code), nullptr));
        for (QAction* action : kindMenu->actions()) {
            const int id = action->data().toInt();
            // 账户设置 comes with the account set-up, which registers it.
            if (!action->isSeparator() && id != kCmdAccountProperties)
                EXPECT_TRUE(m_commands->HasHandler(id))
                    << code << " " << action->text().toStdString();
        }
    }
    std::unique_ptr<QMenu> accountMenu(tree.BuildContextMenu(tree.ItemOfCode(1000), nullptr));
    QAction* settings = Find(accountMenu.get(), QStringLiteral("账户设置(&A)..."));
    ASSERT_NE(settings, nullptr);
    EXPECT_FALSE(settings->isEnabled());
    EXPECT_TRUE(settings->toolTip().startsWith(QStringLiteral("尚未提供")));
}

TEST_F(BlogWindowsTest, ClearingAFolderAsksFirst) {
    AddAccounts({Account("alpha"), Account("beta")});
    Insert(kFolderTrash, "alpha", "一");
    Insert(kFolderTrash, "alpha", "二");
    Insert(kFolderTrash, "beta", "别人的");
    CAccountTreeCtrl& tree = Tree();
    tree.ClickItem(tree.ItemOfCode(1040));
    EXPECT_EQ(View().RowCount(), 2);

    m_boxes.Answer(false);
    tree.OnCommand(kCmdClearFolder);
    ASSERT_FALSE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_boxes.Boxes().back().text, QStringLiteral("确定要清空 \"垃圾箱\" 中的所有日志吗?"));
    EXPECT_EQ(m_boxes.Boxes().back().caption, QStringLiteral("确认"));
    EXPECT_EQ(Count(kFolderTrash, "alpha"), 2);

    m_boxes.Answer(true);
    tree.OnCommand(kCmdClearFolder);
    EXPECT_EQ(Count(kFolderTrash, "alpha"), 0);
    EXPECT_EQ(Count(kFolderTrash, "beta"), 1);
    EXPECT_EQ(tree.CountOf(1040), 0);
    EXPECT_EQ(View().RowCount(), 0);
}

TEST_F(BlogWindowsTest, TreeUpdatesAndTheExpandedStateAtExit) {
    AddAccounts({Account("alpha")});
    CAccountTreeCtrl& tree = Tree();
    AddAccounts({Account("beta")});
    tree.UpdateNode(-1, CAccountTreeCtrl::kUpdateAccountAdded);
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.ItemOfCode(1100)->text(0), QStringLiteral("beta 的博客"));
    EXPECT_TRUE(tree.ItemOfCode(1100)->isExpanded());
    EXPECT_EQ(tree.CurrentAccount(), "beta");

    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("beta", "description", "新的描述"), 1);
    tree.UpdateNode(1100, CAccountTreeCtrl::kUpdateDescription);
    EXPECT_EQ(tree.ItemOfCode(1100)->text(0), QStringLiteral("新的描述"));

    tree.ItemOfCode(1000)->setExpanded(false);
    Workspace().Shutdown();
    std::vector<AccountRecord> accounts;
    ASSERT_EQ(m_home.Context().Accounts().ListAccounts(accounts), 1);
    EXPECT_EQ(accounts[0].expanded, 0);
    EXPECT_EQ(accounts[1].expanded, 1);

    tree.UpdateNode(1100, CAccountTreeCtrl::kUpdateAccountDeleted);
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.ItemOfCode(1100), nullptr);
}

TEST_F(BlogWindowsTest, RowTextsAreCleanedCutAndGrouped) {
    // 150 bytes with tags: cut to 100 first, then the tags go, then cut to 40 with ". . .".
    std::string title = "<b>" + std::string(60, 'a') + "</b><i>" + std::string(80, 'b') + "</i>";
    const std::string cut = Gbk(title, 40);
    EXPECT_EQ(cut, std::string(40, 'a') + ". . .");
    EXPECT_EQ(Gbk("<p>&quot;你好&quot;&nbsp;&lt;世界&gt;\n</p>", 40), "\"你好\"世界");
    EXPECT_EQ(Gbk("一二三<b unfinished", 40), "一二三");
    // A double-byte character is never split: "x" and 20 of them cut to 40 bytes keeps 19.
    auto wide = [](int n) {
        std::string text = "x";
        while (n-- > 0)
            text += "啊";
        return text;
    };
    EXPECT_EQ(Gbk(wide(20), 40), wide(19) + ". . .");

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char midnight[32];
    std::snprintf(midnight, sizeof midnight, "%04d-%02d-%02d 00:00:01", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    EXPECT_EQ(CArticleRowText::DateGroup(midnight, now), "今天");
    EXPECT_EQ(CArticleRowText::DateGroup(CArticleRowText::LocalTimeText(now - 5 * 86400), now),
              "一周内");
    EXPECT_EQ(CArticleRowText::DateGroup(CArticleRowText::LocalTimeText(now - 6 * 86400), now),
              "最近");
    EXPECT_EQ(CArticleRowText::DateGroup(CArticleRowText::LocalTimeText(now + 86400), now), "将来");
    EXPECT_EQ(CArticleRowText::DateGroup("不是日期", now), "最近");

    AddAccounts({Account("alpha")});
    Insert(kFolderDrafts, "alpha", "旧的", DaysAgo(30));
    const int today = Insert(kFolderDrafts, "alpha", title, DaysAgo(0));
    Insert(kFolderDrafts, "alpha", "明天", DaysAgo(-2));
    View().ShowFolder("alpha", kFolderDrafts);
    EXPECT_EQ(View().GroupCaptions(), (QStringList{QStringLiteral("将来"), QStringLiteral("今天"),
                                                   QStringLiteral("最近")}));
    // The group's caption spans the row, so the narrow icon columns do not hide it.
    EXPECT_TRUE(View().List()->isFirstColumnSpanned(0, QModelIndex()));
    EXPECT_EQ(View().List()->topLevelItem(1)->text(0), QStringLiteral("今天 (1)"));
    QTreeWidgetItem* row = View().RowOf(today);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->text(CBlogArticlesView::kColTitle), QString::fromStdString(cut));
    EXPECT_EQ(row->text(CBlogArticlesView::kColAuthor), QStringLiteral("alpha"));
    EXPECT_EQ(row->data(CBlogArticlesView::kColTitle, CBlogArticlesView::kPreviewRole).toString(),
              QStringLiteral("正文"));
    EXPECT_TRUE(View().List()->isColumnHidden(CBlogArticlesView::kColId));
    // The title takes the pane's width; the date and the author keep theirs.
    View().resize(1200, 300);
    View().show();
    QHeaderView* header = View().List()->header();
    EXPECT_EQ(header->sectionResizeMode(CBlogArticlesView::kColTitle), QHeaderView::Stretch);
    EXPECT_TRUE(
        WaitFor([&] { return header->length() >= View().List()->viewport()->width() - 2; }));
    EXPECT_EQ(header->sectionSize(CBlogArticlesView::kColDate), 140);
}

TEST_F(BlogWindowsTest, TheListMenuDependsOnFolderAndSelection) {
    Workspace(); // the commands of the weblog side are in the table
    auto menu = [&](ArticleFolder folder, int selected) {
        QStringList texts;
        QStringList greyed;
        for (const auto& e : CBlogArticlesView::MenuEntries(folder, selected, m_commands.get())) {
            if (e.id == 0)
                continue;
            texts << e.text;
            if (!e.enabled)
                greyed << e.text;
        }
        return std::make_pair(texts, greyed);
    };
    const QString remote = QStringLiteral("从服务器删除(&S)");
    const QString moveTo = QStringLiteral("转移到(&M)...");
    const QString edit = QStringLiteral("编辑(&E)...");
    const QString exportXml = QStringLiteral("导出XML(&T)...");
    auto [received1, receivedGrey1] = menu(ArticleFolder::kReceived, 1);
    EXPECT_EQ(received1.first(), remote);
    EXPECT_EQ(receivedGrey1, (QStringList{moveTo})); // one article can be edited
    EXPECT_TRUE(received1.contains(exportXml));
    auto [received2, receivedGrey2] = menu(ArticleFolder::kReceived, 3);
    EXPECT_EQ(receivedGrey2, (QStringList{moveTo, edit}));
    auto [sent1, sentGrey1] = menu(ArticleFolder::kSent, 1);
    EXPECT_EQ(sent1.first(), remote);
    EXPECT_FALSE(sentGrey1.contains(moveTo));
    auto [drafts1, draftsGrey1] = menu(ArticleFolder::kDrafts, 1);
    EXPECT_EQ(drafts1.first(), QStringLiteral("发布这篇日志(&P)"));
    EXPECT_TRUE(drafts1.contains(QStringLiteral("发布到多个博客(&U)...")));
    EXPECT_TRUE(drafts1.contains(QStringLiteral("删除(&D)")));
    auto [trash1, trashGrey1] = menu(ArticleFolder::kTrash, 1);
    EXPECT_TRUE(trash1.contains(QStringLiteral("彻底删除")));
    auto [drafts2, draftsGrey2] = menu(ArticleFolder::kDrafts, 2);
    EXPECT_EQ(drafts2.first(), QStringLiteral("发布这些日志(&P)"));
    EXPECT_TRUE(drafts2.contains(QStringLiteral("删除这些日志(&D)")));
    EXPECT_FALSE(drafts2.contains(QStringLiteral("发布到多个博客(&U)...")));
    EXPECT_EQ(menu(ArticleFolder::kTrash, 2).first, drafts2);

    // The menu of the real list follows its selection; the header area has the group commands.
    AddAccounts({Account("alpha")});
    const int a = Insert(kFolderReceived, "alpha", "一");
    const int b = Insert(kFolderReceived, "alpha", "二");
    View().ShowFolder("alpha", kFolderReceived);
    View().SelectIds({a, b});
    std::unique_ptr<QMenu> rows(
        View().BuildContextMenu(CBlogArticlesView::MenuPlace::kRows, nullptr));
    EXPECT_FALSE(Find(rows.get(), edit)->isEnabled());
    std::unique_ptr<QMenu> header(
        View().BuildContextMenu(CBlogArticlesView::MenuPlace::kGroups, nullptr));
    EXPECT_EQ(Texts(header.get()),
              (QStringList{QStringLiteral("闭合所有分组"), QStringLiteral("展开所有分组")}));
}

TEST_F(BlogWindowsTest, DeleteCopyAndMoveFromTheList) {
    AddAccounts({Account("alpha"), Account("beta")});
    const int keep = Insert(kFolderDrafts, "alpha", "留下");
    const int gone = Insert(kFolderDrafts, "alpha", "删掉");
    Tree().ClickItem(Tree().ItemOfCode(1030));
    ASSERT_EQ(View().RowCount(), 2);

    // Delete outside the trash moves to the trash of the same account; in the trash for good.
    View().SelectIds({gone});
    Workspace().OnListCommand(kCmdDeleteArticle);
    EXPECT_EQ(Count(kFolderTrash, "alpha"), 1);
    EXPECT_EQ(View().RowCount(), 1);
    EXPECT_EQ(Tree().CountOf(1040), 1);
    Tree().ClickItem(Tree().ItemOfCode(1040));
    View().SelectIds({gone});
    Workspace().OnListCommand(kCmdDeleteArticle);
    EXPECT_EQ(Count(kFolderTrash, "alpha"), 0);
    ArticleRecord record;
    EXPECT_FALSE(m_store->GetArticle(gone, record));

    // The picker leaves out the folder the articles come from and wants a folder, not an account.
    Tree().ClickItem(Tree().ItemOfCode(1030));
    View().SelectIds({keep});
    QStringList offered;
    CFolderPickerDialog::SetHook([&](CFolderPickerDialog& dialog) -> std::optional<FolderRef> {
        QTreeWidget* tree = dialog.Tree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            for (int c = 0; c < tree->topLevelItem(i)->childCount(); ++c)
                offered << tree->topLevelItem(i)->child(c)->text(0);
        EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
        dialog.accept(); // an account node is selected
        EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("请选择一个文件夹!"));
        tree->setCurrentItem(tree->topLevelItem(1)->child(0));
        dialog.accept();
        return dialog.Chosen();
    });
    Workspace().OnListCommand(kCmdCopyArticles);
    EXPECT_EQ(offered, (QStringList{QStringLiteral("垃圾箱  (0)"), QStringLiteral("草稿箱  (0)"),
                                    QStringLiteral("垃圾箱  (0)")}));
    EXPECT_EQ(Count(kFolderDrafts, "beta"), 1);
    EXPECT_EQ(Count(kFolderDrafts, "alpha"), 1);
    EXPECT_EQ(Tree().CountOf(1130), 1);

    CFolderPickerDialog::SetHook([](CFolderPickerDialog&) -> std::optional<FolderRef> {
        return FolderRef{.account = "beta", .folder = kFolderTrash};
    });
    Workspace().OnListCommand(kCmdMoveArticles);
    EXPECT_EQ(Count(kFolderDrafts, "alpha"), 0);
    EXPECT_EQ(Count(kFolderTrash, "beta"), 1);
    EXPECT_EQ(Tree().CountOf(1140), 1);
    EXPECT_EQ(Tree().CountOf(1030), 0);
    EXPECT_EQ(View().RowCount(), 0);
}

TEST_F(BlogWindowsTest, DeletingOnTheServerAsksWithTheExactQuestion) {
    AddAccounts({Account("alpha")});
    const int a = Insert(kFolderSent, "alpha", "一");
    const int b = Insert(kFolderSent, "alpha", "二");
    Tree().ClickItem(Tree().ItemOfCode(1020));
    View().SelectIds({a, b});
    m_boxes.Answer(false);
    Workspace().OnListCommand(kCmdPublishOrDeleteRemote);
    ASSERT_FALSE(m_boxes.Boxes().empty());
    EXPECT_EQ(m_boxes.Boxes().back().text,
              QStringLiteral("注意：您要删除的是服务器上的内容!\n确定要删除这些日志吗?"));
    EXPECT_EQ(m_boxes.Boxes().back().caption, QStringLiteral("删除确认"));
    EXPECT_EQ(Workspace().Operations().RunningCount(), 0);
    EXPECT_EQ(CBlogWorkspace::DeleteOnServerQuestion(1),
              QStringLiteral("注意：您要删除的是服务器上的内容!\n确定要删除这篇日志吗?"));
}

TEST_F(BlogWindowsTest, PublishToSeveralChecksBeforeSending) {
    AddAccounts({Account("a1"), Account("a2"), Account("a3"), Account("a4"), Account("a5"),
                 Account("a6"), Account("locked")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("locked", 2, "pass"), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetRelations("a1", {"a2"}), 1);
    const int id = Insert(kFolderDrafts, "a1", "多处发布");
    CPublishSeveralDialog dialog(Workspace().Operations(), Workspace().Events(),
                                 Workspace().LoginLock(), id, "a1");
    QTreeWidget* rows = dialog.Rows();
    ASSERT_EQ(rows->topLevelItemCount(), 7);
    auto row = [&](int i) { return rows->topLevelItem(i); };
    EXPECT_EQ(row(0)->checkState(0), Qt::Checked); // its own account
    EXPECT_EQ(row(1)->checkState(0), Qt::Checked); // published together with it
    EXPECT_EQ(row(2)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(row(0)->text(1), QStringLiteral("1"));
    EXPECT_EQ(row(2)->text(CPublishSeveralDialog::kColPermission), QStringLiteral("√"));
    EXPECT_EQ(row(6)->text(CPublishSeveralDialog::kColPermission), QStringLiteral("×"));

    // Six accounts: refused, nothing sent.
    for (int i = 0; i < 6; ++i)
        row(i)->setCheckState(0, Qt::Checked);
    EXPECT_FALSE(dialog.Publish());
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("您最多只能选择同时发布到 5 个账户!"));
    EXPECT_EQ(Workspace().Operations().RunningCount(), 0);
    EXPECT_TRUE(dialog.PublishButton()->isEnabled());

    // A ticked account that still wants its password.
    for (int i = 0; i < 6; ++i)
        row(i)->setCheckState(0, Qt::Unchecked);
    row(6)->setCheckState(0, Qt::Checked);
    EXPECT_FALSE(dialog.Publish());
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("请输入账户 locked 的密码"));

    m_typed = {QStringLiteral("wrong")};
    dialog.UnlockRow(row(6));
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("您输入的密码有误!"));
    EXPECT_EQ(row(6)->text(CPublishSeveralDialog::kColPermission), QStringLiteral("×"));
    m_typed = {QStringLiteral("pass")};
    dialog.UnlockRow(row(6));
    EXPECT_EQ(row(6)->text(CPublishSeveralDialog::kColPermission), QStringLiteral("√"));

    row(6)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(dialog.Publish());
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("请至少选择一个要发布的帐户!"));
}

TEST_F(BlogWindowsTest, PublishToSeveralShowsEachAccountsResultInItsRow) {
    CWeblogServer weblog;
    AddAccounts({Account("own", weblog.Url("/ok")), Account("second", weblog.Url("/ok")),
                 Account("refused", weblog.Url("/fault"))});
    const int id = Insert(kFolderDrafts, "own", "三处发布");
    Tree().ClickItem(Tree().ItemOfCode(1030));
    View().SelectIds({id});
    Workspace().OnListCommand(kCmdPublishToSeveral);
    CPublishSeveralDialog* dialog = Workspace().PublishDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->RowOf("second")->setCheckState(0, Qt::Checked);
    dialog->RowOf("refused")->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(dialog->Publish());
    EXPECT_FALSE(dialog->PublishButton()->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return dialog->Finished(); }, 15000));

    const int column = CPublishSeveralDialog::kColDescription;
    for (const char* account : {"own", "second"})
        EXPECT_TRUE(dialog->RowOf(account)->text(column).startsWith(
            QStringLiteral("发送成功!文章编号: 10")))
            << account << " " << dialog->RowOf(account)->text(column).toStdString();
    EXPECT_EQ(dialog->RowOf("refused")->text(column), QStringLiteral("发送失败!"));
    EXPECT_TRUE(dialog->RowOf("refused")->toolTip(column).contains(QStringLiteral("Incorrect")))
        << dialog->RowOf("refused")->toolTip(column).toStdString();
    const std::vector<std::string> methods = weblog.Methods();
    EXPECT_EQ(std::count(methods.begin(), methods.end(), "metaWeblog.newPost"), 3); // one refused

    // The own article went to 已发日志, the other account got a copy there; the tree and the list
    // follow.
    EXPECT_EQ(Count(kFolderDrafts, "own"), 0);
    EXPECT_EQ(Count(kFolderSent, "own"), 1);
    EXPECT_EQ(Count(kFolderSent, "second"), 1);
    EXPECT_EQ(Count(kFolderSent, "refused"), 0);
    EXPECT_TRUE(WaitFor([&] { return Tree().CountOf(1120) == 1 && Tree().CountOf(1020) == 1; }));
    EXPECT_EQ(Tree().CountOf(1030), 0);
    EXPECT_EQ(View().RowCount(), 0);

    // Every account has answered: the button now closes the dialog.
    EXPECT_EQ(dialog->PublishButton()->text(), QStringLiteral("关闭"));
    ASSERT_TRUE(dialog->PublishButton()->isEnabled());
    const QPointer<CPublishSeveralDialog> shown(dialog);
    dialog->show();
    dialog->PublishButton()->click();
    EXPECT_TRUE(!shown || !shown->isVisible());
}

TEST_F(BlogWindowsTest, TheMainWindowsWeblogCommands) {
    CWeblogServer weblog;
    AddAccounts({Account("alpha", weblog.Url("/ok"))});
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideBlog);
    QAction* fetch = frame.Action(kCmdFetchPosts);
    frame.Commands()->Refresh();
    // Nothing chosen yet: the account tree selects the first account at start.
    EXPECT_TRUE(fetch->isEnabled()) << fetch->toolTip().toStdString();
    EXPECT_TRUE(frame.Action(kCmdImportPosts)->isEnabled());
    EXPECT_TRUE(frame.Action(kCmdComposePost)->isEnabled());
    // The feed item list's 发布到博客 waits for a selected item.
    EXPECT_FALSE(frame.Action(kCmdPublishItemToBlog)->isEnabled());
    EXPECT_TRUE(frame.ToolBarOf(CMainFrame::kSideBlog)->isVisibleTo(&frame));

    // 10篇 stores the count and the drop-down then checks it.
    frame.Action(kCmdPostCount10)->trigger();
    std::string stored;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("alpha", "getrecentpostsnum", stored), 1);
    EXPECT_EQ(stored, "10");
    frame.Blog()->UpdateCountChecks();
    EXPECT_TRUE(frame.Action(kCmdPostCount10)->isChecked());
    EXPECT_FALSE(frame.Action(kCmdPostCount5)->isChecked());
    EXPECT_FALSE(frame.Action(kCmdPostCountCustom)->isChecked());
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("alpha", "getrecentpostsnum", "7"), 1);
    frame.Blog()->UpdateCountChecks();
    EXPECT_TRUE(frame.Action(kCmdPostCountCustom)->isChecked());
    EXPECT_FALSE(frame.Action(kCmdPostCount10)->isChecked());
    frame.Blog()->Operations().Wait();

    // 自定义的数量 asks until the count is one of 1 to 999, keeps it and fetches with it.
    std::vector<QString> typed = {QStringLiteral("0"), QStringLiteral("一百"),
                                  QStringLiteral("1000"), QStringLiteral(" 42 ")};
    CInputBox::SetHook([&](const QString&) -> std::optional<QString> {
        if (typed.empty())
            return std::nullopt;
        const QString answer = typed.front();
        typed.erase(typed.begin());
        return answer;
    });
    m_boxes.Clear();
    frame.Action(kCmdPostCountCustom)->trigger();
    CInputBox::SetHook({});
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<QString>(3, QStringLiteral("获取日志的数量只能是 1 到 999")));
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("alpha", "getrecentpostsnum", stored), 1);
    EXPECT_EQ(stored, "42");
    frame.Blog()->Operations().Wait();

    // A count chosen for a locked account is kept only once its password was given.
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("alpha", 2, "pw"), 1);
    frame.Action(kCmdPostCount5)->trigger(); // the password is not given
    EXPECT_EQ(m_logins, 1);
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("alpha", "getrecentpostsnum", stored), 1);
    EXPECT_EQ(stored, "42");
    frame.Shutdown();
}

// The article preview of the main window: its right click gives the row's menu of the list, and
// a style chosen in the account's sheet applies at once to the article shown.
TEST_F(BlogWindowsTest, ThePreviewHasTheRowsMenuAndFollowsTheStyleChosen) {
    AddAccounts({Account("alpha")});
    const int draft = Insert(kFolderDrafts, "alpha", "草稿");
    WriteAll(m_home.File("Data/LogSkin/大字.xsl"),
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><xsl:stylesheet version=\"1.0\" "
             "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:template match=\"/\">"
             "<html><body><p>大字样式</p></body></html></xsl:template></xsl:stylesheet>");
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideBlog);
    CBlogWorkspace& blog = *frame.Blog();
    blog.Tree()->ClickItem(blog.Tree()->ItemOfCode(1030));
    blog.View()->List()->setCurrentItem(blog.View()->RowOf(draft));
    CBottomHtmlView* pane = frame.ReadingFrame()->View();
    ASSERT_TRUE(pane->ShowsArticlePreview());
    blog.View()->List()->clearSelection();

    QStringList expected;
    std::unique_ptr<QMenu> rowMenu;
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions())
                shown << action->text();
            menu->close();
        }
    });
    emit pane->PreviewContextMenu(QPoint(20, 20));
    // The previewed article became the selection, as a right click on its row makes it.
    EXPECT_EQ(blog.View()->SelectedIds(), std::vector<int>{draft});
    rowMenu.reset(blog.View()->BuildContextMenu(CBlogArticlesView::MenuPlace::kRows, nullptr));
    for (QAction* action : rowMenu->actions())
        expected << action->text();
    EXPECT_TRUE(expected.contains(CCommandTable::Text(kCmdEditArticle)));
    EXPECT_EQ(shown, expected);

    // Choosing another style writes it at once and shows the article in it, also when the
    // sheet is then cancelled.
    WhenOpen<CPropertySheetAccountSetup>([&](CPropertySheetAccountSetup& sheet) {
        sheet.Editor()->LogSkinCombo()->setCurrentText(QStringLiteral("大字"));
        sheet.reject();
    });
    frame.Action(kCmdAccountSettings)->trigger();
    std::string style;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("alpha", "logxsl", style), 1);
    EXPECT_EQ(style, "大字");
    EXPECT_NE(ReadAll(m_home.File("Data/LogSkin/article.xml"))
                  .find(CTextCodec::Utf8ToGbk("href=\"大字.xsl\"")),
              std::string::npos);
    EXPECT_TRUE(pane->ShowsArticlePreview());
    EXPECT_EQ(pane->CurrentKey(), QString::number(draft));
    frame.Shutdown();
}

// What the list, the tree's counts and the preview show follows every change to a folder: by
// this window, by another program writing blog.db (the cli, the editor), by another account
// being chosen or a locked one refused, and by the other side coming to the front.
TEST_F(BlogWindowsTest, TheListCountsAndPreviewNeverShowWhatIsGone) {
    AddAccounts({Account("alpha"), Account("beta"), Account("locked")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("locked", 2, "Geheim"), 1);
    const int first = Insert(kFolderDrafts, "alpha", "第一篇");
    const int second = Insert(kFolderDrafts, "alpha", "第二篇");
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideBlog);
    CBlogWorkspace& blog = *frame.Blog();
    CAccountTreeCtrl& tree = *blog.Tree();
    CBottomHtmlView* pane = frame.ReadingFrame()->View();
    tree.ClickItem(tree.ItemOfCode(1030));
    blog.View()->List()->setCurrentItem(blog.View()->RowOf(first));
    ASSERT_TRUE(pane->ShowsArticlePreview());

    // Another program adds a draft and moves the previewed one away.
    CArticleDatabase other(m_store->GetPath());
    ASSERT_TRUE(Done(other.OpenStore()));
    ASSERT_TRUE(other.InsertArticle(kFolderDrafts, "alpha", {.title = "外来的"}));
    EXPECT_TRUE(WaitFor([&] { return tree.CountOf(1030) == 3; }));
    EXPECT_EQ(blog.View()->RowCount(), 3);
    EXPECT_EQ(blog.PreviewedId(), first);
    // Its tags changed elsewhere: the preview is rendered again with them.
    std::string previewedTags;
    QObject::connect(&blog, &CBlogWorkspace::PreviewArticle,
                     [&](const ArticleRecord& article, const std::string&) {
                         previewedTags = article.tags;
                     });
    ArticleRecord changed;
    ASSERT_TRUE(other.GetArticle(first, changed));
    changed.tags = "新标签";
    ASSERT_TRUE(other.UpdateArticle(first, changed));
    EXPECT_TRUE(WaitFor([&] { return previewedTags == "新标签"; }));
    ASSERT_TRUE(other.SetArticleFolder(first, kFolderTrash));
    EXPECT_TRUE(WaitFor([&] { return !pane->ShowsArticlePreview(); }));
    EXPECT_EQ(blog.View()->RowOf(first), nullptr);
    EXPECT_EQ(tree.CountOf(1040), 1);
    EXPECT_EQ(blog.PreviewedId(), 0);

    // Deleted here: the preview goes with the row.
    blog.View()->List()->setCurrentItem(blog.View()->RowOf(second));
    ASSERT_EQ(blog.PreviewedId(), second);
    blog.View()->SelectIds({second});
    blog.OnListCommand(kCmdDeleteArticle);
    EXPECT_EQ(blog.PreviewedId(), 0);
    EXPECT_FALSE(pane->ShowsArticlePreview());
    EXPECT_EQ(tree.CountOf(1030), 1);

    // Another account's node: the list no longer shows alpha's folder; a locked account that
    // is refused shows nothing either.
    blog.View()->List()->setCurrentItem(blog.View()->List()->topLevelItem(0)->child(0));
    ASSERT_NE(blog.PreviewedId(), 0);
    tree.ClickItem(tree.ItemOfCode(1100));
    EXPECT_TRUE(blog.View()->Account().empty());
    EXPECT_EQ(blog.View()->RowCount(), 0);
    EXPECT_FALSE(pane->ShowsArticlePreview());
    tree.ClickItem(tree.ItemOfCode(1030));
    ASSERT_EQ(blog.View()->RowCount(), 1);
    tree.ClickItem(tree.ItemOfCode(1230)); // the login dialog is cancelled
    EXPECT_EQ(blog.View()->RowCount(), 0);

    // The feed side shows nothing the weblog side left in the pane, even with no channel.
    tree.ClickItem(tree.ItemOfCode(1030));
    blog.View()->List()->setCurrentItem(blog.View()->List()->topLevelItem(0)->child(0));
    ASSERT_TRUE(pane->ShowsArticlePreview());
    frame.SetSideMode(CMainFrame::kSideRss);
    EXPECT_FALSE(pane->ShowsArticlePreview());
    EXPECT_EQ(blog.PreviewedId(), 0);
    frame.Shutdown();
}

} // namespace

namespace {

// The editor entry points: 撰写日志, 编辑 and a double-click, and 发布到博客 of a feed item.
class EditorEntryTest : public BlogWindowsTest {
protected:
    void SetUp() override {
        BlogWindowsTest::SetUp();
        CFileUtil::CreateDirectories(m_bin);
        // The editor keeps a copy of the file it was handed, as the real one reads it on start.
        WriteAll(m_bin + "/quillmark-editor",
                 "#!/bin/sh\ncp '" + m_home.File("Temp/subprocess.xml") + "' '" + m_seen +
                     ".part' && mv '" + m_seen + ".part' '" + m_seen + "'\n");
        chmod((m_bin + "/quillmark-editor").c_str(), 0755);
    }
    void TearDown() override {
        CAccountChooserDialog::SetHook({});
        BlogWindowsTest::TearDown();
    }
    CBlogWorkspace& Editing() {
        Workspace().SetEditorProgram(m_bin + "/quillmark-editor");
        return Workspace();
    }
    std::string HandOff() {
        return CTextCodec::GbkToUtf8(ReadAll(m_home.File("Temp/subprocess.xml")));
    }
    // What the started editor was handed.
    std::string Seen() {
        WaitFor([&] { return CFileUtil::Exists(m_seen); }, 10000);
        const std::string seen = CTextCodec::GbkToUtf8(ReadAll(m_seen));
        CFileUtil::RemoveFile(m_seen);
        return seen;
    }

    std::string m_bin = m_home.File("bin");
    std::string m_seen = m_home.File("seen.xml");
};

TEST_F(EditorEntryTest, ComposeChecksTheLoginThenHandsTheAccountToTheEditor) {
    AddAccounts({Account("alpha"), Account("beta")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("alpha", 2, "Geheim"), 1);
    CBlogWorkspace& workspace = Editing();
    ASSERT_EQ(Tree().CurrentAccount(), "alpha"); // selected at start, not yet unlocked
    m_commands->Refresh();
    EXPECT_EQ(m_commands->Unavailable(kCmdComposePost), QString());

    // Cancelled: nothing is written.
    EXPECT_TRUE(m_commands->Run(kCmdComposePost));
    EXPECT_EQ(m_logins, 1);
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/subprocess.xml")));

    m_typed = {QStringLiteral("Geheim")};
    m_commands->Run(kCmdComposePost);
    EXPECT_EQ(Seen(), "<?xml version=\"1.0\" encoding=\"gb2312\"?><root><processtype>0"
                      "</processtype><account>alpha</account><publishfoldertreeid>1020"
                      "</publishfoldertreeid><draftfoldertreeid>1030</draftfoldertreeid>"
                      "<accounts><account><name>alpha</name><treeid>1000</treeid></account>"
                      "<account><name>beta</name><treeid>1100</treeid></account></accounts>"
                      "</root>");
    EXPECT_TRUE(m_boxes.Texts().empty());

    // No editor beside the program: the reason is shown.
    workspace.SetEditorProgram(m_home.File("nowhere/quillmark-editor"));
    m_commands->Run(kCmdComposePost);
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<QString>{QStringLiteral("找不到编辑器程序: ") +
                                    ToQ(m_home.File("nowhere/quillmark-editor"))}));
}

TEST_F(EditorEntryTest, ADoubleClickOrEditOpensTheArticleOfTheFolderShown) {
    AddAccounts({Account("alpha"), Account("beta")});
    const int deleted = Insert(kFolderTrash, "beta", "删掉的");
    const int draft = Insert(kFolderDrafts, "beta", "草稿");
    Editing();
    int previews = 0;
    QObject::connect(&Workspace(), &CBlogWorkspace::PreviewArticle,
                     [&](const ArticleRecord&, const std::string&) { ++previews; });
    Tree().ClickItem(Tree().ItemOfCode(1140));
    ASSERT_EQ(View().RowCount(), 1);
    // Selecting previews; a double-click starts the editor instead.
    View().List()->setCurrentItem(View().RowOf(deleted));
    const int previewed = previews;
    EXPECT_GE(previewed, 1);
    emit View().List()->itemDoubleClicked(View().RowOf(deleted), CBlogArticlesView::kColTitle);
    EXPECT_EQ(previews, previewed);
    const std::string seen = Seen();
    EXPECT_NE(seen.find("<processtype>4</processtype><account>beta</account><index>" +
                        std::to_string(deleted) +
                        "</index><publishfoldertreeid>1120</publishfoldertreeid>"
                        "<draftfoldertreeid>1130</draftfoldertreeid>"),
              std::string::npos)
        << seen;

    // 编辑(&E)... of the list's menu, on a draft.
    Tree().ClickItem(Tree().ItemOfCode(1130));
    View().SelectIds({draft});
    const auto entries =
        CBlogArticlesView::MenuEntries(ArticleFolder::kDrafts, 1, m_commands.get());
    const auto edit = std::find_if(entries.begin(), entries.end(),
                                   [](const auto& e) { return e.id == kCmdEditArticle; });
    ASSERT_NE(edit, entries.end());
    EXPECT_TRUE(edit->enabled);
    Workspace().OnListCommand(kCmdEditArticle);
    EXPECT_NE(HandOff().find("<processtype>3</processtype><account>beta</account><index>" +
                             std::to_string(draft) + "</index>"),
              std::string::npos)
        << HandOff();
    Seen();
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(EditorEntryTest, PublishingAFeedItemAsksForTheAccountAndItsLogin) {
    AddAccounts({Account("alpha"), Account("beta")});
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("beta", 2, "pw"), 1);
    CBlogWorkspace& workspace = Editing();
    std::optional<std::string> answer = "beta";
    int rows = 0;
    CAccountChooserDialog::SetHook([&](CAccountChooserDialog& dialog) {
        rows = dialog.List()->count();
        return answer;
    });

    m_typed = {QStringLiteral("wrong")};
    workspace.WriteFromFeedItem(StoredItem(77));
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(m_boxes.Texts(), (std::vector<QString>{QStringLiteral("密码错误!")}));
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/subprocess.xml")));

    m_typed = {QStringLiteral("pw")};
    workspace.WriteFromFeedItem(StoredItem(77));
    EXPECT_NE(Seen().find("<processtype>5</processtype><account>beta</account><index>77</index>"
                          "<publishfoldertreeid>1120</publishfoldertreeid>"),
              std::string::npos);
    // An on-line search result; the account stays unlocked.
    workspace.WriteFromFeedItem(WebSearchItem(78));
    EXPECT_NE(Seen().find("<processtype>6</processtype><account>beta</account><index>78</index>"),
              std::string::npos);
    EXPECT_EQ(m_logins, 2);

    // Cancelled in the chooser: nothing is written.
    CFileUtil::RemoveFile(m_home.File("Temp/subprocess.xml"));
    answer.reset();
    workspace.WriteFromFeedItem(StoredItem(79));
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/subprocess.xml")));

    // The account file cannot be read.
    m_boxes.Clear();
    WriteAll(m_home.File("config/userConfig.xml"), "<broken");
    workspace.WriteFromFeedItem(StoredItem(80));
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_TRUE(m_boxes.Texts()[0].startsWith(QStringLiteral("载入帐户信息失败!")))
        << m_boxes.Texts()[0].toStdString();
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("Temp/subprocess.xml")));
}

// With one account there is nothing to choose: the feed list's command hands the selected
// search result to the editor for it, an on-line one as task 6, a stored one as task 5.
TEST_F(EditorEntryTest, TheFeedListsCommandHandsTheSelectedSearchResultOverToTheOneAccount) {
    AddAccounts({Account("solo")});
    int asked = 0;
    CAccountChooserDialog::SetHook([&](CAccountChooserDialog&) -> std::optional<std::string> {
        ++asked;
        return std::nullopt;
    });
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.Blog()->SetEditorProgram(m_bin + "/quillmark-editor");
    CArticlesReportView* list = frame.ItemList();
    list->ShowSearchResults(
        {FeedItem{.id = 314, .title = "找到的", .origin = ItemOrigin::kWebSearch}}, "1");
    frame.Commands()->Refresh();
    EXPECT_FALSE(frame.Action(kCmdPublishItemToBlog)->isEnabled());
    list->List()->setCurrentIndex(list->Model()->index(0, 0));
    frame.Commands()->Refresh();
    ASSERT_TRUE(frame.Action(kCmdPublishItemToBlog)->isEnabled());
    frame.Action(kCmdPublishItemToBlog)->trigger();
    EXPECT_NE(Seen().find("<processtype>6</processtype><account>solo</account><index>314</index>"),
              std::string::npos);

    list->ShowSearchResults({FeedItem{.id = 315, .title = "本地找到的"}}, "1");
    list->List()->setCurrentIndex(list->Model()->index(0, 0));
    frame.Action(kCmdPublishItemToBlog)->trigger();
    EXPECT_NE(Seen().find("<processtype>5</processtype><account>solo</account><index>315</index>"),
              std::string::npos);
    EXPECT_EQ(asked, 0);
}

} // namespace
