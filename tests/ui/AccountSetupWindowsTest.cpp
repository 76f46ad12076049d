// The account wizard and the account settings sheet: their checks, messages and focus, on
// the offscreen platform; and the whole round against the WordPress peer.

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/peer/PeerSupport.h"
#include "platform/LoopbackServer.h"
#include "support/TestSupport.h"
#include "ui/UiTestSupport.h"
#include "ui/app/CommandTable.h"
#include "ui/app/MainFrame.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/AccountWizard.h"
#include "ui/blog/BlogWorkspace.h"
#include "ui/blog/LocalLoginDialog.h"
#include "ui/blog/PropertySheetAccountSetup.h"
#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"
#include "workspace/ServicePresets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

AccountRecord Local(const std::string& name, const std::string& password = "pw") {
    return {.name = name,
            .description = name + " 的博客",
            .xmlrpcurl = "http://127.0.0.1:9/xmlrpc.php",
            .port = "9",
            .blogapitype = "MetaWeblog",
            .username = "user",
            .password = password,
            .blogurl = "http://",
            .encodetype = "UTF-8"};
}

// Types the names, the address (unless it is empty: the proposed one stays) and the login into
// the wizard's steps, and goes on to step 5, the summary.
void WalkToSummary(CAccountWizard& wizard, const QString& name, const QString& url,
                   const QString& port, const QString& user, const QString& password) {
    wizard.Next();
    wizard.NameEdit()->setText(name);
    wizard.DescriptionEdit()->setText(QStringLiteral("描述"));
    ASSERT_TRUE(wizard.Next());
    ASSERT_TRUE(wizard.Next());
    if (!url.isEmpty()) {
        wizard.UrlEdit()->setText(url);
        wizard.PortEdit()->setText(port);
    }
    ASSERT_TRUE(wizard.Next());
    wizard.UserEdit()->setText(user);
    wizard.PasswordEdit()->setText(password);
    ASSERT_TRUE(wizard.Next());
}

class AccountSetupWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        m_boxes.Clear();
    }
    void TearDown() override { CLocalLoginDialog::SetHook({}); }

    // The last message box's text, and the boxes forgotten.
    QString Said() {
        const std::vector<QString> texts = m_boxes.Texts();
        m_boxes.Clear();
        return texts.empty() ? QString() : texts.back();
    }
    // Types into the wizard's step 1.
    void FillNames(CAccountWizard& wizard, const QString& name, const QString& description) {
        wizard.NameEdit()->setText(name);
        wizard.DescriptionEdit()->setText(description);
    }

    CTempHome m_home{{.processDir = true}};
    CRecordingMessageBoxes m_boxes;
};

TEST_F(AccountSetupWindowsTest, WizardStepOneChecksTheNamesInOrder) {
    CAccountWizard wizard(m_home.Context(), nullptr, {});
    EXPECT_FALSE(wizard.FinishButton()->isVisibleTo(&wizard));
    ASSERT_TRUE(wizard.Next());
    wizard.show();

    struct Case {
        QString name;
        QString description;
        QString message;
        QLineEdit* focus;
    };
    const Case cases[] = {
        // The order of the checks and their texts are the set-up's own (AccountSetupTest).
        {QStringLiteral("   "), QStringLiteral("d"), QStringLiteral("请输入账户名称"),
         wizard.NameEdit()},
        {QString(21, QLatin1Char('a')), QStringLiteral("d"),
         QStringLiteral("账户名称不能超过20个字符"), wizard.NameEdit()},
        {QStringLiteral("一二三四五六七八九十"), QStringLiteral("  "),
         QStringLiteral("请输入账户描述"), wizard.DescriptionEdit()},
    };
    for (const Case& c : cases) {
        FillNames(wizard, c.name, c.description);
        wizard.DescriptionEdit()->setFocus();
        if (c.focus == wizard.DescriptionEdit())
            wizard.NameEdit()->setFocus();
        EXPECT_FALSE(wizard.Next()) << c.name.toStdString();
        EXPECT_EQ(Said(), c.message) << c.name.toStdString();
        EXPECT_EQ(wizard.focusWidget(), c.focus) << c.name.toStdString();
        EXPECT_EQ(wizard.Step(), CAccountWizard::kNames);
    }
    // Exactly 20 bytes, trimmed.
    FillNames(wizard, QStringLiteral("  ") + QString(20, QLatin1Char('b')),
              QStringLiteral(" 描述 "));
    EXPECT_TRUE(wizard.Next());
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_EQ(wizard.Account().name, std::string(20, 'b'));
    EXPECT_EQ(wizard.Account().description, "描述");
}

