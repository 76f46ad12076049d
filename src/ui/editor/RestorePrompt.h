#pragma once

#include <QString>

class CEditorSession;
class QWidget;
struct EditorRecord;

// The question a start asks when an editor of the account did not end normally (killed, crashed,
// the machine went down) and left work that fits the article being opened.
class CRestorePrompt {
public:
    // Offers the newest such work: restored into the session when the user agrees, else its
    // note is removed (what the autosave put into blog.db stays). True when restored.
    static bool Offer(QWidget* parent, CEditorSession& session);
    static QString Text(const EditorRecord& record);
};
