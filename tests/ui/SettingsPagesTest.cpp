#include "app/AppSettings.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/PropertyPageDebug.h"
#include "ui/app/PropertyPageProxy.h"
#include "ui/app/PropertyPageSystemGeneral.h"
#include "ui/common/PropertySheet.h"
#include "ui/reader/PropertyPageRssSetupAppearance.h"
#include "ui/reader/PropertyPageRssSetupGeneral.h"
#include "ui/reader/PropertyPageRssSetupStatistics.h"
#include "ui/reader/PropertyPageRssSetupStorage.h"
#include "ui/reader/StorageRuleBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

std::string Value(const std::string& key) {
    std::string value;
    EXPECT_EQ(CAppSettings::ReadAppValue(key, value), 1) << key;
    return value;
}

class SettingsPagesTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    CTempHome m_home;
    CRecordingMessageBoxes m_boxes;
};

// The reader sheet as the main window builds it.
struct ReaderSheet {
    CPropertySheet sheet{QStringLiteral("阅读器设置")};
    CPropertyPageRssSetupGeneral* general = new CPropertyPageRssSetupGeneral;
    CPropertyPageRssSetupStorage* storage = new CPropertyPageRssSetupStorage;
    CPropertyPageRssSetupAppearance* appearance = new CPropertyPageRssSetupAppearance;
    ReaderSheet() {
        sheet.AddPage(general);
        sheet.AddPage(storage);
        sheet.AddPage(appearance);
        sheet.AddPage(new CPropertyPageRssSetupStatistics(ReaderStatistics{}));
    }
};

TEST_F(SettingsPagesTest, ReceivePageShowsTheSavedValues) {
    ReaderSheet reader;
    EXPECT_EQ(reader.general->Minutes()->currentText(),
              QString::fromStdString(Value("rss/autoreceivetime")));
    EXPECT_EQ(reader.general->PageSize()->value(), std::stoi(Value("rss/paginationnum")));
    EXPECT_EQ(reader.general->StartupReceive()->text(), QStringLiteral("启动时更新频道"));
    EXPECT_EQ(reader.general->ByRank()->text(), QStringLiteral("根据RssRank自动更新"));
    EXPECT_EQ(reader.general->MarkReadOnSwitch()->text(),
              QStringLiteral("切换频道时标记上一频道为已读(推荐)"));
    EXPECT_EQ(reader.general->RememberUnread()->text(),
              QStringLiteral("退出时记住频道未读文章数字"));
    EXPECT_EQ(reader.general->ReceiveOnClick()->text(), QStringLiteral("点击频道时立即更新"));
}

TEST_F(SettingsPagesTest, MinutesOutsideTheRangeKeepTheSheetOpenAndWriteNothing) {
    const std::string before = Value("rss/paginationnum");
    ReaderSheet reader;
    reader.general->Minutes()->setEditText(QStringLiteral("4"));
    reader.general->PageSize()->setValue(100);
    EXPECT_FALSE(reader.sheet.Confirm());
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], QStringLiteral("分钟数需在 5~1440 之间"));
    EXPECT_EQ(reader.sheet.Tabs()->currentWidget(), reader.general);
    EXPECT_EQ(Value("rss/paginationnum"), before);

    m_boxes.Clear();
    reader.general->Minutes()->setEditText(QStringLiteral("1441"));
    EXPECT_FALSE(reader.sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("分钟数需在 5~1440 之间"));

    m_boxes.Clear();
    reader.general->Minutes()->setEditText(QStringLiteral("1440"));
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_EQ(Value("rss/autoreceivetime"), "1440");
    EXPECT_EQ(Value("rss/paginationnum"), "100");
}

TEST_F(SettingsPagesTest, PageSizeOutsideTheRangeIsRefused) {
    ReaderSheet reader;
    reader.general->Minutes()->setEditText(QStringLiteral("30"));
    reader.general->PageSize()->setValue(29);
    EXPECT_FALSE(reader.sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("分页数需在 30~1000 之间"));
    m_boxes.Clear();
    reader.general->PageSize()->setValue(1001);
    EXPECT_FALSE(reader.sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("分页数需在 30~1000 之间"));
    m_boxes.Clear();
    reader.general->PageSize()->setValue(30);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/paginationnum"), "30");
}

TEST_F(SettingsPagesTest, AReceiveSettingIsWrittenOnlyWhenEveryPageIsGood) {
    ReaderSheet reader;
    reader.general->AutoReceive()->setChecked(true);
    reader.general->EveryMinutes()->setChecked(true);
    reader.general->Minutes()->setEditText(QStringLiteral("15"));
    reader.storage->Rule()->SetCount(9);
    EXPECT_FALSE(reader.sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("不是合理的存储数量!"));
    // The storage page comes to the front; the good receive page wrote nothing yet.
    EXPECT_EQ(reader.sheet.Tabs()->currentWidget(), reader.storage);
    EXPECT_EQ(Value("rss/autoreceivetype"), "1");
    EXPECT_NE(Value("rss/autoreceivetime"), "15");

    m_boxes.Clear();
    reader.storage->Rule()->SetCount(500);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/autoreceivetime"), "15");
    EXPECT_EQ(Value("rss/autoreceive"), "1");
    EXPECT_EQ(Value("rss/storagenum"), "500");
}

