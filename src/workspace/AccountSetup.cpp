#include "workspace/AccountSetup.h"

#include "app/AppContext.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/BloggerApi.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/WordPressRestApi.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/text/AsciiText.h"
#include "storage/ArticleDatabase.h"
#include "workspace/AccountOperations.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <cctype>

namespace {

const char* const kServiceTypes[] = {"MetaWeblog", "Blogger", "MSN Spaces", "MovableType",
                                     "WordPress REST"};

SetupCheck Fail(std::string message, AccountField field = AccountField::kNone) {
    return {.message = std::move(message), .field = field};
}

std::string Trimmed(const std::string& text) {
    return std::string(Trim(text));
}

// The port as the wizard reads it: its leading digits; -1 for a minus sign or no digit.
long long PortNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    long long value = 0;
    size_t digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        if (value < 1000000)
            value = value * 10 + (text[i] - '0');
    }
    return digits ? value : -1;
}

// Runs a store change with its failure kept as text.
template <typename Work> SetupCheck Recorded(Work work, const char* fallback) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (work())
        return {};
    return Fail(recorder.TakeOr(fallback));
}

} // namespace

CAccountSetup::CAccountSetup(const CAppContext& context)
    : m_context(context), m_articleStorePath(CArticleDatabase::PathOf(context)) {}

CAccountSetup::~CAccountSetup() {
    StopTest();
}

SetupCheck CAccountSetup::CheckNames(const std::string& name, const std::string& description) {
    if (std::string message = CAccountStore::CheckAccountName(Trimmed(name)); !message.empty())
        return Fail(message, AccountField::kName);
    if (Trimmed(description).empty())
        return Fail("请输入账户描述", AccountField::kDescription);
    return {};
}

SetupCheck CAccountSetup::CheckService(const std::string& blogapitype,
                                       const std::string& encodetype) {
    if (std::find(std::begin(kServiceTypes), std::end(kServiceTypes), blogapitype) ==
        std::end(kServiceTypes))
        return Fail(CBlogApiFactory::kUnknownTypeText, AccountField::kServiceType);
    if (encodetype != "UTF-8" && encodetype != "GB2312")
        return Fail("编码类型只能是 UTF-8 或 GB2312", AccountField::kEncoding);
    return {};
}

SetupCheck CAccountSetup::CheckEndpoint(const std::string& url, const std::string& port) {
    if (url.empty())
        return Fail("请输入XML-RPC地址!", AccountField::kUrl);
    if (port.empty())
        return Fail("请输入端口号!", AccountField::kPort);
    long long number = PortNumber(port);
    if (number < 0 || number > 65535)
        return Fail("请输入有效的端口号!(0 - 65535)", AccountField::kPort);
    return {};
}

SetupCheck CAccountSetup::CheckLogin(const std::string& username, const std::string& password) {
    if (username.empty())
        return Fail("请输入用户名!", AccountField::kUserName);
    if (password.empty())
        return Fail("请输入密码!", AccountField::kPassword);
    return {};
}

SetupCheck CAccountSetup::CheckAccount(const AccountRecord& account) {
    for (SetupCheck check : {CheckNames(account.name, account.description),
                             CheckService(account.blogapitype, account.encodetype),
                             CheckEndpoint(account.xmlrpcurl, account.port),
                             CheckLogin(account.username, account.password)}) {
        if (!check.Ok())
            return check;
    }
    return {};
}

std::string CAccountSetup::PortForUrl(const std::string& url, const std::string& port) {
    // A port written in the address is the one the user means.
    if (const size_t slashes = url.find("//"); slashes != std::string::npos) {
        const size_t hostStart = slashes + 2;
        std::string host = url.substr(hostStart, url.find_first_of("/?#", hostStart) - hostStart);
        if (const size_t at = host.rfind('@'); at != std::string::npos)
            host.erase(0, at + 1);
        const size_t colon = host.rfind(':');
        const size_t bracket = host.rfind(']');
        if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
            const std::string digits = host.substr(colon + 1);
            if (!digits.empty() && digits.size() <= 5 &&
                digits.find_first_not_of("0123456789") == std::string::npos &&
                std::stoi(digits) >= 1 && std::stoi(digits) <= 65535)
                return digits;
        }
    }
    if (AsciiLower(url.substr(0, 5)) == "https")
        return "443";
    return port;
}

