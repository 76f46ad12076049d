#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "platform/LoopbackServer.h"
#include "platform/jobs/JobRunner.h"
#include "platform/text/ReasonText.h"
#include "reader/ChannelTree.h"
#include "reader/FeedRules.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/ReadingFrame.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/ChannelPropertySheet.h"
#include "ui/reader/DirectoryDialog.h"
#include "ui/reader/DirectoryPropertySheet.h"
#include "ui/reader/FeedItemModel.h"
#include "ui/reader/FeedRulesDialog.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/StorageRuleBox.h"
#include "ui/reader/SubscriptionDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

namespace {

std::string Feed(const std::string& title, int items) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                      "<title>" +
                      title + "</title><link>http://127.0.0.1/site</link>";
    for (int i = items - 1; i >= 0; --i)
        xml += "<item><title>" + title + " 第" + std::to_string(i) +
               "篇</title><link>http://127.0.0.1/" + title + "/" + std::to_string(i) +
               "</link><description>正文 " + std::to_string(i) +
               "</description><pubDate>Tue, 07 Mar 2006 09:05:00 GMT</pubDate></item>";
    return xml + "</channel></rss>";
}

class ReaderWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        // A site's home page that announces two feeds.
        m_server.Server().Get("/home/", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                            "title=\"新闻\" href=\"../news.xml\"><link rel=\"alternate\" "
                            "type=\"application/rss+xml\" href=\"/pictures.xml\"></head></html>",
                            "text/html");
        });
        m_server.Server().Get("/news.xml", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed("新闻", 12), "application/rss+xml");
        });
        m_server.Server().Get(
            "/gone.xml", [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
        m_server.Server().Get("/pictures.xml", [this](const httplib::Request&,
                                                      httplib::Response& res) {
            res.set_content("<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\">"
                            "<channel><title>图</title><item><title>有图</title>"
                            "<link>http://127.0.0.1/pic/1</link><description><![CDATA[<p>看图"
                            "</p><img src=\"" +
                                Url("/p.png") +
                                "\" onerror=\"alert(1)\">]]></description></item></channel></rss>",
                            "application/rss+xml");
        });
        m_server.Server().Get("/big.xml", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(Feed("大", 100), "application/rss+xml");
        });
        m_server.Start();
        ASSERT_TRUE(Done(m_store.OpenStore()));
        m_reader = std::make_unique<CRssReader>(m_home.Context(), m_store);
        ASSERT_TRUE(m_reader->Build());
        m_tree = std::make_unique<CRssChannelTreeCtrl>(*m_reader, m_commands, m_dialogJobs);
        m_tree->Fill();
        m_list = std::make_unique<CArticlesReportView>();
        m_list->SetReader(m_reader.get());
        QObject::connect(m_list.get(), &CArticlesReportView::CountsChanged, m_tree.get(),
                         &CRssChannelTreeCtrl::RefreshAll);
        QObject::connect(m_tree.get(), &CRssChannelTreeCtrl::ListRefreshNeeded, m_list.get(),
                         &CArticlesReportView::ShowCurrentItems);
    }
    void TearDown() override {
        m_reader->Shutdown();
        m_list.reset();
        m_tree.reset();
    }

    std::string Url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + path;
    }
    int AddChannel(const std::string& title, const std::string& path, int parent = -1) {
        int index = -1;
        EXPECT_TRUE(m_reader->Tree().AddSubscription(parent, Url(path), title, "", &index));
        m_tree->Fill();
        return index;
    }
    bool Receive(int index) {
        if (!m_reader->Scheduler().ReceiveChannel(index, {.refreshList = true}))
            return false;
        return WaitFor(
            [&] {
                return m_reader->Tree().Record(index).image == kImageReceived ||
                       m_reader->Tree().Record(index).image == kImageFailed;
            },
            20000);
    }
    std::string ChannelFile() {
        return ReadAll(m_home.Context().FilePath("Storage\\rssreader.opml"));
    }

    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
    loopback::CHttpServer m_server;
    CFeedDatabase m_store{m_home.Context()};
    CJobRunner m_dialogJobs{1};
    std::unique_ptr<CRssReader> m_reader;
    CCommandTable m_commands;
    std::unique_ptr<CRssChannelTreeCtrl> m_tree;
    std::unique_ptr<CArticlesReportView> m_list;
};

