#pragma once

#include "storage/FeedItem.h"
#include "ui/reader/FavoriteItemList.h"

#include <QPointer>
#include <QSplitter>
#include <memory>

class CCommandTable;
class CFeedDatabase;
class CJobRunner;
class CReadingFrame;
class CRssFavorites;
class CRssFavoriteTreeCtrl;
class CAppContext;
class CRssReader;

// The feed favorites on the 收藏 side: the tree of folders and boxes; the selected box's items
// take the item list's place in the reading area (MainFrame puts Items() there), and an item
// chosen there is rendered into the reading pane through the skin.
class CFavoritesPane : public QSplitter {
    Q_OBJECT
public:
    // The favorites of the context's program directory. The store is the interface thread's own
    // connection; the tree registers its commands in the window's table, and its e-book dialog
    // makes its book on dialogJobs (which must outlive the pane).
    CFavoritesPane(const CAppContext& context, CFeedDatabase& store, CCommandTable& commands,
                   CJobRunner& dialogJobs, QWidget* parent = nullptr);
    ~CFavoritesPane() override;

    // Loads Storage/rssFavorite.opml and shows it.
    bool Build();
    // At exit: the folders' expanded state is written to the favorites file.
    void SaveState();
    // Where chosen items and sites are shown.
    void SetReadingTargets(CRssReader* reader, CReadingFrame* frame);

    CRssFavorites& Favorites() { return *m_favorites; }
    CRssFavoriteTreeCtrl* Tree() const { return m_tree; }
    CFavoriteItemList* Items() const { return m_items; }

    // 加入收藏 of the item list: the user picks the box.
    void AddItemToBox(const FeedItemRef& item);
    // S while reading: into the box chosen last in this run, or the one the user picks.
    void KeepItem(const FeedItemRef& item);
    // The 收藏 side came to the front: the current box's items are listed again.
    void ShowCurrentBox();

private:
    std::unique_ptr<CRssFavorites> m_favorites;
    CRssFavoriteTreeCtrl* m_tree = nullptr;
    QPointer<CFavoriteItemList> m_items;
};
