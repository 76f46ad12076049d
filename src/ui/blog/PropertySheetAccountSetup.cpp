#include "ui/blog/PropertySheetAccountSetup.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/LocalLoginDialog.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

std::string Field(const CAppContext& context, const std::string& account, const char* field) {
    std::string text;
    context.Accounts().GetAccountField(account, field, text);
    return text;
}

// Shows a failed change with its message and puts the focus on its field.
bool Refused(QWidget* page, const SetupCheck& check, QWidget* field) {
    if (check.Ok())
        return false;
    if (field)
        field->setFocus();
    CMessageBox::Show(page, ToQ(check.message));
    if (field)
        field->setFocus();
    return true;
}

QString Focused(QWidget* field, const char* message) {
    field->setFocus();
    return QString::fromUtf8(message);
}

} // namespace

// --- 常规 ------------------------------------------------------------------------------------

CPropertyPageAccountGeneral::CPropertyPageAccountGeneral(const std::string& account,
                                                         CAccountSetup& setup,
                                                         AccountTreeNotice notice)
    : CPropertyPage(QStringLiteral("常规")), m_account(account), m_setup(setup),
      m_notice(std::move(notice)) {
    m_description = new QLineEdit;
    m_count = new QSpinBox;
    m_count->setRange(1, 999);
    m_loadedDescription = Field(m_setup.Context(), account, "description");
    m_description->setText(ToQ(m_loadedDescription));
    const int count =
        QString::fromStdString(Field(m_setup.Context(), account, "getrecentpostsnum")).toInt();
    m_count->setValue(count > 0 ? count : 5);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("账户名称"), new QLabel(ToQ(account)));
    layout->addRow(QStringLiteral("账户描述"), m_description);
    layout->addRow(QStringLiteral("默认获取日志数量"), m_count);
}

bool CPropertyPageAccountGeneral::Apply() {
    if (Refused(this, m_setup.SetRecentPostsCount(m_account, m_count->value()), m_count))
        return false;
    const std::string description = ToStd(m_description->text());
    if (description == m_loadedDescription)
        return true;
    if (Refused(this, m_setup.ChangeDescription(m_account, description), m_description))
        return false;
    m_loadedDescription = description;
    if (m_notice)
        m_notice(-1, CAccountTreeCtrl::kUpdateDescription);
    return true;
}

// --- 连接 ------------------------------------------------------------------------------------

CPropertyPageAccountConnection::CPropertyPageAccountConnection(const std::string& account,
                                                               CAccountSetup& setup)
    : CPropertyPage(QStringLiteral("连接")), m_account(account), m_setup(setup) {
    m_url = new QLineEdit;
    m_port = new QSpinBox;
    m_port->setRange(0, 65535);
    m_service = new QComboBox;
    for (const char* type :
         {"Blogger", "MetaWeblog", "MSN Spaces", "MovableType", "WordPress REST"})
        m_service->addItem(QString::fromUtf8(type));
    m_encoding = new QComboBox;
    for (const char* encoding : {"GB2312", "UTF-8"})
        m_encoding->addItem(QString::fromUtf8(encoding));
    m_user = new QLineEdit;
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    m_blogUrl = new QLineEdit;

    auto* group = new QGroupBox(QStringLiteral("连接设置"));
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("XML-RPC"), m_url);
    form->addRow(QStringLiteral("端口号"), m_port);
    form->addRow(QStringLiteral("服务类型"), m_service);
    form->addRow(QStringLiteral("编码类型"), m_encoding);
    form->addRow(QStringLiteral("用户名"), m_user);
    form->addRow(QStringLiteral("用户密码"), m_password);
    form->addRow(QStringLiteral("博客地址"), m_blogUrl);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    // As in the wizard: the port follows an address typed with a port of its own, or https.
    connect(m_url, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_port->setValue(
            ToQ(CAccountSetup::PortForUrl(ToStd(text), std::to_string(m_port->value()))).toInt());
    });

    AccountRecord record;
    if (!m_setup.Context().Accounts().GetAccount(account, record)) {
        CMessageBox::Show(this, QStringLiteral("载入账户信息失败!"));
        return;
    }
    m_url->setText(ToQ(record.xmlrpcurl));
    m_port->setValue(QString::fromStdString(record.port).toInt());
    m_service->setCurrentIndex(std::max(0, m_service->findText(ToQ(record.blogapitype))));
    m_encoding->setCurrentIndex(std::max(0, m_encoding->findText(ToQ(record.encodetype))));
    m_user->setText(ToQ(record.username));
    m_password->setText(ToQ(record.password));
    m_blogUrl->setText(ToQ(CAccountSetup::OptionalAddress(record.blogurl)));
}

