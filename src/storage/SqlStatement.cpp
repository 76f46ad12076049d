#include "storage/SqlStatement.h"

#include "storage/CppSQLite3Exception.h"

#include <sqlite3.h>

CSqlStatement::CSqlStatement(sqlite3* db, sqlite3_stmt* statement)
    : m_db(db), m_statement(statement) {}

CSqlStatement::~CSqlStatement() {
    if (m_statement)
        sqlite3_finalize(m_statement);
}

CSqlStatement::CSqlStatement(CSqlStatement&& other) noexcept
    : m_db(other.m_db), m_statement(other.m_statement) {
    other.m_statement = nullptr;
}

CSqlStatement& CSqlStatement::operator=(CSqlStatement&& other) noexcept {
    if (this != &other) {
        if (m_statement)
            sqlite3_finalize(m_statement);
        m_db = other.m_db;
        m_statement = other.m_statement;
        other.m_statement = nullptr;
    }
    return *this;
}

void CSqlStatement::CheckStatement() const {
    if (!m_statement)
        throw CppSQLite3Exception(kCppSqliteError, "Null Virtual Machine pointer");
}

void CSqlStatement::CheckBind(int rc) const {
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(m_db));
}

int CSqlStatement::ParameterIndex(const char* name) const {
    CheckStatement();
    int index = sqlite3_bind_parameter_index(m_statement, name);
    if (index == 0)
        throw CppSQLite3Exception(kCppSqliteError, "Invalid parameter name requested");
    return index;
}

CSqlStatement& CSqlStatement::Bind(int index, int value) {
    CheckStatement();
    CheckBind(sqlite3_bind_int(m_statement, index, value));
    return *this;
}

CSqlStatement& CSqlStatement::Bind(int index, int64_t value) {
    CheckStatement();
    CheckBind(sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

CSqlStatement& CSqlStatement::Bind(int index, std::string_view value) {
    CheckStatement();
    CheckBind(sqlite3_bind_text64(m_statement, index, value.data(), value.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
    return *this;
}

CSqlStatement& CSqlStatement::BindNull(int index) {
    CheckStatement();
    CheckBind(sqlite3_bind_null(m_statement, index));
    return *this;
}

int CSqlStatement::ExecDML() {
    CheckStatement();
    int rc = sqlite3_step(m_statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        const std::string detail = sqlite3_errmsg(m_db);
        sqlite3_reset(m_statement);
        throw CppSQLite3Exception(rc, detail);
    }
    int changed = sqlite3_changes(m_db);
    sqlite3_reset(m_statement);
    return changed;
}

CSqlQuery CSqlStatement::ExecQuery() {
    CheckStatement();
    int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_DONE)
        return CSqlQuery(m_db, m_statement, true, false);
    if (rc == SQLITE_ROW)
        return CSqlQuery(m_db, m_statement, false, false);
    const std::string detail = sqlite3_errmsg(m_db);
    sqlite3_reset(m_statement);
    throw CppSQLite3Exception(rc, detail);
}

std::optional<int64_t> CSqlStatement::ExecScalar() {
    CSqlQuery query = ExecQuery();
    if (query.IsEnd() || query.IsNull(0))
        return std::nullopt;
    return query.GetInt64(0);
}

void CSqlStatement::Reset() {
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
}
