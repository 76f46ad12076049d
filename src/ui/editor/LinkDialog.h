#pragma once

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for a link's address and text. The address must be one a reader can follow: http,
// https, ftp or mailto, or a path of the weblog itself; a script (javascript:, data:, ...) is
// refused with the reason, and OK stays disabled until the address is good.
class CLinkDialog : public QDialog {
    Q_OBJECT
public:
    CLinkDialog(const QString& href, const QString& text, QWidget* parent = nullptr);

    QString Href() const;
    QString Text() const;
    QLineEdit* HrefEdit() const { return m_href; }
    QString ProblemText() const;

    // Why the address cannot be a link; empty when it can.
    static QString CheckAddress(const QString& href);

private:
    void Recheck();

    QLineEdit* m_href = nullptr;
    QLineEdit* m_text = nullptr;
    QLabel* m_problem = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
