#pragma once

#include "storage/FeedItem.h"

#include <vector>

// What the filter says about an item that comes new in a merge.
struct MergeVerdict {
    bool drop = false;                // not stored at all
    bool markRead = false;            // stored read, and not new
    bool important = false;           // stored marked important (and so are its copies)
    std::vector<int> favoriteFolders; // copied into these favorites folders as well
};

// Asked by CFeedMerge about every item that is new to the channel, inside the merge's
// transaction: what it decides is stored, or dropped, with the rest of the download.
class CMergeFilter {
public:
    virtual ~CMergeFilter() = default;
    virtual MergeVerdict Judge(const FeedItem& item) const = 0;
};