TEST_F(SettingsPagesTest, StorageCountsAndChoiceAreChecked) {
    ReaderSheet reader;
    for (const char* bad : {"9", "16000001", "99999999999"}) {
        m_boxes.Clear();
        reader.storage->Rule()->CountBox()->setEditText(QString::fromLatin1(bad));
        EXPECT_FALSE(reader.sheet.Confirm()) << bad;
        EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("不是合理的存储数量!")) << bad;
    }
    m_boxes.Clear();
    reader.storage->Rule()->SetCount(10);
    reader.storage->Rule()->SetType(0);
    EXPECT_FALSE(reader.sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("请选择一个设置"));

    m_boxes.Clear();
    reader.storage->Rule()->SetCount(16000000);
    reader.storage->Rule()->Choice(2)->setChecked(true);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/storagetype"), "2");
    EXPECT_EQ(Value("rss/storagenum"), "16000000");
}

TEST_F(SettingsPagesTest, AppearanceIsWrittenAsWindowsColours) {
    ReaderSheet reader;
    reader.appearance->UnreadColor()->SetColor(QColor(0x12, 0x34, 0x56));
    reader.appearance->BoldFont()->setChecked(false);
    reader.appearance->BigFont()->setChecked(true);
    EXPECT_EQ(reader.appearance->NoRemoteImages()->text(), QStringLiteral("不自动加载远程图片"));
    EXPECT_FALSE(reader.appearance->NoRemoteImages()->isChecked());
    reader.appearance->NoRemoteImages()->setChecked(true);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/noremoteimages"), "1");
    // 0x00BBGGRR in decimal.
    EXPECT_EQ(Value("rss/titleunreadcolor"), std::to_string(0x563412));
    EXPECT_EQ(Value("rss/usebigtitlefont"), "1");
    EXPECT_EQ(Value("rss/useboldtitlefont"), "0");
}

TEST_F(SettingsPagesTest, ProxyOnWithoutServerIsRefused) {
    CPropertySheet sheet(QStringLiteral("系统设置"));
    auto* general = new CPropertyPageSystemGeneral;
    auto* proxy = new CPropertyPageProxy;
    sheet.AddPage(general);
    sheet.AddPage(proxy);
    EXPECT_EQ(proxy->Use()->text(), QStringLiteral("使用代理服务器"));
    EXPECT_EQ(proxy->LocalUse()->text(), QStringLiteral("对于本地地址使用代理服务器(不推荐)"));
    EXPECT_EQ(general->MinimizeToTray()->text(), QStringLiteral("最小化到系统托盘"));
    EXPECT_EQ(general->UpdateCheck()->text(), QStringLiteral("启动时检查更新*"));

    general->MinimizeToTray()->setChecked(true);
    proxy->Use()->setChecked(true);
    proxy->Server()->clear();
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("请输入代理服务器地址!"));
    EXPECT_EQ(sheet.Tabs()->currentWidget(), proxy);
    EXPECT_EQ(Value("rss/enableminimizetonotifyarea"), "0");
}

TEST_F(SettingsPagesTest, ProxyPasswordIsStoredAsTyped) {
    CPropertySheet sheet(QStringLiteral("系统设置"));
    auto* proxy = new CPropertyPageProxy;
    sheet.AddPage(new CPropertyPageSystemGeneral);
    sheet.AddPage(proxy);
    proxy->Use()->setChecked(true);
    proxy->Server()->setText(QStringLiteral("proxy.example"));
    proxy->Port()->setText(QStringLiteral("3128"));
    proxy->UserName()->setText(QStringLiteral("用户"));
    proxy->Password()->setText(QStringLiteral("p&<'\" 密码"));
    EXPECT_TRUE(sheet.Confirm());
    ProxySettings saved;
    ASSERT_EQ(CAppSettings::ReadProxySettings(saved), 1);
    EXPECT_EQ(saved.use, 1);
    EXPECT_EQ(saved.server, "proxy.example");
    EXPECT_EQ(saved.port, "3128");
    EXPECT_EQ(saved.userName, "用户");
    EXPECT_EQ(saved.password, "p&<'\" 密码");
}

TEST_F(SettingsPagesTest, MinimizeToTrayIsWritten) {
    CPropertySheet sheet(QStringLiteral("系统设置"));
    auto* general = new CPropertyPageSystemGeneral;
    sheet.AddPage(general);
    sheet.AddPage(new CPropertyPageProxy);
    general->MinimizeToTray()->setChecked(true);
    general->UpdateCheck()->setChecked(false);
    EXPECT_TRUE(sheet.Confirm());
    EXPECT_EQ(Value("rss/enableminimizetonotifyarea"), "1");
    EXPECT_EQ(Value("rss/enableautoupdate"), "0");
}

TEST_F(SettingsPagesTest, DebugPageKeepsTheFolderBeforeTheFileName) {
    CPropertySheet sheet(QStringLiteral("BLOG设置"));
    auto* debug = new CPropertyPageDebug;
    sheet.AddPage(debug);
    EXPECT_EQ(debug->Use()->text(), QStringLiteral("开启调试模式"));
    debug->Use()->setChecked(true);
    debug->SetFolder(QStringLiteral("/var/tmp/调试"));
    EXPECT_EQ(debug->File()->text(), QStringLiteral("/var/tmp/调试/quill_debug.html"));
    EXPECT_TRUE(sheet.Confirm());
    DebugSettings saved;
    ASSERT_EQ(CAppSettings::ReadDebugSettings(saved), 1);
    EXPECT_EQ(saved.use, 1);
    EXPECT_EQ(saved.out, "/var/tmp/调试");
}

TEST_F(SettingsPagesTest, ABrokenSettingsFileShowsTheCatalogueError) {
    WriteAll(m_home.File("config/appConfig.xml"), "<app><rss>");
    CPropertyPageRssSetupGeneral page;
    ASSERT_FALSE(m_boxes.Errors().empty());
    EXPECT_EQ(m_boxes.Errors()[0].id, 7000);
}

} // namespace
