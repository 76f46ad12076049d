#include "ui/blog/FolderPickerDialog.h"

#include "storage/ArticleDatabase.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
CFolderPickerDialog::Hook g_pickerHook;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kAccountRole = Qt::UserRole + 2;
} // namespace

CFolderPickerDialog::CFolderPickerDialog(const std::vector<AccountRecord>& accounts,
                                         const Counter& count, const FolderRef& source,
                                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("账户目录"));
    m_tree = new QTreeWidget;
    m_tree->setHeaderHidden(true);
    for (int i = 0; i < static_cast<int>(accounts.size()); ++i) {
        const AccountRecord& account = accounts[i];
        auto* root = new QTreeWidgetItem(m_tree);
        root->setText(0, ToQ(account.description.empty() ? account.name : account.description));
        root->setData(0, CAccountTreeCtrl::kCodeRole,
                      CAccountTreeCtrl::NodeCode(i, CAccountTreeCtrl::kNodeAccount));
        root->setData(0, kAccountRole, ToQ(account.name));
        root->setData(0, kFolderRole, 0);
        for (int folder : {kFolderDrafts, kFolderTrash}) {
            if (account.name == source.account && folder == source.folder)
                continue;
            auto* child = new QTreeWidgetItem(root);
            child->setText(0, CAccountTreeCtrl::KindLabel(folder) + QStringLiteral("  (") +
                                  QString::number(count(account.name, folder)) +
                                  QStringLiteral(")"));
            child->setData(0, CAccountTreeCtrl::kCodeRole, CAccountTreeCtrl::NodeCode(i, folder));
            child->setData(0, kAccountRole, ToQ(account.name));
            child->setData(0, kFolderRole, folder);
        }
        root->setExpanded(true);
        if (account.name == source.account)
            m_tree->setCurrentItem(root);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFolderPickerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请选择一个目标文件夹：")));
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
}

void CFolderPickerDialog::accept() {
    QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || !item->isSelected() || item->data(0, kFolderRole).toInt() == 0) {
        CMessageBox::Show(this, QStringLiteral("请选择一个文件夹!"));
        return;
    }
    m_chosen = FolderRef{.account = ToStd(item->data(0, kAccountRole).toString()),
                         .folder = item->data(0, kFolderRole).toInt()};
    QDialog::accept();
}

std::optional<FolderRef> CFolderPickerDialog::Pick(const std::vector<AccountRecord>& accounts,
                                                   const Counter& count, const FolderRef& source,
                                                   QWidget* parent) {
    CFolderPickerDialog dialog(accounts, count, source, parent);
    if (g_pickerHook)
        return g_pickerHook(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Chosen();
}

void CFolderPickerDialog::SetHook(Hook hook) {
    g_pickerHook = std::move(hook);
}
