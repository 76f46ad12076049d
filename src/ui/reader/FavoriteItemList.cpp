#include "ui/reader/FavoriteItemList.h"

#include "reader/RssFavorites.h"
#include "ui/common/UiText.h"
#include "ui/reader/ImportantMark.h"

#include <QHeaderView>
#include <QMimeData>

CFavoriteItemList::CFavoriteItemList(CRssFavorites& favorites, CFeedDatabase& store,
                                     QWidget* parent)
    : QTreeWidget(parent), m_favorites(favorites), m_store(store) {
    setColumnCount(kColumnCount);
    setHeaderLabels({QStringLiteral("标题"), QStringLiteral("作者"), QStringLiteral("日期"),
                     CImportantMark::Header(Qt::DisplayRole).toString()});
    headerItem()->setToolTip(kImportantColumn, CImportantMark::Header(Qt::ToolTipRole).toString());
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    // As the channels' list: the title takes what the author and the date leave.
    setAlternatingRowColors(true);
    setFrameShape(QFrame::NoFrame);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setSectionResizeMode(1, QHeaderView::Interactive);
    header()->setSectionResizeMode(2, QHeaderView::Interactive);
    header()->resizeSection(1, 110);
    header()->resizeSection(2, 150);
    header()->setStretchLastSection(false);
    // The important mark, kept when an item was copied here, stands first as in the channels'
    // list.
    header()->setSectionResizeMode(kImportantColumn, QHeaderView::Fixed);
    header()->resizeSection(kImportantColumn, 24);
    header()->moveSection(header()->visualIndex(kImportantColumn), 0);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!current)
            return;
        const int row = indexOfTopLevelItem(current);
        if (row >= 0 && row < static_cast<int>(m_items.size()))
            emit ItemOpened(m_items[row]);
    });
}

void CFavoriteItemList::ShowBox(int box) {
    m_box = box;
    m_items.clear();
    blockSignals(true);
    clear();
    if (box >= 0)
        m_favorites.Items(box, m_items, m_store);
    for (const FeedItem& item : m_items) {
        auto* row =
            new QTreeWidgetItem(this, {ToQ(item.title), ToQ(item.author), ToQ(item.pubDate)});
        row->setData(0, kIdRole, item.id);
        row->setToolTip(0, ToQ(item.link));
        CImportantMark::Apply(*row, kImportantColumn, item.isImportant != 0);
    }
    blockSignals(false);
    emit BoxShown(box >= 0 ? ToQ(m_favorites.Tree().PathText(box, "/")) : QString(),
                  static_cast<int>(m_items.size()));
}

std::vector<int> CFavoriteItemList::SelectedIds() const {
    std::vector<int> ids;
    for (QTreeWidgetItem* item : selectedItems())
        ids.push_back(item->data(0, kIdRole).toInt());
    return ids;
}

QByteArray CFavoriteItemList::MimeText(int box, const std::vector<int>& itemIds) {
    QByteArray text = QByteArray::number(box) + '|';
    for (size_t i = 0; i < itemIds.size(); ++i)
        text += (i ? "," : "") + QByteArray::number(itemIds[i]);
    return text;
}

bool CFavoriteItemList::ParseMime(const QByteArray& data, int& box, std::vector<int>& itemIds) {
    const int bar = data.indexOf('|');
    if (bar < 0)
        return false;
    bool ok = false;
    box = data.left(bar).toInt(&ok);
    if (!ok)
        return false;
    itemIds.clear();
    for (const QByteArray& part : data.mid(bar + 1).split(',')) {
        const int id = part.toInt(&ok);
        if (ok)
            itemIds.push_back(id);
    }
    return !itemIds.empty();
}

QStringList CFavoriteItemList::mimeTypes() const {
    return {QString::fromLatin1(kMimeType)};
}

QMimeData* CFavoriteItemList::mimeData(const QList<QTreeWidgetItem*>& items) const {
    std::vector<int> ids;
    for (QTreeWidgetItem* item : items)
        ids.push_back(item->data(0, kIdRole).toInt());
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kMimeType), MimeText(m_box, ids));
    return data;
}
