#include "ui/editor/ArticlePreviewPane.h"

#include "platform/http/CancelToken.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/UiText.h"
#include "workspace/WebsiteStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

CArticlePreviewPane::CArticlePreviewPane(Hooks hooks, QWidget* parent)
    : QWidget(parent), m_hooks(std::move(hooks)) {
    setObjectName(QStringLiteral("articlePreview"));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    m_look = new QComboBox(this);
    m_look->setObjectName(QStringLiteral("previewLook"));
    m_look->addItem(QStringLiteral("日志样式"));
    m_look->addItem(QStringLiteral("网站样式"));
    m_look->setItemData(0, QStringLiteral("按账户的日志样式 (Data/LogSkin) 显示, 和主窗口一样"),
                        Qt::ToolTipRole);
    m_reload = new QPushButton(QStringLiteral("刷新"), this);
    m_reload->setToolTip(QStringLiteral("重新读取博客首页的样式"));
    bar->addWidget(new QLabel(QStringLiteral("预览方式:"), this));
    bar->addWidget(m_look);
    bar->addWidget(m_reload);
    bar->addStretch(1);
    m_layout->addLayout(bar);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("previewStatus"));
    m_status->setWordWrap(true);
    m_status->setStyleSheet(QStringLiteral("background:#fff4ce; padding:4px;"));
    m_status->hide();
    m_layout->addWidget(m_status);
    m_layout->addStretch(1);

    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    m_delay->setInterval(kRefreshDelayMs);
    connect(m_delay, &QTimer::timeout, this, &CArticlePreviewPane::Refresh);
    connect(m_look, &QComboBox::activated, this, [this](int index) {
        SetLook(index == 1 ? PreviewLook::kWebsite : PreviewLook::kAccountStyle);
    });
    connect(m_reload, &QPushButton::clicked, this, &CArticlePreviewPane::ReloadWebsite);
    ApplyHome();
}

CArticlePreviewPane::~CArticlePreviewPane() {
    Cancel();
}

void CArticlePreviewPane::SetAccount(const CAppContext& context, const std::string& account,
                                     const std::string& pictureFolder) {
    m_context = context;
    m_account = account;
    m_pictureFolder = pictureFolder;
    m_home = CWebsiteStyle::HomeAddressOf(context, account);
    m_template.clear();
    ApplyHome();
}

void CArticlePreviewPane::ApplyHome() {
    auto* model = qobject_cast<QStandardItemModel*>(m_look->model());
    if (QStandardItem* website = model ? model->item(1) : nullptr) {
        website->setEnabled(!m_home.empty());
        website->setToolTip(m_home.empty()
                                ? QStringLiteral("账户设置中没有博客地址, 不能按网站样式预览")
                                : QStringLiteral("放进博客首页 %1 里显示").arg(ToQ(m_home)));
    }
    if (m_home.empty())
        m_look->setCurrentIndex(0);
    UpdateReload();
    if (m_view)
        m_view->SetPictureFolder(m_pictureFolder);
}

void CArticlePreviewPane::UpdateReload() {
    m_reload->setEnabled(!m_home.empty() && !m_reading && Look() == PreviewLook::kWebsite);
}

PreviewLook CArticlePreviewPane::Look() const {
    return m_look->currentIndex() == 1 ? PreviewLook::kWebsite : PreviewLook::kAccountStyle;
}

void CArticlePreviewPane::SetLook(PreviewLook look) {
    m_look->setCurrentIndex(look == PreviewLook::kWebsite ? 1 : 0);
    UpdateReload();
    if (look == PreviewLook::kAccountStyle) {
        if (!m_reading)
            ShowStatus({});
    } else if (m_home.empty()) {
        ShowStatus(
            QStringLiteral("账户设置中没有博客地址, 不能按网站样式预览; 现在显示的是日志样式"));
    } else if (m_template.empty() && !m_reading) {
        // A copy kept by an earlier editor shows at once; the site is read only without one.
        CWebsiteStyle style(*m_context);
        if (!style.LoadCached(m_account, m_home, m_template))
            StartReading();
    }
    Refresh();
}

void CArticlePreviewPane::ReloadWebsite() {
    if (m_home.empty() || m_reading)
        return;
    StartReading();
}

void CArticlePreviewPane::StartReading() {
    m_reading = true;
    UpdateReload();
    ShowStatus(QStringLiteral("正在读取博客首页的样式: %1 ...").arg(ToQ(m_home)));
    m_cancel = std::make_shared<CCancelToken>();
    auto style = std::make_shared<CWebsiteStyle>(*m_context);
    auto result = std::make_shared<SiteTemplate>();
    QPointer<CArticlePreviewPane> self(this);
    m_hooks.inBackground(
        [style, result, cancel = m_cancel, account = m_account, home = m_home] {
            *result = style->Fetch(account, home, cancel.get());
        },
        [self, result, home = m_home] {
            if (!self)
                return;
            self->m_reading = false;
            self->UpdateReload();
            if (home != self->m_home) // the account changed meanwhile
                return;
            if (result->ok) {
                self->m_template = result->html;
                self->ShowStatus({});
            } else if (self->m_template.empty()) {
                self->ShowStatus(QStringLiteral("无法使用网站样式, 现在显示的是日志样式: ") +
                                 ToQ(result->reason));
            } else {
                self->ShowStatus(
                    QStringLiteral("无法刷新网站样式, 现在显示的是上次读取的网站样式: ") +
                    ToQ(result->reason));
            }
            if (self->isVisible())
                self->Refresh();
        });
}

void CArticlePreviewPane::Cancel() {
    if (m_cancel)
        m_cancel->Cancel();
}

void CArticlePreviewPane::ShowStatus(const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

QString CArticlePreviewPane::StatusLine() const {
    return m_status->isHidden() ? QString() : m_status->text();
}

void CArticlePreviewPane::EnsureView() {
    if (m_view)
        return;
    m_view = new CBottomHtmlView(this);
    m_view->setObjectName(QStringLiteral("previewView"));
    m_view->SetPictureFolder(m_pictureFolder);
    // The view takes the stretch's place.
    delete m_layout->takeAt(m_layout->count() - 1);
    m_layout->addWidget(m_view, 1);
}

void CArticlePreviewPane::ScheduleRefresh() {
    if (isVisible())
        m_delay->start();
}

void CArticlePreviewPane::Refresh() {
    m_delay->stop();
    if (!m_hooks.article || !m_context)
        return;
    EnsureView();
    const ArticleRecord article = m_hooks.article();
    if (Look() == PreviewLook::kWebsite && !m_template.empty()) {
        m_view->ShowPreviewPage(CWebsiteStyle::Fill(m_template, article.title, article.content),
                                QString::number(article.id));
        return;
    }
    m_view->PreviewArticle(*m_context, article, m_account);
}

void CArticlePreviewPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}
