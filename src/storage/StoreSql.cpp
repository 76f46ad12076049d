#include "storage/StoreSql.h"

#include "platform/text/TextCodec.h"
#include "storage/SqlDatabase.h"
#include "storage/Transaction.h"

#include <algorithm>
#include <ctime>

namespace {

// The file's user_version when this program created its tables.
constexpr int kUtf8OnlyVersion = 1;

bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

std::vector<std::string> SplitColumns(const char* columns) {
    std::vector<std::string> names;
    std::string name;
    for (const char* p = columns;; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!name.empty())
                names.push_back(name);
            name.clear();
            if (*p == '\0')
                break;
        } else if (*p != ' ') {
            name.push_back(*p);
        }
    }
    return names;
}

} // namespace

std::string CStoreSql::IdArray(const std::vector<int>& ids) {
    std::string text = "[";
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(ids[i]);
    }
    return text + "]";
}

std::string CStoreSql::LegacyForm(const std::string& text) {
    if (IsAscii(text))
        return text;
    bool complete = true;
    std::string gbk = CTextCodec::Utf8ToGbkReplacing(text, [&complete](char32_t) {
        complete = false;
        return std::string();
    });
    // A text that GBK cannot hold whole was never written by an older store.
    return complete ? gbk : text;
}

std::string CStoreSql::ContainsPattern(const std::string& keyword) {
    std::string pattern = "%";
    for (char c : keyword) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

std::string CStoreSql::LocalTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

bool CStoreSql::MayHoldLegacyText(CSqlDatabase& db) {
    CSqlQuery version = db.ExecuteQuery("PRAGMA user_version;");
    return version.IsEnd() || version.GetInt(0) != kUtf8OnlyVersion;
}

bool CStoreSql::TableExists(CSqlDatabase& db, const char* table) {
    CSqlStatement find =
        db.CompileStatement("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1;");
    return find.Bind(1, table).ExecScalar().has_value();
}

bool CStoreSql::ColumnExists(CSqlDatabase& db, const char* table, const char* column) {
    CSqlStatement find =
        db.CompileStatement("SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2;");
    return find.Bind(1, table).Bind(2, column).ExecScalar().has_value();
}

void CStoreSql::EnsureColumns(CSqlDatabase& db, const char* table,
                              const std::vector<std::pair<const char*, const char*>>& columns) {
    const auto missing = [&] {
        for (const auto& [name, type] : columns)
            if (!ColumnExists(db, table, name))
                return true;
        return false;
    };
    if (!missing())
        return;
    CTransaction transaction(db);
    // Looked at again under the write lock: another connection may have just added them.
    for (const auto& [name, type] : columns)
        if (!ColumnExists(db, table, name))
            db.ExecuteUpdate(std::string("ALTER TABLE ") + table + " ADD COLUMN " + name + " " +
                             type + ";");
    transaction.Commit();
}

bool CStoreSql::IndexExists(CSqlDatabase& db, const IndexSpec& index) {
    CSqlStatement byName =
        db.CompileStatement("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1;");
    if (byName.Bind(1, index.name).ExecScalar().has_value())
        return true;
    if (index.where)
        return false;

    const std::vector<std::string> wanted = SplitColumns(index.columns);
    std::vector<std::string> candidates;
    {
        CSqlStatement list =
            db.CompileStatement("SELECT name FROM pragma_index_list(?1) WHERE partial = 0;");
        list.Bind(1, index.table);
        for (CSqlQuery rows = list.ExecQuery(); !rows.IsEnd(); rows.Next())
            candidates.push_back(rows.GetText(0));
    }
    CSqlStatement info =
        db.CompileStatement("SELECT name FROM pragma_index_info(?1) ORDER BY seqno;");
    for (const std::string& candidate : candidates) {
        std::vector<std::string> columns;
        info.Bind(1, candidate);
        for (CSqlQuery rows = info.ExecQuery(); !rows.IsEnd(); rows.Next())
            columns.push_back(rows.GetText(0));
        if (columns.size() >= wanted.size() &&
            std::equal(wanted.begin(), wanted.end(), columns.begin()))
            return true;
    }
    return false;
}

void CStoreSql::EnsureSchema(CSqlDatabase& db, const std::vector<TableSpec>& tables,
                             const std::vector<IndexSpec>& indexes) {
    const auto complete = [&] {
        for (const TableSpec& table : tables) {
            if (!TableExists(db, table.name))
                return false;
        }
        for (const IndexSpec& index : indexes) {
            if (!IndexExists(db, index))
                return false;
        }
        return true;
    };
    if (complete())
        return;

    CTransaction transaction(db);
    // Looked at again under the write lock: another connection may have just done the work.
    int created = 0;
    for (const TableSpec& table : tables) {
        if (!TableExists(db, table.name)) {
            db.ExecuteUpdate(std::string("CREATE TABLE ") + table.name + " (" + table.definition +
                             ");");
            ++created;
        }
    }
    if (created == static_cast<int>(tables.size()))
        db.ExecuteUpdate("PRAGMA user_version = " + std::to_string(kUtf8OnlyVersion) + ";");
    for (const IndexSpec& index : indexes) {
        if (IndexExists(db, index))
            continue;
        std::string sql = std::string("CREATE INDEX ") + index.name + " ON " + index.table + " (" +
                          index.columns + ")";
        if (index.where)
            sql += std::string(" WHERE ") + index.where;
        db.ExecuteUpdate(sql + ";");
    }
    transaction.Commit();
}
