#include "reader/FeedItemView.h"

#include "platform/fs/FileUtil.h"
#include "platform/xml/HtmlSanitizer.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "platform/xml/XslTransform.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>

namespace {

std::string Head(const std::string& skin) {
    return "<?xml version=\"1.0\" encoding=\"gb2312\"?><?xml-stylesheet type=\"text/xsl\" href=\"" +
           CXmlText::Escape(skin) + ".xsl\"?><rss><channel>";
}

std::string Enclosures(const FeedItem& item) {
    std::string text;
    for (const FeedEnclosure& enclosure : item.enclosures)
        text += CFeedItemView::EnclosureElement(enclosure, CFeedItemView::EnclosureFor::kPane);
    return text;
}

} // namespace

std::string CFeedItemView::SizeText(int64_t bytes) {
    if (bytes <= 0)
        return {};
    if (bytes < 1024)
        return std::to_string(bytes) + " 字节";
    if (bytes < 1024 * 1024)
        return std::to_string((bytes + 512) / 1024) + " KB";
    const bool giga = bytes >= 1024LL * 1024 * 1024;
    const double units = static_cast<double>(bytes) / (giga ? 1024.0 * 1024 * 1024 : 1024.0 * 1024);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", units, giga ? "GB" : "MB");
    return text;
}

std::string CFeedItemView::EnclosureElement(const FeedEnclosure& enclosure, EnclosureFor reader) {
    std::string text = "<enclosure url=\"" + CXmlText::Escape(enclosure.url) + "\" type=\"" +
                       CXmlText::Escape(enclosure.type) + "\" length=\"" +
                       std::to_string(enclosure.length) + "\"";
    if (reader == EnclosureFor::kPane) {
        std::string encoded;
        static const char kHex[] = "0123456789ABCDEF";
        for (unsigned char c : enclosure.url) {
            if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
                encoded += static_cast<char>(c);
            } else {
                encoded += '%';
                encoded += kHex[c >> 4];
                encoded += kHex[c & 15];
            }
        }
        text += " size=\"" + CXmlText::Escape(SizeText(enclosure.length)) + "\" open=\"" +
                kOpenOutsideAddress + "?url=" + encoded + "\"";
    }
    return text + "/>";
}

CFeedItemView::CFeedItemView(const CAppContext& context, CChannelTree& tree, CFeedDatabase& store)
    : m_context(context), m_tree(tree), m_store(store) {}

int CFeedItemView::PageCount(int total, int pageSize) {
    if (pageSize <= 0)
        return 1;
    int pages = total / pageSize + (total % pageSize ? 1 : 0);
    return std::max(pages, 1);
}

std::vector<std::string> CFeedItemView::PageBoxEntries(int total, int pageSize) {
    int pages = PageCount(total, pageSize);
    if (total < pageSize || pages == 1)
        return {"1/1"};
    std::vector<std::string> entries;
    for (int i = 1; i <= pages; ++i)
        entries.push_back(std::to_string(i) + "/" + std::to_string(pages));
    return entries;
}

StoreResult CFeedItemView::ShowChannelItems(int index, int page, ItemPage& out) {
    out = ItemPage{};
    if (index != m_current)
        SettleReadMarks();
    m_markOnLeave.clear();
    m_current = index;
    m_page = std::max(page, 0);
    int feedId = 0;
    if (const StoreResult found = m_tree.GetFeedId(index, feedId, m_store); !found)
        return found;
    const int pageSize = std::max(m_tree.Options().pageSize, 1);
    // The offset is taken in 64 bits: a page number from the command line can be anything.
    const long long offset = static_cast<long long>(m_page) * pageSize;
    if (const StoreResult read =
            m_store.GetItemPage(feedId, m_filter, m_quickReading, out.items, out.total, pageSize,
                                static_cast<int>(std::min<long long>(offset, INT_MAX)));
        !read) {
        out.items.clear();
        return read;
    }
    out.pageCount = PageCount(out.total, pageSize);
    if (m_page >= out.pageCount) {
        out.items.clear();
        return {.reason = "没有第 " + std::to_string(static_cast<long long>(m_page) + 1) +
                          " 页: 共 " + std::to_string(out.pageCount) + " 页"};
    }
    out.page = m_page;
    if (m_tree.Options().markReadOnSwitch)
        m_markOnLeave.push_back(index);
    return {.ok = true};
}

