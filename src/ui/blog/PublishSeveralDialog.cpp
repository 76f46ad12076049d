#include "ui/blog/PublishSeveralDialog.h"

#include "app/AppContext.h"
#include "ui/blog/ArticleEvents.h"
#include "ui/blog/LocalLoginDialog.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "workspace/ArticleOperations.h"
#include "workspace/LocalLoginLock.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QString kMayPublish = QStringLiteral("√");
const QString kPasswordWanted = QStringLiteral("×");
constexpr int kAccountRole = Qt::UserRole + 1;
} // namespace

CPublishSeveralDialog::CPublishSeveralDialog(CArticleOperations& operations, CArticleEvents& events,
                                             CLocalLoginLock& loginLock, int articleId,
                                             const std::string& ownAccount, QWidget* parent)
    : QDialog(parent), m_operations(operations), m_loginLock(loginLock), m_articleId(articleId) {
    setWindowTitle(QStringLiteral("发布到多个博客"));
    m_rows = new QTreeWidget;
    m_rows->setRootIsDecorated(false);
    m_rows->setHeaderLabels({QString(), QStringLiteral("序号"), QStringLiteral("帐户名"),
                             QStringLiteral("权限"), QStringLiteral("描述")});
    const int widths[] = {20, 40, 80, 40, 167};
    for (int c = 0; c < 5; ++c)
        m_rows->header()->resizeSection(c, widths[c]);
    m_rows->header()->setStretchLastSection(true);

    std::vector<AccountRecord> accounts;
    m_operations.Context().Accounts().ListAccounts(accounts);
    std::vector<std::string> together;
    if (!ownAccount.empty())
        m_operations.Context().Accounts().GetRelations(ownAccount, together);
    together.push_back(ownAccount);
    int number = 1;
    for (const AccountRecord& account : accounts) {
        auto* row = new QTreeWidgetItem(m_rows);
        const bool ticked =
            std::find(together.begin(), together.end(), account.name) != together.end();
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(kColTick, ticked ? Qt::Checked : Qt::Unchecked);
        row->setText(kColNumber, QString::number(number++));
        row->setText(kColName, ToQ(account.name));
        row->setData(kColName, kAccountRole, ToQ(account.name));
        row->setText(kColPermission,
                     ticked || account.localloginverify == 0 ? kMayPublish : kPasswordWanted);
        row->setText(kColDescription, ToQ(account.description));
    }
    connect(m_rows, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row) { UnlockRow(row); });

    m_publish = new QPushButton(QStringLiteral("发布"));
    // Once every account has answered, the same button closes the dialog.
    connect(m_publish, &QPushButton::clicked, this, [this] {
        if (m_finished)
            accept();
        else
            Publish();
    });
    auto* caption =
        new QLabel(QStringLiteral("选择这篇文章要发布到的博客(如没有权限双击该行输入密码验证)"));
    caption->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_rows);
    layout->addWidget(m_publish, 0, Qt::AlignRight);
    resize(420, 300);

    connect(&events, &CArticleEvents::Progress, this, [this](const OperationProgress& progress) {
        if (progress.operationId != m_operationId || m_operationId == 0)
            return;
        if (QTreeWidgetItem* row = RowOf(progress.account))
            row->setText(kColDescription, ToQ(progress.text));
    });
    connect(&events, &CArticleEvents::AccountPublished, this,
            [this](int operationId, const AccountPublishResult& result) {
                if (operationId != m_operationId || m_operationId == 0)
                    return;
                QTreeWidgetItem* row = RowOf(result.account);
                if (!row)
                    return;
                if (result.Ok()) {
                    row->setText(kColDescription,
                                 QStringLiteral("发送成功!文章编号: ") + ToQ(result.postId));
                    row->setToolTip(kColDescription, QString());
                } else {
                    row->setText(kColDescription, QStringLiteral("发送失败!"));
                    row->setToolTip(kColDescription, ToQ(result.reason));
                }
            });
    connect(&events, &CArticleEvents::OperationDone, this, [this](const OperationResult& result) {
        if (result.operationId != m_operationId || m_operationId == 0)
            return;
        m_finished = true;
        m_publish->setText(QStringLiteral("关闭"));
        m_publish->setEnabled(true);
        // Refused as a whole (the article cannot be read, or is a post already): no row
        // answered, so the reason is shown here.
        if (!result.Ok() && result.accounts.empty())
            CMessageBox::Show(this, QStringLiteral("无法发布: ") + ToQ(result.reason));
        emit Published(result);
    });
}

QTreeWidgetItem* CPublishSeveralDialog::RowOf(const std::string& account) const {
    const QString name = ToQ(account);
    for (int i = 0; i < m_rows->topLevelItemCount(); ++i)
        if (m_rows->topLevelItem(i)->data(kColName, kAccountRole).toString() == name)
            return m_rows->topLevelItem(i);
    return nullptr;
}

void CPublishSeveralDialog::UnlockRow(QTreeWidgetItem* row) {
    if (!row || row->text(kColPermission) != kPasswordWanted)
        return;
    const QString account = row->data(kColName, kAccountRole).toString();
    const std::optional<QString> typed = CLocalLoginDialog::Ask(this, account);
    if (!typed)
        return;
    switch (m_loginLock.Unlock(ToStd(account), ToStd(*typed))) {
    case CLocalLoginLock::Answer::kPassed:
        row->setText(kColPermission, kMayPublish);
        break;
    case CLocalLoginLock::Answer::kWrongPassword:
        CMessageBox::Show(this, QStringLiteral("您输入的密码有误!"));
        break;
    default:
        break;
    }
}

bool CPublishSeveralDialog::Publish() {
    std::vector<std::string> chosen;
    for (int i = 0; i < m_rows->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_rows->topLevelItem(i);
        if (row->checkState(kColTick) != Qt::Checked)
            continue;
        const QString account = row->data(kColName, kAccountRole).toString();
        if (row->text(kColPermission) == kPasswordWanted) {
            CMessageBox::Show(this,
                              QStringLiteral("请输入账户 ") + account + QStringLiteral(" 的密码"));
            return false;
        }
        chosen.push_back(ToStd(account));
    }
    if (chosen.empty()) {
        CMessageBox::Show(this, QString::fromUtf8(CArticleOperations::kNoAccountText));
        return false;
    }
    if (static_cast<int>(chosen.size()) > CArticleOperations::kMaxPublishAccounts) {
        CMessageBox::Show(this, QString::fromUtf8(CArticleOperations::kTooManyAccountsText));
        return false;
    }
    const OperationStart start = m_operations.StartPublishToAccounts(m_articleId, chosen);
    if (!start.Started()) {
        CMessageBox::Show(this, QStringLiteral("无法发布: ") + ToQ(start.refusal));
        return false;
    }
    m_operationId = start.id;
    m_publish->setEnabled(false);
    return true;
}
