#pragma once

#include "app/AppSettings.h"
#include "reader/FeedItemView.h"
#include "reader/FeedSearch.h"

#include <QFont>
#include <QWidget>
#include <functional>
#include <optional>

class CFeedItemModel;
class CReadingFrame;
class CRssReader;
class QComboBox;
class QLabel;
class QToolButton;
class QTreeView;
struct ItemPage;

// The report list of the reading area (its feed side): one page of a channel's items, or the
// newest items of a directory, with new and unread items shown distinctly; the page box with its
// previous and next buttons. Selecting an item marks it read and renders it through the skin
// into the reading pane.
class CArticlesReportView : public QWidget {
    Q_OBJECT
public:
    explicit CArticlesReportView(QWidget* parent = nullptr);

    void SetReader(CRssReader* reader);
    void SetReadingFrame(CReadingFrame* frame);
    // Renders what the pane shows again with its remote images (the placeholders of
    // rss/noremoteimages were clicked).
    void LoadImages();

    // Shows a channel's first page or a directory's items.
    void ShowChannel(int index);
    // Shows again what is shown (after a receive, a filter or a page change).
    void ShowCurrentItems();
    void ShowPage(int page);
    // Shows the hits of a search, all of them, with the outcome as the caption; on-line hits
    // are rows of the scratch table (their origin says so).
    void ShowSearchResults(const std::vector<FeedItem>& items, const std::string& caption);
    // Shows the page of hits a search found (the request's page; all its hits when it asked
    // for no page) with its total in the page box; the request is kept, and the page box and
    // its buttons run it again for the other pages.
    void ShowSearchResults(const SearchOutcome& outcome, const SearchRequest& request);
    bool ShowsSearchResults() const { return m_searchResults; }
    // The list shows on-line search results (rows of the scratch table).
    bool ShowsWebResults() const;
    // Shows nothing (another side of the program is in front, or the channel is gone).
    void Clear();
    // The list forgets a channel or directory that was removed.
    void ForgetIfShown(int index);

    void SetFilter(ItemFilter filter);
    void SetQuickReading(bool on);
    bool QuickReading() const;
    void ApplyAppearance(const AppearanceSettings& settings);
    // 上一篇 / 下一篇: the selection moves, which opens the neighbouring item.
    void MoveSelection(int delta);
    // Renders the selected item again (another skin was chosen).
    void RenderSelected();
    // Marks the selected item read or unread.
    void MarkSelected(bool read);
    // M: the selected item's read mark the other way round.
    void ToggleSelectedRead();
    // I: the selected item's importance mark the other way round.
    void ToggleSelectedImportant();
    // O or Enter: the selected item's own page in the desktop's browser.
    void OpenSelectedLink();
    // N / P: the next (direction 1) or previous (-1) unread item: further in the list, then in
    // the following (or preceding) channels in tree order, round to the start. False, with the
    // list as it was, when no channel has an unread item.
    bool GoToUnread(int direction);
    // How the list makes the channel tree show another channel (the tree then asks the list
    // to show it).
    void SetChannelSelector(std::function<void(int index)> select) {
        m_selectChannel = std::move(select);
    }

    // The page box: "1/1" alone, or one "n/N" entry per page with the current one selected;
    // the previous button hides on the first page, the next button on the last.
    void SetPages(int total, int pageSize, int page);

    // The title font for read or unread items: 14 or 16 pixels (the big font), bold for unread
    // items when bold titles are chosen.
    static QFont TitleFont(const AppearanceSettings& settings, bool read);

    // Whose list the reading area shows: the channels' items (this view's own), the weblog
    // side's articles, or a favorites box's items.
    enum class Side { kFeeds, kBlog, kFavorites };
    // The weblog side's list and the favorites box's list take this place while their tab is
    // in front.
    void SetSideViews(QWidget* blogView, QWidget* favoritesView);
    void ShowSide(Side side);
    // The caption bar above a favorites box's items: its path and count.
    void ShowBoxCaption(const QString& caption, int count);

    CFeedItemModel* Model() const { return m_model; }
    QTreeView* List() const { return m_list; }
    QComboBox* PageBox() const { return m_pageBox; }
    QToolButton* PreviousButton() const { return m_previous; }
    QToolButton* NextButton() const { return m_next; }
    QLabel* Caption() const { return m_caption; }
    int SelectedItemId() const;
    // The selected item with its origin; id 0 when none is selected.
    FeedItemRef SelectedItem() const;

signals:
    // Unread counts of channels changed (an item was marked, a channel left and settled).
    void CountsChanged();
    // 加入收藏 was chosen for the item.
    void AddToFavorites(const FeedItemRef& item);
    // 发布到博客 was chosen for the item (it is the selected one).
    void PublishToBlog(const FeedItemRef& item);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Enter opens the item's page; Space pages the reading pane and, at its end, goes on to
    // the next unread item.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A narrow list (beside the browser) gives its room to the titles.
    void FitColumns();
    // The first unread row from the given row on, in the direction; -1 when none.
    int UnreadRowFrom(int row, int direction) const;
    // keepPane: the reading pane goes on showing what it shows (the list is only refreshed).
    void Fill(const ItemPage& page, bool ok, bool keepPane = false);
    void OnCurrentRowChanged(int row);
    void OpenItem(int row);
    void ShowContextMenu(const QPoint& pos);
    void ShowBlank();
    void ShowItem(const FeedItemRef& ref, ImageLoading images);
    void FillSearchResults(const std::vector<FeedItem>& items, const std::string& caption,
                           int total);
    // Another page of the search shown (its request runs again).
    void ShowSearchPage(int page);

    CRssReader* m_reader = nullptr;
    CReadingFrame* m_frame = nullptr;
    CFeedItemModel* m_model = nullptr;
    QTreeView* m_list = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_count = nullptr;
    QComboBox* m_pageBox = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QWidget* m_blogView = nullptr;
    QWidget* m_favoritesView = nullptr;
    std::function<void(int index)> m_selectChannel;
    Side m_side = Side::kFeeds;
    bool m_filling = false;
    bool m_directory = false;
    bool m_searchResults = false;
    // The local search shown a page at a time.
    std::optional<SearchRequest> m_search;
};
