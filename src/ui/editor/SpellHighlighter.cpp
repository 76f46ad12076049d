#include "ui/editor/SpellHighlighter.h"

#include "ui/common/UiText.h"
#include "workspace/SpellChecker.h"

#include <QAction>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The misspelled words of a paragraph, as (start, length) in its QString.
std::vector<std::pair<int, int>> Mistakes(const CSpellChecker& checker, const QString& text) {
    std::vector<std::pair<int, int>> found;
    const QByteArray utf8 = text.toUtf8();
    for (const SpellingMistake& mistake : checker.Check({utf8.constData(), size_t(utf8.size())})) {
        const int start =
            int(QString::fromUtf8(utf8.constData(), qsizetype(mistake.offset)).size());
        const int length = int(
            QString::fromUtf8(utf8.constData() + mistake.offset, qsizetype(mistake.length)).size());
        found.emplace_back(start, length);
    }
    return found;
}

} // namespace

CSpellHighlighter::CSpellHighlighter(QTextDocument* document,
                                     std::shared_ptr<CSpellChecker> checker)
    : QSyntaxHighlighter(document), m_checker(std::move(checker)) {}

void CSpellHighlighter::SetEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    rehighlight();
}

void CSpellHighlighter::highlightBlock(const QString& text) {
    if (!m_enabled || !m_checker || !m_checker->IsLoaded() ||
        currentBlock().blockFormat().nonBreakableLines())
        return;
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    underline.setUnderlineColor(Qt::red);
    for (const auto& [start, length] : Mistakes(*m_checker, text))
        setFormat(start, length, underline);
}

bool CSpellHighlighter::MistakeAt(const QTextCursor& at, QTextCursor& word) const {
    if (!m_enabled || !m_checker || !m_checker->IsLoaded())
        return false;
    const QTextBlock block = at.block();
    const int offset = at.position() - block.position();
    for (const auto& [start, length] : Mistakes(*m_checker, block.text())) {
        if (offset >= start && offset <= start + length) {
            word = QTextCursor(block);
            word.setPosition(block.position() + start);
            word.setPosition(block.position() + start + length, QTextCursor::KeepAnchor);
            return true;
        }
    }
    return false;
}

void CSpellHighlighter::ExtendMenu(QMenu& menu, const QTextCursor& at) {
    QTextCursor word;
    if (!MistakeAt(at, word))
        return;
    const QString text = word.selectedText();
    QAction* first = menu.actions().isEmpty() ? nullptr : menu.actions().first();
    const std::vector<std::string> suggestions = m_checker->Suggest(ToStd(text));
    if (suggestions.empty()) {
        QAction* none = new QAction(QStringLiteral("(没有拼写建议)"), &menu);
        none->setEnabled(false);
        menu.insertAction(first, none);
    }
    for (size_t i = 0; i < suggestions.size() && i < 8; ++i) {
        const QString suggestion = ToQ(suggestions[i]);
        QAction* action = new QAction(suggestion, &menu);
        connect(action, &QAction::triggered, this,
                [word, suggestion]() mutable { word.insertText(suggestion); });
        menu.insertAction(first, action);
    }
    QAction* ignore = new QAction(QStringLiteral("忽略 \"%1\"").arg(text), &menu);
    connect(ignore, &QAction::triggered, this, [this, text] {
        m_checker->Ignore(ToStd(text));
        rehighlight();
    });
    menu.insertAction(first, ignore);
    menu.insertSeparator(first);
}
