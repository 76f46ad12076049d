#pragma once

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "blogclient/BlogTypes.h"
#include "platform/jobs/JobRunner.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CArticleDatabase;
class CBloggerApi;

// The field a failed check is about, so a window can put the focus there.
enum class AccountField {
    kNone,
    kName,
    kDescription,
    kServiceType,
    kEncoding,
    kUrl,
    kPort,
    kUserName,
    kPassword,
    kOldLocalPassword,
    kNewLocalPassword,
    kConfirmLocalPassword,
    kRecentPostsCount,
};

// The answer of a check or a change: "" and kNone when it passed, else the message to show
// ("请输入账户名称", "请输入有效的端口号!(0 - 65535)", "已经有这个账户名了!"...) and its field.
struct SetupCheck {
    std::string message;
    AccountField field = AccountField::kNone;

    bool Ok() const { return message.empty(); }
};

// The local login protection of an account, as the security page asks for it.
enum class LoginLockMode {
    kOff = 0,           // no local login check
    kBlogPassword = 1,  // check with the account's weblog password
    kLocalPassword = 2, // check with a separate local password
};

struct LoginLockChange {
    LoginLockMode mode = LoginLockMode::kOff;
    std::string oldPassword;     // the current local password, when the mode already was 2
    std::string newPassword;     // mode 2
    std::string confirmPassword; // mode 2, typed a second time
    std::string loginPassword;   // the login password in force, to switch a protection off
};

// How a connection test ended.
struct ConnectionTestResult {
    bool ok = false;
    BlogInfo blog;      // the first blog of getUsersBlogs
    std::string reason; // why it failed
    // Which interface was asked ("MetaWeblog (XML-RPC)", "WordPress REST") and at which
    // address, port included.
    std::string interfaceName;
    std::string address;

    // What the test window shows: "用户有效: WordPress REST 接口在 http://… 回答, 博客 …",
    // or "连接失败: reason (… 接口, http://…)".
    std::string Summary() const;
};

// Told when a connection test started with StartConnectionTest ends. Called on the test's
// worker thread: a window hands it on to its interface thread.
class CConnectionTestObserver {
public:
    virtual ~CConnectionTestObserver() = default;
    virtual void OnConnectionTested(const ConnectionTestResult& result) = 0;
};

// Setting up weblog accounts, for the account wizard, the account settings and quillmark-cli:
// the checks of every field in the order the wizard asks, adding, changing and deleting an
// account, the connection test (getUsersBlogs) and the local login lock.
//
// Everything here works on config/userConfig.xml of the context's program directory and answers at
// once, on the calling thread, except StartConnectionTest, whose worker this object owns (joined by
// the next test, WaitForTest or the destructor, which aborts a test still running).
class CAccountSetup {
public:
    // The accounts and the store of the articles (for deleting an account's articles,
    // Storage/blog.db) of the context's program directory.
    explicit CAccountSetup(const CAppContext& context);
    ~CAccountSetup();
    CAccountSetup(const CAccountSetup&) = delete;
    const CAppContext& Context() const { return m_context; }
    CAccountSetup& operator=(const CAccountSetup&) = delete;

    // --- Checks, each in the wizard's order; values are trimmed as the wizard trims them ---
    // Step 1: name (empty, forbidden character, more than 20 GBK bytes), description.
    static SetupCheck CheckNames(const std::string& name, const std::string& description);
    // Step 2: the service type and encoding texts.
    static SetupCheck CheckService(const std::string& blogapitype, const std::string& encodetype);
    // Step 3: the endpoint and its port (0 to 65535).
    static SetupCheck CheckEndpoint(const std::string& url, const std::string& port);
    // Step 4: user name and password.
    static SetupCheck CheckLogin(const std::string& username, const std::string& password);
    // All of them in order.
    static SetupCheck CheckAccount(const AccountRecord& account);
    // The port a URL implies when it is typed: the port written in it; else "443" for one
    // beginning with "https" in any letter case; else the port as it was.
    static std::string PortForUrl(const std::string& url, const std::string& port);
    // The fixed endpoint of MSN Spaces and its port, filled for that service type.
    static void FillServiceEndpoint(AccountRecord& account);
    // The weblog address as typed, or "" when the field holds only its "http://" hint.
    static std::string OptionalAddress(const std::string& typed);

    // --- Changes ---------------------------------------------------------------------------
    // Checks the account and appends it.
    SetupCheck Add(const AccountRecord& account);
    // The connection values (xmlrpcurl, port, blogapitype, username, password, blogurl,
    // encodetype), checked as the settings' connection page does.
    SetupCheck ChangeConnection(const std::string& name, const AccountRecord& account);
    SetupCheck ChangeDescription(const std::string& name, const std::string& description);
    // The default number of posts a fetch takes, 1 to 999.
    SetupCheck SetRecentPostsCount(const std::string& name, int count);
    // The local login protection with the security page's checks.
    SetupCheck ChangeLoginLock(const std::string& name, const LoginLockChange& change);
    // Deletes the account with its articles; the articles go first, so a store that cannot be
    // changed leaves the account whole.
    SetupCheck Delete(const std::string& name);
    // The same, only when the typed text is the account's weblog password ("密码错误!").
    SetupCheck DeleteWithPassword(const std::string& name, const std::string& blogPassword);

    // --- Connection test ------------------------------------------------------------------
    // The interface an account type speaks, as the connection test names it.
    static std::string InterfaceName(const std::string& blogapitype);
    // getUsersBlogs (WordPress REST: the user and the site) with the values of the account
    // (stored or not) and the context's connection settings; blocks until it answers.
    static ConnectionTestResult TestConnection(const CAppContext& context,
                                               const AccountRecord& account);
    // The same on a worker of this object; the observer hears the result. A test still running
    // is aborted first.
    void StartConnectionTest(const AccountRecord& account, CConnectionTestObserver& observer);
    void WaitForTest();

    static constexpr const char* kWrongPasswordText = "密码错误!";
    static constexpr const char* kDeleteFailedText = "删除账户失败!";

private:
    void StopTest();

    CAppContext m_context;
    std::string m_articleStorePath;
    std::mutex m_testLock;
    std::shared_ptr<CBloggerApi> m_testApi; // to abort the running test
    CJobRunner m_tests{1};
};
