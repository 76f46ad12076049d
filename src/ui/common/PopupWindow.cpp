#include "ui/common/PopupWindow.h"

#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>

CPopupWindow::CPopupWindow(QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("popup"));
    setWindowTitle(QStringLiteral("消息提示"));
    setFrameShape(QFrame::Box);
    setStyleSheet(QStringLiteral(
        "#popup { background: #fdfdfd; border: 1px solid #8a9bb0; }"
        "#popupHead { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e9eff7,"
        " stop:1 #d3deec); border-bottom: 1px solid #b7c4d6; }"
        "#popupTitle { font-weight: bold; color: #24364f; }"
        "#popupText { color: #1a1a1a; }"
        "#popupClose { border: none; background: transparent; }"));

    auto* head = new QWidget;
    head->setObjectName(QStringLiteral("popupHead"));
    auto* headRow = new QHBoxLayout(head);
    headRow->setContentsMargins(8, 3, 3, 3);
    auto* title = new QLabel(QStringLiteral("消息提示"));
    title->setObjectName(QStringLiteral("popupTitle"));
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("popupClose"));
    close->setIcon(ThemeIcon("window-close", QStyle::SP_TitleBarCloseButton));
    close->setIconSize(QSize(14, 14));
    close->setToolTip(QStringLiteral("关闭"));
    headRow->addWidget(title);
    headRow->addStretch();
    headRow->addWidget(close);

    auto* icon = new QLabel;
    icon->setPixmap(
        ThemeIcon("dialog-information", QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    m_text = new QLabel;
    m_text->setObjectName(QStringLiteral("popupText"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_text->setCursor(Qt::PointingHandCursor);
    m_text->installEventFilter(this);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(12, 10, 12, 12);
    body->setSpacing(12);
    body->addWidget(icon);
    body->addWidget(m_text, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(head);
    layout->addLayout(body, 1);
    setFixedSize(280, 118);

    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::hide);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
}

QString CPopupWindow::BlogResultText(int code) {
    switch (code) {
    case kBlogResultFetched:
        return QStringLiteral("文章已经接收完毕!");
    case kBlogResultDeleted:
        return QStringLiteral("文章删除成功!");
    case kBlogResultPublished:
        return QStringLiteral("文章发布成功!");
    default:
        return QString();
    }
}

QString CPopupWindow::NewItemsText(const QString& channelTitle, int count) {
    return channelTitle + QStringLiteral("\r\n有 ") + QString::number(count) +
           QStringLiteral(" 个更新");
}

QString CPopupWindow::NewItemsSummaryText(const QList<QPair<QString, int>>& channels, int items) {
    constexpr int kNamed = 3;
    QStringList named;
    for (int i = 0; i < channels.size() && i < kNamed; ++i)
        named << channels[i].first + QStringLiteral(" (") + QString::number(channels[i].second) +
                     QStringLiteral(")");
    QString text = QString::number(channels.size()) + QStringLiteral(" 个频道有 ") +
                   QString::number(items) + QStringLiteral(" 个新条目\r\n") +
                   named.join(QStringLiteral(", "));
    if (channels.size() > kNamed)
        text += QStringLiteral(" 等");
    return text;
}

void CPopupWindow::Popup(const QString& text, int milliseconds) {
    if (text.isEmpty())
        return;
    // The previous notification's text goes first.
    m_lastText = text;
    m_duration = milliseconds;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setText(shown);
    PlaceInCorner();
    show();
    raise();
    m_timer.start(milliseconds);
}

void CPopupWindow::PlaceInCorner() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.right() - width() - 8, area.bottom() - height() - 8);
}

void CPopupWindow::mousePressEvent(QMouseEvent* event) {
    // A click anywhere closes the notification.
    hide();
    m_timer.stop();
    QFrame::mousePressEvent(event);
}

bool CPopupWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_text && event->type() == QEvent::MouseButtonPress) {
        hide();
        m_timer.stop();
        emit TextClicked();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
