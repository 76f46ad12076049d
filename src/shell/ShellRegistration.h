#pragma once

#include <string>
#include <vector>

// The folders of the freedesktop conventions that the registration writes into.
struct XdgFolders {
    std::string dataHome;   // $XDG_DATA_HOME, by default ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME, by default ~/.config
};

// What the browser hand-off starts: the quillmark program, for the program directory.
struct HandlerProgram {
    std::string executable; // full path of quillmark
    std::string programDir; // passed as --home, so the link reaches this directory's instance
};

enum class RemoveOutcome { kRemoved, kNothingToRemove };

// Makes quillmark the user's handler of quill:// links and of feed documents, and takes that
// back again. Adding writes a desktop entry into $XDG_DATA_HOME/applications and makes it the
// default for each handled type in $XDG_CONFIG_HOME/mimeapps.list; the lines that stood there
// before are remembered in a small file of ours, so that removing puts them back as they were.
// Nothing needs root, and no other program's entry is touched.
class CShellRegistration {
public:
    static constexpr const char* kDesktopId = "quillmark-handler.desktop";
    static constexpr const char* kSection = "Default Applications";
    // The success texts of the two commands.
    static constexpr const char* kAddedText =
        "加入成功!\n您可以在浏览器中点击RSS订阅链接(quill:// 或 feed://)订阅到Quillmark\n"
        "(在新的浏览器实例中生效)!";
    static constexpr const char* kRemovedText = "成功移除浏览器关联信息!";
    static constexpr const char* kNothingText = "浏览器右键订阅尚未加入, 没有需要移除的内容。";

    explicit CShellRegistration(XdgFolders folders);
    // The folders as the environment names them (the defaults under $HOME otherwise).
    static XdgFolders FoldersFromEnvironment();
    // x-scheme-handler/quill and /feed, and the three feed document types.
    static const std::vector<std::string>& HandledTypes();

    // Adding twice rewrites the same entry; what was there before the first add is kept.
    bool Register(const HandlerProgram& program, std::string& error);
    bool Unregister(RemoveOutcome& outcome, std::string& error);
    bool IsRegistered() const;
    // The first desktop entry that mimeapps.list names as the default of the type, or empty.
    std::string DefaultFor(const std::string& mimeType) const;

    std::string DesktopEntryPath() const;
    std::string MimeAppsPath() const;
    std::string SavedStatePath() const;

    // The desktop entry that runs the program with the link (%u).
    static std::string DesktopEntryText(const HandlerProgram& program);
    // One argument of an Exec line, quoted and escaped as the desktop entry format requires.
    static std::string QuoteExecArgument(const std::string& argument);

private:
    XdgFolders m_folders;
};
