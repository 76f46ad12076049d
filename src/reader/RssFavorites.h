#pragma once

#include "app/Reporter.h"
#include "reader/ChannelTree.h"
#include "storage/FeedItem.h"

#include <string>
#include <vector>

class CFeedDatabase;

// The feed favorites: a tree of folders (收藏夹) and boxes (收藏节点) in Storage/rssFavorite.opml,
// kept by the same file wrapper and tree logic as the channel tree, with the copied items in the
// feed store. A box is an outline without children; its xmlUrl is the number of its row in the
// favorites table.
// Failures are reported through the reporter with the program's messages.
class CRssFavorites {
public:
    // Storage/rssFavorite.opml of the context's program directory, or another file.
    explicit CRssFavorites(const CAppContext& context);
    CRssFavorites(const CAppContext& context, std::string filePath);
    // The program directory the favorites belong to.
    const CAppContext& Context() const { return m_context; }

    // Loads the favorites file, making an empty one first when there is none yet.
    bool Build();
    CChannelTree& Tree() { return m_tree; }
    const CChannelTree& Tree() const { return m_tree; }

    bool IsBox(int index) const;
    // The box's id: its xmlUrl read as a decimal number; 0 when it is none.
    int BoxId(int index) const;
    static int ParseBoxId(const std::string& text);
    // The live boxes at and below the item, in tree order.
    std::vector<int> BoxesBelow(int index) const;
    // The box whose titles from the top, joined by "/", are the text; -1 when none.
    int FindBox(const std::string& slashPath) const;

    // The checks of the hand-made item: the message to show, or "".
    static std::string CheckItem(const FeedItem& item);
    // The date field's starting text, the time now as "%Y-%m-%d %H:%M:%S".
    static std::string NowText();

    // parent: a folder's index or -1 for the top level.
    bool AddBox(int parent, const std::string& name, const std::string& htmlUrl,
                CFeedDatabase& store, int* newIndex = nullptr);
    bool AddFolder(int parent, const std::string& name, int* newIndex = nullptr);
    // The name and site address of a box or a folder; only changed attributes are written.
    bool SetProperties(int index, const std::string& name, const std::string& htmlUrl);
    // Removes a box, or a folder with every box below it, with their items.
    bool Delete(int index, CFeedDatabase& store);

    // Copies received items or on-line search results, each from its own table, into the box,
    // where they are listed in the order given. "添加失败".
    bool CopyItems(int box, const std::vector<FeedItemRef>& items, CFeedDatabase& store);
    // Moves favorite items of one box into another. "需要指定一个不同的收藏!" when the two are
    // the same box; nothing moves then.
    bool MoveItems(int fromBox, int toBox, const std::vector<int>& itemIds, CFeedDatabase& store);
    bool AddItem(int box, const FeedItem& item, CFeedDatabase& store);
    // The box's items, newest first.
    bool Items(int box, std::vector<FeedItem>& items, CFeedDatabase& store);

    // The RSS 2.0 document of an exported box (UTF-8; written in GBK under its gb2312
    // declaration): the channel named after the box with its site address, the items with
    // their dates in RFC 822.
    struct ExportChannel {
        std::string title;
        std::string link;
    };
    static std::string ExportText(const ExportChannel& channel, const std::vector<FeedItem>& items);
    // Writes the box's items to the file. "导出Feed成功!" is the caller's to say.
    bool ExportBox(int box, const std::string& path, CFeedDatabase& store);
    // The items of an RSS file, in the order it lists them; false with the reason when the file
    // cannot be read as RSS.
    static bool ReadRssFile(const std::string& path, std::vector<FeedItem>& items,
                            std::string& error);
    // A new box named after the file (its name without the extension) holding the file's items,
    // stored in one transaction: a file that cannot be read or a store that fails leaves no box
    // and no item behind ("导入失败").
    bool ImportBox(const std::string& path, int parent, CFeedDatabase& store,
                   int* newIndex = nullptr);

    static constexpr const char* kExportDoneText = "导出Feed成功!";
    static constexpr const char* kExportFailedText = "导出Feed失败!";
    static constexpr const char* kImportFailedText = "导入失败";
    static constexpr const char* kSameBoxText = "需要指定一个不同的收藏!";
    static constexpr const char* kDeleteQuestion = "确定要删除该收藏吗?";

private:
    // Reports the message, with what went wrong below it when that is known; false.
    bool Fail(const std::string& message, const std::string& reason = {}) const {
        return ReportFailure(m_context.Reporter(), message, reason);
    }

    CAppContext m_context;
    std::string m_filePath;
    CChannelTree m_tree;
};
