#include "ui/common/AppIcons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <cmath>
#include <functional>

namespace {

QPixmap Canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawFeed(QPainter& p, const QRectF& r, bool grey) {
    const qreal s = r.width();
    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0, grey ? QColor(0xb8, 0xb8, 0xb8) : QColor(0xff, 0xa8, 0x3a));
    fill.setColorAt(1, grey ? QColor(0x8c, 0x8c, 0x8c) : QColor(0xe8, 0x6a, 0x10));
    p.setPen(QPen(grey ? QColor(0x78, 0x78, 0x78) : QColor(0xc4, 0x58, 0x0a), s / 16.0));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(s / 32, s / 32, -s / 32, -s / 32), s * 0.2, s * 0.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const QPointF origin(r.left() + s * 0.27, r.bottom() - s * 0.27);
    p.drawEllipse(origin, s * 0.1, s * 0.1);
    QPen arc(Qt::white, s * 0.12, Qt::SolidLine, Qt::FlatCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    for (qreal radius : {s * 0.36, s * 0.6}) {
        QRectF box(origin.x() - radius, origin.y() - radius, 2 * radius, 2 * radius);
        p.drawArc(box, 0, 90 * 16);
    }
}

QPixmap FeedPixmap(int size, int overlay) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    DrawFeed(p, QRectF(0, 0, s, s), overlay == 2);
    const QRectF badge(s * 0.5, s * 0.5, s * 0.5, s * 0.5);
    if (overlay == 1) {
        p.setPen(QPen(Qt::white, s * 0.06));
        p.setBrush(QColor(0x2e, 0x9d, 0x3a));
        p.drawEllipse(badge.adjusted(s * 0.02, s * 0.02, -s * 0.02, -s * 0.02));
        QPainterPath tick;
        tick.moveTo(badge.left() + badge.width() * 0.25, badge.top() + badge.height() * 0.52);
        tick.lineTo(badge.left() + badge.width() * 0.44, badge.top() + badge.height() * 0.70);
        tick.lineTo(badge.left() + badge.width() * 0.76, badge.top() + badge.height() * 0.32);
        p.setPen(QPen(Qt::white, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    } else if (overlay == 2) {
        p.setPen(QPen(Qt::white, s * 0.06));
        p.setBrush(QColor(0xd0, 0x2c, 0x2c));
        p.drawEllipse(badge.adjusted(s * 0.02, s * 0.02, -s * 0.02, -s * 0.02));
        p.setPen(QPen(Qt::white, s * 0.08, Qt::SolidLine, Qt::RoundCap));
        const QRectF x = badge.adjusted(badge.width() * 0.32, badge.height() * 0.32,
                                        -badge.width() * 0.32, -badge.height() * 0.32);
        p.drawLine(x.topLeft(), x.bottomRight());
        p.drawLine(x.topRight(), x.bottomLeft());
    } else if (overlay == 3) {
        p.setPen(QPen(Qt::white, s * 0.06));
        p.setBrush(QColor(0x2a, 0x6f, 0xd0));
        p.drawEllipse(badge.adjusted(s * 0.02, s * 0.02, -s * 0.02, -s * 0.02));
        const QRectF ring = badge.adjusted(badge.width() * 0.25, badge.height() * 0.25,
                                           -badge.width() * 0.25, -badge.height() * 0.25);
        p.setPen(QPen(Qt::white, s * 0.06, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(ring, 30 * 16, 240 * 16);
    }
    return pixmap;
}

QPixmap AppPixmap(int size) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x3d, 0x8b, 0xe0));
    fill.setColorAt(1, QColor(0x1c, 0x55, 0xa8));
    p.setPen(QPen(QColor(0x16, 0x45, 0x8a), qMax(1.0, s / 32)));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.22, s * 0.22);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(qRound(s * 0.66));
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, -s * 0.04, s, s), Qt::AlignCenter, QStringLiteral("笔"));
    // A small feed mark in the corner: the program reads feeds too.
    if (size >= 24) {
        const qreal b = s * 0.34;
        DrawFeed(p, QRectF(s - b - s * 0.04, s - b - s * 0.04, b, b), false);
    }
    return pixmap;
}

QPixmap StatePixmap(int size, bool isNew, bool isRead) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QRectF dot(s * 0.3, s * 0.3, s * 0.4, s * 0.4);
    if (isNew) {
        // A small star for what arrived with the last receive.
        QPainterPath star;
        const QPointF c(s / 2, s / 2);
        for (int i = 0; i < 10; ++i) {
            const qreal radius = (i % 2 == 0) ? s * 0.46 : s * 0.2;
            const qreal angle = -M_PI / 2 + i * M_PI / 5;
            const QPointF point(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
            if (i == 0)
                star.moveTo(point);
            else
                star.lineTo(point);
        }
        star.closeSubpath();
        p.setPen(QPen(QColor(0xc8, 0x6a, 0x00), s / 16));
        p.setBrush(QColor(0xff, 0xb3, 0x20));
        p.drawPath(star);
    } else if (!isRead) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2a, 0x6f, 0xd0));
        p.drawEllipse(dot);
    } else {
        p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), s / 16));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(dot);
    }
    return pixmap;
}

QIcon Sized(const std::function<QPixmap(int)>& draw) {
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64})
        icon.addPixmap(draw(size));
    return icon;
}

} // namespace

QIcon AppIcon() {
    static const QIcon icon = Sized(AppPixmap);
    return icon;
}

QIcon FeedIcon(int overlay) {
    static std::array<QIcon, 4> icons;
    if (overlay < 0 || overlay > 3)
        overlay = 0;
    if (icons[overlay].isNull())
        icons[overlay] = Sized([overlay](int size) { return FeedPixmap(size, overlay); });
    return icons[overlay];
}

QIcon ItemStateIcon(bool isNew, bool isRead) {
    static std::array<QIcon, 3> icons;
    const int which = isNew ? 0 : (isRead ? 2 : 1);
    if (icons[which].isNull())
        icons[which] =
            Sized([isNew, isRead](int size) { return StatePixmap(size, isNew, isRead); });
    return icons[which];
}
