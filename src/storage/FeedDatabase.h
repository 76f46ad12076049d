#pragma once

#include "storage/FeedItem.h"
#include "storage/LocalDatabase.h"

#include <string>
#include <vector>

class CAppContext;

// One channel's settings: a row of feed_data.
struct FeedSettings {
    int feedId = 0;
    std::string url; // feed_url, the address by which the channel is found
    int rssRank = 0; // 0 receive by weight, 5 always receive
    StorageRule storageType = StorageRule::kDefault;
    int storageNum = 200;   // the count of StorageRule::kKeepNewest
    int autoUpdate = 1;     // 1: included when all channels are received
    int newItemShowTip = 0; // 1: announce new items
    bool gone = false;      // the server said the feed is gone for good (FeedStanding)
};

// How a channel's address has answered lately: a permanent move seen on consecutive receives,
// and whether the server said the feed is gone for good (410).
struct FeedStanding {
    std::string movedTo; // the address the last receives were moved to permanently, or ""
    int movedCount = 0;  // how many receives in a row were moved there
    bool gone = false;   // answered 410 Gone; not received automatically any more
};

// Which settings UpdateFeedsSettings writes: all of them, or one group.
enum class FeedSettingsGroup : int {
    kAll = 0,
    kRank = 1,
    kStorage = 2,
    kAutoUpdate = 3,
    kNewItemTip = 4
};

// Everything the feed reader has received, in Storage/rss.db: channel settings (feed_data), the
// items (rss_data), a scratch table of on-line search results (rsstemp_data), and the favorites
// (folders in feedfav_data, saved items in rssfavorite_data). Channels are known here only by
// their ids; the tree of names and addresses lives in the channel file.
//
// Every operation answers a StoreResult: done, or the reason it was not; none throws, and every
// write of several rows runs in one transaction that either commits whole or leaves the file as it
// was. Lists given to be filled are replaced by the result. Each thread opens its own store;
// writers wait for each other up to the busy timeout, then fail with "SQLITE_BUSY...".
class CFeedDatabase : public CLocalDatabase {
public:
    // The store of the context's program directory, Storage/rss.db (its path: PathOf).
    explicit CFeedDatabase(const CAppContext& context);
    explicit CFeedDatabase(std::string path);
    static std::string PathOf(const CAppContext& context);

    // Channel settings.
    // Found: all values but the address. Not found: the channel is added and only the new
    // feedId is filled in; the other fields keep what the caller put there.
    StoreResult GetFeedSettings(const std::string& address, FeedSettings& settings);
    StoreResult AddFeed(const std::string& address, int& feedId);
    // Writes every value of the channel settings.feedId, its address (settings.url) included;
    // settings.gone is not written (see SetFeedStanding).
    StoreResult UpdateFeed(const FeedSettings& settings);
    // Writes the values of the group (all of them for kAll) to every listed channel; the other
    // values, feedId and url of values are not used.
    StoreResult UpdateFeedsSettings(const std::vector<int>& feedIds, FeedSettingsGroup what,
                                    const FeedSettings& values);
    // The channels and their items.
    StoreResult DeleteFeeds(const std::vector<int>& feedIds);
    // The items only; the channels stay.
    StoreResult DeleteFeedItems(const std::vector<int>& feedIds);

