#include "ui/reader/ArticlesReportView.h"

#include "reader/FeedItemView.h"
#include "reader/FeedSearch.h"
#include "storage/FeedDatabase.h"
#include "ui/app/CommandTable.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/ReadingFrame.h"
#include "ui/common/UiText.h"
#include "ui/reader/FeedItemModel.h"
#include "ui/reader/RssReader.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

CArticlesReportView::CArticlesReportView(QWidget* parent) : QWidget(parent) {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("listBar"));
    bar->setStyleSheet(QStringLiteral(
        "#listBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7f9fc,"
        " stop:1 #e8edf4); border-bottom: 1px solid #c9d2de; }"));
    m_caption = new QLabel;
    QFont captionFont = m_caption->font();
    captionFont.setBold(true);
    m_caption->setFont(captionFont);
    m_caption->setTextFormat(Qt::PlainText);
    m_count = new QLabel;
    m_count->setStyleSheet(QStringLiteral("color: #5a6472;"));
    m_previous = new QToolButton;
    m_previous->setText(QStringLiteral("上一页"));
    m_previous->setIcon(ThemeIcon("go-previous", QStyle::SP_ArrowBack));
    m_previous->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_previous->setAutoRaise(true);
    m_next = new QToolButton;
    m_next->setText(QStringLiteral("下一页"));
    m_next->setIcon(ThemeIcon("go-next", QStyle::SP_ArrowForward));
    m_next->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_next->setLayoutDirection(Qt::RightToLeft);
    m_next->setAutoRaise(true);
    m_pageBox = new QComboBox;
    m_pageBox->setMinimumWidth(80);
    m_pageBox->setToolTip(QStringLiteral("页码"));
    auto* barRow = new QHBoxLayout(bar);
    barRow->setContentsMargins(8, 2, 6, 2);
    barRow->addWidget(m_caption);
    barRow->addSpacing(8);
    barRow->addWidget(m_count);
    barRow->addStretch();
    barRow->addWidget(m_previous);
    barRow->addWidget(m_pageBox);
    barRow->addWidget(m_next);

    m_model = new CFeedItemModel(this);
    m_list = new QTreeView;
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setDragEnabled(true); // onto a favorites box
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setIconSize(QSize(12, 12));
    QHeaderView* header = m_list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(CFeedItemModel::kTitle, QHeaderView::Stretch);
    header->setSectionResizeMode(CFeedItemModel::kDate, QHeaderView::Interactive);
    header->setSectionResizeMode(CFeedItemModel::kAuthor, QHeaderView::Interactive);
    header->setSectionResizeMode(CFeedItemModel::kChannel, QHeaderView::Interactive);
    header->resizeSection(CFeedItemModel::kDate, 150);
    header->resizeSection(CFeedItemModel::kAuthor, 110);
    header->resizeSection(CFeedItemModel::kChannel, 130);
    m_list->setColumnHidden(CFeedItemModel::kChannel, true);
    // The importance flag stands first, as narrow as its star.
    header->setSectionResizeMode(CFeedItemModel::kImportant, QHeaderView::Fixed);
    header->resizeSection(CFeedItemModel::kImportant, 24);
    header->moveSection(header->visualIndex(CFeedItemModel::kImportant), 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_list, 1);

    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                OnCurrentRowChanged(current.row());
            });
    connect(m_list, &QTreeView::customContextMenuRequested, this,
            &CArticlesReportView::ShowContextMenu);
    m_list->installEventFilter(this);
    connect(m_pageBox, &QComboBox::activated, this, [this](int page) { ShowPage(page); });
    connect(m_previous, &QToolButton::clicked, this,
            [this] { ShowPage(m_pageBox->currentIndex() - 1); });
    connect(m_next, &QToolButton::clicked, this,
            [this] { ShowPage(m_pageBox->currentIndex() + 1); });
    SetPages(0, 1, 0);
    m_pageBox->setVisible(false);
}

void CArticlesReportView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitColumns();
}

