#include "shell/BrowserBookmarks.h"

#include "platform/fs/FileUtil.h"
#include "storage/FirefoxPlaces.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool IsDirectory(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// The sections of an INI-style file: section name (lower case) -> key (lower case) -> value.
using IniSections = std::map<std::string, std::map<std::string, std::string>>;

IniSections ReadIni(const std::string& text, std::vector<std::string>* order = nullptr) {
    IniSections sections;
    std::istringstream in(text);
    std::string line;
    std::string section;
    bool first = true;
    while (std::getline(in, line)) {
        // A byte-order mark before the first section.
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line = line.substr(3);
        first = false;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (order && !sections.count(section))
                order->push_back(section);
            sections[section];
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        sections[section][Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
    }
    return sections;
}

BookmarkNode Folder(std::string title) {
    return {.kind = BookmarkKind::kFolder, .title = std::move(title)};
}

// Firefox's root folders, by their fixed ids, as the pane names them; the tag folders are no
// bookmarks of their own and are left out.
const char* FirefoxRootTitle(const std::string& guid) {
    if (guid == "menu________")
        return "书签菜单";
    if (guid == "toolbar_____")
        return "书签工具栏";
    if (guid == "unfiled_____")
        return "其他书签";
    if (guid == "mobile______")
        return "移动设备书签";
    return nullptr;
}

const char* ChromiumRootTitle(const std::string& key) {
    if (key == "bookmark_bar")
        return "书签栏";
    if (key == "other")
        return "其他书签";
    if (key == "synced")
        return "移动设备书签";
    return nullptr;
}

void RemoveCopy(const std::string& copy) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        CFileUtil::RemoveFile(copy + suffix);
}

} // namespace

BookmarkSources BookmarkSources::FromEnvironment(const std::string& configuredFavorites,
                                                 const std::string& scratchDir) {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    BookmarkSources sources{.home = home && *home ? home : "",
                            .configuredFavorites = configuredFavorites,
                            .scratchDir = scratchDir};
    sources.configHome = config && *config == '/' ? config : sources.home + "/.config";
    return sources;
}

void CBrowserBookmarks::SortByName(BookmarkNode& node) {
    std::stable_sort(node.children.begin(), node.children.end(),
                     [](const BookmarkNode& a, const BookmarkNode& b) {
                         return Lower(a.title) < Lower(b.title);
                     });
    for (BookmarkNode& child : node.children)
        SortByName(child);
}

std::vector<FoundBookmarkFile> CBrowserBookmarks::FindFirefoxPlaces(const std::string& home) {
    std::vector<FoundBookmarkFile> found;
    // The Debian package, the snap and the flatpak keep their profiles in different places.
    const std::pair<const char*, const char*> roots[] = {
        {"/.mozilla/firefox", "Firefox"},
        {"/snap/firefox/common/.mozilla/firefox", "Firefox (snap)"},
        {"/.var/app/org.mozilla.firefox/.mozilla/firefox", "Firefox (flatpak)"}};
    for (const auto& [folder, name] : roots) {
        const std::string root = home + folder;
        std::string text;
        if (!CFileUtil::ReadFile(root + "/profiles.ini", text))
            continue;
        std::vector<std::string> order;
        const IniSections ini = ReadIni(text, &order);
        // The profile each installation starts with, then the one marked default, then the rest.
        std::vector<std::string> paths;
        std::map<std::string, std::string> names;
        std::vector<std::string> profilePaths;
        for (const std::string& section : order) {
            const auto& keys = ini.at(section);
            const auto path = keys.find("path");
            if (path == keys.end() || section.rfind("profile", 0) != 0)
                continue;
            const auto relative = keys.find("isrelative");
            const bool isRelative = relative == keys.end() || relative->second != "0";
            const std::string full = isRelative ? root + "/" + path->second : path->second;
            names[full] = keys.count("name") ? keys.at("name") : path->second;
            const auto isDefault = keys.find("default");
            if (isDefault != keys.end() && isDefault->second == "1")
                profilePaths.insert(profilePaths.begin(), full);
            else
                profilePaths.push_back(full);
        }
        for (const std::string& section : order) {
            const auto& keys = ini.at(section);
            if (section.rfind("install", 0) == 0 && keys.count("default"))
                paths.push_back(root + "/" + keys.at("default"));
        }
        paths.insert(paths.end(), profilePaths.begin(), profilePaths.end());
        std::vector<std::string> seen;
        for (const std::string& profile : paths) {
            const std::string places = profile + "/places.sqlite";
            if (std::find(seen.begin(), seen.end(), places) != seen.end() || !IsFile(places))
                continue;
            seen.push_back(places);
            found.push_back({.label = name, .path = places});
        }
        if (seen.size() > 1) {
            // Several profiles: each is named.
            for (size_t i = found.size() - seen.size(); i < found.size(); ++i) {
                const std::string profile = fs::path(found[i].path).parent_path().string();
                const auto n = names.find(profile);
                found[i].label +=
                    " (" + (n != names.end() ? n->second : fs::path(profile).filename().string()) +
                    ")";
            }
        }
    }
    return found;
}

