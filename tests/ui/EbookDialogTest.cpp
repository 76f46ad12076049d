#include "ui/export/EbookDialog.h"
#include "app/AppPaths.h"
#include "platform/LoopbackServer.h"
#include "platform/fs/FileUtil.h"
#include "platform/jobs/JobRunner.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/common/CommandIds.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class EbookDialogTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    EbookSource Source(std::vector<std::string> categories = {}, bool weblog = false,
                       std::string title = {}) const {
        return {.articles = m_articles,
                .categories = std::move(categories),
                .weblog = weblog,
                .suggestedTitle = std::move(title)};
    }

    CTempHome m_home;
    CRecordingMessageBoxes m_boxes;
    // After the home: its jobs end before the home goes.
    CJobRunner m_jobs{2};
    std::vector<EbookArticle> m_articles{{.title = "第一篇",
                                          .date = "2026-01-01 00:00:00",
                                          .category = "随笔",
                                          .content = "<p>一</p>"},
                                         {.title = "第二篇",
                                          .date = "2026-01-02 00:00:00",
                                          .category = "技术",
                                          .content = "<p>二</p>"}};
};

TEST_F(EbookDialogTest, DefaultsFollowTheSource) {
    CEbookDialog weblog(m_jobs, m_home.Context(), Source({"随笔", "技术"}, true, "忽略"));
    EXPECT_EQ(weblog.TitleEdit()->text(), QStringLiteral("我的日志"));
    EXPECT_TRUE(weblog.CategoryBox()->isVisibleTo(&weblog));
    EXPECT_FALSE(weblog.PicturesBox()->isChecked());

    CEbookDialog feed(m_jobs, m_home.Context(), Source({}, false, "每日新闻"));
    EXPECT_EQ(feed.TitleEdit()->text(), QStringLiteral("每日新闻"));
    EXPECT_FALSE(feed.CategoryBox()->isVisibleTo(&feed));
    CEbookDialog favorites(m_jobs, m_home.Context(), Source());
    EXPECT_EQ(favorites.TitleEdit()->text(), QStringLiteral("我的收藏"));
}

TEST_F(EbookDialogTest, APathAndATitleAreRequired) {
    CEbookDialog dialog(m_jobs, m_home.Context(), Source({}, true));
    int finished = 0;
    QObject::connect(&dialog, &CEbookDialog::BuildFinished, [&](bool) { ++finished; });
    dialog.Start();
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("请选择要保存为的CHM文件名!")});
    EXPECT_EQ(dialog.focusWidget(), dialog.BrowseButton());
    m_boxes.Clear();
    dialog.PathEdit()->setText(QString::fromStdString(m_home.File("书.chm")));
    dialog.TitleEdit()->setText(QStringLiteral("   "));
    dialog.Start();
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("请输入标题!")});
    EXPECT_EQ(dialog.focusWidget(), dialog.TitleEdit());
    EXPECT_EQ(finished, 0);
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
    EXPECT_FALSE(CFileUtil::Exists(m_home.File("书.chm")));
}

TEST_F(EbookDialogTest, PicturesAreDownloadedThenTheBookIsMade) {
    loopback::CHttpServer server;
    server.Server().Get("/p.png", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("PNG", "image/png");
    });
    server.Start();
    m_articles[1].content = "<img src=\"" + server.Url("/p.png") + "\">";
    CEbookDialog dialog(m_jobs, m_home.Context(), Source({"随笔", "技术"}, true));
    bool made = false;
    bool finished = false;
    QObject::connect(&dialog, &CEbookDialog::BuildFinished, [&](bool ok) {
        made = ok;
        finished = true;
    });
    const std::string output = m_home.File("我的日志.chm");
    dialog.PathEdit()->setText(QString::fromStdString(output));
    dialog.PicturesBox()->setChecked(true);
    dialog.CategoryBox()->setChecked(true);
    dialog.Start();
    EXPECT_FALSE(dialog.StartButton()->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return finished; }, 30000));
    EXPECT_TRUE(made) << dialog.StatusBox()->toPlainText().toStdString();
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("制作完成!")});
    EXPECT_EQ(dialog.StartButton()->text(), QStringLiteral("制作完成"));
    const QString status = dialog.StatusBox()->toPlainText();
    EXPECT_TRUE(status.contains(QStringLiteral(">>下载图片 ") +
                                QString::fromStdString(server.Url("/p.png"))));
    EXPECT_TRUE(status.contains(QStringLiteral(">>download complete.")));
    EXPECT_GT(ReadAll(output).size(), 0u);
    EXPECT_EQ(ReadAll(m_home.File("Temp/CHMTemp/images/0.png")), "PNG");
}