    // Receiving.
    // Merges a download (newest first, as the source lists it) into the channel: an item whose
    // link the channel already holds is left as it is; every other item is stored new and
    // unread, the download's first item with the channel's highest id. Then the storage rule
    // trims: kSyncWithSource keeps only what the download lists, kKeepNewest keeps
    // the storageNum newest (none removed when storageNum is 0), anything else keeps all.
    // added, when given, receives the number of items that were new to the channel. A channel
    // whose row is gone (removed while it was received) gets nothing: the result says why.
    // CFeedMerge takes a download in parts by the same rules.
    StoreResult SaveReceivedItems(int feedId, const std::vector<FeedItem>& items, StorageRule rule,
                                  int storageNum, int* added = nullptr);
    // The validators (ETag, Last-Modified) of the channel's last answer; empty when none.
    StoreResult GetFeedValidators(int feedId, std::string& etag, std::string& lastModified);
    StoreResult SetFeedValidators(int feedId, const std::string& etag,
                                  const std::string& lastModified);
    // The channel's standing (all empty when nothing was noted) and its change.
    StoreResult GetFeedStanding(int feedId, FeedStanding& standing);
    StoreResult SetFeedStanding(int feedId, const FeedStanding& standing);
    // The channel is now found under the address; its noted move is forgotten.
    StoreResult MoveFeed(int feedId, const std::string& address);
    // Removes the channel's scratch rows (on-line search results: feed id 0).
    StoreResult ClearTempItems(int feedId);
    // Replaces the channel's scratch rows with the items (on-line search results: feed id 0);
    // each item gets its new row id, the origin ItemOrigin::kWebSearch, and isNew and isRead 0.
    StoreResult SaveTempItems(int feedId, std::vector<FeedItem>& items);

    // Reading. Lists come newest first (highest id first).
    // One page of a channel and the count of the whole filter. full: every field; otherwise the
    // list columns (link and description empty). A filter of no ItemFilter value fails.
    StoreResult GetItemPage(int feedId, ItemFilter filter, bool full, std::vector<FeedItem>& items,
                            int& total, int pageSize, int offset);
    // The items of several channels (a channel folder), at most kFolderItemLimit, without link
    // and description.
    StoreResult GetItemsOfFeeds(const std::vector<int>& feedIds, ItemFilter filter,
                                std::vector<FeedItem>& items);
    StoreResult GetAllUnread(std::vector<FeedItem>& items, int& count);
    // The item from the table of its origin. Not found: the reason "没有对应id的rss item".
    StoreResult GetItem(const FeedItemRef& ref, FeedItem& item);
    StoreResult GetItemLink(const FeedItemRef& ref, std::string& link);
    StoreResult GetUnreadCount(int feedId, int& count);
    StoreResult GetFeedCounts(int feedId, int& total, int& unread);
    StoreResult GetTotals(int& feeds, int& items);
    // Items whose title (or, with inDescription, title or description) holds the text, matched
    // literally and ignoring the case of ASCII letters; in all channels or in the listed ones.
    // The full-text index (CFeedSearchIndex) names the rows that may hold the text and the LIKE
    // test decides each; a text without any word or ideograph scans the items. A text with
    // invalid UTF-8 or control characters is refused with the reason kInvalidKeywordText.
    StoreResult SearchItems(const std::string& text, std::vector<FeedItem>& items,
                            const std::vector<int>& feedIds, bool allFeeds, bool inDescription);
    struct SearchQuery {
        std::string text;
        std::vector<int> feedIds;
        bool allFeeds = true;
        bool inDescription = true;
    };
    // One page of what SearchItems finds (newest first) and how many it finds in all, from the
    // same reading.
    StoreResult SearchItemPage(const SearchQuery& query, int offset, int pageSize,
                               std::vector<FeedItem>& items, int& total);
    static constexpr const char* kInvalidKeywordText =
        "关键字含有无效的字符(控制字符或不是 UTF-8 的字节), 请重新输入";
    // Folds up to maxRows of the rows written since the last catch-up into the search index,
    // a batch to a transaction (see CFeedSearchIndex::CatchUp); pending, when given, receives
    // how many are still queued. Run after a receive round and when the reader is idle.
    StoreResult CatchUpSearchIndex(int64_t maxRows, int64_t* pending = nullptr);

    // Read state. Any change of it also clears the new flag. An on-line search result keeps
    // its state in its scratch row.
    StoreResult SetItemRead(const FeedItemRef& ref, int read);
    // The importance mark of one item (a received item or an on-line search result); it
    // leaves the read state alone. Not found: the reason "没有对应id的rss item".
    StoreResult SetItemImportant(const FeedItemRef& ref, int important);
    // Changes only the items in the opposite state.
    StoreResult SetFeedRead(int feedId, int read);
    StoreResult SetFeedsRead(const std::vector<int>& feedIds, int read);

