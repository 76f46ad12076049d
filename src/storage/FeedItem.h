#pragma once

#include <string>

// One feed item: a row of rss_data (or of the scratch and favorite tables), and the unit in
// which received items travel from the parser to the store and from the store to the lists.
// Texts are UTF-8; pubDate has the form "YYYY-MM-DD HH:MM:SS".
struct FeedItem {
    int id = 0;      // item_id
    int feedId = 0;  // item_feedid: the channel (or the favorites folder)
    int isNew = 0;   // item_new, 0 or 1
    int isRead = 0;  // item_read, 0 or 1
    std::string title;
    std::string link;
    std::string description;
    std::string pubDate;
    std::string author;
    // Kept in memory by the feed reader for its own use; never stored.
    std::string extra;
};