TEST_F(EbookDialogTest, AFailedBuildSaysSoAndMayBeTriedAgain) {
    CFileUtil::RemoveFile(m_home.File("Data/CHMSkin/index.html"));
    CEbookDialog dialog(m_jobs, m_home.Context(), Source());
    bool finished = false;
    QObject::connect(&dialog, &CEbookDialog::BuildFinished, [&](bool) { finished = true; });
    dialog.PathEdit()->setText(QString::fromStdString(m_home.File("x.chm")));
    dialog.Start();
    ASSERT_TRUE(WaitFor([&] { return finished; }, 30000));
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_TRUE(m_boxes.Texts()[0].startsWith(QStringLiteral("编译失败!")));
    EXPECT_TRUE(m_boxes.Texts()[0].contains(QStringLiteral("index.html")));
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
}

TEST_F(EbookDialogTest, FeedItemsAreCheckedBeforeTheDialog) {
    CEbookDialog::OpenForFeedItems(nullptr, m_jobs, m_home.Context(), {}, QStringLiteral("空"));
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral(
                                   "您选择的显示项目没有文章!\r\n可选择该频道的全部项目.")});
    m_boxes.Clear();
    m_boxes.Answer(false);
    CEbookDialog::OpenForFeedItems(nullptr, m_jobs, m_home.Context(), std::vector<FeedItem>(1001),
                                   QStringLiteral("多"));
    const auto boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].question);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("提示"));
    EXPECT_TRUE(boxes[0].text.startsWith(QStringLiteral("您选择的项目文章数过多(1001篇)，\r\n")));
}

TEST_F(EbookDialogTest, ClosingTheDialogStopsItsJobWithoutWaitingForIt) {
    // A compiler that hangs (its pid in a file once it runs), and pictures on a server that
    // never answers.
    const std::string compiler = m_home.File("hang");
    const std::string pidFile = m_home.File("hang.pid");
    WriteAll(compiler, "#!/bin/sh\necho $$ > \"" + pidFile + ".tmp\"\nmv \"" + pidFile +
                           ".tmp\" \"" + pidFile + "\"\nexec sleep 30\n");
    std::filesystem::permissions(compiler, std::filesystem::perms::owner_all);
    loopback::CSilentServer silent;

    // Starts a build, waits until it is under way, then closes and destroys the dialog as its
    // owner does; the interface thread must be back at once.
    const auto closeWhile = [&](const char* stage, bool pictures,
                                const std::function<bool(CEbookDialog&)>& underWay) {
        auto dialog = std::make_unique<CEbookDialog>(m_jobs, m_home.Context(), Source());
        dialog->SetCompiler(compiler);
        dialog->PathEdit()->setText(QString::fromStdString(m_home.File("x.chm")));
        dialog->PicturesBox()->setChecked(pictures);
        dialog->Start();
        ASSERT_TRUE(WaitFor([&] { return underWay(*dialog); }, 10000)) << stage;
        EXPECT_LT(HeldFor([&] {
                      static_cast<QDialog&>(*dialog).reject();
                      dialog.reset();
                  }),
                  2000)
            << stage;
        // The job ends by itself on the runner, which outlived the dialog.
        EXPECT_TRUE(WaitFor([&] { return m_jobs.Pending() == 0; }, 10000)) << stage;
    };

    m_articles[0].content = "<img src=\"" + silent.Url("/p.png") + "\">";
    closeWhile("downloading", true, [](CEbookDialog& dialog) {
        return dialog.StatusBox()->toPlainText().contains(QStringLiteral(">>下载图片"));
    });
    EXPECT_FALSE(CFileUtil::Exists(pidFile)) << "no compiler after a cancelled download";

    closeWhile("compiling", false, [&](CEbookDialog&) { return CFileUtil::Exists(pidFile); });
    const pid_t pid = std::stoi(ReadAll(pidFile));
    EXPECT_NE(kill(pid, 0), 0) << "the compiler was stopped and reaped";
}