AccountRecord CPropertyPageAccountConnection::Values() const {
    return {.name = m_account,
            .xmlrpcurl = ToStd(m_url->text()),
            .port = std::to_string(m_port->value()),
            .blogapitype = ToStd(m_service->currentText()),
            .username = ToStd(m_user->text()),
            .password = ToStd(m_password->text()),
            .blogurl = CAccountSetup::OptionalAddress(ToStd(m_blogUrl->text())),
            .encodetype = ToStd(m_encoding->currentText())};
}

QString CPropertyPageAccountConnection::Validate() {
    if (m_url->text().isEmpty())
        return Focused(m_url, "请输入XML-RPC地址!");
    if (m_user->text().isEmpty())
        return Focused(m_user, "请输入用户名!");
    if (m_password->text().isEmpty())
        return Focused(m_password, "请输入密码!");
    return QString();
}

bool CPropertyPageAccountConnection::Apply() {
    return !Refused(this, m_setup.ChangeConnection(m_account, Values()), m_url);
}

// --- 权限 ------------------------------------------------------------------------------------

CPropertyPageAccountPermission::CPropertyPageAccountPermission(const CAppContext& context,
                                                               const std::string& account)
    : CPropertyPage(QStringLiteral("权限")), m_context(context), m_account(account) {
    m_others = new QTreeWidget;
    m_others->setColumnCount(2);
    m_others->setHeaderLabels({QStringLiteral("验证"), QStringLiteral("账户名")});
    m_others->setColumnWidth(0, 40);
    m_others->setColumnWidth(1, 105);
    m_others->setRootIsDecorated(false);
    m_permitted = new QListWidget;
    auto* right = new QPushButton(QStringLiteral(">"));
    auto* allRight = new QPushButton(QStringLiteral(">>"));
    auto* left = new QPushButton(QStringLiteral("<"));
    auto* allLeft = new QPushButton(QStringLiteral("<<"));
    connect(right, &QPushButton::clicked, this, &CPropertyPageAccountPermission::MoveRight);
    connect(allRight, &QPushButton::clicked, this, &CPropertyPageAccountPermission::MoveAllRight);
    connect(left, &QPushButton::clicked, this, &CPropertyPageAccountPermission::MoveLeft);
    connect(allLeft, &QPushButton::clicked, this, &CPropertyPageAccountPermission::MoveAllLeft);
    connect(m_others, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OnOtherActivated(item); });

    auto* group = new QGroupBox(QStringLiteral("权限帐户选择"));
    auto* grid = new QGridLayout(group);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* button : {right, allRight, left, allLeft})
        moves->addWidget(button);
    moves->addStretch();
    grid->addWidget(new QLabel(QStringLiteral("有'×'需要双击输入密码验证")), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("我已有发布权限的账户")), 0, 2);
    grid->addWidget(m_others, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(m_permitted, 1, 2);
    auto* use = new QGroupBox(QStringLiteral("设置权限的用处"));
    auto* useLayout = new QVBoxLayout(use);
    useLayout->addWidget(
        new QLabel(QStringLiteral("设置权限后的账户在向多个博客同时发布文章时会自动选中,")));
    useLayout->addWidget(new QLabel(QStringLiteral("并且不再需要输入密码验证")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addWidget(use);

    std::vector<std::string> related;
    m_context.Accounts().GetRelations(account, related);
    m_permitted->addItem(ToQ(account));
    for (const std::string& name : related)
        m_permitted->addItem(ToQ(name));
    std::vector<AccountRecord> accounts;
    m_context.Accounts().ListAccounts(accounts);
    for (const AccountRecord& other : accounts) {
        if (other.name == account ||
            std::find(related.begin(), related.end(), other.name) != related.end())
            continue;
        AddOther(ToQ(other.name), other.localloginverify != 0);
    }
}

QTreeWidgetItem* CPropertyPageAccountPermission::AddOther(const QString& name, bool locked) {
    auto* item = new QTreeWidgetItem({QString::fromUtf8(locked ? kLocked : kOpen), name});
    m_others->addTopLevelItem(item);
    return item;
}

bool CPropertyPageAccountPermission::Refuse(QTreeWidgetItem* item) {
    if (item->text(0) != QString::fromUtf8(kLocked))
        return false;
    CMessageBox::Show(this, QStringLiteral("您需要输入账户 ") + item->text(1) +
                                QStringLiteral(" 的密码"));
    return true;
}

void CPropertyPageAccountPermission::MoveRight() {
    QTreeWidgetItem* item = m_others->currentItem();
    if (!item || Refuse(item))
        return;
    m_permitted->addItem(item->text(1));
    delete item;
}

void CPropertyPageAccountPermission::MoveAllRight() {
    for (int i = 0; i < m_others->topLevelItemCount(); ++i) {
        if (Refuse(m_others->topLevelItem(i)))
            return;
    }
    while (m_others->topLevelItemCount() > 0) {
        QTreeWidgetItem* item = m_others->takeTopLevelItem(0);
        m_permitted->addItem(item->text(1));
        delete item;
    }
}

void CPropertyPageAccountPermission::MoveLeft() {
    QListWidgetItem* item = m_permitted->currentItem();
    if (!item || m_permitted->row(item) == 0)
        return;
    AddOther(item->text(), false);
    delete item;
}

void CPropertyPageAccountPermission::MoveAllLeft() {
    while (m_permitted->count() > 1) {
        QListWidgetItem* item = m_permitted->takeItem(1);
        AddOther(item->text(), false);
        delete item;
    }
}

void CPropertyPageAccountPermission::OnOtherActivated(QTreeWidgetItem* item) {
    if (!item)
        return;
    if (item->text(0) != QString::fromUtf8(kLocked)) {
        m_others->setCurrentItem(item);
        MoveRight();
        return;
    }
    const std::optional<QString> typed = CLocalLoginDialog::Ask(this, item->text(1));
    if (!typed)
        return;
    if (!m_context.Accounts().CheckLogin(ToStd(item->text(1)), ToStd(*typed))) {
        CMessageBox::Show(this, QStringLiteral("您输入的密码有误!"));
        return;
    }
    item->setText(0, QString::fromUtf8(kOpen));
}

bool CPropertyPageAccountPermission::Apply() {
    std::vector<std::string> names;
    for (int i = 1; i < m_permitted->count(); ++i)
        names.push_back(ToStd(m_permitted->item(i)->text()));
    return m_context.Accounts().SetRelations(m_account, names) != 0;
}

// --- 编辑器和日志模版 ---------------------------------------------------------------------------

CPropertyPageAccountEditor::CPropertyPageAccountEditor(const CAppContext& context,
                                                       const std::string& account)
    : CPropertyPage(QStringLiteral("编辑器和日志模版")), m_context(context), m_account(account) {
    m_index = new QComboBox;
    m_index->setEditable(true);
    m_index->addItems(EditorPages(m_context));
    m_skin = new QComboBox;
    m_skin->addItems(LogSkins(m_context));
    auto* choose = new QPushButton(QStringLiteral("选择"));
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, QStringLiteral("编辑器首页"), ToQ(m_context.Dir()), QStringLiteral("*.*"));
        if (file.isEmpty())
            return;
        // Inside the program directory the page is kept relative to it.
        const QString home = QDir(ToQ(m_context.Dir())).absolutePath();
        QString path = QFileInfo(file).absoluteFilePath();
        if (path.startsWith(home + QLatin1Char('/')))
            path = path.mid(home.size() + 1);
        m_index->setCurrentText(path);
    });

    auto* editor = new QGroupBox(QStringLiteral("编辑器"));
    auto* editorForm = new QFormLayout(editor);
    auto* indexRow = new QHBoxLayout;
    indexRow->addWidget(m_index, 1);
    indexRow->addWidget(choose);
    editorForm->addRow(QStringLiteral("编辑器首页"), indexRow);
    auto* skin = new QGroupBox(QStringLiteral("日志模版"));
    auto* skinForm = new QFormLayout(skin);
    skinForm->addRow(QStringLiteral("模版文件"), m_skin);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor);
    layout->addWidget(skin);
    layout->addStretch();

    m_index->setCurrentText(ShownPagePath(ToQ(Field(m_context, account, "editorindex"))));
    const QString current = ToQ(Field(m_context, account, "logxsl"));
    if (!current.isEmpty() && m_skin->findText(current) < 0)
        m_skin->addItem(current);
    m_skin->setCurrentText(current);
    connect(m_skin, &QComboBox::currentTextChanged, this,
            &CPropertyPageAccountEditor::OnStyleChosen);
}

