#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "app/ProxySetup.h"
#include "platform/xml/XmlDocument.h"
#include "support/TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void RemoveKey(const std::string& path) {
        CXmlDocument doc;
        ASSERT_TRUE(doc.LoadFile(m_home.File("config/appConfig.xml")));
        CXmlNode node = doc.SelectNode(path);
        ASSERT_FALSE(node.IsNull()) << path;
        node.Remove();
        ASSERT_TRUE(doc.SaveFile(m_home.File("config/appConfig.xml")));
    }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
};

} // namespace

TEST_F(SettingsTest, ShippedFileHoldsEveryGroup) {
    for (const char* group :
         {"proxy", "debug", "wndpos", "receive", "storage", "appearance", "startup"}) {
        std::vector<std::string> keys, values;
        ASSERT_TRUE(CAppSettings::GroupKeys(group, keys));
        ASSERT_EQ(m_home.Context().Settings().ReadGroup(group, values), 1) << group;
        EXPECT_EQ(values.size(), keys.size());
    }
    for (const char* key :
         {"viewframemode", "splitterdirection", "outbarmode", "rss/articlestyle"}) {
        std::string value;
        EXPECT_EQ(m_home.Context().Settings().ReadAppValue(key, value), 1) << key;
    }
    ReceiveSettings receive;
    ASSERT_EQ(m_home.Context().Settings().ReadReceiveSettings(receive), 1);
    EXPECT_EQ(receive.paginationNum, 50);
    EXPECT_EQ(receive.autoReceiveTime, 30);
    StorageSettings storage;
    ASSERT_EQ(m_home.Context().Settings().ReadStorageSettings(storage), 1);
    EXPECT_EQ(storage.storageType, 1);
    EXPECT_EQ(storage.storageNum, 200);
    std::string style;
    m_home.Context().Settings().ReadAppValue("rss/articlestyle", style);
    EXPECT_EQ(style, "默认");
    EXPECT_TRUE(m_reporter.errors.empty());
}

TEST_F(SettingsTest, GroupsRoundTripThroughTheFile) {
    ProxySettings proxy{1, 0, "proxy.example.com", "3128", "用户", "p&ss<w>'\"d 中"};
    ASSERT_EQ(m_home.Context().Settings().WriteProxySettings(proxy), 1);
    ProxySettings back;
    ASSERT_EQ(m_home.Context().Settings().ReadProxySettings(back), 1);
    EXPECT_EQ(back.server, "proxy.example.com");
    EXPECT_EQ(back.userName, "用户");
    EXPECT_EQ(back.password, proxy.password) << "the proxy password is kept as typed";

    WindowPlacement placement{10, 20, 810, 620, 250, 300};
    ASSERT_EQ(m_home.Context().Settings().WriteWindowPlacement(placement), 1);
    WindowPlacement placed;
    ASSERT_EQ(m_home.Context().Settings().ReadWindowPlacement(placed), 1);
    EXPECT_EQ(placed.right, 810);
    EXPECT_EQ(placed.topFrameHeight, 300);

    AppearanceSettings look{255, 65280, 16711680, 1, 0};
    ASSERT_EQ(m_home.Context().Settings().WriteAppearanceSettings(look), 1);
    AppearanceSettings lookBack;
    ASSERT_EQ(m_home.Context().Settings().ReadAppearanceSettings(lookBack), 1);
    EXPECT_EQ(lookBack.dateAndAuthorColor, 16711680);

    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("splitterdirection", "3"), 1);
    std::string direction;
    ASSERT_EQ(m_home.Context().Settings().ReadAppValue("splitterdirection", direction), 1);
    EXPECT_EQ(direction, "3");
    EXPECT_TRUE(m_reporter.errors.empty());
}

TEST_F(SettingsTest, MissingKeyFailsItsGroupOnly) {
    RemoveKey("/app/wndpos/topframeheight");
    WindowPlacement placement{-1, -1, -1, -1, -1, -1};
    EXPECT_EQ(m_home.Context().Settings().ReadWindowPlacement(placement), 0);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrSettingsValue});
    // Keys read before the missing one keep their new values.
    EXPECT_EQ(placement.left, 0);
    EXPECT_EQ(placement.leftFrameWidth, 260);
    EXPECT_EQ(placement.topFrameHeight, -1);

    ReceiveSettings receive;
    EXPECT_EQ(m_home.Context().Settings().ReadReceiveSettings(receive), 1);
    // Writing the group fails too, and the key is not created.
    EXPECT_EQ(m_home.Context().Settings().WriteWindowPlacement(WindowPlacement{}), 0);
    EXPECT_EQ(ReadAll(m_home.File("config/appConfig.xml")).find("topframeheight"),
              std::string::npos);
}