TEST_F(ReaderWindowsTest, TheSubscriptionAndDirectoryDialogsCheckTheirFields) {
    CSubscriptionDialog dialog(m_home.Context());
    EXPECT_FALSE(dialog.Confirm());
    dialog.UrlEdit()->setText(QStringLiteral("http://a/feed"));
    EXPECT_FALSE(dialog.Confirm());
    dialog.TitleEdit()->setText(QStringLiteral("a<b"));
    EXPECT_FALSE(dialog.Confirm());
    dialog.TitleEdit()->setText(QStringLiteral("频道"));
    dialog.UrlEdit()->setText(QStringLiteral("http://a/<feed>"));
    EXPECT_FALSE(dialog.Confirm());
    CDirectoryDialog directory;
    EXPECT_FALSE(directory.Confirm());
    directory.NameEdit()->setText(QStringLiteral("<技术>"));
    EXPECT_FALSE(directory.Confirm());
    const QString invalid = QStringLiteral("您输入了无效的字符!");
    EXPECT_EQ(
        m_boxes.Texts(),
        (std::vector<QString>{QStringLiteral("请输入RSS地址"), QStringLiteral("请输入频道名称"),
                              invalid, invalid, QStringLiteral("请输入目录名称"), invalid}));
    dialog.UrlEdit()->setText(QStringLiteral("http://a/feed"));
    EXPECT_TRUE(dialog.Confirm());
}

TEST_F(ReaderWindowsTest, FetchingTheTitleFillsTheName) {
    CSubscriptionDialog dialog(m_home.Context());
    dialog.FetchTitle();
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("请输入RSS地址")});
    m_boxes.Clear();

    dialog.UrlEdit()->setText(QString::fromStdString(Url("/news.xml")));
    dialog.FetchTitle();
    EXPECT_EQ(dialog.FetchButton()->text(), QStringLiteral("获取中..."));
    EXPECT_FALSE(dialog.FetchButton()->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return dialog.FetchButton()->isEnabled(); }, 20000));
    EXPECT_EQ(dialog.FetchButton()->text(), QStringLiteral("从地址获取"));
    EXPECT_EQ(dialog.Title(), QStringLiteral("新闻"));
    EXPECT_EQ(dialog.SiteEdit()->text(), QStringLiteral("http://127.0.0.1/site"));
    EXPECT_TRUE(m_boxes.Texts().empty());

    dialog.UrlEdit()->setText(QString::fromStdString(Url("/missing.xml")));
    dialog.FetchTitle();
    ASSERT_TRUE(WaitFor([&] { return dialog.FetchButton()->isEnabled(); }, 20000));
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral("无法获取标题!")});

    // A site's page: the user picks one of its feeds, which takes the address field; the page
    // is the site.
    std::vector<FeedOffer> offered;
    CSubscriptionDialog::SetFeedChooser([&](const std::vector<FeedOffer>& offers) {
        offered = offers;
        return std::optional<size_t>(1);
    });
    dialog.UrlEdit()->setText(QString::fromStdString(Url("/home/")));
    dialog.SiteEdit()->clear();
    dialog.FetchTitle();
    ASSERT_TRUE(WaitFor([&] { return dialog.FetchButton()->isEnabled(); }, 20000));
    CSubscriptionDialog::SetFeedChooser({});
    EXPECT_EQ(offered, (std::vector<FeedOffer>{{.url = Url("/news.xml"), .title = "新闻"},
                                               {.url = Url("/pictures.xml")}}));
    EXPECT_EQ(dialog.Url(), QString::fromStdString(Url("/pictures.xml")));
    EXPECT_EQ(dialog.SiteEdit()->text(), QString::fromStdString(Url("/home/")));
}

// Closing the dialog while the probe hangs gives the transfer up: the interface thread is free
// at once and no thread of the dialog is left.
TEST_F(ReaderWindowsTest, ClosingTheDialogWhileTheTitleHangsReturnsAtOnce) {
    loopback::CHangingServer hanging;
    const int threads = ThreadCount();
    auto dialog = std::make_unique<CSubscriptionDialog>(m_home.Context());
    dialog->UrlEdit()->setText(QString::fromStdString(hanging.Url("/feed.xml")));
    dialog->FetchTitle();
    ExpectClosedWhileHanging(hanging, 1, threads, [&] { dialog.reset(); });
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(ReaderWindowsTest, AStartAddressOpensTheFilledDialogAndTheChannelIsReceived) {
    const std::string address = "quill://rssurl=" + Url("/news.xml") + "&rsstitle=今日新闻";
    QString shownUrl;
    QString shownTitle;
    WhenOpen<CSubscriptionDialog>([&](CSubscriptionDialog& dialog) {
        shownUrl = dialog.Url();
        shownTitle = dialog.Title();
        dialog.Confirm();
    });
    m_tree->AddSubscriptionFromAddress(address);
    EXPECT_EQ(shownUrl, QString::fromStdString(Url("/news.xml")));
    EXPECT_EQ(shownTitle, QStringLiteral("今日新闻"));
    ASSERT_EQ(m_reader->Tree().AllChannels().size(), 1u);
    const int index = m_reader->Tree().AllChannels()[0];
    EXPECT_NE(ChannelFile().find("今日新闻"), std::string::npos);
    // The new channel is received at once; the tree item shows the count the worker handed over.
    ASSERT_TRUE(WaitFor(
        [&] {
            return m_tree->ItemOf(index)->data(0, CRssChannelTreeCtrl::kUnreadRole).toInt() == 12;
        },
        20000));
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("今日新闻 [12]"));

    // Cancelling adds nothing.
    WhenOpen<CSubscriptionDialog>([](CSubscriptionDialog& dialog) { dialog.reject(); });
    m_tree->AddSubscriptionFromAddress(address);
    EXPECT_EQ(m_reader->Tree().AllChannels().size(), 1u);
}

