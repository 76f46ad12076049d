#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CSqlDatabase;

// The full-text index of the received items' titles and descriptions (rss_search: FTS5 with the
// tokenizer CSearchTokenizer over rss_data, holding no copy of the texts). Triggers on rss_data
// note every inserted or changed row in a queue (rss_search_pending), whoever writes it (the
// merge, cleaning, removing channels, the upkeep tool), and CatchUp folds the queue into the
// index later, off the receive path. A row is always either indexed or queued.
//
// The keyword's own tokens are looked up in it as a phrase (words, and the word it ends with as
// a prefix; pairs of ideographs, or one ideograph as a prefix). A keyword of ASCII letters and
// digits alone, or of ideographs alone, is answered by the index exactly; any other names the
// rows that may hold it, the queued rows are added, and each of those rows is then tested with
// the same LIKE condition that a scan would use, so no row is shown that does not hold the
// keyword.
// What the index cannot name is a keyword that begins inside a word ("tion" in "station") and
// text that only markup holds (tag names, attribute values, addresses): the index finds words
// and their beginnings as a reader sees them. A keyword without any letter, digit or ideograph
// (punctuation, emoji) has no token and is searched by the scan.
class CFeedSearchIndex {
public:
    // Registers the tokenizer on the connection, and creates the index, its queue and its
    // triggers in one transaction when the file lacks them. The index of a store from before it
    // (or with the trigram index of earlier versions) starts empty with every row queued (for
    // 1,000,000 items well under the seconds that filling it takes; CatchUp does that in
    // batches, on a worker). False when this SQLite has no FTS5: searching then scans.
    static bool Ensure(CSqlDatabase& db);

    // Folds up to maxRows queued rows into the index, oldest first, kCatchUpBatch rows to a
    // transaction, so that other writers wait for one batch at most; returns how many were
    // folded. A batch that fails leaves the index and the queue as they were and throws. An
    // index of earlier versions, renamed on the first open, is taken apart first (its blocks
    // count as rows).
    static int64_t CatchUp(CSqlDatabase& db, int64_t maxRows);

    // The number of queued rows, counted up to atMost.
    static int64_t PendingRows(CSqlDatabase& db, int64_t atMost);
    // What CatchUp still has to take apart of an index of earlier versions (0: nothing).
    static int64_t OldIndexLeft(CSqlDatabase& db);

    struct Match {
        std::string query;
        // The index alone answers: every row it names holds the keyword in the text a reader
        // sees, and every such row is named (a keyword of ASCII letters and digits only, or of
        // ideographs only).
        bool exact = false;
    };
    // The FTS5 query that names every row whose title (or, with inDescription, title or
    // description) may hold the keyword: the phrase of its tokens, each quoted, the last one as
    // a prefix when the keyword may end inside a word or a run of ideographs. None when the
    // keyword has no token.
    static std::optional<Match> MatchQuery(CSqlDatabase& db, const std::string& keyword,
                                           bool inDescription);

    // Reads the whole index again from the items and empties the queues, in one transaction
    // (when the store is compacted).
    static void Rebuild(CSqlDatabase& db);

    static constexpr int64_t kCatchUpBatch = 5000;
    // A search folds a queue of up to this many rows into the index before it looks (a few
    // hundred milliseconds at most); a longer one is left to the background catch-up, and the
    // search reads the queued rows themselves meanwhile.
    static constexpr int64_t kSearchCatchUpLimit = 20000;
};
