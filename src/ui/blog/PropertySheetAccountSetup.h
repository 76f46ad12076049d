#pragma once

#include "app/AccountStore.h"
#include "ui/common/PropertySheet.h"
#include "workspace/AccountSetup.h"

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

// Tells the main window what changed in the account tree: (node code or -1, update code).
using AccountTreeNotice = std::function<void(int code, int updateCode)>;

// 常规: the description and the default number of posts a fetch takes.
class CPropertyPageAccountGeneral : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageAccountGeneral(const std::string& account, CAccountSetup& setup,
                                AccountTreeNotice notice);
    QLineEdit* DescriptionEdit() const { return m_description; }
    QSpinBox* CountSpin() const { return m_count; }
    bool Apply() override;

private:
    std::string m_account;
    CAccountSetup& m_setup;
    AccountTreeNotice m_notice;
    std::string m_loadedDescription;
    QLineEdit* m_description = nullptr;
    QSpinBox* m_count = nullptr;
};

// 连接: the endpoint, service type, encoding and the login on the weblog.
class CPropertyPageAccountConnection : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageAccountConnection(const std::string& account, CAccountSetup& setup);
    QLineEdit* UrlEdit() const { return m_url; }
    QSpinBox* PortSpin() const { return m_port; }
    QComboBox* ServiceCombo() const { return m_service; }
    QComboBox* EncodingCombo() const { return m_encoding; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLineEdit* BlogUrlEdit() const { return m_blogUrl; }
    QString Validate() override;
    bool Apply() override;

private:
    AccountRecord Values() const;
    std::string m_account;
    CAccountSetup& m_setup;
    QLineEdit* m_url = nullptr;
    QSpinBox* m_port = nullptr;
    QComboBox* m_service = nullptr;
    QComboBox* m_encoding = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_blogUrl = nullptr;
};

// 权限: the accounts this one publishes together with, without asking their passwords.
class CPropertyPageAccountPermission : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr const char* kOpen = "√";
    static constexpr const char* kLocked = "×";

    CPropertyPageAccountPermission(const CAppContext& context, const std::string& account);
    QTreeWidget* OthersList() const { return m_others; }
    QListWidget* PermittedList() const { return m_permitted; }
    // >, >>, <, << and a double-click on a left row.
    void MoveRight();
    void MoveAllRight();
    void MoveLeft();
    void MoveAllLeft();
    void OnOtherActivated(QTreeWidgetItem* item);
    bool Apply() override;

private:
    QTreeWidgetItem* AddOther(const QString& name, bool locked);
    bool Refuse(QTreeWidgetItem* item);
    CAppContext m_context;
    std::string m_account;
    QTreeWidget* m_others = nullptr;
    QListWidget* m_permitted = nullptr;
};

// 编辑器和日志模版: the editor's start page and functions, and the article display style.
class CPropertyPageAccountEditor : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageAccountEditor(const CAppContext& context, const std::string& account);
    QComboBox* EditorIndexCombo() const { return m_index; }
    QComboBox* LogSkinCombo() const { return m_skin; }
    // The titles of Data/LogSkin/*.xsl, and the start pages of Data/Editor/*/index.html.
    static QStringList LogSkins(const CAppContext& context);
    static QStringList EditorPages(const CAppContext& context);
    // The page as the field shows it: relative to the program directory, with "/".
    static QString ShownPagePath(QString stored);
    bool Apply() override;

signals:
    // Another style was chosen and written to the account's logxsl already.
    void PreviewStyleChanged();

private:
    // The style takes effect at once: it is written and the preview is told.
    void OnStyleChosen(const QString& style);

    CAppContext m_context;
    std::string m_account;
    QComboBox* m_index = nullptr;
    QComboBox* m_skin = nullptr;
};

// 安全设置: the local login protection and deleting the account.
class CPropertyPageAccountSecurity : public CPropertyPage {
    Q_OBJECT
public:
    CPropertyPageAccountSecurity(const std::string& account, CAccountSetup& setup);
    QCheckBox* LockCheck() const { return m_lock; }
    QRadioButton* BlogPasswordChoice() const { return m_blogPassword; }
    QRadioButton* LocalPasswordChoice() const { return m_localPassword; }
    QLineEdit* OldPasswordEdit() const { return m_old; }
    QLineEdit* NewPasswordEdit() const { return m_new; }
    QLineEdit* ConfirmPasswordEdit() const { return m_confirm; }
    QLabel* NewPasswordLabel() const { return m_newLabel; }
    QCheckBox* DeleteCheck() const { return m_delete; }
    QLineEdit* DeletePasswordEdit() const { return m_deletePassword; }
    bool DeleteChosen() const;
    // The stored protection is on and the check box was cleared: 确定 asks for the password.
    bool TurnsProtectionOff() const;
    static constexpr const char* kProtectionStaysText = "没有输入密码, 本机登陆验证仍然开启";
    QString Validate() override;
    bool Apply() override;

private:
    void UpdateEnabled();
    std::string m_account;
    CAccountSetup& m_setup;
    int m_storedMode = 0;
    std::string m_loginPassword; // typed to switch the protection off
    QCheckBox* m_lock = nullptr;
    QRadioButton* m_blogPassword = nullptr;
    QRadioButton* m_localPassword = nullptr;
    QLabel* m_oldLabel = nullptr;
    QLabel* m_newLabel = nullptr;
    QLineEdit* m_old = nullptr;
    QLineEdit* m_new = nullptr;
    QLineEdit* m_confirm = nullptr;
    QCheckBox* m_delete = nullptr;
    QLineEdit* m_deletePassword = nullptr;
};

// The settings of one weblog account in five pages; also where an account is deleted.
class CPropertySheetAccountSetup : public CPropertySheet {
    Q_OBJECT
public:
    // An account of the context's program directory.
    CPropertySheetAccountSetup(const CAppContext& context, const std::string& account,
                               AccountTreeNotice notice, QWidget* parent = nullptr);

    CPropertyPageAccountGeneral* General() const { return m_general; }
    CPropertyPageAccountConnection* Connection() const { return m_connection; }
    CPropertyPageAccountPermission* Permission() const { return m_permission; }
    CPropertyPageAccountEditor* Editor() const { return m_editor; }
    CPropertyPageAccountSecurity* Security() const { return m_security; }
    // The account was deleted on 确定.
    bool Deleted() const { return m_deleted; }

signals:
    // The account's preview style changed (WM_PREVIEW_STYLE_CHANGED for the main window).
    void PreviewStyleChanged();

protected:
    bool Commit() override;

private:
    std::string m_account;
    AccountTreeNotice m_notice;
    CAccountSetup m_setup;
    bool m_deleted = false;
    CPropertyPageAccountGeneral* m_general = nullptr;
    CPropertyPageAccountConnection* m_connection = nullptr;
    CPropertyPageAccountPermission* m_permission = nullptr;
    CPropertyPageAccountEditor* m_editor = nullptr;
    CPropertyPageAccountSecurity* m_security = nullptr;
};
