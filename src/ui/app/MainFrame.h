#pragma once

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "platform/jobs/JobRunner.h"
#include "reader/ReceiveScheduler.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedDatabase.h"
#include "ui/app/CommandTable.h"

#include <QHash>
#include <QStringList>
#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

class CArticlesReportView;
class CBlogWorkspace;
class CControlFavorites;
class CFavoritesPane;
class CPopupWindow;
class CReadingFrame;
class CRssChannelTreeCtrl;
class CRssReader;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QSplitter;
class QSystemTrayIcon;
class QToolButton;
class QTabWidget;
class QToolBar;
class QTreeWidget;

// The main window: the side tabs (weblog accounts, feed channels, favourites) with a menu bar
// and a toolbar for each, the reading area (the item list above or beside the browser pane),
// the status line, the notification popup and the notification-area icon. It owns the interface
// thread's two stores and routes every command to the part of the program that does the work.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    enum SideMode : int { kSideBlog = 0, kSideRss = 1, kSideFavorites = 2 };
    // The five arrangements of the reading area: the list above, left of, below or right of
    // the browser pane, or chosen by the shape of the window (side by side when it is wide).
    enum Direction : int {
        kListAbove = 0,
        kListLeft = 1,
        kListBelow = 2,
        kListRight = 3,
        kDirectionAuto = 4
    };
    // What the reading-area splitter shows: both panes, only the list, only the browser.
    enum PaneState : int { kPaneBoth = 0, kPaneListOnly = 1, kPaneBrowserOnly = 2 };

    CMainFrame();
    ~CMainFrame() override;

    // Opens the stores, reads the view settings and builds the window. False when the program
    // must end (a settings group or a store could not be read; the reason was shown).
    bool Create(const WindowPlacement& placement);
    // The saved rectangle, or maximised when all four values are 0.
    void PlaceWindow(const WindowPlacement& placement);
    // Shows the window again from the notification area and brings it forward.
    void ShowMainWindow();
    // A start address handed over from the command line or a later start.
    void AddSubscriptionFromAddress(const std::string& address);
    // Messages that other windows or processes send to the frame (0x876, 0x877, 0x878, 0x879).
    void OnWindowMessage(int message, qint64 wParam, qint64 lParam);
    // Runs a command by its id, wherever it was chosen.
    void OnCommand(int commandId);
    QAction* Action(int commandId) const { return m_commands->Action(commandId); }
    CCommandTable* Commands() const { return m_commands; }

    int SideMode() const { return m_sideMode; }
    void SetSideMode(int mode);
    int SplitterDirection() const { return m_direction; }
    // Values outside 0..4 are ignored.
    void SetSplitterDirection(int direction);
    int PaneStateNow() const;
    // The menus and the toolbar of a side mode; only the current mode's are visible.
    const std::vector<QMenu*>& MenusOf(int mode) const { return m_menus[mode]; }
    QToolBar* ToolBarOf(int mode) const { return m_toolBars[mode]; }
    QTabWidget* SideTabs() const { return m_sideTabs; }
    QComboBox* FilterBox() const { return m_filterBox; }
    CPopupWindow* Popup() const { return m_popup; }
    QMenu* TrayMenu() const { return m_trayMenu; }
    CRssChannelTreeCtrl* ChannelTree() const { return m_channelTree; }
    CControlFavorites* BrowserFavorites() const { return m_browserFavorites; }
    CFavoritesPane* FavoritesPane() const { return m_favoriteTree; }
    CArticlesReportView* ItemList() const { return m_list; }
    CBlogWorkspace* Blog() const { return m_blog; }
    CReadingFrame* ReadingFrame() const { return m_readingFrame; }
    CRssReader* Reader() const { return m_reader.get(); }
    QSplitter* ReadingSplitter() const { return m_readingSplitter; }
    QSplitter* MainSplitter() const { return m_mainSplitter; }
    QString StatusText() const;
    bool MinimizeToTray() const { return m_minimizeToTray; }

    // The filter code of an entry of the filter box (the box lists all, unread, read, new).
    static ItemFilter FilterCodeAt(int boxIndex);
    // The status line while one channel is received.
    static QString ReceivingText(const QString& path);
    // The status line's button that stops the receives under way (shown while they run).
    QToolButton* StopReceiveButton() const { return m_stopReceive; }
    // The notification area's tooltip: the program and the unread items of every channel.
    QString TrayToolTip() const;
    // The status line after a channel failed to be received.
    static QString FailureText(const QString& path, const QString& reason);

    // The shutdown: exit flag, workers stopped, then geometry, pane sizes, splitter state and
    // direction, side mode and the channel tree's state are written. Runs once.
    void Shutdown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildActions();
    // What each command does: one Handle line per command.
    void RegisterCommands();
    void BuildMenus();
    void BuildToolBars();
    void BuildPanes(const WindowPlacement& placement);
    void BuildTray();
    void ApplySideMode(int mode);
    void ArrangeReadingArea();
    void UpdateSkinMenu();
    void SetStatus(const QString& text);
    // The receives' counts while they run, and their summary when they end.
    void ShowReceiveProgress(const ReceiveProgress& progress);
    void EndReceiveRound(const ReceiveProgress& progress,
                         const std::vector<NewItemsNote>& announce);
    // The tray's tooltip follows the unread total, a moment after the counts change.
    void ScheduleTrayToolTip();
    void StartUpdateCheck();

    void OnSystemSettings();
    void OnReaderSettings();
    void OnBlogSettings();
    void OnCompactRssDatabase();
    void OnAbout();
    void OnBrowserMenuAdd();
    void OnBrowserMenuRemove();
    void OnOrganizeFavorites();
    void OnCheckUpdate();
    void OnNewItems(int index, int count);
    // One notification for the channels a receive round found new items in.
    void AnnounceNewItems(const std::vector<NewItemsNote>& announce);
    // The article preview's right click: the menu of the previewed article's row in the list.
    void ShowPreviewMenu(const QPoint& globalPos);
    QMenu* BuildPreviewMenu();

    CAppContext m_context;
    // The runner of the jobs of the dialogs opened from this window (handed to the panes that
    // open them): it outlives them and is shut down with the window.
    CJobRunner m_windowJobs{4};
    CArticleDatabase m_articleStore;
    CFeedDatabase m_feedStore;
    std::unique_ptr<CRssReader> m_reader;

    CCommandTable* m_commands = nullptr;
    std::vector<QMenu*> m_menus[3];
    QToolBar* m_toolBars[3] = {};
    QMenu* m_skinMenu = nullptr;
    QActionGroup* m_directionGroup = nullptr;
    QComboBox* m_filterBox = nullptr;
    QLabel* m_status = nullptr;

    QSplitter* m_mainSplitter = nullptr;
    QSplitter* m_readingSplitter = nullptr;
    QTabWidget* m_sideTabs = nullptr;
    CBlogWorkspace* m_blog = nullptr;
    CFavoritesPane* m_favoriteTree = nullptr;
    CControlFavorites* m_browserFavorites = nullptr;
    CRssChannelTreeCtrl* m_channelTree = nullptr;
    CArticlesReportView* m_list = nullptr;
    CReadingFrame* m_readingFrame = nullptr;
    CPopupWindow* m_popup = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;

    int m_sideMode = kSideRss;
    int m_direction = kListAbove;
    int m_listExtent = 320;
    bool m_minimizeToTray = false;
    bool m_enableAutoUpdate = true;
    bool m_shutDown = false;
    // The search bar was open on the channels' side when another side came to the front.
    bool m_searchBarWasOpen = false;
    QToolButton* m_stopReceive = nullptr;
    bool m_roundRunning = false;
    int m_roundTotal = 0;
    QStringList m_roundFailures; // "path — reason" of the round's failed channels
    bool m_trayTipDue = false;
};
