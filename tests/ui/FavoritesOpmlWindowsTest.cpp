// The favorites tree and the OPML windows on the offscreen platform: their checks and messages.
#include "app/AppPaths.h"
#include "platform/LoopbackServer.h"
#include "platform/fs/FileUtil.h"
#include "platform/jobs/JobRunner.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/FileChooser.h"
#include "ui/common/ReadingFrame.h"
#include "ui/reader/FavoriteBoxDialog.h"
#include "ui/reader/FavoriteItemDialog.h"
#include "ui/reader/FavoriteItemList.h"
#include "ui/reader/FavoritesPane.h"
#include "ui/reader/FeedItemModel.h"
#include "ui/reader/OpmlImportDialog.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"

#include "support/StoreSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/app/MainFrame.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/FavoriteBoxPicker.h"
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Answers the file dialogs with a fixed path and remembers the names they proposed.
class CFixedFileChooser : public CFileChooserHandler {
public:
    CFixedFileChooser() { CFileChooser::SetHandler(this); }
    ~CFixedFileChooser() override { CFileChooser::SetHandler(nullptr); }
    QString OnOpenFile(const QString&, const QString&) override { return path; }
    QString OnSaveFile(const QString&, const QString& proposed, const QString&) override {
        proposedNames.push_back(proposed);
        return path;
    }
    QString path;
    std::vector<QString> proposedNames;
};

class FavoritesOpmlWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_TRUE(Done(m_store.OpenStore()));
        m_server.Server().Get("/list.opml", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(ReadTestData("opml/gb2312-no-declaration.opml"), "text/x-opml");
        });
        m_server.Server().Get("/page.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body>no list</body></html>", "text/html");
        });
        m_server.Start();
    }
    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }
    std::string ChannelFile() { return m_home.Context().FilePath("Storage\\rssreader.opml"); }
    // Two received items of one channel, as the item list has them.
    void ReceiveTwoItems(std::vector<FeedItem>& received) {
        int feedId = 0;
        ASSERT_TRUE(m_store.AddFeed("http://x.example/rss", feedId));
        ASSERT_TRUE(m_store.SaveReceivedItems(feedId,
                                              {{.title = "一", .link = "http://x.example/1"},
                                               {.title = "二", .link = "http://x.example/2"}},
                                              StorageRule::kKeepAll, 0));
        int total = 0;
        ASSERT_TRUE(m_store.GetItemPage(feedId, ItemFilter::kAll, false, received, total, 50, 0));
    }

    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
    CFixedFileChooser m_files;
    loopback::CHttpServer m_server;
    CFeedDatabase m_store{m_home.Context()};
    CJobRunner m_dialogJobs{1};
};

} // namespace

TEST_F(FavoritesOpmlWindowsTest, TheFavoriteDialogsCheckTheirFields) {
    CFavoriteItemDialog item;
    EXPECT_EQ(item.DateEdit()->text().size(), 19) << "the date starts with the time now";
    EXPECT_FALSE(item.Confirm());
    item.TitleEdit()->setText(QStringLiteral("标题"));
    EXPECT_FALSE(item.Confirm());
    item.LinkEdit()->setText(QStringLiteral("http://l.example/"));
    item.AuthorEdit()->setText(QStringLiteral("<作者>"));
    EXPECT_FALSE(item.Confirm());
    item.AuthorEdit()->setText(QStringLiteral("作者"));
    EXPECT_TRUE(item.Confirm());
    EXPECT_EQ(m_boxes.Texts(),
              (std::vector<QString>{QStringLiteral("请输入标题"), QStringLiteral("请输入链接"),
                                    QStringLiteral("含有不合法的字符 '<' 或 '>'!")}));
    EXPECT_EQ(item.Item().author, "作者");

    m_boxes.Clear();
    CFavoriteBoxDialog box;
    EXPECT_FALSE(box.Confirm());
    box.NameEdit()->setText(QStringLiteral("盒"));
    box.SiteEdit()->setText(QStringLiteral("http://a<b"));
    EXPECT_FALSE(box.Confirm());
    box.SiteEdit()->setText(QStringLiteral("http://site.example/"));
    EXPECT_TRUE(box.Confirm());
    EXPECT_EQ(m_boxes.Texts(), (std::vector<QString>{QStringLiteral("请输入频道名称"),
                                                     QStringLiteral("您输入了无效的字符!")}));
}

