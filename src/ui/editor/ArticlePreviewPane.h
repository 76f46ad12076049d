#pragma once

#include "app/AppContext.h"
#include "storage/ArticleDatabase.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class CBottomHtmlView;
class CCancelToken;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

// How the 预览 tab shows the article.
enum class PreviewLook {
    kAccountStyle, // 日志样式: through the account's style (Data/LogSkin), as the main window does
    kWebsite,      // 网站样式: inside the weblog's own home page (CWebsiteStyle)
};

// The editor's 预览 tab: the article as the editor holds it now, shown with scripts off in the
// web engine through the account's style (the main window's own preview), or inside the
// weblog's home page when the account has a weblog address. The home page is read on a worker
// the first time 网站样式 is chosen without a kept copy, and again on 刷新; while it is read and
// when it cannot be, the account's style shows and the line above the view says why.
//
// The web engine is started the first time the tab is drawn, so that it costs the editor's
// start nothing.
class CArticlePreviewPane : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        // The article as the editor holds it now (content: HTML, local pictures as file://).
        std::function<ArticleRecord()> article;
        // Runs work on a worker, then done on the interface thread (the window's helper).
        std::function<void(std::function<void()> work, std::function<void()> done)> inBackground;
    };

    explicit CArticlePreviewPane(Hooks hooks, QWidget* parent = nullptr);
    ~CArticlePreviewPane() override;

    // The account whose style and weblog the preview shows, the program directory it belongs to
    // and where its drafts' pictures lie. Nothing is shown before.
    void SetAccount(const CAppContext& context, const std::string& account,
                    const std::string& pictureFolder);

    PreviewLook Look() const;
    void SetLook(PreviewLook look);
    // Draws the article again now; ScheduleRefresh a moment later, and only while the tab shows
    // (typing).
    void Refresh();
    void ScheduleRefresh();
    // 刷新: reads the weblog's home page again.
    void ReloadWebsite();
    // Ends a home page read under way (the window is closing).
    void Cancel();

    // For tests: the parts, the line above the view ("" while hidden), and whether the home page
    // is being read.
    CBottomHtmlView* View() const { return m_view; }
    QComboBox* LookBox() const { return m_look; }
    QPushButton* ReloadButton() const { return m_reload; }
    QString StatusLine() const;
    bool IsReading() const { return m_reading; }

    static constexpr int kRefreshDelayMs = 500;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void EnsureView();
    void StartReading();
    void ShowStatus(const QString& text);

    Hooks m_hooks;
    // What the account's weblog address allows: 网站样式 and 刷新 only with one.
    void ApplyHome();
    // 刷新 is offered with 网站样式 of a weblog that has an address, while no read is under way.
    void UpdateReload();

    std::optional<CAppContext> m_context;
    std::string m_account;
    std::string m_pictureFolder;
    std::string m_home; // the weblog's address, "" when the account has none
    std::string m_template;
    bool m_reading = false;
    std::shared_ptr<CCancelToken> m_cancel;
    QVBoxLayout* m_layout = nullptr;
    QComboBox* m_look = nullptr;
    QPushButton* m_reload = nullptr;
    QLabel* m_status = nullptr;
    CBottomHtmlView* m_view = nullptr;
    QTimer* m_delay = nullptr;
};
