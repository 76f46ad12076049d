#pragma once

#include "storage/SqlQuery.h"
#include "storage/SqlStatement.h"

#include <cstdint>
#include <string>

struct sqlite3;

// One connection to an SQLite file. Every failure throws CppSQLite3Exception; a connection
// belongs to one thread at a time.
class CSqlDatabase {
public:
    CSqlDatabase() = default;
    ~CSqlDatabase();
    CSqlDatabase(const CSqlDatabase&) = delete;
    CSqlDatabase& operator=(const CSqlDatabase&) = delete;

    // Opens (creating when absent) the file at the UTF-8 path and applies the busy timeout.
    void Open(const std::string& path);
    // Opens an existing file for reading only: nothing is created and nothing can be written.
    void OpenReadOnly(const std::string& path);
    int Close();
    bool IsOpen() const { return m_db != nullptr; }

    void SetBusyTimeout(int milliseconds);
    int GetBusyTimeout() const { return m_busyTimeoutMs; }

    // Runs the whole text (one or more statements, no values spliced in); returns the rows
    // changed by the last statement.
    int ExecuteUpdate(const std::string& sql);
    // Prepares the text, takes the first step and returns the result on its first row.
    CSqlQuery ExecuteQuery(const std::string& sql);
    // A statement with "?" or ":name" parameters to bind values to.
    CSqlStatement CompileStatement(const std::string& sql);

    int64_t LastInsertRowId() const;
    // True while a transaction is open on this connection.
    bool InTransaction() const;

    sqlite3* Handle() const { return m_db; }

private:
    // Open and OpenReadOnly: sqlite3_open_v2 with these flags (one connection per thread).
    void OpenWith(const std::string& path, int flags);
    sqlite3_stmt* Prepare(const std::string& sql);
    void CheckOpen() const;

    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = 60000;
};
