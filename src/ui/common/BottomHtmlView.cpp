#include "ui/common/BottomHtmlView.h"

#include "export/ArticlePreview.h"
#include "platform/xml/XmlText.h"
#include "reader/FeedItemView.h"
#include "workspace/DraftPictures.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QPointer>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

// Documents kept for the back and forward buttons.
constexpr int kKeptDocuments = 8;

bool IsWebAddress(const QUrl& url) {
    const QString text = url.toString();
    return text.startsWith(QLatin1String("http:"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
}

} // namespace

CPaneSchemeHandler::CPaneSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

void CPaneSchemeHandler::RegisterScheme() {
    if (!QWebEngineUrlScheme::schemeByName(kScheme).name().isEmpty())
        return;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl CPaneSchemeHandler::Add(const QByteArray& html) {
    const QString path = QStringLiteral("/doc/%1").arg(m_next++);
    m_documents.insert(path, html);
    m_order.append(path);
    while (m_order.size() > kKeptDocuments)
        m_documents.remove(m_order.takeFirst());
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(path);
    return url;
}

QUrl CPaneSchemeHandler::AddFile(const QString& path) {
    QString address = m_fileAddress.value(path);
    if (address.isEmpty()) {
        address = QStringLiteral("/file/%1").arg(m_files.size() + 1);
        m_files.insert(address, path);
        m_fileAddress.insert(path, address);
    }
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(address);
    return url;
}

void CPaneSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    if (auto file = m_files.constFind(job->requestUrl().path()); file != m_files.constEnd()) {
        auto* device = new QFile(file.value(), job);
        if (!device->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        job->reply(QMimeDatabase().mimeTypeForFile(file.value()).name().toLatin1(), device);
        return;
    }
    auto it = m_documents.constFind(job->requestUrl().path());
    if (it == m_documents.constEnd()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(it.value());
    buffer->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
}

CHtmlPage::CHtmlPage(CBottomHtmlView* view, QObject* parent)
    : QWebEnginePage(parent), m_view(view) {}

bool CHtmlPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (url.scheme().compare(QLatin1String("quill"), Qt::CaseInsensitive) == 0) {
        emit SubscribeRequested(url.toString());
        return false;
    }
    // Scripts are off in rendered items: the placeholder of a remote image is a link to this
    // address, and following it asks for the document again with its images.
    if (url == CBottomHtmlView::LoadImagesUrl()) {
        emit LoadImagesRequested();
        return false;
    }
    if (url.scheme() == QLatin1String(CPaneSchemeHandler::kScheme) &&
        url.path() == QLatin1String("/open")) {
        if (const QUrl target = CBottomHtmlView::OutsideTarget(url); !target.isEmpty())
            emit OpenOutside(target);
        return false;
    }
    if (isMainFrame && CBottomHtmlView::OpensOutside(m_view->GetMode(), url)) {
        emit OpenOutside(url);
        return false;
    }
    if (isMainFrame)
        m_view->ApplyScriptPolicy(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

CBottomHtmlView::CBottomHtmlView(QWidget* parent) : QWebEngineView(parent) {
    SchemeHandler();
    m_page = new CHtmlPage(this, this);
    setPage(m_page);
    QWebEngineSettings* settings = m_page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    connect(m_page, &CHtmlPage::OpenOutside, this,
            [](const QUrl& url) { QDesktopServices::openUrl(url); });
    connect(m_page, &CHtmlPage::SubscribeRequested, this, &CBottomHtmlView::SubscribeRequested);
    connect(m_page, &CHtmlPage::LoadImagesRequested, this, &CBottomHtmlView::LoadImagesRequested);
    setUrl(QUrl(QStringLiteral("about:blank")));
}

CPaneSchemeHandler* CBottomHtmlView::SchemeHandler() {
    static CPaneSchemeHandler* handler = nullptr;
    if (!handler) {
        handler = new CPaneSchemeHandler(QCoreApplication::instance());
        QWebEngineProfile::defaultProfile()->installUrlSchemeHandler(CPaneSchemeHandler::kScheme,
                                                                     handler);
    }
    return handler;
}

QUrl CBottomHtmlView::LoadImagesUrl() {
    return QUrl(QString::fromLatin1(CFeedItemView::kLoadImagesAddress));
}

QUrl CBottomHtmlView::OutsideTarget(const QUrl& url) {
    const QUrl link(QString::fromLatin1(CFeedItemView::kOpenOutsideAddress));
    if (url.scheme() != link.scheme() || url.path() != link.path())
        return {};
    const QUrl target(QUrlQuery(url).queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded));
    return IsWebAddress(target) ? target : QUrl();
}

bool CBottomHtmlView::OpensOutside(int mode, const QUrl& url) {
    return mode == kModePreview && IsWebAddress(url);
}

bool CBottomHtmlView::ScriptsAllowed(int mode, const QUrl& url) {
    return mode != kModePreview && IsWebAddress(url);
}

QUrl CBottomHtmlView::LocalFileUrl(const QString& path) {
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QUrl::fromLocalFile(slashed);
}

void CBottomHtmlView::ApplyScriptPolicy(const QUrl& url) {
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled,
                                     ScriptsAllowed(m_mode, url));
}

void CBottomHtmlView::SetMode(int mode) {
    if (m_mode == mode)
        return;
    m_mode = mode;
    emit ModeChanged(mode);
}

void CBottomHtmlView::NavigateUrl(const QString& address) {
    m_previewArticle.reset();
    m_key = address;
    SetMode(kModeBrowse);
    const QUrl url = address == QLatin1String("about:blank")
                         ? QUrl(address)
                         : QUrl::fromUserInput(address.trimmed());
    ApplyScriptPolicy(url);
    setUrl(url);
    emit AddressShown(address);
}

void CBottomHtmlView::NavigateLocalFile(const QString& path) {
    m_previewArticle.reset();
    SetMode(kModeBrowse);
    const QUrl url = LocalFileUrl(path);
    ApplyScriptPolicy(url);
    setUrl(url);
}

void CBottomHtmlView::ShowBlank() {
    m_previewArticle.reset();
    SetMode(kModeBrowse);
    m_key.clear();
    ApplyScriptPolicy(QUrl());
    setUrl(QUrl(QStringLiteral("about:blank")));
}

void CBottomHtmlView::ShowPreview(const QString& path, const QString& key) {
    m_previewArticle.reset();
    SetMode(kModePreview);
    ApplyScriptPolicy(QUrl());
    if (path.isEmpty()) {
        m_key.clear();
        setUrl(QUrl(QStringLiteral("about:blank")));
        return;
    }
    m_key = key;
    setUrl(LocalFileUrl(path));
}

void CBottomHtmlView::ShowRendered(const QByteArray& html, const QString& key,
                                   const QString& fragment) {
    m_previewArticle.reset();
    SetMode(kModeBrowse);
    m_key = key;
    m_renderedUrl = SchemeHandler()->Add(html);
    QUrl url = m_renderedUrl;
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    ApplyScriptPolicy(url);
    setUrl(url);
    emit AddressShown(QString());
}

void CBottomHtmlView::PreviewArticle(const CAppContext& context, const ArticleRecord& article,
                                     const std::string& accountName) {
    CArticlePreview preview(context);
    std::string html;
    if (const ExportResult rendered =
            preview.Render(article, preview.StyleOfAccount(accountName), html);
        !rendered) {
        html = "<html><head><meta charset=\"UTF-8\"><title>预览失败</title></head><body><p>"
               "无法显示这篇日志: " +
               CXmlText::Escape(rendered.reason) + "</p></body></html>";
    }
    m_previewArticle = article;
    m_previewAccount = accountName;
    m_previewContext = context;
    ShowPreviewDocument(html, QString::number(article.id),
                        m_pictureFolder.empty() ? CDraftPictures::FolderOf(context)
                                                : m_pictureFolder);
}

void CBottomHtmlView::ShowPreviewPage(const std::string& html, const QString& key) {
    m_previewArticle.reset();
    ShowPreviewDocument(html, key, m_pictureFolder);
}

void CBottomHtmlView::ShowPreviewDocument(const std::string& html, const QString& key,
                                          const std::string& pictureFolder) {
    // The pictures kept with drafts are served from their files; any other file:// address
    // stays as it is and shows nothing.
    const CDraftPictures pictures(pictureFolder);
    std::map<std::string, std::string> served;
    for (const std::string& address : CDraftPictures::LocalPictures(html)) {
        if (!pictureFolder.empty() && pictures.Holds(address))
            served[address] =
                SchemeHandler()
                    ->AddFile(QString::fromStdString(CDraftPictures::FilePath(address)))
                    .toString()
                    .toStdString();
    }
    SetMode(kModePreview);
    m_key = key;
    m_shownDocument = QByteArray::fromStdString(
        served.empty() ? html : CDraftPictures::ReplaceAddresses(html, served));
    m_renderedUrl = SchemeHandler()->Add(m_shownDocument);
    ApplyScriptPolicy(QUrl());
    setUrl(m_renderedUrl);
}

void CBottomHtmlView::RefreshArticlePreview() {
    if (m_mode != kModePreview || !m_previewArticle || !m_previewContext)
        return;
    const ArticleRecord article = *m_previewArticle;
    const std::string account = m_previewAccount;
    const CAppContext context = *m_previewContext;
    PreviewArticle(context, article, account);
}

void CBottomHtmlView::ScrollToAnchor(const QString& fragment) {
    if (m_renderedUrl.isEmpty())
        return;
    QUrl url = m_renderedUrl;
    url.setFragment(fragment);
    setUrl(url);
}

void CBottomHtmlView::PageDown(const std::function<void(bool atEnd)>& done) {
    const QString script = QStringLiteral(
        "(function () {"
        "  var e = document.scrollingElement || document.documentElement;"
        "  if (!e || e.scrollTop + window.innerHeight >= e.scrollHeight - 2) return true;"
        "  window.scrollBy(0, Math.max(window.innerHeight - 40, 40));"
        "  return false;"
        "})()");
    QPointer<CBottomHtmlView> self(this);
    page()->runJavaScript(script, [self, done](const QVariant& atEnd) {
        if (self)
            done(atEnd.toBool());
    });
}

void CBottomHtmlView::contextMenuEvent(QContextMenuEvent* event) {
    if (m_mode != kModePreview) {
        QWebEngineView::contextMenuEvent(event);
        return;
    }
    // A blank preview has no menu; a preview of an article has the article list's.
    event->accept();
    if (!m_key.isEmpty())
        emit PreviewContextMenu(event->globalPos());
}

QWebEngineView* CBottomHtmlView::createWindow(QWebEnginePage::WebWindowType) {
    // Links meant for a new window open in the pane.
    return this;
}
