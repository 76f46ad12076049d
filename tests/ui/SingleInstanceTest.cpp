#include "ui/app/SingleInstance.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "platform/fs/FileUtil.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/QuillApp.h"
#include "ui/common/CommandIds.h"

#include <QLocalServer>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        m_name = CSingleInstance::ServerNameFor(m_home.Path());
    }
    CTempHome m_home{{.processDir = true}};
    QString m_name;
};

struct Received {
    int message = 0;
    qint64 wParam = -1;
    qint64 lParam = -1;
    bool fileThere = false;
    int count = 0;
};

// The name belongs to the program directory: another directory's instance is another program.
TEST_F(SingleInstanceTest, NobodyAnswersUntilAnInstanceOfTheSameDirectoryListens) {
    EXPECT_EQ(CSingleInstance::ServerNameFor(m_home.Path()), m_name);
    EXPECT_NE(CSingleInstance::ServerNameFor(m_home.Path() + "-other"), m_name);
    CSingleInstance second(m_name);
    EXPECT_FALSE(second.IsRunning(200));
    EXPECT_EQ(CQuillApp::HandOffToRunning(second, "http://example.org/feed"), -1);
    EXPECT_FALSE(CFileUtil::Exists(m_home.Context().FilePath(CQuillApp::kHandOffFile)));

    CSingleInstance first(m_name);
    ASSERT_TRUE(first.Listen());
    EXPECT_TRUE(second.IsRunning(1000));
}

TEST_F(SingleInstanceTest, ASecondStartWithoutAnAddressSaysTheProgramRuns) {
    CSingleInstance first(m_name);
    ASSERT_TRUE(first.Listen());
    Received got;
    QObject::connect(&first, &CSingleInstance::MessageReceived, [&](int message, qint64, qint64) {
        got.message = message;
        ++got.count;
    });
    CRecordingMessageBoxes boxes;
    CSingleInstance second(m_name);
    EXPECT_EQ(CQuillApp::HandOffToRunning(second, ""), 0);
    EXPECT_EQ(boxes.Texts(), std::vector<QString>{QStringLiteral("程序已经启动运行!")});
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(got.count, 0);
}

TEST_F(SingleInstanceTest, AnAddressIsWrittenFirstThenTheRunningInstanceIsTold) {
    CSingleInstance first(m_name);
    ASSERT_TRUE(first.Listen());
    Received got;
    QObject::connect(
        &first, &CSingleInstance::MessageReceived, [&](int message, qint64 wParam, qint64 lParam) {
            got = {message, wParam, lParam,
                   CFileUtil::Exists(m_home.Context().FilePath(CQuillApp::kHandOffFile)),
                   got.count + 1};
        });
    CSingleInstance second(m_name);
    const std::string address = "quill://rssurl=http://127.0.0.1/Feed.xml&rsstitle=新闻";
    EXPECT_EQ(CQuillApp::HandOffToRunning(second, address), 0);
    ASSERT_TRUE(WaitFor([&] { return got.count == 1; }));
    EXPECT_EQ(got.message, WM_ADDRSS_NOTIFY);
    EXPECT_EQ(got.wParam, 0);
    EXPECT_EQ(got.lParam, 0);
    EXPECT_TRUE(got.fileThere);
    // The file holds exactly the address, without a line end.
    EXPECT_EQ(ReadAll(m_home.Context().FilePath(CQuillApp::kHandOffFile)), address);

    std::string taken;
    std::string error;
    ASSERT_TRUE(CQuillApp::TakeHandOffAddress(taken, error)) << error;
    EXPECT_EQ(taken, address);
    EXPECT_FALSE(CFileUtil::Exists(m_home.Context().FilePath(CQuillApp::kHandOffFile)));
    // A second notice without a file: nothing to take, and the reason names the file.
    EXPECT_FALSE(CQuillApp::TakeHandOffAddress(taken, error));
    EXPECT_NE(error.find("addrss.txt"), std::string::npos);
}

TEST_F(SingleInstanceTest, ASecondProcessHandsItsAddressOverAndEnds) {
    CSingleInstance first(m_name);
    ASSERT_TRUE(first.Listen());
    Received got;
    QObject::connect(&first, &CSingleInstance::MessageReceived, [&](int message, qint64, qint64) {
        got.message = message;
        got.fileThere = CFileUtil::Exists(m_home.Context().FilePath(CQuillApp::kHandOffFile));
        ++got.count;
    });
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLMARK_HOME"), QString::fromStdString(m_home.Path()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    // An existing file as the argument: it is an address to hand over, never a document.
    const std::string existing = m_home.File("config/appConfig.xml");
    second.start(QStringLiteral(QUILL_APP_PATH), {QString::fromStdString(existing)});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(WaitFor([&] { return second.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(WaitFor([&] { return got.count == 1; }));
    EXPECT_EQ(got.message, WM_ADDRSS_NOTIFY);
    EXPECT_TRUE(got.fileThere);
    EXPECT_EQ(ReadAll(m_home.Context().FilePath(CQuillApp::kHandOffFile)), existing);
}

TEST_F(SingleInstanceTest, ANameLeftBehindIsTakenOver) {
    {
        // An instance that ended without closing its socket leaves the name on the disk.
        QLocalServer stale;
        stale.setSocketOptions(QLocalServer::UserAccessOption);
        ASSERT_TRUE(stale.listen(m_name));
        const QString path = stale.fullServerName();
        stale.close();
        // close() removes it; put a plain file there to stand for the leftover.
        WriteAll(path.toStdString(), "");
    }
    CSingleInstance first(m_name);
    EXPECT_TRUE(first.Listen());
    CSingleInstance second(m_name);
    EXPECT_TRUE(second.IsRunning(1000));
}

TEST(QuillAppArguments, TheFirstPlainArgumentIsTheAddress) {
    std::string home;
    EXPECT_EQ(CQuillApp::ParseArguments({"quillmark"}, &home), "");
    EXPECT_EQ(
        CQuillApp::ParseArguments({"quillmark", "--home", "/tmp/h", "http://a/feed", "x"}, &home),
        "http://a/feed");
    EXPECT_EQ(home, "/tmp/h");
    EXPECT_EQ(CQuillApp::ParseArguments({"quillmark", "--unknown", "quill://rssurl=x"}, nullptr),
              "quill://rssurl=x");

    // A --home without a folder is refused, never read as the default directory.
    EXPECT_TRUE(CQuillApp::HomeArgumentIsEmpty({"quillmark", "--home", ""}));
    EXPECT_TRUE(CQuillApp::HomeArgumentIsEmpty({"quillmark", "http://a/feed", "--home"}));
    EXPECT_FALSE(CQuillApp::HomeArgumentIsEmpty({"quillmark", "--home", "/tmp/h"}));
    EXPECT_FALSE(CQuillApp::HomeArgumentIsEmpty({"quillmark", "http://a/feed"}));
}

TEST(QuillAppPlacement, AllZeroMeansMaximised) {
    EXPECT_TRUE(CQuillApp::PlacementIsMaximized(WindowPlacement{0, 0, 0, 0, 200, 300}));
    // A sum of at least 1 is a rectangle, used as it is.
    EXPECT_FALSE(CQuillApp::PlacementIsMaximized(WindowPlacement{0, 0, 0, 1, 200, 300}));
    EXPECT_FALSE(CQuillApp::PlacementIsMaximized(WindowPlacement{10, 20, 810, 620, 200, 300}));
    EXPECT_TRUE(CQuillApp::PlacementIsMaximized(WindowPlacement{-5, 0, 4, 0, 0, 0}));
}

} // namespace
