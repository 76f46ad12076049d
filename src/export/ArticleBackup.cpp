#include "export/ArticleBackup.h"

#include "app/Reporter.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedDate.h"

#include <ctime>

namespace {

constexpr const char* kProgramName = "妙笔 Quillmark";
constexpr const char* kBackupDescription = "博客日志备份文件(RSS2.0)";
constexpr const char* kContentNs = "http://purl.org/rss/1.0/modules/content/";
constexpr const char* kAtomNs = "http://www.w3.org/2005/Atom";
constexpr int kErrorUnreadableBackup = 5001;
// The most articles a folder hands over at once.
constexpr int kFolderLimit = 9999;

bool IsXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// A CDATA section that comes back exactly as the text was: "]]>" is split over two sections
// and a carriage return (which a parser turns into a line feed) goes between sections as a
// reference. Characters XML cannot carry are left out.
std::string BackupCData(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const char32_t c = CTextCodec::NextCodePoint(text, pos);
        if (c == 0xD) {
            clean += "]]>&#13;<![CDATA[";
            continue;
        }
        if (!IsXmlChar(c) || (c == 0xFFFD && text.substr(start, pos - start) != "\xEF\xBF\xBD"))
            continue;
        clean.append(text.substr(start, pos - start));
    }
    // Split "]]>" after the carriage returns went in: their own "]]>" must stay as it is.
    std::string out = "<![CDATA[";
    size_t from = 0;
    for (;;) {
        size_t hit = clean.find("]]>", from);
        // Skip the sections the carriage returns opened and closed.
        while (hit != std::string::npos && clean.compare(hit, 17, "]]>&#13;<![CDATA[") == 0) {
            out.append(clean, from, hit + 17 - from);
            from = hit + 17;
            hit = clean.find("]]>", from);
        }
        if (hit == std::string::npos) {
            out.append(clean, from, std::string::npos);
            break;
        }
        out.append(clean, from, hit + 2 - from);
        out += "]]><![CDATA[";
        from = hit + 2;
    }
    return out + "]]>";
}

std::string ChildText(const CXmlNode& parent, std::string_view name, bool& found) {
    const CXmlNode node = parent.Child(name);
    found = !node.IsNull();
    return found ? node.GetText() : std::string();
}

std::string OrNull(std::string text, bool found) {
    return found ? text : std::string("NULL");
}

// The body of an Atom entry: its content (or summary) as HTML.
std::string AtomBody(const CXmlNode& entry, bool& found) {
    CXmlNode node = entry.Child("content");
    if (node.IsNull())
        node = entry.Child("summary");
    found = !node.IsNull();
    if (!found)
        return {};
    const std::string type = node.GetAttribute("type");
    if (type == "xhtml") {
        const CXmlNode div = node.FirstChild();
        return div.IsNull() ? node.GetInnerXml() : div.GetInnerXml();
    }
    if (type == "html" || type == "text/html")
        return node.GetText();
    return CXmlText::Escape(node.GetText());
}

bool ReadRssItems(const CXmlNode& channel, bool backup, std::vector<ArticleRecord>& articles) {
    for (CXmlNode item = channel.FirstChild(); item; item = item.NextSibling()) {
        if (!item.HasName("item"))
            continue;
        bool hasTitle = false;
        bool hasBody = false;
        bool hasCategory = false;
        bool hasDate = false;
        ArticleRecord article;
        article.title = ChildText(item, "title", hasTitle);
        article.content = ChildText(item, "description", hasBody);
        if (!backup) {
            // Engines put the whole post into content:encoded and a summary into description.
            for (CXmlNode child = item.FirstChild(); child; child = child.NextSibling()) {
                if (child.HasName("encoded") && child.InNamespace(kContentNs)) {
                    article.content = child.GetText();
                    hasBody = true;
                    break;
                }
            }
        }
        // The first item without a title or a body ends the list.
        if (!hasTitle || !hasBody)
            break;
        const std::string category = ChildText(item, "category", hasCategory);
        article.category = OrNull(category, hasCategory);
        article.pubDate = ChildText(item, "pubDate", hasDate);
        if (hasDate && !backup)
            NormalizeFeedDate(article.pubDate);
        article.pubDate = OrNull(article.pubDate, hasDate);
        articles.push_back(std::move(article));
    }
    return true;
}

void ReadAtomEntries(const CXmlNode& feed, std::vector<ArticleRecord>& articles) {
    for (CXmlNode entry = feed.FirstChild(); entry; entry = entry.NextSibling()) {
        if (!entry.HasName("entry") || !entry.InNamespace(kAtomNs))
            continue;
        bool hasTitle = false;
        bool hasBody = false;
        ArticleRecord article;
        article.title = ChildText(entry, "title", hasTitle);
        article.content = AtomBody(entry, hasBody);
        if (!hasTitle || !hasBody)
            break;
        const CXmlNode category = entry.Child("category");
        article.category = category.IsNull() ? "NULL" : category.GetAttribute("term");
        CXmlNode date = entry.Child("published");
        if (date.IsNull())
            date = entry.Child("updated");
        if (date.IsNull()) {
            article.pubDate = "NULL";
        } else {
            article.pubDate = date.GetText();
            NormalizeFeedDate(article.pubDate);
        }
        articles.push_back(std::move(article));
    }
}

} // namespace

