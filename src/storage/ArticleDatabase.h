#pragma once

#include "storage/ArticleFolder.h"
#include "storage/LocalDatabase.h"

#include <functional>
#include <string>
#include <vector>

class CAppContext;

// Folder codes (log_property): where an article lies within its account (see ArticleFolder).
inline constexpr int kFolderReceived = FolderCode(ArticleFolder::kReceived);
inline constexpr int kFolderSent = FolderCode(ArticleFolder::kSent);
inline constexpr int kFolderDrafts = FolderCode(ArticleFolder::kDrafts);
inline constexpr int kFolderTrash = FolderCode(ArticleFolder::kTrash);

// One local article. Texts are UTF-8; pubDate has the form "YYYY-MM-DD HH:MM:SS".
struct ArticleRecord {
    int id = 0;           // log_id, the article's local id
    std::string title;    // log_title
    std::string content;  // log_content, HTML
    std::string pubDate;  // log_pubDate
    std::string category; // log_category
    std::string guid;     // log_guid: the post id on the server, empty when never published
    std::string tags;     // log_tags: the post's tags (keywords), comma-separated as typed
    // Kept in memory by the callers for their own use; never stored.
    std::string extra1;
    std::string extra2;
};

// Where an article lies: its account (log_author) and folder code (log_property).
struct ArticlePlace {
    std::string account;
    int folder = 0;
};

// The weblog articles of every account, kept in Storage/blog.db (table blog_article). Lists,
// counts and deletes always name both the folder and the account; an account's articles are
// those stored under its exact name (or the form an older store wrote it in).
//
// Every operation answers a StoreResult (done, or the reason it was not); none throws, and a batch
// that fails part-way leaves the file as it was before the batch. Lists given to be filled are
// replaced by the result (GetFolderCategories appends instead).
class CArticleDatabase : public CLocalDatabase {
public:
    // Brings a date text from a weblog server into the form "YYYY-MM-DD HH:MM:SS".
    using DateNormalizer = std::function<void(std::string&)>;

    // The store of the context's program directory, Storage/blog.db (its path: PathOf).
    explicit CArticleDatabase(const CAppContext& context);
    // The store at path.
    explicit CArticleDatabase(std::string path);
    static std::string PathOf(const CAppContext& context);

    // The dates of fetched posts pass through this before they are stored; without one they are
    // stored as given. The feed reader's date routine understands the servers' date forms.
    void SetDateNormalizer(DateNormalizer normalizer) { m_normalizeDate = std::move(normalizer); }

    StoreResult CountArticles(int folder, const std::string& account, int& count);
    // count rows from the offset-th on (0-based), in the order the articles were stored.
    StoreResult GetArticlePage(int folder, const std::string& account,
                               std::vector<ArticleRecord>& list, int count, int offset);
    // Not found: the reason "没有对应id的文章".
    StoreResult GetArticle(int id, ArticleRecord& record);
    StoreResult GetArticleGuid(int id, std::string& guid);
    // Not found: the reason "没有对应id的文章".
    StoreResult GetArticlePlace(int id, ArticlePlace& place);
    // Appends each distinct category of the folder (the empty one too).
    StoreResult GetFolderCategories(int folder, const std::string& account,
                                    std::vector<std::string>& list);

    // Stores a new article without a post id; GetLastInsertId() gives its id.
    StoreResult InsertArticle(int folder, const std::string& account, const ArticleRecord& record);
    // A copy under a new id and without the post id, so publishing it makes a new post.
    StoreResult CopyArticle(int id, int folder, const std::string& account);
    // Stores an article just published: title, category, content, guid (the new post id) and
    // pubDate of the record; an empty pubDate becomes the current local time.
    StoreResult InsertPublishedArticle(int folder, const std::string& account,
                                       const ArticleRecord& post);
    // All records in one transaction, in list order, with their post ids.
    StoreResult InsertReceivedArticles(int folder, const std::string& account,
                                       const std::vector<ArticleRecord>& list);
    // The refresh after fetching recent posts: the folder's copies of the listed posts (by post
    // id) give way to the fetched ones; other articles stay.
    StoreResult ReplaceReceivedArticles(int folder, const std::string& account,
                                        const std::vector<ArticleRecord>& list);

    // Writes the title, category and content of the record over those of article id, which
    // keeps its folder, account, date and post id. Not found: the reason "没有对应id的文章".
    StoreResult UpdateArticle(int id, const ArticleRecord& record);
    StoreResult SetArticleFolder(int id, int folder);
    // Moves an article into a folder of any account. Moved to another account it loses its
    // post id, which names a post of the old account's weblog: publishing it makes a new post.
    StoreResult MoveArticle(int id, int folder, const std::string& account);
    StoreResult SetArticlePublished(int id, int folder, const std::string& guid);
    StoreResult DeleteArticle(int id);
    StoreResult DeleteFolderArticles(int folder, const std::string& account);
    StoreResult DeleteAccountArticles(const std::string& account);

    // Rebuilds the file to give back the space of deleted articles.
    StoreResult CompactDatabase();

protected:
    void CreateSchema(CSqlDatabase& db) override;

private:
    // Binds the account name at index and index + 1, for "log_author IN (?n, ?n+1)".
    void BindAccount(CSqlStatement& statement, int index, const std::string& account) const;
    void InsertRecords(CSqlDatabase& db, int folder, const std::string& account,
                       const std::vector<ArticleRecord>& list);

    DateNormalizer m_normalizeDate;
    // The file may hold texts that an older store wrote in GBK.
    bool m_legacyText = true;
};