TEST_F(ReaderWindowsTest, ReceivingAnnouncesNewItemsAndUpdatesTheTree) {
    const int index = AddChannel("新闻", "/news.xml");
    int feedId = 0;
    ASSERT_TRUE(m_reader->Tree().GetFeedId(index, feedId, m_store));
    ChannelProperties properties{.title = "新闻", .xmlUrl = Url("/news.xml"), .newItemShowTip = 1};
    ASSERT_TRUE(m_reader->Tree().SetChannelProperties(index, properties, m_store));
    std::vector<std::pair<int, int>> announced;
    QObject::connect(m_reader.get(), &CRssReader::RoundEnded,
                     [&](const ReceiveProgress&, const std::vector<NewItemsNote>& notes) {
                         for (const NewItemsNote& note : notes)
                             announced.emplace_back(note.index, note.unread);
                     });
    ASSERT_TRUE(Receive(index));
    ASSERT_TRUE(WaitFor([&] { return !announced.empty(); }));
    EXPECT_EQ(announced[0], std::make_pair(index, 12));
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻 [12]"));
}

TEST_F(ReaderWindowsTest, PagesOfTheList) {
    const int index = AddChannel("大", "/big.xml");
    ASSERT_TRUE(Receive(index));
    m_tree->SelectIndex(index);
    m_list->ShowChannel(index);
    ASSERT_EQ(m_list->PageBox()->count(), 2);
    EXPECT_EQ(m_list->PageBox()->itemText(0), QStringLiteral("1/2"));
    EXPECT_EQ(m_list->Model()->rowCount(), 50);
    EXPECT_FALSE(m_list->PreviousButton()->isVisibleTo(m_list.get()));
    EXPECT_TRUE(m_list->NextButton()->isVisibleTo(m_list.get()));
    // Newest first.
    EXPECT_EQ(m_list->Model()->ItemAt(0)->title, "大 第99篇");

    m_list->NextButton()->click();
    EXPECT_EQ(m_list->PageBox()->currentIndex(), 1);
    EXPECT_TRUE(m_list->PreviousButton()->isVisibleTo(m_list.get()));
    EXPECT_FALSE(m_list->NextButton()->isVisibleTo(m_list.get()));
    EXPECT_EQ(m_list->Model()->ItemAt(0)->title, "大 第49篇");

    m_list->SetPages(50, 50, 0);
    EXPECT_EQ(m_list->PageBox()->count(), 1);
    EXPECT_EQ(m_list->PageBox()->itemText(0), QStringLiteral("1/1"));
    EXPECT_FALSE(m_list->NextButton()->isVisibleTo(m_list.get()));
    m_list->SetPages(101, 50, 2);
    EXPECT_EQ(m_list->PageBox()->count(), 3);
    EXPECT_EQ(m_list->PageBox()->currentText(), QStringLiteral("3/3"));
}

TEST_F(ReaderWindowsTest, OpeningAnItemMarksItReadAndTheCountFollows) {
    const int index = AddChannel("新闻", "/news.xml");
    ASSERT_TRUE(Receive(index));
    m_tree->SelectIndex(index);
    m_list->ShowChannel(index);
    ASSERT_EQ(m_list->Model()->rowCount(), 12);
    const FeedItem* first = m_list->Model()->ItemAt(0);
    EXPECT_EQ(first->isNew, 1);
    m_list->List()->setCurrentIndex(m_list->Model()->index(0, 0));
    EXPECT_EQ(m_list->Model()->ItemAt(0)->isRead, 1);
    EXPECT_EQ(m_list->Model()->ItemAt(0)->isNew, 0);
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻 [11]"));

    m_list->MarkSelected(false);
    EXPECT_EQ(m_list->Model()->ItemAt(0)->isRead, 0);
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻 [12]"));

    // 下一篇 opens the next item.
    m_list->MoveSelection(1);
    EXPECT_EQ(m_list->List()->currentIndex().row(), 1);
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻 [11]"));
}

