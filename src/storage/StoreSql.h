#pragma once

#include <string>
#include <utility>
#include <vector>

class CSqlDatabase;

// Small pieces that both stores build their statements and their schema from.
class CStoreSql {
public:
    // An id list as a JSON array ("[3,7,12]"), bound as one value and opened in SQL with
    // "IN (SELECT value FROM json_each(?))": any number of ids, and an empty list matches nothing.
    static std::string IdArray(const std::vector<int>& ids);

    // The bytes under which an older store (which wrote GBK) holds the same text: the GBK form of
    // a text with characters outside ASCII, else the text itself. Lookups by a key text (an
    // account name, an address, a link) match both forms, so rows of an older file are found.
    static std::string LegacyForm(const std::string& text);

    // A LIKE pattern (with ESCAPE '\') that finds the keyword anywhere in a text, taking every
    // character of it literally; LIKE still ignores the case of ASCII letters.
    static std::string ContainsPattern(const std::string& keyword);

    // The current local time as "YYYY-MM-DD HH:MM:SS".
    static std::string LocalTimeText();

    // One index a store wants. An index of another name over the same leading columns (from an
    // older file) serves as well; a partial index is known by its name only.
    struct IndexSpec {
        const char* name;
        const char* table;
        const char* columns; // "item_feedid, item_id"
        const char* where;   // nullptr, or the condition of a partial index
    };
    struct TableSpec {
        const char* name;
        const char* definition; // the column list, as in CREATE TABLE name (definition)
    };

    // Creates the tables and indexes that the file lacks, all in one transaction; a file that
    // holds them all is only read, so opening a store never waits for another writer. A file
    // that held none of the tables is marked as one that holds only UTF-8.
    static void EnsureSchema(CSqlDatabase& db, const std::vector<TableSpec>& tables,
                             const std::vector<IndexSpec>& indexes);

    // Adds to an existing table the columns a later version of the program keeps there ("name
    // TYPE" each), in one transaction; rows already stored read them as NULL. A table that has
    // them all is only read.
    static void EnsureColumns(CSqlDatabase& db, const char* table,
                              const std::vector<std::pair<const char*, const char*>>& columns);

    // False for a file this program made from the start: no older store ever wrote GBK into
    // it, so lookups need not try the GBK forms of their texts.
    static bool MayHoldLegacyText(CSqlDatabase& db);

private:
    static bool TableExists(CSqlDatabase& db, const char* table);
    static bool ColumnExists(CSqlDatabase& db, const char* table, const char* column);
    static bool IndexExists(CSqlDatabase& db, const IndexSpec& index);
};
