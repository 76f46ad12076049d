// Weblog calls to servers that misbehave in every way we know of: each call ends within the
// limits it was given, fails with the catalogue id and a reason that says what happened, and
// hands back no post.
#include "BlogTestSupport.h"

#include "app/ErrorCatalog.h"
#include "blogclient/MetaWeblogApi.h"
#include "blogclient/XmlRpcAnswer.h"
#include "platform/HostileServer.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

// An answer listing one post whose title holds what the case puts there.
std::string PostListAround(const std::string& before, const std::string& after) {
    return before +
           "<methodResponse><params><param><value><array><data><value><struct>"
           "<member><name>title</name><value><string>" +
           after;
}

std::string AnswerBody(const std::string& path) {
    const std::string rest = "</string></value></member><member><name>postid</name><value>"
                             "<string>7</string></value></member></struct></value></data>"
                             "</array></value></param></params></methodResponse>";
    if (path == "/bomb")
        return hostile::EntityBomb(PostListAround("", ""), rest);
    if (path == "/xxe")
        return hostile::ExternalEntity(PostListAround("", ""), rest);
    if (path == "/encoding")
        return "<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?>" + hostile::Garbage(2000);
    if (path == "/utf16")
        return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + hostile::Garbage(2001);
    return "unexpected path " + path;
}

// A MetaWeblog account whose endpoint is the address given, port and all.
AccountRecord AccountAt(const std::string& url) {
    AccountRecord account = TestAccount("MetaWeblog");
    account.xmlrpcurl = url;
    account.port = url.substr(url.rfind(':') + 1);
    account.port.erase(account.port.find('/'));
    return account;
}

struct Case {
    const char* path;
    int error;          // the catalogue id reported
    const char* reason; // a regular expression the fault's description matches
};

} // namespace

TEST(WeblogFaultInjection, EveryMisbehaviourEndsWithItsReasonAndHandsBackNothing) {
    const char* notXml = CXmlRpcAnswer::kNotXmlText;
    const std::vector<Case> cases = {
        // A server that never answers is caught by the low-speed limit, or on a busy machine
        // by the whole-answer limit; either way it is a timeout with its limit named.
        {"/silent", kErrNetwork, "原因: 连接超时: .* \\(服务器 (2|8) 秒内没有回答\\)"},
        {"/drip", kErrNetwork,
         "原因: 连接超时: .* \\((传输停滞|服务器 2 秒内没有回答|8 秒内没有收到完整的回答)"},
        {"/cut", kErrNetwork, "原因: 传输失败: .*/cut \\(transfer closed"},
        {"/huge", kErrNetwork, "原因: 服务器的回应太大"},
        {"/loop", kErrNetwork, "原因: 重定向次数太多"},
        {"/garbage", kErrServerFault, notXml},
        {"/bomb", kErrServerFault, notXml},
        {"/encoding", kErrServerFault, notXml},
        {"/utf16", kErrServerFault, notXml},
        // A host that blocks XML-RPC and shows a page instead is told apart from a bad answer.
        {"/html", kErrHttpStatus,
         "原因: 服务器拒绝了 XML-RPC 接口 \\(HTTP 200, 回应是网页而不是 XML-RPC 回答\\), 可以改用 "
         "WordPress REST 接口"},
        {"/503", kErrHttpStatus, "原因: HTTP 503 \\(服务暂时不可用\\)"},
    };
    CTempHome home;
    hostile::CHostileServer server(AnswerBody);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CFaultRecorder reporter;
        CScopedReporter scope(reporter);
        CMetaWeblogApi api;
        api.Bind(AccountAt(server.Url(c.path)), {});
        api.SetLimits({.connectTimeoutMs = 2000,
                       .totalTimeoutMs = 8000,
                       .lowSpeedBytesPerSecond = 16,
                       .lowSpeedTimeMs = 2000,
                       .maxBodyBytes = 256u << 10,
                       .maxRedirects = 4});
        PostList posts;
        EXPECT_EQ(api.GetRecentPosts(posts, 5), 0);
        EXPECT_TRUE(posts.empty());
        ASSERT_EQ(reporter.errors, std::vector<int>{c.error});
        ASSERT_EQ(reporter.faults.size(), 1u);
        EXPECT_TRUE(std::regex_search(reporter.faults[0], std::regex(c.reason)))
            << reporter.faults[0];
    }
}

// Hosts that block xmlrpc.php answer 403 or 405 (often with a page of their own); the user is
// told that XML-RPC is refused and that REST remains, whatever the page says.
TEST(WeblogFaultInjection, ABlockedXmlRpcIsReportedAsRefusedNotAsABadAnswer) {
    CTempHome home;
    loopback::CRawServer server([](const std::string& request) {
        const int status = request.find("/405") != std::string::npos ? 405 : 403;
        return loopback::CRawServer::Answer(status, "<html><body>Forbidden</body></html>",
                                            "Content-Type: text/html\r\n");
    });
    for (const char* status : {"403", "405"}) {
        CFaultRecorder reporter;
        CScopedReporter scope(reporter);
        CMetaWeblogApi api;
        api.Bind(AccountAt(server.Url(std::string("/") + status + "/xmlrpc.php")), {});
        BlogInfo info;
        EXPECT_EQ(api.GetUsersBlogs(info), 0);
        ASSERT_EQ(reporter.errors, std::vector<int>{kErrHttpStatus});
        EXPECT_NE(reporter.faults.at(0).find(std::string("服务器拒绝了 XML-RPC 接口 (HTTP ") +
                                             status + "), 可以改用 WordPress REST 接口"),
                  std::string::npos)
            << reporter.faults[0];
    }
}

// An answer that names the password file as an entity never brings the file's text back.
TEST(WeblogFaultInjection, AnExternalEntityIsNeverRead) {
    CTempHome home;
    CFaultRecorder reporter;
    CScopedReporter scope(reporter);
    hostile::CHostileServer server(AnswerBody);
    CMetaWeblogApi api;
    api.Bind(AccountAt(server.Url("/xxe")), {});
    PostList posts;
    api.GetRecentPosts(posts, 5);
    for (const PostEntry& post : posts)
        EXPECT_EQ(post.title.find("root:"), std::string::npos) << post.title;
    for (const std::string& fault : reporter.faults)
        EXPECT_EQ(fault.find("root:"), std::string::npos) << fault;
}
