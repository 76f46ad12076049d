#include "storage/FeedDatabase.h"

#include "storage/FeedMerge.h"

#include "app/AppContext.h"
#include "platform/text/TextCodec.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/FeedSearchIndex.h"
#include "storage/ItemEnclosures.h"
#include "storage/StoreSql.h"

namespace {

constexpr const char* kItemNotFound = "没有对应id的rss item";

// Every field of an item row, and the columns of the lists (no link, no description).
constexpr const char* kItemColumns =
    "item_id, item_feedid, item_new, item_read, item_title, item_link, item_description, "
    "item_pubDate, item_author, item_important";
constexpr const char* kListColumns =
    "item_id, item_new, item_read, item_title, item_author, item_pubDate, item_important";
constexpr const char* kFavoriteColumns = "item_id, item_feedid, item_title, item_link, "
                                         "item_description, item_pubDate, item_author, "
                                         "item_important";

// An id list as the right side of "IN": the JSON array bound at the given parameter.
std::string InIds(int parameter) {
    return "(SELECT value FROM json_each(?" + std::to_string(parameter) + "))";
}

// Deletes the rows of the table whose column holds one of the ids (an IdArray text).
void DeleteIn(CSqlDatabase& db, const char* table, const char* column, const std::string& ids) {
    db.CompileStatement(std::string("DELETE FROM ") + table + " WHERE " + column + " IN " +
                        InIds(1) + ";")
        .Bind(1, ids)
        .ExecDML();
}

FeedItem ReadFullItem(const CSqlQuery& row) {
    FeedItem item;
    item.id = row.GetInt(0);
    item.feedId = row.GetInt(1);
    item.isNew = row.GetInt(2);
    item.isRead = row.GetInt(3);
    item.title = row.GetText(4);
    item.link = row.GetText(5);
    item.description = row.GetText(6);
    item.pubDate = row.GetText(7);
    item.author = row.GetText(8);
    item.isImportant = row.GetInt(9);
    return item;
}

FeedItem ReadListItem(const CSqlQuery& row, int feedId) {
    FeedItem item;
    item.id = row.GetInt(0);
    item.feedId = feedId;
    item.isNew = row.GetInt(1);
    item.isRead = row.GetInt(2);
    item.title = row.GetText(3);
    item.author = row.GetText(4);
    item.pubDate = row.GetText(5);
    item.isImportant = row.GetInt(6);
    return item;
}

FeedItem ReadFavorite(const CSqlQuery& row) {
    FeedItem item;
    item.id = row.GetInt(0);
    item.feedId = row.GetInt(1);
    item.title = row.GetText(2);
    item.link = row.GetText(3);
    item.description = row.GetText(4);
    item.pubDate = row.GetText(5);
    item.author = row.GetText(6);
    item.isImportant = row.GetInt(7);
    return item;
}

// The condition that a list filter adds; false for a filter that does not exist. The
// constants stand in the text so that the partial index of new items can serve kNew.
bool FilterCondition(ItemFilter filter, std::string& condition) {
    switch (filter) {
    case ItemFilter::kAll:
        condition.clear();
        return true;
    case ItemFilter::kRead:
        condition = " AND item_read = 1";
        return true;
    case ItemFilter::kUnread:
        condition = " AND item_read = 0";
        return true;
    case ItemFilter::kNew:
        condition = " AND item_new = 1";
        return true;
    default:
        return false;
    }
}

const char* ItemTable(ItemOrigin origin) {
    return origin == ItemOrigin::kWebSearch ? "rsstemp_data" : "rss_data";
}

constexpr const char* kItemTableColumns =
    "item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid INTEGER, "
    "item_new INTEGER DEFAULT 0, item_read INTEGER DEFAULT 0, item_link TEXT, item_title TEXT, "
    "item_author TEXT, item_description TEXT, item_pubDate TEXT, "
    "item_important INTEGER DEFAULT 0";

// Columns that came after the first release, for the tables of an older file.
const std::vector<std::pair<const char*, const char*>> kImportantColumn = {
    {"item_important", "INTEGER DEFAULT 0"}};

} // namespace

CFeedDatabase::CFeedDatabase(const CAppContext& context) : CLocalDatabase(PathOf(context)) {}

CFeedDatabase::CFeedDatabase(std::string path) : CLocalDatabase(std::move(path)) {}

std::string CFeedDatabase::PathOf(const CAppContext& context) {
    return context.FilePath("Storage\\rss.db");
}

