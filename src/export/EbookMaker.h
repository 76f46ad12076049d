#pragma once

#include "export/EbookBuilder.h"
#include "export/PictureDownloader.h"
#include "storage/FeedItem.h"

#include <optional>
#include <string>
#include <vector>

class CAppContext;
class CArticleDatabase;
class CChannelTree;
class CFeedDatabase;

// Feed items chosen but not read yet: what the filter shows of each channel, newest first,
// channel after channel. They are read when the book is made, on the thread that makes it and
// through a connection of its own, and a book takes the first CEbookMaker::kFeedItemLimit.
struct EbookFeedItems {
    std::string storePath;    // the feed store
    std::vector<int> feedIds; // in tree order
    ItemFilter filter = ItemFilter::kAll;
    int count = 0; // what the filter showed when they were chosen
};

// What a book is bound from, gathered from one of its sources.
struct EbookSource {
    std::vector<EbookArticle> articles; // in the book's order
    // A weblog folder's distinct categories (the contents may be grouped by them).
    std::vector<std::string> categories;
    bool weblog = false;        // a weblog folder's articles (else feed items)
    std::string suggestedTitle; // the feed side's: the channel's title
    // A channel's (or a directory's) items, read into the articles when the book is made.
    std::optional<EbookFeedItems> feedItems;
};

// A source gathered, or why there is none ("当前文件夹没有日志!" for an empty folder, a store's
// reason, ...).
struct EbookSourceResult {
    bool ok = false;
    bool empty = false; // not a failure: there is nothing to bind (the reason says so)
    std::string reason;
    EbookSource source;
};

enum class EbookPictures {
    kLeaveOnline, // the pages point at the pictures' addresses
    kDownload,    // the pictures are fetched into the book
};

// How a book is made: the builder's options and what happens to the pictures.
struct EbookRequest {
    EbookOptions build;
    EbookPictures pictures = EbookPictures::kLeaveOnline;
};

enum class EbookStage {
    kDownloading, // the pictures are being fetched
    kCompiling,   // the pages are written and compiled
};

// What a book being made tells: its log lines, the downloads' progress and its stages.
class CEbookObserver : public CPictureDownloadObserver {
public:
    virtual void OnStage(EbookStage stage) = 0;
};

// How making a book ended.
struct EbookResult {
    bool made = false;
    bool cancelled = false;
    std::string reason; // why no book was made
    int articleCount = 0; // the articles bound
    int picturesFetched = 0;
    int picturesFailed = 0;
};

// Making an e-book, for the window and the cli alike: the source is chosen (a weblog folder, a
// channel, every channel below a directory, a favorites box), held to its limit, and bound with
// or without its pictures.
class CEbookMaker {
public:
    // Feed items bound at most (the window asks first, the cli says so); the first ones are kept.
    static constexpr int kFeedItemLimit = 1000;
    // A weblog folder hands over at most this many articles.
    static constexpr int kFolderLimit = 9999;
    static constexpr const char* kNoItemsText =
        "您选择的显示项目没有文章!\r\n可选择该频道的全部项目.";
    static constexpr const char* kEmptyBoxText = "您选择的收藏夹没有文章!\r\n";

    // A weblog folder: its articles in store order (the account as author, no link) and the
    // distinct categories of the folder.
    static EbookSourceResult FromFolder(CArticleDatabase& store, const std::string& account,
                                        int folder);
    // A channel's items that the filter shows, newest first; for a directory, those of every
    // channel below it, in tree order. The suggested title is the tree item's. Only the feed ids
    // and the counts are looked up here: the items are read by Make.
    static EbookSourceResult FromChannel(CChannelTree& tree, CFeedDatabase& store, int index,
                                         ItemFilter filter);
    // A favorites box's items (by the box's id), newest first.
    static EbookSourceResult FromFavoriteBox(CFeedDatabase& store, int boxId);
    // Feed items as they are; none: kNoItemsText.
    static EbookSourceResult FromFeedItems(const std::vector<FeedItem>& items,
                                           std::string suggestedTitle);

    // More feed items than a book takes: the count, else 0.
    static int ItemsOverLimit(const EbookSource& source);
    // Keeps the first kFeedItemLimit feed items (of those not read yet too).
    static void KeepLimit(EbookSource& source);
    // The question asked before a source over the limit is cut.
    static std::string TooManyItemsQuestion(int count);
    // What the cli says when it cuts one.
    static std::string KeptFirstText(int count);

    // Makes the book on the calling thread (a job's, or the cli's): the feed items not read yet
    // are read first, then the pictures, when asked for, are fetched into the working folder (a
    // picture that cannot be fetched is logged and left out), then the pages are written and
    // compiled. request.build.cancel stops it between channels, between pictures, between pages
    // and in the compiler.
    // The working folder and skin are those of the context's program directory.
    static EbookResult Make(const CAppContext& context, EbookSource source,
                            const EbookRequest& request, CEbookObserver& observer);
};
