#include "export/EbookMaker.h"

#include "export/ArticleBackup.h"
#include "platform/text/ReasonText.h"
#include "reader/ChannelTree.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedDatabase.h"

#include <algorithm>

namespace {

std::vector<EbookArticle> ArticlesOf(const std::vector<FeedItem>& items) {
    std::vector<EbookArticle> articles;
    articles.reserve(items.size());
    for (const FeedItem& item : items) {
        articles.push_back({.title = item.title,
                            .link = item.link,
                            .date = item.pubDate,
                            .author = item.author,
                            .content = item.description});
    }
    return articles;
}

EbookSourceResult Failed(std::string reason) {
    return {.ok = false, .empty = false, .reason = std::move(reason), .source = {}};
}

EbookSourceResult Empty(std::string reason) {
    return {.ok = false, .empty = true, .reason = std::move(reason), .source = {}};
}

bool Cancelled(const CCancelToken* cancel) {
    return cancel && cancel->IsCancelled();
}

// Reads the chosen feed items, at most `limit` of them, and appends them to the articles.
ExportResult ReadFeedItems(const EbookFeedItems& chosen, int limit, const CCancelToken* cancel,
                           std::vector<EbookArticle>& articles) {
    CFeedDatabase store(chosen.storePath);
    if (const StoreResult opened = store.OpenStore(); !opened)
        return ExportResult::Failed(opened.reason);
    for (const int feedId : chosen.feedIds) {
        const int left = limit - static_cast<int>(articles.size());
        if (left <= 0)
            break;
        if (Cancelled(cancel))
            return ExportResult::Failed(CReasonText::Text(Reason::kCancelled));
        std::vector<FeedItem> part;
        int total = 0;
        if (const StoreResult read =
                store.GetItemPage(feedId, chosen.filter, true, part, total, left, 0);
            !read)
            return ExportResult::Failed(read.reason);
        std::vector<EbookArticle> more = ArticlesOf(part);
        articles.insert(articles.end(), std::make_move_iterator(more.begin()),
                        std::make_move_iterator(more.end()));
    }
    if (articles.empty())
        return ExportResult::Failed(CEbookMaker::kNoItemsText);
    return ExportResult::Done();
}

} // namespace

EbookSourceResult CEbookMaker::FromFolder(CArticleDatabase& store, const std::string& account,
                                          int folder) {
    EbookSourceResult result{.ok = true, .empty = false, .reason = {}, .source = {.weblog = true}};
    std::vector<ArticleRecord> records;
    StoreResult read;
    if (!(read = store.GetArticlePage(folder, account, records, kFolderLimit, 0)) ||
        !(read = store.GetFolderCategories(folder, account, result.source.categories)))
        return Failed(read.reason);
    if (records.empty())
        return Empty(CArticleBackup::kEmptyFolderText);
    for (const ArticleRecord& record : records) {
        result.source.articles.push_back({.title = record.title,
                                          .date = record.pubDate,
                                          .author = account,
                                          .category = record.category,
                                          .content = record.content});
    }
    return result;
}

EbookSourceResult CEbookMaker::FromChannel(CChannelTree& tree, CFeedDatabase& store, int index,
                                           ItemFilter filter) {
    std::vector<ChannelFeed> channels;
    if (const StoreResult found = tree.ChannelFeedsBelow(index, store, channels); !found)
        return Failed(found.reason);
    // Counted here, for the question before a book over the limit; read while it is made.
    EbookFeedItems chosen{.storePath = store.GetPath(), .feedIds = {}, .filter = filter};
    for (const ChannelFeed& channel : channels) {
        std::vector<FeedItem> none;
        int total = 0;
        if (const StoreResult counted =
                store.GetItemPage(channel.feedId, filter, false, none, total, 0, 0);
            !counted)
            return Failed(counted.reason);
        chosen.feedIds.push_back(channel.feedId);
        chosen.count += total;
    }
    if (chosen.count == 0)
        return Empty(kNoItemsText);
    return {.ok = true,
            .empty = false,
            .reason = {},
            .source = {.articles = {},
                       .categories = {},
                       .weblog = false,
                       .suggestedTitle = index >= 0 ? tree.Record(index).title : std::string(),
                       .feedItems = std::move(chosen)}};
}

