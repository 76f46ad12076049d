#pragma once

#include "storage/LocalDatabase.h"

#include <string>

// What the article editor keeps beside the articles in Storage/blog.db: the Markdown source of
// the articles written in Markdown (with the HTML it gave, so a source whose article has been
// changed elsewhere since is known as stale), and the editor's own settings, per account or
// program-wide (account "").
//
// Every operation answers a StoreResult: done, or the reason it was not.
class CEditorStore : public CLocalDatabase {
public:
    explicit CEditorStore(std::string path);

    struct Source {
        std::string markdown;
        std::string html; // the article's content as the Markdown gave it when saved
    };
    // found is false when the article has no Markdown source.
    StoreResult GetSource(int articleId, Source& source, bool& found);
    StoreResult SetSource(int articleId, const Source& source);
    StoreResult DeleteSource(int articleId);

    // value is left as it is when the setting was never written.
    StoreResult GetSetting(const std::string& account, const std::string& name, std::string& value);
    StoreResult SetSetting(const std::string& account, const std::string& name,
                           const std::string& value);

protected:
    void CreateSchema(CSqlDatabase& db) override;
};
