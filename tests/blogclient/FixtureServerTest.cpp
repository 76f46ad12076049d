// The transports against small servers on 127.0.0.1: the MSN Spaces interface (which no public
// server speaks any more), headers, whole answers, error statuses and the proxy.
#include "BlogTestSupport.h"

#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "blogclient/MsnSpacesApi.h"
#include "platform/LoopbackServer.h"

#include <gtest/gtest.h>

namespace {

using loopback::CRawServer;

// Answers as the MSN Spaces service did: values without type elements, and the response
// preceded by a byte-order mark, a declaration and blank lines.
std::string MsnAnswer(const std::string& request) {
    auto plain = [](const std::string& xml) {
        return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n\r\n<methodResponse>"
               "<params><param><value>" +
               xml + "</value></param></params></methodResponse>";
    };
    auto post = [](const std::string& id, const std::string& title) {
        return "<value><struct><member><name>title</name><value>" + title +
               "</value></member><member><name>categories</name><value><array><data><value>生活"
               "</value><value>随笔</value></data></array></value></member><member><name>postid"
               "</name><value>" +
               id + "</value></member></struct></value>";
    };
    std::string body = plain("<boolean>1</boolean>");
    if (request.find("metaWeblog.getRecentPosts") != std::string::npos)
        body = plain("<array><data>" + post("cns!1!7", "第一篇") + post("cns!1!6", "第二篇") +
                     "</data></array>");
    else if (request.find("metaWeblog.newPost") != std::string::npos)
        body = "junk before <methodResponse><params><param><value>cns!1!8</value></param>"
               "</params></methodResponse>";
    return CRawServer::Answer(200, body, "Content-Type: text/xml\r\n");
}

AccountRecord AccountFor(const std::string& type, const CRawServer& server) {
    AccountRecord account = TestAccount(type);
    account.xmlrpcurl = server.Url("/storageservice/MetaWeblog.rpc");
    account.port = std::to_string(server.Port());
    return account;
}

class BlogFixtureServerTest : public ::testing::Test {
protected:
    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
};

TEST_F(BlogFixtureServerTest, MsnSpacesInterfaceSpeaksToItsService) {
    CRawServer server(MsnAnswer);
    CMsnSpacesApi api;
    api.Bind(AccountFor("MSN Spaces", server));
    PostList list;
    ASSERT_EQ(api.GetRecentPosts(list, 2), 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].postId + list[0].title + list[0].category, "cns!1!7第一篇生活随笔");
    EXPECT_EQ(list[1].sequence, 2);
    PostRequest post = api.MakeRequest();
    post.title = "新文章";
    std::string postId;
    ASSERT_EQ(api.NewPost(post, postId), 1);
    EXPECT_EQ(postId, "cns!1!8");
    EXPECT_TRUE(m_reporter.errors.empty());

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("POST /storageservice/MetaWeblog.rpc HTTP/1.", 0), 0u);
    size_t agent = requests[0].find("\r\nUser-Agent: quill-spaces\r\n");
    size_t type = requests[0].find("\r\nContent-Type: text/xml; charset=UTF-8\r\n");
    size_t language = requests[0].find("\r\nAccept-Language: zh-cn\r\n");
    EXPECT_TRUE(agent < type && type < language && language != std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("新文章"), std::string::npos);
}

TEST_F(BlogFixtureServerTest, StandardTransportSendsItsHeadersAndReadsWholeAnswers) {
    // A long answer with a NUL byte in the middle comes back to the last byte.
    const std::string big = "<methodResponse>" + std::string(10000, 'x') + std::string(1, '\0') +
                            std::string(5000, 'y') + "</methodResponse>";
    CRawServer server([&](const std::string&) { return CRawServer::Answer(200, big); });
    CBloggerApi api;
    api.Bind(AccountFor("Blogger", server));
    std::string answer;
    ASSERT_EQ(api.Transport("<methodCall/>", answer), 1);
    EXPECT_EQ(answer, big);
    const std::string request = server.Requests().at(0);
    size_t agent = request.find("\r\nUser-Agent: quill\r\n");
    size_t type = request.find("\r\nContent-Type: text/xml\r\n");
    EXPECT_TRUE(agent < type && type != std::string::npos) << request;
    EXPECT_EQ(request.substr(request.size() - 13), "<methodCall/>");
    EXPECT_EQ(request.find("Proxy-Authorization"), std::string::npos);
}

TEST_F(BlogFixtureServerTest, FailuresAreReportedAndErrorStatusesTraced) {
    CRawServer server(
        [](const std::string&) { return CRawServer::Answer(500, "<html>内部错误</html>"); });
    DebugSettings debug;
    debug.use = 1;
    debug.out = m_home.Path();
    ASSERT_EQ(CAppSettings::WriteDebugSettings(debug), 1);
    WriteAll(m_home.File("quill_debug.html"), "an older trace that is longer than the new one");
    CMetaWeblogApi traced;
    traced.Bind(AccountFor("MetaWeblog", server));
    PostList list;
    EXPECT_EQ(traced.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(ReadAll(m_home.File("quill_debug.html")), "<html>内部错误</html>");

    // Nobody listens on a closed port; an aborted object sends nothing.
    AccountRecord closedAccount = TestAccount("MetaWeblog");
    closedAccount.port = std::to_string(loopback::ClosedPort());
    CMetaWeblogApi closed;
    closed.Bind(closedAccount);
    EXPECT_EQ(closed.GetRecentPosts(list, 3), 0);
    CMetaWeblogApi aborted;
    aborted.Bind(AccountFor("MetaWeblog", server));
    aborted.Abort();
    EXPECT_EQ(aborted.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrHttpStatus, kErrNetwork, kErrNetwork}));
}

TEST_F(BlogFixtureServerTest, ProxyIsUsedForLocalHostsOnlyWhenAskedAndGetsItsCredentials) {
    CRawServer proxy(
        [](const std::string&) { return CRawServer::Answer(200, Answer("<boolean>1</boolean>")); });
    ProxySettings settings;
    settings.use = 1;
    settings.server = "127.0.0.1";
    settings.port = std::to_string(proxy.Port());
    settings.userName = "用户";
    settings.password = "pw:1";
    ASSERT_EQ(CAppSettings::WriteProxySettings(settings), 1);
    AccountRecord account = TestAccount("Blogger");
    account.port = std::to_string(loopback::ClosedPort());
    const std::string target = "http://127.0.0.1:" + account.port + "/xmlrpc.php";

    CBloggerApi direct; // 127.0.0.1 is a local host: no proxy
    direct.Bind(account);
    PostRequest request = direct.MakeRequest();
    request.postId = "1";
    EXPECT_EQ(direct.DeletePost(request), 0);
    EXPECT_TRUE(proxy.Requests().empty());

    settings.localProxyUse = 1;
    ASSERT_EQ(CAppSettings::WriteProxySettings(settings), 1);
    CBloggerApi proxied;
    proxied.Bind(account);
    ASSERT_EQ(proxied.DeletePost(request), 1);
    const std::string seen = proxy.Requests().at(0);
    EXPECT_EQ(seen.rfind("POST " + target + " HTTP/1.", 0), 0u) << seen;
    // Base64 of "用户:pw:1"
    EXPECT_NE(seen.find("\r\nProxy-Authorization: Basic 55So5oi3OnB3OjE=\r\n"), std::string::npos);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrNetwork});
}

} // namespace
