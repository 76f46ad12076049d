#pragma once

#include "app/AccountStore.h"
#include "app/AppSettings.h"
#include "blogclient/BlogTypes.h"
#include "platform/http/HttpClient.h"

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CXmlDocument;
class CXmlNode;
class CXmlRpcTransport;

// What an interface object takes from its program directory when it is bound: read by its
// creator (CBlogApiFactory::ReadConnection) and copied into the object.
struct BlogConnection {
    // The program directory whose Data/BlogApi templates come before the shipped ones; "" for
    // the shipped ones only.
    std::string programDir;
    ProxySettings proxy;   // use == 0: none
    std::string debugPath; // the trace file; "" for none
};

// The Blogger XML-RPC API on the endpoint of one account, and the base of the other weblog
// interfaces: it holds the connection state (the bound account, proxy and debug settings), the
// transport and the fault display.
//
// Every call fills a request template through the DOM, sends it and reads the answer. Each
// operation returns 1 on success and 0 on failure; a failure has been reported already (through
// the reporter of this thread) with a catalogue id or the server's fault.
//
// One object per thread; an object may be used for many calls. Abort() may be called from
// another thread to stop the transfer in progress.
class CBloggerApi {
public:
    // Operation codes handed to SetParams.
    enum Operation : int {
        kOpGetUsersBlogs = 0,
        kOpNewPost = 1,
        kOpGetCategories = 2,
        kOpGetRecentPosts = 3,
        kOpEditPost = 4,
        kOpDeletePost = 5,
        kOpNewMediaObject = 6,
    };

    // An unbound object; Bind() gives it an account (CBlogApiFactory binds stored accounts).
    CBloggerApi();
    virtual ~CBloggerApi();
    CBloggerApi(const CBloggerApi&) = delete;
    CBloggerApi& operator=(const CBloggerApi&) = delete;

    // Copies the account, its user name and password into the object's own request, and the
    // connection settings (templates, proxy, trace file) into the object.
    void Bind(const AccountRecord& account, const BlogConnection& connection);
    bool IsBound() const { return m_bound; }
    const AccountRecord& Account() const { return m_account; }
    // A request holding the account's user name and password, for the caller to fill further.
    PostRequest MakeRequest() const { return m_request; }

    virtual int GetUsersBlogs(BlogInfo& info);
    virtual int DeletePost(const PostRequest& request);
    virtual int GetRecentPosts(PostList& list, int count);
    virtual int NewPost(const PostRequest& request, std::string& postId);
    virtual int EditPost(const PostRequest& request, int& result);
    virtual int ReadBoolean(const std::string& answer, int& value);
    virtual int ReadPostList(const std::string& answer, PostList& list);
    virtual int ReadPostId(const std::string& answer, std::string& postId);
    virtual int ReadBlogInfo(const std::string& answer, BlogInfo& info);
    virtual int SetParams(CXmlDocument& doc, const PostRequest& request, int code);
    // POSTs the request bytes to the endpoint; 1 with the whole answer, or 0 after reporting
    // 3001 (network), 4002 (HTTP status 400 or higher).
    virtual int Transport(const std::string& request, std::string& answer);

    // Reports the fault of an answer (id 4000, at the server) with its code and text.
    void ShowFault(const std::string& answer);

    // Whether the article's texts (title, body, categories, tags, abstract, trackback) can be
    // sent: valid UTF-8 without control characters other than tab, CR and LF (XML cannot carry
    // them, and servers answer with a parse fault). Through the Blogger interface the title
    // must not hold "</title>" either (the server would cut it there). When they cannot, reports
    // a message naming the field and the character, and gives false. newPost and editPost check
    // every article before anything is sent.
    bool CheckArticle(const PostRequest& request) const;

    // Stops the transfer in progress (from any thread); the call then fails with 3001.
    virtual void Abort();

    // The proxy and trace file taken at binding time (the transport uses them). A local host
    // is reached without the proxy unless the proxy is also on for local hosts.
    const ProxySettings& Proxy() const { return m_proxy; }
    void SetProxy(const ProxySettings& proxy) { m_proxy = proxy; }
    // The trace file written when an answer has status 400 or higher; "" for none.
    const std::string& DebugPath() const { return m_debugPath; }
    void SetDebugPath(const std::string& path) { m_debugPath = path; }

    // Certificates to trust instead of the system's (a PEM file); "" for the system's.
    void SetCaFile(const std::string& path) { m_caFile = path; }
    // The bounds of every call (CXmlRpcTransport::CallLimits() unless set).
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }

    // The template names: "res://BlogApi.dll/" + kind + "_" + method + ".xml".
    static std::string TemplateName(const char* kind, const char* method);

protected:
    using Filler = std::function<int(CXmlDocument&)>;

    // Loads the template (2001), fills it (the operation's id when a value has no place),
    // serialises it for the account's encoding and sends it. With an article (newPost,
    // editPost), nothing is sent when CheckArticle refuses it.
    int Call(const std::string& templateName, int errorId, const Filler& fill, std::string& answer,
             const PostRequest* article = nullptr);
    // True when the interface writes the title into the content as a title element (Blogger).
    virtual bool TitleInContent() const { return true; }
    // Sends with the standard transport or the MSN Spaces one.
    int Send(const std::string& request, std::string& answer, bool msnSpaces);

    // Reads the array of posts (or categories) of an answer, one struct per value, in order.
    // An empty answer or an empty array reports 4001 and succeeds with nothing added; an
    // answer that is not a list shows the fault, or (noListIsEmpty) reports 4001 when it is not
    // a fault either.
    using StructReader = std::function<void(const CXmlNode& structNode)>;
    int ReadStructArray(const std::string& answer, const StructReader& read, bool noListIsEmpty,
                        bool emptyNotice = true);

    // The local clock for the dates of a new post.
    virtual std::time_t Now() const { return std::time(nullptr); }

    const std::string& Encoding() const { return m_account.encodetype; }

    AccountRecord m_account;
    PostRequest m_request;
    ProxySettings m_proxy;
    std::string m_debugPath;
    std::string m_programDir;
    std::string m_caFile;
    std::optional<HttpLimits> m_limits;
    bool m_bound = false;

private:
    std::shared_ptr<CXmlRpcTransport> m_transport;
};
