#pragma once

#include "app/AccountStore.h"
#include "platform/jobs/JobRunner.h"
#include "workspace/AccountSetup.h"
#include "workspace/WeblogDiscovery.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

// "新建账户向导": a welcome page and five steps that fill a new account, each checked before
// the next one shows; step 5 shows the values, can test the connection and adds the account.
// Nothing is stored before 完成.
class CAccountWizard : public QDialog {
    Q_OBJECT
public:
    enum Step : int { kWelcome = 0, kNames, kService, kEndpoint, kLogin, kConfirm };
    // Told after the account was added (the tree then shows it).
    using AddedHandler = std::function<void(const std::string& name)>;

    // Adds to the accounts of the context's program directory and offers its known services
    // (Data/BSP.xml), or the presets given.
    explicit CAccountWizard(const CAppContext& context, QWidget* parent = nullptr);
    CAccountWizard(const CAppContext& context, QWidget* parent, std::vector<AccountRecord> presets);
    ~CAccountWizard() override;

    static std::vector<AccountRecord> LoadPresets(const CAppContext& context);
    void SetAddedHandler(AddedHandler handler) { m_added = std::move(handler); }

    int Step() const;
    QString StepTitle() const;
    // 下一步 >: the page's check; false when it failed (the message is shown, the focus set).
    bool Next();
    void Back();
    // 完成: adds the account; false when it was refused (the wizard stays open).
    bool Finish();
    // 测试连接 on a worker; 取消 while it runs aborts it.
    void StartTest();
    bool Testing() const { return m_testing; }
    void CancelTest();
    // 查找接口 on a worker: reads the home address typed on the service page, shows what it
    // found and fills service type, address and port (asking first when the interface is on
    // another host than the one typed).
    void StartDiscovery();
    bool Discovering() const { return m_discovering; }

    const AccountRecord& Account() const { return m_account; }
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* DescriptionEdit() const { return m_description; }
    QComboBox* ServiceCombo() const { return m_service; }
    QComboBox* EncodingCombo() const { return m_encoding; }
    QListWidget* PresetList() const { return m_presetList; }
    QLineEdit* UrlEdit() const { return m_url; }
    QLineEdit* PortEdit() const { return m_port; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLineEdit* BlogUrlEdit() const { return m_blogUrl; }
    QLineEdit* HomeEdit() const { return m_home; }
    QPushButton* DiscoverButton() const { return m_discover; }
    QLabel* DiscoveryText() const { return m_found; }
    QTreeWidget* SummaryList() const { return m_summary; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* BackButton() const { return m_back; }
    QPushButton* FinishButton() const { return m_finish; }
    QPushButton* TestButton() const { return m_test; }

    static QString TitleOf(int step);

    // 取消 (and Escape): stops a running test and stays; otherwise closes without storing.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class CTestObserver;
    void ShowStep(int step);
    void OnPresetChosen(int row);
    void OnUrlEdited(const QString& text);
    void OnTested(int generation, const ConnectionTestResult& result);
    void OnDiscovered(const DiscoveryResult& result);
    void StopDiscovery();
    bool Refuse(const SetupCheck& check);
    void FillSummary();

    CAppContext m_context;
    AccountRecord m_account;
    AccountRecord m_preset;
    std::vector<AccountRecord> m_presets;
    bool m_presetsShown = false;
    std::unique_ptr<CAccountSetup> m_setup;
    std::unique_ptr<CTestObserver> m_observer;
    int m_generation = 0;
    bool m_testing = false;
    AddedHandler m_added;
    // The discovery under way (an aborted one may still be ending on the runner).
    std::shared_ptr<CWeblogDiscovery> m_discovery;
    bool m_discovering = false;

    QLabel* m_title = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_description = nullptr;
    QComboBox* m_service = nullptr;
    QComboBox* m_encoding = nullptr;
    QListWidget* m_presetList = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_blogUrl = nullptr;
    QTreeWidget* m_summary = nullptr;
    QLineEdit* m_home = nullptr;
    QPushButton* m_discover = nullptr;
    QLabel* m_found = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_finish = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_test = nullptr;
    // Last: an aborted discovery is joined before the rest of the wizard goes.
    CJobRunner m_jobs{1};
};