TEST_F(FavoritesOpmlWindowsTest, TheFavoritesTreeKeepsMovesExportsAndImportsItems) {
    CRssFavorites favorites(m_home.Context());
    CCommandTable commands;
    CRssFavoriteTreeCtrl tree(favorites, m_store, commands, m_dialogJobs);
    CFavoriteItemList list(favorites, m_store);
    tree.SetItemList(&list);
    ASSERT_TRUE(tree.Build());

    // Two boxes made through the dialog.
    for (const char* name : {"甲", "乙"}) {
        WhenOpen<CFavoriteBoxDialog>([name](CFavoriteBoxDialog& dialog) {
            dialog.NameEdit()->setText(QString::fromUtf8(name));
            dialog.Confirm();
        });
        tree.RunFor(kCmdNewFavoriteBox, -1);
    }
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    const int a = tree.IndexOf(tree.topLevelItem(0));
    const int b = tree.IndexOf(tree.topLevelItem(1));

    // Received items dropped from the item list onto a box are copied into it.
    std::vector<FeedItem> received;
    ASSERT_NO_FATAL_FAILURE(ReceiveTwoItems(received));
    ASSERT_TRUE(m_store.SetItemImportant(received[1].Ref(), 1));
    received[1].isImportant = 1;
    CFeedItemModel model;
    model.SetItems(received);
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(0, 0), model.index(1, 0)}));
    ASSERT_TRUE(tree.DropData(dragged.get(), a));
    tree.SelectIndex(a);
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("一"));
    // The important mark came along and is shown, in the first place as in the channels' list.
    EXPECT_EQ(list.header()->logicalIndex(0), CFavoriteItemList::kImportantColumn);
    for (int row = 0; row < 2; ++row) {
        QTreeWidgetItem* shown = list.topLevelItem(row);
        EXPECT_EQ(shown->text(CFavoriteItemList::kImportantColumn),
                  shown->text(0) == QStringLiteral("二") ? QStringLiteral("★") : QString())
            << shown->text(0).toStdString();
    }

    // Favorite items dropped on their own box stay; on another box they move.
    list.selectAll();
    std::unique_ptr<QMimeData> moving(new QMimeData);
    moving->setData(QString::fromLatin1(CFavoriteItemList::kMimeType),
                    CFavoriteItemList::MimeText(a, list.SelectedIds()));
    EXPECT_FALSE(tree.DropData(moving.get(), a));
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("需要指定一个不同的收藏!"));
    EXPECT_EQ(list.topLevelItemCount(), 2);
    ASSERT_TRUE(tree.DropData(moving.get(), b));
    EXPECT_EQ(list.topLevelItemCount(), 0);

    // Export the box as an RSS file, import it back as a new box.
    m_files.path = QString::fromStdString(m_home.File("Temp/乙.xml"));
    tree.RunFor(kCmdExportFavoriteFeed, b);
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("导出Feed成功!"));
    EXPECT_EQ(m_files.proposedNames.back(), QStringLiteral("乙"));
    tree.RunFor(kCmdImportFavorites, -1);
    ASSERT_EQ(tree.topLevelItemCount(), 3);
    const int imported = tree.IndexOf(tree.topLevelItem(2));
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(2));
    EXPECT_EQ(list.Box(), imported);
    EXPECT_EQ(list.topLevelItemCount(), 2);

    // A file that is no RSS leaves no box behind.
    WriteAll(m_home.File("Temp/bad.xml"), "<rss><channel>");
    m_files.path = QString::fromStdString(m_home.File("Temp/bad.xml"));
    tree.RunFor(kCmdImportFavorites, -1);
    EXPECT_TRUE(m_boxes.Texts().back().startsWith(QStringLiteral("导入失败")));
    EXPECT_EQ(tree.topLevelItemCount(), 3);

    // Delete asks first; No keeps the box.
    m_boxes.Clear();
    m_boxes.Answer(false);
    tree.RunFor(kCmdDeleteFavorite, imported);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("确定要删除该收藏吗?"));
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("确认"));
    EXPECT_TRUE(m_boxes.Boxes()[0].question);
    EXPECT_EQ(tree.topLevelItemCount(), 3);
    tree.RunFor(kCmdDeleteFavorite, imported);
    EXPECT_EQ(tree.topLevelItemCount(), 2);
    CRssFavorites again(m_home.Context());
    ASSERT_TRUE(again.Build());
    EXPECT_EQ(again.Tree().Roots().size(), 2u);
}

