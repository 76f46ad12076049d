#include "ui/common/FileChooser.h"

#include <QFileDialog>
#include <QStringList>

namespace {
CFileChooserHandler* g_fileChooserHandler = nullptr;
}

void CFileChooser::SetHandler(CFileChooserHandler* handler) {
    g_fileChooserHandler = handler;
}

QString CFileChooser::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts[i];
        // The description may carry its patterns in brackets already.
        if (const int bracket = description.indexOf(QLatin1Char('(')); bracket > 0)
            description = description.left(bracket).trimmed();
        entries << description + QStringLiteral(" (") + patterns.simplified() + QStringLiteral(")");
    }
    return entries.join(QStringLiteral(";;"));
}

QString CFileChooser::OpenFile(QWidget* parent, const QString& caption, const QString& filter) {
    if (g_fileChooserHandler)
        return g_fileChooserHandler->OnOpenFile(caption, filter);
    return QFileDialog::getOpenFileName(parent, caption, QString(), QtFilter(filter));
}

QString CFileChooser::SaveFile(QWidget* parent, const QString& caption, const QString& proposedName,
                               const QString& filter) {
    if (g_fileChooserHandler)
        return g_fileChooserHandler->OnSaveFile(caption, proposedName, filter);
    return QFileDialog::getSaveFileName(parent, caption, proposedName, QtFilter(filter));
}
