#pragma once

#include "storage/ArticleFolder.h"

#include <optional>

// What may be done with the articles of a folder from the folder itself: the one rule that the
// list's menu and commands, quillmark-cli and the article operations follow. (The editor
// publishes what it edited from any folder: that is an edit, not a publish from the folder.)
struct FolderActions {
    bool publish = false; // 发布, also to several accounts: not on the server, or no longer
    bool deleteOnServer = false; // 从服务器删除: the article is a post of the weblog
    bool moveAway = false;       // 转移到: a received copy stays where the server put it
    bool deleteForGood = false;  // 删除 takes it out of the store instead of into 垃圾箱
};

FolderActions FolderActionsOf(ArticleFolder folder);
// For a code as the store gives it: nothing may be done in a folder it does not know.
FolderActions FolderActionsOf(std::optional<ArticleFolder> folder);

// Why an article cannot be published from its folder.
inline constexpr const char* kNotPublishableText = "只能发布草稿箱或垃圾箱中的文章";
// Why an article cannot be moved out of its folder.
inline constexpr const char* kNotMovableText = "已收日志中的文章不能转移 (可以复制)";
