#pragma once

#include <QDialog>

class QLabel;

// "关于": the program's title and version on white.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    static QString VersionText();
    QLabel* TitleLabel() const { return m_title; }
    QLabel* VersionLabel() const { return m_version; }

private:
    QLabel* m_title = nullptr;
    QLabel* m_version = nullptr;
};
