#include "ui/editor/FindReplaceBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

CFindReplaceBar::CFindReplaceBar(Target target, QWidget* parent)
    : QWidget(parent), m_target(std::move(target)) {
    setObjectName(QStringLiteral("findReplaceBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    m_find = new QLineEdit(this);
    m_find->setPlaceholderText(QStringLiteral("查找"));
    m_replace = new QLineEdit(this);
    m_replace->setPlaceholderText(QStringLiteral("替换为"));
    m_case = new QCheckBox(QStringLiteral("区分大小写"), this);
    m_status = new QLabel(this);
    auto button = [&](const QString& text, const QString& tip, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        layout->addWidget(b);
        return b;
    };
    layout->addWidget(m_find, 2);
    button(QStringLiteral("上一个"), QStringLiteral("查找上一个 (Shift+F3)"),
           [this] { FindNext(true); });
    button(QStringLiteral("下一个"), QStringLiteral("查找下一个 (F3)"), [this] { FindNext(); });
    layout->addWidget(m_replace, 2);
    button(QStringLiteral("替换"), QStringLiteral("替换选中的一处, 再找下一个"),
           [this] { ReplaceOne(); });
    button(QStringLiteral("全部替换"), QStringLiteral("替换文章里的每一处"),
           [this] { ReplaceAll(); });
    layout->addWidget(m_case);
    layout->addWidget(m_status, 1);
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("×"));
    close->setToolTip(QStringLiteral("关闭查找 (Esc)"));
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    layout->addWidget(close);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { FindNext(); });
    connect(m_replace, &QLineEdit::returnPressed, this, [this] { ReplaceOne(); });
    hide();
}

void CFindReplaceBar::ShowFind() {
    show();
    const QString selected = m_target.cursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_find->setText(selected);
    m_find->setFocus();
    m_find->selectAll();
}

void CFindReplaceBar::ShowReplace() {
    ShowFind();
    if (!m_find->text().isEmpty())
        m_replace->setFocus();
}

QTextDocument::FindFlags CFindReplaceBar::Flags(bool backward) const {
    QTextDocument::FindFlags flags;
    if (backward)
        flags |= QTextDocument::FindBackward;
    if (m_case->isChecked())
        flags |= QTextDocument::FindCaseSensitively;
    return flags;
}

bool CFindReplaceBar::FindNext(bool backward) {
    const QString needle = m_find->text();
    QTextDocument* document = m_target.document();
    if (needle.isEmpty() || !document)
        return false;
    const QTextDocument::FindFlags flags = Flags(backward);
    QTextCursor found = document->find(needle, m_target.cursor(), flags);
    if (found.isNull()) {
        // Around the end (or the start) once.
        QTextCursor edge(document);
        if (backward)
            edge.movePosition(QTextCursor::End);
        found = document->find(needle, edge, flags);
    }
    if (found.isNull()) {
        m_status->setText(QStringLiteral("找不到 \"%1\"").arg(needle));
        return false;
    }
    m_status->clear();
    m_target.setCursor(found);
    return true;
}

bool CFindReplaceBar::ReplaceOne() {
    QTextCursor cursor = m_target.cursor();
    const Qt::CaseSensitivity sensitivity =
        m_case->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && cursor.selectedText().compare(m_find->text(), sensitivity) == 0) {
        cursor.insertText(m_replace->text());
        m_target.setCursor(cursor);
    }
    return FindNext();
}

int CFindReplaceBar::ReplaceAll() {
    const QString needle = m_find->text();
    QTextDocument* document = m_target.document();
    if (needle.isEmpty() || !document)
        return 0;
    const QTextDocument::FindFlags flags = Flags(false);
    int count = 0;
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (QTextCursor found = document->find(needle, 0, flags); !found.isNull();
         found = document->find(needle, found, flags)) {
        found.insertText(m_replace->text());
        ++count;
    }
    edit.endEditBlock();
    m_status->setText(count ? QStringLiteral("已替换 %1 处").arg(count)
                            : QStringLiteral("找不到 \"%1\"").arg(needle));
    return count;
}

QString CFindReplaceBar::StatusText() const {
    return m_status->text();
}

void CFindReplaceBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
