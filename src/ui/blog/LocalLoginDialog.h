#pragma once

#include <QDialog>
#include <functional>
#include <optional>

class QLineEdit;

// "本地账户验证": the password box that unlocks an account with a local login check. Pressing
// 登录 with an empty box says "请输入密码!" and keeps the dialog open.
class CLocalLoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit CLocalLoginDialog(QWidget* parent = nullptr);
    QLineEdit* PasswordEdit() const { return m_password; }
    QString Password() const;

    // Asks for the password; nothing when the user cancelled. Tests answer through the hook
    // instead of a person (the account name is passed to it).
    static std::optional<QString> Ask(QWidget* parent, const QString& account);
    using Hook = std::function<std::optional<QString>(const QString& account)>;
    static void SetHook(Hook hook);

private:
    void OnLogin();
    QLineEdit* m_password = nullptr;
};