// Opens the tree's context menu on the item and chooses the command; false when the command is
// not there or not enabled (the menu is then closed).
bool ChooseFromContextMenu(CRssFavoriteTreeCtrl& tree, int index, int command) {
    const QPoint point = tree.visualItemRect(tree.ItemOf(index)).center();
    bool chosen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            ADD_FAILURE() << "no context menu";
            return;
        }
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == command && action->isEnabled()) {
                menu->setActiveAction(action);
                chosen = true;
            }
        }
        if (!chosen) {
            menu->close();
            return;
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &enter);
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, point, tree.viewport()->mapToGlobal(point));
    QApplication::sendEvent(tree.viewport(), &click);
    return chosen;
}

TEST_F(EbookDialogTest, AFavoritesBoxIsBoundFromItsContextMenu) {
    CFeedDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    CRssFavorites favorites(m_home.Context());
    CCommandTable commands;
    CRssFavoriteTreeCtrl tree(favorites, store, commands, m_jobs);
    ASSERT_TRUE(tree.Build());
    int full = -1;
    int empty = -1;
    ASSERT_TRUE(favorites.AddBox(-1, "满的", "", store, &full));
    ASSERT_TRUE(favorites.AddBox(-1, "空的", "", store, &empty));
    for (const char* title : {"旧的一篇", "新的一篇"})
        ASSERT_TRUE(favorites.AddItem(
            full, {.title = title, .link = "http://x.example/", .description = "<p>正文</p>"},
            store));
    tree.Fill();
    tree.resize(300, 300);
    tree.show();

    // The dialog that opens is bound to the box's items, newest first.
    std::vector<std::string> titles;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<CEbookDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            for (const EbookArticle& article : dialog->Source().articles)
                titles.push_back(article.title);
            EXPECT_EQ(dialog->TitleEdit()->text(), QStringLiteral("我的收藏"));
            static_cast<QDialog*>(dialog)->reject();
        }
    });
    poll.start(10);
    EXPECT_TRUE(ChooseFromContextMenu(tree, full, kCmdFavoriteEbook));
    poll.stop();
    EXPECT_EQ(titles, (std::vector<std::string>{"新的一篇", "旧的一篇"}));
    EXPECT_TRUE(m_boxes.Texts().empty());

    EXPECT_TRUE(ChooseFromContextMenu(tree, empty, kCmdFavoriteEbook));
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("您选择的收藏夹没有文章!\r\n")});
}

// The channel tree's command binds a directory: the items of every channel below it are read
// by the build's job on the runner the tree was given.
TEST_F(EbookDialogTest, ADirectoryIsBoundFromTheChannelTree) {
    CFeedDatabase store(m_home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    CRssReader reader(m_home.Context(), store);
    ASSERT_TRUE(reader.Build());
    int directory = -1;
    ASSERT_TRUE(reader.Tree().AddDirectory(-1, "资讯", &directory));
    for (const std::string name : {"a", "b"}) {
        int channel = -1;
        int feedId = 0;
        ASSERT_TRUE(reader.Tree().AddSubscription(directory, "http://" + name + ".example/rss",
                                                  name, "", &channel));
        ASSERT_TRUE(reader.Tree().GetFeedId(channel, feedId, store));
        ASSERT_TRUE(store.SaveReceivedItems(
            feedId, {{.title = name + "-item", .link = "http://x.example/" + name}},
            StorageRule::kKeepAll, 0));
    }
    CCommandTable commands;
    CRssChannelTreeCtrl tree(reader, commands, m_jobs);
    tree.Fill();

    bool made = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CEbookDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        EXPECT_EQ(dialog->TitleEdit()->text(), QStringLiteral("资讯"));
        QObject::connect(dialog, &CEbookDialog::BuildFinished, [&made, dialog](bool ok) {
            made = ok;
            static_cast<QDialog*>(dialog)->reject();
        });
        dialog->PathEdit()->setText(QString::fromStdString(m_home.File("资讯.chm")));
        dialog->Start();
    });
    poll.start(10);
    EXPECT_TRUE(tree.RunFor(kCmdChannelEbook, directory));
    EXPECT_TRUE(made) << (m_boxes.Texts().empty() ? "" : m_boxes.Texts().back().toStdString());
    const std::string work = m_home.File("Temp/CHMTemp/");
    EXPECT_NE(ReadAll(work + "0.html").find("<title>a-item</title>"), std::string::npos);
    EXPECT_NE(ReadAll(work + "1.html").find("<title>b-item</title>"), std::string::npos);
    reader.Shutdown();
}

} // namespace