std::string CAccountSetup::OptionalAddress(const std::string& typed) {
    // The field starts with the scheme as a hint; left so, it holds no address.
    const std::string text = Trimmed(typed);
    const std::string lower = AsciiLower(text);
    return lower == "http://" || lower == "https://" ? std::string() : text;
}

void CAccountSetup::FillServiceEndpoint(AccountRecord& account) {
    if (account.blogapitype != "MSN Spaces")
        return;
    if (account.xmlrpcurl.empty() || account.xmlrpcurl == "http://")
        account.xmlrpcurl = CMsnSpacesApi::kEndpoint;
    if (account.port.empty() || account.port == "80")
        account.port = "443";
}

SetupCheck CAccountSetup::Add(const AccountRecord& account) {
    AccountRecord record = account;
    record.name = Trimmed(record.name);
    record.description = Trimmed(record.description);
    record.blogurl = OptionalAddress(record.blogurl);
    if (SetupCheck check = CheckAccount(record); !check.Ok())
        return check;
    return Recorded([&] { return m_context.Accounts().AddAccount(record) != 0; }, "添加账户失败!");
}

SetupCheck CAccountSetup::ChangeConnection(const std::string& name, const AccountRecord& account) {
    if (account.xmlrpcurl.empty())
        return Fail("请输入XML-RPC地址!", AccountField::kUrl);
    if (account.username.empty())
        return Fail("请输入用户名!", AccountField::kUserName);
    if (account.password.empty())
        return Fail("请输入密码!", AccountField::kPassword);
    if (SetupCheck check = CheckService(account.blogapitype, account.encodetype); !check.Ok())
        return check;
    if (SetupCheck check = CheckEndpoint(account.xmlrpcurl, account.port); !check.Ok())
        return check;
    return Recorded(
        [&] { return m_context.Accounts().UpdateAccountConnection(name, account) != 0; },
        "保存账户失败!");
}

SetupCheck CAccountSetup::ChangeDescription(const std::string& name,
                                            const std::string& description) {
    std::string text = Trimmed(description);
    if (text.empty())
        return Fail("请输入账户描述", AccountField::kDescription);
    return Recorded(
        [&] { return m_context.Accounts().SetAccountField(name, "description", text) != 0; },
        "保存账户失败!");
}

SetupCheck CAccountSetup::SetRecentPostsCount(const std::string& name, int count) {
    if (count < 1 || count > 999)
        return Fail("获取日志的数量只能是 1 到 999", AccountField::kRecentPostsCount);
    return Recorded(
        [&] {
            return m_context.Accounts().SetAccountField(name, "getrecentpostsnum",
                                                        std::to_string(count)) != 0;
        },
        "保存账户失败!");
}

SetupCheck CAccountSetup::ChangeLoginLock(const std::string& name, const LoginLockChange& change) {
    int mode = 0;
    std::string stored;
    {
        CReasonRecorder recorder;
        CScopedReporter scope(recorder);
        if (!m_context.Accounts().GetLoginSettings(name, mode, stored))
            return Fail(recorder.TakeOr("载入账户信息失败!"));
    }
    switch (change.mode) {
    case LoginLockMode::kOff:
        // Whoever switches the protection off knows the password it asks for.
        if (mode != 0 && change.loginPassword != stored)
            return Fail(kWrongPasswordText);
        return Recorded([&] { return m_context.Accounts().SetLoginSettings(name, 0, {}) != 0; },
                        "保存账户失败!");
    case LoginLockMode::kBlogPassword:
        return Recorded([&] { return m_context.Accounts().SetLoginSettings(name, 1, {}) != 0; },
                        "保存账户失败!");
    case LoginLockMode::kLocalPassword:
        break;
    }
    if (mode == 2) {
        if (change.oldPassword.empty())
            return Fail("请输入原始的账户密码", AccountField::kOldLocalPassword);
        if (change.oldPassword != stored)
            return Fail("原始的账户密码错误", AccountField::kOldLocalPassword);
    }
    if (change.newPassword.empty())
        return Fail("请输入完整的密码", AccountField::kNewLocalPassword);
    if (change.confirmPassword.empty())
        return Fail("请输入完整的密码", AccountField::kConfirmLocalPassword);
    if (change.newPassword != change.confirmPassword)
        return Fail("两次输入的密码不同!", AccountField::kConfirmLocalPassword);
    return Recorded(
        [&] { return m_context.Accounts().SetLoginSettings(name, 2, change.newPassword) != 0; },
        "保存账户失败!");
}