void CArticlesReportView::FitColumns() {
    const int width = m_list->viewport()->width();
    m_list->setColumnHidden(CFeedItemModel::kAuthor, width < 560);
    m_list->setColumnHidden(CFeedItemModel::kChannel, !m_directory || width < 700);
    m_list->setColumnHidden(CFeedItemModel::kDate, width < 380);
}

void CArticlesReportView::SetReadingFrame(CReadingFrame* frame) {
    m_frame = frame;
    if (m_frame)
        connect(m_frame->View(), &CBottomHtmlView::LoadImagesRequested, this,
                &CArticlesReportView::LoadImages, Qt::UniqueConnection);
}

void CArticlesReportView::LoadImages() {
    if (!m_reader || !m_frame)
        return;
    bool isItem = false;
    const int itemId = m_frame->View()->CurrentKey().toInt(&isItem);
    if (isItem) {
        const int row = m_model->RowOfId(itemId);
        const FeedItem* item = row >= 0 ? m_model->ItemAt(row) : nullptr;
        ShowItem(item ? item->Ref() : StoredItem(itemId), ImageLoading::kAll);
        return;
    }
    std::string html;
    if (m_reader->View().QuickReading() && !m_model->Items().empty() &&
        m_reader->View().RenderPage(m_model->Items(), html, ImageLoading::kAll))
        m_frame->View()->ShowRendered(QByteArray::fromStdString(html), QString());
}

void CArticlesReportView::SetReader(CRssReader* reader) {
    m_reader = reader;
}

QFont CArticlesReportView::TitleFont(const AppearanceSettings& settings, bool read) {
    QFont font = QApplication::font();
    font.setPixelSize(settings.useBigTitleFont ? 16 : 14);
    font.setBold(settings.useBoldTitleFont != 0 && !read);
    return font;
}

void CArticlesReportView::ApplyAppearance(const AppearanceSettings& settings) {
    m_model->SetAppearance(settings);
}

void CArticlesReportView::SetPages(int total, int pageSize, int page) {
    const std::vector<std::string> entries = CFeedItemView::PageBoxEntries(total, pageSize);
    m_pageBox->blockSignals(true);
    m_pageBox->clear();
    for (const std::string& entry : entries)
        m_pageBox->addItem(ToQ(entry));
    const int pages = static_cast<int>(entries.size());
    const int current = pages > 1 ? std::clamp(page, 0, pages - 1) : 0;
    m_pageBox->setCurrentIndex(current);
    m_pageBox->blockSignals(false);
    m_previous->setVisible(pages > 1 && current > 0);
    m_next->setVisible(pages > 1 && current < pages - 1);
}

void CArticlesReportView::Fill(const ItemPage& page, bool ok, bool keepPane) {
    m_searchResults = false;
    m_search.reset();
    m_filling = true;
    m_directory = page.directory;
    std::vector<FeedItem> items = ok ? page.items : std::vector<FeedItem>{};
    if (m_directory) {
        QHash<int, QString> titles;
        for (int channel : m_reader->Tree().ChannelsBelow(m_reader->View().Current())) {
            const ChannelRecord record = m_reader->Tree().Record(channel);
            if (record.feedId)
                titles.insert(record.feedId, ToQ(record.title));
        }
        m_model->SetChannelTitles(std::move(titles));
    }
    m_model->SetItems(std::move(items));
    m_list->setColumnHidden(CFeedItemModel::kChannel, !m_directory);
    FitColumns();
    m_list->scrollToTop();
    m_filling = false;

    const int current = m_reader->View().Current();
    if (m_directory) {
        m_caption->setText(ToQ(page.caption));
        SetPages(0, 1, 0);
        m_pageBox->setVisible(false);
    } else {
        m_caption->setText(ToQ(m_reader->Tree().Record(current).title));
        m_pageBox->setVisible(true);
        SetPages(page.total, std::max(m_reader->Tree().Options().pageSize, 1), page.page);
    }
    m_count->setText(ok ? QStringLiteral("共 %1 篇").arg(page.total) : QString());

    if (!m_frame || keepPane) {
        emit CountsChanged();
        return;
    }
    if (ok && m_reader->View().QuickReading() && !m_model->Items().empty()) {
        std::string html;
        if (m_reader->View().RenderPage(m_model->Items(), html))
            m_frame->View()->ShowRendered(QByteArray::fromStdString(html), QString());
        else
            ShowBlank();
    } else {
        ShowBlank();
    }
    emit CountsChanged();
}