TEST_F(SettingsTest, BrokenOrMissingFileFailsEveryRead) {
    WriteAll(m_home.File("config/appConfig.xml"), "<app><proxy><use>1</use></proxy>");
    ProxySettings proxy;
    EXPECT_EQ(m_home.Context().Settings().ReadProxySettings(proxy), 0);
    StartupOptions startup;
    EXPECT_EQ(m_home.Context().Settings().ReadStartupOptions(startup), 0);
    EXPECT_EQ(startup.enableAutoUpdate, 1) << "a failed read leaves the caller's values";
    RemoveTree(m_home.File("config/appConfig.xml"));
    std::string value;
    EXPECT_EQ(m_home.Context().Settings().ReadAppValue("outbarmode", value), 0);
    EXPECT_EQ(m_home.Context().Settings().WriteAppValue("outbarmode", "1"), 0);
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrSettingsLoad, kErrSettingsLoad,
                                                   kErrSettingsLoad, kErrSettingsLoad}));
}

TEST_F(SettingsTest, AContextTellsItsOwnReporterAndUnreadableProxySettingsGiveTheFallback) {
    WriteAll(m_home.File("config/appConfig.xml"), "<app><proxy>");
    RemoveTree(m_home.File("config/userConfig.xml"));
    CRecordingReporter own;
    const CAppContext context = m_home.Context().WithReporter(own);
    EXPECT_EQ(&context.Reporter(), &own);
    EXPECT_EQ(CProxySetup::Read(context, ProxyFallback::kDirect).mode, HttpProxy::Mode::kDirect);
    EXPECT_EQ(CProxySetup::Read(context, ProxyFallback::kEnvironment).mode,
              HttpProxy::Mode::kSystem);
    std::vector<AccountRecord> accounts;
    EXPECT_EQ(context.Accounts().ListAccounts(accounts), 0);
    EXPECT_EQ(own.errors,
              (std::vector<int>{kErrSettingsLoad, kErrSettingsLoad, kErrAccountFileLoad}));
    EXPECT_TRUE(m_reporter.errors.empty()) << "the thread's reporter heard nothing";
    // Without one of its own, a context tells the thread's.
    std::string value;
    EXPECT_EQ(m_home.Context().Settings().ReadAppValue("outbarmode", value), 0);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrSettingsLoad});
}

TEST_F(SettingsTest, KeysOutsideTheFileCannotBeAddressed) {
    std::string value;
    EXPECT_EQ(m_home.Context().Settings().ReadAppValue("nosuchkey", value), 0);
    EXPECT_EQ(m_home.Context().Settings().ReadAppValue("../app", value), 0);
    EXPECT_EQ(m_home.Context().Settings().WriteAppValue("rss/*", "1"), 0);
    EXPECT_EQ(m_reporter.errors.size(), 3u);
}

TEST_F(SettingsTest, InterruptedWritesLeaveAWholeFile) {
    for (int round = 0; round < 12; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CRecordingReporter quiet;
            CScopedReporter scope(quiet);
            for (int i = 0;; ++i)
                m_home.Context().Settings().WriteAppValue("rss/paginationnum",
                                                          i % 2 ? "100" : "200");
        }
        ::usleep(2000 + round * 1500);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ReceiveSettings receive;
        ASSERT_EQ(m_home.Context().Settings().ReadReceiveSettings(receive), 1) << "round " << round;
        EXPECT_TRUE(receive.paginationNum == 50 || receive.paginationNum == 100 ||
                    receive.paginationNum == 200);
    }
}

TEST_F(SettingsTest, EachPageIsCheckedFieldByFieldInItsOrder) {
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(4, 50), "分钟数需在 5~1440 之间");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(1441, 50), "分钟数需在 5~1440 之间");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(5, 50), "");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(1440, 50), "");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(30, 29), "分页数需在 30~1000 之间");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(30, 1001), "分页数需在 30~1000 之间");
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(30, 1000), "");
    // Fields are checked in page order: the minutes come first.
    EXPECT_EQ(CSettingsChecks::CheckReceivePage(4, 29), "分钟数需在 5~1440 之间");

    EXPECT_EQ(CSettingsChecks::CheckStoragePage(2, 9), "不是合理的存储数量!");
    EXPECT_EQ(CSettingsChecks::CheckStoragePage(2, 16000001), "不是合理的存储数量!");
    EXPECT_EQ(CSettingsChecks::CheckStoragePage(2, 10), "");
    EXPECT_EQ(CSettingsChecks::CheckStoragePage(3, 16000000), "");
    EXPECT_EQ(CSettingsChecks::CheckStoragePage(0, 200), "请选择一个设置");
    EXPECT_EQ(CSettingsChecks::CheckStoragePage(0, 9), "不是合理的存储数量!");

    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "", "8080"), "请输入代理服务器地址!");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(false, "", "8080"), "");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "p", "65535"), "");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "p", "0"), "");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "p", "65536"),
              "请输入有效的端口号!(0 - 65535)");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "p", "-1"), "请输入有效的端口号!(0 - 65535)");
    EXPECT_EQ(CSettingsChecks::CheckProxyPage(true, "p", ""), "请输入有效的端口号!(0 - 65535)");
    EXPECT_EQ(CSettingsChecks::DebugFolderFromText("/home/u/logs/quill_debug.html"),
              "/home/u/logs");
    EXPECT_EQ(CSettingsChecks::DebugFolderFromText("/a/quill_debug.html/b/quill_debug.html"), "/a");
    EXPECT_EQ(CSettingsChecks::DebugFolderFromText("/home/u/logs"), "/home/u/logs");
    // The trace file has a folder even when none is set.
    EXPECT_EQ(m_home.Context().Settings().DebugFilePath(""),
              m_home.Context().FilePath("Temp") + "/quill_debug.html");
    EXPECT_EQ(m_home.Context().Settings().DebugFilePath("/var/log/q"),
              "/var/log/q/quill_debug.html");
}