void CPropertyPageAccountEditor::OnStyleChosen(const QString& style) {
    // A failed write is reported by the account store with its reason.
    if (style.isEmpty() || !m_context.Accounts().SetAccountField(m_account, "logxsl", ToStd(style)))
        return;
    emit PreviewStyleChanged();
}

QStringList CPropertyPageAccountEditor::LogSkins(const CAppContext& context) {
    QStringList titles;
    const QDir dir(ToQ(context.FilePath("Data\\LogSkin")));
    for (const QFileInfo& file :
         dir.entryInfoList({QStringLiteral("*.xsl")}, QDir::Files, QDir::Name))
        titles << file.completeBaseName();
    return titles;
}

QStringList CPropertyPageAccountEditor::EditorPages(const CAppContext& context) {
    QStringList pages;
    const QDir dir(ToQ(context.FilePath("Data\\Editor")));
    for (const QString& skin : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (QFileInfo::exists(dir.filePath(skin + QStringLiteral("/index.html"))))
            pages << QStringLiteral("Data/Editor/") + skin + QStringLiteral("/index.html");
    }
    return pages;
}

QString CPropertyPageAccountEditor::ShownPagePath(QString stored) {
    // Older account files spell the page "\Data\Editor\默认\index.html"; both forms read the
    // same file.
    stored.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (stored.startsWith(QLatin1Char('/')) && !QFileInfo::exists(stored))
        stored.remove(0, 1);
    return stored;
}