TEST_F(ReaderWindowsTest, SelectingAnItemRendersItThroughTheSkin) {
    CReadingFrame frame;
    m_list->SetReadingFrame(&frame);
    const int index = AddChannel("新闻", "/news.xml");
    ASSERT_TRUE(Receive(index));
    m_list->ShowChannel(index);
    m_list->List()->setCurrentIndex(m_list->Model()->index(1, 0));
    const FeedItem* item = m_list->Model()->ItemAt(1);
    EXPECT_EQ(frame.View()->url().scheme(), QStringLiteral("quillpane"));
    EXPECT_EQ(frame.View()->CurrentKey(), QString::number(item->id));
    // The scratch document is written as the skins receive it.
    const std::string scratch = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRss.xml"));
    EXPECT_NE(scratch.find("encoding=\"gb2312\""), std::string::npos);

    // Quick reading: the page is one document, and an item is an anchor in it.
    m_list->SetQuickReading(true);
    m_list->ShowChannel(index);
    EXPECT_EQ(frame.View()->url().scheme(), QStringLiteral("quillpane"));
    EXPECT_TRUE(frame.View()->url().fragment().isEmpty());
    m_list->List()->setCurrentIndex(m_list->Model()->index(0, 0));
    EXPECT_EQ(frame.View()->url().fragment(QUrl::FullyDecoded),
              QString::fromStdString(m_list->Model()->ItemAt(0)->link));
    m_list->SetReadingFrame(nullptr);
}

TEST_F(ReaderWindowsTest, RemoteImagesWaitForAClickWhenTheUserSaysSo) {
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/noremoteimages", "1"), 1);
    m_reader->ApplySettings();
    CReadingFrame frame;
    m_list->SetReadingFrame(&frame);
    const int index = AddChannel("图", "/pictures.xml");
    ASSERT_TRUE(Receive(index));
    m_list->ShowChannel(index);
    m_list->List()->setCurrentIndex(m_list->Model()->index(0, 0));
    const QString key = frame.View()->CurrentKey();
    const QUrl first = frame.View()->url();
    std::string shown = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRss.xml"));
    EXPECT_EQ(shown.find("<img"), std::string::npos) << shown;
    EXPECT_NE(shown.find("data-src=\"" + Url("/p.png") + "\""), std::string::npos) << shown;

    // A click on the placeholder is a navigation to the pane's own address: the pane keeps its
    // place and the item is shown again with its images.
    auto* page = static_cast<CHtmlPage*>(frame.View()->page());
    EXPECT_FALSE(page->acceptNavigationRequest(CBottomHtmlView::LoadImagesUrl(),
                                               QWebEnginePage::NavigationTypeLinkClicked, true));
    EXPECT_EQ(frame.View()->CurrentKey(), key);
    EXPECT_NE(frame.View()->url(), first);
    shown = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRss.xml"));
    EXPECT_NE(shown.find("<img src=\"" + Url("/p.png") + "\">"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("onerror"), std::string::npos) << shown;

    // Quick reading: the whole page comes again with its images.
    m_list->SetQuickReading(true);
    m_list->ShowChannel(index);
    shown = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRssList.xml"));
    EXPECT_EQ(shown.find("<img"), std::string::npos) << shown;
    EXPECT_FALSE(page->acceptNavigationRequest(CBottomHtmlView::LoadImagesUrl(),
                                               QWebEnginePage::NavigationTypeLinkClicked, true));
    shown = ReadAll(m_home.Context().FilePath("Data\\RssSkin\\tempRssList.xml"));
    EXPECT_NE(shown.find("<img src=\"" + Url("/p.png") + "\">"), std::string::npos) << shown;
    m_list->SetReadingFrame(nullptr);
}

TEST_F(ReaderWindowsTest, MarkingTheChannelReadEmptiesTheNewFilter) {
    const int index = AddChannel("新闻", "/news.xml");
    ASSERT_TRUE(Receive(index));
    m_tree->SelectIndex(index);
    m_list->ShowChannel(index);
    m_list->SetFilter(ItemFilter::kNew);
    EXPECT_EQ(m_list->Model()->rowCount(), 12);
    m_tree->RunFor(kCmdMarkChannelRead, index);
    EXPECT_EQ(m_list->Model()->rowCount(), 0);
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻"));
    m_list->SetFilter(ItemFilter::kRead);
    EXPECT_EQ(m_list->Model()->rowCount(), 12);
}

TEST_F(ReaderWindowsTest, ClearAndDeleteAskFirst) {
    const int index = AddChannel("新闻", "/news.xml");
    ASSERT_TRUE(Receive(index));
    m_boxes.Answer(true);
    m_tree->RunFor(kCmdClearChannel, index);
    EXPECT_EQ(m_boxes.Boxes().at(0).text, QStringLiteral("确定要清空该频道吗?"));
    EXPECT_EQ(m_tree->LabelOf(index), QStringLiteral("新闻"));
    m_list->ShowChannel(index);
    EXPECT_EQ(m_list->Model()->rowCount(), 0);

    m_boxes.Clear();
    m_boxes.Answer(false);
    m_tree->RunFor(kCmdDeleteChannel, index);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("确定要删除该频道吗?"));
    EXPECT_EQ(m_boxes.Boxes()[0].caption, QStringLiteral("确认"));
    EXPECT_TRUE(m_boxes.Boxes()[0].question);
    EXPECT_NE(m_tree->ItemOf(index), nullptr);
    m_boxes.Answer(true);
    m_tree->RunFor(kCmdDeleteChannel, index);
    EXPECT_EQ(m_tree->topLevelItemCount(), 0);
    EXPECT_EQ(ChannelFile().find("新闻"), std::string::npos);
}

