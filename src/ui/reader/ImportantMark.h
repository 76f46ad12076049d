#pragma once

#include <QVariant>

class QTreeWidgetItem;

// The ★ column of the item lists (a channel's items and a favorite's): an item marked important
// shows a red star there, under a star in the header. One look for both lists.
class CImportantMark {
public:
    // What the column's cell holds for the role: the star, its alignment, colour and tool tip;
    // an empty value for any other role.
    static QVariant Cell(bool important, int role);
    // What the column's header holds for the role (the star, "重要" as its tool tip).
    static QVariant Header(int role);
    // Fills the column's cell of a row of a QTreeWidget.
    static void Apply(QTreeWidgetItem& row, int column, bool important);
};