bool CPropertyPageAccountEditor::Apply() {
    const std::pair<const char*, QString> fields[] = {
        {"editorindex", m_index->currentText()},
        {"logxsl", m_skin->currentText()},
    };
    for (const auto& [field, value] : fields) {
        if (!m_context.Accounts().SetAccountField(m_account, field, ToStd(value)))
            return false;
    }
    return true;
}

// --- 安全设置 ---------------------------------------------------------------------------------

CPropertyPageAccountSecurity::CPropertyPageAccountSecurity(const std::string& account,
                                                           CAccountSetup& setup)
    : CPropertyPage(QStringLiteral("安全设置")), m_account(account), m_setup(setup) {
    m_lock = new QCheckBox(QStringLiteral("开启本机登陆验证"));
    m_blogPassword = new QRadioButton(QStringLiteral("使用用户博客的密码进行本机登陆验证"));
    m_localPassword = new QRadioButton(QStringLiteral("使用本机帐户密码登陆"));
    m_old = new QLineEdit;
    m_new = new QLineEdit;
    m_confirm = new QLineEdit;
    for (QLineEdit* edit : {m_old, m_new, m_confirm})
        edit->setEchoMode(QLineEdit::Password);
    m_oldLabel = new QLabel(QStringLiteral("输入上次的账户密码:"));
    m_newLabel = new QLabel(QStringLiteral("新密码:"));
    m_delete = new QCheckBox(QStringLiteral("删除此账户"));
    m_deletePassword = new QLineEdit;
    m_deletePassword->setEchoMode(QLineEdit::Password);

    auto* login = new QGroupBox(QStringLiteral("登陆验证"));
    auto* loginForm = new QFormLayout(login);
    loginForm->addRow(m_lock);
    loginForm->addRow(m_blogPassword);
    loginForm->addRow(m_localPassword);
    loginForm->addRow(m_oldLabel, m_old);
    loginForm->addRow(m_newLabel, m_new);
    loginForm->addRow(QStringLiteral("确认密码:"), m_confirm);
    auto* remove = new QGroupBox(QStringLiteral("注销帐户"));
    auto* removeForm = new QFormLayout(remove);
    removeForm->addRow(m_delete);
    removeForm->addRow(QStringLiteral("输入用户的博客密码:"), m_deletePassword);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(login);
    layout->addWidget(remove);
    layout->addStretch();

    std::string loginPassword;
    m_setup.Context().Accounts().GetLoginSettings(account, m_storedMode, loginPassword);
    m_lock->setChecked(m_storedMode != 0);
    if (m_storedMode == 2) {
        m_localPassword->setChecked(true);
    } else {
        m_blogPassword->setChecked(m_storedMode == 1);
        m_old->hide();
        m_oldLabel->hide();
        m_newLabel->setText(m_storedMode == 1 ? QStringLiteral("请输入账户密码")
                                              : QStringLiteral("请输入新的登陆密码"));
    }
    connect(m_lock, &QCheckBox::toggled, this, &CPropertyPageAccountSecurity::UpdateEnabled);
    connect(m_blogPassword, &QRadioButton::toggled, this,
            &CPropertyPageAccountSecurity::UpdateEnabled);
    connect(m_localPassword, &QRadioButton::toggled, this,
            &CPropertyPageAccountSecurity::UpdateEnabled);
    UpdateEnabled();
}