EbookSourceResult CEbookMaker::FromFavoriteBox(CFeedDatabase& store, int boxId) {
    std::vector<FeedItem> items;
    if (boxId != 0) {
        if (const StoreResult read = store.GetFavoriteItems(boxId, true, items); !read)
            return Failed(read.reason);
    }
    if (items.empty())
        return Empty(kEmptyBoxText);
    return FromFeedItems(items, {});
}

EbookSourceResult CEbookMaker::FromFeedItems(const std::vector<FeedItem>& items,
                                             std::string suggestedTitle) {
    if (items.empty())
        return Empty(kNoItemsText);
    return {.ok = true,
            .empty = false,
            .reason = {},
            .source = {.articles = ArticlesOf(items),
                       .categories = {},
                       .weblog = false,
                       .suggestedTitle = std::move(suggestedTitle)}};
}

int CEbookMaker::ItemsOverLimit(const EbookSource& source) {
    const int count =
        source.feedItems ? source.feedItems->count : static_cast<int>(source.articles.size());
    return !source.weblog && count > kFeedItemLimit ? count : 0;
}

void CEbookMaker::KeepLimit(EbookSource& source) {
    if (!ItemsOverLimit(source))
        return;
    if (source.feedItems)
        source.feedItems->count = kFeedItemLimit;
    else
        source.articles.resize(kFeedItemLimit);
}

std::string CEbookMaker::TooManyItemsQuestion(int count) {
    return "您选择的项目文章数过多(" + std::to_string(count) +
           "篇)，\r\n生成需要一些时间(太多的文章可能导致失败!)，\r\n要生成程序会只保留1000篇,"
           "继续吗?";
}

std::string CEbookMaker::KeptFirstText(int count) {
    return "文章数过多(" + std::to_string(count) + "篇), 只保留前 " +
           std::to_string(kFeedItemLimit) + " 篇";
}

EbookResult CEbookMaker::Make(const CAppContext& context, EbookSource source,
                              const EbookRequest& request, CEbookObserver& observer) {
    EbookResult result;
    const CCancelToken* cancel = request.build.cancel;
    if (source.feedItems) {
        // Read on this thread: a large directory takes a while, and the window stays free.
        // As many as were counted when chosen (KeepLimit brought them to the limit).
        const int limit = std::min(source.feedItems->count, kFeedItemLimit);
        if (const ExportResult read =
                ReadFeedItems(*source.feedItems, limit, cancel, source.articles);
            !read) {
            result.cancelled = Cancelled(cancel);
            result.reason = read.reason;
            return result;
        }
        source.feedItems.reset();
    }
    if (request.pictures == EbookPictures::kDownload) {
        observer.OnStage(EbookStage::kDownloading);
        const std::vector<EbookPicture> pictures =
            CEbookBuilder::RewriteAllPictures(source.articles);
        CPictureDownloader downloader(context, observer);
        const bool finished = downloader.Download(pictures, cancel);
        result.picturesFetched = downloader.Downloaded();
        result.picturesFailed = downloader.FailedCount();
        if (!finished) {
            result.cancelled = true;
            result.reason = CReasonText::Text(Reason::kCancelled);
            return result;
        }
    }
    observer.OnStage(EbookStage::kCompiling);
    CEbookBuilder builder(context);
    const ExportResult built =
        builder.Build(source.articles, source.categories, request.build, &observer);
    result.made = built.ok;
    if (!result.made) {
        result.reason = built.reason;
        result.cancelled = Cancelled(cancel);
    } else {
        result.articleCount = static_cast<int>(source.articles.size());
    }
    return result;
}
