#pragma once

#include <cstdint>
#include <string>

class CSqlDatabase;

// The full-text index of the received items' titles and descriptions (rss_search: FTS5 with the
// trigram tokenizer over rss_data, holding no copy of the texts). Triggers on rss_data note every
// inserted or changed row in a queue (rss_search_pending), whoever writes it (the merge,
// cleaning, removing channels, the upkeep tool), and CatchUp folds the queue into the index
// later, off the receive path. A row is always either indexed or queued.
//
// The index only narrows the search: a keyword of three or more characters is looked up in it,
// the queued rows are added to what it names, and each of those rows is then tested with the
// same LIKE condition that a scan would use, so the result is exactly the scan's (substring,
// literal, ASCII letters in either case). Trigrams fold the case of every letter, not only ASCII,
// which yields a few more candidates and never fewer. A keyword of one or two characters has no
// trigram and is searched by the scan.
class CFeedSearchIndex {
public:
    // Creates the index, its queue and its triggers in one transaction. The index of a store
    // from before it starts empty with every row queued (for 1,000,000 items well under the
    // seconds that filling it takes; CatchUp does that in batches). An index from before the
    // queue, kept whole by triggers of its own, keeps its rows and gets the queueing triggers.
    // False when this SQLite has no FTS5 trigram tokenizer (before 3.34): searching then scans.
    static bool Ensure(CSqlDatabase& db);

    // Folds up to maxRows queued rows into the index, oldest first, kCatchUpBatch rows to a
    // transaction, so that other writers wait for one batch at most; returns how many were
    // folded. A batch that fails leaves the index and the queue as they were and throws.
    static int64_t CatchUp(CSqlDatabase& db, int64_t maxRows);

    // The number of queued rows, counted up to atMost.
    static int64_t PendingRows(CSqlDatabase& db, int64_t atMost);

    // True when the keyword is long enough to be looked up in the index.
    static bool Serves(const std::string& keyword);

    // The FTS5 query that names every row whose title (or, with inDescription, title or
    // description) may hold the keyword: every trigram of it (quotes doubled), in the title when
    // the description is not searched.
    static std::string MatchQuery(const std::string& keyword, bool inDescription);

    static constexpr int kMinimumCharacters = 3;
    static constexpr int64_t kCatchUpBatch = 5000;
    // A search folds a queue of up to this many rows into the index before it looks (a few
    // hundred milliseconds at most); a longer one is left to the background catch-up, and the
    // search reads the queued rows themselves meanwhile.
    static constexpr int64_t kSearchCatchUpLimit = 20000;
};
