#pragma once

#include "app/AppContext.h"
#include "platform/jobs/JobRunner.h"
#include "reader/FeedFetcher.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QLineEdit;
class QPushButton;

// "添加订阅": the feed address, the channel's name (which "从地址获取" reads from the feed) and
// the site address.
class CSubscriptionDialog : public QDialog {
    Q_OBJECT
public:
    // The title is fetched through the context's proxy settings.
    explicit CSubscriptionDialog(const CAppContext& context, QWidget* parent = nullptr);
    ~CSubscriptionDialog() override;

    void SetValues(const QString& url, const QString& title, const QString& siteUrl);
    QString Url() const;
    QString Title() const;
    QString SiteUrl() const;

    QLineEdit* UrlEdit() const { return m_url; }
    QLineEdit* TitleEdit() const { return m_title; }
    QLineEdit* SiteEdit() const { return m_site; }
    QPushButton* FetchButton() const { return m_fetch; }

    // What 确定 does: the checks, then the dialog closes. False when a check refused.
    bool Confirm();
    // What "从地址获取" does: the title is read from the feed on a worker. A web page's address
    // becomes the feed it announces (the user picks one when it announces several).
    void FetchTitle();

    // Which of a page's feeds to take; nothing when the user cancels. Tests answer through it.
    using FeedChooser = std::function<std::optional<size_t>(const std::vector<FeedOffer>&)>;
    static void SetFeedChooser(FeedChooser chooser);

signals:
    // The title probe finished (the name field holds its result).
    void TitleFetched(const QString& title);

private:
    void OnTitle(const QString& title, const QString& site);
    void OnDiscovered(const FeedDiscovery& found, const QString& typed);

    CAppContext m_context;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_site = nullptr;
    QPushButton* m_fetch = nullptr;
    // Last: closing the dialog aborts the probe and joins it before the fields go.
    CJobRunner m_jobs{1};
};