bool CBrowserBookmarks::ReadFirefoxPlaces(const std::string& placesPath,
                                          const std::string& scratchDir, BookmarkNode& root,
                                          std::string& error) {
    if (!CFileUtil::CreateDirectories(scratchDir)) {
        error = scratchDir + ": " + CFileUtil::LastErrorText();
        return false;
    }
    const std::string copy = scratchDir + "/places-" + std::to_string(::getpid()) + ".sqlite";
    RemoveCopy(copy);
    std::error_code ec;
    fs::copy_file(placesPath, copy, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error = placesPath + ": " + ec.message();
        return false;
    }
    // What Firefox wrote last may still be in its log beside the database.
    if (IsFile(placesPath + "-wal"))
        fs::copy_file(placesPath + "-wal", copy + "-wal", fs::copy_options::overwrite_existing, ec);
    std::vector<PlacesBookmarkRow> rows;
    const bool ok = CFirefoxPlaces::ReadBookmarks(copy, rows, error);
    RemoveCopy(copy);
    if (!ok) {
        error = placesPath + ": " + error.substr(std::min(error.size(), copy.size() + 2));
        return false;
    }

    std::map<int64_t, std::vector<const PlacesBookmarkRow*>> children;
    const PlacesBookmarkRow* top = nullptr;
    for (const PlacesBookmarkRow& row : rows) {
        children[row.parent].push_back(&row);
        if (row.guid == "root________" || (!top && row.parent == 0))
            top = &row;
    }
    root.children.clear();
    if (!top)
        return true;
    // Folders are walked with a depth limit: a broken file must not loop.
    std::function<void(int64_t, BookmarkNode&, int)> fill = [&](int64_t id, BookmarkNode& node,
                                                                int depth) {
        if (depth > 64)
            return;
        for (const PlacesBookmarkRow* row : children[id]) {
            if (row->type == CFirefoxPlaces::kTypeFolder) {
                BookmarkNode folder = Folder(row->title);
                fill(row->id, folder, depth + 1);
                node.children.push_back(std::move(folder));
            } else if (row->type == CFirefoxPlaces::kTypeBookmark && !row->url.empty() &&
                       row->url.rfind("place:", 0) != 0) {
                node.children.push_back({.kind = BookmarkKind::kLink,
                                         .title = row->title.empty() ? row->url : row->title,
                                         .url = row->url});
            }
        }
    };
    for (const PlacesBookmarkRow* row : children[top->id]) {
        const char* title = FirefoxRootTitle(row->guid);
        if (!title || row->type != CFirefoxPlaces::kTypeFolder)
            continue;
        BookmarkNode folder = Folder(title);
        fill(row->id, folder, 1);
        SortByName(folder);
        if (!folder.children.empty() || row->guid != "mobile______")
            root.children.push_back(std::move(folder));
    }
    return true;
}

std::vector<FoundBookmarkFile>
CBrowserBookmarks::FindChromiumBookmarks(const BookmarkSources& sources) {
    std::vector<FoundBookmarkFile> found;
    const std::pair<std::string, const char*> roots[] = {
        {sources.configHome + "/chromium", "Chromium"},
        {sources.configHome + "/google-chrome", "Google Chrome"},
        {sources.home + "/snap/chromium/common/chromium", "Chromium (snap)"}};
    for (const auto& [root, name] : roots) {
        if (!IsDirectory(root))
            continue;
        // "Default" first, then the other profiles by name.
        std::vector<std::string> profiles;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root, ec)) {
            const std::string profile = entry.path().filename().string();
            if (profile != "Default" && IsFile(entry.path() / "Bookmarks"))
                profiles.push_back(profile);
        }
        std::sort(profiles.begin(), profiles.end());
        if (IsFile(root + "/Default/Bookmarks"))
            profiles.insert(profiles.begin(), "Default");
        for (const std::string& profile : profiles) {
            found.push_back({.label = profile == "Default"
                                          ? std::string(name)
                                          : std::string(name) + " (" + profile + ")",
                             .path = root + "/" + profile + "/Bookmarks"});
        }
    }
    return found;
}

