#include "workspace/EditorSession.h"

#include "app/AccountStore.h"
#include "app/AppPaths.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MetaWeblogApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/HtmlSanitizer.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "storage/EditorStore.h"
#include "storage/FeedDatabase.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool ReadAccountField(const std::string& account, const char* field, std::string& text,
                      std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (CAccountStore::GetAccountField(account, field, text))
        return true;
    reason = recorder.TakeOr(std::string("无法读取账户的 ") + field + ": " + account);
    return false;
}

bool WriteAccountField(const std::string& account, const char* field, const std::string& text,
                       const char* failure, std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (CAccountStore::SetAccountField(account, field, text))
        return true;
    reason = recorder.TakeOr(failure);
    return false;
}

int FieldNumber(const std::string& account, const char* field, int fallback) {
    std::string text;
    std::string reason;
    if (!ReadAccountField(account, field, text, reason))
        return fallback;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

CEditorSession::CEditorSession(CArticleOperations& operations, EditorStores stores)
    : m_operations(operations), m_stores(std::move(stores)),
      m_apiFactory(&CBlogApiFactory::CreateForAccount) {
    if (m_stores.feedStorePath.empty())
        m_stores.feedStorePath = GetAppFilePath("Storage\\rss.db");
}

bool CEditorSession::Open(const EditorHandOff& handOff, std::string& reason) {
    m_handOff = handOff;
    m_task = handOff.task;
    m_account = handOff.account;
    m_articleId = 0;
    m_folder = 0;
    m_postId.clear();
    m_text = {};
    m_saved = {};
    m_stored = false;

    if (m_task != EditorTask::Compose && !handOff.index) {
        reason = kNoIndexText;
        return false;
    }
    switch (m_task) {
    case EditorTask::Compose: {
        if (m_account.empty()) {
            reason = "编辑器的启动参数里没有账户";
            return false;
        }
        AccountRecord record;
        CReasonRecorder recorder;
        CScopedReporter scope(recorder);
        if (!CAccountStore::GetAccount(m_account, record)) {
            reason = recorder.TakeOr("没有这个账户: " + m_account);
            return false;
        }
        m_text.format = m_saved.format = PreferredFormat();
        return true;
    }
    case EditorTask::EditReceived:
    case EditorTask::EditSent:
    case EditorTask::EditDraft:
    case EditorTask::EditDeleted:
        return OpenArticle(static_cast<int>(*handOff.index), reason);
    case EditorTask::WriteFromFeedItem:
    case EditorTask::WriteFromSearchResult:
        return OpenFeedItem({.origin = m_task == EditorTask::WriteFromSearchResult
                                           ? ItemOrigin::kWebSearch
                                           : ItemOrigin::kStored,
                             .id = static_cast<int>(*handOff.index)},
                            reason);
    }
    reason = "编辑器不认识的任务: " + std::to_string(static_cast<int>(m_task));
    return false;
}

bool CEditorSession::OpenArticle(int id, std::string& reason) {
    ArticleRecord article;
    ArticlePlace place;
    if (!m_operations.GetArticle(id, article, place, reason)) {
        reason = "无法打开文章 " + std::to_string(id) + ": " + reason;
        return false;
    }
    // The article's own account counts, whatever the orders named.
    m_account = place.account;
    m_articleId = id;
    m_folder = place.folder;
    m_postId = article.guid;
    m_text = {.title = article.title,
              .category = article.category,
              .content = article.content,
              .tags = article.tags};
    m_saved = m_text;
    m_stored = true;
    OpenSource();
    return true;
}

void CEditorSession::OpenSource() {
    CEditorStore store(m_operations.StorePath());
    CEditorStore::Source source;
    bool found = false;
    // Without its source (none kept, or the store unreadable) the article opens as rich text.
    if (!store.OpenStore() || !store.GetSource(m_articleId, source, found) || !found)
        return;
    // An article changed since elsewhere (fetched again, edited as HTML) is no longer what
    // its source gives.
    if (source.html != m_text.content)
        return;
    m_text.format = EditorFormat::kMarkdown;
    m_text.markdown = source.markdown;
    m_saved = m_text;
}

bool CEditorSession::SaveSource(std::string& reason) {
    CEditorStore store(m_operations.StorePath());
    const bool ok =
        store.OpenStore() &&
        (m_text.format == EditorFormat::kMarkdown
             ? store.SetSource(m_articleId, {.markdown = m_text.markdown, .html = m_text.content})
             : store.DeleteSource(m_articleId));
    if (!ok)
        reason = "无法保存文章的 Markdown 原文: " + store.GetLastError();
    return ok;
}

bool CEditorSession::OpenFeedItem(const FeedItemRef& ref, std::string& reason) {
    CFeedDatabase store(m_stores.feedStorePath);
    if (!store.OpenStore()) {
        reason = "无法打开 rss.db: " + store.GetLastError();
        return false;
    }
    FeedItem item;
    // Items found on-line lie in the scratch table, items found among the stored ones and
    // those of a channel's list in the items table: only the table the orders name is read.
    if (!store.GetItem(ref, item)) {
        reason = std::string(ref.origin == ItemOrigin::kWebSearch ? "无法打开新闻搜索结果 "
                                                                  : "无法打开订阅条目 ") +
                 std::to_string(ref.id) + ": " + store.GetLastError();
        return false;
    }
    m_text = {.title = item.title, .content = QuoteFeedItem(item)};
    // The quotation is HTML: it opens in Markdown only when Markdown can write it.
    if (PreferredFormat() == EditorFormat::kMarkdown) {
        std::string ignored;
        if (CMarkdownHtml::FromHtml(m_text.content, m_text.markdown, ignored))
            m_text.format = EditorFormat::kMarkdown;
    }
    // A new article: unsaved until the user (or the autosave) saves it.
    m_saved = {};
    return true;
}

int CEditorSession::FolderNodeCode(int folder) const {
    if (folder < kFolderReceived || folder > kFolderTrash)
        return 0;
    // The account's node in the orders' account list: its folders lie 10 apart below it.
    for (const HandOffAccount& account : m_handOff.accounts) {
        if (account.name == m_account && account.treeId != 0)
            return account.treeId + 10 * folder;
    }
    // Otherwise the orders' two folder codes, when they are about this article's account.
    if (m_account != m_handOff.account)
        return 0;
    if (folder == kFolderSent)
        return m_handOff.publishFolderTreeId;
    if (m_handOff.draftFolderTreeId != 0)
        return m_handOff.draftFolderTreeId + 10 * (folder - kFolderDrafts);
    return 0;
}

void CEditorSession::SetText(const EditorText& text) {
    m_text = text;
    if (m_text.format == EditorFormat::kMarkdown)
        m_text.content = CMarkdownHtml::ToHtml(m_text.markdown);
    else
        m_text.markdown.clear();
}

EditorSaveResult CEditorSession::SaveDraft() {
    const ArticleRecord article{.title = m_text.title,
                                .content = m_text.content,
                                .category = m_text.category,
                                .tags = m_text.tags};
    LocalOutcome outcome = m_stored ? m_operations.SaveArticle(m_articleId, article)
                                    : m_operations.NewDraft(m_account, article);
    if (!outcome.ok)
        return {.reason = outcome.reason};
    if (!m_stored) {
        m_articleId = outcome.newIds.empty() ? 0 : outcome.newIds[0];
        m_folder = kFolderDrafts;
        m_stored = true;
    }
    std::string reason;
    if (!SaveSource(reason))
        return {.reason = reason, .changedFolders = outcome.changedFolders};
    m_saved = m_text;
    return {.ok = true, .changedFolders = outcome.changedFolders};
}

EditorSaveResult CEditorSession::Autosave() {
    if (!IsModified())
        return {.ok = true};
    return SaveDraft();
}

OperationStart CEditorSession::StartPublish() {
    if (m_text.title.empty())
        return {.refusal = "请输入日志标题"};
    EditorSaveResult saved = SaveDraft();
    if (!saved.ok)
        return {.refusal = "保存失败: " + saved.reason};
    return m_operations.StartPublish({m_articleId});
}

std::string CEditorSession::OnPublished(const OperationResult& result) {
    for (const ArticleResult& article : result.articles) {
        if (article.articleId != m_articleId)
            continue;
        if (article.outcome != OperationOutcome::kDone)
            return article.reason.empty() ? std::string("发布失败") : article.reason;
        m_folder = kFolderSent;
        m_postId = article.postId;
        return {};
    }
    return result.reason.empty() ? std::string("发布失败") : result.reason;
}

std::unique_ptr<CBloggerApi> CEditorSession::MakeApi(std::string& reason) const {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::unique_ptr<CBloggerApi> api = m_apiFactory(m_account);
    if (!api)
        reason = recorder.TakeOr("无法读取账户: " + m_account);
    return api;
}

bool CEditorSession::LoadCategories(std::vector<std::string>& names, std::string& reason) const {
    std::unique_ptr<CBloggerApi> api = MakeApi(reason);
    if (!api)
        return false;
    auto* metaWeblog = dynamic_cast<CMetaWeblogApi*>(api.get());
    if (!metaWeblog) {
        reason = "Blogger 接口没有分类";
        return false;
    }
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    CategoryList list;
    if (!metaWeblog->GetCategories(list)) {
        reason = recorder.TakeOr("无法获取分类");
        return false;
    }
    names.clear();
    for (const CategoryEntry& entry : list) {
        if (!entry.name.empty() && std::find(names.begin(), names.end(), entry.name) == names.end())
            names.push_back(entry.name);
    }
    return true;
}

bool CEditorSession::UploadPicture(const std::string& filePath, std::string& url,
                                   std::string& reason) const {
    std::string data;
    if (!CFileUtil::ReadFile(filePath, data)) {
        reason = "无法读取图片文件: " + filePath;
        return false;
    }
    std::unique_ptr<CBloggerApi> api = MakeApi(reason);
    if (!api)
        return false;
    auto* metaWeblog = dynamic_cast<CMetaWeblogApi*>(api.get());
    if (!metaWeblog) {
        reason = "Blogger 接口不能上传文件";
        return false;
    }
    const std::string fileName = filePath.substr(filePath.find_last_of('/') + 1);
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (!metaWeblog->NewMediaObject(fileName, PictureMimeType(fileName),
                                    CXmlRpcRequest::Base64Encode(data), url)) {
        reason = recorder.TakeOr("上传图片失败");
        return false;
    }
    if (url.empty()) {
        reason = "服务器没有给出图片的地址";
        return false;
    }
    return true;
}

EditorFormat CEditorSession::PreferredFormat() const {
    CEditorStore store(m_operations.StorePath());
    std::string value;
    if (store.OpenStore())
        store.GetSetting(m_account, "format", value);
    return value == "markdown" ? EditorFormat::kMarkdown : EditorFormat::kRich;
}

bool CEditorSession::SetPreferredFormat(EditorFormat format, std::string& reason) const {
    CEditorStore store(m_operations.StorePath());
    if (store.OpenStore() &&
        store.SetSetting(m_account, "format",
                         format == EditorFormat::kMarkdown ? "markdown" : "rich"))
        return true;
    reason = "无法记住账户的编辑方式: " + store.GetLastError();
    return false;
}

bool CEditorSession::SpellCheckEnabled() const {
    CEditorStore store(m_operations.StorePath());
    std::string value;
    if (store.OpenStore())
        store.GetSetting("", "spellcheck", value);
    return value != "0";
}

bool CEditorSession::SetSpellCheckEnabled(bool enabled, std::string& reason) const {
    CEditorStore store(m_operations.StorePath());
    if (store.OpenStore() && store.SetSetting("", "spellcheck", enabled ? "1" : "0"))
        return true;
    reason = "无法保存拼写检查的设置: " + store.GetLastError();
    return false;
}

int CEditorSession::AutosaveMilliseconds() const {
    const int ms = FieldNumber(m_account, "autosavetime", kDefaultAutosaveMs);
    return ms > 0 ? ms : kDefaultAutosaveMs;
}

EditorWindowRect CEditorSession::WindowRect() const {
    return {.left = FieldNumber(m_account, "wndposleft", 0),
            .top = FieldNumber(m_account, "wndpostop", 0),
            .right = FieldNumber(m_account, "wndposright", 0),
            .bottom = FieldNumber(m_account, "wndposbottom", 0)};
}

bool CEditorSession::SaveWindowRect(const EditorWindowRect& rect, std::string& reason) const {
    const std::pair<const char*, int> fields[] = {{"wndposleft", rect.left},
                                                  {"wndpostop", rect.top},
                                                  {"wndposright", rect.right},
                                                  {"wndposbottom", rect.bottom}};
    for (const auto& [field, value] : fields) {
        if (!WriteAccountField(m_account, field, std::to_string(value), "无法保存编辑器窗口的位置",
                               reason))
            return false;
    }
    return true;
}

bool CEditorSession::MarkRunning(bool& previousInterrupted, std::string& reason) const {
    previousInterrupted = false;
    std::string previous;
    std::string ignored;
    // An account file from before the note was kept has no place for it: nothing to note.
    if (!ReadAccountField(m_account, "normalexit", previous, ignored))
        return true;
    previousInterrupted = previous == "0";
    return WriteAccountField(m_account, "normalexit", "0", "无法记录编辑器的启动", reason);
}

bool CEditorSession::MarkEnded(std::string& reason) const {
    return WriteAccountField(m_account, "normalexit", "1", "无法记录编辑器的正常退出", reason);
}

bool CEditorSession::LoadEditorStyle(std::string& css, std::string& reason) const {
    std::string page;
    std::string ignored;
    if (!ReadAccountField(m_account, "editorindex", page, ignored) || page.empty())
        page = kDefaultEditorPage;
    const std::string path = GetAppFilePath(page);
    CXmlDocument document;
    if (!document.LoadFile(path, CXmlDocument::kLenient)) {
        reason = "无法读取编辑器页面 " + path + ": " + document.GetLastError();
        return false;
    }
    css.clear();
    // Pages written as XHTML put their elements in a namespace.
    for (const CXmlNode& style : document.SelectNodes("//*[local-name()='style']"))
        css += style.GetText() + "\n";
    return true;
}

std::string CEditorSession::QuoteFeedItem(const FeedItem& item) {
    const std::string title = CXmlText::Escape(item.title.empty() ? item.link : item.title);
    const std::string link = CXmlText::Escape(item.link);
    std::string html;
    if (link.empty())
        html += "<p>" + title + "</p>";
    else
        html += "<p><a href=\"" + link + "\">" + title + "</a></p>";
    // The item's text is HTML already; what a feed reader would not show (scripts, forms,
    // styles that cover the page) does not go into the user's weblog either.
    if (!item.description.empty())
        html += "<blockquote>" + CHtmlSanitizer::Sanitize(item.description, {}) + "</blockquote>";
    if (!link.empty())
        html += "<p>来源: <a href=\"" + link + "\">" + link + "</a></p>";
    return html;
}

std::string CEditorSession::PictureMimeType(const std::string& fileName) {
    const size_t dot = fileName.find_last_of('.');
    const std::string ending = dot == std::string::npos ? "" : Lower(fileName.substr(dot + 1));
    if (ending == "png")
        return "image/png";
    if (ending == "jpg" || ending == "jpeg")
        return "image/jpeg";
    if (ending == "gif")
        return "image/gif";
    if (ending == "webp")
        return "image/webp";
    if (ending == "svg")
        return "image/svg+xml";
    if (ending == "bmp")
        return "image/bmp";
    return "application/octet-stream";
}
