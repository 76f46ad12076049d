#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

// The values of one weblog call. For newPost, editPost and deletePost postId is the server's
// post id; for getRecentPosts it holds the number of posts as decimal text.
struct PostRequest {
    std::string userName;
    std::string password;
    std::string title;
    std::string category;
    std::string description; // the article body, HTML
    std::string postId;
    std::string extra; // carried along, read by no interface
    std::string category2;
    std::string tags;
    std::string abstract;
    std::string trackback;
    // The post's date as an instant (0: the moment the request is built). Each interface
    // writes it the way its servers read it (see CXmlRpcRequest::FormatGmtIsoDate).
    std::time_t postTime = 0;
    // The post's options where the interface has them: categories after the first (category),
    // the slug (wp_slug), a draft kept on the server (publish = false) and whether comments are
    // allowed (unset: the weblog's default).
    std::vector<std::string> moreCategories;
    std::string slug;
    bool serverDraft = false;
    std::optional<bool> allowComments;
};

// One post of a recent-posts answer.
struct PostEntry {
    int sequence = 0; // 1 for the first post read
    std::string title;
    std::string description;
    std::string dateCreated; // the server's dateTime.iso8601 text, unchanged
    std::string category;
    std::string postId;
    std::string userId;
    std::string link;
    std::string tags; // mt_keywords, comma-separated, where the server gives them
};

// The posts in answer order.
using PostList = std::vector<PostEntry>;

// The first blog of a getUsersBlogs answer.
struct BlogInfo {
    std::string url;
    std::string blogId;
    std::string blogName;
};

struct CategoryEntry {
    int sequence = 0; // 1 for the first category read
    std::string name;
    std::string id; // filled when the server gives one
};

using CategoryList = std::vector<CategoryEntry>;