std::string CArticleBackup::BuildDocument(const std::vector<ArticleRecord>& articles) {
    std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?><rss version=\"2.0\"><channel>";
    text += std::string("<title>") + kProgramName + "</title><link></link>";
    text += std::string("<description>") + kBackupDescription + "</description>";
    int n = 0;
    for (const ArticleRecord& article : articles) {
        text += "<item id=\"" + std::to_string(++n) + "\">";
        text += "<title>" + BackupCData(article.title) + "</title>";
        text += "<category>" + BackupCData(article.category) + "</category>";
        text += "<description>" + BackupCData(article.content) + "</description>";
        text += "<pubDate>" + BackupCData(article.pubDate) + "</pubDate>";
        text += "</item>";
    }
    return text + "</channel></rss>";
}

ExportResult CArticleBackup::ExportBackup(const std::string& path,
                                          const std::vector<ArticleRecord>& articles) {
    const std::string bytes = CXmlText::Utf8DocumentToGbk(BuildDocument(articles));
    CXmlDocument check;
    if (!check.LoadText(bytes))
        return ExportResult::Failed("备份文件无法生成: " + check.GetLastError());
    if (!CFileUtil::WriteFileAtomic(path, bytes))
        return ExportResult::Failed(path + ": " + CFileUtil::LastErrorText());
    return ExportResult::Done();
}

ExportResult CArticleBackup::ImportBackup(const std::string& path,
                                          std::vector<ArticleRecord>& articles) {
    articles.clear();
    CXmlDocument doc;
    if (!doc.LoadFile(path))
        return ExportResult::Failed(path + ": " + doc.GetLastError());
    const CXmlNode root = doc.Root();
    if (root.HasName("rss")) {
        const CXmlNode channel = root.Child("channel");
        if (!channel.IsNull()) {
            const bool backup = channel.Child("description").GetText() == kBackupDescription;
            ReadRssItems(channel, backup, articles);
        }
    } else if (root.HasName("feed") && root.InNamespace(kAtomNs)) {
        ReadAtomEntries(root, articles);
    }
    if (articles.empty())
        return ExportResult::Failed(path + ": 文件中没有文章");
    return ExportResult::Done();
}

std::string CArticleBackup::ExportedText(int count) {
    return std::to_string(count) + " 篇文章导出成功";
}

std::string CArticleBackup::ImportedText(int count) {
    return "导入成功 " + std::to_string(count) + " 篇日志";
}

std::string CArticleBackup::DefaultFileName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H%M%S", &local);
    return std::string(text) + ".xml";
}

int CArticleBackup::ExportFolder(CArticleDatabase& store, const std::string& account, int folder,
                                 const std::string& path, int& count) {
    count = 0;
    std::vector<ArticleRecord> articles;
    if (StoreResult read = store.GetArticlePage(folder, account, articles, kFolderLimit, 0);
        !read) {
        GetReporter().ReportMessage(read.reason);
        return 0;
    }
    if (articles.empty()) {
        GetReporter().ReportMessage(kEmptyFolderText);
        return 0;
    }
    if (const ExportResult written = ExportBackup(path, articles); !written) {
        GetReporter().ReportMessage(written.reason);
        return 0;
    }
    count = static_cast<int>(articles.size());
    return 1;
}

int CArticleBackup::ExportArticles(CArticleDatabase& store, const std::vector<int>& ids,
                                   const std::string& path, int& count) {
    count = 0;
    std::vector<ArticleRecord> articles;
    for (int id : ids) {
        ArticleRecord article;
        if (StoreResult read = store.GetArticle(id, article); !read) {
            GetReporter().ReportMessage(read.reason);
            return 0;
        }
        articles.push_back(std::move(article));
    }
    if (articles.empty()) {
        GetReporter().ReportMessage(kEmptyFolderText);
        return 0;
    }
    if (const ExportResult written = ExportBackup(path, articles); !written) {
        GetReporter().ReportMessage(written.reason);
        return 0;
    }
    count = static_cast<int>(articles.size());
    return 1;
}

int CArticleBackup::ImportToDrafts(CArticleDatabase& store, const std::string& account,
                                   const std::string& path, int& count) {
    count = 0;
    std::vector<ArticleRecord> articles;
    if (const ExportResult read = ImportBackup(path, articles); !read) {
        ReportErrorWithReason(kErrorUnreadableBackup, read.reason);
        return 0;
    }
    for (ArticleRecord& article : articles)
        article.guid.clear();
    if (StoreResult stored = store.InsertReceivedArticles(kFolderDrafts, account, articles);
        !stored) {
        GetReporter().ReportMessage(stored.reason);
        return 0;
    }
    count = static_cast<int>(articles.size());
    return 1;
}
