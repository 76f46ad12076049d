#pragma once

#include <QIcon>

// The program's own pictures, drawn so that they look the same on every desktop.
QIcon AppIcon();
// The orange feed symbol; overlay 0 none, 1 received (a green tick), 2 failed (a red cross and
// greyed), 3 receiving (blue arrows).
QIcon FeedIcon(int overlay = 0);
// Marks of the item list: new, unread, read.
QIcon ItemStateIcon(bool isNew, bool isRead);
