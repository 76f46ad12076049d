#pragma once

#include <string>

// One entry of ErrorMsg.xml.
struct ErrorEntry {
    std::string summary;
    std::string description;
    int place = 0; // 0 on this computer, 1 at the server, 2 on the network
};

// The error catalogue: ErrorMsg.xml in the program directory, read anew at every lookup.
class CErrorCatalog {
public:
    // Fills the entry for the id; false (and an empty entry) when the file or the entry is missing.
    static bool Lookup(int id, ErrorEntry& entry);
};

// Shown when the catalogue has no entry for an id.
inline constexpr const char* kErrorEntryMissingText = "找不到对应的错误信息";

// Catalogue ids raised by the program.
enum ErrorId : int {
    kErrXmlCreate = 1000,
    kErrBloggerNewPost = 1001,
    kErrBloggerGetRecentPosts = 1002,
    kErrBloggerGetUsersBlogs = 1003,
    kErrBloggerEditPost = 1004,
    kErrBloggerDeletePost = 1005,
    kErrMetaWeblogNewPost = 1101,
    kErrMetaWeblogGetRecentPosts = 1102,
    kErrMetaWeblogEditPost = 1104,
    kErrMetaWeblogGetCategories = 1106,
    kErrMetaWeblogNewMediaObject = 1107,
    kErrTemplateLoad = 2001,
    kErrNetwork = 3001,
    kErrServerFault = 4000,
    kErrEmptyPostList = 4001,
    kErrHttpStatus = 4002,
    kErrBackupLoad = 5001,
    kErrAccountFileLoad = 6000,
    kErrAccountValue = 6001,
    kErrAccountDelete = 6006,
    kErrSettingsLoad = 7000,
    kErrSettingsValue = 7001,
    kErrChannelFileLoad = 8000,
    kErrChannelReceive = 8001, // a channel received by hand failed; the reason follows
};
