#include "ui/app/PropertyPageProxy.h"

#include "app/AppContext.h"
#include "ui/common/UiText.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

CPropertyPageProxy::CPropertyPageProxy(QWidget* parent)
    : CPropertyPage(QStringLiteral("代理服务器"), parent) {
    m_use = new QCheckBox(QStringLiteral("使用代理服务器"));
    auto* group = new QGroupBox(QStringLiteral("代理服务器设置"));
    m_server = new QLineEdit;
    m_port = new QLineEdit;
    m_port->setMaximumWidth(80);
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), m_port));
    m_userName = new QLineEdit;
    m_password = new QLineEdit;
    m_password->setEchoMode(QLineEdit::Password);
    m_localUse = new QCheckBox(QStringLiteral("对于本地地址使用代理服务器(不推荐)"));
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("地址:"), m_server);
    form->addRow(QStringLiteral("端口:"), m_port);
    form->addRow(QStringLiteral("用户名:"), m_userName);
    form->addRow(QStringLiteral("密码:"), m_password);
    form->addRow(m_localUse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_use);
    layout->addWidget(group);
    layout->addStretch();

    ProxySettings settings;
    if (CAppContext::Process().Settings().ReadProxySettings(settings)) {
        m_use->setChecked(settings.use != 0);
        m_localUse->setChecked(settings.localProxyUse != 0);
        m_server->setText(ToQ(settings.server));
        m_port->setText(ToQ(settings.port));
        m_userName->setText(ToQ(settings.userName));
        m_password->setText(ToQ(settings.password));
    }
    connect(m_use, &QCheckBox::toggled, this, &CPropertyPageProxy::UpdateEnabled);
    UpdateEnabled();
}

void CPropertyPageProxy::UpdateEnabled() {
    const bool on = m_use->isChecked();
    for (QWidget* field : {static_cast<QWidget*>(m_server), static_cast<QWidget*>(m_port),
                           static_cast<QWidget*>(m_userName), static_cast<QWidget*>(m_password),
                           static_cast<QWidget*>(m_localUse)})
        field->setEnabled(on);
}

ProxySettings CPropertyPageProxy::Values() const {
    ProxySettings settings;
    settings.use = m_use->isChecked() ? 1 : 0;
    settings.localProxyUse = m_localUse->isChecked() ? 1 : 0;
    settings.server = ToStd(m_server->text().trimmed());
    settings.port = ToStd(m_port->text().trimmed());
    settings.userName = ToStd(m_userName->text());
    // The password is kept exactly as typed.
    settings.password = ToStd(m_password->text());
    return settings;
}

QString CPropertyPageProxy::Validate() {
    const ProxySettings settings = Values();
    const std::string message =
        CSettingsChecks::CheckProxyPage(settings.use != 0, settings.server, settings.port);
    if (message.empty())
        return QString();
    if (settings.use && settings.server.empty())
        m_server->setFocus();
    else
        m_port->setFocus();
    return ToQ(message);
}

bool CPropertyPageProxy::Apply() {
    return CAppContext::Process().Settings().WriteProxySettings(Values()) != 0;
}
