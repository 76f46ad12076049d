#include "reader/OpmlExchange.h"

#include "platform/text/ReasonText.h"

#include "platform/fs/FileUtil.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedAddress.h"
#include "reader/FeedDate.h"
#include "reader/FeedFetcher.h"

#include <algorithm>
#include <set>

namespace {

std::vector<CXmlNode> OutlineChildren(const CXmlNode& parent) {
    std::vector<CXmlNode> out;
    for (CXmlNode child = parent.FirstChild(); child; child = child.NextSibling())
        if (child.GetName() == "outline")
            out.push_back(child);
    return out;
}

std::string NameOf(const CXmlNode& node) {
    // Readers that write only text (Liferea, many OPML 1.0 lists) are as common as those that
    // write both; an empty title falls back to the text as a missing one does.
    std::string title = node.GetAttribute("title");
    return title.empty() ? node.GetAttribute("text") : title;
}

void AppendOutlines(CXmlNode parent, const std::vector<OpmlOutline>& outlines) {
    for (const OpmlOutline& outline : outlines) {
        CXmlNode node = parent.AppendChild("outline");
        node.SetAttribute("title", outline.title);
        node.SetAttribute("xmlUrl", outline.xmlUrl);
        node.SetAttribute("htmlUrl", outline.htmlUrl);
        AppendOutlines(node, outline.children);
    }
}

// The address as the tree keeps it, or "" when it names no feed.
std::string FeedKey(const std::string& xmlUrl) {
    std::string address;
    if (xmlUrl.empty() || !CFeedAddress::Normalize(xmlUrl, address))
        return {};
    return address;
}

void CollectAddresses(const CXmlNode& parent, COpmlFeedFilter& out) {
    for (const CXmlNode& child : OutlineChildren(parent)) {
        out.Know(child.GetAttribute("xmlUrl"));
        CollectAddresses(child, out);
    }
}

bool HasFeeds(const OpmlOutline& outline) {
    if (!outline.IsDirectory())
        return true;
    for (const OpmlOutline& child : outline.children)
        if (HasFeeds(child))
            return true;
    return false;
}

struct CMerge {
    COpmlFeedFilter known;
    OpmlMergeResult& result;

    void Into(CXmlNode parent, const std::vector<OpmlOutline>& source, const std::string& prefix) {
        for (const OpmlOutline& outline : source) {
            const std::string path = prefix + outline.title;
            if (outline.IsDirectory()) {
                if (!HasFeeds(outline))
                    continue;
                CXmlNode folder;
                for (const CXmlNode& child : OutlineChildren(parent)) {
                    const bool directory = child.GetAttribute("xmlUrl").empty();
                    if (directory && NameOf(child) == outline.title) {
                        folder = child;
                        break;
                    }
                }
                const bool made = !folder;
                if (made) {
                    folder = parent.AppendChild("outline");
                    folder.SetAttribute("title", outline.title);
                    folder.SetAttribute("xmlUrl", "");
                    folder.SetAttribute("htmlUrl", outline.htmlUrl);
                }
                Into(folder, outline.children, path + "/");
                // A new folder whose feeds were all skipped is not kept.
                if (made && OutlineChildren(folder).empty())
                    folder.Remove();
                continue;
            }
            const std::string key = known.Admit(outline, path, result);
            if (key.empty())
                continue;
            CXmlNode node = parent.AppendChild("outline");
            node.SetAttribute("title", outline.title.empty() ? key : outline.title);
            node.SetAttribute("xmlUrl", key);
            node.SetAttribute("htmlUrl", outline.htmlUrl);
        }
    }
};

// The arrangement's drop of one outline into a level of the working copy; the position it has
// there, or -1 when nothing of it was taken.
int MergeOutline(std::vector<OpmlOutline>& level, const OpmlOutline& outline,
                 const std::string& prefix, COpmlFeedFilter& filter, OpmlMergeResult& result) {
    const std::string path = prefix + outline.title;
    if (!outline.IsDirectory()) {
        const std::string key = filter.Admit(outline, path, result);
        if (key.empty())
            return -1;
        OpmlOutline feed{.title = outline.title.empty() ? key : outline.title,
                         .xmlUrl = outline.xmlUrl,
                         .htmlUrl = outline.htmlUrl};
        level.push_back(std::move(feed));
        return static_cast<int>(level.size()) - 1;
    }
    int at = -1;
    for (int i = 0; i < static_cast<int>(level.size()); ++i)
        if (level[i].IsDirectory() && level[i].title == outline.title) {
            at = i;
            break;
        }
    const bool made = at < 0;
    if (made) {
        level.push_back({.title = outline.title, .xmlUrl = {}, .htmlUrl = outline.htmlUrl});
        at = static_cast<int>(level.size()) - 1;
    }
    bool took = false;
    for (const OpmlOutline& child : outline.children)
        took = MergeOutline(level[at].children, child, path + "/", filter, result) >= 0 || took;
    // A new folder whose feeds were all left out is not made; one without feeds is the user's.
    if (made && !took && HasFeeds(outline)) {
        level.erase(level.begin() + at);
        return -1;
    }
    return at;
}

bool IsBelow(const OutlinePath& path, const OutlinePath& ancestor) {
    return path.size() > ancestor.size() &&
           std::equal(ancestor.begin(), ancestor.end(), path.begin());
}

} // namespace