TEST_F(ReaderWindowsTest, RenamingInPlaceWritesTheTitle) {
    const int index = AddChannel("新闻", "/news.xml");
    m_tree->ItemOf(index)->setText(0, QStringLiteral("要闻"));
    EXPECT_EQ(m_reader->Tree().Record(index).title, "要闻");
    EXPECT_NE(ChannelFile().find("title=\"要闻\""), std::string::npos);
    // An empty name is not taken.
    m_tree->ItemOf(index)->setText(0, QString());
    EXPECT_EQ(m_reader->Tree().Record(index).title, "要闻");
    EXPECT_EQ(m_tree->ItemOf(index)->text(0), QStringLiteral("要闻"));
}

TEST_F(ReaderWindowsTest, MovingOntoADirectoryAndBack) {
    int directory = -1;
    ASSERT_TRUE(m_reader->Tree().AddDirectory(-1, "技术", &directory));
    const int index = AddChannel("新闻", "/news.xml");
    const int other = AddChannel("大", "/big.xml");
    EXPECT_TRUE(m_tree->MoveInto(index, directory));
    EXPECT_EQ(m_tree->ItemOf(index)->parent(), m_tree->ItemOf(directory));
    EXPECT_TRUE(m_tree->ItemOf(directory)->isExpanded());
    EXPECT_EQ(m_reader->Tree().PathText(index), "技术 → 新闻");
    // Onto a channel: refused, nothing moves.
    EXPECT_FALSE(m_tree->MoveInto(other, index));
    EXPECT_EQ(m_tree->ItemOf(other)->parent(), nullptr);

    m_tree->RunFor(kCmdMoveToTop, index);
    EXPECT_EQ(m_tree->ItemOf(index)->parent(), nullptr);
    EXPECT_EQ(m_tree->indexOfTopLevelItem(m_tree->ItemOf(index)), 2);
    m_tree->RunFor(kCmdMoveUp, index);
    EXPECT_EQ(m_tree->indexOfTopLevelItem(m_tree->ItemOf(index)), 1);
    EXPECT_EQ(m_reader->Tree().Roots(), (std::vector<int>{directory, index, other}));
}

TEST_F(ReaderWindowsTest, TheChannelSheetChecksAndWrites) {
    const int index = AddChannel("新闻", "/news.xml");
    CChannelPropertySheet sheet(*m_reader, index);
    sheet.General()->UrlEdit()->clear();
    EXPECT_FALSE(sheet.Confirm());
    sheet.General()->UrlEdit()->setText(QString::fromStdString(Url("/news.xml")));
    sheet.Storage()->Rule()->SetCount(9);
    EXPECT_FALSE(sheet.Confirm());
    sheet.Storage()->Rule()->SetCount(300);
    sheet.Storage()->OwnRule()->setChecked(true);
    sheet.Storage()->Rule()->SetType(StorageRule::kDefault);
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts(), (std::vector<QString>{QStringLiteral("请输入RSS地址"),
                                                     QStringLiteral("不是合理的存储数量!"),
                                                     QStringLiteral("请选择一个设置")}));

    sheet.Storage()->Rule()->Choice(2)->setChecked(true);
    sheet.General()->Always()->setChecked(true);
    sheet.General()->TitleEdit()->setText(QStringLiteral("头条"));
    EXPECT_TRUE(sheet.Confirm());
    const ChannelRecord record = m_reader->Tree().Record(index);
    EXPECT_EQ(record.title, "头条");
    EXPECT_EQ(record.rssRank, 5);
    EXPECT_EQ(record.storageType, StorageRule::kKeepNewest);
    EXPECT_EQ(record.storageNum, 300);
    FeedSettings stored;
    ASSERT_TRUE(m_store.GetFeedSettings(Url("/news.xml"), stored));
    EXPECT_EQ(stored.rssRank, 5);
    EXPECT_EQ(stored.storageNum, 300);
}

