#pragma once

#include "blogclient/BloggerApi.h"
#include "storage/ArticleDatabase.h"
#include "storage/FeedItem.h"
#include "workspace/ArticleOperations.h"
#include "workspace/DraftPictures.h"
#include "workspace/EditorFormat.h"
#include "workspace/EditorHandOff.h"
#include "workspace/EditorRecovery.h"
#include "workspace/WeblogLibrary.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// What the editor shows and the user changes: the article's three texts.
struct EditorText {
    std::string title;
    std::string category;
    std::string content; // HTML, a fragment as weblog posts hold it
    std::string tags;    // comma-separated, as typed
    EditorFormat format = EditorFormat::kRich;
    std::string markdown; // the source, in kMarkdown (content is then made from it)

    bool operator==(const EditorText&) const = default;
};

// The answer of a save: the reason is empty on success; changedFolders are the folders whose
// counts the main window should refresh.
struct EditorSaveResult {
    bool ok = false;
    std::string reason;
    std::vector<FolderRef> changedFolders;
};

// The editor window's rectangle as the account keeps it (all 0: let the window place itself).
struct EditorWindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool IsSet() const { return right > left && bottom > top; }
};

// One article open in the editor program: opened from the main window's orders, saved into the
// account's 草稿箱 (or in place when it is stored already), published through the article
// operations. The window shows what it holds and forwards what the user does.
//
// Open, the saves and StartPublish belong to the interface thread. LoadCategories and
// UploadPicture talk to the server and take their time: the window runs them on a worker; they
// read only what Open fixed (the account) and the weblog library.
class CEditorSession {
public:
    // operations: the weblog use-cases on blog.db; its context gives the program directory
    // (the feed store of the articles written about feed items, the notes of the running
    // editors, the pictures of drafts) and the accounts.
    explicit CEditorSession(CArticleOperations& operations);

    // Makes the interface object bound to an account (nullptr after reporting why not) for the
    // category list and the picture upload; CBlogApiFactory::CreateForAccount unless set.
    void SetApiFactory(WeblogApiFactory factory) {
        m_library = CWeblogLibrary(Context(), std::move(factory));
    }

    // Opens what the orders name: an empty article (Compose), the stored article (the edit
    // tasks), or a new article quoting the feed item (tasks 5 and 6). False with the reason
    // when the account is missing, the article or item cannot be read, or the orders lack the
    // id they need, and when another editor has the article open (the reason names its window).
    bool Open(const EditorHandOff& handOff, std::string& reason);

    const std::string& Account() const { return m_account; }
    // The program directory and accounts the session works in (its operations').
    const CAppContext& Context() const { return m_operations.Context(); }
    EditorTask Task() const { return m_task; }
    // The stored article's id; 0 while a new article has never been saved.
    int ArticleId() const { return m_articleId; }
    // The folder the article lies in (kFolderDrafts .. ); 0 while it is not stored.
    int Folder() const { return m_folder; }
    // The post id on the server; empty when it was never published.
    const std::string& PostId() const { return m_postId; }
    const EditorText& Text() const { return m_text; }
    // The node code of the folder the article lies in, from the orders (0 when unknown): what
    // the main window recounts after a save.
    int FolderTreeId() const { return FolderNodeCode(m_folder); }
    // The node code of one of the article's account's folders: the account's node in the
    // orders' account list plus 10 x folder code, else the orders' own folder codes when they
    // were written for this account; 0 when unknown.
    int FolderNodeCode(int folder) const;

    // What the window holds now; marks the article changed when it differs from what was
    // saved last. In Markdown the content is the source's HTML, whatever the text held.
    void SetText(const EditorText& text);
    bool IsModified() const { return m_text != m_saved; }

    // A new article goes into the account's 草稿箱, an article stored already is saved where
    // it lies. Saves even when nothing changed (the user asked for it).
    EditorSaveResult SaveDraft();
    // The periodic save: as SaveDraft, but only when something changed since the last save
    // (ok and nothing done otherwise).
    EditorSaveResult Autosave();

    // Saves, then publishes the article through the article operations: a new post, or an edit
    // of the post when the article has a post id. The operation reports to the operations'
    // observer; hand its result to OnPublished.
    // uploaded: the server's addresses of the article's local pictures (UploadPictures), put
    // in their place before the article is saved and sent (in Markdown, into the source, which
    // gives the HTML sent).
    OperationStart StartPublish(const std::map<std::string, std::string>& uploaded = {});
    // Why the article cannot be published as it is ("" when it can).
    std::string PublishRefusal() const;
    // The post's options the next publish sends (the side panel's).
    void SetPostOptions(const PostOptions& options) { m_options = options; }
    const PostOptions& Options() const { return m_options; }
    // What the account's interface can send of the options, and why not.
    PostOptionSupport OptionSupport() const;
    // The categories the weblog gave last (kept by LoadCategories); false when none are kept.
    bool CachedCategories(std::vector<std::string>& names) const {
        return m_library.CachedCategories(m_account, names);
    }
    // Takes in the end of a publish started here: on success the article lies in 已发日志
    // with its post id. Gives the reason of a failure ("" on success).
    std::string OnPublished(const OperationResult& result);