void CFeedDatabase::CreateSchema(CSqlDatabase& db) {
    // AUTOINCREMENT keeps ids from being given twice: a list that still shows a trimmed item
    // can never open a newer one under its id. The defaults make a new channel follow the
    // global storage settings and take part in receiving all channels.
    CStoreSql::EnsureSchema(
        db,
        {
            {"feed_data", "feed_id INTEGER PRIMARY KEY AUTOINCREMENT, feed_url TEXT, "
                          "feed_rssrank INTEGER DEFAULT 0, feed_storagetype INTEGER DEFAULT 0, "
                          "feed_storagenum INTEGER DEFAULT 200, feed_autoupdate INTEGER DEFAULT 1, "
                          "feed_newitemshowtip INTEGER DEFAULT 0"},
            {"rss_data", kItemTableColumns},
            {"rsstemp_data", kItemTableColumns},
            {"rssfavorite_data", "item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid INTEGER, "
                                 "item_link TEXT, item_title TEXT, item_author TEXT, "
                                 "item_description TEXT, item_pubDate TEXT, "
                                 "item_important INTEGER DEFAULT 0"},
            {"feedfav_data", "feed_id INTEGER PRIMARY KEY, feed_readcount INTEGER DEFAULT 0"},
            // The validators of each channel's last answer, for conditional receiving.
            {"feed_validators", "feed_id INTEGER PRIMARY KEY, etag TEXT, last_modified TEXT"},
            // Permanent moves and 410 Gone answers of each channel's address. An older store
            // gains the table on its first open.
            {"feed_standing", "feed_id INTEGER PRIMARY KEY, moved_url TEXT, "
                              "moved_count INTEGER DEFAULT 0, gone INTEGER DEFAULT 0"},
        },
        {
            // A channel's pages in id order, and its count.
            {"rss_data_feed_item", "rss_data", "item_feedid, item_id", nullptr},
            // The merge's question: does the channel hold this link?
            {"rss_data_feed_link", "rss_data", "item_feedid, item_link", nullptr},
            // Read and unread pages and counts, and marking a channel read.
            {"rss_data_feed_read", "rss_data", "item_feedid, item_read, item_id", nullptr},
            // New items are few: a partial index keeps their pages and counts cheap.
            {"rss_data_feed_new", "rss_data", "item_feedid, item_id", "item_new = 1"},
            {"rsstemp_data_feed", "rsstemp_data", "item_feedid, item_id", nullptr},
            {"rssfavorite_data_folder", "rssfavorite_data", "item_feedid, item_id", nullptr},
            {"feed_data_url", "feed_data", "feed_url", nullptr},
        });
    // Added after the first release: an older store gains its tables and columns on this
    // open; the rows it holds read as not important.
    for (const char* table : {"rss_data", "rsstemp_data", "rssfavorite_data"})
        CStoreSql::EnsureColumns(db, table, kImportantColumn);
    CItemEnclosures::EnsureSchema(db);
    m_legacyText = CStoreSql::MayHoldLegacyText(db);
    m_searchIndex = CFeedSearchIndex::Ensure(db);
}

std::string CFeedDatabase::LegacyForm(const std::string& text) const {
    return m_legacyText ? CStoreSql::LegacyForm(text) : text;
}

StoreResult CFeedDatabase::FindOne(const std::string& sql, int id,
                                   const std::function<void(const CSqlQuery&)>& read) {
    bool found = false;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(sql);
        CSqlQuery row = select.Bind(1, id).ExecQuery();
        if (!row.IsEnd()) {
            read(row);
            found = true;
        }
    });
    if (ok && !found)
        return StoreResult::Failed(kItemNotFound);
    return ok;
}

// ---- Channel settings ----

StoreResult CFeedDatabase::GetFeedSettings(const std::string& address, FeedSettings& settings) {
    constexpr const char* kSelect =
        "SELECT feed_data.feed_id, feed_rssrank, feed_storagetype, feed_storagenum, "
        "feed_autoupdate, feed_newitemshowtip, IFNULL(gone, 0) FROM feed_data LEFT JOIN "
        "feed_standing USING (feed_id) WHERE feed_url IN (?1, ?2) ORDER BY feed_id LIMIT 1;";
    const auto find = [&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(kSelect);
        select.Bind(1, address).Bind(2, LegacyForm(address));
        CSqlQuery row = select.ExecQuery();
        if (row.IsEnd())
            return false;
        settings.feedId = row.GetInt(0);
        settings.rssRank = row.GetInt(1);
        settings.storageType = static_cast<StorageRule>(row.GetInt(2));
        settings.storageNum = row.GetInt(3);
        settings.autoUpdate = row.GetInt(4);
        settings.newItemShowTip = row.GetInt(5);
        settings.gone = row.GetInt(6) != 0;
        return true;
    };
    bool found = false;
    if (const StoreResult read = Run([&](CSqlDatabase& db) { found = find(db); }); !read)
        return read;
    if (found)
        return {.ok = true};
    // Looked up again under the write lock, so two workers meeting a new channel at once
    // do not both add it.
    return RunInTransaction([&](CSqlDatabase& db) {
        if (find(db))
            return;
        db.CompileStatement("INSERT INTO feed_data (feed_url) VALUES (?1);")
            .Bind(1, address)
            .ExecDML();
        settings.feedId = static_cast<int>(db.LastInsertRowId());
    });
}

StoreResult CFeedDatabase::AddFeed(const std::string& address, int& feedId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("INSERT INTO feed_data (feed_url) VALUES (?1);")
            .Bind(1, address)
            .ExecDML();
        feedId = static_cast<int>(db.LastInsertRowId());
    });
}

StoreResult CFeedDatabase::UpdateFeed(const FeedSettings& settings) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement update = db.CompileStatement(
            "UPDATE feed_data SET feed_url = ?2, feed_rssrank = ?3, feed_storagetype = ?4, "
            "feed_storagenum = ?5, feed_autoupdate = ?6, feed_newitemshowtip = ?7 "
            "WHERE feed_id = ?1;");
        update.Bind(1, settings.feedId).Bind(2, settings.url).Bind(3, settings.rssRank);
        update.Bind(4, static_cast<int>(settings.storageType)).Bind(5, settings.storageNum);
        update.Bind(6, settings.autoUpdate).Bind(7, settings.newItemShowTip).ExecDML();
    });
}