TEST_F(AccountSetupWindowsTest, WizardPresetsEndpointAndPortRules) {
    CAccountWizard wizard(m_home.Context(), nullptr,
                          {{.name = "lower",
                            .xmlrpcurl = "https://blog.example/xmlrpc.php",
                            .port = "8443",
                            .blogapitype = "metaweblog",
                            .encodetype = "gb2312"},
                           {.name = "mt",
                            .xmlrpcurl = "http://mt.example/mt-xmlrpc.cgi",
                            .port = "80",
                            .blogapitype = "MovableType",
                            .encodetype = "UTF-8"}});
    wizard.show();
    wizard.Next();
    FillNames(wizard, QStringLiteral("n"), QStringLiteral("d"));
    ASSERT_TRUE(wizard.Next());
    ASSERT_EQ(wizard.PresetList()->count(), 3);
    EXPECT_EQ(wizard.PresetList()->currentRow(), 0);
    EXPECT_EQ(wizard.ServiceCombo()->currentText(), QStringLiteral("MetaWeblog"));
    EXPECT_EQ(wizard.EncodingCombo()->currentText(), QStringLiteral("UTF-8"));

    // A preset written in lower case still selects its entries.
    wizard.PresetList()->setCurrentRow(2);
    EXPECT_EQ(wizard.ServiceCombo()->currentText(), QStringLiteral("MovableType"));
    wizard.PresetList()->setCurrentRow(1);
    EXPECT_EQ(wizard.ServiceCombo()->currentText(), QStringLiteral("MetaWeblog"));
    EXPECT_EQ(wizard.EncodingCombo()->currentText(), QStringLiteral("GB2312"));
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.UrlEdit()->text(), QStringLiteral("https://blog.example/xmlrpc.php"));
    EXPECT_EQ(wizard.PortEdit()->text(), QStringLiteral("8443"));

    // MSN Spaces fills its own endpoint whatever preset was chosen.
    wizard.Back();
    wizard.ServiceCombo()->setCurrentText(QStringLiteral("MSN Spaces"));
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.UrlEdit()->text().toStdString(), CMsnSpacesApi::kEndpoint);
    EXPECT_EQ(wizard.PortEdit()->text(), QStringLiteral("443"));

    // Step 3's checks; HTTPS in capitals gives 443 and nothing sets 80 back.
    wizard.Back();
    wizard.ServiceCombo()->setCurrentText(QStringLiteral("MetaWeblog"));
    wizard.PresetList()->setCurrentRow(0);
    ASSERT_TRUE(wizard.Next());
    wizard.UrlEdit()->clear();
    EXPECT_FALSE(wizard.Next());
    EXPECT_EQ(Said(), QStringLiteral("请输入XML-RPC地址!"));
    EXPECT_EQ(wizard.focusWidget(), wizard.UrlEdit());
    wizard.UrlEdit()->setText(QStringLiteral("http://h/x"));
    wizard.PortEdit()->setText(QStringLiteral("80"));
    wizard.UrlEdit()->setText(QStringLiteral("HTTPS://h/x"));
    EXPECT_EQ(wizard.PortEdit()->text(), QStringLiteral("443"));
    wizard.UrlEdit()->setText(QStringLiteral("http://h/x"));
    EXPECT_EQ(wizard.PortEdit()->text(), QStringLiteral("443"));
    for (const char* bad : {"", "65536", "-1"}) {
        wizard.PortEdit()->setText(QString::fromUtf8(bad));
        wizard.UrlEdit()->setFocus();
        EXPECT_FALSE(wizard.Next()) << bad;
        EXPECT_EQ(Said(), *bad ? QStringLiteral("请输入有效的端口号!(0 - 65535)")
                               : QStringLiteral("请输入端口号!"))
            << bad;
        EXPECT_EQ(wizard.focusWidget(), wizard.PortEdit()) << bad;
    }
    for (const char* good : {"0", "65535"}) {
        wizard.PortEdit()->setText(QString::fromUtf8(good));
        EXPECT_TRUE(wizard.Next()) << good;
        wizard.Back();
    }
}

