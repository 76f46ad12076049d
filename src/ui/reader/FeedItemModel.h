#pragma once

#include "app/AppSettings.h"
#include "storage/FeedItem.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHash>
#include <vector>

// The rows of the item list: one page of a channel's items, or the newest items of a directory.
class CFeedItemModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // kImportant, a narrow flag column, is shown first.
    enum Column { kTitle, kDate, kAuthor, kChannel, kImportant, kColumnCount };
    static constexpr int kIdRole = Qt::UserRole + 1;

    explicit CFeedItemModel(QObject* parent = nullptr);

    void SetItems(std::vector<FeedItem> items);
    void Clear();
    const std::vector<FeedItem>& Items() const { return m_items; }
    const FeedItem* ItemAt(int row) const;
    int RowOfId(int itemId) const;
    // Changes the marks of one row as the store now holds them.
    void SetRead(int row, bool read);
    void SetImportant(int row, bool important);
    // The channel titles by feed id, for the rows of a directory.
    void SetChannelTitles(QHash<int, QString> titles) { m_channels = std::move(titles); }
    void SetAppearance(const AppearanceSettings& settings);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows are dragged onto a favorites box: "0|id,id,..." under the feed items type.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    std::vector<FeedItem> m_items;
    QHash<int, QString> m_channels;
    QFont m_unreadFont;
    QFont m_readFont;
    QColor m_unreadColor;
    QColor m_readColor;
    QColor m_dateColor;
};