void CPropertyPageAccountSecurity::UpdateEnabled() {
    const bool on = m_lock->isChecked();
    m_blogPassword->setEnabled(on);
    m_localPassword->setEnabled(on);
    if (on && !m_blogPassword->isChecked() && !m_localPassword->isChecked())
        m_localPassword->setChecked(true);
    const bool local = on && m_localPassword->isChecked();
    for (QLineEdit* edit : {m_old, m_new, m_confirm})
        edit->setEnabled(local);
}

bool CPropertyPageAccountSecurity::DeleteChosen() const {
    return m_delete->isChecked();
}

bool CPropertyPageAccountSecurity::TurnsProtectionOff() const {
    return m_storedMode != 0 && !m_lock->isChecked() && !DeleteChosen();
}

QString CPropertyPageAccountSecurity::Validate() {
    m_loginPassword.clear();
    if (TurnsProtectionOff()) {
        // Asked every time, whether or not the account was unlocked in this run.
        const std::optional<QString> typed = CLocalLoginDialog::Ask(this, ToQ(m_account));
        if (!typed)
            return Focused(m_lock, kProtectionStaysText);
        if (!m_setup.Context().Accounts().CheckLogin(m_account, ToStd(*typed)))
            return Focused(m_lock, CAccountSetup::kWrongPasswordText);
        m_loginPassword = ToStd(*typed);
        return QString();
    }
    if (!DeleteChosen())
        return QString();
    if (m_deletePassword->text().isEmpty())
        return Focused(m_deletePassword, "请输入密码!");
    if (ToStd(m_deletePassword->text()) != Field(m_setup.Context(), m_account, "password"))
        return Focused(m_deletePassword, CAccountSetup::kWrongPasswordText);
    return QString();
}

bool CPropertyPageAccountSecurity::Apply() {
    LoginLockChange change;
    if (m_lock->isChecked() && m_blogPassword->isChecked())
        change.mode = LoginLockMode::kBlogPassword;
    else if (m_lock->isChecked() && m_localPassword->isChecked())
        change.mode = LoginLockMode::kLocalPassword;
    change.oldPassword = ToStd(m_old->text());
    change.newPassword = ToStd(m_new->text());
    change.confirmPassword = ToStd(m_confirm->text());
    change.loginPassword = m_loginPassword;
    const SetupCheck check = m_setup.ChangeLoginLock(m_account, change);
    QWidget* field = nullptr;
    if (check.field == AccountField::kOldLocalPassword)
        field = m_old;
    else if (check.field == AccountField::kNewLocalPassword)
        field = m_new;
    else if (check.field == AccountField::kConfirmLocalPassword)
        field = m_confirm;
    if (Refused(this, check, field))
        return false;
    m_storedMode = static_cast<int>(change.mode);
    return true;
}

// --- The sheet --------------------------------------------------------------------------------

CPropertySheetAccountSetup::CPropertySheetAccountSetup(const CAppContext& context,
                                                       const std::string& account,
                                                       AccountTreeNotice notice, QWidget* parent)
    : CPropertySheet(QStringLiteral("账户设置 - ") + ToQ(account), parent), m_account(account),
      m_notice(std::move(notice)), m_setup(context) {
    m_general = new CPropertyPageAccountGeneral(account, m_setup, m_notice);
    m_connection = new CPropertyPageAccountConnection(account, m_setup);
    m_permission = new CPropertyPageAccountPermission(context, account);
    m_editor = new CPropertyPageAccountEditor(context, account);
    m_security = new CPropertyPageAccountSecurity(account, m_setup);
    for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{
             m_general, m_connection, m_permission, m_editor, m_security})
        AddPage(page);
    connect(m_editor, &CPropertyPageAccountEditor::PreviewStyleChanged, this,
            &CPropertySheetAccountSetup::PreviewStyleChanged);
}

bool CPropertySheetAccountSetup::Commit() {
    if (!m_security->DeleteChosen())
        return CPropertySheet::Commit();
    // Deleting the account makes the other pages' changes moot.
    if (!CMessageBox::Ask(this, QStringLiteral("确定要删除此账户吗?\n删除将不可恢复!"),
                          QStringLiteral("删除提示")))
        return false;
    const SetupCheck check =
        m_setup.DeleteWithPassword(m_account, ToStd(m_security->DeletePasswordEdit()->text()));
    if (!check.Ok()) {
        CMessageBox::Show(this, QString::fromUtf8(CAccountSetup::kDeleteFailedText));
        return false;
    }
    m_deleted = true;
    if (m_notice)
        m_notice(-1, CAccountTreeCtrl::kUpdateAccountDeleted);
    return true;
}
