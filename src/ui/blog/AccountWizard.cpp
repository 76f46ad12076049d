#include "ui/blog/AccountWizard.h"

#include "blogclient/MsnSpacesApi.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"
#include "workspace/ServicePresets.h"
#include "workspace/WeblogDiscovery.h"

#include <QColor>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kServiceTypes[] = {"MetaWeblog", "Blogger", "MSN Spaces", "MovableType",
                                     "WordPress REST"};
const char* const kEncodings[] = {"UTF-8", "GB2312"};
constexpr const char* kPresetHeader = "----->预置BSP列表<-----";
constexpr const char* kTestText = "测试连接";

QLabel* Hint(const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #606060;"));
    return label;
}

// Selects the entry that equals the text ignoring letter case; nothing changes without one.
void SelectText(QComboBox* combo, const std::string& text) {
    const int index = combo->findText(ToQ(text), Qt::MatchFixedString);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

} // namespace

// Hands the result of the worker's test to the interface thread, tagged with the test it
// belongs to, so the answer of a cancelled test is ignored.
class CAccountWizard::CTestObserver : public CConnectionTestObserver {
public:
    explicit CTestObserver(CAccountWizard* wizard) : m_wizard(wizard) {}
    void SetGeneration(int generation) { m_generation = generation; }
    void OnConnectionTested(const ConnectionTestResult& result) override {
        const int generation = m_generation;
        QPointer<CAccountWizard> wizard = m_wizard;
        PostToUi(m_wizard, [wizard, generation, result] {
            if (wizard)
                wizard->OnTested(generation, result);
        });
    }

private:
    CAccountWizard* m_wizard;
    std::atomic<int> m_generation = 0;
};

CAccountWizard::CAccountWizard(const CAppContext& context, QWidget* parent)
    : CAccountWizard(context, parent, LoadPresets(context)) {}

