#pragma once

#include <ctime>
#include <string>
#include <vector>

// Whether a publish makes the post public or keeps it as a draft on the server.
enum class PostStatus { kPublish, kServerDraft };

// What the editor's side panel sets for a post beside its texts (the tags stay with the
// article's texts).
struct PostOptions {
    std::vector<std::string> categories; // the ticked ones; the first is the article's category
    std::string excerpt;                 // mt_excerpt
    std::string slug;                    // wp_slug
    std::time_t publishTime = 0;         // 0: when it is published; a later time schedules it
    PostStatus status = PostStatus::kPublish;
    bool allowComments = true;

    bool operator==(const PostOptions&) const = default;
};

// Why an interface cannot send an option (shown as the greyed field's tooltip); "" when it can.
struct PostOptionSupport {
    std::string categories;
    std::string tags;
    std::string excerpt;
    std::string slug;
    std::string date;
    std::string status;
    std::string comments;

    // For an account's interface type (its blogapitype).
    static PostOptionSupport For(const std::string& blogapitype);
};

class CAppContext;

// The category names the weblog gave last, kept per account in the program directory so the
// panel lists them at once, before (or without) the server answering.
class CCategoryCache {
public:
    explicit CCategoryCache(std::string folder);
    // False when nothing is kept for the account.
    bool Load(const std::string& account, std::vector<std::string>& names) const;
    bool Store(const std::string& account, const std::vector<std::string>& names,
               std::string& reason) const;

    // The folder of a program directory: Storage/Categories.
    static std::string FolderOf(const CAppContext& context);

private:
    std::string FileFor(const std::string& account) const;
    std::string m_folder;
};
