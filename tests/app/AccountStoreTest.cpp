#include "app/AccountStore.h"

#include "app/AppContext.h"
#include "app/ErrorCatalog.h"
#include "platform/xml/XmlDocument.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

AccountRecord MakeAccount(const std::string& name, const std::string& password = "secret") {
    AccountRecord a;
    a.name = name;
    a.description = name + " 的博客";
    a.xmlrpcurl = "http://127.0.0.1:8080/xmlrpc.php";
    a.port = "8080";
    a.blogapitype = "MetaWeblog";
    a.username = "admin";
    a.password = password;
    a.encodetype = "UTF-8";
    a.getrecentpostsnum = 42; // a new entry starts with 5 whatever the record says
    return a;
}

class AccountStoreTest : public ::testing::Test {
protected:
    std::string FileText() { return ReadAll(m_home.File("config/userConfig.xml")); }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
};

TEST_F(AccountStoreTest, NewAccountsAreStoredWithInitialTextsAndScrambledPasswords) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("a", "Pass-1")), 1);
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("b", "密码x")), 1);
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("c", "")), 1);
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(m_home.File("config/userConfig.xml")));
    CXmlNode account = doc.SelectNode("/accounts/account[0]");
    std::string names;
    for (CXmlNode child : account.Children())
        names += child.GetName() + " ";
    EXPECT_EQ(names, "expanded name description xmlrpcurl port blogapitype username password "
                     "blogurl encodetype getrecentpostsnum localloginverify accountpassword "
                     "normalexit autosavetime editorindex editorinputfun editoroutputfun logxsl "
                     "wndposleft wndpostop wndposright wndposbottom relation ");
    EXPECT_EQ(account.Child("getrecentpostsnum").GetText(), "5");
    EXPECT_EQ(account.Child("localloginverify").GetText(), "0");
    EXPECT_EQ(account.Child("editorindex").GetText(), "\\Data\\Editor\\默认\\index.html");

    // n GBK bytes become 2n capital letters; the clear text is nowhere in the file.
    std::string stored = account.Child("password").GetText();
    EXPECT_EQ(stored.size(), 12u);
    EXPECT_EQ(stored.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    EXPECT_EQ(FileText().find("Pass-1"), std::string::npos);
    EXPECT_EQ(doc.SelectNode("/accounts/account[1]/password").GetText().size(), 10u);
    EXPECT_EQ(doc.SelectNode("/accounts/account[2]/password").GetText(), "");
    for (const auto& [name, password] : {std::pair{"a", "Pass-1"}, {"b", "密码x"}, {"c", ""}}) {
        AccountRecord back;
        ASSERT_EQ(m_home.Context().Accounts().GetAccount(name, back), 1);
        EXPECT_EQ(back.password, password);
        EXPECT_EQ(back.getrecentpostsnum, 5);
    }
    EXPECT_EQ(CAccountStore::Unscramble(CAccountStore::Scramble("~!@#") + "Q"), "~!@#");

    // Replaced whole and readable by its owner only; beside it only the writers' lock file.
    struct stat st {};
    ASSERT_EQ(::stat(m_home.File("config/userConfig.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    ASSERT_EQ(::stat(m_home.File("config/userConfig.xml.lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_home.File("config")), {}), 3);
}

TEST_F(AccountStoreTest, RefusalsAndFailuresAreReportedWithTheirIds) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("a")), 1);
    std::string before = FileText();
    EXPECT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("a", "other")), 0);
    EXPECT_EQ(m_reporter.messages, std::vector<std::string>{"已经有这个账户名了!"});
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(m_home.Context().Accounts().SetExpanded({1, 1}),
              0); // longer than the file: nothing written
    EXPECT_EQ(FileText(), before);

    AccountRecord record;
    std::string text;
    EXPECT_EQ(m_home.Context().Accounts().GetAccount("nobody", record), 0);
    EXPECT_EQ(m_home.Context().Accounts().GetAccountField("a", "nosuchfield", text), 0);
    EXPECT_EQ(m_home.Context().Accounts().GetAccountField("a", "../name", text), 0);
    EXPECT_EQ(m_home.Context().Accounts().DeleteAccount("nobody"), 0);
    WriteAll(m_home.File("config/userConfig.xml"), "<accounts><account>");
    EXPECT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("b")), 0);
    EXPECT_EQ(m_reporter.errors,
              (std::vector<int>{kErrAccountValue, kErrAccountValue, kErrAccountValue,
                                kErrAccountValue, kErrAccountDelete, kErrAccountFileLoad}));
}

TEST_F(AccountStoreTest, ListConnectionFieldsAndLoginChecks) {
    for (const char* name : {"一", "二", "三"})
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount(name, "Service")), 1);
    AccountRecord changed = MakeAccount("二", "新密码");
    changed.blogapitype = "MovableType";
    changed.encodetype = "GB2312";
    ASSERT_EQ(m_home.Context().Accounts().UpdateAccountConnection("二", changed), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("二", "password", "Service"), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetExpanded({0, 1, 0}), 1);

    std::vector<AccountRecord> list;
    ASSERT_EQ(m_home.Context().Accounts().ListAccounts(list), 1);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name + list[1].name + list[2].name, "一二三");
    EXPECT_EQ(list[1].blogapitype, "MovableType");
    EXPECT_EQ(list[0].expanded + list[1].expanded * 2 + list[2].expanded * 4, 2);
    std::string password;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("二", "password", password), 1);
    EXPECT_EQ(password, "Service");

    EXPECT_TRUE(m_home.Context().Accounts().CheckLogin("一", "anything")); // no check set
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("一", 1, "Local"), 1);
    EXPECT_TRUE(m_home.Context().Accounts().CheckLogin("一", "Service"));
    EXPECT_FALSE(m_home.Context().Accounts().CheckLogin("一", "service"));
    EXPECT_FALSE(m_home.Context().Accounts().CheckLogin("一", "Local"));
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("一", 2, "Local"), 1);
    EXPECT_TRUE(m_home.Context().Accounts().CheckLogin("一", "Local"));
    EXPECT_FALSE(m_home.Context().Accounts().CheckLogin("一", "Service"));
    EXPECT_TRUE(m_reporter.errors.empty());
}