// 查找接口 on the service page: what was found is explained and fills type, address and port;
// an interface on another host is used only after the user said yes.
TEST_F(AccountSetupWindowsTest, WizardDiscoversTheInterfaceFromTheHomeAddress) {
    loopback::CHttpServer site;
    std::string restHost = "127.0.0.1";
    site.Server().Get("/", [&](const httplib::Request&, httplib::Response& answer) {
        answer.set_content("<html><head><link rel=\"https://api.w.org/\" href=\"http://" +
                               restHost + ":" + std::to_string(site.Port()) +
                               "/?rest_route=/\"></head></html>",
                           "text/html");
    });
    site.Server().set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& answer) {
            if (request.has_param("rest_route")) {
                answer.set_content("{\"namespaces\":[\"wp/v2\"]}", "application/json");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    site.Start();
    CAccountWizard wizard(m_home.Context(), nullptr, {});
    wizard.show();
    wizard.Next();
    FillNames(wizard, QStringLiteral("n"), QStringLiteral("d"));
    ASSERT_TRUE(wizard.Next());
    const QString rest = QStringLiteral("http://127.0.0.1:%1/?rest_route=/").arg(site.Port());

    restHost = "localhost";
    m_boxes.Answer(false);
    wizard.HomeEdit()->setText(QStringLiteral("127.0.0.1:%1").arg(site.Port()));
    wizard.DiscoverButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !wizard.Discovering(); }, 30000));
    EXPECT_TRUE(Said().startsWith(QStringLiteral("接口在另一个主机 localhost 上")));
    EXPECT_EQ(wizard.ServiceCombo()->currentText(), QStringLiteral("MetaWeblog"));
    EXPECT_TRUE(wizard.DiscoveryText()->text().endsWith(
        QStringLiteral("没有使用另一个主机上的接口, 请手工填写。")));

    restHost = "127.0.0.1";
    wizard.DiscoverButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !wizard.Discovering(); }, 30000));
    EXPECT_TRUE(m_boxes.Texts().empty());
    EXPECT_TRUE(wizard.DiscoveryText()->text().contains(
        QStringLiteral("将使用 WordPress REST 接口: ") + rest))
        << wizard.DiscoveryText()->text().toStdString();
    EXPECT_EQ(wizard.ServiceCombo()->currentText(), QStringLiteral("WordPress REST"));
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.UrlEdit()->text(), rest);
    EXPECT_EQ(wizard.PortEdit()->text(), QString::number(site.Port()));
}

// 取消 while the discovery hangs stops it at once and the wizard stays; closing the wizard
// while another hangs gives that up too, and no thread is left.
TEST_F(AccountSetupWindowsTest, WizardDiscoveryThatHangsIsGivenUpAtOnce) {
    loopback::CHangingServer hanging;
    const int threads = ThreadCount();
    auto wizard =
        std::make_unique<CAccountWizard>(m_home.Context(), nullptr, std::vector<AccountRecord>{});
    wizard->HomeEdit()->setText(QString::fromStdString(hanging.Url()));
    wizard->StartDiscovery();
    ExpectClosedWhileHanging(hanging, 1, std::nullopt, [&] { wizard->reject(); });
    EXPECT_FALSE(wizard->Discovering());
    EXPECT_EQ(wizard->DiscoveryText()->text(), QStringLiteral("已取消查找接口"));

    wizard->StartDiscovery();
    ExpectClosedWhileHanging(hanging, 2, threads, [&] { wizard.reset(); });
    EXPECT_TRUE(m_boxes.Texts().empty());
}

