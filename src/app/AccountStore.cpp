#include "app/AccountStore.h"

#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "platform/fs/FileLock.h"
#include "platform/text/TextCheck.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"

#include <array>
#include <cctype>
#include <memory>
#include <string_view>

namespace {

// Added byte by byte to a password before it is spelled in letters; account files written with
// other bytes would not read back, so these never change.
constexpr std::array<unsigned char, 4> kScrambleKey = {0x51, 0x4D, 0x6B, 0x21};

constexpr const char* kNameExists = "已经有这个账户名了!";
constexpr const char* kBadNameText = "账户名称含有不合法的字符!";

bool Load(CReporter& reporter, const std::string& file, CXmlDocument& doc) {
    if (!doc.LoadFile(file) || doc.Root().GetName() != "accounts") {
        reporter.ReportError(kErrAccountFileLoad);
        return false;
    }
    return true;
}

// Every writer, in this process or another (the editor, the command line), holds the lock beside
// the file from loading it to replacing it: each change is made to the current file, and none
// is lost to another writer's older copy. Null, reported, when the lock cannot be had.
std::unique_ptr<CFileLock> LockForChange(CReporter& reporter, const std::string& file) {
    auto lock = std::make_unique<CFileLock>(file);
    if (!lock->Locked()) {
        reporter.ReportMessage("无法锁定账户文件: " + lock->Error());
        return nullptr;
    }
    return lock;
}

bool Save(CReporter& reporter, const std::string& file, const CXmlDocument& doc,
          int errorId = kErrAccountValue) {
    if (!doc.SaveFile(file, "UTF-8", true)) {
        reporter.ReportError(errorId);
        return false;
    }
    return true;
}

// The account elements are walked and compared by their name's text, so no name can change
// what a path selects.
CXmlNode FindAccount(const CXmlDocument& doc, const std::string& name) {
    for (CXmlNode account = doc.Root().FirstChild(); account; account = account.NextSibling()) {
        if (account.GetName() != "account")
            continue;
        CXmlNode nameNode = account.Child("name");
        if (nameNode && nameNode.GetText() == name)
            return account;
    }
    return {};
}

CXmlNode AccountAt(const CXmlDocument& doc, size_t index) {
    size_t i = 0;
    for (CXmlNode account = doc.Root().FirstChild(); account; account = account.NextSibling()) {
        if (account.GetName() == "account" && i++ == index)
            return account;
    }
    return {};
}

bool IsElementName(const std::string& field) {
    if (field.empty())
        return false;
    for (char c : field) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
            return false;
    }
    return true;
}

// The named account; reports 6001 when there is none.
CXmlNode FindAccountOrReport(CReporter& reporter, const CXmlDocument& doc,
                             const std::string& name) {
    CXmlNode account = FindAccount(doc, name);
    if (!account)
        reporter.ReportError(kErrAccountValue);
    return account;
}

// Reads the children in order into the outputs; the first missing one reports 6001.
bool ReadFields(CReporter& reporter, const CXmlNode& account,
                std::initializer_list<std::pair<const char*, std::string*>> fields) {
    for (const auto& [field, out] : fields) {
        CXmlNode node = account.Child(field);
        if (!node) {
            reporter.ReportError(kErrAccountValue);
            return false;
        }
        *out = node.GetText();
    }
    return true;
}

bool WriteFields(CReporter& reporter, const CXmlNode& account,
                 std::initializer_list<std::pair<const char*, std::string>> fields) {
    for (const auto& [field, text] : fields) {
        CXmlNode node = account.Child(field);
        if (!node) {
            reporter.ReportError(kErrAccountValue);
            return false;
        }
        node.SetText(text);
    }
    return true;
}

// Values go into the account file as they are: one that the file could not hold (a control
// character, broken UTF-8) is refused with the message, and nothing is written.
bool CheckTexts(CReporter& reporter, std::initializer_list<std::string_view> texts) {
    if (CTextCheck::AreCleanTexts(texts))
        return true;
    reporter.ReportMessage(CTextCheck::kInvalidCharactersText);
    return false;
}

bool CheckRecord(CReporter& reporter, const AccountRecord& r) {
    if (!CTextCheck::IsCleanText(r.name)) {
        reporter.ReportMessage(kBadNameText);
        return false;
    }
    return CheckTexts(reporter, {r.description, r.xmlrpcurl, r.port, r.blogapitype, r.username,
                                 r.password, r.blogurl, r.encodetype, r.accountpassword});
}

} // namespace

CAccountStore::CAccountStore(std::string programDir, CReporter* reporter)
    : m_file(ProgramFilePath(programDir, kFileName)), m_reporter(reporter) {}

CReporter& CAccountStore::Reporter() const {
    return m_reporter ? *m_reporter : GetReporter();
}