CAccountWizard::CAccountWizard(const CAppContext& context, QWidget* parent,
                               std::vector<AccountRecord> presets)
    : QDialog(parent), m_context(context), m_presets(std::move(presets)),
      m_setup(std::make_unique<CAccountSetup>(context)),
      m_observer(std::make_unique<CTestObserver>(this)) {
    setWindowTitle(QStringLiteral("新建账户向导"));
    m_title = new QLabel;
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_pages = new QStackedWidget;

    // Welcome.
    auto* welcome = new QWidget;
    auto* welcomeLayout = new QVBoxLayout(welcome);
    welcomeLayout->addWidget(new QLabel(QStringLiteral("此向导将帮助您建立一个BLOG账户连接")));
    welcomeLayout->addStretch();
    m_pages->addWidget(welcome);

    // Step 1: the local names.
    auto* names = new QWidget;
    auto* namesLayout = new QFormLayout(names);
    m_name = new QLineEdit;
    m_description = new QLineEdit;
    namesLayout->addRow(QStringLiteral("账户名称"), m_name);
    namesLayout->addRow(QString(), Hint("本地账户的唯一固定名称"));
    namesLayout->addRow(QStringLiteral("账户描述"), m_description);
    namesLayout->addRow(QString(), Hint("为账户添加一个显示的描述，以后可更改"));
    m_pages->addWidget(names);

    // Step 2: service type, encoding and the presets.
    auto* service = new QWidget;
    auto* serviceLayout = new QFormLayout(service);
    m_service = new QComboBox;
    for (const char* type : kServiceTypes)
        m_service->addItem(QString::fromUtf8(type));
    m_encoding = new QComboBox;
    for (const char* encoding : kEncodings)
        m_encoding->addItem(QString::fromUtf8(encoding));
    m_presetList = new QListWidget;
    m_home = new QLineEdit;
    m_home->setPlaceholderText(QStringLiteral("example.com 或 https://example.com/blog"));
    m_discover = new QPushButton(QStringLiteral("查找接口"));
    m_discover->setAutoDefault(false);
    connect(m_discover, &QPushButton::clicked, this, &CAccountWizard::StartDiscovery);
    auto* homeRow = new QHBoxLayout;
    homeRow->addWidget(m_home, 1);
    homeRow->addWidget(m_discover);
    m_found = new QLabel;
    m_found->setWordWrap(true);
    m_found->setTextInteractionFlags(Qt::TextSelectableByMouse);
    serviceLayout->addRow(QStringLiteral("博客首页"), homeRow);
    serviceLayout->addRow(QString(), Hint("只知道博客的首页地址时, 可以由它查找接口类型和地址"));
    serviceLayout->addRow(QString(), m_found);
    serviceLayout->addRow(QStringLiteral("服务类型"), m_service);
    serviceLayout->addRow(QString(), Hint("BLOG接口的服务类型，请查询您的博客提供商"));
    serviceLayout->addRow(QStringLiteral("编码类型"), m_encoding);
    serviceLayout->addRow(QString(), Hint("我们提供了一些已知博客服务商的接口设置"));
    serviceLayout->addRow(QString(), Hint("查看并选择是否有您使用的博客"));
    serviceLayout->addRow(m_presetList);
    connect(m_presetList, &QListWidget::currentRowChanged, this, &CAccountWizard::OnPresetChosen);
    m_pages->addWidget(service);

    // Step 3: the endpoint.
    auto* endpoint = new QWidget;
    auto* endpointLayout = new QFormLayout(endpoint);
    m_url = new QLineEdit(QStringLiteral("http://"));
    m_port = new QLineEdit(QStringLiteral("80"));
    endpointLayout->addRow(QStringLiteral("XML-RPC"), m_url);
    endpointLayout->addRow(QString(), Hint("BlogAPI接口地址"));
    endpointLayout->addRow(QStringLiteral("端口号"), m_port);
    connect(m_url, &QLineEdit::textChanged, this, &CAccountWizard::OnUrlEdited);
    m_pages->addWidget(endpoint);

    // Step 4: the login on the weblog.
    auto* login = new QWidget;
    auto* loginLayout = new QFormLayout(login);
    m_user = new QLineEdit;
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    m_blogUrl = new QLineEdit(QStringLiteral("http://"));
    loginLayout->addRow(QStringLiteral("用户名"), m_user);
    loginLayout->addRow(QStringLiteral("密码"), m_password);
    loginLayout->addRow(QStringLiteral("博客地址：(可选)"), m_blogUrl);
    loginLayout->addRow(QString(), Hint("输入您的博客地址(URL)可以方便的链接到您的博客"));
    m_pages->addWidget(login);

    // Step 5: what will be stored, and the connection test.
    auto* confirm = new QWidget;
    auto* confirmLayout = new QVBoxLayout(confirm);
    m_summary = new QTreeWidget;
    m_summary->setColumnCount(2);
    m_summary->setHeaderLabels({QStringLiteral("选项"), QStringLiteral("设置")});
    m_summary->setColumnWidth(0, 60);
    m_summary->setColumnWidth(1, 248);
    m_summary->setRootIsDecorated(false);
    m_summary->setAllColumnsShowFocus(true);
    m_summary->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_summary->setStyleSheet(QStringLiteral("QTreeWidget { color: #404040; background: white; }"
                                            "QTreeWidget::item { border-right: 1px solid #d0d0d0; "
                                            "border-bottom: 1px solid #d0d0d0; }"));
    m_test = new QPushButton(QString::fromUtf8(kTestText));
    m_test->setAutoDefault(false);
    connect(m_test, &QPushButton::clicked, this, &CAccountWizard::StartTest);
    confirmLayout->addWidget(m_summary);
    auto* testRow = new QHBoxLayout;
    testRow->addStretch();
    testRow->addWidget(m_test);
    confirmLayout->addLayout(testRow);
    m_pages->addWidget(confirm);

    m_back = new QPushButton(QStringLiteral("< 上一步"));
    m_next = new QPushButton(QStringLiteral("下一步 >"));
    m_finish = new QPushButton(QStringLiteral("完成"));
    m_cancel = new QPushButton(QStringLiteral("取消"));
    for (QPushButton* button : {m_back, m_next, m_finish, m_cancel})
        button->setAutoDefault(false);
    connect(m_back, &QPushButton::clicked, this, &CAccountWizard::Back);
    connect(m_next, &QPushButton::clicked, this, [this] { Next(); });
    connect(m_finish, &QPushButton::clicked, this, [this] { Finish(); });
    connect(m_cancel, &QPushButton::clicked, this, &CAccountWizard::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_back, m_next, m_finish, m_cancel})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttons);
    resize(460, 360);
    ShowStep(kWelcome);
}

