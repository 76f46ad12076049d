#include "storage/FeedSearchIndex.h"

#include "storage/CppSQLite3Exception.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "storage/Transaction.h"

#include <set>
#include <vector>

namespace {

// Each row's trigrams and the columns they stand in, without their places (detail=column) and
// without column sizes (results are not ranked): a third of the full index's size, and a merge
// writes that much less. Without places a keyword is looked up as all of its trigrams in the same
// column, a few more candidates than the phrase would give; the LIKE test decides. Each trigger
// names the row by item_id, the rowid of rss_data. An external-content table is told the old
// texts when a row leaves, since it keeps no copy of its own.
constexpr const char* kCreate =
    "CREATE VIRTUAL TABLE rss_search USING fts5(item_title, item_description, "
    "content='rss_data', content_rowid='item_id', tokenize='trigram case_sensitive 0', "
    "detail='column', columnsize=0);"
    "CREATE TRIGGER rss_search_insert AFTER INSERT ON rss_data BEGIN "
    "INSERT INTO rss_search (rowid, item_title, item_description) "
    "VALUES (new.item_id, new.item_title, new.item_description); END;"
    "CREATE TRIGGER rss_search_delete AFTER DELETE ON rss_data BEGIN "
    "INSERT INTO rss_search (rss_search, rowid, item_title, item_description) "
    "VALUES ('delete', old.item_id, old.item_title, old.item_description); END;"
    "CREATE TRIGGER rss_search_update AFTER UPDATE OF item_id, item_title, item_description "
    "ON rss_data BEGIN "
    "INSERT INTO rss_search (rss_search, rowid, item_title, item_description) "
    "VALUES ('delete', old.item_id, old.item_title, old.item_description); "
    "INSERT INTO rss_search (rowid, item_title, item_description) "
    "VALUES (new.item_id, new.item_title, new.item_description); END;"
    "INSERT INTO rss_search (rss_search) VALUES ('rebuild');"
    // One segment instead of the many that filling leaves: otherwise the merging of those
    // would fall on the next receives, a little at each.
    "INSERT INTO rss_search (rss_search) VALUES ('optimize');";

bool Complete(CSqlDatabase& db) {
    // The table and its three triggers are made together; looking for the last is enough, and
    // the others are checked so that a file edited by hand is repaired too.
    return db.CompileStatement("SELECT count(*) FROM sqlite_master WHERE name IN ('rss_search', "
                               "'rss_search_insert', 'rss_search_delete', 'rss_search_update');")
               .ExecScalar()
               .value_or(0) == 4;
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

} // namespace

bool CFeedSearchIndex::Ensure(CSqlDatabase& db) {
    if (Complete(db))
        return true;
    CTransaction transaction(db);
    // Looked at again under the write lock: another connection may have built it meanwhile.
    if (Complete(db))
        return true;
    // Whatever a damaged file holds of it goes first; it is built again from the items.
    db.ExecuteUpdate("DROP TRIGGER IF EXISTS rss_search_insert;"
                     "DROP TRIGGER IF EXISTS rss_search_delete;"
                     "DROP TRIGGER IF EXISTS rss_search_update;"
                     "DROP TABLE IF EXISTS rss_search;");
    try {
        db.ExecuteUpdate(kCreate);
    } catch (const CppSQLite3Exception& e) {
        // No FTS5 or no trigram tokenizer in this SQLite: nothing is kept, searching scans.
        const std::string message = e.Message();
        if (message.find("no such module") == std::string::npos &&
            message.find("no such tokenizer") == std::string::npos)
            throw;
        transaction.Rollback();
        return false;
    }
    transaction.Commit();
    return true;
}

bool CFeedSearchIndex::Serves(const std::string& keyword) {
    return CharacterCount(keyword) >= kMinimumCharacters;
}

std::string CFeedSearchIndex::MatchQuery(const std::string& keyword, bool inDescription) {
    // The code points, each as its bytes.
    std::vector<std::string> characters;
    for (size_t i = 0; i < keyword.size();) {
        size_t end = i + 1;
        while (end < keyword.size() && (static_cast<unsigned char>(keyword[end]) & 0xC0) == 0x80)
            ++end;
        characters.push_back(keyword.substr(i, end - i));
        i = end;
    }
    std::set<std::string> seen;
    std::string terms;
    for (size_t i = 0; i + kMinimumCharacters <= characters.size(); ++i) {
        std::string term = "\"";
        for (size_t k = i; k < i + kMinimumCharacters; ++k) {
            for (char c : characters[k]) {
                term += c;
                if (c == '"')
                    term += '"';
            }
        }
        term += '"';
        if (!seen.insert(term).second)
            continue;
        terms += (terms.empty() ? "" : " AND ") + term;
    }
    return inDescription ? "(" + terms + ")" : "item_title : (" + terms + ")";
}
