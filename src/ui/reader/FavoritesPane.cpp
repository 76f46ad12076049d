#include "ui/reader/FavoritesPane.h"

#include "reader/RssFavorites.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/ReadingFrame.h"
#include "ui/common/UiText.h"
#include "ui/reader/FavoriteItemList.h"
#include "ui/reader/RssFavoriteTreeCtrl.h"
#include "ui/reader/RssReader.h"

CFavoritesPane::CFavoritesPane(const CAppContext& context, CFeedDatabase& store,
                               CCommandTable& commands, CJobRunner& dialogJobs, QWidget* parent)
    : QSplitter(Qt::Vertical, parent), m_favorites(std::make_unique<CRssFavorites>(context)) {
    m_tree = new CRssFavoriteTreeCtrl(*m_favorites, store, commands, dialogJobs);
    m_items = new CFavoriteItemList(*m_favorites, store);
    m_tree->SetItemList(m_items);
    addWidget(m_tree);
}

CFavoritesPane::~CFavoritesPane() {
    // The item list belongs to the reading area once it is placed there; until then, here.
    if (m_items && !m_items->parent())
        delete m_items.data();
}

bool CFavoritesPane::Build() {
    return m_tree->Build();
}

void CFavoritesPane::SaveState() {
    if (!m_favorites->Tree().Roots().empty())
        m_favorites->Tree().SaveTreeState();
}

void CFavoritesPane::SetReadingTargets(CRssReader* reader, CReadingFrame* frame) {
    if (!frame)
        return;
    connect(m_tree, &CRssFavoriteTreeCtrl::OpenInPane, frame,
            [frame](const QString& url) { frame->View()->NavigateUrl(url); });
    // Another box listed while the boxes are in front: the item of the last one leaves the
    // pane (on the channels' side the pane shows the item being read, and stays).
    connect(m_items, &CFavoriteItemList::BoxShown, frame, [this, frame] {
        if (!m_items->isHidden())
            frame->View()->ShowBlank();
    });
    if (!reader)
        return;
    connect(m_tree, &CRssFavoriteTreeCtrl::ItemOpened, frame,
            [reader, frame](const FeedItem& item) {
                // The one-item document, as for a channel's item: with its author, and the
                // quick-reading page stays as it is.
                std::string html;
                if (const StoreResult rendered = reader->View().RenderOneItem(item, html);
                    !rendered) {
                    const QString why = QString::fromStdString(rendered.reason).toHtmlEscaped();
                    html = "<html><body style=\"font-family:sans-serif;color:#a00\"><p>"
                           "无法显示这篇文章: " +
                           why.toStdString() + "</p></body></html>";
                }
                frame->View()->ShowRendered(QByteArray::fromStdString(html), QString());
            });
}

void CFavoritesPane::KeepItem(const FeedItemRef& item) {
    if (item.id > 0)
        m_tree->CopyItemsToBox({item}, m_tree->LastBox());
}

void CFavoritesPane::ShowCurrentBox() {
    m_tree->ShowCurrentBox();
}

void CFavoritesPane::AddItemToBox(const FeedItemRef& item) {
    if (item.id > 0)
        m_tree->CopyItemsToBox({item});
}