void CArticlesReportView::ShowSearchResults(const std::vector<FeedItem>& items,
                                            const std::string& caption) {
    m_search.reset();
    FillSearchResults(items, caption, static_cast<int>(items.size()));
}

void CArticlesReportView::ShowSearchResults(const SearchOutcome& outcome,
                                            const SearchRequest& request) {
    m_search.reset();
    if (request.scope != SearchScope::kWeb && request.pageSize > 0)
        m_search = request;
    FillSearchResults(outcome.items, outcome.message, outcome.total);
    if (!m_search)
        return;
    SetPages(outcome.total, request.pageSize, request.page);
    m_pageBox->setVisible(true);
}

void CArticlesReportView::FillSearchResults(const std::vector<FeedItem>& items,
                                            const std::string& caption, int total) {
    if (!m_reader)
        return;
    m_filling = true;
    QHash<int, QString> titles;
    const bool web = std::any_of(items.begin(), items.end(), [](const FeedItem& item) {
        return item.origin == ItemOrigin::kWebSearch;
    });
    if (web) {
        titles.insert(
            0, ToQ(CFeedSearch::NewsSearchLabel(CFeedSearch::NewsSearchHost(m_reader->Context()))));
    } else {
        for (int channel : m_reader->Tree().AllChannels()) {
            const ChannelRecord record = m_reader->Tree().Record(channel);
            if (record.feedId)
                titles.insert(record.feedId, ToQ(record.title));
        }
    }
    m_model->SetChannelTitles(std::move(titles));
    m_model->SetItems(items);
    m_directory = true;
    m_searchResults = true;
    m_list->setColumnHidden(CFeedItemModel::kChannel, false);
    FitColumns();
    m_list->scrollToTop();
    m_filling = false;
    m_caption->setText(ToQ(caption));
    SetPages(0, 1, 0);
    m_pageBox->setVisible(false);
    m_count->setText(QStringLiteral("共 %1 篇").arg(total));
    ShowBlank();
}

void CArticlesReportView::ShowSearchPage(int page) {
    if (!m_search || page < 0 || page >= m_pageBox->count())
        return;
    SearchRequest request = *m_search;
    request.page = page;
    const SearchOutcome outcome =
        CFeedSearch(m_reader->Context(), m_reader->Store(), nullptr).Run(request);
    if (!outcome.reason.empty()) {
        // The page shown stays; the box says why the other one could not be read.
        CMessageBox::Show(this,
                          QStringLiteral("无法显示搜索结果的第 %1 页\n\n原因: ").arg(page + 1) +
                              ToQ(outcome.reason));
        SetPages(m_search->pageSize * m_pageBox->count(), m_search->pageSize, m_search->page);
        return;
    }
    ShowSearchResults(outcome, request);
}

void CArticlesReportView::ShowBlank() {
    if (m_frame)
        m_frame->View()->ShowBlank();
}

void CArticlesReportView::ShowChannel(int index) {
    if (!m_reader || index < 0)
        return;
    ItemPage page;
    const StoreResult shown = m_reader->Tree().Record(index).directory
                                  ? m_reader->View().ShowDirectory(index, page)
                                  : m_reader->View().ShowChannelItems(index, 0, page);
    Fill(page, shown.ok);
}

void CArticlesReportView::ShowCurrentItems() {
    if (!m_reader || m_reader->View().Current() < 0)
        return;
    if (!m_reader->Tree().IsValid(m_reader->View().Current())) {
        Clear();
        ShowBlank();
        return;
    }
    const int selected = SelectedItemId();
    ItemPage page;
    const bool ok = m_reader->View().ShowCurrentItems(page).ok;
    const bool keep = ok && selected != 0 && !m_reader->View().QuickReading() &&
                      std::any_of(page.items.begin(), page.items.end(),
                                  [selected](const FeedItem& item) { return item.id == selected; });
    Fill(page, ok, keep);
    // The item that was selected stays selected (and shown), without opening it again.
    if (keep) {
        m_filling = true;
        m_list->setCurrentIndex(m_model->index(m_model->RowOfId(selected), 0));
        m_filling = false;
    }
}

