#pragma once

#include "platform/jobs/JobRunner.h"
#include "storage/ArticleDatabase.h"
#include "workspace/ArticleObserver.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CArticlePreviewPane;
class CEditorActions;
class CEditorSession;
class CFindReplaceBar;
class CMarkdownPane;
class CPostOptionsPanel;
class CRichTextCommands;
class CSpellChecker;
class CSpellHighlighter;
enum class EditorFormat;
class QAction;
class QComboBox;
class QImage;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedWidget;
class QTabWidget;
class QTextEdit;
class QTimer;
struct EditorSaveResult;

// The editor program's window: the title, the category (the weblog's list, or free text), the
// body as rich text, as its HTML source or in Markdown with its preview, the menus and toolbars
// of CEditorActions, the find bar, and the word count on the status line. It shows the session's
// article and forwards what the user does to the session; the status line tells how each save,
// publish and upload ended, with the reason of a failure.
//
// The window also hears the publish operations (CArticleObserver, called on their workers) and
// hands what it hears to the interface thread. Create it first, then the article operations on
// it, then the session, and Attach the session; destroy in the reverse order.
class CEditorWindow : public QMainWindow, public CArticleObserver {
    Q_OBJECT
public:
    explicit CEditorWindow(QWidget* parent = nullptr);
    ~CEditorWindow() override;

    // Shows the session's article and starts the autosave and the category request.
    void Attach(CEditorSession& session);
    // Told the node codes of the folders whose contents a save or publish changed (the main
    // window recounts them).
    void SetFoldersChangedHandler(std::function<void(const std::vector<int>&)> handler) {
        m_foldersChanged = std::move(handler);
    }
    // Told when a publish started here has succeeded (the main window announces it).
    void SetPublishedHandler(std::function<void()> handler) { m_published = std::move(handler); }

    // What the widgets hold now, as the session's text.
    QString TitleText() const;
    QString CategoryText() const;
    // The body as HTML: the source text in the source view; otherwise the rich text's HTML, or
    // the HTML as it was opened while the rich text is untouched (so markup that the rich
    // text cannot show survives a save).
    QString BodyHtml() const;
    bool IsSourceView() const;
    void SetSourceView(bool source);
    // How the article is written. Switching rich text to Markdown is refused (false, with
    // the reason) when Markdown would lose some of its markup; Markdown to rich text always
    // works (the Markdown source gives way to its HTML). The account remembers the choice.
    EditorFormat Format() const;
    bool SetFormat(EditorFormat format, QString& refusal);
    // English spelling underlined (a program-wide setting, kept when changed here).
    void SetSpellCheck(bool enabled);
    bool SpellCheckOn() const;
    // The words and characters of the article, as the status line shows them.
    QString CountText() const;

    // The user's commands.
    bool Save();
    void Publish();
    void Autosave();
    void InsertLink(const QString& href);
    // Keeps the picture with the draft and shows it (uploaded when the article is published);
    // a file that is no picture or too large is refused with the reason.
    void InsertPicture(const QString& filePath);
    void InsertPictureImage(const QImage& image);

    // For tests: the widgets and the autosave timer.
    QLineEdit* TitleEdit() const { return m_title; }
    QComboBox* CategoryBox() const { return m_category; }
    QLineEdit* TagsEdit() const { return m_tags; }
    QTextEdit* RichEdit() const { return m_rich; }
    QPlainTextEdit* SourceEdit() const { return m_source; }
    QTimer* AutosaveTimer() const { return m_autosave; }
    CPostOptionsPanel* OptionsPanel() const { return m_options; }
    CEditorActions* Actions() const { return m_actions; }
    CRichTextCommands& Commands() const { return *m_commands; }
    CMarkdownPane* MarkdownPane() const { return m_markdown; }
    CFindReplaceBar* FindBar() const { return m_find; }
    CSpellHighlighter* RichSpelling() const { return m_richSpelling; }
    // The 编辑 and 预览 tabs, and the preview.
    QTabWidget* Tabs() const { return m_tabs; }
    CArticlePreviewPane* Preview() const { return m_preview; }
    QString StatusText() const;
    // The notice above the article (a page that could not be read, an interrupted last run);
    // empty while none is shown.
    QString NoticeText() const;
    // Waits until the category request and the uploads under way have ended (tests, closing).
    void WaitForWorkers();

