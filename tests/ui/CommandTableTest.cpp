#include "ui/app/CommandTable.h"
#include "app/AppPaths.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/MainFrame.h"
#include "ui/common/CommandIds.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

class CommandTableTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
};

TEST_F(CommandTableTest, EachCommandIsDescribedOnce) {
    QSet<int> ids;
    for (const CommandEntry& entry : CCommandTable::Entries()) {
        EXPECT_FALSE(ids.contains(entry.id)) << entry.id;
        ids.insert(entry.id);
        EXPECT_FALSE(QString::fromUtf8(entry.text).isEmpty()) << entry.id;
    }
    EXPECT_EQ(CCommandTable::PlainText(QStringLiteral("系统设置(&P)...")),
              QStringLiteral("系统设置..."));
    EXPECT_EQ(CCommandTable::PlainText(QStringLiteral("退出(&X)")), QStringLiteral("退出"));
}

TEST_F(CommandTableTest, AHandlerIsOneLineAndAvailabilityGreysWithAReason) {
    CCommandTable table;
    QAction* search = table.Action(kCmdSearch);
    EXPECT_FALSE(search->isEnabled());
    EXPECT_TRUE(search->toolTip().startsWith(QStringLiteral("尚未提供")));
    EXPECT_FALSE(table.Run(kCmdSearch));

    int runs = 0;
    table.Handle(kCmdSearch, [&] { ++runs; });
    EXPECT_TRUE(search->isEnabled());
    search->trigger();
    EXPECT_TRUE(table.Run(kCmdSearch));
    EXPECT_EQ(runs, 2);

    bool ready = false;
    table.SetAvailability(kCmdSearch, [&] { return ready ? QString() : QStringLiteral("等一下"); });
    EXPECT_FALSE(search->isEnabled());
    EXPECT_EQ(search->toolTip(), QStringLiteral("等一下"));
    EXPECT_FALSE(table.Run(kCmdSearch));
    ready = true;
    table.Refresh();
    EXPECT_TRUE(search->isEnabled());
    EXPECT_EQ(search->toolTip(), QStringLiteral("搜索"));
}

TEST_F(CommandTableTest, MenusToolbarsAndTrayRunTheTablesCommands) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    // Every action of the menus and toolbars is the table's own.
    for (int mode = CMainFrame::kSideBlog; mode <= CMainFrame::kSideFavorites; ++mode) {
        std::vector<QAction*> actions;
        for (QMenu* menu : frame.MenusOf(mode))
            for (QAction* action : menu->actions())
                actions.push_back(action);
        for (QAction* action : frame.ToolBarOf(mode)->actions())
            actions.push_back(action);
        for (QAction* action : actions) {
            if (action->isSeparator() || action->menu() || action->data().isNull())
                continue;
            const int id = action->data().toInt();
            if (!CCommandTable::Find(id))
                continue;
            EXPECT_EQ(action, frame.Action(id)) << id;
            // Whoever does the work (the window, a tree, the weblog side) registered it.
            EXPECT_TRUE(frame.Commands()->HasHandler(id)) << id;
        }
    }
    // A command registered in one line runs from its menu, from OnCommand and from the tray.
    int runs = 0;
    frame.Commands()->Handle(kCmdCleanWizard, [&] { ++runs; });
    frame.Action(kCmdCleanWizard)->trigger();
    frame.OnCommand(kCmdCleanWizard);
    EXPECT_EQ(runs, 2);
    bool shown = false;
    frame.Commands()->Handle(kCmdShowMainWindow, [&] { shown = true; });
    frame.TrayMenu()->actions().first()->trigger();
    EXPECT_TRUE(shown);
}

} // namespace