CAccountWizard::~CAccountWizard() {
    // The workers report to the observer and to this window: they end first.
    StopDiscovery();
    m_setup.reset();
}

void CAccountWizard::StopDiscovery() {
    // Not waited for: its answer is dropped, and the next discovery starts once it has ended.
    if (m_discovery)
        m_discovery->Abort();
    m_discovery.reset();
    m_discovering = false;
    m_discover->setEnabled(true);
}

void CAccountWizard::StartDiscovery() {
    StopDiscovery();
    const std::string typed = ToStd(m_home->text());
    m_discovery = std::make_shared<CWeblogDiscovery>(m_context);
    m_discovering = true;
    m_discover->setEnabled(false);
    m_found->setText(QStringLiteral("正在读取 ") + m_home->text().trimmed() +
                     QStringLiteral(" ..."));
    QPointer<CAccountWizard> self = this;
    m_jobs.Submit([self, typed, discovery = m_discovery, context = this](const CCancelToken&) {
        DiscoveryResult result = discovery->Discover(typed);
        PostToUi(context, [self, discovery, result] {
            // Only the answer of the discovery still under way is shown.
            if (self && self->m_discovery == discovery)
                self->OnDiscovered(result);
        });
    });
}

void CAccountWizard::OnDiscovered(const DiscoveryResult& result) {
    if (!m_discovering)
        return;
    m_discovering = false;
    m_discover->setEnabled(true);
    QStringList lines;
    for (const std::string& line : result.Explanation())
        lines << ToQ(line);
    m_found->setText(lines.join(QLatin1Char('\n')));
    const DiscoveredInterface* use = result.Chosen();
    if (!use)
        return;
    if (use->otherHost &&
        !CMessageBox::Ask(this,
                          ToQ("接口在另一个主机 " + CWeblogDiscovery::HostOf(use->address) +
                              " 上, 不是您输入的 " + result.typedHost +
                              "。\n使用它, 用户名和密码就会发往那个主机。仍然使用吗?"),
                          QStringLiteral("查找接口"))) {
        m_found->setText(m_found->text() +
                         QStringLiteral("\n没有使用另一个主机上的接口, 请手工填写。"));
        return;
    }
    SelectText(m_service, use->blogapitype);
    SelectText(m_encoding, "UTF-8");
    m_preset.xmlrpcurl = use->address;
    m_preset.port = use->port;
    if (m_blogUrl->text() == QStringLiteral("http://") || m_blogUrl->text().isEmpty())
        m_blogUrl->setText(ToQ(result.pageUrl));
}

std::vector<AccountRecord> CAccountWizard::LoadPresets(const CAppContext& context) {
    return CServicePresets::LoadInstalled(context);
}

QString CAccountWizard::TitleOf(int step) {
    switch (step) {
    case kNames:
        return QStringLiteral("第一步: 填写本地账户信息 (共5步)");
    case kService:
        return QStringLiteral("第二步: 选择服务类型和编码类型 (共5步)");
    case kEndpoint:
        return QStringLiteral("第三步: 填写BLOG接口地址 (共5步)");
    case kLogin:
        return QStringLiteral("第四步: 填写用户BLOG接口账户和密码 (共5步)");
    case kConfirm:
        return QStringLiteral("第五步: 信息确认");
    default:
        return QStringLiteral("新建账户向导");
    }
}

