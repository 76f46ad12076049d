#pragma once

#include "app/AppSettings.h"
#include "ui/common/PropertySheet.h"

class QCheckBox;
class QLineEdit;

// "代理服务器" of "系统设置": the proxy through which HTTP goes.
class CPropertyPageProxy : public CPropertyPage {
    Q_OBJECT
public:
    explicit CPropertyPageProxy(QWidget* parent = nullptr);
    QString Validate() override;
    bool Apply() override;
    // The values as the page holds them.
    ProxySettings Values() const;

    QCheckBox* Use() const { return m_use; }
    QCheckBox* LocalUse() const { return m_localUse; }
    QLineEdit* Server() const { return m_server; }
    QLineEdit* Port() const { return m_port; }
    QLineEdit* UserName() const { return m_userName; }
    QLineEdit* Password() const { return m_password; }

private:
    void UpdateEnabled();

    QCheckBox* m_use = nullptr;
    QCheckBox* m_localUse = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
};
