#include "ui/common/UiText.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    if (!icon.isNull() || fallback == QStyle::SP_CustomBase)
        return icon;
    return QApplication::style()->standardIcon(fallback);
}

void EnsureIconTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor") &&
        !QIcon::fromTheme(QStringLiteral("document-new")).isNull())
        return;
    for (const QString& base : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(base + QStringLiteral("/Adwaita/index.theme"))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}