TEST_F(ReaderWindowsTest, TheDirectoryConfigurationAppliesToEveryChannelBelow) {
    int directory = -1;
    ASSERT_TRUE(m_reader->Tree().AddDirectory(-1, "技术", &directory));
    const int a = AddChannel("新闻", "/news.xml", directory);
    const int b = AddChannel("大", "/big.xml", directory);
    CDirectoryPropertySheet sheet(*m_reader, directory);
    CPropertyPageDirectoryConfig* config = sheet.Config();
    config->Always()->setChecked(true);
    EXPECT_TRUE(config->ApplyGroup(CPropertyPageDirectoryConfig::kRank));
    EXPECT_EQ(config->Button(CPropertyPageDirectoryConfig::kRank)->text(),
              QStringLiteral("设置完毕!"));
    EXPECT_EQ(m_reader->Tree().Record(a).rssRank, 5);
    EXPECT_EQ(m_reader->Tree().Record(b).rssRank, 5);
    ASSERT_TRUE(WaitFor([&] {
        return config->Button(CPropertyPageDirectoryConfig::kRank)->text() ==
               QStringLiteral("设置");
    }));

    config->Rule()->SetCount(16000001);
    EXPECT_FALSE(config->ApplyGroup(CPropertyPageDirectoryConfig::kStorage));
    EXPECT_EQ(m_boxes.Texts().back(), QStringLiteral("不是合理的存储数量!"));
    config->ShowTip()->setChecked(true);
    EXPECT_TRUE(config->ApplyGroup(CPropertyPageDirectoryConfig::kShowTip));
    EXPECT_EQ(m_reader->Tree().Record(b).newItemShowTip, 1);
    EXPECT_EQ(m_reader->Tree().Record(b).rssRank, 5);

    sheet.General()->TitleEdit()->setText(QStringLiteral("科技"));
    EXPECT_TRUE(sheet.Confirm());
    EXPECT_EQ(m_reader->Tree().Record(directory).title, "科技");
}

TEST_F(ReaderWindowsTest, TheTimerFollowsTheReceiveSettings) {
    // The shipped settings receive every 30 minutes.
    m_reader->StartReceiving();
    EXPECT_EQ(m_reader->TimerInterval(), 30 * 60000);
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/autoreceivetime", "15"), 1);
    m_reader->ApplySettings();
    EXPECT_EQ(m_reader->TimerInterval(), 15 * 60000);
    // By weight: every ten minutes.
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/autoreceivetype", "0"), 1);
    m_reader->ApplySettings();
    EXPECT_EQ(m_reader->TimerInterval(), 600000);
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/autoreceive", "0"), 1);
    m_reader->ApplySettings();
    EXPECT_EQ(m_reader->TimerInterval(), 0);
    // A changed page size asks for the list again.
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("rss/paginationnum", "40"), 1);
    EXPECT_TRUE(m_reader->ApplySettings());
    EXPECT_FALSE(m_reader->ApplySettings());
}

TEST_F(ReaderWindowsTest, ExpandedDirectoriesAreRememberedAtExit) {
    int directory = -1;
    ASSERT_TRUE(m_reader->Tree().AddDirectory(-1, "技术", &directory));
    AddChannel("新闻", "/news.xml", directory);
    m_tree->ItemOf(directory)->setExpanded(false);
    m_tree->ItemOf(directory)->setExpanded(true);
    m_reader->Shutdown();
    EXPECT_NE(ChannelFile().find("expanded=\"1\""), std::string::npos);

    CRssReader again(m_home.Context(), m_store);
    ASSERT_TRUE(again.Build());
    CCommandTable commands;
    CRssChannelTreeCtrl tree(again, commands, m_dialogJobs);
    tree.Fill();
    EXPECT_TRUE(tree.ItemOf(directory)->isExpanded());
}

TEST_F(ReaderWindowsTest, ADirectoryListsTheItemsOfItsChannels) {
    int directory = -1;
    ASSERT_TRUE(m_reader->Tree().AddDirectory(-1, "技术", &directory));
    const int a = AddChannel("新闻", "/news.xml", directory);
    const int b = AddChannel("大", "/big.xml", directory);
    ASSERT_TRUE(Receive(a));
    ASSERT_TRUE(Receive(b));
    m_tree->SelectIndex(directory);
    m_list->ShowChannel(directory);
    EXPECT_EQ(m_list->Model()->rowCount(), 112);
    EXPECT_EQ(m_list->Caption()->text(), QStringLiteral("技术"));
    // Unpaged: no page box.
    EXPECT_FALSE(m_list->PageBox()->isVisibleTo(m_list.get()));
    EXPECT_FALSE(m_list->NextButton()->isVisibleTo(m_list.get()));
    const QModelIndex channel = m_list->Model()->index(0, CFeedItemModel::kChannel);
    EXPECT_FALSE(channel.data().toString().isEmpty());
}

