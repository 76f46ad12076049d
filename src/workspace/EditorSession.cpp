#include "workspace/EditorSession.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/HtmlSanitizer.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"
#include "storage/EditorStore.h"
#include "storage/FeedDatabase.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace {

bool ReadAccountField(const CAppContext& context, const std::string& account, const char* field,
                      std::string& text, std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (context.Accounts().GetAccountField(account, field, text))
        return true;
    reason = recorder.TakeOr(std::string("无法读取账户的 ") + field + ": " + account);
    return false;
}

bool WriteAccountField(const CAppContext& context, const std::string& account, const char* field,
                       const std::string& text, const char* failure, std::string& reason) {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (context.Accounts().SetAccountField(account, field, text))
        return true;
    reason = recorder.TakeOr(failure);
    return false;
}

int FieldNumber(const CAppContext& context, const std::string& account, const char* field,
                int fallback) {
    std::string text;
    std::string reason;
    if (!ReadAccountField(context, account, field, text, reason))
        return fallback;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

} // namespace

CEditorSession::CEditorSession(CArticleOperations& operations)
    : m_operations(operations), m_feedStorePath(CFeedDatabase::PathOf(Context())),
      m_library(Context()), m_recovery(CEditorRecovery::FolderOf(Context())),
      m_pictures(CDraftPictures::FolderOf(Context())) {}

bool CEditorSession::Open(const EditorHandOff& handOff, std::string& reason) {
    if (!OpenTask(handOff, reason))
        return false;
    if (std::optional<EditorRecord> holder = m_recovery.Holder(m_account, m_articleId)) {
        reason = kHeldElsewhereText +
                 (holder->windowTitle.empty() ? holder->title : holder->windowTitle);
        return false;
    }
    return true;
}

