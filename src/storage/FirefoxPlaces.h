#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One row of Firefox's bookmark table with the address of the place it points to.
struct PlacesBookmarkRow {
    int64_t id = 0;
    int64_t parent = 0;
    int type = 0; // 1 bookmark, 2 folder, 3 separator
    int position = 0;
    std::string title;
    std::string guid; // the roots have fixed ones: "menu________", "toolbar_____", ...
    std::string url;  // empty for folders and separators
};

// Reads the bookmarks of a Firefox profile's places.sqlite. Firefox keeps its own file locked
// while it runs, so this reads a copy that the caller made; the copy is opened read-only.
class CFirefoxPlaces {
public:
    static constexpr int kTypeBookmark = 1;
    static constexpr int kTypeFolder = 2;
    static constexpr int kTypeSeparator = 3;

    // Every row, ordered by parent and position. False with the reason when the file cannot be
    // opened or is not a places database.
    static bool ReadBookmarks(const std::string& path, std::vector<PlacesBookmarkRow>& rows,
                              std::string& error);
};