TEST_F(AccountSetupWindowsTest, WizardLoginSummaryFinishAndTheFailedTest) {
    CAccountWizard wizard(m_home.Context(), nullptr, {});
    std::vector<std::string> added;
    wizard.SetAddedHandler([&](const std::string& name) { added.push_back(name); });
    wizard.show();
    wizard.Next();
    FillNames(wizard, QStringLiteral("本地"), QStringLiteral("描述"));
    wizard.Next();
    wizard.Next();
    // Nothing listens on port 9: the test fails with its reason.
    wizard.UrlEdit()->setText(QStringLiteral("http://127.0.0.1:9/xmlrpc.php"));
    wizard.PortEdit()->setText(QStringLiteral("9"));
    ASSERT_TRUE(wizard.Next());
    EXPECT_FALSE(wizard.Next());
    EXPECT_EQ(Said(), QStringLiteral("请输入用户名!"));
    EXPECT_EQ(wizard.focusWidget(), wizard.UserEdit());
    wizard.UserEdit()->setText(QStringLiteral("me"));
    EXPECT_FALSE(wizard.Next());
    EXPECT_EQ(Said(), QStringLiteral("请输入密码!"));
    EXPECT_EQ(wizard.focusWidget(), wizard.PasswordEdit());
    wizard.PasswordEdit()->setText(QStringLiteral("secret"));
    ASSERT_TRUE(wizard.Next());

    EXPECT_FALSE(wizard.NextButton()->isVisibleTo(&wizard));
    EXPECT_TRUE(wizard.FinishButton()->isVisibleTo(&wizard));
    // The summary shows the values, never the password.
    QTreeWidget* summary = wizard.SummaryList();
    ASSERT_EQ(summary->topLevelItemCount(), 8);
    EXPECT_EQ(summary->topLevelItem(0)->text(1), QStringLiteral("本地"));
    for (int i = 0; i < summary->topLevelItemCount(); ++i)
        EXPECT_NE(summary->topLevelItem(i)->text(1), QStringLiteral("secret"));

    wizard.TestButton()->click();
    EXPECT_EQ(wizard.TestButton()->text(), QStringLiteral("连接中..."));
    EXPECT_FALSE(wizard.TestButton()->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return !wizard.Testing(); }, 20000));
    EXPECT_EQ(wizard.TestButton()->text(), QStringLiteral("测试连接"));
    EXPECT_TRUE(wizard.TestButton()->isEnabled());
    const QString failure = Said();
    EXPECT_TRUE(failure.startsWith(QStringLiteral("连接失败: "))) << failure.toStdString();
    EXPECT_GT(failure.size(), 6);
    EXPECT_EQ(wizard.Step(), CAccountWizard::kConfirm);

    // Back from step 5 shows 下一步 again; the account is stored only by 完成.
    wizard.Back();
    EXPECT_TRUE(wizard.NextButton()->isVisibleTo(&wizard));
    EXPECT_FALSE(wizard.FinishButton()->isVisibleTo(&wizard));
    std::vector<AccountRecord> accounts;
    ASSERT_EQ(m_home.Context().Accounts().ListAccounts(accounts), 1);
    EXPECT_TRUE(accounts.empty());
    wizard.Next();
    EXPECT_TRUE(wizard.Finish());
    EXPECT_EQ(added, std::vector<std::string>{"本地"});
    AccountRecord stored;
    ASSERT_EQ(m_home.Context().Accounts().GetAccount("本地", stored), 1);
    EXPECT_EQ(stored.password, "secret");
    EXPECT_EQ(stored.port, "9");
    EXPECT_EQ(stored.blogurl, "") << "the field's http:// hint is no address";

    // A second account of the same name is refused and the wizard stays.
    CAccountWizard again(m_home.Context(), nullptr, {});
    ASSERT_NO_FATAL_FAILURE(WalkToSummary(again, QStringLiteral("本地"), {}, {},
                                          QStringLiteral("me"), QStringLiteral("x")));
    EXPECT_FALSE(again.Finish());
    EXPECT_EQ(Said(), QStringLiteral("已经有这个账户名了!"));
}

TEST_F(AccountSetupWindowsTest, CancellingARunningTestKeepsTheWizard) {
    // A server that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString port = QString::number(silent.serverPort());
    CAccountWizard wizard(m_home.Context(), nullptr, {});
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(WalkToSummary(wizard, QStringLiteral("c"),
                                          QStringLiteral("http://127.0.0.1:%1/x").arg(port), port,
                                          QStringLiteral("u"), QStringLiteral("p")));
    wizard.TestButton()->click();
    ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }));
    ASSERT_TRUE(wizard.Testing());
    wizard.reject();
    EXPECT_FALSE(wizard.Testing());
    EXPECT_TRUE(wizard.isVisible());
    EXPECT_EQ(wizard.TestButton()->text(), QStringLiteral("测试连接"));
    EXPECT_TRUE(wizard.TestButton()->isEnabled());
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_boxes.Texts().empty());
    // Closing now drops what was typed: asked first, No keeps the wizard.
    m_boxes.Answer(false);
    wizard.reject();
    EXPECT_TRUE(wizard.isVisible());
    EXPECT_EQ(m_boxes.Texts(), std::vector<QString>{QStringLiteral(
                                   "确定要放弃新建账户吗?\n已填写的内容不会保存。")});
    wizard.reject();
    EXPECT_FALSE(wizard.isVisible());
}