StoreResult CFeedDatabase::UpdateFeedsSettings(const std::vector<int>& feedIds,
                                               FeedSettingsGroup what, const FeedSettings& values) {
    // Each group writes its own values; the parameters are numbered alike in all of them.
    std::string set;
    int highest = 0;
    switch (what) {
    case FeedSettingsGroup::kAll:
        set = "feed_rssrank = ?2, feed_storagetype = ?3, feed_storagenum = ?4, "
              "feed_autoupdate = ?5, feed_newitemshowtip = ?6";
        highest = 6;
        break;
    case FeedSettingsGroup::kRank:
        set = "feed_rssrank = ?2";
        highest = 2;
        break;
    case FeedSettingsGroup::kStorage:
        set = "feed_storagetype = ?3, feed_storagenum = ?4";
        highest = 4;
        break;
    case FeedSettingsGroup::kAutoUpdate:
        set = "feed_autoupdate = ?5";
        highest = 5;
        break;
    case FeedSettingsGroup::kNewItemTip:
        set = "feed_newitemshowtip = ?6";
        highest = 6;
        break;
    default:
        return StoreResult::Failed("CPPSQLITE_ERROR[1000]: Invalid settings group requested");
    }
    return Run([&](CSqlDatabase& db) {
        CSqlStatement update = db.CompileStatement("UPDATE feed_data SET " + set +
                                                   " WHERE feed_id IN " + InIds(1) + ";");
        const int numbers[] = {values.rssRank, static_cast<int>(values.storageType),
                               values.storageNum, values.autoUpdate, values.newItemShowTip};
        update.Bind(1, CStoreSql::IdArray(feedIds));
        // A statement has no slots above its highest parameter.
        for (int parameter = 2; parameter <= highest; ++parameter)
            update.Bind(parameter, numbers[parameter - 2]);
        update.ExecDML();
    });
}

StoreResult CFeedDatabase::DeleteFeeds(const std::vector<int>& feedIds) {
    return RunInTransaction([&](CSqlDatabase& db) {
        const std::string ids = CStoreSql::IdArray(feedIds);
        DeleteIn(db, "rss_data", "item_feedid", ids);
        DeleteIn(db, "feed_data", "feed_id", ids);
        DeleteIn(db, "feed_validators", "feed_id", ids);
        DeleteIn(db, "feed_standing", "feed_id", ids);
    });
}

StoreResult CFeedDatabase::DeleteFeedItems(const std::vector<int>& feedIds) {
    return RunInTransaction([&](CSqlDatabase& db) {
        const std::string ids = CStoreSql::IdArray(feedIds);
        DeleteIn(db, "rss_data", "item_feedid", ids);
        // A cleared channel takes the whole feed again on its next receive.
        DeleteIn(db, "feed_validators", "feed_id", ids);
    });
}

// ---- Receiving ----

StoreResult CFeedDatabase::SaveReceivedItems(int feedId, const std::vector<FeedItem>& items,
                                             StorageRule rule, int storageNum, int* added) {
    if (added)
        *added = 0;
    // The whole merge holds the write lock from its first statement to the commit, and a
    // failure anywhere leaves the channel exactly as it was.
    CFeedMerge merge(*this);
    std::vector<FeedItem> copy(items);
    StoreResult result = merge.Begin(feedId, rule, storageNum);
    if (result)
        result = merge.Add(copy);
    return result ? merge.Commit(added) : result;
}

StoreResult CFeedDatabase::RemoveOrphanItems(int* removed) {
    if (removed)
        *removed = 0;
    int count = 0;
    const StoreResult ok = RunInTransaction([&](CSqlDatabase& db) {
        count = db.ExecuteUpdate(
            "DELETE FROM rss_data WHERE item_feedid NOT IN (SELECT feed_id FROM feed_data);");
        db.ExecuteUpdate(
            "DELETE FROM feed_validators WHERE feed_id NOT IN (SELECT feed_id FROM feed_data);");
        db.ExecuteUpdate(
            "DELETE FROM feed_standing WHERE feed_id NOT IN (SELECT feed_id FROM feed_data);");
    });
    if (ok && removed)
        *removed = count;
    return ok;
}

StoreResult CFeedDatabase::CompactStore(int* removed) {
    if (const StoreResult orphans = RemoveOrphanItems(removed); !orphans)
        return orphans;
    return Run([this](CSqlDatabase& db) {
        // The search index is read again from the items first, so that the VACUUM packs it too.
        if (m_searchIndex)
            CFeedSearchIndex::Rebuild(db);
        // One VACUUM rebuilds the tables and indexes together; the checkpoint then writes the
        // result into the file and empties the log, so the file shrinks now, not later.
        db.ExecuteUpdate("VACUUM;");
        db.ExecuteUpdate("PRAGMA wal_checkpoint(TRUNCATE);");
    });
}