int OpmlMergeResult::AlreadySubscribed() const {
    return static_cast<int>(std::count_if(skipped.begin(), skipped.end(), [](const auto& entry) {
        return entry.reason == COpmlFeedFilter::kSubscribedReason;
    }));
}

int OpmlMergeResult::Invalid() const {
    return static_cast<int>(skipped.size()) - AlreadySubscribed();
}

void OpmlMergeResult::Append(const OpmlMergeResult& more) {
    added.insert(added.end(), more.added.begin(), more.added.end());
    skipped.insert(skipped.end(), more.skipped.begin(), more.skipped.end());
}

std::string OpmlMergeResult::SummaryText() const {
    return std::to_string(added.size()) + " 个频道已导入, " + std::to_string(AlreadySubscribed()) +
           " 个已存在, " + std::to_string(Invalid()) + " 个无效";
}

void COpmlFeedFilter::Know(const std::string& xmlUrl) {
    if (std::string key = FeedKey(xmlUrl); !key.empty())
        m_known.insert(std::move(key));
}

void COpmlFeedFilter::Know(const std::vector<OpmlOutline>& outlines) {
    for (const OpmlOutline& outline : outlines) {
        Know(outline.xmlUrl);
        Know(outline.children);
    }
}

bool COpmlFeedFilter::IsNew(const std::string& xmlUrl) const {
    const std::string key = FeedKey(xmlUrl);
    return !key.empty() && !m_known.contains(key);
}

std::string COpmlFeedFilter::Admit(const OpmlOutline& feed, const std::string& path,
                                   OpmlMergeResult& result) {
    OpmlMergeEntry entry{.path = path, .xmlUrl = feed.xmlUrl};
    std::string key = FeedKey(feed.xmlUrl);
    if (key.empty()) {
        entry.reason = kNoFeedReason;
    } else if (!m_known.insert(key).second) {
        entry.reason = kSubscribedReason;
        key.clear();
    }
    (key.empty() ? result.skipped : result.added).push_back(std::move(entry));
    return key;
}