// A list from another reader: several items dragged at once and 全部导入 leave out what is
// subscribed already (or named twice) and what is no feed, each step saying how many, and 确定
// sums up.
TEST_F(FavoritesOpmlWindowsTest, ImportingAListLeavesOutWhatIsSubscribedAndSaysHowMany) {
    WriteAll(ChannelFile(), "<opml><body><outline title=\"已有\" xmlUrl=\"http://existing.example/"
                            "rss\"/></body></opml>");
    COpmlImportDialog dialog(m_home.Context());
    EXPECT_FALSE(dialog.ImportAllButton()->isEnabled());
    ASSERT_TRUE(dialog.LoadFile(QString::fromStdString(TestDataPath("opml/with-duplicates.opml"))));
    EXPECT_TRUE(dialog.ImportAllButton()->isEnabled());
    QTreeWidget* source = dialog.SourceTree();
    EXPECT_EQ(source->selectionMode(), QAbstractItemView::ExtendedSelection);
    // Both folders, and a feed of the first that comes with its folder anyway.
    source->topLevelItem(0)->setSelected(true);
    source->topLevelItem(0)->child(1)->setSelected(true);
    source->topLevelItem(1)->setSelected(true);
    ASSERT_TRUE(dialog.DropSelectionAt({}));
    EXPECT_EQ(dialog.SummaryLabel()->text(),
              QStringLiteral("3 个频道已导入, 1 个已存在, 1 个无效"));
    QTreeWidget* target = dialog.TargetTree();
    ASSERT_EQ(target->topLevelItemCount(), 3);
    EXPECT_EQ(target->topLevelItem(1)->childCount(), 2); // 科技: 甲, 乙
    EXPECT_EQ(target->topLevelItem(2)->childCount(), 1); // 新闻: 丙

    dialog.ImportAllButton()->click();
    EXPECT_EQ(dialog.SummaryLabel()->text(),
              QStringLiteral("1 个频道已导入, 5 个已存在, 1 个无效"));
    EXPECT_EQ(target->topLevelItemCount(), 4) << "the folders are not made twice";
    m_boxes.Clear();
    dialog.accept();
    EXPECT_EQ(m_boxes.Texts(),
              std::vector<QString>{QStringLiteral("4 个频道已导入, 6 个已存在, 2 个无效")});
    std::vector<OpmlOutline> outlines;
    std::string error;
    ASSERT_TRUE(COpmlExchange::ReadOutlines(ChannelFile(), outlines, error)) << error;
    std::vector<std::string> addresses;
    const std::function<void(const std::vector<OpmlOutline>&)> collect = [&](const auto& level) {
        for (const OpmlOutline& outline : level) {
            if (!outline.xmlUrl.empty())
                addresses.push_back(outline.xmlUrl);
            collect(outline.children);
        }
    };
    collect(outlines);
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(addresses, (std::vector<std::string>{"http://a.example/rss", "http://b.example/rss",
                                                   "http://c.example/rss", "http://d.example/rss",
                                                   "http://existing.example/rss"}));
}

