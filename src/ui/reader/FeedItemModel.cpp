#include "ui/reader/FeedItemModel.h"

#include "ui/common/AppIcons.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/FavoriteItemList.h"
#include "ui/reader/ImportantMark.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"

#include <QMimeData>

CFeedItemModel::CFeedItemModel(QObject* parent) : QAbstractTableModel(parent) {
    SetAppearance(AppearanceSettings{});
}

void CFeedItemModel::SetItems(std::vector<FeedItem> items) {
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void CFeedItemModel::Clear() {
    SetItems({});
}

const FeedItem* CFeedItemModel::ItemAt(int row) const {
    if (row < 0 || row >= static_cast<int>(m_items.size()))
        return nullptr;
    return &m_items[static_cast<size_t>(row)];
}

int CFeedItemModel::RowOfId(int itemId) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].id == itemId)
            return static_cast<int>(i);
    return -1;
}

void CFeedItemModel::SetRead(int row, bool read) {
    if (row < 0 || row >= static_cast<int>(m_items.size()))
        return;
    FeedItem& item = m_items[static_cast<size_t>(row)];
    // Any marking clears the new flag.
    item.isRead = read ? 1 : 0;
    item.isNew = 0;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CFeedItemModel::SetImportant(int row, bool important) {
    if (row < 0 || row >= static_cast<int>(m_items.size()))
        return;
    m_items[static_cast<size_t>(row)].isImportant = important ? 1 : 0;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CFeedItemModel::SetAppearance(const AppearanceSettings& settings) {
    beginResetModel();
    m_unreadFont = CArticlesReportView::TitleFont(settings, false);
    m_readFont = CArticlesReportView::TitleFont(settings, true);
    m_unreadColor = ColorFromSetting(settings.titleUnreadColor);
    m_readColor = ColorFromSetting(settings.titleReadColor);
    m_dateColor = ColorFromSetting(settings.dateAndAuthorColor);
    endResetModel();
}

int CFeedItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int CFeedItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CFeedItemModel::data(const QModelIndex& index, int role) const {
    const FeedItem* item = ItemAt(index.row());
    if (!item)
        return {};
    if (index.column() == kImportant && role != kIdRole)
        return CImportantMark::Cell(item->isImportant != 0, role);
    const bool read = item->isRead != 0;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kTitle:
            return ToQ(item->title);
        case kDate:
            return ToQ(item->pubDate);
        case kAuthor:
            return ToQ(item->author);
        case kChannel:
            return m_channels.value(item->feedId);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == kTitle)
            return ItemStateIcon(item->isNew != 0, read);
        return {};
    case Qt::FontRole:
        if (index.column() == kTitle)
            return read ? m_readFont : m_unreadFont;
        return {};
    case Qt::ForegroundRole:
        if (index.column() == kTitle)
            return read ? m_readColor : m_unreadColor;
        return m_dateColor;
    case Qt::ToolTipRole:
        if (index.column() == kTitle) {
            QString state = item->isNew ? QStringLiteral("新文章")
                                        : (read ? QStringLiteral("已读") : QStringLiteral("未读"));
            if (item->isImportant)
                state += QStringLiteral(", 重要");
            return ToQ(item->title) + QStringLiteral("\n") + state;
        }
        return {};
    case kIdRole:
        return item->id;
    default:
        return {};
    }
}

QVariant CFeedItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == kImportant)
        return CImportantMark::Header(role);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kTitle:
        return QStringLiteral("标题");
    case kDate:
        return QStringLiteral("日期");
    case kAuthor:
        return QStringLiteral("作者");
    case kChannel:
        return QStringLiteral("频道");
    default:
        return {};
    }
}

Qt::ItemFlags CFeedItemModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

QStringList CFeedItemModel::mimeTypes() const {
    return {QString::fromLatin1(CRssFavoriteTreeCtrl::kFeedItemsMime)};
}

QMimeData* CFeedItemModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> ids;
    ItemOrigin origin = ItemOrigin::kStored;
    for (const QModelIndex& index : indexes)
        if (const FeedItem* item = ItemAt(index.row()); item && index.column() == 0) {
            ids.push_back(item->id);
            origin = item->origin;
        }
    // The list holds rows of one origin: 1 before the bar names the on-line search results.
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(CRssFavoriteTreeCtrl::kFeedItemsMime),
                  CFavoriteItemList::MimeText(origin == ItemOrigin::kWebSearch ? 1 : 0, ids));
    return data;
}
