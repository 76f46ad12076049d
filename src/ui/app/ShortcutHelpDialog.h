#pragma once

#include <QDialog>

class CCommandTable;
class QTreeWidget;

// "快捷键": every key of keyboard reading with what it does, as the menus name the commands.
class CShortcutHelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit CShortcutHelpDialog(CCommandTable& commands, QWidget* parent = nullptr);

    QTreeWidget* Table() const { return m_table; }

private:
    QTreeWidget* m_table = nullptr;
};
