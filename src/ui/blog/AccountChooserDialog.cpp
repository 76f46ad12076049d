#include "ui/blog/AccountChooserDialog.h"

#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {
CAccountChooserDialog::Hook g_chooserHook;
}

CAccountChooserDialog::CAccountChooserDialog(const std::vector<AccountRecord>& accounts,
                                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("选择帐户"));
    m_list = new QListWidget;
    for (const AccountRecord& account : accounts) {
        auto* row =
            new QListWidgetItem(account.description.empty() || account.description == account.name
                                    ? ToQ(account.name)
                                    : ToQ(account.name) + QStringLiteral(" (") +
                                          ToQ(account.description) + QStringLiteral(")"));
        row->setData(Qt::UserRole, ToQ(account.name));
        m_list->addItem(row);
    }
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("把这篇文章发布到哪个博客帐户:")));
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

std::string CAccountChooserDialog::Chosen() const {
    const QListWidgetItem* row = m_list->currentItem();
    return row ? ToStd(row->data(Qt::UserRole).toString()) : std::string();
}

std::optional<std::string> CAccountChooserDialog::Choose(const std::vector<AccountRecord>& accounts,
                                                         QWidget* parent) {
    CAccountChooserDialog dialog(accounts, parent);
    if (g_chooserHook)
        return g_chooserHook(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().empty())
        return std::nullopt;
    return dialog.Chosen();
}

void CAccountChooserDialog::SetHook(Hook hook) {
    g_chooserHook = std::move(hook);
}