    // What the other editors see of this one (the window's title), and the note of the article
    // and its text that lets a next start restore it should this editor be killed: written on
    // each save and autosave; EndEditing removes it on a normal end.
    void SetWindowTitle(const std::string& title) { m_windowTitle = title; }
    bool NoteState(std::string& reason);
    // Notes again when the window's title has changed since the last note (after a save
    // moved the article into a folder).
    void RefreshNote();
    void EndEditing() { m_recovery.End(); }
    // What editors of this account that did not end normally had open and may be restored
    // here: the note of this very article, or any note while this is a new, empty article.
    std::vector<EditorRecord> InterruptedWork() const;
    // Takes up a note of InterruptedWork: its article (when it still exists) with the noted
    // text, unsaved until the next save; the note is removed.
    void Restore(const EditorRecord& record);
    // Removes a note of InterruptedWork the user did not want.
    void Discard(const EditorRecord& record) const { m_recovery.Discard(record); }

    // The names of the account's categories from the server (CWeblogLibrary::FetchCategories);
    // false with the reason when the interface has none or the server cannot be asked.
    bool LoadCategories(std::vector<std::string>& names, std::string& reason) const;
    // Stores a picture file on the weblog (CWeblogLibrary::Upload) and gives its address.
    bool UploadPicture(const std::string& filePath, std::string& url, std::string& reason) const;
    // A picture put into the article: checked and kept beside the drafts (CDraftPictures);
    // gives the address the article points at.
    bool KeepPicture(const std::string& filePath, std::string& address, std::string& reason) const {
        return m_pictures.KeepFile(filePath, address, reason);
    }
    bool KeepPictureBytes(std::string_view bytes, const std::string& name, std::string& address,
                          std::string& reason) const {
        return m_pictures.KeepBytes(bytes, name, address, reason);
    }
    // Where the pictures put into the article are kept.
    const std::string& PictureFolder() const { return m_pictures.Folder(); }
    // The article's local pictures, each once: what a publish uploads first.
    // In Markdown, those the source's pictures point at.
    std::vector<std::string> LocalPictures() const;
    // Uploads each local picture (on a worker): address -> the server's address. Stops at the
    // first failure, with a reason naming the file.
    bool UploadPictures(const std::vector<std::string>& addresses,
                        std::map<std::string, std::string>& urls, std::string& reason) const;

    // The account's editor settings: the autosave period in ms (50000 unless the account holds
    // a positive number) and the window rectangle.
    int AutosaveMilliseconds() const;
    EditorWindowRect WindowRect() const;
    bool SaveWindowRect(const EditorWindowRect& rect, std::string& reason) const;

    // The account's note of whether its editor ended normally ("normalexit": "1", or "0" while
    // an editor runs). MarkRunning notes a start and tells whether the previous run was
    // interrupted (killed, crashed, or the machine went down) so that the window can point the
    // user at the last autosave; MarkEnded notes a normal end.
    bool MarkRunning(bool& previousInterrupted, std::string& reason) const;
    bool MarkEnded(std::string& reason) const;

    // The way a new article of the account is written: the way its last one was switched to
    // (rich text until then). Remembered per account in blog.db.
    EditorFormat PreferredFormat() const;
    bool SetPreferredFormat(EditorFormat format, std::string& reason) const;
    // Spell checking, for every account (on until switched off).
    bool SpellCheckEnabled() const;
    bool SetSpellCheckEnabled(bool enabled, std::string& reason) const;

    // The style sheet of the account's editor page (its "editorindex", by default
    // Data/Editor/默认/index.html): the text of the page's <style> elements. The window shows
    // the article in that look; what is saved carries no style. False with the reason when the
    // page cannot be read.
    bool LoadEditorStyle(std::string& css, std::string& reason) const;

    // The HTML of an article written about a feed item: its title as a link, its text quoted,
    // and where it came from.
    static std::string QuoteFeedItem(const FeedItem& item);

    static constexpr int kDefaultAutosaveMs = 50000;
    static constexpr const char* kNoIndexText = "编辑器的启动参数里没有文章的编号";
    static constexpr const char* kDefaultEditorPage = "\\Data\\Editor\\默认\\index.html";

    static constexpr const char* kHeldElsewhereText = "这篇文章已在另一个编辑器窗口中打开: ";

private:
    bool OpenTask(const EditorHandOff& handOff, std::string& reason);
    bool OpenArticle(int id, std::string& reason);
    bool OpenFeedItem(const FeedItemRef& ref, std::string& reason);
    // The Markdown source kept with the stored article, when it still gives its content.
    void OpenSource();
    bool SaveSource(std::string& reason);

    CArticleOperations& m_operations;
    std::string m_feedStorePath;
    CWeblogLibrary m_library;

    EditorHandOff m_handOff;
    EditorTask m_task = EditorTask::Compose;
    std::string m_account;
    int m_articleId = 0;
    int m_folder = 0;
    std::string m_postId;
    EditorText m_text;
    EditorText m_saved;
    bool m_stored = false; // the article is in blog.db
    CEditorRecovery m_recovery;
    CDraftPictures m_pictures;
    PostOptions m_options;
    std::string m_windowTitle;
    std::string m_notedWindowTitle;
};
