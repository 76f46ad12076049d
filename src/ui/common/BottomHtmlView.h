#pragma once

#include "app/AppContext.h"
#include "storage/ArticleDatabase.h"

#include <QByteArray>
#include <QHash>
#include <QWebEnginePage>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <functional>

#include <optional>
#include <string>

class CBottomHtmlView;

// Serves the documents that the program renders itself (feed items through a skin, previews)
// under the scheme "quillpane", so that documents of any size reach the pane without a file.
class CPaneSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit CPaneSchemeHandler(QObject* parent = nullptr);
    // Registers the scheme; must run before the application object is made.
    static void RegisterScheme();
    static constexpr const char* kScheme = "quillpane";

    // Keeps the document and gives the address it is served under.
    QUrl Add(const QByteArray& html);
    // The address a local file (a picture kept with a draft) is served under, the same one for
    // the same file; only files given here are ever served.
    QUrl AddFile(const QString& path);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    QHash<QString, QByteArray> m_documents;
    QHash<QString, QString> m_files;       // address path -> file
    QHash<QString, QString> m_fileAddress; // file -> address path
    QStringList m_order;
    int m_next = 1;
};

// The page of the reading pane: decides every navigation.
class CHtmlPage : public QWebEnginePage {
    Q_OBJECT
public:
    CHtmlPage(CBottomHtmlView* view, QObject* parent);

    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

signals:
    // A link that leaves the program for the user's browser.
    void OpenOutside(const QUrl& url);
    // A "quill:" subscription link was followed.
    void SubscribeRequested(const QString& address);
    // The placeholder of a remote image was clicked.
    void LoadImagesRequested();

private:
    CBottomHtmlView* m_view;
};

// The embedded browser below the item list. It browses (web pages and rendered feed items:
// mode 1), or shows an article preview (mode 2), in which http and https links open in the
// user's own browser and the preview stays. Rendered documents run no scripts and reach no
// local files.
class CBottomHtmlView : public QWebEngineView {
    Q_OBJECT
public:
    enum Mode : int { kModeBrowse = 1, kModePreview = 2 };

    explicit CBottomHtmlView(QWidget* parent = nullptr);

    // Browses to the address and puts it into the address box.
    void NavigateUrl(const QString& address);
    // Browses to a local file (a path with "\" or "/").
    void NavigateLocalFile(const QString& path);
    // A blank page in browsing mode (the address box is left alone).
    void ShowBlank();
    // Shows the preview document at the path; an empty path shows a blank page.
    void ShowPreview(const QString& path, const QString& key);
    // Shows a document the program rendered (a feed item, a page of items), in browsing mode;
    // fragment, when given, scrolls to that anchor.
    void ShowRendered(const QByteArray& html, const QString& key, const QString& fragment = {});
    // Shows the same rendered document again at another anchor.
    void ScrollToAnchor(const QString& fragment);
    // Space in the list: the page scrolls by a screen; at its end already, done(true) is called
    // instead (the reader then goes on to the next unread item).
    void PageDown(const std::function<void(bool atEnd)>& done);
    // Shows a weblog article through its account's preview style, in preview mode (the key is
    // the article's id): the account, the styles and the pictures of drafts (unless a picture
    // folder is set) are the context's. A preview that cannot be made shows its reason.
    void PreviewArticle(const CAppContext& context, const ArticleRecord& article,
                        const std::string& accountName);
    // An account's preview style changed: the article shown is rendered again with the style
    // its account has now. Does nothing unless an article preview is showing.
    void RefreshArticlePreview();
    bool ShowsArticlePreview() const { return m_previewArticle.has_value(); }
    // Shows a preview page the program made (an article inside its weblog's own page), in
    // preview mode; key names the article.
    void ShowPreviewPage(const std::string& html, const QString& key);
    // Where the pictures of drafts are kept (an article preview takes its context's unless set): a
    // preview shows the pictures of this folder that the article points at with file:// addresses,
    // and no other local file.
    void SetPictureFolder(const std::string& folder) { m_pictureFolder = folder; }
    // The document handed to the engine last (tests).
    const QByteArray& ShownDocument() const { return m_shownDocument; }

    void SetMode(int mode);
    int GetMode() const { return m_mode; }
    const QString& CurrentKey() const { return m_key; }

    // The rule of the preview: true when the address must go to the user's browser.
    static bool OpensOutside(int mode, const QUrl& url);
    // Whether scripts may run for a main-frame address: only for web pages the user browses.
    static bool ScriptsAllowed(int mode, const QUrl& url);
    // A local path as a file address.
    static QUrl LocalFileUrl(const QString& path);
    // The handler shared by every pane (made on first use).
    static CPaneSchemeHandler* SchemeHandler();
    // The address that the placeholders of remote images lead to.
    static QUrl LoadImagesUrl();
    // The web address an item's file link (CFeedItemView::kOpenOutsideAddress) carries, for
    // the desktop's handler; empty for any other address.
    static QUrl OutsideTarget(const QUrl& url);

signals:
    void ModeChanged(int mode);
    void AddressShown(const QString& address);
    // In a preview with a key, a right click asks the article list for its menu.
    void PreviewContextMenu(const QPoint& globalPos);
    void SubscribeRequested(const QString& address);
    // The user asked for the remote images of the rendered document (CurrentKey() tells which).
    void LoadImagesRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

private:
    friend class CHtmlPage;
    void ApplyScriptPolicy(const QUrl& url);
    // pictureFolder: whose pictures of drafts are served ("" for none).
    void ShowPreviewDocument(const std::string& html, const QString& key,
                             const std::string& pictureFolder);

    CHtmlPage* m_page = nullptr;
    int m_mode = kModeBrowse;
    QString m_key;
    QUrl m_renderedUrl;
    // The article of the preview showing, and its account.
    std::optional<ArticleRecord> m_previewArticle;
    std::optional<CAppContext> m_previewContext;
    std::string m_previewAccount;
    std::string m_pictureFolder;
    QByteArray m_shownDocument;
};