TEST_F(AccountStoreTest, DeletingAnAccountRemovesItFromOtherRelations) {
    for (const char* name : {"A", "B", "C"})
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount(name)), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetRelations("A", {"B", "C"}), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetRelations("C", {"B"}), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetRelations("A", {"C", "B"}), 1);
    ASSERT_EQ(m_home.Context().Accounts().DeleteAccount("B"), 1);
    std::vector<std::string> names;
    ASSERT_EQ(m_home.Context().Accounts().GetRelations("A", names), 1);
    EXPECT_EQ(names, std::vector<std::string>{"C"});
    ASSERT_EQ(m_home.Context().Accounts().GetRelations("C", names), 1);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(FileText().find("<name>B</name>"), std::string::npos);

    // A name that looks like a path selects nothing but its own account.
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("x\"] | //account[\"")), 1);
    ASSERT_EQ(
        m_home.Context().Accounts().SetAccountField("x\"] | //account[\"", "description", "odd"),
        1);
    std::string text;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("A", "description", text), 1);
    EXPECT_EQ(text, "A 的博客");
}

// The editor and the main window change the same file at once. Each of two processes changes
// its own field a thousand times and, before each change, finds it as it left it: a change
// lost to the other writer's older copy would show there.
TEST_F(AccountStoreTest, WritersInTwoProcessesLoseNothing) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("a")), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("a", "autosavetime", "0"), 1);
    const CAppContext context = m_home.Context();
    const auto writeAll = [&context](const char* field) {
        int lost = 0;
        for (int i = 1; i <= 1000; ++i) {
            std::string text;
            if (!context.Accounts().GetAccountField("a", field, text) ||
                text != std::to_string(i - 1))
                ++lost;
            if (!context.Accounts().SetAccountField("a", field, std::to_string(i)))
                ++lost;
        }
        return lost;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(std::min(writeAll("wndposleft"), 100));
    EXPECT_EQ(writeAll("autosavetime"), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string left;
    std::string autosave;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("a", "wndposleft", left), 1);
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("a", "autosavetime", autosave), 1);
    EXPECT_EQ(left + " " + autosave, "1000 1000");
}

TEST(AccountNameCheck, ChecksInOrder) {
    EXPECT_EQ(CAccountStore::CheckAccountName(""), "请输入账户名称");
    for (char c : std::string("/\\:*?\"'<>|%"))
        EXPECT_EQ(CAccountStore::CheckAccountName(std::string("a") + c),
                  "账户名称含有不合法的字符!");
    EXPECT_EQ(CAccountStore::CheckAccountName(std::string(30, 'a') + "%"),
              "账户名称含有不合法的字符!");
    EXPECT_EQ(CAccountStore::CheckAccountName(std::string(20, 'a')), "");
    EXPECT_EQ(CAccountStore::CheckAccountName(std::string(21, 'a')), "账户名称不能超过20个字符");
    EXPECT_EQ(CAccountStore::CheckAccountName("一二三四五六七八九十"), "");
    EXPECT_EQ(CAccountStore::CheckAccountName("一二三四五六七八九十一"),
              "账户名称不能超过20个字符");
}

} // namespace

TEST_F(AccountStoreTest, ValuesTheFileCannotHoldAreRefusedAndTheFileStaysReadable) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(MakeAccount("a")), 1);
    const std::string before = FileText();
    AccountRecord badName = MakeAccount("c\x01t");
    AccountRecord badUser = MakeAccount("b");
    badUser.username = "k\xE9"
                       "ep";
    EXPECT_EQ(CAccountStore::CheckAccountName("c\x01t"), "账户名称含有不合法的字符!");
    EXPECT_EQ(m_home.Context().Accounts().AddAccount(badName), 0);
    EXPECT_EQ(m_home.Context().Accounts().AddAccount(badUser), 0);
    EXPECT_EQ(m_home.Context().Accounts().UpdateAccountConnection("a", badUser), 0);
    EXPECT_EQ(m_home.Context().Accounts().SetAccountField("a", "description", "x\x1By"), 0);
    EXPECT_EQ(m_home.Context().Accounts().SetLoginSettings("a", 2, "p\x7F"), 0);
    EXPECT_EQ(m_home.Context().Accounts().SetRelations("a", {"b\x02"}), 0);
    EXPECT_EQ(m_reporter.messages,
              (std::vector<std::string>{"账户名称含有不合法的字符!", "您输入了无效的字符!",
                                        "您输入了无效的字符!", "您输入了无效的字符!",
                                        "您输入了无效的字符!", "您输入了无效的字符!"}));
    EXPECT_EQ(FileText(), before);
    std::vector<AccountRecord> accounts;
    ASSERT_EQ(m_home.Context().Accounts().ListAccounts(accounts), 1);
    ASSERT_EQ(accounts.size(), 1u);

    // Tabs and line breaks are text like any other.
    ASSERT_EQ(m_home.Context().Accounts().SetAccountField("a", "description", "第一行\n\t第二行"),
              1);
    std::string description;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("a", "description", description), 1);
    EXPECT_EQ(description, "第一行\n\t第二行");
}
