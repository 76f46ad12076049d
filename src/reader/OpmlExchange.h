#pragma once

#include "app/AppContext.h"
#include "reader/RssChannelFile.h"

#include <set>
#include <string>
#include <vector>

// One outline of an OPML list as the exchange sees it: a directory or a feed.
struct OpmlOutline {
    std::string title; // the title attribute, else the text attribute
    std::string xmlUrl;
    std::string htmlUrl;
    std::vector<OpmlOutline> children;

    // An outline with children, or a childless one without a feed address (an empty folder).
    bool IsDirectory() const { return !children.empty() || xmlUrl.empty(); }
};

// What a non-interactive import did: one line per feed, by its folder path and title.
struct OpmlMergeEntry {
    std::string path; // the folders from the top joined with "/", then the title
    std::string xmlUrl;
    std::string reason; // why it was skipped; "" when added
};

struct OpmlMergeResult {
    std::vector<OpmlMergeEntry> added;
    std::vector<OpmlMergeEntry> skipped;

    // Skipped because the channels hold the address already (or the list named it before).
    int AlreadySubscribed() const;
    // Skipped because the entry names no feed address.
    int Invalid() const;
    void Append(const OpmlMergeResult& more);
    // "N 个频道已导入, M 个已存在, K 个无效"
    std::string SummaryText() const;
};

// Which feeds of a list the channel tree takes, for the cli's merge and the import dialog
// alike: a feed whose address is known (the tree holds it, or an earlier entry of the list
// brought it) is skipped as subscribed already, an entry whose address is no feed address as
// invalid.
class COpmlFeedFilter {
public:
    static constexpr const char* kSubscribedReason = "已订阅";
    static constexpr const char* kNoFeedReason = "不是RSS地址";

    void Know(const std::string& xmlUrl);
    // Every feed address of the outlines, at any depth.
    void Know(const std::vector<OpmlOutline>& outlines);
    // The address names a feed address the filter does not know yet.
    bool IsNew(const std::string& xmlUrl) const;
    // The feed's address as the tree keeps it when it is taken (it is known from then on and
    // listed in result.added), or "" when it is skipped (listed in result.skipped with the
    // reason). path: the feed's folders and title, for the lists.
    std::string Admit(const OpmlOutline& feed, const std::string& path, OpmlMergeResult& result);

private:
    std::set<std::string> m_known;
};

// Reading and writing OPML lists as other feed readers write them: OPML 1.0, 1.1 and 2.0,
// outlines named only by text, nested folders, files without an XML declaration (their bytes
// taken as UTF-8 when they are valid UTF-8, else as GBK), any declared encoding, and lists with
// stray markup mistakes (a raw "&", a broken quote) that a lenient reading can still recover.
class COpmlExchange {
public:
    static constexpr const char* kUnknownFormatText = "无法识别的OPML文件格式";
    static constexpr const char* kInvalidLinkText = "无效的链接!";
    static constexpr const char* kExportDoneText = "导出成功!";
    static constexpr const char* kExportFailedText = "导出失败!";
    static constexpr const char* kExportAllFileName = "RSS订阅收藏.opml";

    // Loads an OPML file into a document; false (the reason in error) when the file cannot be
    // read or is no OPML (no /opml/body).
    static bool LoadDocument(const std::string& path, CXmlDocument& doc, std::string& error);
    // The outlines under /opml/body of the file.
    static bool ReadOutlines(const std::string& path, std::vector<OpmlOutline>& outlines,
                             std::string& error);
    static std::vector<OpmlOutline> OutlinesOf(const CXmlNode& parent);

    // Writes a fresh channel file holding the outlines (title, xmlUrl and htmlUrl, nested as
    // given), replacing the file atomically.
    static bool WriteOutlines(const std::string& path, const std::vector<OpmlOutline>& outlines,
                              std::string& error);

