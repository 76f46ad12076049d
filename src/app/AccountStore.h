#pragma once

#include <string>
#include <vector>

class CReporter;

// One weblog account as config/userConfig.xml keeps it. The password is clear text in memory; the
// file holds it scrambled.
struct AccountRecord {
    std::string name;
    std::string description;
    std::string xmlrpcurl;
    std::string port;        // decimal text, 0 to 65535
    // "Blogger", "MetaWeblog", "MovableType", "MSN Spaces" or "WordPress REST" (WordPress's REST
    // interface: xmlrpcurl then holds the REST base address, password an application password)
    std::string blogapitype;
    std::string username;
    std::string password;
    std::string blogurl;
    std::string encodetype; // "UTF-8" or "GB2312"
    int getrecentpostsnum = 5;
    int localloginverify = 0; // 0 none, 1 the service password, 2 the local accountpassword
    std::string accountpassword;
    int expanded = 1;
    std::vector<std::string> relation; // accounts this one publishes together with
};

// The account file config/userConfig.xml of one program directory. Nothing is cached: every
// operation loads the file, works on it and, when it changed something, replaces it atomically
// (readable by its owner only). A change holds the lock file config/userConfig.xml.lock from the
// load to the replace, so changes made at once by several processes (the main window, the editor,
// the command line) all stay. Operations return 1, or report the failure and return 0: 6000 when
// the file cannot be loaded, 6001 when an account or one of its values is missing or the file
// cannot be written, 6006 when an account cannot be deleted.
class CAccountStore {
public:
    // reporter: whom a failure is told; null for the one in force on the calling thread.
    explicit CAccountStore(std::string programDir, CReporter* reporter = nullptr);

    // Appends a new account with the initial texts of a new entry; an existing name is refused
    // with "已经有这个账户名了!" and nothing is written.
    int AddAccount(const AccountRecord& account) const;
    // Reads the connection values and the description (name, xmlrpcurl, port, blogapitype,
    // username, password, blogurl, encodetype, getrecentpostsnum, description).
    int GetAccount(const std::string& name, AccountRecord& account) const;
    // Writes xmlrpcurl, port, blogapitype, username, password, blogurl and encodetype.
    int UpdateAccountConnection(const std::string& name, const AccountRecord& account) const;
    // Every account in file order with name, description, blogapitype, localloginverify,
    // accountpassword, blogurl and expanded.
    int ListAccounts(std::vector<AccountRecord>& accounts) const;

    // The local login check: mode 1 asks for the service password, mode 2 for accountpassword.
    int GetLoginSettings(const std::string& name, int& verify, std::string& loginPassword) const;
    int SetLoginSettings(const std::string& name, int verify,
                         const std::string& accountPassword) const;
    // True when the account has no login check or the typed text equals its login password
    // exactly (letter case counts).
    bool CheckLogin(const std::string& name, const std::string& typed) const;

    // Any child element of the account by its name; "password" is unscrambled / scrambled.
    int GetAccountField(const std::string& name, const std::string& field, std::string& text) const;
    int SetAccountField(const std::string& name, const std::string& field,
                        const std::string& text) const;

    int GetRelations(const std::string& name, std::vector<std::string>& names) const;
    int SetRelations(const std::string& name, const std::vector<std::string>& names) const;

    // The expanded flags of the accounts in file order, in one load and one save.
    int SetExpanded(const std::vector<int>& flags) const;

    // Removes the account and every mention of it in other accounts' relations.
    int DeleteAccount(const std::string& name) const;

    // The password as stored: each byte of its GBK text plus a key byte, written as two
    // capital letters. Unscramble ignores an odd last letter.
    static std::string Scramble(const std::string& password);
    static std::string Unscramble(const std::string& text);

    // The checks of a new account name, in order: empty, a forbidden character, more than 20
    // GBK bytes. Returns the message to show, or "" for a good name.
    static std::string CheckAccountName(const std::string& name);

    // The file below the program directory.
    static constexpr const char* kFileName = "config\\userConfig.xml";

private:
    CReporter& Reporter() const;

    std::string m_file;
    CReporter* m_reporter = nullptr;
};