StoreResult CFeedItemView::ShowDirectory(int index, ItemPage& out) {
    out = ItemPage{};
    if (index != m_current)
        SettleReadMarks();
    m_markOnLeave.clear();
    m_current = index;
    m_page = 0;
    out.directory = true;
    out.caption = m_tree.PathText(index);
    std::vector<int> feedIds;
    StoreResult read = m_tree.FeedIdsBelow(index, m_store, feedIds);
    if (read)
        read = m_store.GetItemsOfFeeds(feedIds, m_filter, out.items);
    if (!read) {
        out.items.clear();
        return read;
    }
    out.total = static_cast<int>(out.items.size());
    if (m_tree.Options().markReadOnSwitch)
        m_markOnLeave = m_tree.ChannelsBelow(index);
    return {.ok = true};
}

StoreResult CFeedItemView::ShowCurrentItems(ItemPage& out) {
    if (!m_tree.IsValid(m_current)) {
        out = ItemPage{};
        return {.reason = kNothingChosenText};
    }
    if (m_tree.Record(m_current).directory)
        return ShowDirectory(m_current, out);
    StoreResult shown = ShowChannelItems(m_current, m_page, out);
    // Items went away since the page was chosen (cleaning, a storage rule): the last page that
    // is left is shown instead.
    if (!shown && m_page > 0 && m_page >= out.pageCount)
        shown = ShowChannelItems(m_current, out.pageCount - 1, out);
    return shown;
}

void CFeedItemView::SettleReadMarks() {
    std::vector<int> channels;
    channels.swap(m_markOnLeave);
    std::vector<int> feedIds;
    for (int channel : channels) {
        int feedId = 0;
        if (m_tree.IsValid(channel) && m_tree.GetFeedId(channel, feedId, m_store))
            feedIds.push_back(feedId);
    }
    if (feedIds.empty() || !m_store.SetFeedsRead(feedIds, 1))
        return;
    for (int channel : channels)
        m_tree.SetUnreadCount(channel, 0);
}

void CFeedItemView::RecountChannelsOf(int feedId) {
    int unread = 0;
    if (!m_store.GetUnreadCount(feedId, unread))
        return;
    for (int channel : m_tree.AllChannels())
        if (m_tree.Record(channel).feedId == feedId)
            m_tree.SetUnreadCount(channel, unread);
}

StoreResult CFeedItemView::MarkItemRead(const FeedItemRef& ref, bool read) {
    FeedItem item;
    if (const StoreResult found = m_store.GetItem(ref, item); !found)
        return found;
    if (const StoreResult marked = m_store.SetItemRead(ref, read ? 1 : 0); !marked)
        return marked;
    // A search result belongs to no channel: no count changes.
    if (ref.origin == ItemOrigin::kStored)
        RecountChannelsOf(item.feedId);
    return {.ok = true};
}

StoreResult CFeedItemView::MarkItemImportant(const FeedItemRef& ref, bool important) {
    return m_store.SetItemImportant(ref, important ? 1 : 0);
}

StoreResult CFeedItemView::MarkRead(int index) {
    std::vector<int> feedIds;
    if (const StoreResult found = m_tree.FeedIdsBelow(index, m_store, feedIds); !found)
        return found;
    if (const StoreResult marked = m_store.SetFeedsRead(feedIds, 1); !marked)
        return marked;
    for (int channel : m_tree.ChannelsBelow(index))
        m_tree.SetUnreadCount(channel, 0);
    m_tree.SetUnreadCount(index, 0);
    return {.ok = true};
}

std::string CFeedItemView::BuildItemDocument(const FeedItem& item, const std::string& skin) {
    return Head(skin) + "<item><link>" + CXmlText::CData(item.link) + "</link><title>" +
           CXmlText::CData(item.title) + "</title><author>" + CXmlText::CData(item.author) +
           "</author><pubDate>" + CXmlText::Escape(item.pubDate) + "</pubDate><description>" +
           CXmlText::CData(item.description) + "</description>" + Enclosures(item) +
           "</item></channel></rss>";
}

