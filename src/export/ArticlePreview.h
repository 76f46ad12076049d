#pragma once

#include "app/AppContext.h"
#include "export/ExportResult.h"
#include "storage/ArticleDatabase.h"

#include <string>
#include <vector>

// The preview of a weblog article: the small document Data/LogSkin/article.xml that names the
// account's style sheet, and the page that style sheet makes of it. The style is applied here
// with libxslt; the document is still written beside the style sheets so that a user writing a
// style of their own can try it on a real article.
class CArticlePreview {
public:
    // The style every account starts with, and the one used when an account's is missing.
    static constexpr const char* kDefaultStyle = "默认";

    // The styles and the document of the context's program directory.
    explicit CArticlePreview(const CAppContext& context) : m_context(context) {}

    // The document as UTF-8 text under its "gb2312" declaration, on one line.
    static std::string BuildDocument(const ArticleRecord& article, const std::string& styleName);

    // The tags of an article, split at ",", "，" or "、", each without its surrounding blanks.
    static std::vector<std::string> SplitTags(const std::string& tags);
    // The account's style (its logxsl), or the default when the account has none.
    std::string StyleOfAccount(const std::string& accountName) const;
    // The names of the styles in Data/LogSkin (file names without ".xsl"), sorted.
    std::vector<std::string> ListStyles() const;
    // The full path of Data/LogSkin/article.xml.
    std::string DocumentPath() const;

    // Writes the document (GBK, characters GBK lacks as references) and renders it through
    // Data/LogSkin/<style>.xsl, falling back to the default style when that file is missing.
    // html is UTF-8.
    ExportResult Render(const ArticleRecord& article, const std::string& styleName,
                        std::string& html);

private:
    std::string StylePath(const std::string& styleName) const;

    CAppContext m_context;
};
