#include "storage/FeedMerge.h"

#include "platform/text/ReasonText.h"

#include "storage/CppSQLite3Exception.h"
#include "storage/FeedDatabase.h"
#include "storage/ItemEnclosures.h"
#include "storage/MergeFilter.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "storage/Transaction.h"

namespace {

// Add, Restart or Commit without a merge under way (never begun, or already over).
StoreResult NotBegun() {
    return {.reason = "没有进行中的合并"};
}

} // namespace

CFeedMerge::CFeedMerge(CFeedDatabase& store) : m_store(store) {}

CFeedMerge::~CFeedMerge() {
    Abandon();
}

void CFeedMerge::Abandon() {
    m_transaction.reset(); // rolls back unless committed
    m_pending.clear();
    m_copies.clear();
    m_staged = false;
}

StoreResult CFeedMerge::Fail(StoreResult failed) {
    Abandon();
    return failed;
}

StoreResult CFeedMerge::Begin(int feedId, StorageRule rule, int storageNum) {
    Abandon();
    m_feedId = feedId;
    m_rule = rule;
    m_storageNum = storageNum;
    m_nextSeq = 0;
    m_added = 0;
    bool exists = false;
    const StoreResult ok = m_store.Run([&](CSqlDatabase& db) {
        m_transaction = std::make_unique<CTransaction>(db);
        // Asked under the write lock: a removal of the channel either finished before this
        // point or waits until the merge is over, and then takes its items with it.
        exists = db.CompileStatement("SELECT 1 FROM feed_data WHERE feed_id = ?1;")
                     .Bind(1, feedId)
                     .ExecScalar()
                     .has_value();
        if (!exists)
            return;
        // Scratch rows of this channel never outlive a merge.
        db.CompileStatement("DELETE FROM rsstemp_data WHERE item_feedid = ?1;")
            .Bind(1, feedId)
            .ExecDML();
        db.ExecuteUpdate("CREATE TEMP TABLE IF NOT EXISTS quill_listed_links "
                         "(link TEXT PRIMARY KEY) WITHOUT ROWID;"
                         "DELETE FROM temp.quill_listed_links;"
                         "CREATE TEMP TABLE IF NOT EXISTS quill_merge_items (seq INTEGER PRIMARY "
                         "KEY, link TEXT, title TEXT, author TEXT, description TEXT, pubdate TEXT, "
                         "read INTEGER DEFAULT 0, important INTEGER DEFAULT 0);"
                         "DELETE FROM temp.quill_merge_items;"
                         "CREATE TEMP TABLE IF NOT EXISTS quill_merge_enclosures (seq INTEGER, "
                         "url TEXT, type TEXT, length INTEGER);"
                         "DELETE FROM temp.quill_merge_enclosures;");
    });
    if (!ok)
        return Fail(ok);
    if (!exists)
        return Fail({.reason = CReasonText::Text(Reason::kChannelGone)});
    return ok;
}

std::vector<const FeedItem*> CFeedMerge::Fresh(const std::vector<FeedItem>& items) {
    // What is new is decided against the rows stored before this download (the channel's rows
    // do not change until Commit), so two items of one download that share a link are both
    // stored. A known link is never updated.
    CSqlStatement known = m_store.Db().CompileStatement(
        "SELECT 1 FROM rss_data WHERE item_feedid = ?1 AND item_link = ?2 LIMIT 1;");
    known.Bind(1, m_feedId);
    const auto holds = [&known](const std::string& link) {
        return known.Bind(2, link).ExecScalar().has_value();
    };
    std::vector<const FeedItem*> fresh;
    fresh.reserve(items.size());
    for (const FeedItem& item : items) {
        if (holds(item.link))
            continue;
        const std::string legacy = m_store.LegacyForm(item.link);
        if (legacy != item.link && holds(legacy))
            continue;
        fresh.push_back(&item);
    }
    return fresh;
}

void CFeedMerge::ListLinks(const std::vector<FeedItem>& items) {
    if (m_rule != StorageRule::kSyncWithSource)
        return;
    CSqlStatement list = m_store.Db().CompileStatement(
        "INSERT OR IGNORE INTO temp.quill_listed_links (link) VALUES (?1);");
    for (const FeedItem& item : items) {
        list.Bind(1, item.link).ExecDML();
        const std::string legacy = m_store.LegacyForm(item.link);
        if (legacy != item.link)
            list.Bind(1, legacy).ExecDML();
    }
}