TEST_F(AccountSetupWindowsTest, ThePresetFileShipsTheKnownServices) {
    const std::vector<AccountRecord> presets = CServicePresets::LoadInstalled(m_home.Context());
    ASSERT_GE(presets.size(), 5u);
    std::vector<std::string> types;
    for (const AccountRecord& preset : presets) {
        EXPECT_FALSE(preset.name.empty());
        EXPECT_TRUE(CAccountSetup::CheckService(preset.blogapitype, preset.encodetype).Ok())
            << preset.name;
        EXPECT_TRUE(CAccountSetup::CheckEndpoint(preset.xmlrpcurl, preset.port).Ok())
            << preset.name;
        types.push_back(preset.blogapitype);
    }
    for (const char* type :
         {"MetaWeblog", "Blogger", "MovableType", "MSN Spaces", "WordPress REST"})
        EXPECT_NE(std::find(types.begin(), types.end(), type), types.end()) << type;
    // The services that no longer answer are kept, marked.
    std::vector<std::string> retired;
    for (const AccountRecord& preset : presets) {
        if (CServicePresets::IsRetired(preset))
            retired.push_back(preset.blogapitype);
    }
    EXPECT_EQ(retired, (std::vector<std::string>{"Blogger", "MSN Spaces"}));
    EXPECT_TRUE(CServicePresets::Load(m_home.File("none.xml")).empty());
}

TEST_F(AccountSetupWindowsTest, SheetConnectionChecksAndWrites) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("a")), 1);
    std::vector<std::pair<int, int>> notices;
    CPropertySheetAccountSetup sheet(
        m_home.Context(), "a", [&](int code, int update) { notices.emplace_back(code, update); });
    sheet.show();
    CPropertyPageAccountConnection* page = sheet.Connection();
    EXPECT_EQ(page->UrlEdit()->text(), QStringLiteral("http://127.0.0.1:9/xmlrpc.php"));
    EXPECT_EQ(page->PasswordEdit()->text(), QStringLiteral("pw"));

    const std::pair<QLineEdit*, const char*> empties[] = {
        {page->UrlEdit(), "请输入XML-RPC地址!"},
        {page->UserEdit(), "请输入用户名!"},
        {page->PasswordEdit(), "请输入密码!"},
    };
    for (const auto& [edit, message] : empties) {
        const QString kept = edit->text();
        edit->clear();
        EXPECT_FALSE(sheet.Confirm());
        EXPECT_EQ(Said(), QString::fromUtf8(message));
        EXPECT_EQ(sheet.focusWidget(), edit);
        edit->setText(kept);
    }
    page->UrlEdit()->setText(QStringLiteral("http://h.example/xmlrpc.php"));
    page->ServiceCombo()->setCurrentText(QStringLiteral("Blogger"));
    sheet.General()->DescriptionEdit()->setText(QStringLiteral("新的描述"));
    sheet.General()->CountSpin()->setValue(20);
    ASSERT_TRUE(sheet.Confirm());
    AccountRecord stored;
    ASSERT_EQ(m_home.Context().Accounts().GetAccount("a", stored), 1);
    EXPECT_EQ(stored.xmlrpcurl, "http://h.example/xmlrpc.php");
    EXPECT_EQ(stored.blogapitype, "Blogger");
    EXPECT_EQ(stored.description, "新的描述");
    EXPECT_EQ(stored.getrecentpostsnum, 20);
    EXPECT_EQ(notices,
              (std::vector<std::pair<int, int>>{{-1, CAccountTreeCtrl::kUpdateDescription}}));
}