SetupCheck CAccountSetup::Delete(const std::string& name) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    CArticleDatabase store(m_articleStorePath);
    if (const StoreResult opened = store.OpenStore(); !opened)
        return Fail(std::string(kDeleteFailedText) + " " + opened.reason);
    if (CAccountOperations::RemoveAccount(m_context, name, store))
        return {};
    return Fail(recorder.TakeOr(kDeleteFailedText));
}

SetupCheck CAccountSetup::DeleteWithPassword(const std::string& name,
                                             const std::string& blogPassword) {
    if (blogPassword.empty())
        return Fail("请输入密码!", AccountField::kPassword);
    std::string stored;
    {
        CReasonRecorder recorder;
        CScopedReporter scope(recorder);
        if (!m_context.Accounts().GetAccountField(name, "password", stored))
            return Fail(recorder.TakeOr(kDeleteFailedText));
    }
    if (stored != blogPassword)
        return Fail(kWrongPasswordText, AccountField::kPassword);
    return Delete(name);
}

std::string ConnectionTestResult::Summary() const {
    const std::string where = interfaceName + " 接口, " + address;
    if (!ok)
        return "连接失败: " + reason + " (" + where + ")";
    std::string text = "用户有效: " + interfaceName + " 接口在 " + address + " 回答";
    if (!blog.blogName.empty())
        text += ", 博客 \"" + blog.blogName + "\"";
    if (!blog.url.empty())
        text += " (" + blog.url + ")";
    return text;
}

std::string CAccountSetup::InterfaceName(const std::string& blogapitype) {
    if (blogapitype == CWordPressRestApi::kTypeName)
        return blogapitype;
    return blogapitype + " (XML-RPC)";
}

namespace {

// The test's result with the interface and the address it goes to filled in.
ConnectionTestResult Started(const AccountRecord& account) {
    ConnectionTestResult result{.interfaceName = CAccountSetup::InterfaceName(account.blogapitype),
                                .address = account.xmlrpcurl};
    XmlRpcEndpoint endpoint;
    if (CXmlRpcTransport::SplitEndpoint(account.xmlrpcurl, account.port, endpoint))
        result.address = CXmlRpcTransport::EndpointUrl(endpoint);
    return result;
}

} // namespace

ConnectionTestResult CAccountSetup::TestConnection(const CAppContext& context,
                                                   const AccountRecord& account) {
    ConnectionTestResult result = Started(account);
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::unique_ptr<CBloggerApi> api = CBlogApiFactory::Create(account.blogapitype);
    if (!api) {
        result.reason = CBlogApiFactory::kUnknownTypeText;
        return result;
    }
    api->Bind(account, CBlogApiFactory::ReadConnection(context));
    result.ok = api->GetUsersBlogs(result.blog) != 0;
    if (!result.ok)
        result.reason = recorder.TakeOr("连接失败");
    return result;
}

void CAccountSetup::StartConnectionTest(const AccountRecord& account,
                                        CConnectionTestObserver& observer) {
    StopTest();
    std::shared_ptr<CBloggerApi> api(CBlogApiFactory::Create(account.blogapitype));
    if (api)
        api->Bind(account, CBlogApiFactory::ReadConnection(m_context));
    {
        std::lock_guard guard(m_testLock);
        m_testApi = api;
    }
    m_tests.Submit([api, &observer, start = Started(account)](const CCancelToken&) {
        ConnectionTestResult result = start;
        CReasonRecorder recorder;
        CScopedReporter scope(recorder);
        if (!api) {
            result.reason = CBlogApiFactory::kUnknownTypeText;
        } else {
            result.ok = api->GetUsersBlogs(result.blog) != 0;
            if (!result.ok)
                result.reason = recorder.TakeOr("连接失败");
        }
        observer.OnConnectionTested(result);
    });
}

void CAccountSetup::WaitForTest() {
    m_tests.Wait();
    std::lock_guard guard(m_testLock);
    m_testApi.reset();
}

void CAccountSetup::StopTest() {
    {
        std::lock_guard guard(m_testLock);
        if (m_testApi)
            m_testApi->Abort();
    }
    WaitForTest();
}