CFeedMerge::Verdict CFeedMerge::Apply(const FeedItem& item) {
    if (!m_filter)
        return {};
    const MergeVerdict verdict = m_filter->Judge(item);
    CSqlDatabase& db = m_store.Db();
    for (int folder : verdict.favoriteFolders) {
        db.CompileStatement("INSERT INTO feedfav_data (feed_id) SELECT ?1 WHERE NOT EXISTS "
                            "(SELECT 1 FROM feedfav_data WHERE feed_id = ?1);")
            .Bind(1, folder)
            .ExecDML();
        CSqlStatement copy = db.CompileStatement(
            "INSERT INTO rssfavorite_data (item_feedid, item_link, item_title, item_author, "
            "item_description, item_pubDate, item_important) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
            "?7);");
        copy.Bind(1, folder).Bind(2, item.link).Bind(3, item.title).Bind(4, item.author);
        copy.Bind(5, item.description).Bind(6, item.pubDate).Bind(7, verdict.important ? 1 : 0);
        copy.ExecDML();
        m_copies.push_back(db.LastInsertRowId());
        CItemEnclosures::Insert(db, CItemEnclosures::Table::kFavorite, m_copies.back(),
                                item.enclosures);
    }
    return {.keep = !verdict.drop, .read = verdict.markRead, .important = verdict.important};
}

void CFeedMerge::Stage(const std::vector<FeedItem>& items) {
    CSqlStatement stage = m_store.Db().CompileStatement(
        "INSERT INTO temp.quill_merge_items (seq, link, title, author, description, pubdate, "
        "read, important) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);");
    CSqlStatement stageFiles = m_store.Db().CompileStatement(
        "INSERT INTO temp.quill_merge_enclosures (seq, url, type, length) "
        "VALUES (?1, ?2, ?3, ?4);");
    for (const FeedItem* item : Fresh(items)) {
        const Verdict verdict = Apply(*item);
        if (!verdict.keep)
            continue;
        const auto seq = static_cast<int64_t>(m_nextSeq++);
        stage.Bind(1, seq).Bind(2, item->link).Bind(3, item->title);
        stage.Bind(4, item->author).Bind(5, item->description).Bind(6, item->pubDate);
        stage.Bind(7, verdict.read ? 1 : 0).Bind(8, verdict.important ? 1 : 0).ExecDML();
        for (const FeedEnclosure& file : item->enclosures) {
            stageFiles.Bind(1, seq).Bind(2, file.url).Bind(3, file.type);
            stageFiles.Bind(4, file.length).ExecDML();
        }
        ++m_added;
    }
    ListLinks(items);
    m_staged = true;
}

StoreResult CFeedMerge::Add(std::vector<FeedItem>& items) {
    if (!m_transaction)
        return NotBegun();
    if (!m_staged && m_pending.empty()) {
        // Perhaps the whole download: kept until a second part shows it is not.
        m_pending.swap(items);
        items.clear();
        return {.ok = true};
    }
    const StoreResult ok = m_store.Run([&](CSqlDatabase&) {
        if (!m_pending.empty()) {
            Stage(m_pending);
            std::vector<FeedItem>().swap(m_pending);
        }
        Stage(items);
    });
    items.clear();
    return ok ? ok : Fail(ok);
}

StoreResult CFeedMerge::Restart() {
    if (!m_transaction)
        return NotBegun();
    std::vector<FeedItem>().swap(m_pending);
    m_nextSeq = 0;
    m_added = 0;
    m_staged = false;
    const StoreResult ok = m_store.Run([&](CSqlDatabase& db) {
        db.ExecuteUpdate("DELETE FROM temp.quill_listed_links;"
                         "DELETE FROM temp.quill_merge_items;"
                         "DELETE FROM temp.quill_merge_enclosures;");
        // The copies the filter made of the parts read so far are made again.
        CSqlStatement uncopy =
            db.CompileStatement("DELETE FROM rssfavorite_data WHERE item_id = ?1;");
        for (int64_t id : m_copies)
            uncopy.Bind(1, id).ExecDML();
        m_copies.clear();
    });
    return ok ? ok : Fail(ok);
}

