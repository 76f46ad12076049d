#pragma once

#include <QSyntaxHighlighter>

#include <functional>
#include <memory>

class CSpellChecker;
class QMenu;
class QTextCursor;

// Underlines in red the English words the spell checker does not know (never Chinese, never
// code blocks). Quiet until the checker's dictionary is loaded and while switched off.
class CSpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    CSpellHighlighter(QTextDocument* document, std::shared_ptr<CSpellChecker> checker);

    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }

    // The misspelled word at the cursor's position: its extent selected in word; false when
    // the position is on no misspelled word.
    bool MistakeAt(const QTextCursor& at, QTextCursor& word) const;
    // Puts the suggestions for the misspelled word at the position (and 忽略) at the top of
    // the menu; choosing one replaces the word.
    void ExtendMenu(QMenu& menu, const QTextCursor& at);

protected:
    void highlightBlock(const QString& text) override;

private:
    std::shared_ptr<CSpellChecker> m_checker;
    bool m_enabled = true;
};
