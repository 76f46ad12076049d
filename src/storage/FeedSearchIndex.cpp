#include "storage/FeedSearchIndex.h"

#include "platform/text/TextCodec.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/SearchTokenizer.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "storage/Transaction.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <vector>

namespace {

// Each row's tokens (see CSearchTokenizer) with their columns and places, without column sizes
// (results are not ranked). A keyword is looked up as the phrase of its tokens, so a run of
// ideographs is found exactly where its pairs follow each other. The index holds no copy of the
// texts: rows are named by item_id, the rowid of rss_data.
//
// Writing a row's tokens costs more than the row's own insert, and taking them out costs as
// much, so the writes of rss_data do neither: their triggers only note what changed, and
// CatchUp applies it later, in batches.
// - rss_search_pending holds the ids of rows to be indexed: an insert queues its row; a change of
//   the texts (or of the id) queues the row under its new id.
// - rss_search_gone holds the old texts of indexed rows that were deleted or changed, since the
//   index keeps no copy of them and must be told exactly what to take out; once the row has left
//   or changed they can no longer be read from rss_data.
// A row that is still queued is not in the index, so deleting or changing it only takes it out
// of the queue. Every row of rss_data is thus either in the index with its present texts or in
// the queue; the index may besides hold the old texts of rows noted in rss_search_gone. A search
// looks in the index and in the queue, and the LIKE test on rss_data drops whatever the old
// texts name, so it finds exactly the scan's rows whatever the queues hold.
constexpr const char* kCreateTables =
    "CREATE VIRTUAL TABLE rss_search USING fts5(item_title, item_description, "
    "content='rss_data', content_rowid='item_id', tokenize='quill', columnsize=0);";

// How the table of the present index is declared; an index made otherwise (the trigram index
// of earlier versions) is replaced.
constexpr const char* kIndexMark = "tokenize='quill'";

constexpr const char* kCreateQueue =
    "CREATE TABLE rss_search_pending (id INTEGER PRIMARY KEY);"
    "CREATE TABLE rss_search_gone (seq INTEGER PRIMARY KEY, id INTEGER, item_title TEXT, "
    "item_description TEXT);"
    "CREATE TRIGGER rss_search_insert AFTER INSERT ON rss_data BEGIN "
    "INSERT OR IGNORE INTO rss_search_pending (id) VALUES (new.item_id); END;"
    "CREATE TRIGGER rss_search_delete AFTER DELETE ON rss_data BEGIN "
    "INSERT INTO rss_search_gone (id, item_title, item_description) "
    "SELECT old.item_id, old.item_title, old.item_description "
    "WHERE NOT EXISTS (SELECT 1 FROM rss_search_pending WHERE id = old.item_id); "
    "DELETE FROM rss_search_pending WHERE id = old.item_id; END;"
    "CREATE TRIGGER rss_search_update AFTER UPDATE OF item_id, item_title, item_description "
    "ON rss_data BEGIN "
    "INSERT INTO rss_search_gone (id, item_title, item_description) "
    "SELECT old.item_id, old.item_title, old.item_description "
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
    return CountOf(db, "'rss_search', 'rss_search_pending', 'rss_search_gone', "
                       "'rss_search_insert', 'rss_search_delete', 'rss_search_update'") == 6;
}

bool Current(CSqlDatabase& db) {
    const std::optional<int64_t> found =
        db.CompileStatement("SELECT count(*) FROM sqlite_master WHERE name = 'rss_search' AND "
                            "instr(sql, ?1) > 0;")
            .Bind(1, std::string(kIndexMark))
            .ExecScalar();
    return found.value_or(0) == 1;
}

} // namespace