TEST_F(AccountSetupWindowsTest, SheetPermissionMoves) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("me")), 1);
    for (const char* name : {"b1", "x1", "b2"})
        ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local(name, std::string(name) + "pw")), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetLoginSettings("x1", 1, {}), 1);
    CPropertySheetAccountSetup sheet(m_home.Context(), "me", {});
    CPropertyPageAccountPermission* page = sheet.Permission();
    QTreeWidget* left = page->OthersList();
    QListWidget* right = page->PermittedList();
    ASSERT_EQ(left->topLevelItemCount(), 3);
    EXPECT_EQ(left->topLevelItem(1)->text(0), QStringLiteral("×"));
    EXPECT_EQ(left->topLevelItem(0)->text(0), QStringLiteral("√"));
    ASSERT_EQ(right->count(), 1);
    EXPECT_EQ(right->item(0)->text(), QStringLiteral("me"));

    // >> with one "×" among three moves nothing and names it.
    page->MoveAllRight();
    EXPECT_EQ(Said(), QStringLiteral("您需要输入账户 x1 的密码"));
    EXPECT_EQ(left->topLevelItemCount(), 3);
    left->setCurrentItem(left->topLevelItem(1));
    page->MoveRight();
    EXPECT_EQ(Said(), QStringLiteral("您需要输入账户 x1 的密码"));
    left->setCurrentItem(left->topLevelItem(0));
    page->MoveRight();
    EXPECT_EQ(right->count(), 2);

    // The password prompt: a wrong one keeps "×", the right one (letter case counts) opens it.
    std::vector<QString> typed = {QStringLiteral("X1PW"), QStringLiteral("x1pw")};
    CLocalLoginDialog::SetHook([&](const QString&) -> std::optional<QString> {
        QString t = typed.front();
        typed.erase(typed.begin());
        return t;
    });
    QTreeWidgetItem* locked = left->topLevelItem(0);
    ASSERT_EQ(locked->text(1), QStringLiteral("x1"));
    page->OnOtherActivated(locked);
    EXPECT_EQ(Said(), QStringLiteral("您输入的密码有误!"));
    EXPECT_EQ(locked->text(0), QStringLiteral("×"));
    page->OnOtherActivated(locked);
    EXPECT_EQ(locked->text(0), QStringLiteral("√"));
    page->MoveAllRight();
    EXPECT_EQ(left->topLevelItemCount(), 0);
    ASSERT_EQ(right->count(), 4);

    // < never moves the own name; << leaves only it.
    right->setCurrentRow(0);
    page->MoveLeft();
    EXPECT_EQ(right->count(), 4);
    right->setCurrentRow(3);
    page->MoveLeft();
    EXPECT_EQ(left->topLevelItemCount(), 1);
    ASSERT_TRUE(sheet.Confirm());
    std::vector<std::string> relations;
    ASSERT_EQ(m_home.Context().Accounts().GetRelations("me", relations), 1);
    EXPECT_EQ(relations.size(), 2u);

    CPropertySheetAccountSetup again(m_home.Context(), "me", {});
    EXPECT_EQ(again.Permission()->PermittedList()->count(), 3);
    again.Permission()->MoveAllLeft();
    EXPECT_EQ(again.Permission()->PermittedList()->count(), 1);
    EXPECT_EQ(again.Permission()->OthersList()->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(again.Permission()->OthersList()->topLevelItem(i)->text(0), QStringLiteral("√"));
}

TEST_F(AccountSetupWindowsTest, SheetEditorSkinsAndSecurityModes) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("s", "blogpw")), 1);
    {
        CPropertySheetAccountSetup sheet(m_home.Context(), "s", {});
        CPropertyPageAccountEditor* editor = sheet.Editor();
        EXPECT_TRUE(CPropertyPageAccountEditor::LogSkins(m_home.Context())
                        .contains(QStringLiteral("默认")));
        EXPECT_EQ(editor->LogSkinCombo()->currentText(), QStringLiteral("默认"));
        // The page reads as a path of this system; the stored older form still names it.
        EXPECT_EQ(editor->EditorIndexCombo()->currentText(),
                  QStringLiteral("Data/Editor/默认/index.html"));
        EXPECT_TRUE(CPropertyPageAccountEditor::EditorPages(m_home.Context())
                        .contains(QStringLiteral("Data/Editor/默认/index.html")));

        // Mode 0 on opening.
        CPropertyPageAccountSecurity* security = sheet.Security();
        EXPECT_FALSE(security->LockCheck()->isChecked());
        EXPECT_FALSE(security->OldPasswordEdit()->isVisibleTo(security));
        EXPECT_EQ(security->NewPasswordLabel()->text(), QStringLiteral("请输入新的登陆密码"));
        EXPECT_FALSE(security->NewPasswordEdit()->isEnabled());
        security->LockCheck()->setChecked(true);
        security->LocalPasswordChoice()->setChecked(true);
        EXPECT_TRUE(security->NewPasswordEdit()->isEnabled());
        sheet.show();
        // The checks of the passwords are the set-up's own (AccountSetupTest); the sheet keeps
        // the focus where the user must mend.
        security->NewPasswordEdit()->setText(QStringLiteral("local1"));
        security->ConfirmPasswordEdit()->setText(QStringLiteral("local2"));
        EXPECT_FALSE(sheet.Confirm());
        EXPECT_EQ(Said(), QStringLiteral("两次输入的密码不同!"));
        EXPECT_EQ(sheet.focusWidget(), security->ConfirmPasswordEdit());
        security->ConfirmPasswordEdit()->setText(QStringLiteral("local1"));
        ASSERT_TRUE(sheet.Confirm());
    }
    std::string text;
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("s", "editorindex", text), 1);
    EXPECT_EQ(text, "Data/Editor/默认/index.html");
    ASSERT_EQ(m_home.Context().Accounts().GetAccountField("s", "editorinputfun", text), 1);
    EXPECT_EQ(text, "HtmlTextIn") << "fields the page does not show stay as they were";
    int mode = 0;
    ASSERT_EQ(m_home.Context().Accounts().GetLoginSettings("s", mode, text), 1);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(text, "local1");

    {
        // Mode 2 stored: the old password is asked for and must match.
        CPropertySheetAccountSetup sheet(m_home.Context(), "s", {});
        CPropertyPageAccountSecurity* security = sheet.Security();
        EXPECT_TRUE(security->LocalPasswordChoice()->isChecked());
        EXPECT_TRUE(security->OldPasswordEdit()->isEnabled());
        security->NewPasswordEdit()->setText(QStringLiteral("n"));
        security->ConfirmPasswordEdit()->setText(QStringLiteral("n"));
        security->OldPasswordEdit()->setText(QStringLiteral("LOCAL1"));
        EXPECT_FALSE(sheet.Confirm());
        EXPECT_EQ(Said(), QStringLiteral("原始的账户密码错误"));
        // Mode 1 instead.
        security->BlogPasswordChoice()->setChecked(true);
        EXPECT_FALSE(security->NewPasswordEdit()->isEnabled());
        ASSERT_TRUE(sheet.Confirm());
    }
    ASSERT_EQ(m_home.Context().Accounts().GetLoginSettings("s", mode, text), 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(text, "blogpw");
    CPropertySheetAccountSetup sheet(m_home.Context(), "s", {});
    EXPECT_TRUE(sheet.Security()->BlogPasswordChoice()->isChecked());
    EXPECT_EQ(sheet.Security()->NewPasswordLabel()->text(), QStringLiteral("请输入账户密码"));

    // Switching the protection off asks for the password in force, each time 确定 is pressed.
    const std::vector<std::optional<QString>> answers = {std::nullopt, QStringLiteral("BLOGPW"),
                                                         QStringLiteral("blogpw")};
    std::size_t asked = 0;
    CLocalLoginDialog::SetHook([&](const QString&) { return answers.at(asked++); });
    sheet.show();
    sheet.Security()->LockCheck()->setChecked(false);
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(Said(), QString::fromUtf8(CPropertyPageAccountSecurity::kProtectionStaysText));
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(Said(), QStringLiteral("密码错误!"));
    ASSERT_EQ(m_home.Context().Accounts().GetLoginSettings("s", mode, text), 1);
    EXPECT_EQ(mode, 1);
    ASSERT_TRUE(sheet.Confirm());
    EXPECT_EQ(asked, 3u);
    ASSERT_EQ(m_home.Context().Accounts().GetLoginSettings("s", mode, text), 1);
    EXPECT_EQ(mode, 0);
}