int CAccountWizard::Step() const {
    return m_pages->currentIndex();
}

QString CAccountWizard::StepTitle() const {
    return m_title->text();
}

void CAccountWizard::ShowStep(int step) {
    m_pages->setCurrentIndex(step);
    m_title->setText(TitleOf(step));
    m_back->setEnabled(step != kWelcome);
    m_next->setVisible(step != kConfirm);
    m_finish->setVisible(step == kConfirm);
    switch (step) {
    case kNames:
        m_name->setFocus();
        break;
    case kService:
        if (!m_presetsShown) {
            m_presetsShown = true;
            m_presetList->addItem(QString::fromUtf8(kPresetHeader));
            for (const AccountRecord& preset : m_presets) {
                auto* item = new QListWidgetItem(ToQ(preset.name), m_presetList);
                if (CServicePresets::IsRetired(preset)) {
                    item->setForeground(QColor(0x80, 0x80, 0x80));
                    item->setToolTip(QString::fromUtf8(CServicePresets::kRetiredHint));
                }
            }
            m_presetList->setCurrentRow(0);
        }
        break;
    case kEndpoint:
        if (m_account.blogapitype == "MSN Spaces") {
            m_url->setText(QString::fromUtf8(CMsnSpacesApi::kEndpoint));
            m_port->setText(QStringLiteral("443"));
        } else if (!m_preset.xmlrpcurl.empty()) {
            m_url->setText(ToQ(m_preset.xmlrpcurl));
            m_port->setText(ToQ(m_preset.port));
        }
        m_url->setFocus();
        break;
    case kLogin:
        m_user->setFocus();
        break;
    case kConfirm:
        FillSummary();
        m_finish->setFocus();
        break;
    default:
        break;
    }
}

void CAccountWizard::OnPresetChosen(int row) {
    if (row <= 0) {
        m_preset.xmlrpcurl.clear();
        m_preset.port.clear();
        return;
    }
    if (row - 1 >= static_cast<int>(m_presets.size()))
        return;
    m_preset = m_presets[row - 1];
    SelectText(m_service, m_preset.blogapitype);
    SelectText(m_encoding, m_preset.encodetype);
}

void CAccountWizard::OnUrlEdited(const QString& text) {
    m_port->setText(ToQ(CAccountSetup::PortForUrl(ToStd(text), ToStd(m_port->text()))));
}

bool CAccountWizard::Refuse(const SetupCheck& check) {
    if (check.Ok())
        return false;
    CMessageBox::Show(this, ToQ(check.message));
    QLineEdit* field = nullptr;
    switch (check.field) {
    case AccountField::kName:
        field = m_name;
        break;
    case AccountField::kDescription:
        field = m_description;
        break;
    case AccountField::kUrl:
        field = m_url;
        break;
    case AccountField::kPort:
        field = m_port;
        break;
    case AccountField::kUserName:
        field = m_user;
        break;
    case AccountField::kPassword:
        field = m_password;
        break;
    default:
        break;
    }
    if (field)
        field->setFocus();
    return true;
}

bool CAccountWizard::Next() {
    const int step = Step();
    switch (step) {
    case kNames: {
        const std::string name = ToStd(m_name->text().trimmed());
        const std::string description = ToStd(m_description->text().trimmed());
        if (Refuse(CAccountSetup::CheckNames(name, description)))
            return false;
        m_account.name = name;
        m_account.description = description;
        break;
    }
    case kService: {
        // The lists decide, whatever preset was chosen.
        const std::string type = ToStd(m_service->currentText());
        const std::string encoding = ToStd(m_encoding->currentText());
        if (Refuse(CAccountSetup::CheckService(type, encoding)))
            return false;
        m_account.blogapitype = type;
        m_account.encodetype = encoding;
        break;
    }
    case kEndpoint: {
        const std::string url = ToStd(m_url->text());
        const std::string port = ToStd(m_port->text());
        if (Refuse(CAccountSetup::CheckEndpoint(url, port)))
            return false;
        m_account.xmlrpcurl = url;
        m_account.port = port;
        break;
    }
    case kLogin: {
        const std::string user = ToStd(m_user->text());
        const std::string password = ToStd(m_password->text());
        if (Refuse(CAccountSetup::CheckLogin(user, password)))
            return false;
        m_account.username = user;
        m_account.password = password;
        m_account.blogurl = CAccountSetup::OptionalAddress(ToStd(m_blogUrl->text()));
        break;
    }
    case kConfirm:
        return false;
    default:
        break;
    }
    ShowStep(step + 1);
    return true;
}

