#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStyle>
#include <string>

// The logic holds UTF-8 in std::string; the widgets hold QString.
inline QString ToQ(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStd(const QString& text) {
    return text.toStdString();
}

// The application title, as the window title, the tray tooltip and the about box show it.
inline QString AppTitle() {
    return QStringLiteral("妙笔 Quillmark");
}

// Colours are kept in the settings as Windows colour values (0x00BBGGRR, decimal).
inline QColor ColorFromSetting(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

inline int ColorToSetting(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

// An icon of the desktop's icon theme by its freedesktop name, or the style's own icon when
// the theme has none.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback = QStyle::SP_CustomBase);

// Makes sure icons by freedesktop name resolve: a desktop without a theme setting gets Adwaita.
void EnsureIconTheme();

// The maker's web pages: help, support forum and support site.
inline constexpr const char* kHelpPageAddress = "https://quillmark.org/help/";
inline constexpr const char* kSupportForumAddress = "https://quillmark.org/forum/";
inline constexpr const char* kSupportSiteAddress = "https://quillmark.org/";
