#include "ui/reader/SubscriptionDialog.h"

#include "app/ProxySetup.h"
#include "reader/ChannelTree.h"
#include "reader/FeedFetcher.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
CSubscriptionDialog::FeedChooser g_feedChooser;
} // namespace

CSubscriptionDialog::CSubscriptionDialog(const CAppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context) {
    setWindowTitle(QStringLiteral("添加订阅"));
    m_url = new QLineEdit;
    m_url->setPlaceholderText(QStringLiteral("http://"));
    m_url->setMinimumWidth(360);
    m_fetch = new QPushButton(QStringLiteral("从地址获取"));
    m_title = new QLineEdit;
    m_site = new QLineEdit;
    auto* urlRow = new QHBoxLayout;
    urlRow->addWidget(m_url, 1);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(m_title, 1);
    titleRow->addWidget(m_fetch);

    auto* intro = new QLabel(QStringLiteral("请输入要订阅的RSS频道的地址，并为频道起一个名称。"));
    intro->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("RSS地址:"), urlRow);
    form->addRow(QStringLiteral("频道名称:"), titleRow);
    form->addRow(QStringLiteral("网站地址:"), m_site);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addSpacing(4);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    connect(m_fetch, &QPushButton::clicked, this, &CSubscriptionDialog::FetchTitle);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSubscriptionDialog::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CSubscriptionDialog::~CSubscriptionDialog() = default;

void CSubscriptionDialog::SetValues(const QString& url, const QString& title,
                                    const QString& siteUrl) {
    m_url->setText(url);
    m_title->setText(title);
    m_site->setText(siteUrl);
}

QString CSubscriptionDialog::Url() const {
    return m_url->text().trimmed();
}

QString CSubscriptionDialog::Title() const {
    return m_title->text().trimmed();
}

QString CSubscriptionDialog::SiteUrl() const {
    return m_site->text().trimmed();
}

bool CSubscriptionDialog::Confirm() {
    const std::string message = CChannelTree::CheckSubscription(ToStd(Url()), ToStd(Title()));
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        if (Url().isEmpty())
            m_url->setFocus();
        else
            m_title->setFocus();
        return false;
    }
    accept();
    return true;
}

void CSubscriptionDialog::FetchTitle() {
    if (Url().isEmpty()) {
        CMessageBox::Show(this, QStringLiteral("请输入RSS地址"));
        m_url->setFocus();
        return;
    }
    m_fetch->setEnabled(false);
    m_fetch->setText(QStringLiteral("获取中..."));
    // The settings are read here: a failure is shown by this thread, not the worker.
    const HttpProxy proxy = CProxySetup::Read(m_context, ProxyFallback::kEnvironment);
    QPointer<CSubscriptionDialog> self(this);
    m_jobs.Submit([self, context = this, url = ToStd(Url()), proxy](const CCancelToken& cancel) {
        CFeedFetcher fetcher;
        fetcher.SetProxy(proxy);
        fetcher.SetCancelToken(&cancel);
        const FeedDiscovery found = fetcher.DiscoverFeeds(url);
        if (cancel.IsCancelled())
            return;
        // The dialog outlives its jobs: it is the context, checked again on the interface thread.
        PostToUi(context, [self, found, typed = ToQ(url)] {
            if (self)
                self->OnDiscovered(found, typed);
        });
    });
}

void CSubscriptionDialog::SetFeedChooser(FeedChooser chooser) {
    g_feedChooser = std::move(chooser);
}

void CSubscriptionDialog::OnDiscovered(const FeedDiscovery& found, const QString& typed) {
    if (found.isFeed || found.offers.empty()) {
        if (found.answered && found.offers.empty()) {
            m_fetch->setText(QStringLiteral("从地址获取"));
            m_fetch->setEnabled(true);
            CMessageBox::Show(this, ToQ(found.reason));
            emit TitleFetched(QString());
            return;
        }
        OnTitle(found.offers.empty() ? QString() : ToQ(found.offers[0].title),
                found.offers.empty() ? QString() : ToQ(found.offers[0].site));
        return;
    }
    // A web page: its feed, or the one the user picks of several.
    std::optional<size_t> chosen = 0;
    if (found.offers.size() > 1) {
        if (g_feedChooser) {
            chosen = g_feedChooser(found.offers);
        } else {
            QStringList entries;
            for (const FeedOffer& offer : found.offers)
                entries << (offer.title.empty() ? ToQ(offer.url)
                                                : ToQ(offer.title) + QStringLiteral("  —  ") +
                                                      ToQ(offer.url));
            bool ok = false;
            const QString entry = QInputDialog::getItem(
                this, QStringLiteral("选择订阅"),
                QStringLiteral("这个网页提供多个订阅, 请选择一个:"), entries, 0, false, &ok);
            chosen = ok ? std::optional<size_t>(entries.indexOf(entry)) : std::nullopt;
        }
    }
    if (!chosen || *chosen >= found.offers.size()) {
        m_fetch->setText(QStringLiteral("从地址获取"));
        m_fetch->setEnabled(true);
        emit TitleFetched(QString());
        return;
    }
    const FeedOffer& offer = found.offers[*chosen];
    m_url->setText(ToQ(offer.url));
    // The page the user typed is the site the feed belongs to.
    OnTitle(ToQ(offer.title), typed);
}

void CSubscriptionDialog::OnTitle(const QString& title, const QString& site) {
    m_fetch->setText(QStringLiteral("从地址获取"));
    m_fetch->setEnabled(true);
    if (title.isEmpty()) {
        CMessageBox::Show(this, QStringLiteral("无法获取标题!"));
    } else {
        m_title->setText(title);
    }
    // The site's address fills the field unless the user has typed one.
    const QString typed = m_site->text().trimmed();
    if (!site.isEmpty() && (typed.isEmpty() || typed.compare(QStringLiteral("http://"),
                                                             Qt::CaseInsensitive) == 0))
        m_site->setText(site);
    emit TitleFetched(title);
}