TEST_F(ReaderWindowsTest, TheRulesDialogAddsTriesChangesAndRemovesRules) {
    const int news = AddChannel("新闻", "/news.xml");
    ASSERT_TRUE(Receive(news));
    CRssFavorites favorites(m_home.Context());
    ASSERT_TRUE(favorites.Build());
    ASSERT_TRUE(favorites.AddBox(-1, "待看", "", m_store));
    const std::string path = m_home.Context().FilePath("config\\feedrules.json");
    CFeedRulesDialog dialog(*m_reader, favorites, path);
    ASSERT_TRUE(dialog.Loaded());
    m_boxes.Clear();

    std::string engine;
    try {
        std::regex("第(1", std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error& e) {
        engine = e.what();
    }
    bool editorStayed = false;
    WhenOpen<CFeedRuleEditor>([&](CFeedRuleEditor& editor) {
        // A bad expression is refused with the engine's words; the editor stays open.
        editor.MatchBox()->setCurrentIndex(editor.MatchBox()->findData(int(RuleMatch::kRegex)));
        editor.PatternEdit()->setText(QStringLiteral("第(1"));
        editor.accept();
        editorStayed = editor.isVisible() && !std::filesystem::exists(path);
        // 测试 counts the stored items the rule as edited would hit: 第1, 第10, 第11.
        editor.PatternEdit()->setText(QStringLiteral("第1"));
        editor.TestButton()->click();
        WaitFor([&] { return editor.TestButton()->isEnabled(); }, 10000);
        EXPECT_EQ(editor.TestResult()->text(), QStringLiteral("已存的文章中有 3 篇符合这条规则"));
        editor.ChosenButton()->setChecked(true);
        editor.SelectChannel(news);
        editor.ActionBox()->setCurrentIndex(
            editor.ActionBox()->findData(int(RuleAction::kCopyToFavorites)));
        editor.accept();
    });
    dialog.AddRule();
    EXPECT_TRUE(editorStayed);
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], QString::fromStdString("正则表达式无效: " + engine));
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(2), QStringLiteral("复制到收藏 待看"));
    CFeedRules stored(path);
    std::string error;
    ASSERT_TRUE(stored.Load(error)) << error;
    ASSERT_EQ(stored.Rules().size(), 1u);
    EXPECT_EQ(stored.Rules()[0].scope, RuleScope::kChannel);
    EXPECT_EQ(stored.Rules()[0].scopePath, "新闻");
    EXPECT_EQ(stored.Rules()[0].box, "待看");

    // The list's 测试 tries the selected rule.
    dialog.SelectId(stored.Rules()[0].id);
    dialog.TestButton()->click();
    EXPECT_TRUE(WaitFor([&] { return dialog.TestButton()->isEnabled(); }, 10000));
    EXPECT_EQ(dialog.TestResult()->text(), QStringLiteral("已存的文章中有 3 篇符合这条规则"));

    WhenOpen<CFeedRuleEditor>([](CFeedRuleEditor& editor) {
        EXPECT_TRUE(editor.ChosenButton()->isChecked());
        editor.PatternEdit()->setText(QStringLiteral("第2"));
        editor.AllChannelsButton()->setChecked(true);
        editor.accept();
    });
    dialog.EditSelected();
    ASSERT_TRUE(stored.Load(error)) << error;
    ASSERT_EQ(stored.Rules().size(), 1u);
    EXPECT_EQ(stored.Rules()[0].pattern, "第2");
    EXPECT_EQ(stored.Rules()[0].scope, RuleScope::kAll);
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(0), QStringLiteral("所有频道"));

    m_boxes.Answer(true);
    dialog.RemoveSelected();
    EXPECT_EQ(dialog.List()->topLevelItemCount(), 0);
    ASSERT_TRUE(stored.Load(error)) << error;
    EXPECT_TRUE(stored.Rules().empty());
}

