#include "ui/reader/PropertyPageRssSetupStatistics.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

CPropertyPageRssSetupStatistics::CPropertyPageRssSetupStatistics(const ReaderStatistics& figures,
                                                                 QWidget* parent)
    : CPropertyPage(QStringLiteral("统计"), parent) {
    auto* group = new QGroupBox(QStringLiteral("阅读器统计"));
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignRight);
    const QLocale locale(QLocale::Chinese, QLocale::China);
    auto value = [](const QString& text) {
        auto* label = new QLabel(text);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    form->addRow(QStringLiteral("订阅频道:"),
                 value(QStringLiteral("%1 个").arg(locale.toString(figures.channels))));
    form->addRow(QStringLiteral("频道目录:"),
                 value(QStringLiteral("%1 个").arg(locale.toString(figures.directories))));
    form->addRow(QStringLiteral("保存的文章:"),
                 value(QStringLiteral("%1 篇").arg(locale.toString(figures.items))));
    form->addRow(QStringLiteral("未读文章:"),
                 value(QStringLiteral("%1 篇").arg(locale.toString(figures.unread))));
    form->addRow(QStringLiteral("数据库文件:"), value(SizeText(figures.storeBytes)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

QString CPropertyPageRssSetupStatistics::SizeText(long long bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024.0, 0, 'f', 1);
    if (bytes < 1024LL * 1024 * 1024)
        return QStringLiteral("%1 MB").arg(bytes / (1024.0 * 1024.0), 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(bytes / (1024.0 * 1024.0 * 1024.0), 0, 'f', 2);
}