TEST_F(AccountSetupWindowsTest, SheetDeletesOnlyWithTheBlogPasswordAndAYes) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("d", "Secret")), 1);
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("other")), 1);
    ASSERT_EQ(m_home.Context().Accounts().SetRelations("other", {"d"}), 1);
    std::vector<std::pair<int, int>> notices;
    CPropertySheetAccountSetup sheet(
        m_home.Context(), "d", [&](int code, int update) { notices.emplace_back(code, update); });
    sheet.show();
    CPropertyPageAccountSecurity* security = sheet.Security();
    security->DeleteCheck()->setChecked(true);
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(Said(), QStringLiteral("请输入密码!"));
    security->DeletePasswordEdit()->setText(QStringLiteral("secret"));
    EXPECT_FALSE(sheet.Confirm());
    EXPECT_EQ(Said(), QStringLiteral("密码错误!"));
    EXPECT_EQ(sheet.focusWidget(), security->DeletePasswordEdit());

    security->DeletePasswordEdit()->setText(QStringLiteral("Secret"));
    m_boxes.Answer(false);
    EXPECT_FALSE(sheet.Confirm());
    std::vector<CRecordingMessageBoxes::Box> boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].question);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("删除提示"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("确定要删除此账户吗?\n删除将不可恢复!"));
    m_boxes.Clear();
    AccountRecord stored;
    ASSERT_EQ(m_home.Context().Accounts().GetAccount("d", stored), 1);

    m_boxes.Answer(true);
    ASSERT_TRUE(sheet.Confirm());
    EXPECT_TRUE(sheet.Deleted());
    std::vector<AccountRecord> accounts;
    ASSERT_EQ(m_home.Context().Accounts().ListAccounts(accounts), 1);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0].name, "other");
    EXPECT_EQ(notices,
              (std::vector<std::pair<int, int>>{{-1, CAccountTreeCtrl::kUpdateAccountDeleted}}));
}