bool CFeedSearchIndex::Ensure(CSqlDatabase& db) {
    // Every connection needs the tokenizer before it reads or writes the index.
    if (!CSearchTokenizer::Register(db.Handle()))
        return false; // no FTS5 in this SQLite: searching scans
    if (Complete(db) && Current(db))
        return true;
    CTransaction transaction(db);
    // Looked at again under the write lock: another connection may have made it meanwhile.
    if (Complete(db) && Current(db))
        return true;
    // A store from before the index, one with the trigram index of earlier versions, or one
    // whose index is damaged: the index starts empty and every row is queued, which takes a
    // moment even for a million rows; the filling is left to CatchUp, off the window's thread.
    db.ExecuteUpdate(kDropTriggers);
    // Dropping a large index takes as long as writing it (half a minute for the trigram index
    // of a million items): an index of another kind is only renamed here, and CatchUp takes
    // it apart a batch at a time.
    if (CountOf(db, "'rss_search'") == 1 && !Current(db) && CountOf(db, "'rss_search_old'") == 0)
        db.ExecuteUpdate("ALTER TABLE rss_search RENAME TO rss_search_old;");
    db.ExecuteUpdate("DROP TABLE IF EXISTS rss_search;"
                     "DROP TABLE IF EXISTS rss_search_pending;"
                     "DROP TABLE IF EXISTS rss_search_gone;");
    db.ExecuteUpdate(kCreateTables);
    db.ExecuteUpdate(kCreateQueue);
    // In the order of the ids: the queue is then written by appending, five times faster for a
    // million rows than in the order of an index that the query would otherwise read.
    db.ExecuteUpdate(
        "INSERT INTO rss_search_pending (id) SELECT item_id FROM rss_data ORDER BY item_id;");
    transaction.Commit();
    return true;
}

void CFeedSearchIndex::Rebuild(CSqlDatabase& db) {
    if (!CSearchTokenizer::Register(db.Handle()))
        return;
    // One transaction: what is left of an index of earlier versions is dropped, the index is
    // read again from every row, and both queues are emptied.
    CTransaction transaction(db);
    db.ExecuteUpdate("DROP TABLE IF EXISTS rss_search_old;"
                     "INSERT INTO rss_search (rss_search) VALUES ('rebuild');"
                     "DELETE FROM rss_search_pending; DELETE FROM rss_search_gone;"
                     "INSERT INTO rss_search (rss_search) VALUES ('optimize');");
    transaction.Commit();
}

int64_t CFeedSearchIndex::PendingRows(CSqlDatabase& db, int64_t atMost) {
    // Counting stops at the limit: the caller only needs to know whether the queues are short.
    return db
        .CompileStatement("SELECT count(*) FROM (SELECT 1 FROM rss_search_gone UNION ALL "
                          "SELECT 1 FROM rss_search_pending LIMIT ?1);")
        .Bind(1, atMost)
        .ExecScalar()
        .value_or(0);
}

namespace {

// One batch of up to `batch` rows from the queue (table, ordered by key), in the caller's
// transaction: the rows up to the batch's last key are applied with apply (the bound given as
// "<= last", or empty for all) and leave the queue. Returns how many left it.
int64_t FoldBatch(CSqlDatabase& db, const std::string& table, const std::string& key, int64_t batch,
                  const std::function<void(const std::string&)>& apply) {
    const std::optional<int64_t> last =
        db.CompileStatement("SELECT " + key + " FROM " + table + " ORDER BY " + key +
                            " LIMIT 1 OFFSET ?1;")
            .Bind(1, batch - 1)
            .ExecScalar();
    const std::string upTo = last ? " WHERE " + key + " <= " + std::to_string(*last) : "";
    apply(upTo);
    return db.ExecuteUpdate("DELETE FROM " + table + upTo + ";");
}

} // namespace

int64_t CFeedSearchIndex::OldIndexLeft(CSqlDatabase& db) {
    if (CountOf(db, "'rss_search_old'") == 0)
        return 0;
    // Its blocks; the records up to 10 (FTS5's averages and structure) stay until the drop.
    return db.CompileStatement("SELECT count(*) FROM rss_search_old_data WHERE rowid > 10;")
               .ExecScalar()
               .value_or(0) +
           1;
}

