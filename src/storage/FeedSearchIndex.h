#pragma once

#include <string>

class CSqlDatabase;

// The full-text index of the received items' titles and descriptions (rss_search: FTS5 with the
// trigram tokenizer over rss_data, holding no copy of the texts). Triggers on rss_data keep it in
// step with every insert, change and delete, whoever makes them (the merge, cleaning, removing
// channels, the upkeep tool), so it never needs to be told about a write.
//
// The index only narrows the search: a keyword of three or more characters is looked up in it,
// and each row it names is then tested with the same LIKE condition that a scan would use, so
// the result is exactly the scan's (substring, literal, ASCII letters in either case). Trigrams
// fold the case of every letter, not only ASCII, which yields a few more candidates and never
// fewer. A keyword of one or two characters has no trigram and is searched by the scan.
class CFeedSearchIndex {
public:
    // Creates the index, its triggers, and fills it from the stored items, all in one
    // transaction: a file holds either the whole, filled index or none of it, so a half-built
    // index is never read. For 1,000,000 items (titles of ~30 characters, descriptions of ~150)
    // filling it took 33 s of processor time and wrote an index of 318 MB into a file of 741 MB;
    // on a busy or slow disk the wait is longer (17 minutes on a shared test machine), once, on
    // the first open of an older store, while other connections wait for the write lock. False
    // when this SQLite has no FTS5 trigram tokenizer (before 3.34): searching then scans.
    static bool Ensure(CSqlDatabase& db);

    // True when the keyword is long enough to be looked up in the index.
    static bool Serves(const std::string& keyword);

    // The FTS5 query that names every row whose title (or, with inDescription, title or
    // description) may hold the keyword: every trigram of it (quotes doubled), in the title when
    // the description is not searched.
    static std::string MatchQuery(const std::string& keyword, bool inDescription);

    static constexpr int kMinimumCharacters = 3;
};
