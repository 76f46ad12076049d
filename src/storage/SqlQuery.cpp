#include "storage/SqlQuery.h"

#include "platform/text/TextCodec.h"
#include "storage/CppSQLite3Exception.h"

#include <cstring>
#include <sqlite3.h>

CSqlQuery::CSqlQuery(sqlite3* db, sqlite3_stmt* statement, bool eof, bool ownsStatement)
    : m_db(db), m_statement(statement), m_eof(eof),
      m_columnCount(statement ? sqlite3_column_count(statement) : 0),
      m_ownsStatement(ownsStatement) {}

CSqlQuery::~CSqlQuery() {
    Release();
}

CSqlQuery::CSqlQuery(CSqlQuery&& other) noexcept
    : m_db(other.m_db), m_statement(other.m_statement), m_eof(other.m_eof),
      m_columnCount(other.m_columnCount), m_ownsStatement(other.m_ownsStatement) {
    other.m_statement = nullptr;
}

CSqlQuery& CSqlQuery::operator=(CSqlQuery&& other) {
    if (this != &other) {
        Finalize();
        m_db = other.m_db;
        m_statement = other.m_statement;
        m_eof = other.m_eof;
        m_columnCount = other.m_columnCount;
        m_ownsStatement = other.m_ownsStatement;
        other.m_statement = nullptr;
    }
    return *this;
}

void CSqlQuery::Release() noexcept {
    try {
        Finalize();
    } catch (...) {
        // A failure while finishing a result changes nothing for its reader.
    }
}

void CSqlQuery::CheckStatement() const {
    if (!m_statement)
        throw CppSQLite3Exception(kCppSqliteError, "Null Virtual Machine pointer");
}

void CSqlQuery::CheckIndex(int index) const {
    CheckStatement();
    if (index < 0 || index >= m_columnCount)
        throw CppSQLite3Exception(kCppSqliteError, "Invalid field index requested");
}

bool CSqlQuery::IsEnd() const {
    CheckStatement();
    return m_eof;
}

void CSqlQuery::Next() {
    CheckStatement();
    int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_DONE) {
        m_eof = true;
    } else if (rc == SQLITE_ROW) {
        m_eof = false;
    } else {
        const std::string detail = sqlite3_errmsg(m_db);
        if (m_ownsStatement)
            sqlite3_finalize(m_statement);
        else
            sqlite3_reset(m_statement);
        m_statement = nullptr;
        throw CppSQLite3Exception(rc, detail);
    }
}

int CSqlQuery::ColumnCount() const {
    CheckStatement();
    return m_columnCount;
}

int CSqlQuery::ColumnIndex(const char* name) const {
    CheckStatement();
    if (name) {
        for (int i = 0; i < m_columnCount; ++i) {
            const char* column = sqlite3_column_name(m_statement, i);
            if (column && std::strcmp(column, name) == 0)
                return i;
        }
    }
    throw CppSQLite3Exception(kCppSqliteError, "Invalid field name requested");
}

int CSqlQuery::ColumnType(int index) const {
    CheckIndex(index);
    return sqlite3_column_type(m_statement, index);
}

bool CSqlQuery::IsNull(int index) const {
    return ColumnType(index) == SQLITE_NULL;
}

int CSqlQuery::GetInt(int index, int nullValue) const {
    if (IsNull(index))
        return nullValue;
    return sqlite3_column_int(m_statement, index);
}

int CSqlQuery::GetInt(const char* name, int nullValue) const {
    return GetInt(ColumnIndex(name), nullValue);
}

int64_t CSqlQuery::GetInt64(int index, int64_t nullValue) const {
    if (IsNull(index))
        return nullValue;
    return sqlite3_column_int64(m_statement, index);
}

int64_t CSqlQuery::GetInt64(const char* name, int64_t nullValue) const {
    return GetInt64(ColumnIndex(name), nullValue);
}

std::string CSqlQuery::GetText(int index, const std::string& nullValue) const {
    if (IsNull(index))
        return nullValue;
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, index));
    int bytes = sqlite3_column_bytes(m_statement, index);
    if (!text)
        return {};
    return CTextCodec::ToUtf8Lenient(std::string_view(text, static_cast<size_t>(bytes)));
}

std::string CSqlQuery::GetText(const char* name, const std::string& nullValue) const {
    return GetText(ColumnIndex(name), nullValue);
}

void CSqlQuery::Finalize() {
    if (!m_statement)
        return;
    sqlite3_stmt* statement = m_statement;
    m_statement = nullptr;
    if (!m_ownsStatement) {
        sqlite3_reset(statement);
        return;
    }
    int rc = sqlite3_finalize(statement);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
}