void CArticlesReportView::ShowPage(int page) {
    if (m_reader && m_searchResults) {
        ShowSearchPage(page);
        return;
    }
    if (!m_reader || m_directory)
        return;
    const int current = m_reader->View().Current();
    if (current < 0 || page < 0 || page >= m_pageBox->count())
        return;
    ItemPage items;
    Fill(items, m_reader->View().ShowChannelItems(current, page, items).ok);
}

void CArticlesReportView::Clear() {
    m_filling = true;
    m_model->Clear();
    m_filling = false;
    m_caption->clear();
    m_count->clear();
    SetPages(0, 1, 0);
    m_pageBox->setVisible(false);
}

void CArticlesReportView::SetSideViews(QWidget* blogView, QWidget* favoritesView) {
    m_blogView = blogView;
    m_favoritesView = favoritesView;
    for (QWidget* view : {blogView, favoritesView}) {
        layout()->addWidget(view);
        view->hide();
    }
}

void CArticlesReportView::ShowSide(Side side) {
    m_side = side;
    // The weblog list has no caption bar; a favorites box has its caption and count.
    if (QWidget* bar = findChild<QWidget*>(QStringLiteral("listBar")))
        bar->setVisible(side != Side::kBlog);
    m_list->setVisible(side == Side::kFeeds);
    if (m_blogView)
        m_blogView->setVisible(side == Side::kBlog);
    if (m_favoritesView)
        m_favoritesView->setVisible(side == Side::kFavorites);
    if (side == Side::kFavorites) {
        m_previous->hide();
        m_next->hide();
        m_pageBox->hide();
    }
}

void CArticlesReportView::ShowBoxCaption(const QString& caption, int count) {
    if (m_side != Side::kFavorites)
        return;
    m_caption->setText(caption);
    m_count->setText(caption.isEmpty() ? QString() : QStringLiteral("共 %1 篇").arg(count));
}

void CArticlesReportView::ForgetIfShown(int index) {
    if (!m_reader)
        return;
    const int current = m_reader->View().Current();
    if (current == index || !m_reader->Tree().IsValid(current)) {
        Clear();
        ShowBlank();
    }
}

void CArticlesReportView::SetFilter(ItemFilter filter) {
    if (!m_reader)
        return;
    m_reader->View().SetFilter(filter);
    ShowCurrentItems();
}

void CArticlesReportView::SetQuickReading(bool on) {
    if (m_reader)
        m_reader->View().SetQuickReading(on);
}

bool CArticlesReportView::QuickReading() const {
    return m_reader && m_reader->View().QuickReading();
}

int CArticlesReportView::SelectedItemId() const {
    return SelectedItem().id;
}

FeedItemRef CArticlesReportView::SelectedItem() const {
    const FeedItem* item = m_model->ItemAt(m_list->currentIndex().row());
    return item ? item->Ref() : FeedItemRef{};
}

bool CArticlesReportView::ShowsWebResults() const {
    const std::vector<FeedItem>& items = m_model->Items();
    return m_searchResults && !items.empty() && items.front().origin == ItemOrigin::kWebSearch;
}

void CArticlesReportView::OnCurrentRowChanged(int row) {
    if (m_filling || row < 0)
        return;
    OpenItem(row);
}

