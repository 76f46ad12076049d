#pragma once

#include "app/AppContext.h"
#include "export/ExportResult.h"
#include "platform/http/CancelToken.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

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
    // How long the compiler may run; 0: CompileTimeLimit of the book's size.
    std::chrono::seconds compileTimeout{0};
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
    // Works in the context's program directory: its working folder and its skin (Data/CHMSkin).
    explicit CEbookBuilder(const CAppContext& context) : m_context(context) {}

    // Finds the pictures of one article's content, appends the new ones to the list (an address
    // already listed keeps its number) and points the content at their files in the book.
    static void RewritePictures(std::string& content, std::vector<EbookPicture>& pictures);
    // The same over every article, in order; gives the list of pictures to download.
    static std::vector<EbookPicture> RewriteAllPictures(std::vector<EbookArticle>& articles);
    // Where the download of a picture goes (in the WorkFolder of the program directory).
    static std::string PictureFilePath(const CAppContext& context, const EbookPicture& picture);

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
    // The working folder of a program directory, Temp/CHMTemp.
    static std::string WorkFolder(const CAppContext& context);
    // How long the compiler may run on a book of so many articles: ten minutes, and a minute
    // more for every thousand articles (it takes some 15 seconds for a thousand; 9,999 is the
    // most a book holds).
    static std::chrono::seconds CompileTimeLimit(int articleCount);

    // Writes the working files and compiles the book; done when the compiler made it, else why
    // not (a cancelled build: "已取消"). Every step, the compiler's own output and the reason of
    // a failure go to the log.
    ExportResult Build(const std::vector<EbookArticle>& articles,
                       const std::vector<std::string>& categories, const EbookOptions& options,
                       CEbookLog* log);

private:
    CAppContext m_context;
};
