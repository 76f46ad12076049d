#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class CEditorWindow;
class QAction;
class QComboBox;
class QMenu;
class QToolBar;

// The editor window's commands: each a menu entry, a toolbar button with an icon (the
// desktop's theme icon, else one drawn here, so a plain desktop shows them too), a tooltip that
// names its shortcut, and the shortcut desktop editors use. The commands that only rich text
// has are greyed in Markdown and in the HTML source view.
class CEditorActions : public QObject {
    Q_OBJECT
public:
    explicit CEditorActions(CEditorWindow& window);

    // An action by its object name ("bold", "publish", "markdown", ...), for the tests.
    QAction* Action(const QString& name) const;
    QComboBox* StyleBox() const { return m_style; }

    // Greys what the shown editor cannot do; ticks the mode switches.
    void UpdateState();
    // Shows the paragraph style of the rich text's cursor in the style box.
    void ShowCurrentStyle();

protected:
    // The editors' own key bindings (Ctrl+K deletes to the end of the line, Ctrl+E moves to
    // it on Linux) give way to the commands' shortcuts.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* Add(QMenu* menu, QToolBar* bar, const char* name, const QString& text,
                 const char* theme, const QString& glyph, const QKeySequence& keys,
                 std::function<void()> slot, bool richOnly);
    void BuildFile(QMenu* menu, QToolBar* bar);
    void BuildEdit(QMenu* menu, QToolBar* bar);
    void BuildFormat(QMenu* menu, QToolBar* bar);
    void BuildInsert(QMenu* menu, QToolBar* bar);
    void BuildView(QMenu* menu, QToolBar* bar);

    CEditorWindow& m_window;
    std::map<QString, QAction*> m_actions;
    std::vector<QAction*> m_richOnly;
    QComboBox* m_style = nullptr;
    QAction* m_clearFormat = nullptr;
};
