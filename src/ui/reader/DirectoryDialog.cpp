#include "ui/reader/DirectoryDialog.h"

#include "reader/ChannelTree.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDirectoryDialog::CDirectoryDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("新建目录"));
    m_name = new QLineEdit;
    m_name->setMinimumWidth(260);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("目录名称:"), m_name);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDirectoryDialog::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString CDirectoryDialog::Name() const {
    return m_name->text().trimmed();
}

bool CDirectoryDialog::Confirm() {
    const std::string message = CChannelTree::CheckDirectoryName(ToStd(Name()));
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        m_name->setFocus();
        return false;
    }
    accept();
    return true;
}
