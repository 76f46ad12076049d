#pragma once

#include "storage/FeedItem.h"

#include <cstdint>
#include <vector>

class CSqlDatabase;

// The files attached to items (FeedItem::enclosures), in two tables beside the items:
// rss_enclosure for received items and rssfavorite_enclosure for favorites, each row naming
// its item by id. A trigger on each item table removes an item's files with it, so every way
// items are deleted (storage rules, clearing, deleting channels and boxes) takes them along.
//
// For the callers in storage/ only; every function runs inside the caller's statement scope
// (Run or RunInTransaction of the store) and throws as the SQL layer does.
class CItemEnclosures {
public:
    enum class Table {
        kReceived, // rss_data
        kFavorite, // rssfavorite_data
    };

    // The schema step that brings the enclosure tables, their indexes and triggers into a
    // store: a new one, or an older one on its first open with this program (its items and
    // everything else stay as they were). Does nothing when all of it is there.
    static void EnsureSchema(CSqlDatabase& db);

    static void Insert(CSqlDatabase& db, Table table, int64_t itemId,
                       const std::vector<FeedEnclosure>& enclosures);
    // The item's files in the order they were stored.
    static std::vector<FeedEnclosure> Read(CSqlDatabase& db, Table table, int64_t itemId);
    // Copies a received item's files to a favorite.
    static void CopyToFavorite(CSqlDatabase& db, int64_t itemId, int64_t favoriteId);
};