std::string CFeedItemView::BuildPageDocument(const std::vector<FeedItem>& items,
                                             const std::string& skin) {
    std::string text = Head(skin);
    for (const FeedItem& item : items) {
        text += "<item><link>" + CXmlText::CData(item.link) + "</link><title>" +
                CXmlText::CData(item.title) + "</title><pubDate>" + CXmlText::Escape(item.pubDate) +
                "</pubDate><description>" + CXmlText::CData(item.description) + "</description>" +
                Enclosures(item) + "</item>";
    }
    return text + "</channel></rss>";
}

StoreResult CFeedItemView::Render(const std::string& documentUtf8, const std::string& fileName,
                                  std::string& html) {
    html.clear();
    // The scratch document is written as the skins have always received it: GBK under a
    // gb2312 declaration, with characters GBK lacks as references.
    const std::string bytes = CXmlText::Utf8DocumentToGbk(documentUtf8);
    const std::string path = m_context.FilePath("Data\\RssSkin\\" + fileName);
    // Read first: a document that does not load is never written for the skins to find.
    CXmlDocument doc;
    if (!doc.LoadText(bytes, CXmlDocument::kKeepBlanks)) {
        return {.reason = doc.GetLastError()};
    }
    CFileUtil::CreateDirectories(m_context.FilePath("Data\\RssSkin"));
    if (!CFileUtil::WriteFileAtomic(path, bytes)) {
        return {.reason = path + ": " + CFileUtil::LastErrorText()};
    }
    CXslTransform skin;
    std::string skinPath = m_context.FilePath("Data\\RssSkin\\" + m_skin + ".xsl");
    if (!CFileUtil::Exists(skinPath))
        skinPath = m_context.FilePath("Data\\RssSkin\\默认.xsl");
    if (!skin.LoadFile(skinPath) || !skin.Apply(doc, html)) {
        return {.reason = skinPath + ": " + skin.GetLastError()};
    }
    return {.ok = true};
}

StoreResult CFeedItemView::RenderItem(const FeedItemRef& ref, std::string& html,
                                      ImageLoading images) {
    FeedItem item;
    if (const StoreResult found = m_store.GetItem(ref, item); !found)
        return found;
    return RenderOneItem(item, html, images);
}

StoreResult CFeedItemView::RenderOneItem(const FeedItem& item, std::string& html,
                                         ImageLoading images) {
    FeedItem shown = item;
    shown.description = SanitizedDescription(item.description, images);
    return Render(BuildItemDocument(shown, m_skin), "tempRss.xml", html);
}

StoreResult CFeedItemView::RenderPage(const std::vector<FeedItem>& items, std::string& html,
                                      ImageLoading images) {
    std::vector<FeedItem> shown = items;
    for (FeedItem& item : shown)
        item.description = SanitizedDescription(item.description, images);
    return Render(BuildPageDocument(shown, m_skin), "tempRssList.xml", html);
}

std::string CFeedItemView::SanitizedDescription(const std::string& description,
                                                ImageLoading images) const {
    // The store keeps what the feed sent; only what is shown is cleaned.
    const ChannelTreeOptions tree = m_tree.Options();
    const bool wait = images == ImageLoading::kBySetting && tree.noRemoteImages != 0;
    const HtmlSanitizeOptions options{
        .videoHosts = tree.videoHosts,
        .remoteImages = wait ? RemoteImages::kPlaceholder : RemoteImages::kLoad,
        .loadImagesAddress = kLoadImagesAddress,
    };
    return CHtmlSanitizer::Sanitize(description, options);
}

std::vector<std::string> CFeedItemView::ListSkins(const CAppContext& context) {
    std::vector<std::string> skins;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(context.FilePath("Data\\RssSkin"), ec)) {
        if (entry.path().extension() == ".xsl")
            skins.push_back(entry.path().stem().string());
    }
    std::sort(skins.begin(), skins.end());
    return skins;
}
