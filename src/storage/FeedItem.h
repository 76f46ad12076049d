#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where a listed item lies. Received items (rss_data) and the results of the last on-line search
// (the scratch table rsstemp_data) are numbered independently, so an id names an item only
// together with its origin.
enum class ItemOrigin {
    kStored,    // a received item of a channel
    kWebSearch, // an on-line search result, not stored with the channels
};

// Which items a list shows.
enum class ItemFilter : int { kAll = 0, kRead = 1, kUnread = 2, kNew = 3 };

// What a channel keeps when a download is merged (feed_storagetype, and the reader's own rule):
// only what the source lists, the storageNum newest, or everything. kDefault, the value of a
// channel without a rule of its own, leaves the choice to the reader's rule; as a merge's rule
// it keeps everything, as does any value a store may hold beyond these.
enum class StorageRule : int { kDefault = 0, kSyncWithSource = 1, kKeepNewest = 2, kKeepAll = 3 };

// An item of the lists as the commands act on it: its origin and its id there.
struct FeedItemRef {
    ItemOrigin origin = ItemOrigin::kStored;
    int id = 0;

    bool operator==(const FeedItemRef&) const = default;
};

inline FeedItemRef StoredItem(int id) {
    return {.origin = ItemOrigin::kStored, .id = id};
}
inline FeedItemRef WebSearchItem(int id) {
    return {.origin = ItemOrigin::kWebSearch, .id = id};
}

// A file attached to an item: a podcast's episode, a video, a document (RSS <enclosure>, Atom
// link rel="enclosure", Media RSS <media:content>).
struct FeedEnclosure {
    std::string url;
    std::string type;   // its media type as the feed gives it, "" when none
    int64_t length = 0; // in bytes, 0 when unknown

    bool operator==(const FeedEnclosure&) const = default;
};

// One feed item: a row of rss_data (or of the scratch and favorite tables), and the unit in
// which received items travel from the parser to the store and from the store to the lists.
// Texts are UTF-8; pubDate has the form "YYYY-MM-DD HH:MM:SS".
struct FeedItem {
    int id = 0;      // item_id
    int feedId = 0;  // item_feedid: the channel (or the favorites folder)
    int isNew = 0;   // item_new, 0 or 1
    int isRead = 0;  // item_read, 0 or 1
    int isImportant = 0; // item_important, 0 or 1: marked by the user or by a rule
    std::string title;
    std::string link;
    std::string description;
    std::string pubDate;
    std::string author;
    // In the order the feed lists them, each address once.
    std::vector<FeedEnclosure> enclosures;
    // Kept in memory by the feed reader for its own use; never stored.
    std::string extra;
    // The table the row was read from (favorites rows count as stored).
    ItemOrigin origin = ItemOrigin::kStored;

    FeedItemRef Ref() const { return {.origin = origin, .id = id}; }
};
