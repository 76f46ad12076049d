#pragma once

// A weblog server on 127.0.0.1 for the workspace tests, and an observer that records what the
// operations report.
#include "app/AccountStore.h"
#include "platform/LoopbackServer.h"
#include "support/TestSupport.h"
#include "workspace/ArticleObserver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// Answers XML-RPC calls as WordPress does (the recorded answers of tests/data/blogclient). How
// it answers depends on the path an account names:
//   /ok      answers at once;
//   /fault   answers newPost, deletePost and getRecentPosts with the wrong-password fault;
//   /gate    holds each call until `gateSize` calls are held at once, then answers them all
//            (a call held for 10 s without the others gets a fault instead);
//   /hold    holds each call until Release().
class CWeblogServer {
public:
    explicit CWeblogServer(int gateSize = 0) : m_gateSize(gateSize) {
        m_http.Server().Post(
            R"(/(\w+))", [this](const httplib::Request& request, httplib::Response& response) {
                response.set_content(Answer(request.matches[1], request.body), "text/xml");
            });
        m_http.Start();
    }
    ~CWeblogServer() {
        Release();
        m_http.Stop();
    }

    std::string Url(const std::string& path) const { return m_http.Url(path); }
    int Port() const { return m_http.Port(); }

    // Lets every held call go (with a fault).
    void Release() {
        std::lock_guard guard(m_lock);
        m_released = true;
        m_changed.notify_all();
    }
    // Waits (bounded) until a call is held on /hold.
    bool WaitUntilHeld() {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_held > 0; });
    }
    // The calls held on /hold that have been answered (all of them are held until Release).
    int HeldAnswered() {
        std::lock_guard guard(m_lock);
        return m_heldAnswered;
    }
    // The method names of the calls in the order they came.
    std::vector<std::string> Methods() {
        std::lock_guard guard(m_lock);
        return m_methods;
    }

    // The requests' bodies, in the same order.
    std::vector<std::string> Bodies() {
        std::lock_guard guard(m_lock);
        return m_bodies;
    }

private:
    static std::string Method(const std::string& body) {
        size_t start = body.find("<methodName>");
        size_t end = body.find("</methodName>");
        if (start == std::string::npos || end == std::string::npos)
            return {};
        start += 12;
        return body.substr(start, end - start);
    }

    std::string Answer(const std::string& path, const std::string& body) {
        const std::string method = Method(body);
        const std::string fault = ReadTestData("blogclient/fault-wrong-password.xml");
        int postId = 0;
        {
            std::unique_lock guard(m_lock);
            m_methods.push_back(method);
            m_bodies.push_back(body);
            postId = ++m_lastPostId;
            if (path == "gate") {
                ++m_atGate;
                m_changed.notify_all();
                if (!m_changed.wait_for(guard, std::chrono::seconds(10),
                                        [&] { return m_atGate >= m_gateSize || m_released; }) ||
                    m_atGate < m_gateSize)
                    return fault;
            } else if (path == "hold") {
                ++m_held;
                m_changed.notify_all();
                m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_released; });
                ++m_heldAnswered;
                return fault;
            }
        }
        if (path == "fault" && method != "blogger.getUsersBlogs")
            return fault;
        if (method == "metaWeblog.newPost" || method == "blogger.newPost")
            return "<?xml version=\"1.0\"?><methodResponse><params><param><value><string>" +
                   std::to_string(1000 + postId) +
                   "</string></value></param></params></methodResponse>";
        if (method == "metaWeblog.getRecentPosts")
            return ReadTestData("blogclient/metaWeblog.getRecentPosts.xml");
        if (method == "metaWeblog.editPost")
            return ReadTestData("blogclient/metaWeblog.editPost.xml");
        if (method == "blogger.deletePost" || method == "metaWeblog.deletePost")
            return ReadTestData("blogclient/metaWeblog.deletePost.xml");
        if (method == "metaWeblog.getCategories")
            return ReadTestData("blogclient/metaWeblog.getCategories.xml");
        if (method == "metaWeblog.newMediaObject")
            return ReadTestData("blogclient/metaWeblog.newMediaObject.xml");
        if (method == "blogger.getUsersBlogs")
            return ReadTestData("blogclient/blogger.getUsersBlogs.xml");
        return ReadTestData("blogclient/fault-unknown-method.xml");
    }

    loopback::CHttpServer m_http;
    int m_gateSize;
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_atGate = 0;
    int m_held = 0;
    int m_heldAnswered = 0;
    bool m_released = false;
    int m_lastPostId = 0;
    std::vector<std::string> m_methods;
    std::vector<std::string> m_bodies;
};

// A MetaWeblog account on the server's path.
inline AccountRecord ServerAccount(const std::string& name, const CWeblogServer& server,
                                   const std::string& path) {
    AccountRecord account;
    account.name = name;
    account.description = name + " 的博客";
    account.xmlrpcurl = server.Url(path);
    account.port = std::to_string(server.Port());
    account.blogapitype = "MetaWeblog";
    account.username = "admin";
    account.password = "quill-pass-1";
    account.blogurl = "http://127.0.0.1/";
    account.encodetype = "UTF-8";
    return account;
}

// Everything the operations reported, from whichever thread.
class CRecordingObserver : public CArticleObserver {
public:
    void OnProgress(const OperationProgress& progress) override {
        std::lock_guard guard(m_lock);
        progressTexts.push_back(progress.account + ":" + progress.text);
    }
    void OnFolderChanged(int operationId, const FolderRef& folder) override {
        std::lock_guard guard(m_lock);
        changed.push_back(folder);
    }
    void OnAccountPublished(int operationId, const AccountPublishResult& result) override {
        std::lock_guard guard(m_lock);
        published.push_back(result);
    }
    void OnOperationDone(const OperationResult& result) override {
        std::lock_guard guard(m_lock);
        done.push_back(result);
        m_ended.notify_all();
    }
    // Waits (bounded) until the operation has ended; false when it has not.
    bool WaitForDone(int operationId) {
        std::unique_lock guard(m_lock);
        return m_ended.wait_for(guard, std::chrono::seconds(5), [&] {
            return std::any_of(done.begin(), done.end(), [&](const OperationResult& result) {
                return result.operationId == operationId;
            });
        });
    }

    std::mutex m_lock;
    std::condition_variable m_ended;
    std::vector<std::string> progressTexts;
    std::vector<FolderRef> changed;
    std::vector<AccountPublishResult> published;
    std::vector<OperationResult> done;
};
