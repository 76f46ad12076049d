#pragma once

#include "storage/SqlQuery.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement with bound parameters: values never become part of the SQL text, so a
// quote or any other character in them is stored and matched as it is. A statement can be run
// many times; binding again replaces the values.
class CSqlStatement {
public:
    CSqlStatement() = default;
    CSqlStatement(sqlite3* db, sqlite3_stmt* statement);
    ~CSqlStatement();
    CSqlStatement(const CSqlStatement&) = delete;
    CSqlStatement& operator=(const CSqlStatement&) = delete;
    CSqlStatement(CSqlStatement&& other) noexcept;
    CSqlStatement& operator=(CSqlStatement&& other) noexcept;

    // Parameters count from 1, as in SQL; a ":name" parameter is found by its name.
    CSqlStatement& Bind(int index, int value);
    CSqlStatement& Bind(int index, int64_t value);
    CSqlStatement& Bind(int index, std::string_view value);
    CSqlStatement& Bind(int index, const char* value) {
        return Bind(index, std::string_view(value));
    }
    CSqlStatement& Bind(int index, const std::string& value) {
        return Bind(index, std::string_view(value));
    }
    CSqlStatement& BindNull(int index);
    template <typename T> CSqlStatement& Bind(const char* name, const T& value) {
        return Bind(ParameterIndex(name), value);
    }

    // Runs a statement that returns no rows; returns the number of rows it changed.
    int ExecDML();
    // Runs a query; the result is positioned on its first row. The result must be finished
    // (destroyed or finalised) before the statement is run again.
    CSqlQuery ExecQuery();
    // The first column of the first row, or nothing when there is no row or it is NULL.
    std::optional<int64_t> ExecScalar();

    void Reset();

private:
    int ParameterIndex(const char* name) const;
    void CheckStatement() const;
    void CheckBind(int rc) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};
