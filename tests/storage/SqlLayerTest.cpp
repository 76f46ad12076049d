#include "platform/text/TextCodec.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/LocalDatabase.h"
#include "storage/SqlDatabase.h"
#include "storage/Transaction.h"
#include "support/StoreSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace {

class SqlLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.Open(m_path);
        m_db.ExecuteUpdate("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, n INTEGER);");
    }
    void TearDown() override {
        m_db.Close();
        RemoveTree(m_dir);
    }
    int CountRows(CSqlDatabase& db) {
        return static_cast<int>(
            db.CompileStatement("SELECT count(*) FROM t;").ExecScalar().value());
    }

    std::string m_dir = MakeTempDir();
    std::string m_path = m_dir + "/t.db";
    CSqlDatabase m_db;
};

std::string MessageOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const CppSQLite3Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

} // namespace

TEST_F(SqlLayerTest, QuotesAreStoredAndFoundAsWritten) {
    auto insert = m_db.CompileStatement("INSERT INTO t (name) VALUES (?);");
    insert.Bind(1, "O'Brien").ExecDML();
    insert.Bind(1, "'); DROP TABLE t; --").ExecDML();
    auto find = m_db.CompileStatement("SELECT id FROM t WHERE name = :name;");
    EXPECT_TRUE(find.Bind(":name", std::string("O'Brien")).ExecScalar().has_value());
    EXPECT_TRUE(find.Bind(":name", std::string("'); DROP TABLE t; --")).ExecScalar().has_value());
}