    // The exports: an OPML 2.0 document (head with title and dateCreated) other readers take,
    // declared gb2312 and written in GBK. Every outline keeps its attributes and nesting and
    // gets its title as text (OPML's name for it); a feed is marked type="rss", an empty
    // xmlUrl (a folder) is dropped. The channel file itself is not rewritten.
    // Every channel of the channel file:
    static bool ExportAll(const std::string& channelFile, const std::string& dest,
                          std::string& error);
    // The outline at the path, with everything below it:
    static bool ExportOutline(const std::string& channelFile, const OutlinePath& path,
                              const std::string& dest, std::string& error);
    // The document the exports write, in UTF-8, around the outlines' XML.
    static std::string ExportDocumentText(const std::string& outlineXml);

    // Adds the feeds of the source under the directory at the path of the channel file (the top
    // level for an empty path), keeping their folders: a folder reuses a directory of the same
    // name at its place, or is made when it has something to hold. A feed whose address the
    // file holds already, or that names no feed address, is skipped. The file is written once.
    static bool MergeInto(const std::string& channelFile, const OutlinePath& under,
                          const std::vector<OpmlOutline>& source, OpmlMergeResult& result,
                          std::string& error);

private:
    static void PrepareForExport(CXmlNode outline);
    static bool WriteExport(const std::string& dest, const std::string& outlineXml,
                            std::string& error);
};

// The arrangement of an import: the source list in one tree, a working copy of the channel file
// in the other; outlines are copied from the source into the working copy, which replaces the
// channel file on Commit and is thrown away on Cancel.
class COpmlImport {
public:
    // The channel file of the context's program directory, with its working copy in
    // Temp/temp.opml (where a list read from an address is downloaded too).
    explicit COpmlImport(const CAppContext& context);
    ~COpmlImport();

    // Copies the channel file to the working copy (replacing an earlier one) and reads it.
    bool Begin(std::string& error);
    // Reads the source list from a file; false with kUnknownFormatText.
    bool LoadSource(const std::string& path);
    // Downloads the address and reads it; false with kInvalidLinkText when the address does not
    // answer, kUnknownFormatText when the answer is no OPML.
    bool LoadSourceFromUrl(const std::string& url, std::string& message);

    const std::vector<OpmlOutline>& Source() const { return m_source; }
    const std::vector<OpmlOutline>& Target() const { return m_target; }
    static const OpmlOutline* Find(const std::vector<OpmlOutline>& outlines,
                                   const OutlinePath& path);

    // Copies the source outline (with everything below it) to the end of the target directory
    // at the path; onto a feed or an empty path it goes to the top level. A folder goes into a
    // folder of the same name there when there is one. Feeds whose address the working copy
    // holds already and entries naming no feed are left out (COpmlFeedFilter); a new folder
    // whose feeds were all left out is not made, one that never held a feed is kept. newPath
    // receives where it landed (empty when nothing of it was taken), result (when given) what
    // was taken and left out. The working copy is written after each drop; false when the
    // source path names nothing or the write failed.
    bool Drop(const OutlinePath& source, const OutlinePath& target, OutlinePath* newPath = nullptr,
              OpmlMergeResult* result = nullptr);
    // Several source outlines at once, as Drop does each, in tree order; an outline below
    // another one given comes with it and is not taken twice.
    bool DropMany(const std::vector<OutlinePath>& sources, const OutlinePath& target,
                  OpmlMergeResult& result, OutlinePath* newPath = nullptr);
    // 全部导入: every outline of the source, to the top level.
    bool DropAll(OpmlMergeResult& result);
    // What the drops of this import took and left out, added up.
    const OpmlMergeResult& Result() const { return m_result; }

    // Writes the target tree as the new channel file and removes the working copy.
    bool Commit(std::string& error);
    // Removes the working copy; the channel file stays as it was.
    void Cancel();

    const std::string& WorkingCopy() const { return m_workingCopy; }

private:
    CAppContext m_context;
    std::string m_channelFile;
    std::string m_workingCopy;
    std::vector<OpmlOutline> m_source;
    std::vector<OpmlOutline> m_target;
    OpmlMergeResult m_result;
    bool m_open = false;
};
