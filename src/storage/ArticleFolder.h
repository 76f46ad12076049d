#pragma once

#include <optional>

// The four folders of an account, by the code blog.db keeps for each (log_property).
enum class ArticleFolder {
    kReceived = 1, // 已收日志: copies fetched from the server
    kSent = 2,     // 已发日志: published from here
    kDrafts = 3,   // 草稿箱
    kTrash = 4,    // 垃圾箱: deleted here or on the server
};

// The code the store keeps for the folder.
constexpr int FolderCode(ArticleFolder folder) {
    return static_cast<int>(folder);
}

// The folder of a stored code; nullopt for any other number.
constexpr std::optional<ArticleFolder> ArticleFolderOf(int code) {
    if (code < FolderCode(ArticleFolder::kReceived) || code > FolderCode(ArticleFolder::kTrash))
        return std::nullopt;
    return static_cast<ArticleFolder>(code);
}