TEST_F(SettingsTest, SingleValueChecksUseTheOtherValuesOfTheirPage) {
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/paginationnum", "29"),
              "分页数需在 30~1000 之间");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/paginationnum", "abc"), "取值必须是整数");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/storagetype", "0"), "请选择一个设置");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/autoreceive", "2"), "取值只能是 0 或 1");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/articlestyle", "任何"), "");
    // The video hosts are plain host names: an address or a pattern is refused and not written.
    std::string hosts;
    ASSERT_EQ(m_home.Context().Settings().ReadAppValue("rss/videohosts", hosts), 1);
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/videohosts", hosts), "");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/videohosts", "https://www.youtube.com/"),
              "不是主机名: https://www.youtube.com/");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/videohosts", "a.cn *.evil"),
              "不是主机名: *.evil");
    EXPECT_EQ(m_home.Context().Settings().CheckValue("rss/videohosts", ""), "");
    // The shipped proxy has no server: switching it on is refused until one is set.
    EXPECT_EQ(m_home.Context().Settings().CheckValue("proxy/use", "1"), "请输入代理服务器地址!");
    ASSERT_EQ(m_home.Context().Settings().WriteAppValue("proxy/server", "127.0.0.1"), 1);
    EXPECT_EQ(m_home.Context().Settings().CheckValue("proxy/use", "1"), "");
}

TEST_F(SettingsTest, EveryKeyKeepsItsTypeAndRange) {
    const std::string before = ReadAll(m_home.File("config/appConfig.xml"));
    const std::pair<const char*, const char*> refused[] = {
        {"wndpos/left", "abc"},
        {"wndpos/top", "12px"},
        {"wndpos/leftframewidth", "-5"},
        {"wndpos/right", "99999999999"},
        {"splitterdirection", "5"},
        {"outbarmode", "-1"},
        {"rss/autoreceivetime", "4"},
        {"rss/storagenum", "16000001"},
        {"rss/titlereadcolor", "-1"},
        {"rss/autoreceivetype", "2"},
        {"debug/use", "yes"},
        {"proxy/username", "a\x01"},
        {"rss/articlestyle", "k\xE9"
                             "ep"},
        {"debug/out", "/tmp/\x1B"},
    };
    for (const auto& [key, value] : refused) {
        EXPECT_NE(m_home.Context().Settings().CheckValue(key, value), "") << key << "=" << value;
        // The write itself refuses it too, so the windows cannot store it either.
        CRecordingReporter recorder;
        CScopedReporter scope(recorder);
        EXPECT_EQ(m_home.Context().Settings().WriteAppValue(key, value), 0) << key;
        EXPECT_EQ(recorder.messages.size(), 1u) << key;
    }
    EXPECT_EQ(m_home.Context().Settings().CheckValue("proxy/username", "a\x01"),
              "您输入了无效的字符!");
    EXPECT_EQ(ReadAll(m_home.File("config/appConfig.xml")), before) << "nothing was written";

    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, const char*>>{
             {"wndpos/left", "-8"},
             {"wndpos/leftframewidth", "240"},
             {"splitterdirection", "4"},
             {"rss/titlereadcolor", "16777215"},
             {"proxy/username", "用户\t名"}}) {
        EXPECT_EQ(m_home.Context().Settings().CheckValue(key, value), "") << key;
        EXPECT_EQ(m_home.Context().Settings().WriteAppValue(key, value), 1) << key;
    }
    std::string name;
    ASSERT_EQ(m_home.Context().Settings().ReadAppValue("proxy/username", name), 1);
    EXPECT_EQ(name, "用户\t名");
}
