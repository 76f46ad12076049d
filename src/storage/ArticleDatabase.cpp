#include "storage/ArticleDatabase.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "storage/StoreSql.h"

#include <unordered_set>

namespace {

constexpr const char* kArticleNotFound = "没有对应id的文章";

constexpr const char* kArticleColumns =
    "log_id, log_guid, log_title, log_category, log_content, log_pubDate, log_tags";

ArticleRecord ReadArticle(const CSqlQuery& row) {
    ArticleRecord record;
    record.id = row.GetInt(0);
    record.guid = row.GetText(1);
    record.title = row.GetText(2);
    record.category = row.GetText(3);
    record.content = row.GetText(4);
    record.pubDate = row.GetText(5);
    record.tags = row.GetText(6);
    return record;
}

} // namespace

CArticleDatabase::CArticleDatabase(const CAppContext& context) : CLocalDatabase(PathOf(context)) {}

CArticleDatabase::CArticleDatabase(std::string path) : CLocalDatabase(std::move(path)) {}

std::string CArticleDatabase::PathOf(const CAppContext& context) {
    return context.FilePath("Storage\\blog.db");
}

void CArticleDatabase::CreateSchema(CSqlDatabase& db) {
    // AUTOINCREMENT: an id is never given again, so the editor, which is told an article by its
    // id, can never open another article in place of a deleted one.
    CStoreSql::EnsureSchema(db,
                            {{"blog_article", "log_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                              "log_property INTEGER, log_author TEXT, "
                                              "log_guid TEXT, log_title TEXT, log_category TEXT, "
                                              "log_content TEXT, log_pubDate TEXT, log_tags TEXT"}},
                            {{"indexauthor", "blog_article", "log_author, log_property", nullptr}});
    // A store from before tags were kept gains their column; its articles have none.
    CStoreSql::EnsureColumns(db, "blog_article", {{"log_tags", "TEXT"}});
    m_legacyText = CStoreSql::MayHoldLegacyText(db);
}

void CArticleDatabase::BindAccount(CSqlStatement& statement, int index,
                                   const std::string& account) const {
    // As the name is written now, and as an older store wrote it.
    statement.Bind(index, account);
    statement.Bind(index + 1, m_legacyText ? CStoreSql::LegacyForm(account) : account);
}

StoreResult CArticleDatabase::CountArticles(int folder, const std::string& account, int& count) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement("SELECT count(*) FROM blog_article WHERE "
                                                   "log_property = ?1 AND log_author IN (?2, ?3);");
        select.Bind(1, folder);
        BindAccount(select, 2, account);
        count = static_cast<int>(select.ExecScalar().value_or(0));
    });
}

StoreResult CArticleDatabase::GetArticlePage(int folder, const std::string& account,
                                             std::vector<ArticleRecord>& list, int count,
                                             int offset) {
    std::vector<ArticleRecord> page;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            std::string("SELECT ") + kArticleColumns +
            " FROM blog_article WHERE log_property = ?1 AND log_author IN (?2, ?3)"
            " ORDER BY log_id LIMIT ?4 OFFSET ?5;");
        select.Bind(1, folder);
        BindAccount(select, 2, account);
        select.Bind(4, count).Bind(5, offset);
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
            page.push_back(ReadArticle(rows));
    });
    if (ok)
        list.swap(page);
    return ok;
}

StoreResult CArticleDatabase::GetArticle(int id, ArticleRecord& record) {
    bool found = false;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(std::string("SELECT ") + kArticleColumns +
                                                   " FROM blog_article WHERE log_id = ?1;");
        CSqlQuery row = select.Bind(1, id).ExecQuery();
        if (!row.IsEnd()) {
            record = ReadArticle(row);
            found = true;
        }
    });
    if (ok && !found) {
        return StoreResult::Failed(kArticleNotFound);
    }
    return ok;
}