StoreResult CFeedDatabase::ClearTempItems(int feedId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM rsstemp_data WHERE item_feedid = ?1;")
            .Bind(1, feedId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::SaveTempItems(int feedId, std::vector<FeedItem>& items) {
    std::vector<int> ids;
    ids.reserve(items.size());
    StoreResult ok = RunInTransaction([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM rsstemp_data WHERE item_feedid = ?1;")
            .Bind(1, feedId)
            .ExecDML();
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO rsstemp_data (item_feedid, item_new, item_read, item_link, item_title, "
            "item_author, item_description, item_pubDate) VALUES (?1, 1, 0, ?2, ?3, ?4, ?5, ?6);");
        insert.Bind(1, feedId);
        for (const FeedItem& item : items) {
            insert.Bind(2, item.link).Bind(3, item.title).Bind(4, item.author);
            insert.Bind(5, item.description).Bind(6, item.pubDate).ExecDML();
            ids.push_back(static_cast<int>(db.LastInsertRowId()));
        }
    });
    if (!ok)
        return ok;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].id = ids[i];
        items[i].isNew = 0;
        items[i].isRead = 0;
        items[i].origin = ItemOrigin::kWebSearch;
    }
    return {.ok = true};
}

// ---- Reading ----

StoreResult CFeedDatabase::GetItemPage(int feedId, ItemFilter filter, bool full,
                                       std::vector<FeedItem>& items, int& total, int pageSize,
                                       int offset) {
    std::string condition;
    if (!FilterCondition(filter, condition)) {
        return StoreResult::Failed("CPPSQLITE_ERROR[1000]: Invalid item filter requested");
    }
    std::vector<FeedItem> page;
    int count = 0;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select =
            db.CompileStatement(std::string("SELECT ") + (full ? kItemColumns : kListColumns) +
                                " FROM rss_data WHERE item_feedid = ?1" + condition +
                                " ORDER BY item_id DESC LIMIT ?2 OFFSET ?3;");
        select.Bind(1, feedId).Bind(2, pageSize).Bind(3, offset);
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next()) {
            page.push_back(full ? ReadFullItem(rows) : ReadListItem(rows, feedId));
            page.back().feedId = feedId;
        }
        CSqlStatement countRows = db.CompileStatement(
            "SELECT count(*) FROM rss_data WHERE item_feedid = ?1" + condition + ";");
        count = static_cast<int>(countRows.Bind(1, feedId).ExecScalar().value_or(0));
    });
    if (!ok)
        return ok;
    items.swap(page);
    total = count;
    return {.ok = true};
}

StoreResult CFeedDatabase::GetItemsOfFeeds(const std::vector<int>& feedIds, ItemFilter filter,
                                           std::vector<FeedItem>& items) {
    std::string condition;
    if (!FilterCondition(filter, condition)) {
        return StoreResult::Failed("CPPSQLITE_ERROR[1000]: Invalid item filter requested");
    }
    std::vector<FeedItem> found;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT item_id, item_feedid, item_new, item_read, item_title, item_author, "
            "item_pubDate, item_important FROM rss_data WHERE item_feedid IN " +
            InIds(1) + condition + " ORDER BY item_id DESC LIMIT ?2;");
        select.Bind(1, CStoreSql::IdArray(feedIds)).Bind(2, kFolderItemLimit);
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next()) {
            FeedItem item;
            item.id = rows.GetInt(0);
            item.feedId = rows.GetInt(1);
            item.isNew = rows.GetInt(2);
            item.isRead = rows.GetInt(3);
            item.title = rows.GetText(4);
            item.author = rows.GetText(5);
            item.pubDate = rows.GetText(6);
            item.isImportant = rows.GetInt(7);
            found.push_back(std::move(item));
        }
    });
    if (ok)
        items.swap(found);
    return ok;
}

StoreResult CFeedDatabase::GetAllUnread(std::vector<FeedItem>& items, int& count) {
    std::vector<FeedItem> found;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT item_id, item_feedid, item_title, item_author, item_pubDate FROM rss_data "
            "WHERE item_read = 0 ORDER BY item_id DESC;");
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next()) {
            FeedItem item;
            item.id = rows.GetInt(0);
            item.feedId = rows.GetInt(1);
            item.title = rows.GetText(2);
            item.author = rows.GetText(3);
            item.pubDate = rows.GetText(4);
            found.push_back(std::move(item));
        }
    });
    if (!ok)
        return ok;
    // Counted from the same reading, so the number always matches the list.
    count = static_cast<int>(found.size());
    items.swap(found);
    return {.ok = true};
}

StoreResult CFeedDatabase::GetItem(const FeedItemRef& ref, FeedItem& item) {
    return FindOne(std::string("SELECT ") + kItemColumns + " FROM " + ItemTable(ref.origin) +
                       " WHERE item_id = ?1;",
                   ref.id, [this, &item, &ref](const CSqlQuery& row) {
                       item = ReadFullItem(row);
                       item.origin = ref.origin;
                       // On-line search results carry no files.
                       if (ref.origin == ItemOrigin::kStored)
                           item.enclosures = CItemEnclosures::Read(
                               Db(), CItemEnclosures::Table::kReceived, item.id);
                   });
}

StoreResult CFeedDatabase::GetItemLink(const FeedItemRef& ref, std::string& link) {
    return FindOne(std::string("SELECT item_link FROM ") + ItemTable(ref.origin) +
                       " WHERE item_id = ?1;",
                   ref.id, [&link](const CSqlQuery& row) { link = row.GetText(0); });
}

