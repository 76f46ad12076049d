#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// One forward-only result set. A result is never copied, only moved: the moved-from result
// holds no statement any more. Text columns come back as UTF-8; a value that an older store
// wrote in GBK is decoded.
class CSqlQuery {
public:
    CSqlQuery() = default;
    // ownsStatement: finalise the statement when done; otherwise only reset it (a prepared
    // statement that its CSqlStatement keeps for reuse).
    CSqlQuery(sqlite3* db, sqlite3_stmt* statement, bool eof, bool ownsStatement = true);
    ~CSqlQuery();
    CSqlQuery(const CSqlQuery&) = delete;
    CSqlQuery& operator=(const CSqlQuery&) = delete;
    CSqlQuery(CSqlQuery&& other) noexcept;
    CSqlQuery& operator=(CSqlQuery&& other);

    bool IsEnd() const;
    void Next();
    int ColumnCount() const;
    int ColumnIndex(const char* name) const;
    int ColumnType(int index) const;

    int GetInt(int index, int nullValue = 0) const;
    int GetInt(const char* name, int nullValue = 0) const;
    int64_t GetInt64(int index, int64_t nullValue = 0) const;
    int64_t GetInt64(const char* name, int64_t nullValue = 0) const;
    std::string GetText(int index, const std::string& nullValue = {}) const;
    std::string GetText(const char* name, const std::string& nullValue = {}) const;
    bool IsNull(int index) const;

    void Finalize();

private:
    void CheckStatement() const;
    void CheckIndex(int index) const;
    void Release() noexcept;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    bool m_eof = true;
    int m_columnCount = 0;
    bool m_ownsStatement = true;
};