bool CBrowserBookmarks::ReadChromiumBookmarks(const std::string& path, BookmarkNode& root,
                                              std::string& error) {
    std::string text;
    if (!CFileUtil::ReadFile(path, text)) {
        error = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("roots") ||
        !doc["roots"].is_object()) {
        error = path + ": 不是浏览器的书签文件";
        return false;
    }
    const auto str = [](const nlohmann::json& node, const char* key) {
        const auto it = node.find(key);
        return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    std::function<void(const nlohmann::json&, BookmarkNode&, int)> fill =
        [&](const nlohmann::json& folder, BookmarkNode& node, int depth) {
            const auto children = folder.find("children");
            if (depth > 64 || children == folder.end() || !children->is_array())
                return;
            for (const nlohmann::json& child : *children) {
                if (!child.is_object())
                    continue;
                const std::string type = str(child, "type");
                if (type == "folder") {
                    BookmarkNode sub = Folder(str(child, "name"));
                    fill(child, sub, depth + 1);
                    node.children.push_back(std::move(sub));
                } else if (type == "url" && !str(child, "url").empty()) {
                    const std::string name = str(child, "name");
                    node.children.push_back({.kind = BookmarkKind::kLink,
                                             .title = name.empty() ? str(child, "url") : name,
                                             .url = str(child, "url")});
                }
            }
        };
    root.children.clear();
    const nlohmann::json& roots = doc["roots"];
    for (const char* key : {"bookmark_bar", "other", "synced"}) {
        const auto it = roots.find(key);
        if (it == roots.end() || !it->is_object())
            continue;
        BookmarkNode folder = Folder(ChromiumRootTitle(key));
        fill(*it, folder, 1);
        SortByName(folder);
        if (!folder.children.empty() || std::string(key) != "synced")
            root.children.push_back(std::move(folder));
    }
    return true;
}

std::vector<std::string> CBrowserBookmarks::FavoritesCandidates(const BookmarkSources& sources) {
    std::vector<std::string> candidates;
    if (!sources.configuredFavorites.empty())
        candidates.push_back(sources.configuredFavorites);
    // user-dirs.dirs names the user's folders, with $HOME written for the home folder.
    std::string text;
    if (CFileUtil::ReadFile(sources.configHome + "/user-dirs.dirs", text)) {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            line = Trim(line);
            const std::string key = "XDG_FAVORITES_DIR=";
            if (line.rfind(key, 0) != 0)
                continue;
            std::string value = line.substr(key.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (value.rfind("$HOME", 0) == 0)
                value = sources.home + value.substr(5);
            if (!value.empty() && value[0] == '/')
                candidates.push_back(value);
        }
    }
    if (!sources.home.empty())
        candidates.push_back(sources.home + "/Favorites");
    return candidates;
}

std::string CBrowserBookmarks::FindFavoritesFolder(const BookmarkSources& sources) {
    for (const std::string& folder : FavoritesCandidates(sources)) {
        if (IsDirectory(folder))
            return folder;
    }
    return {};
}

std::string CBrowserBookmarks::ReadUrlFile(const std::string& path) {
    std::string text;
    if (!CFileUtil::ReadFile(path, text))
        return {};
    const IniSections ini = ReadIni(text);
    const auto section = ini.find("internetshortcut");
    if (section == ini.end())
        return {};
    const auto url = section->second.find("url");
    return url == section->second.end() ? std::string() : url->second;
}

bool CBrowserBookmarks::ReadUrlFolder(const std::string& folder, BookmarkNode& root,
                                      std::string& error) {
    std::function<bool(const fs::path&, BookmarkNode&, int)> fill =
        [&](const fs::path& dir, BookmarkNode& node, int depth) {
            std::error_code ec;
            fs::directory_iterator it(dir, ec);
            if (ec) {
                error = dir.string() + ": " + ec.message();
                return false;
            }
            for (; it != fs::directory_iterator(); it.increment(ec)) {
                const fs::path& path = it->path();
                if (IsDirectory(path)) {
                    // A link back up the tree must not loop.
                    if (depth > 32 || fs::is_symlink(path, ec))
                        continue;
                    BookmarkNode sub = Folder(path.filename().string());
                    fill(path, sub, depth + 1);
                    node.children.push_back(std::move(sub));
                } else if (Lower(path.extension().string()) == ".url") {
                    node.children.push_back({.kind = BookmarkKind::kLink,
                                             .title = path.stem().string(),
                                             .url = ReadUrlFile(path.string())});
                }
            }
            return true;
        };
    root.children.clear();
    if (!fill(folder, root, 0))
        return false;
    SortByName(root);
    return true;
}

std::vector<BookmarkNode> CBrowserBookmarks::ReadAll(const BookmarkSources& sources,
                                                     std::vector<std::string>& problems) {
    std::vector<BookmarkNode> trees;
    for (const FoundBookmarkFile& file : FindFirefoxPlaces(sources.home)) {
        BookmarkNode root = Folder(file.label);
        std::string error;
        if (ReadFirefoxPlaces(file.path, sources.scratchDir, root, error))
            trees.push_back(std::move(root));
        else
            problems.push_back(error);
    }
    for (const FoundBookmarkFile& file : FindChromiumBookmarks(sources)) {
        BookmarkNode root = Folder(file.label);
        std::string error;
        if (ReadChromiumBookmarks(file.path, root, error))
            trees.push_back(std::move(root));
        else
            problems.push_back(error);
    }
    if (const std::string folder = FindFavoritesFolder(sources); !folder.empty()) {
        BookmarkNode root = Folder("收藏夹");
        std::string error;
        if (ReadUrlFolder(folder, root, error))
            trees.push_back(std::move(root));
        else
            problems.push_back(error);
    }
    return trees;
}