StoreResult CFeedDatabase::GetUnreadCount(int feedId, int& count) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT count(*) FROM rss_data WHERE item_feedid = ?1 AND item_read = 0;");
        count = static_cast<int>(select.Bind(1, feedId).ExecScalar().value_or(0));
    });
}

StoreResult CFeedDatabase::GetFeedCounts(int feedId, int& total, int& unread) {
    int all = 0;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select =
            db.CompileStatement("SELECT count(*) FROM rss_data WHERE item_feedid = ?1;");
        all = static_cast<int>(select.Bind(1, feedId).ExecScalar().value_or(0));
    });
    if (!ok)
        return ok;
    total = all;
    return GetUnreadCount(feedId, unread);
}

StoreResult CFeedDatabase::GetTotals(int& feeds, int& items) {
    return Run([&](CSqlDatabase& db) {
        feeds = static_cast<int>(
            db.CompileStatement("SELECT count(*) FROM feed_data;").ExecScalar().value_or(0));
        items = static_cast<int>(
            db.CompileStatement("SELECT count(*) FROM rss_data;").ExecScalar().value_or(0));
    });
}

bool CFeedDatabase::CheckKeyword(const std::string& text) {
    // The keyword is typed text: bytes that are no UTF-8 or control characters are refused
    // rather than searched for.
    bool valid = CTextCodec::IsValidUtf8(text);
    for (size_t i = 0; valid && i < text.size();) {
        const char32_t c = CTextCodec::NextCodePoint(text, i);
        valid = c >= 0x20 && !(c >= 0x7F && c <= 0x9F); // no C0 or C1 control, no DEL
    }
    return valid;
}

StoreResult CFeedDatabase::RunSearch(const SearchQuery& query, const SearchReader& read) {
    if (!CheckKeyword(query.text))
        return StoreResult::Failed(kInvalidKeywordText);
    const std::string pattern = CStoreSql::ContainsPattern(query.text);
    // An older file holds its texts in GBK; they are searched for in that form as well.
    const std::string legacyPattern = CStoreSql::ContainsPattern(LegacyForm(query.text));
    const bool withLegacy = legacyPattern != pattern;
    const auto like = [withLegacy](const std::string& column) {
        std::string term = column + " LIKE ?1 ESCAPE '\\'";
        if (withLegacy)
            term = "(" + term + " OR " + column + " LIKE ?2 ESCAPE '\\')";
        return term;
    };
    const std::string exact =
        query.inDescription ? "(" + like("item_title") + " OR " + like("item_description") + ")"
                            : like("item_title");
    const std::string scope = query.allFeeds ? "" : " AND item_feedid IN " + InIds(3);
    return Run([&](CSqlDatabase& db) {
        // The index holds the UTF-8 form only, so a GBK form to look for means a scan, and so
        // does a keyword without any token.
        std::optional<CFeedSearchIndex::Match> match;
        if (m_searchIndex && !withLegacy)
            match = CFeedSearchIndex::MatchQuery(db, query.text, query.inDescription);
        if (match) {
            // A short queue is folded in first, so the search reads few rows outside the index.
            // Failing to (the file busy with a long write) costs only speed, never a result.
            try {
                if (CFeedSearchIndex::PendingRows(db, CFeedSearchIndex::kSearchCatchUpLimit + 1) <=
                    CFeedSearchIndex::kSearchCatchUpLimit)
                    CFeedSearchIndex::CatchUp(db, CFeedSearchIndex::kSearchCatchUpLimit);
            } catch (const CppSQLite3Exception&) {
            }
        }
        // One reading: the queues looked at, the count and the rows describe the same state.
        db.ExecuteUpdate("BEGIN;");
        try {
            // With both queues empty the index names exactly the rows that hold the texts it
            // was made from; a keyword that it answers exactly then needs no LIKE test.
            // Otherwise the index and the queue of rows not yet in it narrow the rows and the
            // LIKE condition decides each of them. The queue is read in the same statement as
            // the index, so rows queued by another connection after a catch-up are found too.
            const bool alone = match && match->exact && CFeedSearchIndex::PendingRows(db, 1) == 0;
            std::string where = exact + scope;
            if (alone)
                where =
                    "item_id IN (SELECT rowid FROM rss_search WHERE rss_search MATCH ?4)" + scope;
            else if (match)
                where = "item_id IN (SELECT rowid FROM rss_search WHERE rss_search MATCH ?4 "
                        "UNION ALL SELECT id FROM rss_search_pending) AND " +
                        exact + scope;
            const SearchPlan plan{.where = where,
                                  .indexAlone = alone && query.allFeeds ? match->query : "",
                                  .likeTest = !alone};
            read(db, plan, [&](CSqlStatement& select) {
                if (!alone) {
                    select.Bind(1, pattern);
                    if (withLegacy)
                        select.Bind(2, legacyPattern);
                }
                if (!query.allFeeds)
                    select.Bind(3, CStoreSql::IdArray(query.feedIds));
                if (match)
                    select.Bind(4, match->query);
            });
        } catch (...) {
            db.ExecuteUpdate("ROLLBACK;");
            throw;
        }
        db.ExecuteUpdate("COMMIT;");
    });
}

