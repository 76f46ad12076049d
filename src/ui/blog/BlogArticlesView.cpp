#include "ui/blog/BlogArticlesView.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "ui/app/CommandTable.h"
#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"
#include "workspace/ArticleRowText.h"
#include "workspace/FolderActions.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const char* const kGroups[] = {"将来", "今天", "一周内", "最近"};

} // namespace

void CArticleTitleDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const QString preview = index.data(CBlogArticlesView::kPreviewRole).toString();
    if (preview.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString title = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect rect = opt.rect.adjusted(4, 1, -4, -1);
    const int line = rect.height() / 2;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRect(rect.left(), rect.top(), rect.width(), line),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(title, Qt::ElideRight, rect.width()));
    painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText)
                             : QColor(0x70, 0x78, 0x84));
    painter->drawText(QRect(rect.left(), rect.top() + line, rect.width(), rect.height() - line),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(preview, Qt::ElideRight, rect.width()));
    painter->restore();
}

QSize CArticleTitleDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (!index.data(CBlogArticlesView::kPreviewRole).toString().isEmpty())
        size.setHeight(option.fontMetrics.height() * 2 + 6);
    return size;
}

CBlogArticlesView::CBlogArticlesView(CArticleOperations& operations, CCommandTable* commands,
                                     QWidget* parent)
    : QWidget(parent), m_operations(operations), m_commands(commands) {
    setObjectName(QStringLiteral("blogArticles"));
    m_list = new QTreeWidget;
    m_list->setColumnCount(7);
    m_list->setHeaderLabels({QStringLiteral("优先级"), QStringLiteral("图标"),
                             QStringLiteral("附件"), QStringLiteral("文章标题"),
                             QStringLiteral("发表时间"), QStringLiteral("作者"), QString()});
    m_list->headerItem()->setIcon(kColAttachment, ThemeIcon("mail-attachment"));
    m_list->headerItem()->setText(kColPriority, QString());
    m_list->headerItem()->setText(kColIcon, QString());
    m_list->headerItem()->setText(kColAttachment, QString());
    m_list->headerItem()->setToolTip(kColPriority, QStringLiteral("优先级"));
    m_list->headerItem()->setToolTip(kColIcon, QStringLiteral("图标"));
    m_list->headerItem()->setToolTip(kColAttachment, QStringLiteral("附件"));
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(18);
    const int widths[] = {18, 18, 18, 300, 90, 90, 0};
    for (int c = 0; c < 7; ++c)
        header->resizeSection(c, widths[c]);
    for (int c = kColPriority; c <= kColAttachment; ++c)
        header->setSectionResizeMode(c, QHeaderView::Fixed);
    header->resizeSection(kColDate, 140);
    // The title takes the room the pane has; the date and the author keep their widths.
    header->setSectionResizeMode(kColTitle, QHeaderView::Stretch);
    m_list->setColumnHidden(kColId, true);
    m_list->setItemDelegateForColumn(kColTitle, new CArticleTitleDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setRootIsDecorated(true);
    m_list->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);

    connect(m_list, &QTreeWidget::customContextMenuRequested, this,
            &CBlogArticlesView::ShowContextMenu);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = BuildContextMenu(MenuPlace::kGroups, this);
        menu->exec(m_list->header()->mapToGlobal(pos));
        menu->deleteLater();
    });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_filling)
            return;
        // The order of selection, for operations that go row by row.
        std::vector<int> now;
        for (QTreeWidgetItem* item : m_list->selectedItems())
            if (item->parent())
                now.push_back(item->text(kColId).toInt());
        std::erase_if(m_selectionOrder,
                      [&](int id) { return std::find(now.begin(), now.end(), id) == now.end(); });
        for (int id : now)
            if (std::find(m_selectionOrder.begin(), m_selectionOrder.end(), id) ==
                m_selectionOrder.end())
                m_selectionOrder.push_back(id);
    });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!m_filling && current && current->parent())
            emit ArticleSelected(current->text(kColId).toInt());
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && item->parent())
            emit ArticleActivated(item->text(kColId).toInt());
    });
}

void CBlogArticlesView::ShowFolder(const std::string& account, int folder) {
    m_account = account;
    m_folder = folder;
    m_style.clear();
    m_operations.Context().Accounts().GetAccountField(account, "logxsl", m_style);
    Fill(ReadFolder(), {});
    m_list->scrollToTop();
}

