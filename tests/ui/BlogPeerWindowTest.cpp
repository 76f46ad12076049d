// The 博客 side of the window against the WordPress peer, as a new user goes through it.

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "blogclient/peer/PeerSupport.h"
#include "storage/ArticleDatabase.h"
#include "support/StoreSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/MainFrame.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/BlogArticlesView.h"
#include "ui/blog/BlogWorkspace.h"
#include "ui/blog/PublishSeveralDialog.h"
#include "ui/common/CommandIds.h"
#include "ui/common/PopupWindow.h"

#include <QAction>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

TEST(BlogPeerWindowTest, FetchPublishToThreeAndDeleteOnTheServer) {
    SKIP_WITHOUT_PEER();
    EnsureApp();
    CTempHome home({.processDir = true});
    CRecordingMessageBoxes boxes;
    // Names of this run: the peer is shared, so nothing is assumed about what it holds.
    const std::string run = std::to_string(::getpid());
    AccountRecord first = PeerAccount("peer-a" + run, "MetaWeblog");
    AccountRecord second = PeerAccount("peer-b" + run, "MetaWeblog");
    AccountRecord editor = PeerAccount("peer-e" + run, "MetaWeblog");
    editor.username = "editor2";
    editor.password = "quill-pass-2";
    for (const AccountRecord& account : {first, second, editor})
        ASSERT_EQ(home.Context().Accounts().AddAccount(account), 1);
    const std::string title = "三处同发 " + run;
    {
        CArticleDatabase store(home.File("Storage/blog.db"));
        ASSERT_TRUE(Done(store.OpenStore()));
        ASSERT_TRUE(store.InsertArticle(kFolderDrafts, first.name,
                                        {.title = title,
                                         .content = "<p>窗口里发布到三个账户</p>",
                                         .pubDate = "2026-12-06 10:00:00"}));
    }

    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideBlog);
    CBlogWorkspace& blog = *frame.Blog();
    CAccountTreeCtrl& tree = *blog.Tree();
    CBlogArticlesView& view = *blog.View();

    // Publish the draft to the three accounts at once.
    tree.ClickItem(tree.ItemOfCode(1030));
    ASSERT_EQ(view.RowCount(), 1);
    const int draft =
        view.List()->topLevelItem(0)->child(0)->text(CBlogArticlesView::kColId).toInt();
    view.SelectIds({draft});
    blog.OnListCommand(kCmdPublishToSeveral);
    CPublishSeveralDialog* dialog = blog.PublishDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->RowOf(second.name)->setCheckState(0, Qt::Checked);
    dialog->RowOf(editor.name)->setCheckState(0, Qt::Checked);
    ASSERT_TRUE(dialog->Publish());
    ASSERT_TRUE(WaitFor([&] { return dialog->Finished(); }, 60000));
    for (const AccountRecord& account : {first, second, editor})
        EXPECT_TRUE(dialog->RowOf(account.name)
                        ->text(CPublishSeveralDialog::kColDescription)
                        .startsWith(QStringLiteral("发送成功!文章编号: ")))
            << account.name << ": "
            << dialog->RowOf(account.name)
                   ->toolTip(CPublishSeveralDialog::kColDescription)
                   .toStdString();
    dialog->close();
    EXPECT_TRUE(WaitFor([&] { return tree.CountOf(1020) == 1 && tree.CountOf(1120) == 1; }));
    EXPECT_EQ(tree.CountOf(1030), 0);

    // Fetch the newest posts into 已收日志: the ones just published are among them.
    tree.ClickItem(tree.ItemOfCode(1010));
    frame.Action(kCmdPostCount5)->trigger();
    ASSERT_TRUE(WaitFor([&] { return tree.CountOf(1010) > 0; }, 60000));
    EXPECT_TRUE(WaitFor([&] { return frame.Popup()->IsShowing(); }));
    EXPECT_EQ(frame.Popup()->Text(), QStringLiteral("文章已经接收完毕!"));
    EXPECT_GE(view.RowCount(), 1);
    EXPECT_TRUE(view.Shows(first.name, kFolderReceived));

    // Delete the published one on the server from 已发日志: it goes to 垃圾箱.
    tree.ClickItem(tree.ItemOfCode(1020));
    ASSERT_EQ(view.RowCount(), 1);
    view.SelectIds({draft});
    boxes.Answer(true);
    blog.OnListCommand(kCmdPublishOrDeleteRemote);
    ASSERT_TRUE(WaitFor([&] { return tree.CountOf(1040) == 1; }, 60000))
        << (boxes.Texts().empty() ? std::string() : boxes.Texts().back().toStdString());
    EXPECT_EQ(tree.CountOf(1020), 0);
    EXPECT_EQ(view.RowCount(), 0);
    blog.Operations().Wait();
    frame.Shutdown();
}

} // namespace
