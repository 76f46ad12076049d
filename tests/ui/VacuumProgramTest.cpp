#include "app/AppPaths.h"
#include "storage/FeedDatabase.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QProcess* StartVacuum(const std::string& home, QObject* parent) {
    auto* process = new QProcess(parent);
    process->setProgram(QStringLiteral(QUILL_VACUUM_PATH));
    process->setArguments(
        {QStringLiteral("--home"), QString::fromStdString(home), QStringLiteral("--console")});
    process->start();
    return process;
}

TEST(VacuumProgram, CompactsTheFeedStoreDropsOrphanItemsAndSaysSo) {
    EnsureApp();
    CTempHome home({.processDir = true});
    {
        CFeedDatabase store(home.Context());
        ASSERT_TRUE(Done(store.OpenStore()));
        std::vector<FeedItem> items(300);
        for (size_t i = 0; i < items.size(); ++i) {
            items[i].title = "标题 " + std::to_string(i);
            items[i].link = "http://x/" + std::to_string(i);
            items[i].description = std::string(2000, 'x');
        }
        int feedId = 0;
        ASSERT_TRUE(store.AddFeed("http://x/feed", feedId));
        ASSERT_TRUE(store.SaveReceivedItems(feedId, items, StorageRule::kKeepAll, 0));
        // An older program removed the channel's row and left its items behind.
        ASSERT_TRUE(Done(store.Exec("DELETE FROM feed_data;")));
    }
    QObject owner;
    QProcess* vacuum = StartVacuum(home.Path(), &owner);
    ASSERT_TRUE(vacuum->waitForFinished(60000));
    EXPECT_EQ(vacuum->exitCode(), 0);
    const QString output = QString::fromUtf8(vacuum->readAllStandardOutput());
    EXPECT_TRUE(output.contains(QStringLiteral("整理完成!"))) << output.toStdString();
    CFeedDatabase store(home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    int feeds = -1, items = -1;
    ASSERT_TRUE(store.GetTotals(feeds, items));
    EXPECT_EQ(items, 0);
}

TEST(VacuumProgram, WaitsForAWriterToFinish) {
    EnsureApp();
    CTempHome home({.processDir = true});
    CFeedDatabase store(home.Context());
    ASSERT_TRUE(Done(store.OpenStore()));
    // The reader is in the middle of a write when the compaction starts.
    ASSERT_TRUE(Done(store.Exec("BEGIN IMMEDIATE;")));
    QObject owner;
    QProcess* vacuum = StartVacuum(home.Path(), &owner);
    ASSERT_TRUE(vacuum->waitForStarted(10000));
    QThread::msleep(800);
    EXPECT_EQ(vacuum->state(), QProcess::Running);
    ASSERT_TRUE(Done(store.Exec("COMMIT;")));
    store.CloseStore();
    ASSERT_TRUE(vacuum->waitForFinished(60000));
    EXPECT_EQ(vacuum->exitCode(), 0) << vacuum->readAllStandardOutput().toStdString();
}

} // namespace

TEST(VacuumProgram, HelpPrintsUsageAndTouchesNothing) {
    CTempHome home({.processDir = true});
    const std::string store = home.Context().FilePath("Storage\\rss.db");
    const std::string before = ReadAll(store);
    for (const char* word : {"--help", "-h"}) {
        QProcess vacuum;
        vacuum.start(QStringLiteral(QUILL_VACUUM_PATH),
                     {QStringLiteral("--home"), QString::fromStdString(home.Path()),
                      QString::fromLatin1(word)});
        ASSERT_TRUE(vacuum.waitForFinished(30000));
        EXPECT_EQ(vacuum.exitCode(), 0);
        const std::string out = vacuum.readAllStandardOutput().toStdString();
        EXPECT_NE(out.find("用法: quillmark-vacuum"), std::string::npos) << out;
        EXPECT_EQ(out.find("正在整理"), std::string::npos) << "it must not start compacting";
    }
    // A word it does not know, or --home without a folder, is refused the same way.
    for (QStringList words : {QStringList{QStringLiteral("--bogus")},
                              QStringList{QStringLiteral("--home"), QString()}}) {
        QProcess vacuum;
        vacuum.start(QStringLiteral(QUILL_VACUUM_PATH), words << QStringLiteral("--console"));
        ASSERT_TRUE(vacuum.waitForFinished(30000));
        EXPECT_EQ(vacuum.exitCode(), 2);
        EXPECT_NE(vacuum.readAllStandardError().toStdString().find("用法"), std::string::npos);
    }
    EXPECT_EQ(ReadAll(store), before);
}