// A favorite is shown as one item, as a channel's item is: with its author, and the page of
// quick reading stays as it was.
// 加入收藏 from the item list: with no box the user is offered to make one there; with boxes a
// picker offers them (the box chosen last first), and the status line says where the item went.
// A box's items are listed in the reading area, where channels' items are.
TEST_F(FavoritesOpmlWindowsTest, AddingToFavoritesLeadsToABoxAndTheBoxListsInTheReadingArea) {
    std::vector<FeedItem> received;
    ASSERT_NO_FATAL_FAILURE(ReceiveTwoItems(received));
    ASSERT_EQ(received.size(), 2u);
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    CArticlesReportView* list = frame.ItemList();
    CRssFavoriteTreeCtrl* tree = frame.FavoritesPane()->Tree();

    // The item being read stays in the pane whatever happens among the boxes.
    ASSERT_EQ(frame.SideMode(), CMainFrame::kSideRss);
    CReadingFrame* pane = frame.ReadingFrame();
    pane->View()->ShowRendered(QByteArrayLiteral("<html><body>item</body></html>"),
                               QString::number(received[0].id));

    // No box: declining makes nothing; agreeing makes the box and the item goes there.
    m_boxes.Answer(false);
    emit list->AddToFavorites(received[0].Ref());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_TRUE(m_boxes.Boxes()[0].question);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    WhenOpen<CFavoriteBoxDialog>([](CFavoriteBoxDialog& dialog) {
        dialog.NameEdit()->setText(QStringLiteral("好文"));
        dialog.Confirm();
    });
    emit list->AddToFavorites(received[0].Ref());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    const int first = tree->IndexOf(tree->topLevelItem(0));
    EXPECT_EQ(frame.StatusText(), QStringLiteral("已加入收藏 \"好文\": 1 篇文章"));

    // With a box: the picker offers it first; its 新建收藏 makes another and selects it.
    int offered = -1;
    CFavoriteBoxPicker::SetHook([&](CFavoriteBoxPicker& picker) -> std::optional<int> {
        offered = picker.CurrentBox();
        WhenOpen<CFavoriteBoxDialog>([](CFavoriteBoxDialog& dialog) {
            dialog.NameEdit()->setText(QStringLiteral("稍后读"));
            dialog.Confirm();
        });
        picker.NewBoxButton()->click();
        return picker.CurrentBox();
    });
    emit list->AddToFavorites(received[1].Ref());
    CFavoriteBoxPicker::SetHook({});
    EXPECT_EQ(offered, first);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(frame.StatusText(), QStringLiteral("已加入收藏 \"稍后读\": 1 篇文章"));
    EXPECT_EQ(pane->View()->CurrentKey(), QString::number(received[0].id));

    // The 收藏 side lists the current box's items in the reading area, with its caption; the
    // channels' list and its page controls are out of sight.
    frame.SetSideMode(CMainFrame::kSideFavorites);
    tree->SelectIndex(first);
    CFavoriteItemList* items = frame.FavoritesPane()->Items();
    EXPECT_EQ(items->parentWidget(), list);
    EXPECT_FALSE(items->isHidden());
    EXPECT_TRUE(list->List()->isHidden());
    EXPECT_TRUE(list->PageBox()->isHidden());
    ASSERT_EQ(items->topLevelItemCount(), 1);
    EXPECT_EQ(items->topLevelItem(0)->text(0), QStringLiteral("一"));
    EXPECT_EQ(list->Caption()->text(), QStringLiteral("好文"));
    frame.SetSideMode(CMainFrame::kSideRss);
    EXPECT_TRUE(items->isHidden());
    EXPECT_FALSE(list->List()->isHidden());
    frame.Shutdown();
}

TEST_F(FavoritesOpmlWindowsTest, AFavoriteIsRenderedAsOneItemWithItsAuthor) {
    CRssReader reader(m_home.Context(), m_store);
    ASSERT_TRUE(reader.Build());
    CReadingFrame frame;
    CCommandTable commands;
    CFavoritesPane pane(m_home.Context(), m_store, commands, m_dialogJobs);
    ASSERT_TRUE(pane.Build());
    pane.SetReadingTargets(&reader, &frame);
    const std::string page = m_home.Context().FilePath("Data\\RssSkin\\tempRssList.xml");
    WriteAll(page, "quick reading page");

    emit pane.Tree()->ItemOpened(
        {.id = 3, .title = "收藏的文章", .link = "http://x.example/3", .author = "张三"});
    const std::string document = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRss.xml"));
    EXPECT_NE(document.find(CTextCodec::Utf8ToGbk("<author><![CDATA[张三]]></author>")),
              std::string::npos)
        << document;
    EXPECT_EQ(ReadAll(page), "quick reading page");
    EXPECT_EQ(frame.View()->url().scheme(), QStringLiteral("quillpane"));
    reader.Shutdown();
}