TEST_F(SqlLayerTest, MessagesNameTheCodeAndItsDetail) {
    CSqlQuery q = m_db.ExecuteQuery("SELECT id, name FROM t;");
    EXPECT_EQ(MessageOf([&] { q.ColumnIndex("nosuch"); }),
              "CPPSQLITE_ERROR[1000]: Invalid field name requested");
    EXPECT_EQ(MessageOf([&] { q.ColumnType(2); }),
              "CPPSQLITE_ERROR[1000]: Invalid field index requested");
    // A syntax error found while preparing carries SQLite's own words too.
    EXPECT_EQ(MessageOf([&] { m_db.ExecuteQuery("SELEC oops;"); }),
              "SQLITE_ERROR[1]: near \"SELEC\": syntax error");
    EXPECT_EQ(MessageOf([&] { m_db.ExecuteUpdate("INSERT INTO nosuch VALUES (1);"); }),
              "SQLITE_ERROR[1]: no such table: nosuch");
    EXPECT_EQ(CppSQLite3Exception(4242, "detail").Message(), "UNKNOWN_ERROR[4242]: detail");
    // A code that comes without a detail still says what it means.
    EXPECT_EQ(CppSQLite3Exception(5, nullptr).Message(), "SQLITE_BUSY[5]: database is locked");
    EXPECT_EQ(CppSQLite3Exception(SQLITE_FULL, "").Message(),
              "SQLITE_FULL[13]: database or disk is full");
    CSqlQuery moved = std::move(q);
    EXPECT_EQ(MessageOf([&] { q.IsEnd(); }), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    EXPECT_TRUE(moved.IsEnd());
}

TEST_F(SqlLayerTest, NullColumnsReadAsTheGivenDefaultsAndGbkTextAsUtf8) {
    m_db.ExecuteUpdate("INSERT INTO t (name, n) VALUES (NULL, NULL);");
    CSqlQuery q = m_db.ExecuteQuery("SELECT name, n FROM t;");
    ASSERT_FALSE(q.IsEnd());
    EXPECT_EQ(q.GetText("name", ""), "");
    EXPECT_EQ(q.GetInt("n", 0), 0);
    EXPECT_EQ(q.GetInt("n", -7), -7);
    q.Next();
    EXPECT_TRUE(q.IsEnd());

    // Text written in GBK by an older store reads as UTF-8.
    const std::string gbk = CTextCodec::Utf8ToGbk("旧数据库的标题");
    m_db.CompileStatement("INSERT INTO t (name) VALUES (?);").Bind(1, gbk).ExecDML();
    m_db.CompileStatement("INSERT INTO t (name) VALUES (?);").Bind(1, "新标题").ExecDML();
    CSqlQuery texts = m_db.ExecuteQuery("SELECT name FROM t WHERE name IS NOT NULL ORDER BY id;");
    EXPECT_EQ(texts.GetText("name"), "旧数据库的标题");
    texts.Next();
    EXPECT_EQ(texts.GetText("name"), "新标题");
}

TEST_F(SqlLayerTest, FailedTransactionLeavesNothingBehind) {
    m_db.ExecuteUpdate("INSERT INTO t (name) VALUES ('kept');");
    m_db.Close();
    CLocalDatabase store(m_path);
    ASSERT_TRUE(Done(store.OpenStore()));
    StoreResult rc = store.RunInTransaction([](CSqlDatabase& db) {
        db.ExecuteUpdate("INSERT INTO t (name) VALUES ('a');");
        db.ExecuteUpdate("UPDATE t SET name = 'changed';");
        db.ExecuteUpdate("INSERT INTO nosuch VALUES (1);");
    });
    EXPECT_FALSE(rc);
    EXPECT_EQ(rc.reason, "SQLITE_ERROR[1]: no such table: nosuch (" + m_path + ")");
    EXPECT_FALSE(store.Db().InTransaction());
    EXPECT_EQ(CountRows(store.Db()), 1);
    EXPECT_EQ(store.Db().ExecuteQuery("SELECT name FROM t;").GetText("name"), "kept");

    // A failure inside nested work undoes only the inner part when the outer part catches it.
    rc = store.RunInTransaction([](CSqlDatabase& db) {
        db.ExecuteUpdate("INSERT INTO t (name) VALUES ('outer');");
        try {
            CTransaction inner(db);
            db.ExecuteUpdate("INSERT INTO t (name) VALUES ('inner');");
            throw CppSQLite3Exception(kCppSqliteError, "stop");
        } catch (const CppSQLite3Exception&) {
        }
    });
    EXPECT_TRUE(Done(rc));
    EXPECT_EQ(CountRows(store.Db()), 2);

    // Exceptions other than the layer's own are caught as well.
    rc = store.Run([](CSqlDatabase&) { throw std::runtime_error("out of room"); });
    EXPECT_FALSE(rc);
    EXPECT_EQ(rc.reason, "CPPSQLITE_ERROR[1000]: out of room (" + m_path + ")");
}

TEST_F(SqlLayerTest, StoreErrorsSayWhatFailedAndInWhichFile) {
    CLocalDatabase store(m_dir + "/missing-folder/x.db");
    const StoreResult opened = store.OpenStore();
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.reason.rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << opened.reason;
    EXPECT_EQ(store.Exec("SELECT 1;").reason,
              "CPPSQLITE_ERROR[1000]: Database not open (" + m_dir + "/missing-folder/x.db)");
    CLocalDatabase good(m_path);
    ASSERT_TRUE(Done(good.OpenStore()));
    const StoreResult notSql = good.Exec("NOT SQL;");
    EXPECT_FALSE(notSql);
    EXPECT_EQ(notSql.reason, "SQLITE_ERROR[1]: near \"NOT\": syntax error (" + m_path + ")");
    EXPECT_TRUE(Done(good.Exec("SELECT 1;")));

    // A file that is no database: the code, SQLite's own words and the file's name.
    const std::string garbage = m_dir + "/garbage.db";
    WriteAll(garbage, std::string(4096, 'x'));
    CLocalDatabase notADatabase(garbage);
    EXPECT_EQ(notADatabase.OpenStore().reason,
              "SQLITE_NOTADB[26]: file is not a database (" + garbage + ")");
}

TEST_F(SqlLayerTest, SecondWriterWaitsForTheBusyTimeoutThenFailsOrGoesOnOnceReleased) {
    CLocalDatabase holder(m_path);
    ASSERT_TRUE(Done(holder.OpenStore()));
    ASSERT_TRUE(Done(holder.BeginTransaction()));
    ASSERT_TRUE(Done(holder.Exec("INSERT INTO t (name) VALUES ('held');")));

    CLocalDatabase waiter(m_path);
    ASSERT_TRUE(Done(waiter.OpenStore()));
    waiter.Db().SetBusyTimeout(200);
    const StoreResult rc = waiter.RunInTransaction(
        [](CSqlDatabase& db) { db.ExecuteUpdate("INSERT INTO t (name) VALUES ('late');"); });
    EXPECT_FALSE(rc);
    EXPECT_EQ(rc.reason.rfind("SQLITE_BUSY", 0), 0u) << rc.reason;
    // Readers are not blocked by the writer, and see only committed rows.
    EXPECT_EQ(CountRows(waiter.Db()), 0);

    // A writer that comes with the store's own timeout waits until the lock is released.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        holder.CommitTransaction();
    });
    CLocalDatabase late(m_path);
    ASSERT_TRUE(Done(late.OpenStore()));
    EXPECT_TRUE(Done(late.Exec("INSERT INTO t (name) VALUES ('late');")));
    release.join();
    EXPECT_EQ(CountRows(holder.Db()), 2);
}