void CBlogArticlesView::Reload() {
    if (m_account.empty())
        return;
    Fill(ReadFolder(), SelectedIds());
}

std::vector<ArticleRecord> CBlogArticlesView::ReadFolder() {
    std::vector<ArticleRecord> articles;
    std::string reason;
    m_failure.clear();
    if (!m_operations.GetArticles({.account = m_account, .folder = m_folder}, 0, 9999, articles,
                                  reason)) {
        articles.clear();
        m_failure = QStringLiteral("无法读取文章: ") + ToQ(reason);
    }
    return articles;
}

void CBlogArticlesView::Clear() {
    m_failure.clear();
    m_account.clear();
    m_folder = 0;
    m_style.clear();
    Fill({}, {});
}

void CBlogArticlesView::Fill(const std::vector<ArticleRecord>& articles,
                             const std::vector<int>& keep) {
    m_filling = true;
    m_list->clear();
    m_selectionOrder.clear();
    const std::time_t now = m_now ? m_now : std::time(nullptr);
    QTreeWidgetItem* groups[4] = {};
    for (const ArticleRecord& article : articles) {
        const QString caption = ToQ(CArticleRowText::DateGroup(article.pubDate, now));
        int g = 3;
        for (int i = 0; i < 4; ++i)
            if (caption == QString::fromUtf8(kGroups[i]))
                g = i;
        if (!groups[g]) {
            groups[g] = new QTreeWidgetItem;
            groups[g]->setFlags(Qt::ItemIsEnabled);
            QFont bold = groups[g]->font(0);
            bold.setBold(true);
            groups[g]->setFont(0, bold);
        }
        auto* row = new QTreeWidgetItem(groups[g]);
        row->setText(kColTitle,
                     ToQ(CArticleRowText::Summary(article.title, CArticleRowText::kTitleLimit)));
        row->setData(
            kColTitle, kPreviewRole,
            ToQ(CArticleRowText::Summary(article.content, CArticleRowText::kPreviewLimit)));
        row->setToolTip(kColTitle, ToQ(article.title));
        row->setText(kColDate, ToQ(article.pubDate));
        row->setText(kColAuthor, ToQ(m_account));
        row->setText(kColId, QString::number(article.id));
        if (!article.guid.empty())
            row->setIcon(kColIcon, ThemeIcon("emblem-default", QStyle::SP_DialogApplyButton));
    }
    for (int g = 0; g < 4; ++g) {
        if (!groups[g])
            continue;
        groups[g]->setText(0, QString::fromUtf8(kGroups[g]) +
                                  QStringLiteral(" (%1)").arg(groups[g]->childCount()));
        m_list->addTopLevelItem(groups[g]);
        // Spanning is a property of the view: it takes effect once the item is in it.
        groups[g]->setFirstColumnSpanned(true);
        groups[g]->setExpanded(true);
    }
    if (!m_failure.isEmpty()) {
        auto* failure = new QTreeWidgetItem(m_list);
        failure->setFlags(Qt::ItemIsEnabled);
        failure->setFirstColumnSpanned(true); // in the view already
        failure->setText(0, m_failure);
        failure->setForeground(0, QColor(200, 0, 0));
    }
    m_filling = false;
    SelectIds(keep);
}

void CBlogArticlesView::SelectIds(const std::vector<int>& ids) {
    m_list->clearSelection();
    for (int id : ids)
        if (QTreeWidgetItem* row = RowOf(id)) {
            row->setSelected(true);
            if (std::find(m_selectionOrder.begin(), m_selectionOrder.end(), id) ==
                m_selectionOrder.end())
                m_selectionOrder.push_back(id);
        }
}

std::vector<int> CBlogArticlesView::SelectedIds() const {
    return m_selectionOrder;
}

QTreeWidgetItem* CBlogArticlesView::RowOf(int id) const {
    const QString key = QString::number(id);
    for (int g = 0; g < m_list->topLevelItemCount(); ++g) {
        QTreeWidgetItem* group = m_list->topLevelItem(g);
        for (int r = 0; r < group->childCount(); ++r)
            if (group->child(r)->text(kColId) == key)
                return group->child(r);
    }
    return nullptr;
}

QStringList CBlogArticlesView::GroupCaptions() const {
    QStringList captions;
    for (int g = 0; g < m_list->topLevelItemCount(); ++g)
        captions << m_list->topLevelItem(g)->text(0).section(QLatin1Char(' '), 0, 0);
    return captions;
}