TEST_F(FavoritesOpmlWindowsTest, TheImportDialogArrangesAndOnlyOkChangesTheChannels) {
    const std::string before = ReadAll(ChannelFile());
    const std::string working = m_home.Context().FilePath("Temp\\temp.opml");
    {
        COpmlImportDialog dialog(m_home.Context());
        ASSERT_TRUE(dialog.IsReady());
        EXPECT_TRUE(CFileUtil::Exists(working));
        EXPECT_FALSE(dialog.OkButton()->isEnabled());
        // An address that does not answer: said, and another may be tried.
        EXPECT_FALSE(dialog.LoadAddress(QString::fromStdString(Url("/gone.opml"))));
        EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("无效的链接!"));
        EXPECT_TRUE(dialog.OpenAddressButton()->isEnabled());
        ASSERT_TRUE(dialog.LoadAddress(QString::fromStdString(Url("/list.opml"))));
        EXPECT_FALSE(dialog.OpenFileButton()->isEnabled());
        EXPECT_TRUE(dialog.OkButton()->isEnabled());
        ASSERT_EQ(dialog.SourceTree()->topLevelItemCount(), 2);
        EXPECT_EQ(dialog.SourceTree()->topLevelItem(0)->text(0), QStringLiteral("新闻"));
        ASSERT_TRUE(dialog.DropAt({0}, {}));
        ASSERT_TRUE(dialog.DropAt({1}, {}));
        EXPECT_EQ(dialog.TargetTree()->topLevelItemCount(), 2);
        // A drag resting on a folder selects it and then opens it.
        QTreeWidgetItem* folder = dialog.TargetTree()->topLevelItem(0);
        folder->setExpanded(false);
        dialog.HoverOver(folder);
        EXPECT_EQ(dialog.TargetTree()->currentItem(), folder);
        EXPECT_TRUE(WaitFor([folder] { return folder->isExpanded(); }, 3000));
        dialog.reject();
    }
    EXPECT_EQ(ReadAll(ChannelFile()), before) << "取消 changes nothing";
    EXPECT_FALSE(CFileUtil::Exists(working));

    {
        COpmlImportDialog dialog(m_home.Context());
        WriteAll(m_home.File("Temp/words.opml"), "no list here");
        EXPECT_FALSE(dialog.LoadFile(QString::fromStdString(m_home.File("Temp/words.opml"))));
        EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("无法识别的OPML文件格式"));
        EXPECT_FALSE(dialog.OpenFileButton()->isEnabled());
        EXPECT_TRUE(dialog.OkButton()->isEnabled());
    }
    EXPECT_FALSE(CFileUtil::Exists(working));

    // Through the channel tree: the dialog, a drop into a directory, 确定, and the tree is new.
    CRssReader reader(m_home.Context(), m_store);
    ASSERT_TRUE(reader.Build());
    CCommandTable commands;
    CRssChannelTreeCtrl tree(reader, commands, m_dialogJobs);
    ASSERT_TRUE(reader.Tree().AddDirectory(-1, "导入"));
    tree.Fill();
    WhenOpen<COpmlImportDialog>([this](COpmlImportDialog& dialog) {
        ASSERT_TRUE(dialog.LoadFile(QString::fromStdString(TestDataPath("opml/rtl-opml2.opml"))));
        ASSERT_TRUE(dialog.DropAt({0}, {0}));
        dialog.accept();
    });
    tree.RunFor(kCmdImportOpml, -1);
    const int imported = reader.Tree().FindByPath("导入/أخبار/الجزيرة نت");
    ASSERT_GE(imported, 0);
    EXPECT_EQ(reader.Tree().Record(imported).xmlUrl, "https://aljazeera.example/rss");
    EXPECT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_FALSE(CFileUtil::Exists(working));

    // Export everything, and the directory alone.
    m_boxes.Clear();
    m_files.path = QString::fromStdString(m_home.File("Temp/all.opml"));
    tree.RunFor(kCmdExportAll, -1);
    EXPECT_EQ(m_files.proposedNames.back(), QStringLiteral("RSS订阅收藏.opml"));
    m_files.path = QString::fromStdString(m_home.File("Temp/one.opml"));
    tree.RunFor(kCmdExportDirectory, reader.Tree().FindByPath("导入"));
    EXPECT_EQ(m_files.proposedNames.back(), QStringLiteral("导入.opml"));
    m_files.path = QString::fromStdString(m_home.File("no/such/folder.opml"));
    tree.RunFor(kCmdExportAll, -1);
    ASSERT_EQ(m_boxes.Texts().size(), 3u);
    EXPECT_EQ(m_boxes.Texts()[0], QStringLiteral("导出成功!"));
    EXPECT_EQ(m_boxes.Texts()[1], QStringLiteral("导出成功!"));
    // The failure says why.
    EXPECT_TRUE(m_boxes.Texts()[2].startsWith(QStringLiteral("导出失败!\n") +
                                              QString::fromStdString(m_home.File("no/such"))));
    EXPECT_NE(ReadAll(m_home.File("Temp/all.opml")).find("<opml version=\"2.0\"><head><title>"),
              std::string::npos);
    CXmlDocument all;
    ASSERT_TRUE(all.LoadFile(m_home.File("Temp/all.opml")));
    EXPECT_FALSE(all.SelectNode("//outline[@text='الجزيرة نت']").IsNull());
    reader.Shutdown();
}