    // Favorites: folder ids come from the favorites tree.
    StoreResult EnsureFavoriteFolder(int folderId);
    // A new folder row; folderId receives its id.
    StoreResult CreateFavoriteFolder(int& folderId);
    // A new folder holding the items, in one transaction: either the folder with every item or
    // nothing at all. folderId receives the new id.
    StoreResult ImportFavoriteFolder(const std::vector<FeedItem>& items, int& folderId);
    // Copies the item, from the table of its origin. Not found: the reason "没有对应id的rss item".
    StoreResult CopyItemToFavorites(const FeedItemRef& ref, int folderId);
    StoreResult AddFavoriteItem(int folderId, const FeedItem& item);
    StoreResult GetFavoriteItems(int folderId, bool full, std::vector<FeedItem>& items);
    StoreResult GetFavoriteItem(int itemId, FeedItem& item);
    StoreResult GetFavoriteLink(int itemId, std::string& link);
    StoreResult MoveFavoriteItem(int folderId, int itemId);
    StoreResult DeleteFavoriteItem(int itemId);
    StoreResult ClearFavoriteFolder(int folderId);
    StoreResult DeleteFavoriteFolder(int folderId);
    StoreResult DeleteFavoriteFolders(const std::vector<int>& folderIds);

    // Cleaning: the items of the channels dated more than days before the local time now (all
    // of them when days is 0); read items only unless includeUnread.
    StoreResult CleanItems(const std::vector<int>& feedIds, int days, bool includeUnread);
    // The items CleanItems would remove with the same values, and how many of them are unread.
    StoreResult CountCleanItems(const std::vector<int>& feedIds, int days, bool includeUnread,
                                int& total, int& unread);

    // Upkeep (the vacuum tool): removes the items and validators of channels whose row is gone,
    // which older files hold after a channel was removed while it was received, then rebuilds
    // the file and empties its log so that it shrinks now. removed, when given, receives the
    // number of orphan items taken out.
    StoreResult CompactStore(int* removed = nullptr);
    // CompactStore also reads the search index again from the items.
    // Only the first step of CompactStore, in one transaction.
    StoreResult RemoveOrphanItems(int* removed = nullptr);

    static constexpr int kFolderItemLimit = 8000;

protected:
    void CreateSchema(CSqlDatabase& db) override;
    // The items can be received again; a commit need not wait for the disk.
    const char* SynchronousMode() const override { return "NORMAL"; }

private:
    friend class CFeedMerge;
    // The form in which an older store may hold the text (itself when there is none).
    std::string LegacyForm(const std::string& text) const;
    // The row of the id: read is called with it; kItemNotFound when there is none.
    StoreResult FindOne(const std::string& sql, int id,
                        const std::function<void(const CSqlQuery&)>& read);
    // False for a keyword of invalid UTF-8 or control characters.
    static bool CheckKeyword(const std::string& text);
    // How a search selects its rows from rss_data: the condition, the FTS5 query when the index
    // alone answers in all channels (else empty), and whether the condition holds the LIKE test
    // (then the rows it names are few or a scan's).
    struct SearchPlan {
        std::string where;
        std::string indexAlone;
        bool likeTest = false;
    };
    // Calls read, in one reading transaction, with the plan and what binds the values to a
    // statement (?1 to ?4).
    using SearchBinder = std::function<void(CSqlStatement&)>;
    using SearchReader = std::function<void(CSqlDatabase&, const SearchPlan&, const SearchBinder&)>;
    // A keyword that CheckKeyword refuses fails with kInvalidKeywordText.
    StoreResult RunSearch(const SearchQuery& query, const SearchReader& read);

    // The file may hold texts that an older store wrote in GBK.
    bool m_legacyText = true;
    // The file holds the full-text index of the items (not when SQLite lacks FTS5).
    bool m_searchIndex = false;
};
