#include "storage/EditorStore.h"

#include "storage/StoreSql.h"

CEditorStore::CEditorStore(std::string path) : CLocalDatabase(std::move(path)) {}

void CEditorStore::CreateSchema(CSqlDatabase& db) {
    // Made one by one rather than through CStoreSql::EnsureSchema: that would take a file where
    // these two tables are new for one this program made from the start, while the articles
    // beside them may have been written in GBK by an older store.
    db.ExecuteUpdate("CREATE TABLE IF NOT EXISTS blog_article_source (log_id INTEGER PRIMARY "
                     "KEY, src_markdown TEXT, src_html TEXT);");
    db.ExecuteUpdate("CREATE TABLE IF NOT EXISTS blog_editor_setting (set_account TEXT, set_name "
                     "TEXT, set_value TEXT, PRIMARY KEY (set_account, set_name));");
}

StoreResult CEditorStore::GetSource(int articleId, Source& source, bool& found) {
    found = false;
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select = db.CompileStatement(
            "SELECT src_markdown, src_html FROM blog_article_source WHERE log_id = ?1;");
        CSqlQuery row = select.Bind(1, articleId).ExecQuery();
        if (!row.IsEnd()) {
            source = {.markdown = row.GetText(0), .html = row.GetText(1)};
            found = true;
        }
    });
}

StoreResult CEditorStore::SetSource(int articleId, const Source& source) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement write = db.CompileStatement(
            "INSERT OR REPLACE INTO blog_article_source (log_id, src_markdown, src_html) "
            "VALUES (?1, ?2, ?3);");
        write.Bind(1, articleId).Bind(2, source.markdown).Bind(3, source.html).ExecDML();
    });
}

StoreResult CEditorStore::DeleteSource(int articleId) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("DELETE FROM blog_article_source WHERE log_id = ?1;")
            .Bind(1, articleId)
            .ExecDML();
    });
}

StoreResult CEditorStore::GetSetting(const std::string& account, const std::string& name,
                                     std::string& value) {
    return Run([&](CSqlDatabase& db) {
        CSqlStatement select =
            db.CompileStatement("SELECT set_value FROM blog_editor_setting WHERE set_account = "
                                "?1 AND set_name = ?2;");
        CSqlQuery row = select.Bind(1, account).Bind(2, name).ExecQuery();
        if (!row.IsEnd())
            value = row.GetText(0);
    });
}

StoreResult CEditorStore::SetSetting(const std::string& account, const std::string& name,
                                     const std::string& value) {
    return Run([&](CSqlDatabase& db) {
        db.CompileStatement("INSERT OR REPLACE INTO blog_editor_setting (set_account, set_name, "
                            "set_value) VALUES (?1, ?2, ?3);")
            .Bind(1, account)
            .Bind(2, name)
            .Bind(3, value)
            .ExecDML();
    });
}
