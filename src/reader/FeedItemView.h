#pragma once

#include "app/AppContext.h"
#include "storage/FeedItem.h"
#include "storage/LocalDatabase.h"

#include <set>
#include <string>
#include <vector>

class CChannelTree;
class CFeedDatabase;

// Whether the remote images of the items are loaded when they are rendered.
enum class ImageLoading {
    kBySetting, // as rss/noremoteimages says
    kAll,       // the user asked for them
};

// One page of the item list.
struct ItemPage {
    std::vector<FeedItem> items;
    int total = 0; // items under the filter (a directory: the items listed)
    int page = 0;  // zero-based
    int pageCount = 1;
    bool directory = false;
    std::string caption; // the path of a directory
};

// The item list and the reading pane, without their windows: which channel or directory is
// shown, its pages under the filter, the read and new marks with the tree's unread counts, and
// the rendering of items through the skin (Data/RssSkin/<skin>.xsl) to HTML. Each operation
// answers done, or the reason it was not.
class CFeedItemView {
public:
    // The store is the interface thread's own connection; the skins and scratch documents are
    // those of the context's program directory.
    CFeedItemView(const CAppContext& context, CChannelTree& tree, CFeedDatabase& store);

    void SetFilter(ItemFilter filter) { m_filter = filter; }
    ItemFilter Filter() const { return m_filter; }
    void SetQuickReading(bool on) { m_quickReading = on; }
    bool QuickReading() const { return m_quickReading; }
    void SetSkin(const std::string& skin) { m_skin = skin; }
    const std::string& Skin() const { return m_skin; }

    // Shows a page of a channel. Leaving another channel first settles its read marks. A page
    // past the last fails, saying how many there are (pageCount of out tells the last).
    StoreResult ShowChannelItems(int index, int page, ItemPage& out);
    // Shows the newest items of every channel below a directory (at most 8000), unpaged.
    StoreResult ShowDirectory(int index, ItemPage& out);
    // Shows again what is shown (after a receive, a filter or a page change).
    StoreResult ShowCurrentItems(ItemPage& out);
    int Current() const { return m_current; }
    int CurrentPage() const { return m_page; }

    // Marks the channels remembered for marking read on leave as read.
    void SettleReadMarks();
    // Opening an item marks it read; the channel's unread count is taken again. An on-line
    // search result is marked in its scratch row and changes no count.
    StoreResult MarkItemRead(const FeedItemRef& ref, bool read);
    // The item's importance mark (an on-line search result's in its scratch row); its read
    // state and the counts stay.
    StoreResult MarkItemImportant(const FeedItemRef& ref, bool important);
    // Marks a channel, or every channel of a directory, read.
    StoreResult MarkRead(int index);

    // Writes Data/RssSkin/tempRss.xml for the item and renders it. Descriptions are sanitized
    // on the way (see CHtmlSanitizer); the store keeps them as received.
    StoreResult RenderItem(const FeedItemRef& ref, std::string& html,
                           ImageLoading images = ImageLoading::kBySetting);
    // The same for an item read already (a favorite).
    StoreResult RenderOneItem(const FeedItem& item, std::string& html,
                              ImageLoading images = ImageLoading::kBySetting);
    // Writes Data/RssSkin/tempRssList.xml for a page and renders it (quick reading).
    StoreResult RenderPage(const std::vector<FeedItem>& items, std::string& html,
                           ImageLoading images = ImageLoading::kBySetting);
    // Where the placeholder of a remote image leads; the pane renders the items again with
    // their images when it is followed.
    static constexpr const char* kLoadImagesAddress = "quillpane:/load-images";
    // An item's file is linked through this address with its own address percent-encoded in
    // the query ("quillpane:/open?url=..."): the pane hands it to the desktop's handler
    // instead of loading it.
    static constexpr const char* kOpenOutsideAddress = "quillpane:/open";
    // Why ShowCurrentItems shows nothing when no channel or directory is chosen.
    static constexpr const char* kNothingChosenText = "没有选中频道";

    // The scratch documents, exactly as the skins receive them (UTF-8 here; written in GBK).
    static std::string BuildItemDocument(const FeedItem& item, const std::string& skin);
    static std::string BuildPageDocument(const std::vector<FeedItem>& items,
                                         const std::string& skin);

    // For whom an item's file is written.
    enum class EnclosureFor {
        kExport, // <enclosure url="..." type="..." length="..."/>, as RSS has it
        kPane,   // the same with its size for people and the address that opens it:
                 // size="3.4 MB" open="quillpane:/open?url=..."
    };
    static std::string EnclosureElement(const FeedEnclosure& enclosure, EnclosureFor reader);
    // "980 字节", "12 KB", "3.4 MB", "1.2 GB"; "" for 0 (unknown).
    static std::string SizeText(int64_t bytes);

    // The page box: "1/1" for a single page, else one "n/N" entry per page.
    static int PageCount(int total, int pageSize);
    static std::vector<std::string> PageBoxEntries(int total, int pageSize);
    // The names of the skins in the context's Data/RssSkin (files *.xsl), sorted.
    static std::vector<std::string> ListSkins(const CAppContext& context);

private:
    // The description as the pane may show it: without scripts, foreign players, event
    // attributes, dangerous addresses or overlays.
    std::string SanitizedDescription(const std::string& description, ImageLoading images) const;
    StoreResult Render(const std::string& documentUtf8, const std::string& fileName,
                       std::string& html);
    void RecountChannelsOf(int feedId);

    CAppContext m_context;
    CChannelTree& m_tree;
    CFeedDatabase& m_store;
    ItemFilter m_filter = ItemFilter::kAll;
    bool m_quickReading = false;
    std::string m_skin = "默认";
    int m_current = -1;
    int m_page = 0;
    std::vector<int> m_markOnLeave; // tree indices
};