TEST_F(AccountSetupWindowsTest, TheMainWindowOffersBothCommands) {
    ASSERT_EQ(m_home.Context().Accounts().AddAccount(Local("m")), 1);
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    frame.SetSideMode(CMainFrame::kSideBlog);
    frame.Commands()->Refresh();
    for (int id : {kCmdNewAccount, kCmdAccountSettings, kCmdAccountProperties})
        EXPECT_TRUE(frame.Commands()->Action(id)->isEnabled())
            << id << frame.Commands()->Action(id)->toolTip().toStdString();
    EXPECT_TRUE(frame.Commands()->HasHandler(kCmdNewAccount));
}

// The round a new user makes against the WordPress peer.
TEST(AccountSetupPeerTest, WizardTestsAddsThenTheSheetChangesAndLocks) {
    SKIP_WITHOUT_PEER();
    EnsureApp();
    CTempHome home({.processDir = true});
    CRecordingMessageBoxes boxes;
    const AccountRecord peer = PeerAccount("p" + std::to_string(::getpid()), "MetaWeblog");
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(WindowPlacement{}));
    CAccountTreeCtrl& tree = *frame.Blog()->Tree();

    CAccountWizard wizard(home.Context(), &frame);
    wizard.SetAddedHandler([&](const std::string&) {
        frame.OnWindowMessage(WM_ACCOUNT_TREE_UPDATE, -1, CAccountTreeCtrl::kUpdateAccountAdded);
    });
    wizard.show();
    ASSERT_NO_FATAL_FAILURE(WalkToSummary(wizard, ToQ(peer.name), ToQ(peer.xmlrpcurl),
                                          ToQ(peer.port), ToQ(peer.username), ToQ(peer.password)));
    wizard.TestButton()->click();
    ASSERT_TRUE(WaitFor([&] { return !wizard.Testing(); }, 60000));
    ASSERT_EQ(boxes.Texts(),
              std::vector<QString>{QStringLiteral("用户有效: MetaWeblog (XML-RPC) 接口在 ") +
                                   ToQ(peer.xmlrpcurl) +
                                   QStringLiteral(" 回答, 博客 \"Quill 测试博客\" "
                                                  "(http://127.0.0.1:8080/)")});
    boxes.Clear();
    ASSERT_TRUE(wizard.Finish());
    ASSERT_EQ(tree.Accounts().size(), 1u);
    EXPECT_EQ(tree.Accounts()[0].name, peer.name);
    // The new account is chosen: the toolbar's weblog commands are ready for it.
    EXPECT_EQ(tree.CurrentAccount(), peer.name);
    EXPECT_TRUE(frame.Commands()->Action(kCmdComposePost)->isEnabled());

    {
        const int code = tree.FolderCode(peer.name, CAccountTreeCtrl::kNodeAccount);
        CPropertySheetAccountSetup sheet(home.Context(), peer.name, [&](int, int update) {
            frame.OnWindowMessage(WM_ACCOUNT_TREE_UPDATE, code, update);
        });
        sheet.General()->DescriptionEdit()->setText(QStringLiteral("改过的描述"));
        sheet.General()->CountSpin()->setValue(3);
        sheet.Security()->LockCheck()->setChecked(true);
        sheet.Security()->LocalPasswordChoice()->setChecked(true);
        sheet.Security()->NewPasswordEdit()->setText(QStringLiteral("本机密码"));
        sheet.Security()->ConfirmPasswordEdit()->setText(QStringLiteral("本机密码"));
        ASSERT_TRUE(sheet.Confirm())
            << (boxes.Texts().empty() ? std::string() : boxes.Texts()[0].toStdString());
    }
    std::vector<AccountRecord> accounts;
    ASSERT_EQ(home.Context().Accounts().ListAccounts(accounts), 1);
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0].description, "改过的描述");
    EXPECT_EQ(accounts[0].localloginverify, 2);
    EXPECT_TRUE(tree.ItemOfCode(CAccountTreeCtrl::NodeCode(0, CAccountTreeCtrl::kNodeAccount))
                    ->text(0)
                    .contains(QStringLiteral("改过的描述")));
    EXPECT_TRUE(home.Context().Accounts().CheckLogin(peer.name, "本机密码"));
    EXPECT_FALSE(home.Context().Accounts().CheckLogin(peer.name, peer.password));

    // The stored account still answers with the values the sheet kept.
    EXPECT_TRUE(CAccountSetup::TestConnection(home.Context(),
                                              [&] {
                                                  AccountRecord stored;
                                                  home.Context().Accounts().GetAccount(peer.name,
                                                                                       stored);
                                                  return stored;
                                              }())
                    .ok);
}

} // namespace
