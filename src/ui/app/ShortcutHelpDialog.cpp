#include "ui/app/ShortcutHelpDialog.h"

#include "ui/app/CommandTable.h"
#include "ui/common/CommandIds.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The menu text without its accelerator and dots.
QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    const int bracket = text.indexOf(QLatin1Char('('));
    if (bracket > 0)
        text.truncate(bracket);
    if (text.endsWith(QStringLiteral("...")))
        text.chop(3);
    return text;
}

} // namespace

CShortcutHelpDialog::CShortcutHelpDialog(CCommandTable& commands, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("快捷键"));
    m_table = new QTreeWidget;
    m_table->setColumnCount(2);
    m_table->setHeaderLabels({QStringLiteral("按键"), QStringLiteral("作用")});
    m_table->setRootIsDecorated(false);
    m_table->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    const auto add = [this](const QString& keys, const QString& what) {
        new QTreeWidgetItem(m_table, {keys, what});
    };
    // The keys that belong to no menu command.
    add(QStringLiteral("空格"), QStringLiteral("阅读窗格向下翻一页, 到底后转到下一篇未读"));
    add(QStringLiteral("回车"), QStringLiteral("在浏览器中打开原文"));
    for (int id : {kCmdNextUnread, kCmdPreviousUnread, kCmdNextArticle, kCmdPreviousArticle,
                   kCmdOpenItemLink, kCmdToggleItemRead, kCmdToggleItemImportant, kCmdKeepItem,
                   kCmdReceiveChannel, kCmdSearch}) {
        QAction* action = commands.Action(id);
        QStringList keys;
        for (const QKeySequence& key : action->shortcuts())
            keys << key.toString(QKeySequence::NativeText);
        if (!keys.isEmpty())
            add(keys.join(QStringLiteral(" / ")), Plain(action->text()));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(460, 380);
}
