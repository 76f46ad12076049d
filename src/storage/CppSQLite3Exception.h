#pragma once

#include <exception>
#include <string>

// The SQL layer's exception: an SQLite result code (or 1000 for a fault this layer finds
// itself) and the message "<code name>[<code>]: <detail>".
class CppSQLite3Exception : public std::exception {
public:
    // The detail, when it came from sqlite3_malloc and releaseDetail is set, is freed here.
    CppSQLite3Exception(int code, const char* detail, bool releaseDetail = false);
    CppSQLite3Exception(int code, const std::string& detail);

    int Code() const { return m_code; }
    const std::string& Message() const { return m_message; }
    const char* what() const noexcept override { return m_message.c_str(); }

    // "SQLITE_BUSY" for 5, "CPPSQLITE_ERROR" for 1000, "UNKNOWN_ERROR" for codes not listed.
    static const char* CodeName(int code);

private:
    int m_code;
    std::string m_message;
};

// Codes of the layer's own faults.
inline constexpr int kCppSqliteError = 1000;