int CBlogArticlesView::RowCount() const {
    int rows = 0;
    for (int g = 0; g < m_list->topLevelItemCount(); ++g)
        rows += m_list->topLevelItem(g)->childCount();
    return rows;
}

std::vector<CBlogArticlesView::MenuEntry>
CBlogArticlesView::MenuEntries(ArticleFolder folder, int selected, const CCommandTable* commands) {
    auto entry = [commands](int id, QString text = {}) {
        MenuEntry e{
            .id = id, .text = text.isEmpty() ? CCommandTable::Text(id) : text, .enabled = true};
        // The editor and the backup file come with their own parts of the program.
        if (commands && (id == kCmdEditArticle || id == kCmdExportFolder))
            e.enabled = commands->Unavailable(id).isEmpty();
        return e;
    };
    const MenuEntry separator{.id = 0, .text = QString(), .enabled = true};
    const QString exportText = QStringLiteral("导出XML(&T)...");
    const FolderActions actions = FolderActionsOf(folder);
    std::vector<MenuEntry> entries;
    if (actions.deleteOnServer) {
        // ReportMenu: the articles are on the server, so the first command deletes them there.
        entries = {entry(kCmdPublishOrDeleteRemote, QStringLiteral("从服务器删除(&S)")),
                   separator,
                   entry(kCmdCopyArticles),
                   entry(kCmdMoveArticles),
                   entry(kCmdDeleteArticle),
                   separator,
                   entry(kCmdEditArticle),
                   entry(kCmdExportFolder, exportText)};
        for (MenuEntry& e : entries) {
            if (!actions.moveAway && e.id == kCmdMoveArticles)
                e.enabled = false;
            if (selected > 1 && e.id == kCmdEditArticle)
                e.enabled = false;
        }
    } else if (selected <= 1) {
        // ReportMenu2: a draft or a deleted article.
        entries = {entry(kCmdPublishOrDeleteRemote),
                   entry(kCmdPublishToSeveral),
                   separator,
                   entry(kCmdCopyArticles),
                   entry(kCmdMoveArticles),
                   entry(kCmdDeleteArticle,
                         actions.deleteForGood ? QStringLiteral("彻底删除") : QString()),
                   separator,
                   entry(kCmdEditArticle),
                   entry(kCmdExportFolder, exportText)};
    } else {
        // ReportMutiSelMenu.
        entries = {entry(kCmdPublishOrDeleteRemote, QStringLiteral("发布这些日志(&P)")),
                   separator,
                   entry(kCmdCopyArticles),
                   entry(kCmdMoveArticles),
                   entry(kCmdDeleteArticles),
                   separator,
                   entry(kCmdExportFolder, exportText)};
    }
    return entries;
}

QMenu* CBlogArticlesView::BuildContextMenu(MenuPlace place, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setToolTipsVisible(true);
    const std::optional<ArticleFolder> folder = ArticleFolderOf(m_folder);
    if (place != MenuPlace::kRows || !folder || m_selectionOrder.empty()) {
        connect(menu->addAction(CCommandTable::Text(kCmdCollapseGroups)), &QAction::triggered, this,
                [this] { SetGroupsExpanded(false); });
        connect(menu->addAction(CCommandTable::Text(kCmdExpandGroups)), &QAction::triggered, this,
                [this] { SetGroupsExpanded(true); });
        return menu;
    }
    for (const MenuEntry& e :
         MenuEntries(*folder, static_cast<int>(m_selectionOrder.size()), m_commands)) {
        if (e.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(e.text);
        action->setData(e.id);
        action->setEnabled(e.enabled);
        if (!e.enabled && m_commands)
            action->setToolTip(m_commands->Unavailable(e.id));
        connect(action, &QAction::triggered, this, [this, id = e.id] { emit CommandChosen(id); });
    }
    return menu;
}

void CBlogArticlesView::ShowContextMenu(const QPoint& pos) {
    QTreeWidgetItem* item = m_list->itemAt(pos);
    const bool onRow = item && item->parent();
    if (onRow && !item->isSelected()) {
        m_list->clearSelection();
        item->setSelected(true);
        m_list->setCurrentItem(item);
    }
    QMenu* menu = BuildContextMenu(onRow ? MenuPlace::kRows : MenuPlace::kGroups, this);
    menu->exec(m_list->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void CBlogArticlesView::SetGroupsExpanded(bool expanded) {
    for (int g = 0; g < m_list->topLevelItemCount(); ++g)
        m_list->topLevelItem(g)->setExpanded(expanded);
}
