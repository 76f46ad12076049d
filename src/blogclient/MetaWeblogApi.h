#pragma once

#include "blogclient/BloggerApi.h"

// The MetaWeblog XML-RPC API. getUsersBlogs and deletePost stay those of the Blogger API.
class CMetaWeblogApi : public CBloggerApi {
public:
    using CBloggerApi::CBloggerApi;

    int GetRecentPosts(PostList& list, int count) override;
    // Sends title, category, second category, body, tags, abstract and trackback, and the local
    // time as both publication dates.
    int NewPost(const PostRequest& request, std::string& postId) override;
    int EditPost(const PostRequest& request, int& result) override;
    // Reads every post of the array in order: title, body, date, first category, post id,
    // user id and link. (The Blogger readers of booleans and post ids serve as they are.)
    int ReadPostList(const std::string& answer, PostList& list) override;

    // Stores a file on the server; base64 is the file's data in Base64. Gives back its URL.
    virtual int NewMediaObject(const std::string& fileName, const std::string& mimeType,
                               const std::string& base64, std::string& url);
    virtual int GetCategories(CategoryList& list);
    virtual int ReadMediaUrl(const std::string& answer, std::string& url);
    virtual int ReadCategories(const std::string& answer, CategoryList& list);
    // Places the values of the operations this class defines. For newMediaObject the request
    // carries the file name in title, the MIME type in category and the data in description.
    virtual int SetMetaWeblogParams(CXmlDocument& doc, const PostRequest& request, int code);

protected:
    // The title is a member of the post's struct.
    bool TitleInContent() const override { return false; }
    // The newPost values; a MovableType server gets no second category, tags, abstract or
    // trackback.
    int PlaceNewPost(CXmlDocument& doc, const PostRequest& request, bool full);
    // Reads the posts of a list answer; noListIsEmpty as for ReadStructArray.
    int ReadPosts(const std::string& answer, PostList& list, bool noListIsEmpty);
};