StoreResult CFeedMerge::Commit(int* added) {
    if (added)
        *added = 0;
    if (!m_transaction)
        return NotBegun();
    const StoreResult ok = m_store.Run([&](CSqlDatabase& db) {
        if (!m_staged) {
            // One part: straight from memory, last item first, so the download's first item
            // gets the highest id and the download's order stands at the top of the list.
            const std::vector<const FeedItem*> fresh = Fresh(m_pending);
            CSqlStatement insert =
                db.CompileStatement("INSERT INTO rss_data (item_feedid, item_new, item_read, "
                                    "item_link, item_title, item_author, item_description, "
                                    "item_pubDate, item_important) VALUES (?1, ?7, ?8, ?2, ?3, "
                                    "?4, ?5, ?6, ?9);");
            insert.Bind(1, m_feedId);
            m_added = 0;
            // The verdicts in the download's order, as the rules see the items.
            std::vector<Verdict> verdicts;
            for (const FeedItem* item : fresh)
                verdicts.push_back(Apply(*item));
            for (size_t i = fresh.size(); i-- > 0;) {
                const FeedItem& item = *fresh[i];
                if (!verdicts[i].keep)
                    continue;
                ++m_added;
                insert.Bind(2, item.link).Bind(3, item.title).Bind(4, item.author);
                insert.Bind(5, item.description).Bind(6, item.pubDate);
                insert.Bind(7, verdicts[i].read ? 0 : 1).Bind(8, verdicts[i].read ? 1 : 0);
                insert.Bind(9, verdicts[i].important ? 1 : 0);
                insert.ExecDML();
                CItemEnclosures::Insert(db, CItemEnclosures::Table::kReceived, db.LastInsertRowId(),
                                        item.enclosures);
            }
            ListLinks(m_pending);
        } else {
            // Several parts: the scratch rows, last first, for the same order of ids.
            db.CompileStatement(
                  "INSERT INTO rss_data (item_feedid, item_new, item_read, item_link, item_title, "
                  "item_author, item_description, item_pubDate, item_important) SELECT ?1, "
                  "1 - read, read, link, title, author, description, pubdate, important FROM "
                  "temp.quill_merge_items ORDER BY seq DESC;")
                .Bind(1, m_feedId)
                .ExecDML();
            // The rows got consecutive ids, the last one the first of the download (seq 0):
            // an item's id is the last id less its seq.
            db.CompileStatement("INSERT INTO rss_enclosure (enc_itemid, enc_url, enc_type, "
                                "enc_length) SELECT ?1 - seq, url, type, length FROM "
                                "temp.quill_merge_enclosures ORDER BY rowid;")
                .Bind(1, db.LastInsertRowId())
                .ExecDML();
            db.ExecuteUpdate("DELETE FROM temp.quill_merge_items;"
                             "DELETE FROM temp.quill_merge_enclosures;");
        }

        if (m_rule == StorageRule::kSyncWithSource) {
            // Read or not, what the source no longer lists goes.
            db.CompileStatement("DELETE FROM rss_data WHERE item_feedid = ?1 AND item_link NOT IN "
                                "(SELECT link FROM temp.quill_listed_links);")
                .Bind(1, m_feedId)
                .ExecDML();
        } else if (m_rule == StorageRule::kKeepNewest) {
            // With a count of 0 the inner list is empty, its minimum NULL, and nothing goes.
            db.CompileStatement(
                  "DELETE FROM rss_data WHERE item_feedid = ?1 AND item_id < (SELECT min(item_id) "
                  "FROM (SELECT item_id FROM rss_data WHERE item_feedid = ?1 "
                  "ORDER BY item_id DESC LIMIT ?2));")
                .Bind(1, m_feedId)
                .Bind(2, m_storageNum)
                .ExecDML();
        }
        db.ExecuteUpdate("DELETE FROM temp.quill_listed_links;");
        m_transaction->Commit();
    });
    if (!ok)
        return Fail(ok);
    m_transaction.reset();
    std::vector<FeedItem>().swap(m_pending);
    if (added)
        *added = m_added;
    return {.ok = true};
}
