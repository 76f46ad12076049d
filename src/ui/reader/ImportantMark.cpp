#include "ui/reader/ImportantMark.h"

#include <QColor>
#include <QTreeWidgetItem>

QVariant CImportantMark::Cell(bool important, int role) {
    switch (role) {
    case Qt::DisplayRole:
        return important ? QStringLiteral("★") : QString();
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::ForegroundRole:
        return QColor(0xD0, 0x30, 0x20);
    case Qt::ToolTipRole:
        return important ? QVariant(QStringLiteral("重要")) : QVariant();
    default:
        return {};
    }
}

QVariant CImportantMark::Header(int role) {
    switch (role) {
    case Qt::DisplayRole:
        return QStringLiteral("★");
    case Qt::ToolTipRole:
        return QStringLiteral("重要");
    default:
        return {};
    }
}

void CImportantMark::Apply(QTreeWidgetItem& row, int column, bool important) {
    for (int role : {Qt::DisplayRole, Qt::TextAlignmentRole, Qt::ForegroundRole, Qt::ToolTipRole})
        row.setData(column, role, Cell(important, role));
}
