#pragma once

#include "storage/LocalDatabase.h"

#include <string>

// What the article editor keeps beside the articles in Storage/blog.db: the Markdown source of
// the articles written in Markdown (with the HTML it gave, so a source whose article has been
// changed elsewhere since is known as stale), and the editor's own settings, per account or
// program-wide (account "").
//
// Every operation returns 1 on success and 0 on failure with the reason in GetLastError().
class CEditorStore : public CLocalDatabase {
public:
    explicit CEditorStore(std::string path);

    struct Source {
        std::string markdown;
        std::string html; // the article's content as the Markdown gave it when saved
    };
    // found is false when the article has no Markdown source.
    int GetSource(int articleId, Source& source, bool& found);
    int SetSource(int articleId, const Source& source);
    int DeleteSource(int articleId);

    // value is left as it is when the setting was never written.
    int GetSetting(const std::string& account, const std::string& name, std::string& value);
    int SetSetting(const std::string& account, const std::string& name, const std::string& value);

protected:
    void CreateSchema(CSqlDatabase& db) override;
};
