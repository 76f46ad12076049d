#include "storage/SqlDatabase.h"

#include "storage/CppSQLite3Exception.h"

#include <sqlite3.h>

CSqlDatabase::~CSqlDatabase() {
    Close();
}

void CSqlDatabase::Open(const std::string& path) {
    OpenWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

void CSqlDatabase::OpenReadOnly(const std::string& path) {
    OpenWith(path, SQLITE_OPEN_READONLY);
}

void CSqlDatabase::OpenWith(const std::string& path, int flags) {
    Close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw CppSQLite3Exception(rc, detail);
    }
    m_db = db;
    SetBusyTimeout(m_busyTimeoutMs);
}

int CSqlDatabase::Close() {
    if (!m_db)
        return 0;
    // Statements still open belong to results that outlive the connection by mistake;
    // close_v2 lets them finish instead of leaving the file locked.
    int rc = sqlite3_close_v2(m_db);
    m_db = nullptr;
    return rc;
}

void CSqlDatabase::SetBusyTimeout(int milliseconds) {
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void CSqlDatabase::CheckOpen() const {
    if (!m_db)
        throw CppSQLite3Exception(kCppSqliteError, "Database not open");
}

int CSqlDatabase::ExecuteUpdate(const std::string& sql) {
    CheckOpen();
    char* error = nullptr;
    int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, error, true);
    return sqlite3_changes(m_db);
}

sqlite3_stmt* CSqlDatabase::Prepare(const std::string& sql) {
    CheckOpen();
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
    return statement;
}

CSqlQuery CSqlDatabase::ExecuteQuery(const std::string& sql) {
    sqlite3_stmt* statement = Prepare(sql);
    int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE)
        return CSqlQuery(m_db, statement, true);
    if (rc == SQLITE_ROW)
        return CSqlQuery(m_db, statement, false);
    const std::string detail = sqlite3_errmsg(m_db);
    sqlite3_finalize(statement);
    throw CppSQLite3Exception(rc, detail);
}

CSqlStatement CSqlDatabase::CompileStatement(const std::string& sql) {
    CheckOpen();
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
    return CSqlStatement(m_db, statement);
}

int64_t CSqlDatabase::LastInsertRowId() const {
    CheckOpen();
    return sqlite3_last_insert_rowid(m_db);
}

bool CSqlDatabase::InTransaction() const {
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}