StoreResult CArticleDatabase::GetArticleGuid(int id, std::string& guid) {
    bool found = false;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select =
            db.CompileStatement("SELECT log_guid FROM blog_article WHERE log_id = ?1;");
        CSqlQuery row = select.Bind(1, id).ExecQuery();
        if (!row.IsEnd()) {
            guid = row.GetText(0);
            found = true;
        }
    });
    if (ok && !found) {
        return StoreResult::Failed(kArticleNotFound);
    }
    return ok;
}

StoreResult CArticleDatabase::GetArticlePlace(int id, ArticlePlace& place) {
    bool found = false;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT log_author, log_property FROM blog_article WHERE log_id = ?1;");
        CSqlQuery row = select.Bind(1, id).ExecQuery();
        if (!row.IsEnd()) {
            place.account = row.GetText(0);
            place.folder = row.GetInt(1);
            found = true;
        }
    });
    if (ok && !found) {
        return StoreResult::Failed(kArticleNotFound);
    }
    return ok;
}

StoreResult CArticleDatabase::GetFolderCategories(int folder, const std::string& account,
                                                  std::vector<std::string>& list) {
    std::vector<std::string> found;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        // In the order the categories first appear in the folder.
        CSqlStatement select = db.CompileStatement(
            "SELECT log_category FROM blog_article WHERE log_property = ?1 AND log_author IN "
            "(?2, ?3) GROUP BY log_category ORDER BY min(log_id);");
        select.Bind(1, folder);
        BindAccount(select, 2, account);
        // NULL and '' both read as the empty text, and an older file's GBK bytes read as the
        // same text as its UTF-8 form: each text is listed once.
        std::unordered_set<std::string> seen;
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next()) {
            std::string category = rows.GetText(0);
            if (seen.insert(category).second)
                found.push_back(std::move(category));
        }
    });
    if (ok)
        list.insert(list.end(), found.begin(), found.end());
    return ok;
}

StoreResult CArticleDatabase::InsertArticle(int folder, const std::string& account,
                                            const ArticleRecord& record) {
    return RunInTransaction([&](CSqlDatabase& db) {
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO blog_article (log_property, log_author, log_title, log_category, "
            "log_content, log_pubDate, log_tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7);");
        insert.Bind(1, folder).Bind(2, account).Bind(3, record.title).Bind(4, record.category);
        insert.Bind(5, record.content).Bind(6, record.pubDate).Bind(7, record.tags).ExecDML();
    });
}

StoreResult CArticleDatabase::CopyArticle(int id, int folder, const std::string& account) {
    ArticleRecord record;
    if (StoreResult found = GetArticle(id, record); !found)
        return found;
    return InsertArticle(folder, account, record);
}

StoreResult CArticleDatabase::InsertPublishedArticle(int folder, const std::string& account,
                                                     const ArticleRecord& post) {
    return RunInTransaction([&](CSqlDatabase& db) {
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO blog_article (log_property, log_author, log_guid, log_title, "
            "log_category, log_content, log_pubDate, log_tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
            "?7, ?8);");
        insert.Bind(1, folder).Bind(2, account).Bind(3, post.guid).Bind(4, post.title);
        insert.Bind(5, post.category).Bind(6, post.content);
        insert.Bind(7, post.pubDate.empty() ? CStoreSql::LocalTimeText() : post.pubDate);
        insert.Bind(8, post.tags).ExecDML();
    });
}

void CArticleDatabase::InsertRecords(CSqlDatabase& db, int folder, const std::string& account,
                                     const std::vector<ArticleRecord>& list) {
    CSqlStatement insert = db.CompileStatement(
        "INSERT INTO blog_article (log_property, log_author, log_guid, log_title, log_category, "
        "log_content, log_pubDate, log_tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);");
    insert.Bind(1, folder).Bind(2, account);
    for (const ArticleRecord& record : list) {
        std::string pubDate = record.pubDate;
        if (m_normalizeDate)
            m_normalizeDate(pubDate);
        insert.Bind(3, record.guid).Bind(4, record.title).Bind(5, record.category);
        insert.Bind(6, record.content).Bind(7, pubDate).Bind(8, record.tags).ExecDML();
    }
}

