#pragma once

#include "platform/jobs/JobRunner.h"
#include "reader/FeedSearch.h"

#include <QDockWidget>

class CArticlesReportView;
class CMainFrame;
class CRssReader;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The docked "搜索" bar: the scope (the current channel or directory, all channels, the
// on-line news search), the keyword, the result count of the on-line search and the title-only
// switch. The hits fill the item list; the on-line search runs on a worker so that the window
// stays responsive, with the search button disabled until it ends.
class CSearchBar : public QDockWidget {
    Q_OBJECT
public:
    CSearchBar(CRssReader& reader, CArticlesReportView& list, QWidget* parent = nullptr);
    ~CSearchBar() override;

    // The bar of the main window: made and docked on first use, then shown or hidden.
    static CSearchBar* Toggle(CMainFrame& frame);

    void RunSearch();

    QComboBox* ScopeBox() const { return m_scope; }
    QComboBox* CountBox() const { return m_count; }
    QLineEdit* KeywordEdit() const { return m_keyword; }
    QCheckBox* TitleOnlyBox() const { return m_titleOnly; }
    QPushButton* SearchButton() const { return m_search; }
    QLabel* ResultLabel() const { return m_result; }
    // The address of the news search service (shown for the on-line scope only).
    QLineEdit* HostEdit() const { return m_host; }
    // Waits for an on-line search that is still running (tests, shutdown).
    void WaitForSearch();

    // The service's address and name as the settings have them now (another program may have
    // changed them); an address the user is typing stays.
    void FollowSettings();

signals:
    void SearchFinished();

private:
    void Show(const SearchOutcome& outcome, const SearchRequest& request);
    void Finish(const SearchOutcome& outcome, const SearchRequest& request);
    // The on-line scope is named after the service address in the field.
    void NameService();
    // Keeps a changed service address in the settings; false (said already) when refused.
    bool StoreHost();

    CRssReader& m_reader;
    CArticlesReportView& m_list;
    QComboBox* m_scope = nullptr;
    QComboBox* m_count = nullptr;
    QLineEdit* m_keyword = nullptr;
    QLineEdit* m_host = nullptr;
    QString m_settingsHost; // the address the settings held when the field was last filled
    QCheckBox* m_titleOnly = nullptr;
    QPushButton* m_search = nullptr;
    QLabel* m_result = nullptr;
    // Last: closing the bar aborts the on-line search and joins it before the fields go.
    CJobRunner m_jobs{1};
};
