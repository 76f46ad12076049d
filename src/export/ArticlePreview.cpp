#include "export/ArticlePreview.h"

#include "app/AccountStore.h"
#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "platform/xml/XslTransform.h"

#include <algorithm>
#include <filesystem>

namespace {

std::string StylePath(const std::string& styleName) {
    return GetAppFilePath("Data\\LogSkin\\" + styleName + ".xsl");
}

} // namespace

std::string CArticlePreview::BuildDocument(const ArticleRecord& article,
                                           const std::string& styleName) {
    std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?>";
    text += "<?xml-stylesheet type=\"text/xsl\" href=\"" + CXmlText::Escape(styleName) + ".xsl\"?>";
    text += "<root><title>" + CXmlText::CData(article.title) + "</title>";
    text += "<pubdate>" + CXmlText::CData(article.pubDate) + "</pubdate>";
    text += "<category>" + CXmlText::CData(article.category) + "</category>";
    text += "<description>" + CXmlText::CData(article.content) + "</description>";
    text += "</root>";
    return text;
}

std::string CArticlePreview::StyleOfAccount(const std::string& accountName) {
    std::string style;
    if (accountName.empty() || !CAccountStore::GetAccountField(accountName, "logxsl", style) ||
        style.empty())
        return kDefaultStyle;
    return style;
}

std::vector<std::string> CArticlePreview::ListStyles() {
    std::vector<std::string> styles;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(GetAppFilePath("Data\\LogSkin"), ec)) {
        if (entry.path().extension() == ".xsl")
            styles.push_back(entry.path().stem().string());
    }
    std::sort(styles.begin(), styles.end());
    return styles;
}

std::string CArticlePreview::DocumentPath() {
    return GetAppFilePath("Data\\LogSkin\\article.xml");
}

bool CArticlePreview::Render(const ArticleRecord& article, const std::string& styleName,
                             std::string& html) {
    html.clear();
    m_lastError.clear();
    const std::string bytes = CXmlText::Utf8DocumentToGbk(BuildDocument(article, styleName));
    CXmlDocument doc;
    if (!doc.LoadText(bytes, CXmlDocument::kKeepBlanks)) {
        m_lastError = doc.GetLastError();
        return false;
    }
    const std::string path = DocumentPath();
    CFileUtil::CreateDirectories(GetAppFilePath("Data\\LogSkin"));
    if (!CFileUtil::WriteFile(path, bytes)) {
        m_lastError = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    std::string stylePath = StylePath(styleName);
    if (!CFileUtil::Exists(stylePath))
        stylePath = StylePath(kDefaultStyle);
    CXslTransform style;
    if (!style.LoadFile(stylePath) || !style.Apply(doc, html)) {
        m_lastError = stylePath + ": " + style.GetLastError();
        return false;
    }
    return true;
}
