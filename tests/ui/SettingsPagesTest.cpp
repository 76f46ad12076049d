#include "app/AppContext.h"
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
    EXPECT_EQ(CAppContext::Process().Settings().ReadAppValue(key, value), 1) << key;
    return value;
}

class SettingsPagesTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
};

// The reader sheet as the main window builds it.
struct ReaderSheet {
    explicit ReaderSheet(const CAppContext& context)
        : general(new CPropertyPageRssSetupGeneral(context)),
          storage(new CPropertyPageRssSetupStorage(context)),
          appearance(new CPropertyPageRssSetupAppearance(context)) {
        sheet.AddPage(general);
        sheet.AddPage(storage);
        sheet.AddPage(appearance);
        sheet.AddPage(new CPropertyPageRssSetupStatistics(ReaderStatistics{}));
    }
    CPropertySheet sheet{QStringLiteral("阅读器设置")};
    CPropertyPageRssSetupGeneral* general;
    CPropertyPageRssSetupStorage* storage;
    CPropertyPageRssSetupAppearance* appearance;
};

// The page opens on the saved values; a value out of range keeps the sheet open on its page and
// writes nothing, the bounds themselves are taken.
TEST_F(SettingsPagesTest, ReceivePageChecksMinutesAndPageSizeBeforeWriting) {
    const std::string before = Value("rss/paginationnum");
    ReaderSheet reader(m_home.Context());
    EXPECT_EQ(reader.general->Minutes()->currentText(),
              QString::fromStdString(Value("rss/autoreceivetime")));
    EXPECT_EQ(reader.general->PageSize()->value(), std::stoi(before));
    struct Case {
        const char* minutes;
        int pageSize;
        QString message;
    };
    const Case refused[] = {
        {"4", 100, QStringLiteral("分钟数需在 5~1440 之间")},
        {"1441", 100, QStringLiteral("分钟数需在 5~1440 之间")},
        {"30", 29, QStringLiteral("分页数需在 30~1000 之间")},
        {"30", 1001, QStringLiteral("分页数需在 30~1000 之间")},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.minutes + std::string(" ") + std::to_string(c.pageSize));
        m_boxes.Clear();
        reader.general->Minutes()->setEditText(QString::fromLatin1(c.minutes));
        reader.general->PageSize()->setValue(c.pageSize);
        EXPECT_FALSE(reader.sheet.Confirm());
        EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{c.message});
        EXPECT_EQ(reader.sheet.Tabs()->currentWidget(), reader.general);
        EXPECT_EQ(Value("rss/paginationnum"), before);
    }
    m_boxes.Clear();
    reader.general->Minutes()->setEditText(QStringLiteral("1440"));
    reader.general->PageSize()->setValue(30);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_EQ(Value("rss/autoreceivetime"), "1440");
    EXPECT_EQ(Value("rss/paginationnum"), "30");

    // The fetches per site sit with the receive settings, within 1 to 6.
    EXPECT_EQ(reader.general->HostFetches()->value(), std::stoi(Value("rss/hostfetches")));
    reader.general->HostFetches()->setValue(9);
    EXPECT_EQ(reader.general->HostFetches()->value(), 6);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/hostfetches"), "6");
    EXPECT_EQ(ReaderSheet(m_home.Context()).general->HostFetches()->value(), 6);
}

