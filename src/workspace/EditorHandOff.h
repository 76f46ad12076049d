#pragma once

#include <optional>
#include <string>
#include <vector>

// What the editor program is started to do. The numbers are the ones written in the hand-off
// file, which the editor reads back; they never change.
enum class EditorTask {
    Compose = 0,              // a new article for the account
    EditReceived = 1,         // an article of 已收日志
    EditSent = 2,             // an article of 已发日志
    EditDraft = 3,            // an article of 草稿箱
    EditDeleted = 4,          // an article of 垃圾箱
    WriteFromFeedItem = 5,    // an article about a stored feed item (a channel's or a local hit)
    WriteFromSearchResult = 6 // the same, for an on-line search result (the scratch table)
};

// One account of the account tree, in tree order, with its node code.
struct HandOffAccount {
    std::string name;
    int treeId = 0;
};

// The editor's orders: which account, which article or feed item, and where its folders are.
// Texts are UTF-8 here; the file holds them in GBK, escaped.
struct EditorHandOff {
    EditorTask task = EditorTask::Compose;
    std::string account;
    // The article's id in blog.db (edit tasks) or the feed item's id (tasks 5 and 6); none for
    // Compose.
    std::optional<long long> index;
    int publishFolderTreeId = 0; // the node code of the account's 已发日志
    int draftFolderTreeId = 0;   // the node code of the account's 草稿箱
    std::vector<HandOffAccount> accounts;
};

// The answer of writing or reading a hand-off file: the reason is empty on success.
struct HandOffResult {
    bool ok = false;
    std::string reason;
};

// Temp/subprocess.xml, the one-way message from the main window to the editor program: written
// just before the editor starts, read by the editor at once on start.
class CEditorHandOff {
public:
    // The file's text: one line, declared gb2312, GBK bytes, every value XML-escaped and any
    // character GBK cannot hold written as a character reference, so that whatever an account
    // is named the file reads back whole.
    static std::string Format(const EditorHandOff& handOff);
    // Writes Format's text to path, replacing the file whole (a reader never sees half of it).
    static HandOffResult WriteHandOff(const std::string& path, const EditorHandOff& handOff);
    // Reads a hand-off file back; bad input gives a reason and no orders.
    static std::optional<EditorHandOff> Parse(const std::string& text, std::string* reason);
    static std::optional<EditorHandOff> ReadHandOff(const std::string& path, std::string* reason);
    // The node code of an account's folder: 1000 + 100 x account index + 10 x folder code
    // (0: the account node itself).
    static int NodeCode(int accountIndex, int folder) {
        return 1000 + 100 * accountIndex + 10 * folder;
    }
};
