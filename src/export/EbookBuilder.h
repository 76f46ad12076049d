#pragma once

#include "platform/http/CancelToken.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedItem.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CChannelTree;
class CFeedDatabase;

// One page of an e-book, in the order the caller gives.
struct EbookArticle {
    std::string title;
    std::string link;
    std::string date;
    std::string author;
    std::string category;
    std::string content; // HTML
};

// A picture of the articles that the book carries inside: its address and the name of its
// file in the book ("images/<k><extension>", k its position in the list from 0).
struct EbookPicture {
    std::string source;
    std::string localName;
};

enum class EbookContents {
    kFlat,       // one entry per article
    kByCategory, // one group per category, with that category's articles
};

struct EbookOptions {
    std::string outputPath; // the .chm file
    std::string title;      // the book's title (its window and project title)
    EbookContents contents = EbookContents::kFlat;
    // The help compiler: Free Pascal's chmcmd from PATH unless another program is named.
    std::string compiler = "chmcmd";
    // How long the compiler may run (some 15 seconds make 1,000 articles; 9,999 is the most).
    std::chrono::seconds compileTimeout{600};
    // Raised to stop the build: the pages stop being written, a running compiler is killed.
    const CCancelToken* cancel = nullptr;
};

// What the builder tells while it works: the lines of the status box.
class CEbookLog {
public:
    virtual ~CEbookLog() = default;
    virtual void OnLogLine(const std::string& line) = 0;
};

// Binds articles into a compiled help file (.chm): an index page and one page per article made
// from the templates of Data/CHMSkin, the project MyLogCHM.hhp and the contents MyLogCHM.hhc,
// assembled in Temp/CHMTemp and compiled by Free Pascal's chmcmd.
//
// The pages are UTF-8 with every character outside ASCII written as a character reference:
// chmcmd's full-text indexer crashes on some pages whose title and text hold multibyte
// characters, and references read the same in every viewer. (No charset makes Chinese words
// searchable: that indexer counts only ASCII letters and digits as word characters, so GBK
// pages would give an index of byte fragments.) The project and contents files are GBK, as the
// book's language (0x804) tells viewers; the output path in the project stays in the bytes the
// file system knows it by.
class CEbookBuilder {
public:
    // Feed channels hand over at most this many items (the caller asks first).
    static constexpr int kFeedItemLimit = 1000;
    // A weblog folder hands over at most this many articles.
    static constexpr int kFolderLimit = 9999;

    // Finds the pictures of one article's content, appends the new ones to the list (an address
    // already listed keeps its number) and points the content at their files in the book.
    static void RewritePictures(std::string& content, std::vector<EbookPicture>& pictures);
    // The same over every article, in order; gives the list of pictures to download.
    static std::vector<EbookPicture> RewriteAllPictures(std::vector<EbookArticle>& articles);
    // Where the download of a picture goes.
    static std::string PictureFilePath(const EbookPicture& picture);

    // The contents file's text (UTF-8, CRLF lines). Grouped only when asked and there is at least
    // one category; an article whose category is in no group is then not listed.
    static std::string BuildContents(const std::vector<EbookArticle>& articles,
                                     const std::vector<std::string>& categories,
                                     EbookContents contents);
    // The project file's text (UTF-8, CRLF lines).
    static std::string BuildProject(const EbookOptions& options, int articleCount);
    // Passes what the compiler printed to the log: its warnings and errors under Chinese labels,
    // and, when it failed, every other line too.
    static void SayCompilerOutput(const std::string& output, bool failed,
                                  const std::function<void(const std::string&)>& say);
    // A title as a contents entry shows it: quotes become single quotes, angle brackets spaces.
    static std::string ContentsTitle(const std::string& title);
    // Every character outside ASCII as a character reference.
    static std::string AsciiHtml(const std::string& utf8);

    // The file name offered for a new book: "我的日志 " and the local time as "%Y-%m-%d %H%M%S".
    static std::string DefaultFileName();
    // The question asked before a channel with more than kFeedItemLimit items is bound.
    static std::string TooManyItemsQuestion(int count);
    static constexpr const char* kNoItemsText =
        "您选择的显示项目没有文章!\r\n可选择该频道的全部项目.";
    static constexpr const char* kEmptyBoxText = "您选择的收藏夹没有文章!\r\n";
    // The working folder, Temp/CHMTemp.
    static std::string WorkFolder();

    // Writes the working files and compiles the book; true when the compiler made it. Every step
    // and the compiler's own output go to the log; GetLastError() says why a build failed (a
    // cancelled build: "已取消").
    bool Build(const std::vector<EbookArticle>& articles,
               const std::vector<std::string>& categories, const EbookOptions& options,
               CEbookLog* log);
    const std::string& GetLastError() const { return m_lastError; }

    // The sources of a book.
    // A weblog folder: its articles in store order (the account as author, no link) and the
    // distinct categories of the folder.
    static int LoadFolderArticles(CArticleDatabase& store, const std::string& account, int folder,
                                  std::vector<EbookArticle>& articles,
                                  std::vector<std::string>& categories);
    // Feed items (a channel's, or a favorites box's): the item's title, link, date, author and
    // text.
    static std::vector<EbookArticle> FromFeedItems(const std::vector<FeedItem>& items);
    // Every item of a channel the filter shows, newest first; false with the reason in error.
    static bool LoadChannelItems(CChannelTree& tree, CFeedDatabase& store, int index,
                                 ItemFilter filter, std::vector<FeedItem>& items,
                                 std::string& error);

private:
    bool Fail(CEbookLog* log, std::string reason);

    std::string m_lastError;
};
