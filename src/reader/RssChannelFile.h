#pragma once

#include "platform/xml/XmlDocument.h"
#include "storage/LocalDatabase.h"

#include <string>
#include <vector>

// Where an outline sits in the channel file: for each level from the top, its index among the
// outlines of its parent (the first is 0). The empty path stands for <body> itself.
using OutlinePath = std::vector<int>;

// The channel file Storage/rssreader.opml: a tree of outline elements under /opml/body.
// Every change is written back at once (atomically); between BeginBatch and EndBatch the changes
// are kept and written once at the end. Each operation answers done, or the reason it was not.
class CRssChannelFile {
public:
    // The channel file at the path (the program directory's, or an imported OPML file).
    explicit CRssChannelFile(std::string path);

    // Loads the file.
    StoreResult Open();

    StoreResult AddOutline(const OutlinePath& parent, const std::string& title,
                           const std::string& xmlUrl, const std::string& htmlUrl);
    StoreResult SetAttribute(const OutlinePath& path, const std::string& name,
                             const std::string& value);
    StoreResult DeleteOutline(const OutlinePath& path);
    // mode 0: becomes the last child of the target (of the body when the target is empty);
    // mode 1: goes just before the target. An outline never moves into itself or below itself.
    StoreResult MoveOutline(const OutlinePath& from, const OutlinePath& target, int mode);
    StoreResult SaveExpanded(const OutlinePath& path, bool expanded);
    StoreResult SaveUnreadCount(const OutlinePath& path, int count);

    void BeginBatch() { m_batch = true; }
    StoreResult EndBatch();

    // The outline at the path (the body for an empty path); null when there is none.
    CXmlNode Outline(const OutlinePath& path) const;
    CXmlNode Body() const;
    const CXmlDocument& Document() const { return m_doc; }

    static std::string PathText(const OutlinePath& path);
    // The text of a new, empty channel file.
    static constexpr const char* kEmptyFile = "<opml><body></body></opml>";

private:
    StoreResult Changed();

    std::string m_path;
    CXmlDocument m_doc;
    bool m_batch = false;
};
