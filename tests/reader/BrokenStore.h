#pragma once

// A store that fails as a full disk would: a trigger makes every change of one table abort
// inside SQLite, so the store's own transaction sees the failure.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

// event: "INSERT", "UPDATE" or "DELETE".
inline void BreakTable(const std::string& dbPath, const std::string& table,
                       const std::string& event) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath.c_str(), &db), SQLITE_OK);
    const std::string sql = "CREATE TRIGGER broken_" + table + " BEFORE " + event + " ON " + table +
                            " BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

inline void RepairTable(const std::string& dbPath, const std::string& table) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath.c_str(), &db), SQLITE_OK);
    const std::string sql = "DROP TRIGGER broken_" + table + ";";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}
