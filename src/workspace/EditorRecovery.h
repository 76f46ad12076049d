#pragma once

#include "workspace/EditorFormat.h"

#include <optional>
#include <string>
#include <vector>

class CAppContext;

// The article an editor has open, as the editor notes it beside the program directory's other
// scratch files: whose it is, the window that shows it and its text as of the last autosave.
struct EditorRecord {
    std::string key; // the running editor that wrote it (file names in the folder)
    std::string account;
    int articleId = 0; // 0: a new article never saved
    std::string windowTitle;
    long long savedAt = 0; // when the text was noted, seconds since 1970
    std::string title;
    std::string category;
    std::string tags;
    std::string content;
    EditorFormat format = EditorFormat::kRich;
    std::string markdown; // the source of content, in kMarkdown
};

// The notes of the editors that run, and of those that did not end normally (killed, crashed,
// the machine went down): each editor holds an advisory lock on its own file while it runs and
// replaces its note atomically, so a note whose lock is free belongs to an editor that is gone
// and holds what it had at its last autosave. A normal end removes the note.
class CEditorRecovery {
public:
    // folder: where the notes lie (Temp/Editor of the program directory by default).
    explicit CEditorRecovery(std::string folder);
    // Lets the lock go but keeps the note: only End says the editor ended normally.
    ~CEditorRecovery();
    CEditorRecovery(const CEditorRecovery&) = delete;
    CEditorRecovery& operator=(const CEditorRecovery&) = delete;

    // Notes what this editor has open now (taking the lock on the first call).
    bool Write(const EditorRecord& record, std::string& reason);
    // A normal end: the note and its lock go.
    void End();

    // The notes of editors that are gone, of the account, newest first.
    std::vector<EditorRecord> Interrupted(const std::string& account) const;
    // The note of another running editor that has the article open, if any.
    std::optional<EditorRecord> Holder(const std::string& account, int articleId) const;
    // Removes the note of an editor that is gone (once it has been offered).
    void Discard(const EditorRecord& record) const;

    // The folder of a program directory: Temp/Editor.
    static std::string FolderOf(const CAppContext& context);

private:
    enum class Owner { kAlive, kGone };
    std::vector<EditorRecord> ReadAll(Owner owner) const;
    Owner OwnerOf(const std::string& key) const;

    std::string m_folder;
    std::string m_key;
    int m_fd = -1;
};
