#include "export/ArticlePreview.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "platform/xml/XslTransform.h"

#include <algorithm>
#include <filesystem>

std::string CArticlePreview::StylePath(const std::string& styleName) const {
    return m_context.FilePath("Data\\LogSkin\\" + styleName + ".xsl");
}

std::string CArticlePreview::BuildDocument(const ArticleRecord& article,
                                           const std::string& styleName) {
    std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";
    text += "<?xml-stylesheet type=\"text/xsl\" href=\"" + CXmlText::Escape(styleName) + ".xsl\"?>";
    text += "<root><title>" + CXmlText::CData(article.title) + "</title>";
    text += "<pubdate>" + CXmlText::CData(article.pubDate) + "</pubdate>";
    text += "<category>" + CXmlText::CData(article.category) + "</category>";
    text += "<description>" + CXmlText::CData(article.content) + "</description>";
    // Each tag on its own, so that a style can set them apart without splitting text.
    text += "<tags>";
    for (const std::string& tag : SplitTags(article.tags))
        text += "<tag>" + CXmlText::CData(tag) + "</tag>";
    text += "</tags></root>";
    return text;
}

std::vector<std::string> CArticlePreview::SplitTags(const std::string& tags) {
    // Commas as typed on either keyboard: ",", "，" and "、".
    std::vector<std::string> list;
    std::string current;
    const auto flush = [&] {
        const size_t first = current.find_first_not_of(" \t");
        const size_t last = current.find_last_not_of(" \t");
        if (first != std::string::npos)
            list.push_back(current.substr(first, last - first + 1));
        current.clear();
    };
    for (size_t i = 0; i < tags.size();) {
        if (tags[i] == ',') {
            flush();
            ++i;
        } else if (tags.compare(i, 3, "\xEF\xBC\x8C") == 0 || tags.compare(i, 3, "\xE3\x80\x81") == 0) {
            flush();
            i += 3;
        } else {
            current += tags[i++];
        }
    }
    flush();
    return list;
}

std::string CArticlePreview::StyleOfAccount(const std::string& accountName) const {
    std::string style;
    if (accountName.empty() ||
        !m_context.Accounts().GetAccountField(accountName, "logxsl", style) || style.empty())
        return kDefaultStyle;
    return style;
}

std::vector<std::string> CArticlePreview::ListStyles() const {
    std::vector<std::string> styles;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(m_context.FilePath("Data\\LogSkin"), ec)) {
        if (entry.path().extension() == ".xsl")
            styles.push_back(entry.path().stem().string());
    }
    std::sort(styles.begin(), styles.end());
    return styles;
}

std::string CArticlePreview::DocumentPath() const {
    return m_context.FilePath("Data\\LogSkin\\article.xml");
}

ExportResult CArticlePreview::Render(const ArticleRecord& article, const std::string& styleName,
                                     std::string& html) {
    html.clear();
    const std::string bytes = CXmlText::Utf8DocumentToGbk(BuildDocument(article, styleName));
    CXmlDocument doc;
    if (!doc.LoadText(bytes, CXmlDocument::kKeepBlanks))
        return ExportResult::Failed(doc.GetLastError());
    const std::string path = DocumentPath();
    CFileUtil::CreateDirectories(m_context.FilePath("Data\\LogSkin"));
    if (!CFileUtil::WriteFile(path, bytes))
        return ExportResult::Failed(path + ": " + CFileUtil::LastErrorText());
    std::string stylePath = StylePath(styleName);
    if (!CFileUtil::Exists(stylePath))
        stylePath = StylePath(kDefaultStyle);
    CXslTransform style;
    if (!style.LoadFile(stylePath) || !style.Apply(doc, html))
        return ExportResult::Failed(stylePath + ": " + style.GetLastError());
    return ExportResult::Done();
}
