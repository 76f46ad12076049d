#include "ui/reader/SearchBar.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "app/ProxySetup.h"
#include "reader/FeedFetcher.h"
#include "storage/FeedDatabase.h"
#include "ui/app/MainFrame.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/RssReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

CSearchBar::CSearchBar(CRssReader& reader, CArticlesReportView& list, QWidget* parent)
    : QDockWidget(QStringLiteral("搜索"), parent), m_reader(reader), m_list(list) {
    setObjectName(QStringLiteral("searchBar"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_scope = new QComboBox(body);
    m_scope->addItems(
        {QStringLiteral("本地-当前频道"), QStringLiteral("本地-所有频道"),
         ToQ(CFeedSearch::NewsSearchLabel(CFeedSearch::NewsSearchHost(m_reader.Context())))});
    m_scope->setCurrentIndex(static_cast<int>(SearchScope::kAllChannels));
    m_count = new QComboBox(body);
    for (int count : CFeedSearch::kResultCounts)
        m_count->addItem(QStringLiteral("获取%1条搜索结果").arg(count), count);
    m_keyword = new QLineEdit(body);
    m_keyword->setPlaceholderText(QStringLiteral("关键字"));
    m_settingsHost = ToQ(CFeedSearch::NewsSearchHost(m_reader.Context()));
    m_host = new QLineEdit(m_settingsHost, body);
    m_host->setToolTip(QStringLiteral("新闻搜索服务的地址 (需以 RSS 回答 /ns?word=...)"));
    m_titleOnly = new QCheckBox(QStringLiteral("只搜索标题"), body);
    m_search = new QPushButton(QStringLiteral("搜索"), body);
    m_result = new QLabel(body);
    m_result->setWordWrap(true);
    layout->addWidget(m_scope);
    layout->addWidget(m_keyword);
    layout->addWidget(m_count);
    layout->addWidget(m_host);
    layout->addWidget(m_titleOnly);
    layout->addWidget(m_search);
    layout->addWidget(m_result);
    layout->addStretch(1);
    setWidget(body);

    // The count matters to the on-line search only.
    const auto followScope = [this] {
        const bool web = m_scope->currentIndex() == static_cast<int>(SearchScope::kWeb);
        m_count->setEnabled(web);
        m_host->setVisible(web);
    };
    followScope();
    connect(m_scope, &QComboBox::currentIndexChanged, this, [this, followScope] {
        FollowSettings();
        followScope();
    });
    connect(m_host, &QLineEdit::textEdited, this, &CSearchBar::NameService);
    connect(m_search, &QPushButton::clicked, this, &CSearchBar::RunSearch);
    connect(m_keyword, &QLineEdit::returnPressed, this, &CSearchBar::RunSearch);
}

void CSearchBar::FollowSettings() {
    const QString host = ToQ(CFeedSearch::NewsSearchHost(m_reader.Context()));
    // An address the user changed and has not searched with yet stays as it is.
    if (m_host->text().trimmed() == m_settingsHost)
        m_host->setText(host);
    m_settingsHost = host;
    NameService();
}

void CSearchBar::NameService() {
    m_scope->setItemText(static_cast<int>(SearchScope::kWeb),
                         ToQ(CFeedSearch::NewsSearchLabel(ToStd(m_host->text().trimmed()))));
}

CSearchBar::~CSearchBar() = default;

CSearchBar* CSearchBar::Toggle(CMainFrame& frame) {
    auto* bar = frame.findChild<CSearchBar*>();
    if (!bar) {
        bar = new CSearchBar(*frame.Reader(), *frame.ItemList(), &frame);
        frame.addDockWidget(Qt::LeftDockWidgetArea, bar);
        bar->show();
        bar->KeywordEdit()->setFocus();
        return bar;
    }
    // Hidden by the user or not, whether or not the frame itself is on the screen yet.
    bar->setHidden(!bar->isHidden());
    if (!bar->isHidden()) {
        bar->FollowSettings();
        bar->KeywordEdit()->setFocus();
    }
    return bar;
}

void CSearchBar::WaitForSearch() {
    m_jobs.Wait();
}

void CSearchBar::RunSearch() {
    if (!m_search->isEnabled())
        return;
    SearchRequest request{.keyword = ToStd(m_keyword->text()),
                          .scope = static_cast<SearchScope>(m_scope->currentIndex()),
                          .titleOnly = m_titleOnly->isChecked(),
                          .count = m_count->currentData().toInt()};
    if (CFeedSearch::IsBlank(request.keyword)) {
        CMessageBox::Show(this, QString::fromUtf8(CFeedSearch::kEmptyKeywordText));
        m_keyword->setFocus();
        return;
    }
    if (request.scope == SearchScope::kCurrent) {
        const int index = m_reader.View().Current();
        if (index < 0 || !m_reader.Tree().IsValid(index)) {
            CMessageBox::Show(this, QStringLiteral("请先在频道树中选择一个频道或目录"));
            return;
        }
        if (const StoreResult found =
                m_reader.Tree().FeedIdsBelow(index, m_reader.Store(), request.feedIds);
            !found) {
            CMessageBox::Show(this, QString::fromStdString(found.reason));
            return;
        }
        request.placeName = m_reader.Tree().PathText(index);
    }
    if (request.scope != SearchScope::kWeb) {
        // Served by the index; the list reads a page at a time, as a channel's items.
        request.pageSize = std::max(m_reader.Tree().Options().pageSize, 1);
        Finish(CFeedSearch(m_reader.Context(), m_reader.Store(), nullptr).Run(request), request);
        return;
    }
    // An address the user did not touch is the one the settings hold now.
    FollowSettings();
    if (!StoreHost())
        return;
    m_search->setEnabled(false);
    m_result->setText(QStringLiteral("搜索中..."));
    // The search replaces the last results in the store: their rows leave the list now.
    if (m_list.ShowsWebResults())
        m_list.Clear();
    WaitForSearch();
    const std::string path = m_reader.Store().GetPath();
    // The settings are read here, on the interface thread.
    const HttpProxy proxy = CProxySetup::Read(m_reader.Context(), ProxyFallback::kEnvironment);
    QPointer<CSearchBar> self(this);
    m_jobs.Submit([this, self, request, path, proxy,
                   context = m_reader.Context()](const CCancelToken& cancel) {
        // A worker opens its own connection to the store.
        SearchOutcome outcome;
        CFeedDatabase store(path);
        if (const StoreResult opened = store.OpenStore(); !opened) {
            outcome.message = CFeedSearch::kNoResultText;
            outcome.reason = opened.reason;
        } else {
            CFeedFetcher fetcher;
            fetcher.SetProxy(proxy);
            fetcher.SetCancelToken(&cancel);
            outcome = CFeedSearch(context, store, &fetcher).Run(request);
        }
        // The bar outlives its jobs: it is the context, checked again on the interface thread.
        QMetaObject::invokeMethod(
            this,
            [self, outcome, request] {
                if (self)
                    self->Finish(outcome, request);
            },
            Qt::QueuedConnection);
    });
}

bool CSearchBar::StoreHost() {
    std::string host = ToStd(m_host->text().trimmed());
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (host == CFeedSearch::NewsSearchHost(m_reader.Context()))
        return true;
    std::string message = CFeedSearch::CheckNewsSearchHost(host);
    if (message.empty() && !m_reader.Context().Settings().WriteAppValue("rss/newssearchhost", host))
        message = "无法保存新闻搜索的地址";
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        m_host->setFocus();
        return false;
    }
    m_settingsHost = ToQ(host);
    return true;
}

void CSearchBar::Finish(const SearchOutcome& outcome, const SearchRequest& request) {
    m_search->setEnabled(true);
    Show(outcome, request);
    emit SearchFinished();
}

void CSearchBar::Show(const SearchOutcome& outcome, const SearchRequest& request) {
    m_result->setText(ToQ(outcome.message));
    m_result->setToolTip(ToQ(outcome.reason));
    if (!outcome.found) {
        QString text = ToQ(outcome.message);
        if (!outcome.reason.empty())
            text += QStringLiteral("\n\n原因: ") + ToQ(outcome.reason);
        CMessageBox::Show(this, text);
        return;
    }
    m_list.ShowSearchResults(outcome, request);
}
