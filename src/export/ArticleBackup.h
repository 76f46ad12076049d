#pragma once

#include "export/ExportResult.h"
#include "storage/ArticleDatabase.h"

#include <string>
#include <vector>

// The RSS backup of weblog articles: an RSS 2.0 document in GBK under a "gb2312" declaration,
// one item per article (title, category, body and date in CDATA sections), items numbered from 1
// in file order. Articles come back as new drafts.
//
// Reading also understands the RSS 2.0 and Atom documents that weblog engines export (a
// WordPress feed of posts, for instance), so a weblog's history can be brought in: there the
// full body (content:encoded, Atom content) is preferred to a summary, the first category is
// kept and dates are brought into the store's form.
class CArticleBackup {
public:
    // Writes the articles to the file (replaced atomically). A character GBK cannot hold becomes
    // a character reference between CDATA sections, "]]>" is split over two sections, and a
    // carriage return is written as a reference so that it survives reading; characters XML
    // cannot carry at all (control characters) are left out. The document is read back before
    // it is written, so a file that is written can always be imported.
    static ExportResult ExportBackup(const std::string& path,
                                     const std::vector<ArticleRecord>& articles);
    // Reads the articles of a backup (or an engine's feed) in file order. A missing category or
    // date is read as "NULL". Fails, with the reason, when the file cannot be read, is not XML,
    // or holds no article.
    static ExportResult ImportBackup(const std::string& path, std::vector<ArticleRecord>& articles);

    // The backup document as UTF-8 text (before the conversion to GBK).
    static std::string BuildDocument(const std::vector<ArticleRecord>& articles);

    // What the windows and the cli show afterwards.
    static std::string ExportedText(int count); // "3 篇文章导出成功"
    static std::string ImportedText(int count); // "导入成功 3 篇日志"
    static constexpr const char* kEmptyFolderText = "当前文件夹没有日志!";
    // The file name offered for an export: the local time as "%Y-%m-%d %H%M%S" plus ".xml".
    static std::string DefaultFileName();

    // The use-cases, with the failures reported (see GetReporter()).
    // Exports every article of the account's folder; an empty folder reports kEmptyFolderText
    // and writes nothing. count is the number written.
    static int ExportFolder(CArticleDatabase& store, const std::string& account, int folder,
                            const std::string& path, int& count);
    // Exports the articles with these ids, in the given order.
    static int ExportArticles(CArticleDatabase& store, const std::vector<int>& ids,
                              const std::string& path, int& count);
    // Reads the file and stores its articles in one batch as drafts (草稿箱) of the account,
    // without post ids. A file that cannot be read reports error 5001 and stores nothing; a
    // store failure reports the store's reason.
    static int ImportToDrafts(CArticleDatabase& store, const std::string& account,
                              const std::string& path, int& count);
};
