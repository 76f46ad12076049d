#pragma once

#include <QDialog>

class QLineEdit;

// "新建目录": the name of a new channel directory.
class CDirectoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDirectoryDialog(QWidget* parent = nullptr);
    QString Name() const;
    QLineEdit* NameEdit() const { return m_name; }
    // What 确定 does: the check, then the dialog closes.
    bool Confirm();

private:
    QLineEdit* m_name = nullptr;
};
