#include "workspace/FolderActions.h"

FolderActions FolderActionsOf(ArticleFolder folder) {
    switch (folder) {
    case ArticleFolder::kReceived:
        return {.deleteOnServer = true};
    case ArticleFolder::kSent:
        return {.deleteOnServer = true, .moveAway = true};
    case ArticleFolder::kDrafts:
        return {.publish = true, .moveAway = true};
    case ArticleFolder::kTrash:
        return {.publish = true, .moveAway = true, .deleteForGood = true};
    }
    return {};
}

FolderActions FolderActionsOf(std::optional<ArticleFolder> folder) {
    return folder ? FolderActionsOf(*folder) : FolderActions{};
}
