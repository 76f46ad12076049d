#include "storage/FeedSearchIndex.h"

#include "storage/CppSQLite3Exception.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "storage/Transaction.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

namespace {

// Each row's trigrams and the columns they stand in, without their places (detail=column) and
// without column sizes (results are not ranked): a third of the full index's size. Without places
// a keyword is looked up as all of its trigrams in the same column, a few more candidates than
// the phrase would give; the LIKE test decides. The index holds no copy of the texts: rows are
// named by item_id, the rowid of rss_data.
//
// Writing a row's trigrams costs several times the row's own insert, so the writes of rss_data
// do not do it: their triggers only note the row's id in rss_search_pending, and CatchUp folds
// the noted rows in later, in batches. Every row of rss_data is then either in the index with its
// present texts or in the queue, never both:
// - an insert queues the row;
// - a change of the texts (or of the id) takes an indexed row out of the index, with its old
//   texts, since the index keeps no copy to find them by, and queues it under its new id;
// - a delete takes the row out of the index when it is there and out of the queue when it is
//   there. Deletes are not merely queued: the index must be told the old texts of a row that
//   leaves, and once it has left they can no longer be read.
// A search looks in the index and in the queue, so it finds every row whatever the queue holds.
constexpr const char* kCreateTables =
    "CREATE VIRTUAL TABLE rss_search USING fts5(item_title, item_description, "
    "content='rss_data', content_rowid='item_id', tokenize='trigram case_sensitive 0', "
    "detail='column', columnsize=0);";

constexpr const char* kCreateQueue =
    "CREATE TABLE rss_search_pending (id INTEGER PRIMARY KEY);"
    "CREATE TRIGGER rss_search_insert AFTER INSERT ON rss_data BEGIN "
    "INSERT OR IGNORE INTO rss_search_pending (id) VALUES (new.item_id); END;"
    "CREATE TRIGGER rss_search_delete AFTER DELETE ON rss_data BEGIN "
    "INSERT INTO rss_search (rss_search, rowid, item_title, item_description) "
    "SELECT 'delete', old.item_id, old.item_title, old.item_description "
    "WHERE NOT EXISTS (SELECT 1 FROM rss_search_pending WHERE id = old.item_id); "
    "DELETE FROM rss_search_pending WHERE id = old.item_id; END;"
    "CREATE TRIGGER rss_search_update AFTER UPDATE OF item_id, item_title, item_description "
    "ON rss_data BEGIN "
    "INSERT INTO rss_search (rss_search, rowid, item_title, item_description) "
    "SELECT 'delete', old.item_id, old.item_title, old.item_description "
    "WHERE NOT EXISTS (SELECT 1 FROM rss_search_pending WHERE id = old.item_id); "
    "DELETE FROM rss_search_pending WHERE id = old.item_id; "
    "INSERT OR IGNORE INTO rss_search_pending (id) VALUES (new.item_id); END;";

constexpr const char* kDropTriggers = "DROP TRIGGER IF EXISTS rss_search_insert;"
                                      "DROP TRIGGER IF EXISTS rss_search_delete;"
                                      "DROP TRIGGER IF EXISTS rss_search_update;";

int64_t CountOf(CSqlDatabase& db, const std::string& names) {
    return db.CompileStatement("SELECT count(*) FROM sqlite_master WHERE name IN (" + names + ");")
        .ExecScalar()
        .value_or(0);
}

bool Complete(CSqlDatabase& db) {
    // The tables and the three triggers are made together; the others are checked so that a
    // file edited by hand is repaired too.
    return CountOf(db, "'rss_search', 'rss_search_pending', 'rss_search_insert', "
                       "'rss_search_delete', 'rss_search_update'") == 5;
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
    // Looked at again under the write lock: another connection may have made it meanwhile.
    if (Complete(db))
        return true;
    try {
        if (CountOf(db, "'rss_search', 'rss_search_insert', 'rss_search_delete', "
                        "'rss_search_update'") == 4 &&
            CountOf(db, "'rss_search_pending'") == 0) {
            // An index that its triggers kept in step row by row: it is whole, and only the
            // triggers change to queueing ones.
            db.ExecuteUpdate(kDropTriggers);
            db.ExecuteUpdate(kCreateQueue);
        } else {
            // A store from before the index, or one whose index is damaged: the index starts
            // empty and every row is queued, which takes a moment even for a million rows; the
            // filling is left to CatchUp.
            db.ExecuteUpdate(kDropTriggers);
            db.ExecuteUpdate("DROP TABLE IF EXISTS rss_search;"
                             "DROP TABLE IF EXISTS rss_search_pending;");
            db.ExecuteUpdate(kCreateTables);
            db.ExecuteUpdate(kCreateQueue);
            db.ExecuteUpdate("INSERT INTO rss_search_pending (id) SELECT item_id FROM rss_data;");
        }
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

int64_t CFeedSearchIndex::PendingRows(CSqlDatabase& db, int64_t atMost) {
    // Counting stops at the limit: the caller only needs to know whether the queue is small.
    return db.CompileStatement("SELECT count(*) FROM (SELECT 1 FROM rss_search_pending LIMIT ?1);")
        .Bind(1, atMost)
        .ExecScalar()
        .value_or(0);
}

int64_t CFeedSearchIndex::CatchUp(CSqlDatabase& db, int64_t maxRows) {
    int64_t folded = 0;
    while (folded < maxRows) {
        const int64_t batch = std::min<int64_t>(kCatchUpBatch, maxRows - folded);
        CTransaction transaction(db);
        // The highest id of this batch, read under the write lock: the rows up to it are
        // indexed and leave the queue in the same transaction, so a batch that fails leaves
        // both as they were.
        const std::optional<int64_t> last =
            db.CompileStatement("SELECT id FROM rss_search_pending ORDER BY id LIMIT 1 OFFSET ?1;")
                .Bind(1, batch - 1)
                .ExecScalar();
        const std::string upTo = last ? " WHERE id <= " + std::to_string(*last) : "";
        db.ExecuteUpdate("INSERT INTO rss_search (rowid, item_title, item_description) "
                         "SELECT item_id, item_title, item_description FROM rss_data "
                         "WHERE item_id IN (SELECT id FROM rss_search_pending" +
                         upTo + ");");
        const int64_t rows = db.ExecuteUpdate("DELETE FROM rss_search_pending" + upTo + ";");
        transaction.Commit();
        folded += rows;
        if (!last)
            break;
    }
    return folded;
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