bool COpmlExchange::LoadDocument(const std::string& path, CXmlDocument& doc, std::string& error) {
    std::string bytes;
    if (!CFileUtil::ReadFile(path, bytes)) {
        error = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    // A list without a declaration is UTF-8 by the rules of XML, but Chinese readers have written
    // GB2312 lists without saying so.
    if (CXmlDocument::DeclaredEncoding(bytes).empty() && !CTextCodec::IsValidUtf8(bytes))
        bytes = CTextCodec::GbkToUtf8(bytes);
    if (!doc.LoadText(bytes) && !doc.LoadText(bytes, CXmlDocument::kLenient)) {
        error = doc.GetLastError();
        return false;
    }
    if (!doc.Root() || doc.Root().GetName() != "opml" || doc.SelectNode("/opml/body").IsNull()) {
        error = path + ": no /opml/body";
        return false;
    }
    return true;
}

std::vector<OpmlOutline> COpmlExchange::OutlinesOf(const CXmlNode& parent) {
    std::vector<OpmlOutline> out;
    for (const CXmlNode& node : OutlineChildren(parent)) {
        OpmlOutline outline{.title = NameOf(node),
                            .xmlUrl = node.GetAttribute("xmlUrl"),
                            .htmlUrl = node.GetAttribute("htmlUrl")};
        outline.children = OutlinesOf(node);
        out.push_back(std::move(outline));
    }
    return out;
}

bool COpmlExchange::ReadOutlines(const std::string& path, std::vector<OpmlOutline>& outlines,
                                 std::string& error) {
    CXmlDocument doc;
    if (!LoadDocument(path, doc, error))
        return false;
    outlines = OutlinesOf(doc.SelectNode("/opml/body"));
    return true;
}

bool COpmlExchange::WriteOutlines(const std::string& path, const std::vector<OpmlOutline>& outlines,
                                  std::string& error) {
    CXmlDocument doc;
    if (!doc.LoadText(CRssChannelFile::kEmptyFile)) {
        error = doc.GetLastError();
        return false;
    }
    AppendOutlines(doc.SelectNode("/opml/body"), outlines);
    if (!doc.SaveFile(path)) {
        error = doc.GetLastError();
        return false;
    }
    return true;
}

bool COpmlExchange::ExportAll(const std::string& channelFile, const std::string& dest,
                              std::string& error) {
    CXmlDocument doc;
    if (!LoadDocument(channelFile, doc, error))
        return false;
    std::string outlines;
    for (CXmlNode node : OutlineChildren(doc.SelectNode("/opml/body"))) {
        PrepareForExport(node);
        outlines += node.GetXml();
    }
    return WriteExport(dest, outlines, error);
}

std::string COpmlExchange::ExportDocumentText(const std::string& outlineXml) {
    return std::string("<?xml version=\"1.0\" encoding=\"gb2312\"?><opml version=\"2.0\"><head>"
                       "<title>妙笔RSS阅读收藏</title><dateCreated>") +
           CFeedDate::ToRfc822(CFeedDate::Now()) + "</dateCreated></head><body>" + outlineXml +
           "</body></opml>";
}

bool COpmlExchange::ExportOutline(const std::string& channelFile, const OutlinePath& path,
                                  const std::string& dest, std::string& error) {
    CRssChannelFile file(channelFile);
    if (const StoreResult opened = file.Open(); !opened) {
        error = opened.reason;
        return false;
    }
    CXmlNode outline = file.Outline(path);
    if (path.empty() || !outline) {
        error = CReasonText::Text(Reason::kNoOutlineAt, {CRssChannelFile::PathText(path)});
        return false;
    }
    // Changed only in memory: the channel file is not written.
    PrepareForExport(outline);
    return WriteExport(dest, outline.GetXml(), error);
}

void COpmlExchange::PrepareForExport(CXmlNode outline) {
    // Other readers name an outline by its text, which every outline must have; ours keep the
    // title as well. A folder's empty xmlUrl would read as a broken feed elsewhere.
    if (outline.HasAttribute("title"))
        outline.SetAttribute("text", outline.GetAttribute("title"));
    else if (!outline.HasAttribute("text"))
        outline.SetAttribute("text", outline.GetAttribute("xmlUrl"));
    if (outline.HasAttribute("xmlUrl") && outline.GetAttribute("xmlUrl").empty())
        outline.RemoveAttribute("xmlUrl");
    else if (outline.HasAttribute("xmlUrl") && !outline.HasAttribute("type"))
        outline.SetAttribute("type", "rss");
    for (const CXmlNode& child : OutlineChildren(outline))
        PrepareForExport(child);
}

bool COpmlExchange::WriteExport(const std::string& dest, const std::string& outlineXml,
                                std::string& error) {
    if (!CFileUtil::WriteFile(dest, CXmlText::Utf8DocumentToGbk(ExportDocumentText(outlineXml)))) {
        error = dest + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}

bool COpmlExchange::MergeInto(const std::string& channelFile, const OutlinePath& under,
                              const std::vector<OpmlOutline>& source, OpmlMergeResult& result,
                              std::string& error) {
    result = {};
    CRssChannelFile file(channelFile);
    if (const StoreResult opened = file.Open(); !opened) {
        error = opened.reason;
        return false;
    }
    CXmlNode parent = file.Outline(under);
    if (!parent) {
        error = CReasonText::Text(Reason::kNoOutlineAt, {CRssChannelFile::PathText(under)});
        return false;
    }
    CMerge merge{.result = result};
    CollectAddresses(file.Body(), merge.known);
    merge.Into(parent, source, "");
    if (result.added.empty())
        return true;
    // The outlines were added on the open document; one write for the whole list.
    file.BeginBatch();
    if (const StoreResult saved = file.EndBatch(); !saved) {
        error = saved.reason;
        return false;
    }
    return true;
}

// ---- The import arrangement ----

COpmlImport::COpmlImport(const CAppContext& context)
    : m_context(context), m_channelFile(context.FilePath("Storage\\rssreader.opml")),
      m_workingCopy(context.FilePath("Temp\\temp.opml")) {}

COpmlImport::~COpmlImport() {
    // A dialog closed any other way leaves no working copy behind either.
    if (m_open)
        Cancel();
}

bool COpmlImport::Begin(std::string& error) {
    std::string contents;
    if (!CFileUtil::ReadFile(m_channelFile, contents)) {
        error = m_channelFile + ": " + CFileUtil::LastErrorText();
        return false;
    }
    if (!CFileUtil::WriteFileAtomic(m_workingCopy, contents)) {
        error = m_workingCopy + ": " + CFileUtil::LastErrorText();
        return false;
    }
    m_open = true;
    if (!COpmlExchange::ReadOutlines(m_workingCopy, m_target, error)) {
        Cancel();
        return false;
    }
    return true;
}

bool COpmlImport::LoadSource(const std::string& path) {
    std::string error;
    std::vector<OpmlOutline> outlines;
    if (!COpmlExchange::ReadOutlines(path, outlines, error))
        return false;
    m_source = std::move(outlines);
    return true;
}

bool COpmlImport::LoadSourceFromUrl(const std::string& url, std::string& message) {
    if (url.empty() || !DownloadUrlToTempFile(m_context, url)) {
        message = COpmlExchange::kInvalidLinkText;
        return false;
    }
    const std::string scratch = MakeTempFilePath(m_context, url);
    const bool loaded = LoadSource(scratch);
    CFileUtil::RemoveFile(scratch);
    if (!loaded) {
        message = COpmlExchange::kUnknownFormatText;
        return false;
    }
    return true;
}

const OpmlOutline* COpmlImport::Find(const std::vector<OpmlOutline>& outlines,
                                     const OutlinePath& path) {
    const std::vector<OpmlOutline>* level = &outlines;
    const OpmlOutline* found = nullptr;
    for (int position : path) {
        if (position < 0 || position >= static_cast<int>(level->size()))
            return nullptr;
        found = &(*level)[position];
        level = &found->children;
    }
    return found;
}

bool COpmlImport::Drop(const OutlinePath& source, const OutlinePath& target, OutlinePath* newPath,
                       OpmlMergeResult* result) {
    OpmlMergeResult taken;
    if (!Find(m_source, source))
        return false;
    const bool written = DropMany({source}, target, taken, newPath);
    if (result)
        *result = std::move(taken);
    return written;
}

bool COpmlImport::DropMany(const std::vector<OutlinePath>& sources, const OutlinePath& target,
                           OpmlMergeResult& result, OutlinePath* newPath) {
    result = {};
    if (newPath)
        newPath->clear();
    if (!m_open)
        return false;
    std::vector<OutlinePath> order = sources;
    std::sort(order.begin(), order.end());
    OutlinePath level = target;
    std::vector<OpmlOutline>* into = &m_target;
    const OpmlOutline* onto = target.empty() ? nullptr : Find(m_target, target);
    if (onto && onto->IsDirectory()) {
        for (int position : target)
            into = &(*into)[position].children;
    } else {
        level.clear();
    }
    COpmlFeedFilter filter;
    filter.Know(m_target);
    std::vector<OutlinePath> taken;
    for (const OutlinePath& source : order) {
        const OpmlOutline* dragged = Find(m_source, source);
        if (!dragged || std::any_of(taken.begin(), taken.end(), [&](const OutlinePath& parent) {
                return IsBelow(source, parent);
            }))
            continue;
        taken.push_back(source);
        const int at = MergeOutline(*into, *dragged, "", filter, result);
        if (at >= 0 && newPath) {
            *newPath = level;
            newPath->push_back(at);
        }
    }
    m_result.Append(result);
    std::string error;
    return COpmlExchange::WriteOutlines(m_workingCopy, m_target, error);
}

bool COpmlImport::DropAll(OpmlMergeResult& result) {
    std::vector<OutlinePath> all;
    for (int i = 0; i < static_cast<int>(m_source.size()); ++i)
        all.push_back({i});
    return DropMany(all, {}, result);
}

bool COpmlImport::Commit(std::string& error) {
    if (!m_open) {
        error = CReasonText::Text(Reason::kImportNotBegun);
        return false;
    }
    if (!COpmlExchange::WriteOutlines(m_channelFile, m_target, error))
        return false;
    Cancel();
    return true;
}

void COpmlImport::Cancel() {
    CFileUtil::RemoveFile(m_workingCopy);
    m_open = false;
}