StoreResult CArticleDatabase::InsertReceivedArticles(int folder, const std::string& account,
                                                     const std::vector<ArticleRecord>& list) {
    return RunInTransaction([&](CSqlDatabase& db) { InsertRecords(db, folder, account, list); });
}

StoreResult CArticleDatabase::ReplaceReceivedArticles(int folder, const std::string& account,
                                                      const std::vector<ArticleRecord>& list) {
    // One transaction: a failed insert brings back the copies that the delete removed.
    return RunInTransaction([&](CSqlDatabase& db) {
        // Every old copy goes first, so two fetched posts with the same id are both kept.
        CSqlStatement remove = db.CompileStatement(
            "DELETE FROM blog_article WHERE log_guid = ?1 AND log_author IN (?2, ?3) AND "
            "log_property = ?4;");
        BindAccount(remove, 2, account);
        remove.Bind(4, folder);
        for (const ArticleRecord& record : list)
            remove.Bind(1, record.guid).ExecDML();
        InsertRecords(db, folder, account, list);
    });
}

StoreResult CArticleDatabase::UpdateArticle(int id, const ArticleRecord& record) {
    int changed = 0;
    StoreResult ok = Run([&](CSqlDatabase& db) {
        changed = db.CompileStatement("UPDATE blog_article SET log_title = ?1, log_category = ?2, "
                                      "log_content = ?3, log_tags = ?4 WHERE log_id = ?5;")
                      .Bind(1, record.title)
                      .Bind(2, record.category)
                      .Bind(3, record.content)
                      .Bind(4, record.tags)
                      .Bind(5, id)
                      .ExecDML();
    });
    if (ok && changed == 0) {
        return StoreResult::Failed(kArticleNotFound);
    }
    return ok;
}

StoreResult CArticleDatabase::SetArticleFolder(int id, int folder) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("UPDATE blog_article SET log_property = ?1 WHERE log_id = ?2;")
            .Bind(1, folder)
            .Bind(2, id)
            .ExecDML();
    });
}

StoreResult CArticleDatabase::MoveArticle(int id, int folder, const std::string& account) {
    return Run([&](CSqlDatabase& db) {
        // The right-hand sides see the row as it was: the post id stays only when the account
        // does (under either form of its name).
        CSqlStatement move = db.CompileStatement(
            "UPDATE blog_article SET log_property = ?1, log_author = ?2, log_guid = CASE WHEN "
            "log_author IN (?2, ?3) THEN log_guid ELSE NULL END WHERE log_id = ?4;");
        move.Bind(1, folder);
        BindAccount(move, 2, account);
        move.Bind(4, id).ExecDML();
    });
}

StoreResult CArticleDatabase::SetArticlePublished(int id, int folder, const std::string& guid) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement(
              "UPDATE blog_article SET log_property = ?1, log_guid = ?2 WHERE log_id = ?3;")
            .Bind(1, folder)
            .Bind(2, guid)
            .Bind(3, id)
            .ExecDML();
    });
}

StoreResult CArticleDatabase::DeleteArticle(int id) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM blog_article WHERE log_id = ?1;").Bind(1, id).ExecDML();
    });
}

StoreResult CArticleDatabase::DeleteFolderArticles(int folder, const std::string& account) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement remove = db.CompileStatement(
            "DELETE FROM blog_article WHERE log_property = ?1 AND log_author IN (?2, ?3);");
        remove.Bind(1, folder);
        BindAccount(remove, 2, account);
        remove.ExecDML();
    });
}

StoreResult CArticleDatabase::DeleteAccountArticles(const std::string& account) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement remove =
            db.CompileStatement("DELETE FROM blog_article WHERE log_author IN (?1, ?2);");
        BindAccount(remove, 1, account);
        remove.ExecDML();
    });
}

StoreResult CArticleDatabase::CompactDatabase() {
    return Run([](CSqlDatabase& db) {
        // One VACUUM rebuilds the tables and indexes together; the checkpoint then writes the
        // result into the file and empties the log, so the file shrinks now, not later.
        db.ExecuteUpdate("VACUUM;");
        db.ExecuteUpdate("PRAGMA wal_checkpoint(TRUNCATE);");
    });
}
