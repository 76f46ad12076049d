#pragma once

#include "storage/FeedItem.h"
#include "storage/LocalDatabase.h"

#include <cstdint>
#include <memory>
#include <vector>

class CFeedDatabase;
class CMergeFilter;
class CTransaction;

// One download merged into a channel while it is still being read: the items come in parts,
// in the order the source lists them, and the whole merge is one transaction of the store that
// either commits whole or leaves the channel as it was. The rules are those of
// CFeedDatabase::SaveReceivedItems: what is new is decided against the rows stored before the
// download, the download's first item gets the channel's highest id, and the storage rule sees
// the whole download (the links listed by every part).
//
// A download that fits in one part is inserted straight from memory. A longer one keeps its new
// items in a scratch table of the connection until Commit, so memory holds one part at a time
// whatever the size of the feed.
//
// The channel must still exist (its feed_data row) when the merge begins: a channel removed
// while it was being received gets nothing stored and the merge fails with a reason. Every
// operation answers a StoreResult (done, or the reason it was not); after a failure the merge is
// over and nothing of it is kept.
class CFeedMerge {
public:
    explicit CFeedMerge(CFeedDatabase& store);
    ~CFeedMerge();
    CFeedMerge(const CFeedMerge&) = delete;
    CFeedMerge& operator=(const CFeedMerge&) = delete;

    // Asked about every item that comes new (before Begin; null for none): its verdict is
    // carried out in the merge's transaction. Items it drops are not counted as added.
    void SetFilter(const CMergeFilter* filter) { m_filter = filter; }
    // Takes the store's write lock for the whole merge.
    StoreResult Begin(int feedId, StorageRule rule, int storageNum);
    // The next part of the download; the items are taken (the vector is left empty).
    StoreResult Add(std::vector<FeedItem>& items);
    // Forgets every part given so far: the download is read again from its start.
    StoreResult Restart();
    // Stores the new items, applies the storage rule and commits. added receives the number of
    // items that were new to the channel.
    StoreResult Commit(int* added = nullptr);
    // Leaves the channel as it was.
    void Abandon();

private:
    // Ends the merge (nothing of it is kept) and answers the failure.
    StoreResult Fail(StoreResult failed);
    // The items whose link the channel does not hold yet.
    std::vector<const FeedItem*> Fresh(const std::vector<FeedItem>& items);
    // Notes the links for the storage rule that keeps only what the source lists.
    void ListLinks(const std::vector<FeedItem>& items);
    // Puts the new items into the scratch table.
    void Stage(const std::vector<FeedItem>& items);
    // The filter's verdict on a new item; copies it into the favorites folders it names.
    struct Verdict {
        bool keep = true;
        bool read = false;
        bool important = false;
    };
    Verdict Apply(const FeedItem& item);

    CFeedDatabase& m_store;
    const CMergeFilter* m_filter = nullptr;
    std::unique_ptr<CTransaction> m_transaction;
    int m_feedId = 0;
    StorageRule m_rule = StorageRule::kDefault;
    int m_storageNum = 0;
    bool m_staged = false;           // the scratch table holds new items
    std::vector<FeedItem> m_pending; // the first part, while it may be the only one
    std::vector<int64_t> m_copies;   // favorites the filter made in this merge
    long long m_nextSeq = 0;
    int m_added = 0;
};