bool CEditorSession::OpenTask(const EditorHandOff& handOff, std::string& reason) {
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
        if (!Context().Accounts().GetAccount(m_account, record)) {
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
    StoreResult saved = store.OpenStore();
    if (saved) {
        saved = m_text.format == EditorFormat::kMarkdown
                    ? store.SetSource(m_articleId,
                                      {.markdown = m_text.markdown, .html = m_text.content})
                    : store.DeleteSource(m_articleId);
    }
    if (!saved)
        reason = "无法保存文章的 Markdown 原文: " + saved.reason;
    return saved.ok;
}

bool CEditorSession::OpenFeedItem(const FeedItemRef& ref, std::string& reason) {
    CFeedDatabase store(m_feedStorePath);
    if (const StoreResult opened = store.OpenStore(); !opened) {
        reason = "无法打开 rss.db: " + opened.reason;
        return false;
    }
    FeedItem item;
    // Items found on-line lie in the scratch table, items found among the stored ones and
    // those of a channel's list in the items table: only the table the orders name is read.
    if (const StoreResult found = store.GetItem(ref, item); !found) {
        reason = std::string(ref.origin == ItemOrigin::kWebSearch ? "无法打开新闻搜索结果 "
                                                                  : "无法打开订阅条目 ") +
                 std::to_string(ref.id) + ": " + found.reason;
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
    std::string ignored; // the article itself is saved; the note follows at the next save
    NoteState(ignored);
    return {.ok = true, .changedFolders = outcome.changedFolders};
}

EditorSaveResult CEditorSession::Autosave() {
    if (!IsModified())
        return {.ok = true};
    EditorSaveResult result = SaveDraft();
    // Kept in the note even when blog.db cannot take it now.
    std::string ignored;
    if (!result.ok)
        NoteState(ignored);
    return result;
}

void CEditorSession::RefreshNote() {
    std::string ignored;
    if (m_windowTitle != m_notedWindowTitle)
        NoteState(ignored);
}

bool CEditorSession::NoteState(std::string& reason) {
    m_notedWindowTitle = m_windowTitle;
    return m_recovery.Write({.account = m_account,
                             .articleId = m_articleId,
                             .windowTitle = m_windowTitle,
                             .savedAt = static_cast<long long>(std::time(nullptr)),
                             .title = m_text.title,
                             .category = m_text.category,
                             .tags = m_text.tags,
                             .content = m_text.content,
                             .format = m_text.format,
                             .markdown = m_text.markdown},
                            reason);
}

std::vector<EditorRecord> CEditorSession::InterruptedWork() const {
    std::vector<EditorRecord> records = m_recovery.Interrupted(m_account);
    // A new article starts in the account's way of writing, empty either way.
    const bool newAndEmpty = !m_stored && m_text == EditorText{.format = m_text.format};
    std::erase_if(records, [&](const EditorRecord& r) {
        return !newAndEmpty && (m_articleId == 0 || r.articleId != m_articleId);
    });
    return records;
}

void CEditorSession::Restore(const EditorRecord& record) {
    std::string ignored;
    // An article deleted since is restored as a new one.
    if (record.articleId != 0 && record.articleId != m_articleId &&
        !OpenArticle(record.articleId, ignored)) {
        m_articleId = 0;
        m_folder = 0;
        m_postId.clear();
        m_saved = {};
        m_stored = false;
    }
    m_text = {.title = record.title,
              .category = record.category,
              .content = record.content,
              .tags = record.tags,
              .format = record.format,
              .markdown = record.markdown};
    m_recovery.Discard(record);
}

PostOptionSupport CEditorSession::OptionSupport() const {
    // An account that cannot be read offers no options: nothing to tell.
    AccountRecord record;
    CSilentReporter silent;
    return Context().WithReporter(silent).Accounts().GetAccount(m_account, record)
               ? PostOptionSupport::For(record.blogapitype)
               : PostOptionSupport{};
}

std::string CEditorSession::PublishRefusal() const {
    return m_text.title.empty() ? "请输入日志标题" : "";
}

OperationStart CEditorSession::StartPublish(const std::map<std::string, std::string>& uploaded) {
    if (std::string refusal = PublishRefusal(); !refusal.empty())
        return {.refusal = refusal};
    if (m_text.format == EditorFormat::kMarkdown) {
        // The source keeps the server's addresses too: reopened, it gives what was published.
        std::string markdown = m_text.markdown;
        for (const auto& [address, url] : uploaded) {
            for (size_t at = 0; (at = markdown.find(address, at)) != std::string::npos;
                 at += url.size())
                markdown.replace(at, address.size(), url);
        }
        for (const std::string& left : CMarkdownHtml::PictureAddresses(markdown)) {
            if (uploaded.contains(left))
                return {.refusal = "图片 " + CDraftPictures::FilePath(left) +
                                   " 在 Markdown 里的写法无法换成上传后的地址"};
        }
        m_text.markdown = std::move(markdown);
        m_text.content = CMarkdownHtml::ToHtml(m_text.markdown);
    } else if (!uploaded.empty()) {
        m_text.content = CDraftPictures::ReplaceAddresses(m_text.content, uploaded);
    }
    EditorSaveResult saved = SaveDraft();
    if (!saved.ok)
        return {.refusal = "保存失败: " + saved.reason};
    return m_operations.StartPublishEdited(m_articleId, m_options);
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

bool CEditorSession::LoadCategories(std::vector<std::string>& names, std::string& reason) const {
    const CategoriesResult result = m_library.FetchCategories(m_account);
    if (!result.ok) {
        reason = result.reason;
        return false;
    }
    names = result.Names();
    return true;
}

bool CEditorSession::UploadPicture(const std::string& filePath, std::string& url,
                                   std::string& reason) const {
    UploadResult result = m_library.Upload(m_account, filePath);
    if (!result.ok) {
        reason = result.reason;
        return false;
    }
    url = std::move(result.url);
    return true;
}

std::vector<std::string> CEditorSession::LocalPictures() const {
    if (m_text.format != EditorFormat::kMarkdown)
        return CDraftPictures::LocalPictures(m_text.content);
    // The HTML of Markdown drops file addresses: they are read from the source.
    std::vector<std::string> addresses;
    for (const std::string& address : CMarkdownHtml::PictureAddresses(m_text.markdown)) {
        if (address.starts_with("file://") &&
            std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    return addresses;
}

bool CEditorSession::UploadPictures(const std::vector<std::string>& addresses,
                                    std::map<std::string, std::string>& urls,
                                    std::string& reason) const {
    for (const std::string& address : addresses) {
        const std::string path = CDraftPictures::FilePath(address);
        const std::string name = path.substr(path.find_last_of('/') + 1);
        // Only the copies kept with drafts go to the weblog: an article's HTML may name any
        // local file (a fetched or imported post can), and publishing must not send it out.
        if (!m_pictures.Holds(address) && CFileUtil::Exists(path)) {
            reason = "图片 " + name + " 不是草稿保存的图片, 不会上传: " + path;
            return false;
        }
        std::string url;
        std::string why;
        if (!UploadPicture(path, url, why)) {
            reason = "图片 " + name + " 上传失败: " + why;
            return false;
        }
        urls[address] = url;
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
    StoreResult saved = store.OpenStore();
    if (saved) {
        saved = store.SetSetting(m_account, "format",
                                 format == EditorFormat::kMarkdown ? "markdown" : "rich");
    }
    if (saved)
        return true;
    reason = "无法记住账户的编辑方式: " + saved.reason;
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
    StoreResult saved = store.OpenStore();
    if (saved)
        saved = store.SetSetting("", "spellcheck", enabled ? "1" : "0");
    if (saved)
        return true;
    reason = "无法保存拼写检查的设置: " + saved.reason;
    return false;
}

int CEditorSession::AutosaveMilliseconds() const {
    const int ms = FieldNumber(Context(), m_account, "autosavetime", kDefaultAutosaveMs);
    return ms > 0 ? ms : kDefaultAutosaveMs;
}

EditorWindowRect CEditorSession::WindowRect() const {
    return {.left = FieldNumber(Context(), m_account, "wndposleft", 0),
            .top = FieldNumber(Context(), m_account, "wndpostop", 0),
            .right = FieldNumber(Context(), m_account, "wndposright", 0),
            .bottom = FieldNumber(Context(), m_account, "wndposbottom", 0)};
}

bool CEditorSession::SaveWindowRect(const EditorWindowRect& rect, std::string& reason) const {
    const std::pair<const char*, int> fields[] = {{"wndposleft", rect.left},
                                                  {"wndpostop", rect.top},
                                                  {"wndposright", rect.right},
                                                  {"wndposbottom", rect.bottom}};
    for (const auto& [field, value] : fields) {
        if (!WriteAccountField(Context(), m_account, field, std::to_string(value),
                               "无法保存编辑器窗口的位置", reason))
            return false;
    }
    return true;
}

bool CEditorSession::MarkRunning(bool& previousInterrupted, std::string& reason) const {
    previousInterrupted = false;
    std::string previous;
    std::string ignored;
    // An account file from before the note was kept has no place for it: nothing to note.
    if (!ReadAccountField(Context(), m_account, "normalexit", previous, ignored))
        return true;
    previousInterrupted = previous == "0";
    return WriteAccountField(Context(), m_account, "normalexit", "0", "无法记录编辑器的启动",
                             reason);
}

bool CEditorSession::MarkEnded(std::string& reason) const {
    return WriteAccountField(Context(), m_account, "normalexit", "1", "无法记录编辑器的正常退出",
                             reason);
}

bool CEditorSession::LoadEditorStyle(std::string& css, std::string& reason) const {
    std::string page;
    std::string ignored;
    if (!ReadAccountField(Context(), m_account, "editorindex", page, ignored) || page.empty())
        page = kDefaultEditorPage;
    const std::string path = Context().FilePath(page);
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