TEST_F(SettingsPagesTest, AReceiveSettingIsWrittenOnlyWhenEveryPageIsGood) {
    ReaderSheet reader(m_home.Context());
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
    ReaderSheet reader(m_home.Context());
    for (const char* bad : {"9", "16000001", "99999999999"}) {
        m_boxes.Clear();
        reader.storage->Rule()->CountBox()->setEditText(QString::fromLatin1(bad));
        EXPECT_FALSE(reader.sheet.Confirm()) << bad;
        EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("不是合理的存储数量!")) << bad;
    }
    m_boxes.Clear();
    reader.storage->Rule()->SetCount(10);
    reader.storage->Rule()->SetType(StorageRule::kDefault);
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
    ReaderSheet reader(m_home.Context());
    reader.appearance->UnreadColor()->SetColor(QColor(0x12, 0x34, 0x56));
    reader.appearance->BoldFont()->setChecked(false);
    reader.appearance->BigFont()->setChecked(true);
    EXPECT_FALSE(reader.appearance->NoRemoteImages()->isChecked());
    reader.appearance->NoRemoteImages()->setChecked(true);
    EXPECT_TRUE(reader.sheet.Confirm());
    EXPECT_EQ(Value("rss/noremoteimages"), "1");
    // 0x00BBGGRR in decimal.
    EXPECT_EQ(Value("rss/titleunreadcolor"), std::to_string(0x563412));
    EXPECT_EQ(Value("rss/usebigtitlefont"), "1");
    EXPECT_EQ(Value("rss/useboldtitlefont"), "0");
}

// The proxy needs its server; nothing of the sheet is written before it has one. Then every
// value is stored as typed, the password too.
TEST_F(SettingsPagesTest, TheSystemSheetRefusesAProxyWithoutServerThenStoresItAsTyped) {
    CPropertySheet sheet(QStringLiteral("系统设置"));
    auto* general = new CPropertyPageSystemGeneral;
    auto* proxy = new CPropertyPageProxy;
    sheet.AddPage(general);
    sheet.AddPage(proxy);
    general->MinimizeToTray()->setChecked(true);
    general->UpdateCheck()->setChecked(false);
    proxy->Use()->setChecked(true);
    proxy->Server()->clear();
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(m_boxes.Texts().at(0), QStringLiteral("请输入代理服务器地址!"));
    EXPECT_EQ(sheet.Tabs()->currentWidget(), proxy);
    EXPECT_EQ(Value("rss/enableminimizetonotifyarea"), "0");

    proxy->Server()->setText(QStringLiteral("proxy.example"));
    proxy->Port()->setText(QStringLiteral("3128"));
    proxy->UserName()->setText(QStringLiteral("用户"));
    proxy->Password()->setText(QStringLiteral("p&<'\" 密码"));
    EXPECT_TRUE(sheet.Confirm());
    ProxySettings saved;
    ASSERT_EQ(m_home.Context().Settings().ReadProxySettings(saved), 1);
    EXPECT_EQ(saved.use, 1);
    EXPECT_EQ(saved.server, "proxy.example");
    EXPECT_EQ(saved.port, "3128");
    EXPECT_EQ(saved.userName, "用户");
    EXPECT_EQ(saved.password, "p&<'\" 密码");
    EXPECT_EQ(Value("rss/enableminimizetonotifyarea"), "1");
    EXPECT_EQ(Value("rss/enableautoupdate"), "0");
}

TEST_F(SettingsPagesTest, DebugPageKeepsTheFolderBeforeTheFileName) {
    CPropertySheet sheet(QStringLiteral("BLOG设置"));
    auto* debug = new CPropertyPageDebug;
    sheet.AddPage(debug);
    debug->Use()->setChecked(true);
    debug->SetFolder(QStringLiteral("/var/tmp/调试"));
    EXPECT_EQ(debug->File()->text(), QStringLiteral("/var/tmp/调试/quill_debug.html"));
    EXPECT_TRUE(sheet.Confirm());
    DebugSettings saved;
    ASSERT_EQ(m_home.Context().Settings().ReadDebugSettings(saved), 1);
    EXPECT_EQ(saved.use, 1);
    EXPECT_EQ(saved.out, "/var/tmp/调试");
}

TEST_F(SettingsPagesTest, ABrokenSettingsFileShowsTheCatalogueError) {
    WriteAll(m_home.File("config/appConfig.xml"), "<app><rss>");
    CPropertyPageRssSetupGeneral page(m_home.Context());
    ASSERT_FALSE(m_boxes.Errors().empty());
    EXPECT_EQ(m_boxes.Errors()[0].id, 7000);
}

} // namespace
