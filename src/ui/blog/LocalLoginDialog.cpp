#include "ui/blog/LocalLoginDialog.h"

#include "ui/common/MessageBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
CLocalLoginDialog::Hook g_loginHook;
}

CLocalLoginDialog::CLocalLoginDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("本地账户验证"));
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox;
    QPushButton* login = buttons->addButton(QStringLiteral("登录"), QDialogButtonBox::AcceptRole);
    login->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(login, &QPushButton::clicked, this, &CLocalLoginDialog::OnLogin);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请输入您的密码：")));
    layout->addWidget(m_password);
    layout->addWidget(buttons);
}

QString CLocalLoginDialog::Password() const {
    return m_password->text();
}

void CLocalLoginDialog::OnLogin() {
    if (m_password->text().isEmpty()) {
        CMessageBox::Show(this, QStringLiteral("请输入密码!"));
        return;
    }
    accept();
}

std::optional<QString> CLocalLoginDialog::Ask(QWidget* parent, const QString& account) {
    if (g_loginHook)
        return g_loginHook(account);
    CLocalLoginDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Password();
}

void CLocalLoginDialog::SetHook(Hook hook) {
    g_loginHook = std::move(hook);
}