TEST_F(ReaderWindowsTest, TheTreesMenusRunTheTablesCommandsUnderTheirOwnTexts) {
    int directory = -1;
    ASSERT_TRUE(m_reader->Tree().AddDirectory(-1, "技术", &directory));
    const int channel = AddChannel("新闻", "/news.xml");
    CRssFavorites favorites(m_home.Context());
    CRssFavoriteTreeCtrl boxes(favorites, m_store, m_commands, m_dialogJobs);
    ASSERT_TRUE(boxes.Build());
    int box = -1;
    ASSERT_TRUE(favorites.AddBox(-1, "盒", "", m_store, &box));
    boxes.Fill();

    // Both trees share one table: every entry of their menus has its handler there.
    const auto texts = [&](QMenu* built) {
        const std::unique_ptr<QMenu> menu(built);
        QStringList shown;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            EXPECT_TRUE(m_commands.HasHandler(action->data().toInt())) << action->data().toInt();
            EXPECT_TRUE(action->isEnabled()) << action->data().toInt();
            shown << action->text() + (action->shortcut().isEmpty()
                                           ? QString()
                                           : QLatin1Char(' ') + action->shortcut().toString());
            if (menu->defaultAction() == action)
                shown.back() += QStringLiteral(" *");
        }
        return shown.join(QLatin1Char('|')).toStdString();
    };
    EXPECT_EQ(texts(m_tree->BuildContextMenu(channel, nullptr)),
              std::string("收取|标记当前频道为已读|清空文章|删除|重命名 F2|上移|到根目录|"
                          "内置浏览器|外部浏览器打开|当前频道|制作CHM电子书|属性 *"));
    EXPECT_EQ(texts(m_tree->BuildContextMenu(directory, nullptr)),
              std::string("收取|收取[该目录所有频道]|全部更新|添加订阅|新建目录|标记为已读|"
                          "清空文章|删除|重命名 F2|上移|到根目录|内置浏览器|外部浏览器打开|"
                          "导出该目录|制作CHM电子书|属性 *"));
    EXPECT_EQ(texts(m_tree->BuildContextMenu(-1, nullptr)),
              std::string("添加订阅|新建目录|全部更新|导入OPML频道(&I)...|所有频道"));
    EXPECT_EQ(texts(boxes.BuildContextMenu(box, nullptr)),
              std::string("添加收藏项|导出FEED|制作CHM电子书|内置浏览器|外部浏览器打开|上移|"
                          "到根目录|删除|属性"));
    EXPECT_EQ(texts(boxes.BuildContextMenu(-1, nullptr)), std::string("收藏节点|收藏夹|导入收藏"));

    // Each tree's 删除 stays its own although the other registered later.
    m_boxes.Answer(false);
    EXPECT_TRUE(m_tree->RunFor(kCmdDeleteChannel, channel));
    EXPECT_TRUE(boxes.RunFor(kCmdDeleteFavorite, box));
    ASSERT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, QStringLiteral("确定要删除该频道吗?"));
    EXPECT_EQ(m_boxes.Boxes()[1].text, QStringLiteral("确定要删除该收藏吗?"));
}

} // namespace

TEST(ChannelTooltip, AGoneChannelSaysSoOnceAfterEveryRestart) {
    ChannelRecord record{.xmlUrl = "http://a/feed", .gone = true};
    const QString gone = QString::fromStdString(CReasonText::Text(Reason::kFeedGoneForGood));
    EXPECT_EQ(CRssChannelTreeCtrl::ToolTipOf(record), QStringLiteral("http://a/feed\n") + gone);
    record.receiveError = CReasonText::Text(Reason::kFeedGoneForGood);
    EXPECT_EQ(CRssChannelTreeCtrl::ToolTipOf(record),
              QStringLiteral("http://a/feed\n收取失败: ") + gone);
}

TEST_F(ReaderWindowsTest, AFailedChannelSaysWhyInItsTooltipAndADialogWhenAskedByHand) {
    const int index = AddChannel("坏", "/gone.xml");
    m_tree->RunFor(kCmdReceiveChannel, index);
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.Errors().empty(); }, 20000));
    const auto error = m_boxes.Errors().front();
    EXPECT_EQ(error.id, 8001);
    EXPECT_EQ(error.summary, QStringLiteral("频道收取失败"));
    EXPECT_TRUE(error.description.endsWith(QStringLiteral("坏: HTTP 404 (页面不存在)")))
        << error.description.toStdString();
    EXPECT_EQ(m_tree->ItemOf(index)->toolTip(0),
              QString::fromStdString(Url("/gone.xml")) +
                  QStringLiteral("\n收取失败: HTTP 404 (页面不存在)"));

    // A walk over every channel was not asked for one by one: the tooltip says it, no dialog.
    m_boxes.Clear();
    m_reader->Scheduler().ReceiveAll();
    m_reader->Scheduler().Wait();
    QApplication::processEvents();
    EXPECT_TRUE(m_boxes.Errors().empty());
    EXPECT_EQ(m_reader->Tree().Record(index).image, kImageFailed);
    EXPECT_TRUE(
        m_tree->ItemOf(index)->toolTip(0).endsWith(QStringLiteral("HTTP 404 (页面不存在)")));
}
