#pragma once

#include "blogclient/MetaWeblogApi.h"

#include <string>
#include <utility>
#include <vector>

// One exchange with the REST interface: the route below the account's base address
// ("/wp/v2/posts/12"), its query values (not yet encoded) and what is sent.
struct RestCall {
    std::string method = "GET";
    std::string route;
    std::vector<std::pair<std::string, std::string>> query;
    std::string body;
    std::string contentType; // "" when nothing is sent
    std::vector<HttpHeader> headers;
};

// What came back: any status, the body as it came.
struct RestReply {
    long status = 0;
    std::string body;
    std::string contentType;
};

// WordPress's REST interface (WordPress 5.6 and later, account type kTypeName), behind the same
// operations as the XML-RPC interfaces, so that local folders, publishing to several accounts,
// the editor, backup and the e-book use it unchanged.
//
// The account's xmlrpcurl holds the REST base address as the site announces it (its
// <link rel="https://api.w.org/"> or Link header): "https://example.com/wp-json/" with pretty
// permalinks, "https://example.com/?rest_route=/" without; the account's port overrides the
// address's as for XML-RPC. The user name and password are a WordPress user and one of its
// application passwords, sent by HTTP Basic authentication.
//
// Categories and tags travel by name as in the other interfaces: names are looked up (and
// created when the weblog has none of that name) before a post is sent. Every failure is
// reported as the XML-RPC ones are: transfer failures with 3001 and their reason, a WordPress
// error answer with 4000 and its code ("rest_cannot_create", "incorrect_password"...), message
// and status, any other answer of status 400 or more with 4002. With the debug setting on, every
// exchange goes to the same trace file as the XML-RPC ones (without the password).
class CWordPressRestApi : public CMetaWeblogApi {
public:
    using CMetaWeblogApi::CMetaWeblogApi;

    // The blogapitype of such accounts.
    static constexpr const char* kTypeName = "WordPress REST";

    // Checks the user (/wp/v2/users/me) and reads the site's name and home address (ending in
    // "/" as XML-RPC gives it); blogId is the user's id.
    int GetUsersBlogs(BlogInfo& info) override;
    // The newest posts of every status but the bin, newest first, up to count (fetched a
    // hundred a page). Bodies and titles are the raw texts, as the XML-RPC interfaces give them;
    // dates are the site's local time written as dateTime.iso8601 ("20261207T13:25:48"); the
    // category is the first one's name (read in one more call for all of them).
    int GetRecentPosts(PostList& list, int count) override;
    // Publishes title, body, categories (category and category2), tags (separated by commas)
    // and abstract (the excerpt).
    int NewPost(const PostRequest& request, std::string& postId) override;
    // Changes title, body and, when given, the category. result is 1.
    int EditPost(const PostRequest& request, int& result) override;
    // Moves the post to the bin, as blogger.deletePost does.
    int DeletePost(const PostRequest& request) override;
    int GetCategories(CategoryList& list) override;
    // Uploads the file (base64 is its data in Base64) to the media library.
    int NewMediaObject(const std::string& fileName, const std::string& mimeType,
                       const std::string& base64, std::string& url) override;
    // Makes a category; gives its id (also when one of that name exists already).
    virtual int NewCategory(const std::string& name, std::string& id);

    void Abort() override;

    // The address of a route below a base address: "…/wp-json/" + "wp/v2/posts", or for a
    // base in the ?rest_route= form the route appended to that parameter; query values are
    // percent-encoded and joined with "?" or "&" as the base needs.
    static std::string RouteUrl(const std::string& base, const std::string& route,
                                const std::vector<std::pair<std::string, std::string>>& query);
    // A WordPress error answer ({"code":…,"message":…}) as the fault dialog shows it, the
    // reason for each refused parameter after the message; false when the body is no such
    // answer.
    static bool ErrorText(const RestReply& reply, std::string& code, std::string& message);
    // The site's local date "2026-12-07T13:25:48" written as XML-RPC writes dates.
    static std::string IsoDate(const std::string& restDate);

protected:
    // Sends one call to the bound account, authenticated; 1 with the reply (any status), or 0
    // after reporting a transfer failure.
    virtual int Exchange(const RestCall& call, RestReply& reply);

private:
    // Exchange, and a JSON answer of status 2xx as its text (nlohmann-json stays out of this
    // header). Reports every failure.
    int CallJson(const RestCall& call, std::string& json);
    // The ids of the names (created when missing) of a taxonomy ("categories" or "tags").
    int TermIds(const std::string& taxonomy, const std::vector<std::string>& names,
                std::vector<long long>& ids);
    // A new post or an edit of one. Both send every option of the article (status, slug,
    // comments, tags, excerpt), as the XML-RPC interfaces do: an edit that left them out would
    // keep the server's old ones while the program reported the user's as sent. Only a new post
    // takes the second category of the old form.
    enum class PostSend { kNew, kEdit };
    int SendPost(const PostRequest& request, const std::string& route, PostSend kind,
                 std::string& postId);

    CHttpClient m_client;
    CCancelToken m_cancel;
};