void CAccountWizard::Back() {
    if (Step() > kWelcome)
        ShowStep(Step() - 1);
}

void CAccountWizard::FillSummary() {
    m_summary->clear();
    const std::pair<const char*, const std::string*> rows[] = {
        {"账户名", &m_account.name},          {"账户描述", &m_account.description},
        {"XML-RPC", &m_account.xmlrpcurl},    {"端口号", &m_account.port},
        {"服务类型", &m_account.blogapitype}, {"编码类型", &m_account.encodetype},
        {"用户名", &m_account.username},      {"博客地址", &m_account.blogurl},
    };
    for (const auto& [label, value] : rows)
        m_summary->addTopLevelItem(new QTreeWidgetItem({QString::fromUtf8(label), ToQ(*value)}));
    // The labels are short, but "XML-RPC" is wider than the fixed column in most fonts.
    m_summary->resizeColumnToContents(0);
}

void CAccountWizard::StartTest() {
    if (m_testing || Step() != kConfirm)
        return;
    m_testing = true;
    m_test->setText(QStringLiteral("连接中..."));
    m_test->setEnabled(false);
    m_observer->SetGeneration(++m_generation);
    m_setup->StartConnectionTest(m_account, *m_observer);
}

void CAccountWizard::CancelTest() {
    if (!m_testing)
        return;
    ++m_generation;
    // Ending the set-up object aborts the transfer and joins its worker.
    m_setup = std::make_unique<CAccountSetup>(m_context);
    m_testing = false;
    m_test->setText(QString::fromUtf8(kTestText));
    m_test->setEnabled(true);
}

void CAccountWizard::OnTested(int generation, const ConnectionTestResult& result) {
    if (generation != m_generation || !m_testing)
        return;
    m_setup->WaitForTest();
    m_testing = false;
    m_test->setText(QString::fromUtf8(kTestText));
    m_test->setEnabled(true);
    if (result.ok)
        CMessageBox::Show(this, ToQ(result.Summary()));
    else
        CMessageBox::Show(this, ToQ(result.Summary()), QString::fromUtf8(kTestText), true);
}

bool CAccountWizard::Finish() {
    if (Step() != kConfirm)
        return false;
    CancelTest();
    const SetupCheck check = m_setup->Add(m_account);
    if (!check.Ok()) {
        CMessageBox::Show(this, ToQ(check.message));
        return false;
    }
    if (m_added)
        m_added(m_account.name);
    accept();
    return true;
}

void CAccountWizard::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (Step() == kEndpoint)
            Next();
        else if (Step() == kConfirm)
            Finish();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAccountWizard::reject() {
    // 取消 while a test runs stops the test; the wizard stays with its values.
    if (m_testing) {
        CancelTest();
        return;
    }
    if (m_discovering) {
        StopDiscovery();
        m_found->setText(QStringLiteral("已取消查找接口"));
        return;
    }
    // Past the first page the user has typed something; it is dropped only when they say so.
    if (Step() != kWelcome &&
        !CMessageBox::Ask(this, QStringLiteral("确定要放弃新建账户吗?\n已填写的内容不会保存。"),
                          QStringLiteral("新建账户")))
        return;
    QDialog::reject();
}