    // Shown on start when the account's previous editor did not end normally.
    static constexpr const char* kInterruptedNotice =
        "上次的编辑器没有正常关闭: 最后一次自动保存的文章在草稿箱 (或文章原来的文件夹) 中";

    // CArticleObserver, on the operations' workers.
    void OnProgress(const OperationProgress& progress) override;
    void OnOperationDone(const OperationResult& result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CEditorActions;
    void BuildActions();
    QWidget* BuildPreview(QWidget* parent);
    // The article as the preview shows it: the texts now, the content as HTML.
    ArticleRecord PreviewRecord() const;
    void Undo();
    void Redo();
    void ToggleStrike();
    void ToggleInlineCode();
    void ShowRefusal(const QString& refusal);
    void UpdateCount();
    void ShowContextMenu(QWidget* editor, CSpellHighlighter* spelling, const QPoint& pos);
    void LoadDictionary();
    void ShowArticle();
    void ToggleBold();
    void ToggleItalic();
    void AskLink();
    void AskPicture();
    void FetchCategories();
    void ShowCategories(const std::vector<std::string>& names);
    void ShowPicture(const QString& address, const QImage& image);
    // While the pictures of a publish are uploaded, the article cannot be changed.
    void SetArticleReadOnly(bool readOnly);
    void StartPublish(const std::map<std::string, std::string>& uploaded);
    void EndLinkAtCursor();
    void WrapSource(const QString& open, const QString& close);
    void TakeText();
    void ReportSave(const EditorSaveResult& result, const QString& doneText);
    void NotifyFolders(const std::vector<FolderRef>& folders);
    void OnPublished(const OperationResult& result);
    void UpdateTitle();
    // Runs work on the window's runner and then done on the interface thread (unless the window
    // is gone by then).
    void RunInBackground(std::function<void()> work, std::function<void()> done);

    CEditorSession* m_session = nullptr;
    QLabel* m_notice = nullptr;
    QLineEdit* m_title = nullptr;
    QComboBox* m_category = nullptr;
    QLineEdit* m_tags = nullptr;
    QStackedWidget* m_pages = nullptr;
    QTextEdit* m_rich = nullptr;
    QPlainTextEdit* m_source = nullptr;
    QAction* m_publishAction = nullptr;
    CEditorActions* m_actions = nullptr;
    CRichTextCommands* m_commands = nullptr;
    CMarkdownPane* m_markdown = nullptr;
    CFindReplaceBar* m_find = nullptr;
    QTabWidget* m_tabs = nullptr;
    CArticlePreviewPane* m_preview = nullptr;
    std::shared_ptr<CSpellChecker> m_spell;
    CSpellHighlighter* m_richSpelling = nullptr;
    CSpellHighlighter* m_markdownSpelling = nullptr;
    QLabel* m_count = nullptr;
    QTimer* m_countDelay = nullptr;
    EditorFormat m_format{};
    QTimer* m_autosave = nullptr;
    CPostOptionsPanel* m_options = nullptr;
    // The HTML as opened (or last taken from the source view), and whether the rich text has
    // been edited since.
    QString m_html;
    bool m_richEdited = false;
    bool m_publishing = false;
    std::function<void(const std::vector<int>&)> m_foldersChanged;
    std::function<void()> m_published;
    // The category request, the dictionary and the uploads, each on a thread of its own.
    // Joined first in the destructor: their work uses the session and the spell checker.
    CJobRunner m_jobs{4};
};