void CArticlesReportView::OpenItem(int row) {
    const FeedItem* item = m_model->ItemAt(row);
    if (!item || !m_reader)
        return;
    const FeedItemRef ref = item->Ref();
    if (item->isRead == 0 || item->isNew != 0) {
        if (m_reader->View().MarkItemRead(ref, true)) {
            m_model->SetRead(row, true);
            if (ref.origin == ItemOrigin::kStored)
                emit CountsChanged();
        }
    }
    if (!m_frame)
        return;
    item = m_model->ItemAt(row);
    std::string link = item->link;
    if (link.empty())
        m_reader->Store().GetItemLink(ref, link);
    if (m_frame->BrowseDirectly() && !link.empty()) {
        m_frame->View()->NavigateUrl(ToQ(link));
        return;
    }
    if (m_reader->View().QuickReading()) {
        m_frame->View()->ScrollToAnchor(ToQ(link));
        return;
    }
    ShowItem(ref, ImageLoading::kBySetting);
}

void CArticlesReportView::ShowItem(const FeedItemRef& ref, ImageLoading images) {
    std::string html;
    if (const StoreResult rendered = m_reader->View().RenderItem(ref, html, images); !rendered) {
        // The error may quote the item's own text: it is shown as text, never as markup.
        const QString why = QString::fromStdString(rendered.reason).toHtmlEscaped();
        html = "<html><body style=\"font-family:sans-serif;color:#a00\"><p>无法显示这篇文章: " +
               why.toStdString() + "</p></body></html>";
    }
    m_frame->View()->ShowRendered(QByteArray::fromStdString(html), QString::number(ref.id));
}

void CArticlesReportView::MoveSelection(int delta) {
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    int row = m_list->currentIndex().row();
    row = row < 0 ? (delta > 0 ? 0 : rows - 1) : std::clamp(row + delta, 0, rows - 1);
    m_list->setCurrentIndex(m_model->index(row, 0));
    m_list->setFocus();
}

void CArticlesReportView::RenderSelected() {
    const int row = m_list->currentIndex().row();
    if (row >= 0)
        OpenItem(row);
}

void CArticlesReportView::MarkSelected(bool read) {
    const int row = m_list->currentIndex().row();
    const FeedItem* item = m_model->ItemAt(row);
    if (!item || !m_reader)
        return;
    if (const StoreResult marked = m_reader->View().MarkItemRead(item->Ref(), read); marked) {
        m_model->SetRead(row, read);
        if (item->origin == ItemOrigin::kStored)
            emit CountsChanged();
    } else {
        CMessageBox::Show(this, QStringLiteral("无法标记这篇文章: ") + ToQ(marked.reason));
    }
}

