#pragma once

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;

// What a command looks like wherever it is offered: the menu text with its accelerator, the
// shorter text of a context menu opened on the item it applies to (收取 where the window's menu
// says 收取当前频道), the icon by freedesktop name, the shortcut, whether it is a check item,
// and, for a command whose work is not in the program yet, the short reason shown as its
// tooltip while it stays greyed.
struct CommandEntry {
    int id = 0;
    const char* text = "";
    const char* contextText = nullptr;
    const char* icon = nullptr;
    QKeySequence shortcut = QKeySequence();
    bool checkable = false;
    const char* unavailable = nullptr;
};

// The one place that knows every command of the windows: its text, icon, shortcut, enabled
// state and what runs when it is chosen. The main window's menus and toolbars, the tray menu
// and the trees' context menus all take their actions or texts from here, so a command reads
// and acts the same wherever it is chosen.
class CCommandTable : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    // Asked before a menu shows and by Refresh(): an empty text enables the command, any other
    // text greys it and becomes its tooltip.
    using Availability = std::function<QString()>;

    explicit CCommandTable(QObject* parent = nullptr);

    // The commands of the program, in no particular order.
    static const std::vector<CommandEntry>& Entries();
    static const CommandEntry* Find(int id);
    // The menu text of a command ("" for an unknown id).
    static QString Text(int id);
    // The text of a context menu: the entry's context text, else its menu text.
    static QString ContextText(int id);
    // The text without its accelerator, as the tray menu shows it: "系统设置(&P)..." gives
    // "系统设置...".
    static QString PlainText(const QString& text);

    // The action of a command, made on first use and shared by every menu and toolbar.
    QAction* Action(int id);
    // One line per command: what runs when it is chosen. A later call replaces the earlier.
    void Handle(int id, Handler handler);
    void SetAvailability(int id, Availability check);
    bool HasHandler(int id) const { return m_handlers.contains(id); }
    // Runs the command's handler; false when it has none or is unavailable now.
    bool Run(int id);
    // Asks every availability check again.
    void Refresh();
    // The reason a command is greyed now, "" when it can run.
    QString Unavailable(int id) const;

    enum class MenuText { kAsTable, kPlain, kContext };
    // A menu action with the table's text (the plain text, the context text) that runs the
    // command; for menus built on the spot (the trees' context menus, the tray menu). The key
    // shows beside the table's text, not beside a context text: that names the item the menu
    // is on, while the key acts on the current one.
    QAction* AddTo(QMenu* menu, int id, MenuText text = MenuText::kAsTable);

private:
    void Apply(int id);

    QHash<int, QAction*> m_actions;
    QHash<int, Handler> m_handlers;
    QHash<int, Availability> m_availability;
};
