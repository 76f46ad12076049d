#pragma once

#include <string>
#include <vector>

enum class BookmarkKind { kFolder, kLink };

// One folder or link of the favorites pane.
struct BookmarkNode {
    BookmarkKind kind = BookmarkKind::kFolder;
    std::string title{};
    std::string url{};
    std::vector<BookmarkNode> children{};
};

// Where the user's bookmarks are looked for; FromEnvironment fills it for this user.
struct BookmarkSources {
    std::string home{};                // $HOME
    std::string configHome{};          // $XDG_CONFIG_HOME
    std::string configuredFavorites{}; // the folder of link files the user chose, may be empty
    std::string scratchDir{};          // where copies of Firefox's database are read (Temp/)

    static BookmarkSources FromEnvironment(const std::string& configuredFavorites,
                                           const std::string& scratchDir);
};

// A bookmark file found on disk, with the name the pane shows for it.
struct FoundBookmarkFile {
    std::string label;
    std::string path;
};

// The user's browser bookmarks: Firefox (places.sqlite), Chromium and Chrome (the Bookmarks
// file), and a folder of Internet-shortcut files (*.url). Within a folder, entries are in the
// order of their names without regard to letter case.
class CBrowserBookmarks {
public:
    // Every source that is present, each as one top-level folder; a source that cannot be read
    // is left out and its reason added to the problems.
    static std::vector<BookmarkNode> ReadAll(const BookmarkSources& sources,
                                             std::vector<std::string>& problems);

    // The places.sqlite of each Firefox profile (the default profile first).
    static std::vector<FoundBookmarkFile> FindFirefoxPlaces(const std::string& home);
    // Copies places.sqlite (and its write-ahead log) into the scratch folder, reads the copy
    // and removes it again: the original stays untouched, even while Firefox holds it locked.
    static bool ReadFirefoxPlaces(const std::string& placesPath, const std::string& scratchDir,
                                  BookmarkNode& root, std::string& error);

    // The Bookmarks file of each Chromium and Chrome profile.
    static std::vector<FoundBookmarkFile> FindChromiumBookmarks(const BookmarkSources& sources);
    static bool ReadChromiumBookmarks(const std::string& path, BookmarkNode& root,
                                      std::string& error);

    // The folder of link files: the configured one, else the XDG user folder named by
    // XDG_FAVORITES_DIR in user-dirs.dirs, else ~/Favorites; the first that exists, or empty.
    static std::string FindFavoritesFolder(const BookmarkSources& sources);
    // The folders that FindFavoritesFolder tries, in order (for telling the user where it looked).
    static std::vector<std::string> FavoritesCandidates(const BookmarkSources& sources);
    // Every *.url file (any letter case) of the folder becomes a link, every subfolder a folder.
    static bool ReadUrlFolder(const std::string& folder, BookmarkNode& root, std::string& error);
    // The URL entry of the InternetShortcut section, or empty.
    static std::string ReadUrlFile(const std::string& path);

    // Case-insensitive order of the names, at every level below the node.
    static void SortByName(BookmarkNode& node);
};
