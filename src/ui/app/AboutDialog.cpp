#include "ui/app/AboutDialog.h"

#include "ui/common/AppIcons.h"
#include "ui/common/UiText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 ") + AppTitle());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    auto* icon = new QLabel;
    icon->setPixmap(AppIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    m_title = new QLabel(AppTitle());
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_version = new QLabel(VersionText());
    auto* about = new QLabel(QStringLiteral("博客客户端与RSS阅读器"));
    about->setStyleSheet(QStringLiteral("color: #5a6472;"));

    auto* ok = new QPushButton(QStringLiteral("确定"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    text->addWidget(m_title);
    text->addWidget(m_version);
    text->addWidget(about);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 16, 14);
    layout->addLayout(top);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

QString CAboutDialog::VersionText() {
    return QStringLiteral("版本: ") + QStringLiteral(QUILL_VERSION);
}
