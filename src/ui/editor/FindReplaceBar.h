#pragma once

#include <QTextDocument>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTextCursor;

// The find and replace bar below the article (Ctrl+F finds, Ctrl+H replaces, Esc closes). It
// works on whichever editor is shown: the window tells it the editor's document and cursor.
class CFindReplaceBar : public QWidget {
    Q_OBJECT
public:
    struct Target {
        std::function<QTextDocument*()> document;
        std::function<QTextCursor()> cursor;
        std::function<void(const QTextCursor&)> setCursor;
    };
    CFindReplaceBar(Target target, QWidget* parent = nullptr);

    // Shows the bar with the find field (or the replace field) focused.
    void ShowFind();
    void ShowReplace();

    // Selects the next (previous) match after the cursor, wrapping around; false when there
    // is none.
    bool FindNext(bool backward = false);
    // Replaces the match under the cursor (if it is one) and finds the next.
    bool ReplaceOne();
    // Replaces every match as one undo step; gives how many.
    int ReplaceAll();

    QLineEdit* FindEdit() const { return m_find; }
    QLineEdit* ReplaceEdit() const { return m_replace; }
    QString StatusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextDocument::FindFlags Flags(bool backward) const;

    Target m_target;
    QLineEdit* m_find = nullptr;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_case = nullptr;
    QLabel* m_status = nullptr;
};
