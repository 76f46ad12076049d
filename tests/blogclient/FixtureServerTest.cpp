// The transports against small servers on 127.0.0.1: the MSN Spaces interface (which no public
// server speaks any more), headers, whole answers, error statuses and the proxy.
#include "BlogTestSupport.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/LoopbackServer.h"
#include "platform/TestCertificate.h"

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
    // The connection settings of the program directory, as the factory reads them.
    BlogConnection Connection() const { return CBlogApiFactory::ReadConnection(m_home.Context()); }

    // The process's too: the reports carry the error catalogue's texts.
    CTempHome m_home{{.processDir = true}};
    CFaultRecorder m_reporter;
    CScopedReporter m_scope{m_reporter};
};

TEST_F(BlogFixtureServerTest, MsnSpacesInterfaceSpeaksToItsService) {
    CRawServer server(MsnAnswer);
    CMsnSpacesApi api;
    api.Bind(AccountFor("MSN Spaces", server), Connection());
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
    api.Bind(AccountFor("Blogger", server), Connection());
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

// With tracing on, a successful exchange is traced as well, request and answer; the password
// that went to the server is masked in the trace, whatever the request's encoding.
TEST_F(BlogFixtureServerTest, TracingRecordsEveryExchangeWithThePasswordMasked) {
    CRawServer server([](const std::string&) {
        return CRawServer::Answer(200, Answer("<array><data></data></array>"),
                                  "Content-Type: text/xml\r\n");
    });
    DebugSettings debug;
    debug.use = 1;
    debug.out = m_home.Path();
    ASSERT_EQ(m_home.Context().Settings().WriteDebugSettings(debug), 1);
    for (const char* encoding : {"UTF-8", "GB2312"}) {
        AccountRecord account = AccountFor("MetaWeblog", server);
        account.encodetype = encoding;
        account.password = "Zq7&<密码>'";
        CMetaWeblogApi api;
        api.Bind(account, Connection());
        PostList list;
        EXPECT_EQ(api.GetRecentPosts(list, 3), 1) << encoding;
    }
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("Zq7&amp;&lt;密码&gt;'"), std::string::npos) << requests[0];
    const std::string trace = ReadAll(m_home.File("quill_debug.html"));
    EXPECT_EQ(trace.find("Zq7"), std::string::npos) << trace;
    size_t masked = 0;
    size_t traced = 0;
    for (size_t at = 0; (at = trace.find("<string>********</string>", at)) != std::string::npos;
         ++at)
        ++masked;
    for (size_t at = 0; (at = trace.find(": HTTP 200\n---- 请求\n<?xml", at)) != std::string::npos;
         ++at)
        ++traced;
    EXPECT_EQ(masked, 2u) << trace;
    EXPECT_EQ(traced, 2u) << trace;
    EXPECT_NE(trace.find("<methodName>metaWeblog.getRecentPosts</methodName>"), std::string::npos);
    EXPECT_NE(trace.find("---- 回应\n" + Answer("<array><data></data></array>")),
              std::string::npos);
}

