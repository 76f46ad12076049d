#include "ui/common/ReadingFrame.h"

#include "ui/common/BottomHtmlView.h"
#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"

#include <QAction>
#include <QLineEdit>
#include <QToolBar>
#include <QVBoxLayout>

CReadingFrame::CReadingFrame(QWidget* parent) : QWidget(parent) {
    m_toolBar = new QToolBar;
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setStyleSheet(QStringLiteral("QToolBar { border: none; padding: 1px; }"));
    AddCommand(kCmdBack, QStringLiteral("后退"), "go-previous", QStyle::SP_ArrowBack);
    AddCommand(kCmdForward, QStringLiteral("前进"), "go-next", QStyle::SP_ArrowForward);
    AddCommand(kCmdStop, QStringLiteral("停止"), "process-stop", QStyle::SP_BrowserStop);
    AddCommand(kCmdRefresh, QStringLiteral("刷新"), "view-refresh", QStyle::SP_BrowserReload);
    AddCommand(kCmdBlankPage, QStringLiteral("空白页"), "document-new", QStyle::SP_FileIcon);
    m_toolBar->addSeparator();
    m_address = new QLineEdit;
    m_address->setPlaceholderText(QStringLiteral("输入网址后按回车"));
    m_address->setClearButtonEnabled(true);
    m_toolBar->addWidget(m_address);
    QAction* go =
        AddCommand(kCmdGoAddress, QStringLiteral("地址"), "go-jump", QStyle::SP_CommandLink);
    go->setToolTip(QStringLiteral("转到地址栏中的网址"));
    m_toolBar->addSeparator();
    QAction* direct = AddCommand(kCmdBrowseDirectly, QStringLiteral("直接浏览网页"), "web-browser",
                                 QStyle::SP_DriveNetIcon);
    direct->setCheckable(true);
    direct->setToolTip(QStringLiteral("直接浏览网页: 选中文章时打开文章的网页"));

    m_view = new CBottomHtmlView;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_view, 1);

    connect(m_address, &QLineEdit::returnPressed, this, [this] { OnCommand(kCmdGoAddress); });
    connect(m_view, &CBottomHtmlView::AddressShown, m_address, &QLineEdit::setText);
    connect(m_view, &CBottomHtmlView::urlChanged, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            m_address->setText(url.toString());
    });
    connect(m_view, &CBottomHtmlView::ModeChanged, this,
            [this](int mode) { m_toolBar->setVisible(mode != CBottomHtmlView::kModePreview); });
}

QAction* CReadingFrame::AddCommand(int id, const QString& text, const char* icon, int fallback) {
    QAction* action =
        m_toolBar->addAction(ThemeIcon(icon, static_cast<QStyle::StandardPixmap>(fallback)), text);
    action->setData(id);
    action->setToolTip(text);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions.append(action);
    return action;
}

QAction* CReadingFrame::Action(int commandId) const {
    for (QAction* action : m_actions)
        if (action->data().toInt() == commandId)
            return action;
    return nullptr;
}

void CReadingFrame::OnCommand(int commandId) {
    switch (commandId) {
    case kCmdBack:
        m_view->back();
        break;
    case kCmdForward:
        m_view->forward();
        break;
    case kCmdStop:
        m_view->stop();
        break;
    case kCmdRefresh:
        m_view->reload();
        break;
    case kCmdBlankPage:
        m_view->NavigateUrl(QStringLiteral("about:blank"));
        break;
    case kCmdGoAddress:
        if (!m_address->text().trimmed().isEmpty())
            m_view->NavigateUrl(m_address->text().trimmed());
        break;
    case kCmdBrowseDirectly:
        m_browseDirectly = !m_browseDirectly;
        if (QAction* action = Action(kCmdBrowseDirectly))
            action->setChecked(m_browseDirectly);
        break;
    default:
        break;
    }
}
