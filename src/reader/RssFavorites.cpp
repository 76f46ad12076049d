#include "reader/RssFavorites.h"

#include "app/Reporter.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/TextCheck.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedDate.h"
#include "reader/FeedItemView.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

namespace {

constexpr const char* kDublinCore = "http://purl.org/dc/elements/1.1/";

bool HasMarkup(const std::string& text) {
    return text.find_first_of("<>") != std::string::npos;
}

// The text of the item's first child of that name (in no namespace, or in the given one).
bool ChildText(const CXmlNode& item, const char* name, std::string& out, const char* ns = nullptr) {
    for (CXmlNode child = item.FirstChild(); child; child = child.NextSibling()) {
        if (child.HasName(name) && (ns ? child.InNamespace(ns) : child.GetNamespace().empty())) {
            out = child.GetText();
            return true;
        }
    }
    return false;
}

} // namespace

CRssFavorites::CRssFavorites(const CAppContext& context)
    : CRssFavorites(context, context.FilePath("Storage\\rssFavorite.opml")) {}

CRssFavorites::CRssFavorites(const CAppContext& context, std::string filePath)
    : m_context(context), m_filePath(std::move(filePath)), m_tree(context, m_filePath) {}

bool CRssFavorites::Build() {
    // A program directory from before the favorites were kept has no file yet.
    if (!CFileUtil::Exists(m_filePath) &&
        !CFileUtil::WriteFileAtomic(m_filePath, CRssChannelFile::kEmptyFile))
        return Fail(m_filePath + ": " + CFileUtil::LastErrorText());
    return m_tree.Build();
}

int CRssFavorites::ParseBoxId(const std::string& text) {
    int id = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || id < 0)
        return 0;
    return id;
}

bool CRssFavorites::IsBox(int index) const {
    return m_tree.IsValid(index) && !m_tree.Record(index).directory;
}

int CRssFavorites::BoxId(int index) const {
    return IsBox(index) ? ParseBoxId(m_tree.Record(index).xmlUrl) : 0;
}

std::vector<int> CRssFavorites::BoxesBelow(int index) const {
    return m_tree.ChannelsBelow(index);
}

int CRssFavorites::FindBox(const std::string& slashPath) const {
    int index = m_tree.FindByPath(slashPath);
    return IsBox(index) ? index : -1;
}

std::string CRssFavorites::CheckItem(const FeedItem& item) {
    if (item.title.empty())
        return "请输入标题";
    if (item.link.empty())
        return "请输入链接";
    // The one-line fields, in the dialog's order; the description may hold markup.
    for (const std::string* field : {&item.title, &item.link, &item.author, &item.pubDate})
        if (HasMarkup(*field))
            return "含有不合法的字符 '<' 或 '>'!";
    if (!CTextCheck::AreCleanTexts({item.title, item.link, item.author, item.pubDate}))
        return CTextCheck::kInvalidCharactersText;
    return {};
}

std::string CRssFavorites::NowText() {
    return CFeedDate::Now();
}

bool CRssFavorites::AddBox(int parent, const std::string& name, const std::string& htmlUrl,
                           CFeedDatabase& store, int* newIndex) {
    if (std::string message = CChannelTree::CheckDirectoryName(name); !message.empty())
        return Fail(message == "请输入目录名称" ? "请输入频道名称" : message);
    if (!CTextCheck::IsCleanText(htmlUrl) || HasMarkup(htmlUrl))
        return Fail(CTextCheck::kInvalidCharactersText);
    int boxId = 0;
    if (const StoreResult created = store.CreateFavoriteFolder(boxId); !created)
        return Fail("添加失败!", created.reason);
    if (!m_tree.AddEntry(parent, name, std::to_string(boxId), htmlUrl, newIndex)) {
        // The row would belong to no box.
        store.DeleteFavoriteFolder(boxId);
        return false;
    }
    return true;
}

bool CRssFavorites::AddFolder(int parent, const std::string& name, int* newIndex) {
    return m_tree.AddDirectory(parent, name, newIndex);
}

bool CRssFavorites::SetProperties(int index, const std::string& name, const std::string& htmlUrl) {
    if (!m_tree.IsValid(index))
        return false;
    if (!IsBox(index))
        return m_tree.SetDirectoryProperties(index, name, htmlUrl);
    if (std::string message = CChannelTree::CheckDirectoryName(name); !message.empty())
        return Fail(message == "请输入目录名称" ? "请输入频道名称" : message);
    if (!CTextCheck::IsCleanText(htmlUrl) || HasMarkup(htmlUrl))
        return Fail(CTextCheck::kInvalidCharactersText);
    return m_tree.SetNames(index, name, htmlUrl);
}

bool CRssFavorites::Delete(int index, CFeedDatabase& store) {
    if (!m_tree.IsValid(index))
        return false;
    std::vector<int> ids;
    for (int box : BoxesBelow(index))
        ids.push_back(BoxId(box));
    // The store first: when it fails, the tree still shows what is kept.
    if (!ids.empty()) {
        if (const StoreResult deleted = store.DeleteFavoriteFolders(ids); !deleted)
            return Fail("删除失败!", deleted.reason);
    }
    return m_tree.RemoveEntry(index);
}

bool CRssFavorites::CopyItems(int box, const std::vector<FeedItemRef>& items,
                              CFeedDatabase& store) {
    if (!IsBox(box))
        return Fail("添加失败");
    const int boxId = BoxId(box);
    // The last first: the box, newest first, then lists them in the order given.
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (const StoreResult copied = store.CopyItemToFavorites(*it, boxId); !copied)
            return Fail("添加失败: " + copied.reason);
    return true;
}