int64_t CFeedSearchIndex::CatchUp(CSqlDatabase& db, int64_t maxRows) {
    int64_t folded = 0;
    // The index of earlier versions goes first, kCatchUpBatch of its blocks to a transaction;
    // once they are gone, dropping what is left is quick. FTS5's own records (rowid up to 10)
    // stay, so that the table can still be opened to be dropped.
    while (folded < maxRows && CountOf(db, "'rss_search_old'") == 1) {
        CTransaction transaction(db);
        const int64_t removed = db.ExecuteUpdate(
            "DELETE FROM rss_search_old_data WHERE rowid IN (SELECT rowid FROM "
            "rss_search_old_data WHERE rowid > 10 LIMIT " +
            std::to_string(std::min<int64_t>(kCatchUpBatch, maxRows - folded)) + ");");
        if (removed == 0)
            db.ExecuteUpdate("DROP TABLE rss_search_old;");
        transaction.Commit();
        folded += std::max<int64_t>(removed, 1);
    }
    while (folded < maxRows) {
        const int64_t batch = std::min<int64_t>(kCatchUpBatch, maxRows - folded);
        // Each batch is one transaction under the write lock: its rows change the index and
        // leave their queue together, so a batch that fails leaves both as they were. The old
        // texts go first: a changed row's new texts are indexed under the same id only once its
        // old ones are out.
        CTransaction transaction(db);
        int64_t rows =
            FoldBatch(db, "rss_search_gone", "seq", batch, [&db](const std::string& upTo) {
                db.ExecuteUpdate(
                    "INSERT INTO rss_search (rss_search, rowid, item_title, item_description) "
                    "SELECT 'delete', id, item_title, item_description FROM rss_search_gone" +
                    upTo + " ORDER BY seq;");
            });
        if (rows == 0) {
            rows = FoldBatch(db, "rss_search_pending", "id", batch, [&db](const std::string& upTo) {
                db.ExecuteUpdate("INSERT INTO rss_search (rowid, item_title, item_description) "
                                 "SELECT item_id, item_title, item_description FROM rss_data "
                                 "WHERE item_id IN (SELECT id FROM rss_search_pending" +
                                 upTo + ");");
            });
        }
        transaction.Commit();
        if (rows == 0)
            break;
        folded += rows;
    }
    return folded;
}

namespace {

// True when every character of the (valid UTF-8) text is read in pairs.
bool AllPaired(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        if (!CSearchTokenizer::IsPaired(CTextCodec::NextCodePoint(text, i)))
            return false;
    }
    return true;
}

} // namespace

std::optional<CFeedSearchIndex::Match>
CFeedSearchIndex::MatchQuery(CSqlDatabase& db, const std::string& keyword, bool inDescription) {
    const CSearchTokenizer tokenizer(CSearchTokenizer::Api(db.Handle()));
    std::string terms;
    int tokens = 0;
    bool ascii = true;
    bool paired = false;
    tokenizer.Tokenize(
        keyword, CSearchTokenizer::Purpose::kQuery, [&](const CSearchTokenizer::Token& token) {
            // A word that the keyword cuts off may go on in the text, and so may a run of
            // ideographs that it ends with; one character of a run may be any of the run's.
            // A pair is a whole token, and so is a word followed by something else.
            const bool whole =
                token.kind == CSearchTokenizer::Kind::kCjkPair ||
                (token.kind == CSearchTokenizer::Kind::kWord && token.end < keyword.size()) ||
                (token.kind == CSearchTokenizer::Kind::kCjkSingle && token.end < keyword.size());
            std::string term = "\"";
            for (char c : token.text) {
                term += c;
                if (c == '"')
                    term += '"';
            }
            term += whole ? "\"" : "\"*";
            terms += (terms.empty() ? "" : " + ") + term;
            ++tokens;
            paired = paired || token.kind != CSearchTokenizer::Kind::kWord;
            return 0;
        });
    if (terms.empty())
        return std::nullopt;
    for (char c : keyword) {
        ascii =
            ascii && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
    }
    // A keyword of ASCII letters and digits is one word, folded as LIKE folds it; a keyword of
    // ideographs alone is a phrase of pairs that only the same run of ideographs holds.
    const bool exact = (ascii && tokens == 1) || (paired && AllPaired(keyword));
    return Match{.query = inDescription ? "(" + terms + ")" : "item_title : (" + terms + ")",
                 .exact = exact};
}
