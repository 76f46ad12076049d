#pragma once

#include "storage/FeedItem.h"

#include <QTreeWidget>
#include <vector>

class CRssFavorites;
class CFeedDatabase;

// The items of one favorites box, newest first, with title, author, date and the important
// mark; no paging and no read marks. It stands in the reading area where a channel's items are
// listed. Items are dragged from here onto another box to move them there.
class CFavoriteItemList : public QTreeWidget {
    Q_OBJECT
public:
    // What a drag of favorite items carries: "box index|item id,item id,...".
    static constexpr const char* kMimeType = "application/x-quill-favorite-items";
    static constexpr int kIdRole = Qt::UserRole + 1;
    // Columns by their logical index; the important mark is shown first.
    enum Column { kTitleColumn, kAuthorColumn, kDateColumn, kImportantColumn, kColumnCount };

    CFavoriteItemList(CRssFavorites& favorites, CFeedDatabase& store, QWidget* parent = nullptr);

    // Shows the box's items (-1: nothing).
    void ShowBox(int box);
    int Box() const { return m_box; }
    const std::vector<FeedItem>& Items() const { return m_items; }
    std::vector<int> SelectedIds() const;

    static QByteArray MimeText(int box, const std::vector<int>& itemIds);
    static bool ParseMime(const QByteArray& data, int& box, std::vector<int>& itemIds);

signals:
    // An item was chosen: the reading pane shows it.
    void ItemOpened(const FeedItem& item);
    // Another box (or none, with an empty caption) is listed: the caption bar follows.
    void BoxShown(const QString& caption, int count);

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;

private:
    CRssFavorites& m_favorites;
    CFeedDatabase& m_store;
    std::vector<FeedItem> m_items;
    int m_box = -1;
};