StoreResult CFeedDatabase::SearchItems(const std::string& text, std::vector<FeedItem>& items,
                                       const std::vector<int>& feedIds, bool allFeeds,
                                       bool inDescription) {
    std::vector<FeedItem> found;
    const SearchQuery query{
        .text = text, .feedIds = feedIds, .allFeeds = allFeeds, .inDescription = inDescription};
    StoreResult ok =
        RunSearch(query, [&](CSqlDatabase& db, const SearchPlan& plan, const SearchBinder& bind) {
            CSqlStatement select = db.CompileStatement(std::string("SELECT ") + kItemColumns +
                                                       " FROM rss_data WHERE " + plan.where +
                                                       " ORDER BY item_id DESC;");
            bind(select);
            for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
                found.push_back(ReadFullItem(rows));
        });
    if (ok)
        items.swap(found);
    return ok;
}

StoreResult CFeedDatabase::SearchItemPage(const SearchQuery& query, int offset, int pageSize,
                                          std::vector<FeedItem>& items, int& total) {
    std::vector<FeedItem> found;
    int count = 0;
    StoreResult ok = RunSearch(query, [&](CSqlDatabase& db, const SearchPlan& plan,
                                          const SearchBinder& bind) {
        if (plan.likeTest) {
            // The LIKE test decides: the rows it passes are named once, newest first, counted
            // and the page's ids kept, so that the index is read and the texts are tested once
            // rather than for the count and again for the page.
            CSqlStatement named = db.CompileStatement("SELECT item_id FROM rss_data WHERE " +
                                                      plan.where + " ORDER BY item_id DESC;");
            bind(named);
            std::vector<int> page;
            for (CSqlQuery rows = named.ExecQuery(); !rows.IsEnd(); rows.Next(), ++count) {
                if (count >= offset && count - offset < pageSize)
                    page.push_back(rows.GetInt(0));
            }
            if (page.empty())
                return;
            CSqlStatement select = db.CompileStatement(std::string("SELECT ") + kItemColumns +
                                                       " FROM rss_data WHERE item_id IN " +
                                                       InIds(1) + " ORDER BY item_id DESC;");
            select.Bind(1, CStoreSql::IdArray(page));
            for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
                found.push_back(ReadFullItem(rows));
            return;
        }
        // The index alone answers: it counts in one pass and gives the page, newest (highest id)
        // first, in another, which costs less than stepping through every hit here; in all
        // channels without reading rss_data but for the page.
        std::string countSql = "SELECT count(*) FROM rss_data WHERE " + plan.where + ";";
        std::string pageSql = std::string("SELECT ") + kItemColumns + " FROM rss_data WHERE " +
                              plan.where + " ORDER BY item_id DESC LIMIT ?5 OFFSET ?6;";
        if (!plan.indexAlone.empty()) {
            countSql = "SELECT count(*) FROM rss_search WHERE rss_search MATCH ?4;";
            pageSql = std::string("SELECT ") + kItemColumns +
                      " FROM rss_data WHERE item_id IN (SELECT rowid FROM rss_search WHERE "
                      "rss_search MATCH ?4 ORDER BY rowid DESC LIMIT ?5 OFFSET ?6) "
                      "ORDER BY item_id DESC;";
        }
        CSqlStatement counting = db.CompileStatement(countSql);
        bind(counting);
        count = static_cast<int>(counting.ExecScalar().value_or(0));
        CSqlStatement select = db.CompileStatement(pageSql);
        bind(select);
        select.Bind(5, pageSize).Bind(6, offset);
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
            found.push_back(ReadFullItem(rows));
    });
    if (ok) {
        items.swap(found);
        total = count;
    }
    return ok;
}

StoreResult CFeedDatabase::CatchUpSearchIndex(int64_t maxRows, int64_t* pending) {
    return Run([&](CSqlDatabase& db) {
        if (m_searchIndex)
            CFeedSearchIndex::CatchUp(db, maxRows);
        if (pending)
            *pending = m_searchIndex ? CFeedSearchIndex::PendingRows(db, INT64_MAX) +
                                           CFeedSearchIndex::OldIndexLeft(db)
                                     : 0;
    });
}

// ---- Read state ----

StoreResult CFeedDatabase::SetItemRead(const FeedItemRef& ref, int read) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement(std::string("UPDATE ") + ItemTable(ref.origin) +
                            " SET item_new = 0, item_read = ?2 WHERE item_id = ?1;")
            .Bind(1, ref.id)
            .Bind(2, read)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::SetItemImportant(const FeedItemRef& ref, int important) {
    int changed = 0;
    const StoreResult ok = Run([&](CSqlDatabase& db) {
        changed = db.CompileStatement(std::string("UPDATE ") + ItemTable(ref.origin) +
                                      " SET item_important = ?2 WHERE item_id = ?1;")
                      .Bind(1, ref.id)
                      .Bind(2, important ? 1 : 0)
                      .ExecDML();
    });
    if (ok && changed == 0) {
        return StoreResult::Failed(kItemNotFound);
    }
    return ok;
}

StoreResult CFeedDatabase::SetFeedRead(int feedId, int read) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("UPDATE rss_data SET item_new = 0, item_read = ?2 "
                            "WHERE item_feedid = ?1 AND item_read = ?3;")
            .Bind(1, feedId)
            .Bind(2, read)
            .Bind(3, 1 - read)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::SetFeedsRead(const std::vector<int>& feedIds, int read) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement(
              "UPDATE rss_data SET item_new = 0, item_read = ?2 WHERE item_feedid IN " + InIds(1) +
              " AND item_read = ?3;")
            .Bind(1, CStoreSql::IdArray(feedIds))
            .Bind(2, read)
            .Bind(3, 1 - read)
            .ExecDML();
    });
}