bool CArticlesReportView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_list || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QWidget::eventFilter(watched, event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        OpenSelectedLink();
        return true;
    }
    if (key->key() == Qt::Key_Space && m_frame) {
        QPointer<CArticlesReportView> self(this);
        m_frame->View()->PageDown([self](bool atEnd) {
            if (self && atEnd)
                self->GoToUnread(1);
        });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CArticlesReportView::ToggleSelectedRead() {
    if (const FeedItem* item = m_model->ItemAt(m_list->currentIndex().row()))
        MarkSelected(item->isRead == 0);
}

void CArticlesReportView::ToggleSelectedImportant() {
    const int row = m_list->currentIndex().row();
    const FeedItem* item = m_model->ItemAt(row);
    if (!item || !m_reader)
        return;
    const bool important = item->isImportant == 0;
    if (const StoreResult marked = m_reader->View().MarkItemImportant(item->Ref(), important);
        marked)
        m_model->SetImportant(row, important);
    else
        CMessageBox::Show(this, QStringLiteral("无法标记这篇文章: ") + ToQ(marked.reason));
}

void CArticlesReportView::OpenSelectedLink() {
    const FeedItem* item = m_model->ItemAt(m_list->currentIndex().row());
    if (!item || !m_reader)
        return;
    std::string link = item->link;
    if (link.empty())
        m_reader->Store().GetItemLink(item->Ref(), link);
    if (!link.empty())
        QDesktopServices::openUrl(QUrl(ToQ(link)));
}

int CArticlesReportView::UnreadRowFrom(int row, int direction) const {
    const int rows = m_model->rowCount();
    for (int r = row; r >= 0 && r < rows; r += direction)
        if (const FeedItem* item = m_model->ItemAt(r); item && item->isRead == 0)
            return r;
    return -1;
}

bool CArticlesReportView::GoToUnread(int direction) {
    if (!m_reader || m_side != Side::kFeeds)
        return false;
    direction = direction < 0 ? -1 : 1;
    const int current = m_list->currentIndex().row();
    int row = UnreadRowFrom(current < 0 ? (direction > 0 ? 0 : m_model->rowCount() - 1)
                                        : current + direction,
                            direction);
    if (row < 0 && !m_searchResults && m_selectChannel) {
        // The following channels in tree order, round to the channel shown (whose other
        // pages may hold what this page lacks).
        const std::vector<int> channels = m_reader->Tree().AllChannels();
        const int count = static_cast<int>(channels.size());
        const auto at = std::find(channels.begin(), channels.end(), m_reader->View().Current());
        const int from = at == channels.end() ? (direction > 0 ? -1 : count)
                                              : static_cast<int>(at - channels.begin());
        for (int step = 1; step <= count && row < 0; ++step) {
            const int channel = channels[((from + direction * step) % count + count) % count];
            if (m_reader->Tree().Record(channel).unreadCount <= 0)
                continue;
            m_selectChannel(channel);
            if (m_reader->View().Current() != channel)
                break;
            const int pages = std::max(m_pageBox->count(), 1);
            for (int p = 0; p < pages && row < 0; ++p) {
                const int page = direction > 0 ? p : pages - 1 - p;
                if (page != m_pageBox->currentIndex())
                    ShowPage(page);
                row = UnreadRowFrom(direction > 0 ? 0 : m_model->rowCount() - 1, direction);
            }
        }
    }
    if (row < 0)
        return false;
    m_list->setCurrentIndex(m_model->index(row, 0));
    m_list->scrollTo(m_model->index(row, 0));
    return true;
}

void CArticlesReportView::ShowContextMenu(const QPoint& pos) {
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid())
        return;
    m_list->setCurrentIndex(index);
    const FeedItem* item = m_model->ItemAt(index.row());
    if (!item)
        return;
    const FeedItemRef ref = item->Ref();
    std::string link = item->link;
    if (link.empty() && m_reader)
        m_reader->Store().GetItemLink(ref, link);
    QMenu menu(this);
    QAction* read = menu.addAction(ThemeIcon("mail-read"), QStringLiteral("标记为已读"));
    QAction* unread = menu.addAction(ThemeIcon("mail-unread"), QStringLiteral("标记为未读"));
    read->setEnabled(item->isRead == 0 || item->isNew != 0);
    unread->setEnabled(item->isRead != 0);
    QAction* important = menu.addAction(ThemeIcon("emblem-important"),
                                        item->isImportant ? QStringLiteral("取消重要标记")
                                                          : QStringLiteral("标记为重要"));
    important->setData(int(kCmdToggleItemImportant));
    important->setShortcut(QKeySequence(Qt::Key_I));
    menu.addSeparator();
    QAction* outside =
        menu.addAction(ThemeIcon("web-browser"), QStringLiteral("在外部浏览器中打开"));
    QAction* copy = menu.addAction(ThemeIcon("edit-copy"), QStringLiteral("复制链接"));
    outside->setEnabled(!link.empty());
    copy->setEnabled(!link.empty());
    menu.addSeparator();
    QAction* keep = menu.addAction(ThemeIcon("starred"), QStringLiteral("加入收藏"));
    QAction* publish =
        menu.addAction(ThemeIcon("mail-forward"), CCommandTable::Text(kCmdPublishItemToBlog));
    QAction* chosen = menu.exec(m_list->viewport()->mapToGlobal(pos));
    if (chosen == keep)
        emit AddToFavorites(ref);
    if (chosen == publish)
        emit PublishToBlog(ref);
    if (chosen == read)
        MarkSelected(true);
    else if (chosen == unread)
        MarkSelected(false);
    else if (chosen == important)
        ToggleSelectedImportant();
    else if (chosen == outside)
        QDesktopServices::openUrl(QUrl(ToQ(link)));
    else if (chosen == copy)
        QApplication::clipboard()->setText(ToQ(link));
}