// Every transport failure keeps its catalogue id, says in the details what happened, and is
// traced when tracing is on.
TEST_F(BlogFixtureServerTest, TransportFailuresSayWhyInTheirDetails) {
    PostList list;
    auto lastDetails = [&] { return m_reporter.faults.empty() ? "" : m_reporter.faults.back(); };

    // A refused connection.
    AccountRecord closedAccount = TestAccount("MetaWeblog");
    closedAccount.port = std::to_string(loopback::ClosedPort());
    CMetaWeblogApi closed;
    closed.Bind(closedAccount, Connection());
    EXPECT_EQ(closed.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(m_reporter.errors.back(), kErrNetwork);
    EXPECT_EQ(m_reporter.messages.back(), "网络连接失败"); // the catalogue's summary
    EXPECT_EQ(lastDetails().rfind("原因: 连接被拒绝或找不到主机: 无法连接到 http://127.0.0.1:" +
                                      closedAccount.port + "/xmlrpc.php (",
                                  0),
              0u)
        << lastDetails();
    // The catalogue's description follows the reason.
    EXPECT_NE(lastDetails().find("\r\n在连接服务器"), std::string::npos) << lastDetails();

    // A server that answers 500: with tracing on, the answer is added to the trace.
    CRawServer failing(
        [](const std::string&) { return CRawServer::Answer(500, "<html>内部错误</html>"); });
    DebugSettings debug;
    debug.use = 1;
    debug.out = m_home.Path();
    ASSERT_EQ(m_home.Context().Settings().WriteDebugSettings(debug), 1);
    WriteAll(m_home.File("quill_debug.html"), "an older trace\n");
    CMetaWeblogApi status;
    status.Bind(AccountFor("MetaWeblog", failing), Connection());
    EXPECT_EQ(status.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(m_reporter.errors.back(), kErrHttpStatus);
    EXPECT_EQ(lastDetails().rfind("原因: HTTP 500 (服务器内部错误)\r\n", 0), 0u) << lastDetails();
    const std::string trace = ReadAll(m_home.File("quill_debug.html"));
    EXPECT_EQ(trace.rfind("an older trace\n==== ", 0), 0u) << trace;
    EXPECT_NE(trace.find(".rpc: HTTP 500 (服务器内部错误)\n---- 请求\n<?xml"), std::string::npos) << trace;
    EXPECT_NE(trace.find("\n---- 回应\n<html>内部错误</html>\n"), std::string::npos) << trace;
    // An aborted object sends nothing.
    CMetaWeblogApi aborted;
    aborted.Bind(AccountFor("MetaWeblog", failing), Connection());
    aborted.Abort();
    EXPECT_EQ(aborted.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(failing.Requests().size(), 1u);

    // A self-signed certificate that the system does not trust; trusted, the call goes through.
    loopback::CTestCertificate certificate("IP:127.0.0.1");
    httplib::SSLServer tls(certificate.cert, certificate.key);
    tls.set_keep_alive_max_count(1);
    tls.Post("/xmlrpc.php", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(Answer("<array><data></data></array>"), "text/xml");
    });
    loopback::CHttpServer tlsRunner(&tls);
    tlsRunner.Start();
    AccountRecord tlsAccount = TestAccount("MetaWeblog");
    tlsAccount.xmlrpcurl = "https://127.0.0.1/xmlrpc.php";
    tlsAccount.port = std::to_string(tlsRunner.Port());
    CMetaWeblogApi untrusted;
    untrusted.Bind(tlsAccount, Connection());
    EXPECT_EQ(untrusted.GetRecentPosts(list, 3), 0);
    EXPECT_EQ(m_reporter.errors.back(), kErrNetwork);
    EXPECT_EQ(lastDetails().rfind("原因: 无法验证服务器的证书 (TLS): https://127.0.0.1:" +
                                      tlsAccount.port + "/xmlrpc.php (",
                                  0),
              0u)
        << lastDetails();
    const std::string pem = m_home.File("server.pem");
    WriteAll(pem, certificate.pem);
    untrusted.SetCaFile(pem);
    EXPECT_EQ(untrusted.GetRecentPosts(list, 3), 1); // an empty list: 4001
    tlsRunner.Stop();
    EXPECT_EQ(m_reporter.errors, (std::vector<int>{kErrNetwork, kErrHttpStatus, kErrNetwork,
                                                   kErrNetwork, kErrEmptyPostList}));
}

TEST(BlogXmlRpcTransport, FailureReasonsTellTheKindsApart) {
    const std::string url = "http://example.com:80/xmlrpc.php";
    auto reason = [&](HttpResult result, const std::string& errorText, long status = 0) {
        HttpResponse response;
        response.result = result;
        response.errorText = errorText;
        response.status = status;
        return CXmlRpcTransport::FailureReason(response, url);
    };
    EXPECT_EQ(reason(HttpResult::kTimeout, "Operation timed out after 300000 milliseconds"),
              "连接超时: " + url +
                  " 在限定的时间内没有回应 (Operation timed out after 300000 milliseconds)");
    EXPECT_EQ(reason(HttpResult::kConnectFailed, "Could not resolve host: example.com"),
              "连接被拒绝或找不到主机: 无法连接到 " + url +
                  " (Could not resolve host: example.com)");
    EXPECT_EQ(reason(HttpResult::kTlsFailed, ""), "无法验证服务器的证书 (TLS): " + url);
    EXPECT_EQ(reason(HttpResult::kOk, "", 502), "HTTP 502 (网关错误)");
    EXPECT_EQ(reason(HttpResult::kCancelled, "cancelled"), "传输已取消");
    EXPECT_EQ(reason(HttpResult::kTransferFailed, "Recv failure"),
              "传输失败: " + url + " (Recv failure)");
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
    ASSERT_EQ(m_home.Context().Settings().WriteProxySettings(settings), 1);
    AccountRecord account = TestAccount("Blogger");
    account.port = std::to_string(loopback::ClosedPort());
    const std::string target = "http://127.0.0.1:" + account.port + "/xmlrpc.php";

    CBloggerApi direct; // 127.0.0.1 is a local host: no proxy
    direct.Bind(account, Connection());
    PostRequest request = direct.MakeRequest();
    request.postId = "1";
    EXPECT_EQ(direct.DeletePost(request), 0);
    EXPECT_TRUE(proxy.Requests().empty());

    settings.localProxyUse = 1;
    ASSERT_EQ(m_home.Context().Settings().WriteProxySettings(settings), 1);
    CBloggerApi proxied;
    proxied.Bind(account, Connection());
    ASSERT_EQ(proxied.DeletePost(request), 1);
    const std::string seen = proxy.Requests().at(0);
    EXPECT_EQ(seen.rfind("POST " + target + " HTTP/1.", 0), 0u) << seen;
    // Base64 of "用户:pw:1"
    EXPECT_NE(seen.find("\r\nProxy-Authorization: Basic 55So5oi3OnB3OjE=\r\n"), std::string::npos);
    EXPECT_EQ(m_reporter.errors, std::vector<int>{kErrNetwork});
}

} // namespace
