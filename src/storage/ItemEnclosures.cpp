#include "storage/ItemEnclosures.h"

#include "storage/SqlDatabase.h"
#include "storage/SqlQuery.h"
#include "storage/SqlStatement.h"
#include "storage/Transaction.h"

#include <string>

namespace {

const char* TableName(CItemEnclosures::Table table) {
    return table == CItemEnclosures::Table::kReceived ? "rss_enclosure" : "rssfavorite_enclosure";
}

struct SchemaObject {
    const char* type;
    const char* name;
    const char* sql;
};

constexpr SchemaObject kObjects[] = {
    {"table", "rss_enclosure",
     "CREATE TABLE IF NOT EXISTS rss_enclosure (enc_itemid INTEGER, enc_url TEXT, "
     "enc_type TEXT, enc_length INTEGER DEFAULT 0);"},
    {"index", "rss_enclosure_item",
     "CREATE INDEX IF NOT EXISTS rss_enclosure_item ON rss_enclosure (enc_itemid);"},
    {"trigger", "rss_data_enclosures_go",
     "CREATE TRIGGER IF NOT EXISTS rss_data_enclosures_go AFTER DELETE ON rss_data BEGIN "
     "DELETE FROM rss_enclosure WHERE enc_itemid = old.item_id; END;"},
    {"table", "rssfavorite_enclosure",
     "CREATE TABLE IF NOT EXISTS rssfavorite_enclosure (enc_itemid INTEGER, enc_url TEXT, "
     "enc_type TEXT, enc_length INTEGER DEFAULT 0);"},
    {"index", "rssfavorite_enclosure_item",
     "CREATE INDEX IF NOT EXISTS rssfavorite_enclosure_item ON rssfavorite_enclosure "
     "(enc_itemid);"},
    {"trigger", "rssfavorite_data_enclosures_go",
     "CREATE TRIGGER IF NOT EXISTS rssfavorite_data_enclosures_go AFTER DELETE ON "
     "rssfavorite_data BEGIN DELETE FROM rssfavorite_enclosure WHERE enc_itemid = old.item_id; "
     "END;"},
};

bool Exists(CSqlDatabase& db, const SchemaObject& object) {
    return db.CompileStatement("SELECT 1 FROM sqlite_master WHERE type = ?1 AND name = ?2;")
        .Bind(1, object.type)
        .Bind(2, object.name)
        .ExecScalar()
        .has_value();
}

} // namespace

void CItemEnclosures::EnsureSchema(CSqlDatabase& db) {
    bool complete = true;
    for (const SchemaObject& object : kObjects)
        complete = complete && Exists(db, object);
    if (complete)
        return; // a store that has it takes no write lock for it
    CTransaction transaction(db);
    for (const SchemaObject& object : kObjects)
        db.ExecuteUpdate(object.sql);
    transaction.Commit();
}

void CItemEnclosures::Insert(CSqlDatabase& db, Table table, int64_t itemId,
                             const std::vector<FeedEnclosure>& enclosures) {
    if (enclosures.empty())
        return;
    CSqlStatement insert = db.CompileStatement(
        std::string("INSERT INTO ") + TableName(table) +
        " (enc_itemid, enc_url, enc_type, enc_length) VALUES (?1, ?2, ?3, ?4);");
    for (const FeedEnclosure& enclosure : enclosures) {
        insert.Reset();
        insert.Bind(1, itemId).Bind(2, enclosure.url).Bind(3, enclosure.type);
        insert.Bind(4, enclosure.length).ExecDML();
    }
}

std::vector<FeedEnclosure> CItemEnclosures::Read(CSqlDatabase& db, Table table, int64_t itemId) {
    std::vector<FeedEnclosure> enclosures;
    CSqlStatement select =
        db.CompileStatement(std::string("SELECT enc_url, enc_type, enc_length FROM ") +
                            TableName(table) + " WHERE enc_itemid = ?1 ORDER BY rowid;");
    select.Bind(1, itemId);
    for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
        enclosures.push_back(
            {.url = rows.GetText(0), .type = rows.GetText(1), .length = rows.GetInt64(2)});
    return enclosures;
}

void CItemEnclosures::CopyToFavorite(CSqlDatabase& db, int64_t itemId, int64_t favoriteId) {
    db.CompileStatement("INSERT INTO rssfavorite_enclosure (enc_itemid, enc_url, enc_type, "
                        "enc_length) SELECT ?2, enc_url, enc_type, enc_length FROM rss_enclosure "
                        "WHERE enc_itemid = ?1 ORDER BY rowid;")
        .Bind(1, itemId)
        .Bind(2, favoriteId)
        .ExecDML();
}