std::string CAccountStore::Scramble(const std::string& password) {
    std::string bytes;
    if (!CTextCodec::Convert(password, "UTF-8", "GB18030", bytes))
        bytes = password;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned b = (static_cast<unsigned char>(bytes[i]) + kScrambleKey[i % 4]) % 256;
        out.push_back(static_cast<char>('A' + b / 26));
        out.push_back(static_cast<char>('A' + b % 26));
    }
    return out;
}

std::string CAccountStore::Unscramble(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int value = (text[i] - 'A') * 26 + (text[i + 1] - 'A');
        int b = (value - kScrambleKey[(i / 2) % 4]) % 256;
        if (b < 0)
            b += 256;
        bytes.push_back(static_cast<char>(b));
    }
    return CTextCodec::GbkToUtf8(bytes);
}

std::string CAccountStore::CheckAccountName(const std::string& name) {
    if (name.empty())
        return "请输入账户名称";
    if (name.find_first_of("/\\:*?\"'<>|%") != std::string::npos || !CTextCheck::IsCleanText(name))
        return kBadNameText;
    if (CTextCodec::GbkByteLength(name) > 20)
        return "账户名称不能超过20个字符";
    return {};
}

int CAccountStore::AddAccount(const AccountRecord& record) const {
    if (!CheckRecord(Reporter(), record))
        return 0;
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    if (FindAccount(doc, record.name)) {
        Reporter().ReportMessage(kNameExists);
        return 0;
    }
    CXmlNode account = doc.Root().AppendChild("account");
    const std::pair<const char*, std::string> children[] = {
        {"expanded", "1"},
        {"name", record.name},
        {"description", record.description},
        {"xmlrpcurl", record.xmlrpcurl},
        {"port", record.port},
        {"blogapitype", record.blogapitype},
        {"username", record.username},
        {"password", Scramble(record.password)},
        {"blogurl", record.blogurl},
        {"encodetype", record.encodetype},
        {"getrecentpostsnum", "5"},
        {"localloginverify", "0"},
        {"accountpassword", ""},
        {"normalexit", "1"},
        {"autosavetime", "50000"},
        {"editorindex", "\\Data\\Editor\\默认\\index.html"},
        {"editorinputfun", "HtmlTextIn"},
        {"editoroutputfun", "HtmlTextOut"},
        {"logxsl", "默认"},
        {"wndposleft", "0"},
        {"wndpostop", "0"},
        {"wndposright", "0"},
        {"wndposbottom", "0"},
        {"relation", ""},
    };
    for (const auto& [element, text] : children)
        account.AppendChild(element, text);
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

int CAccountStore::GetAccount(const std::string& name, AccountRecord& record) const {
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccountOrReport(Reporter(), doc, name);
    if (!account)
        return 0;
    record.name = name;
    std::string password;
    std::string count;
    if (!ReadFields(Reporter(), account,
                    {{"xmlrpcurl", &record.xmlrpcurl},
                     {"port", &record.port},
                     {"blogapitype", &record.blogapitype},
                     {"username", &record.username},
                     {"password", &password}}))
        return 0;
    record.password = Unscramble(password);
    if (!ReadFields(Reporter(), account,
                    {{"blogurl", &record.blogurl},
                     {"encodetype", &record.encodetype},
                     {"getrecentpostsnum", &count}}))
        return 0;
    record.getrecentpostsnum = CAppSettings::ToInt(count);
    if (!ReadFields(Reporter(), account, {{"description", &record.description}}))
        return 0;
    return 1;
}

int CAccountStore::UpdateAccountConnection(const std::string& name,
                                           const AccountRecord& record) const {
    if (!CheckRecord(Reporter(), record))
        return 0;
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccountOrReport(Reporter(), doc, name);
    if (!account)
        return 0;
    if (!WriteFields(Reporter(), account,
                     {{"xmlrpcurl", record.xmlrpcurl},
                      {"port", record.port},
                      {"blogapitype", record.blogapitype},
                      {"username", record.username},
                      {"password", Scramble(record.password)},
                      {"blogurl", record.blogurl},
                      {"encodetype", record.encodetype}}))
        return 0;
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

int CAccountStore::ListAccounts(std::vector<AccountRecord>& accounts) const {
    accounts.clear();
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    for (CXmlNode account = doc.Root().FirstChild(); account; account = account.NextSibling()) {
        if (account.GetName() != "account")
            continue;
        AccountRecord record;
        std::string verify;
        std::string expanded;
        if (!ReadFields(Reporter(), account,
                        {{"name", &record.name},
                         {"description", &record.description},
                         {"blogapitype", &record.blogapitype},
                         {"localloginverify", &verify},
                         {"accountpassword", &record.accountpassword},
                         {"blogurl", &record.blogurl},
                         {"expanded", &expanded}}))
            return 0;
        record.localloginverify = CAppSettings::ToInt(verify);
        record.expanded = CAppSettings::ToInt(expanded);
        accounts.push_back(std::move(record));
    }
    return 1;
}

int CAccountStore::GetLoginSettings(const std::string& name, int& verify,
                                    std::string& loginPassword) const {
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccountOrReport(Reporter(), doc, name);
    if (!account)
        return 0;
    std::string mode;
    if (!ReadFields(Reporter(), account, {{"localloginverify", &mode}}))
        return 0;
    verify = CAppSettings::ToInt(mode);
    loginPassword.clear();
    if (verify == 1) {
        std::string scrambled;
        if (!ReadFields(Reporter(), account, {{"password", &scrambled}}))
            return 0;
        loginPassword = Unscramble(scrambled);
    } else if (verify == 2) {
        if (!ReadFields(Reporter(), account, {{"accountpassword", &loginPassword}}))
            return 0;
    }
    return 1;
}

int CAccountStore::SetLoginSettings(const std::string& name, int verify,
                                    const std::string& accountPassword) const {
    if (!CheckTexts(Reporter(), {accountPassword}))
        return 0;
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccountOrReport(Reporter(), doc, name);
    if (!account)
        return 0;
    if (!WriteFields(
            Reporter(), account,
            {{"localloginverify", std::to_string(verify)}, {"accountpassword", accountPassword}}))
        return 0;
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

bool CAccountStore::CheckLogin(const std::string& name, const std::string& typed) const {
    int verify = 0;
    std::string loginPassword;
    if (!GetLoginSettings(name, verify, loginPassword))
        return false;
    return verify == 0 || typed == loginPassword;
}

namespace {
// The field of the named account; reports 6001 when the account or the field is missing.
CXmlNode AccountField(CReporter& reporter, const CXmlDocument& doc, const std::string& name,
                      const std::string& field) {
    CXmlNode account = FindAccountOrReport(reporter, doc, name);
    if (!account)
        return {};
    CXmlNode node = IsElementName(field) ? account.Child(field) : CXmlNode();
    if (!node)
        reporter.ReportError(kErrAccountValue);
    return node;
}
} // namespace

int CAccountStore::GetAccountField(const std::string& name, const std::string& field,
                                   std::string& text) const {
    CXmlDocument doc;
    CXmlNode node;
    if (!Load(Reporter(), m_file, doc) || !(node = AccountField(Reporter(), doc, name, field)))
        return 0;
    text = field == "password" ? Unscramble(node.GetText()) : node.GetText();
    return 1;
}

int CAccountStore::SetAccountField(const std::string& name, const std::string& field,
                                   const std::string& text) const {
    if (!CheckTexts(Reporter(), {text}))
        return 0;
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    CXmlNode node;
    if (!Load(Reporter(), m_file, doc) || !(node = AccountField(Reporter(), doc, name, field)))
        return 0;
    node.SetText(field == "password" ? Scramble(text) : text);
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

int CAccountStore::GetRelations(const std::string& name, std::vector<std::string>& names) const {
    names.clear();
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode relation = AccountField(Reporter(), doc, name, "relation");
    if (!relation)
        return 0;
    for (CXmlNode item = relation.FirstChild(); item; item = item.NextSibling()) {
        if (item.GetName() == "accountname")
            names.push_back(item.GetText());
    }
    return 1;
}

int CAccountStore::SetRelations(const std::string& name,
                                const std::vector<std::string>& names) const {
    for (const std::string& other : names) {
        if (!CheckTexts(Reporter(), {other}))
            return 0;
    }
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccountOrReport(Reporter(), doc, name);
    if (!account)
        return 0;
    CXmlNode old = account.Child("relation");
    CXmlNode relation = account.InsertChildBefore("relation", old);
    for (const std::string& other : names)
        relation.AppendChild("accountname", other);
    old.Remove();
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

int CAccountStore::SetExpanded(const std::vector<int>& flags) const {
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    for (size_t i = 0; i < flags.size(); ++i) {
        CXmlNode account = AccountAt(doc, i);
        CXmlNode expanded = account ? account.Child("expanded") : CXmlNode();
        if (!expanded) {
            Reporter().ReportError(kErrAccountValue);
            return 0;
        }
        expanded.SetText(std::to_string(flags[i]));
    }
    return Save(Reporter(), m_file, doc) ? 1 : 0;
}

int CAccountStore::DeleteAccount(const std::string& name) const {
    const std::unique_ptr<CFileLock> lock = LockForChange(Reporter(), m_file);
    if (!lock)
        return 0;
    CXmlDocument doc;
    if (!Load(Reporter(), m_file, doc))
        return 0;
    CXmlNode account = FindAccount(doc, name);
    if (!account) {
        Reporter().ReportError(kErrAccountDelete);
        return 0;
    }
    account.Remove();
    for (CXmlNode other = doc.Root().FirstChild(); other; other = other.NextSibling()) {
        CXmlNode relation = other.Child("relation");
        if (!relation)
            continue;
        for (CXmlNode item = relation.FirstChild(); item;) {
            CXmlNode next = item.NextSibling();
            if (item.GetName() == "accountname" && item.GetText() == name)
                item.Remove();
            item = next;
        }
    }
    return Save(Reporter(), m_file, doc, kErrAccountDelete) ? 1 : 0;
}