// ---- Favorites ----

StoreResult CFeedDatabase::EnsureFavoriteFolder(int folderId) {
    return Run([&](CSqlDatabase& db) {
        // One statement: two callers cannot both add the folder.
        db.CompileStatement("INSERT INTO feedfav_data (feed_id) SELECT ?1 WHERE NOT EXISTS "
                            "(SELECT 1 FROM feedfav_data WHERE feed_id = ?1);")
            .Bind(1, folderId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::CreateFavoriteFolder(int& folderId) {
    return ImportFavoriteFolder({}, folderId);
}

StoreResult CFeedDatabase::ImportFavoriteFolder(const std::vector<FeedItem>& items, int& folderId) {
    int created = 0;
    StoreResult ok = RunInTransaction([&](CSqlDatabase& db) {
        db.CompileStatement("INSERT INTO feedfav_data (feed_readcount) VALUES (0);").ExecDML();
        created = static_cast<int>(db.LastInsertRowId());
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO rssfavorite_data (item_feedid, item_link, item_title, item_author, "
            "item_description, item_pubDate) VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
        for (const FeedItem& item : items) {
            insert.Reset();
            insert.Bind(1, created).Bind(2, item.link).Bind(3, item.title).Bind(4, item.author);
            insert.Bind(5, item.description).Bind(6, item.pubDate).ExecDML();
            CItemEnclosures::Insert(db, CItemEnclosures::Table::kFavorite, db.LastInsertRowId(),
                                    item.enclosures);
        }
    });
    if (ok)
        folderId = created;
    return ok;
}

StoreResult CFeedDatabase::CopyItemToFavorites(const FeedItemRef& ref, int folderId) {
    int copied = 0;
    StoreResult ok = RunInTransaction([&](CSqlDatabase& db) {
        copied = db.CompileStatement(std::string("INSERT INTO rssfavorite_data (item_feedid, "
                                                 "item_link, item_title, item_author, "
                                                 "item_description, item_pubDate, "
                                                 "item_important) SELECT ?1, item_link, "
                                                 "item_title, item_author, item_description, "
                                                 "item_pubDate, item_important FROM ") +
                                     ItemTable(ref.origin) + " WHERE item_id = ?2;")
                     .Bind(1, folderId)
                     .Bind(2, ref.id)
                     .ExecDML();
        if (copied > 0 && ref.origin == ItemOrigin::kStored)
            CItemEnclosures::CopyToFavorite(db, ref.id, db.LastInsertRowId());
    });
    if (ok && copied == 0) {
        return StoreResult::Failed(kItemNotFound);
    }
    return ok;
}

StoreResult CFeedDatabase::AddFavoriteItem(int folderId, const FeedItem& item) {
    return RunInTransaction([&](CSqlDatabase& db) {
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO rssfavorite_data (item_feedid, item_link, item_title, item_author, "
            "item_description, item_pubDate, item_important) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
            "?7);");
        insert.Bind(1, folderId).Bind(2, item.link).Bind(3, item.title).Bind(4, item.author);
        insert.Bind(5, item.description).Bind(6, item.pubDate).Bind(7, item.isImportant ? 1 : 0);
        insert.ExecDML();
        CItemEnclosures::Insert(db, CItemEnclosures::Table::kFavorite, db.LastInsertRowId(),
                                item.enclosures);
    });
}

StoreResult CFeedDatabase::GetFavoriteItems(int folderId, bool full, std::vector<FeedItem>& items) {
    std::vector<FeedItem> found;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            std::string("SELECT ") +
            (full ? kFavoriteColumns
                  : "item_id, item_title, item_author, item_pubDate, item_important") +
            " FROM rssfavorite_data WHERE item_feedid = ?1 ORDER BY item_id DESC;");
        select.Bind(1, folderId);
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next()) {
            FeedItem item;
            if (full) {
                item = ReadFavorite(rows);
                item.enclosures =
                    CItemEnclosures::Read(db, CItemEnclosures::Table::kFavorite, item.id);
            } else {
                item.id = rows.GetInt(0);
                item.title = rows.GetText(1);
                item.author = rows.GetText(2);
                item.pubDate = rows.GetText(3);
                item.isImportant = rows.GetInt(4);
            }
            item.feedId = folderId;
            found.push_back(std::move(item));
        }
    });
    if (ok)
        items.swap(found);
    return ok;
}

StoreResult CFeedDatabase::GetFavoriteItem(int itemId, FeedItem& item) {
    return FindOne(
        std::string("SELECT ") + kFavoriteColumns + " FROM rssfavorite_data WHERE item_id = ?1;",
        itemId, [this, &item](const CSqlQuery& row) {
            item = ReadFavorite(row);
            item.enclosures =
                CItemEnclosures::Read(Db(), CItemEnclosures::Table::kFavorite, item.id);
        });
}

StoreResult CFeedDatabase::GetFavoriteLink(int itemId, std::string& link) {
    return FindOne("SELECT item_link FROM rssfavorite_data WHERE item_id = ?1;", itemId,
                   [&link](const CSqlQuery& row) { link = row.GetText(0); });
}

StoreResult CFeedDatabase::MoveFavoriteItem(int folderId, int itemId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("UPDATE rssfavorite_data SET item_feedid = ?1 WHERE item_id = ?2;")
            .Bind(1, folderId)
            .Bind(2, itemId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::DeleteFavoriteItem(int itemId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM rssfavorite_data WHERE item_id = ?1;")
            .Bind(1, itemId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::ClearFavoriteFolder(int folderId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM rssfavorite_data WHERE item_feedid = ?1;")
            .Bind(1, folderId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::DeleteFavoriteFolder(int folderId) {
    return RunInTransaction([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM rssfavorite_data WHERE item_feedid = ?1;")
            .Bind(1, folderId)
            .ExecDML();
        db.CompileStatement("DELETE FROM feedfav_data WHERE feed_id = ?1;")
            .Bind(1, folderId)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::DeleteFavoriteFolders(const std::vector<int>& folderIds) {
    return RunInTransaction([&](CSqlDatabase& db) {
        const std::string ids = CStoreSql::IdArray(folderIds);
        DeleteIn(db, "rssfavorite_data", "item_feedid", ids);
        DeleteIn(db, "feedfav_data", "feed_id", ids);
    });
}

// ---- Maintenance ----

namespace {

// The items cleaning takes: ?1 the feed ids, ?2 the age limit when days is not 0.
std::string CleanCondition(int days, bool includeUnread) {
    std::string sql = " WHERE item_feedid IN " + InIds(1);
    // Item dates are written in local time (the clock time of the feed), so the limit is too.
    if (days != 0)
        sql += " AND item_pubDate < datetime('now', 'localtime', ?2)";
    if (!includeUnread)
        sql += " AND item_read = 1";
    return sql;
}

void BindClean(CSqlStatement& statement, const std::vector<int>& feedIds, int days) {
    statement.Bind(1, CStoreSql::IdArray(feedIds));
    if (days != 0)
        statement.Bind(2, std::to_string(-days) + " days");
}

} // namespace

StoreResult CFeedDatabase::CleanItems(const std::vector<int>& feedIds, int days,
                                      bool includeUnread) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement remove =
            db.CompileStatement("DELETE FROM rss_data" + CleanCondition(days, includeUnread) + ";");
        BindClean(remove, feedIds, days);
        remove.ExecDML();
    });
}

StoreResult CFeedDatabase::CountCleanItems(const std::vector<int>& feedIds, int days,
                                           bool includeUnread, int& total, int& unread) {
    total = unread = 0;
    return Run([&](CSqlDatabase& db) {
        CSqlStatement count =
            db.CompileStatement("SELECT count(*), coalesce(sum(item_read = 0), 0) FROM rss_data" +
                                CleanCondition(days, includeUnread) + ";");
        BindClean(count, feedIds, days);
        CSqlQuery row = count.ExecQuery();
        if (!row.IsEnd()) {
            total = row.GetInt(0);
            unread = row.GetInt(1);
        }
    });
}

StoreResult CFeedDatabase::GetFeedValidators(int feedId, std::string& etag,
                                             std::string& lastModified) {
    etag.clear();
    lastModified.clear();
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT etag, last_modified FROM feed_validators WHERE feed_id = ?1;");
        CSqlQuery row = select.Bind(1, feedId).ExecQuery();
        if (!row.IsEnd()) {
            etag = row.GetText(0);
            lastModified = row.GetText(1);
        }
    });
}

StoreResult CFeedDatabase::SetFeedValidators(int feedId, const std::string& etag,
                                             const std::string& lastModified) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("INSERT OR REPLACE INTO feed_validators (feed_id, etag, last_modified) "
                            "VALUES (?1, ?2, ?3);")
            .Bind(1, feedId)
            .Bind(2, etag)
            .Bind(3, lastModified)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::GetFeedStanding(int feedId, FeedStanding& standing) {
    standing = {};
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT moved_url, moved_count, gone FROM feed_standing WHERE feed_id = ?1;");
        CSqlQuery row = select.Bind(1, feedId).ExecQuery();
        if (row.IsEnd())
            return;
        standing.movedTo = row.GetText(0);
        standing.movedCount = row.GetInt(1);
        standing.gone = row.GetInt(2) != 0;
    });
}

StoreResult CFeedDatabase::SetFeedStanding(int feedId, const FeedStanding& standing) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("INSERT OR REPLACE INTO feed_standing (feed_id, moved_url, "
                            "moved_count, gone) VALUES (?1, ?2, ?3, ?4);")
            .Bind(1, feedId)
            .Bind(2, standing.movedTo)
            .Bind(3, standing.movedCount)
            .Bind(4, standing.gone ? 1 : 0)
            .ExecDML();
    });
}

StoreResult CFeedDatabase::MoveFeed(int feedId, const std::string& address) {
    return RunInTransaction([&](CSqlDatabase& db) {
        db.CompileStatement("UPDATE feed_data SET feed_url = ?2 WHERE feed_id = ?1;")
            .Bind(1, feedId)
            .Bind(2, address)
            .ExecDML();
        db.CompileStatement("UPDATE feed_standing SET moved_url = '', moved_count = 0 "
                            "WHERE feed_id = ?1;")
            .Bind(1, feedId)
            .ExecDML();
    });
}