bool CRssFavorites::MoveItems(int fromBox, int toBox, const std::vector<int>& itemIds,
                              CFeedDatabase& store) {
    if (!IsBox(toBox))
        return Fail("移动失败!");
    if (fromBox == toBox || BoxId(fromBox) == BoxId(toBox))
        return Fail(kSameBoxText);
    for (int itemId : itemIds)
        if (const StoreResult moved = store.MoveFavoriteItem(BoxId(toBox), itemId); !moved)
            return Fail("移动失败!", moved.reason);
    return true;
}

bool CRssFavorites::AddItem(int box, const FeedItem& item, CFeedDatabase& store) {
    if (std::string message = CheckItem(item); !message.empty())
        return Fail(message);
    if (!IsBox(box))
        return Fail("添加失败");
    if (const StoreResult added = store.AddFavoriteItem(BoxId(box), item); !added)
        return Fail("添加失败", added.reason);
    return true;
}

bool CRssFavorites::Items(int box, std::vector<FeedItem>& items, CFeedDatabase& store) {
    items.clear();
    if (!IsBox(box))
        return false;
    // A box whose id is no number has no items.
    const int boxId = BoxId(box);
    if (boxId == 0)
        return true;
    if (const StoreResult read = store.GetFavoriteItems(boxId, true, items); !read)
        return Fail(read.reason);
    return true;
}

std::string CRssFavorites::ExportText(const ExportChannel& channel,
                                      const std::vector<FeedItem>& items) {
    std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>"
                       "<title>" +
                       CXmlText::CData(channel.title) + "</title><link>" +
                       CXmlText::Escape(channel.link) + "</link><description>" +
                       CXmlText::CData("妙笔收藏: " + channel.title) + "</description>";
    for (const FeedItem& item : items) {
        // A date that is no date goes out as it is stored rather than not at all.
        std::string date = CFeedDate::ToRfc822(item.pubDate);
        text += "<item><link>" + CXmlText::CData(item.link) + "</link><title>" +
                CXmlText::CData(item.title) + "</title><pubDate>" +
                CXmlText::Escape(date.empty() ? item.pubDate : date) + "</pubDate><description>" +
                CXmlText::CData(item.description) + "</description><author>" +
                CXmlText::CData(item.author) + "</author>";
        for (const FeedEnclosure& enclosure : item.enclosures)
            text +=
                CFeedItemView::EnclosureElement(enclosure, CFeedItemView::EnclosureFor::kExport);
        text += "</item>";
    }
    return text + "</channel></rss>";
}

bool CRssFavorites::ExportBox(int box, const std::string& path, CFeedDatabase& store) {
    std::vector<FeedItem> items;
    if (!IsBox(box) || !Items(box, items, store))
        return Fail(kExportFailedText);
    const ExportChannel channel{.title = m_tree.Record(box).title,
                                .link = m_tree.Record(box).htmlUrl};
    if (!CFileUtil::WriteFile(path, CXmlText::Utf8DocumentToGbk(ExportText(channel, items))))
        return Fail(std::string(kExportFailedText) + " " + path + ": " +
                    CFileUtil::LastErrorText());
    return true;
}

bool CRssFavorites::ReadRssFile(const std::string& path, std::vector<FeedItem>& items,
                                std::string& error) {
    items.clear();
    CXmlDocument doc;
    if (!doc.LoadFile(path)) {
        error = doc.GetLastError();
        return false;
    }
    CXmlNode channel = doc.SelectNode("/rss/channel");
    if (!channel) {
        error = path + ": no /rss/channel";
        return false;
    }
    for (CXmlNode node = channel.FirstChild(); node; node = node.NextSibling()) {
        if (!node.HasName("item"))
            continue;
        FeedItem item;
        // Title and link make an item; a file from another program may leave out the author or
        // the description, which are then empty.
        if (!ChildText(node, "title", item.title) || !ChildText(node, "link", item.link))
            break;
        ChildText(node, "author", item.author);
        ChildText(node, "description", item.description);
        if (!ChildText(node, "pubDate", item.pubDate))
            ChildText(node, "date", item.pubDate, kDublinCore);
        NormalizeFeedDate(item.pubDate);
        for (CXmlNode file = node.Child("enclosure"); file; file = file.NextSibling()) {
            if (!file.HasName("enclosure") || file.GetAttribute("url").empty())
                continue;
            int64_t length = 0;
            const std::string text = file.GetAttribute("length");
            std::from_chars(text.data(), text.data() + text.size(), length);
            item.enclosures.push_back({.url = file.GetAttribute("url"),
                                       .type = file.GetAttribute("type"),
                                       .length = std::max<int64_t>(length, 0)});
        }
        items.push_back(std::move(item));
    }
    return true;
}

bool CRssFavorites::ImportBox(const std::string& path, int parent, CFeedDatabase& store,
                              int* newIndex) {
    std::vector<FeedItem> items;
    std::string error;
    if (!ReadRssFile(path, items, error))
        return Fail(std::string(kImportFailedText) + ": " + error);
    // The exported file lists the newest first; stored in reverse, the newest gets the highest
    // id again and the box shows the same order.
    std::reverse(items.begin(), items.end());
    const std::string name = std::filesystem::path(path).stem().string();
    int boxId = 0;
    if (const StoreResult imported = store.ImportFavoriteFolder(items, boxId); !imported)
        return Fail(std::string(kImportFailedText) + ": " + imported.reason);
    if (!m_tree.AddEntry(parent, name.empty() ? "收藏" : name, std::to_string(boxId), "",
                         newIndex)) {
        store.DeleteFavoriteFolder(boxId);
        return Fail(kImportFailedText);
    }
    return true;
}
