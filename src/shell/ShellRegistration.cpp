#include "shell/ShellRegistration.h"

#include "platform/fs/FileUtil.h"
#include "shell/MimeAppsList.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kStateMagic = "quillmark-browser-handler 1";

// What mimeapps.list held before the first add: the file, our section, each type's line.
struct SavedState {
    bool fileExisted = false;
    bool endedWithNewline = true;
    bool sectionAdded = false;
    bool blankBeforeSection = false;
    std::map<std::string, std::optional<std::string>> lines{};
};

std::string WriteState(const SavedState& state) {
    std::ostringstream out;
    out << kStateMagic << "\n";
    out << "# mimeapps.list as it was before Quillmark became the browser's feed handler\n";
    out << "file-existed " << state.fileExisted << "\n";
    out << "final-newline " << state.endedWithNewline << "\n";
    out << "section-added " << state.sectionAdded << "\n";
    out << "blank-before-section " << state.blankBeforeSection << "\n";
    for (const auto& [type, line] : state.lines) {
        out << "type " << type << "\n";
        if (line)
            out << "line " << *line << "\n";
    }
    return out.str();
}

bool ReadState(const std::string& text, SavedState& state) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kStateMagic)
        return false;
    std::string type;
    while (std::getline(in, line)) {
        const size_t blank = line.find(' ');
        if (line.empty() || line[0] == '#' || blank == std::string::npos)
            continue;
        const std::string word = line.substr(0, blank);
        const std::string rest = line.substr(blank + 1);
        if (word == "file-existed")
            state.fileExisted = rest == "1";
        else if (word == "final-newline")
            state.endedWithNewline = rest == "1";
        else if (word == "section-added")
            state.sectionAdded = rest == "1";
        else if (word == "blank-before-section")
            state.blankBeforeSection = rest == "1";
        else if (word == "type")
            state.lines[type = rest] = std::nullopt;
        else if (word == "line" && !type.empty())
            state.lines[type] = rest;
    }
    return true;
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    // The conventions ignore a relative path.
    if (value && *value == '/')
        return value;
    return fallback;
}

// mimeapps.list may be a link into a folder of dotfiles: the link stays, its target is written.
std::string WriteTarget(const std::string& path) {
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::canonical(path, ec);
        if (!ec)
            return target.string();
    }
    return path;
}

bool WriteWithReason(const std::string& path, const std::string& text, std::string& error) {
    if (!CFileUtil::CreateDirectories(fs::path(path).parent_path().string()) ||
        !CFileUtil::WriteFileAtomic(WriteTarget(path), text)) {
        error = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}

bool RemoveWithReason(const std::string& path, std::string& error) {
    std::error_code ec;
    fs::remove(path, ec);
    if (ec) {
        error = path + ": " + ec.message();
        return false;
    }
    return true;
}

bool ReadIfPresent(const std::string& path, std::string& text, bool& present, std::string& error) {
    text.clear();
    present = CFileUtil::Exists(path);
    if (present && !CFileUtil::ReadFile(path, text)) {
        error = path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}

} // namespace

CShellRegistration::CShellRegistration(XdgFolders folders) : m_folders(std::move(folders)) {}

XdgFolders CShellRegistration::FoldersFromEnvironment() {
    const char* home = std::getenv("HOME");
    const std::string base = home && *home ? home : "/";
    return {.dataHome = EnvOr("XDG_DATA_HOME", base + "/.local/share"),
            .configHome = EnvOr("XDG_CONFIG_HOME", base + "/.config")};
}

const std::vector<std::string>& CShellRegistration::HandledTypes() {
    // feed:// links too: browsers hand them to the program that takes that scheme.
    static const std::vector<std::string> types = {"x-scheme-handler/quill",
                                                   "x-scheme-handler/feed", "application/rss+xml",
                                                   "application/atom+xml", "application/x-rss+xml"};
    return types;
}

std::string CShellRegistration::DesktopEntryPath() const {
    return m_folders.dataHome + "/applications/" + kDesktopId;
}

std::string CShellRegistration::MimeAppsPath() const {
    return m_folders.configHome + "/mimeapps.list";
}

std::string CShellRegistration::SavedStatePath() const {
    return m_folders.configHome + "/quillmark/browser-handler.saved";
}

std::string CShellRegistration::QuoteExecArgument(const std::string& argument) {
    // Reserved characters make the argument quoted; inside the quotes ", `, $ and \ are escaped.
    // The Exec value is itself a string value, whose own escaping doubles every backslash.
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = argument.empty() || argument.find_first_of(reserved) != std::string::npos;
    std::string out;
    if (quote)
        out += '"';
    for (char c : argument) {
        if (c == '%')
            out += "%%";
        else if (c == '"' || c == '`' || c == '$')
            out += std::string("\\\\") + c;
        else if (c == '\\')
            out += "\\\\\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    if (quote)
        out += '"';
    return out;
}

std::string CShellRegistration::DesktopEntryText(const HandlerProgram& program) {
    std::string exec = QuoteExecArgument(program.executable);
    if (!program.programDir.empty())
        exec += " --home " + QuoteExecArgument(program.programDir);
    exec += " %u";
    std::string types;
    for (const std::string& type : HandledTypes())
        types += type + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Quillmark\n"
           "Name[zh_CN]=妙笔\n"
           "GenericName=Feed Reader\n"
           "GenericName[zh_CN]=RSS阅读器\n"
           "Comment=Subscribe to this feed link with Quillmark\n"
           "Comment[zh_CN]=订阅此RSS链接到Quillmark\n"
           "Exec=" +
           exec +
           "\n"
           "Icon=org.quillmark.Quillmark\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=" +
           types +
           "\n"
           "Categories=Network;Feed;\n";
}

bool CShellRegistration::IsRegistered() const {
    return CFileUtil::Exists(DesktopEntryPath()) || CFileUtil::Exists(SavedStatePath());
}

std::string CShellRegistration::DefaultFor(const std::string& mimeType) const {
    std::string text;
    if (!CFileUtil::ReadFile(MimeAppsPath(), text))
        return {};
    const std::vector<std::string> entries = CMimeAppsList(text).Entries(kSection, mimeType);
    return entries.empty() ? std::string() : entries.front();
}

bool CShellRegistration::Register(const HandlerProgram& program, std::string& error) {
    if (program.executable.empty()) {
        error = "找不到 quillmark 程序";
        return false;
    }
    std::string text;
    bool present = false;
    if (!ReadIfPresent(MimeAppsPath(), text, present, error))
        return false;
    CMimeAppsList list(text);

    // A second add keeps what was there before the first one, except for a type whose default
    // someone changed in between: that choice is what a later remove gives back.
    SavedState state;
    std::string savedText;
    const bool haveState =
        CFileUtil::ReadFile(SavedStatePath(), savedText) && ReadState(savedText, state);
    if (!haveState) {
        state = SavedState{.fileExisted = present, .endedWithNewline = list.EndsWithNewline()};
        if (!list.HasSection(kSection)) {
            state.sectionAdded = true;
            state.blankBeforeSection = list.AddSection(kSection);
        }
    } else if (!list.HasSection(kSection)) {
        list.AddSection(kSection);
    }
    for (const std::string& type : HandledTypes()) {
        std::vector<std::string> entries = list.Entries(kSection, type);
        const bool ours = !entries.empty() && entries.front() == kDesktopId;
        if (!haveState || !ours || !state.lines.count(type))
            state.lines[type] = list.Line(kSection, type);
        // Ours first; the others stay behind it as the next choices.
        std::erase(entries, std::string(kDesktopId));
        entries.insert(entries.begin(), kDesktopId);
        list.SetLine(kSection, type, CMimeAppsList::JoinEntries(type, entries));
    }

    // The state first: whatever fails after it, a remove can still put things back.
    return WriteWithReason(SavedStatePath(), WriteState(state), error) &&
           WriteWithReason(DesktopEntryPath(), DesktopEntryText(program), error) &&
           WriteWithReason(MimeAppsPath(), list.Text(), error);
}

bool CShellRegistration::Unregister(RemoveOutcome& outcome, std::string& error) {
    outcome = RemoveOutcome::kNothingToRemove;
    std::string savedText;
    SavedState state;
    const bool haveState = CFileUtil::Exists(SavedStatePath());
    if (haveState) {
        if (!CFileUtil::ReadFile(SavedStatePath(), savedText)) {
            error = SavedStatePath() + ": " + CFileUtil::LastErrorText();
            return false;
        }
        if (!ReadState(savedText, state)) {
            error = SavedStatePath() + ": 内容无法识别, 未做任何改动";
            return false;
        }
    }

    std::string text;
    bool present = false;
    if (!ReadIfPresent(MimeAppsPath(), text, present, error))
        return false;
    CMimeAppsList list(text);
    bool changed = false;
    for (const std::string& type : HandledTypes()) {
        std::vector<std::string> entries = list.Entries(kSection, type);
        const auto ours = std::find(entries.begin(), entries.end(), kDesktopId);
        if (ours == entries.end())
            continue;
        changed = true;
        const auto saved = state.lines.find(type);
        if (ours == entries.begin() && saved != state.lines.end()) {
            // Still as we left it: the line that was there before, or none.
            if (saved->second)
                list.SetLine(kSection, type, *saved->second);
            else
                list.RemoveKey(kSection, type);
        } else {
            // Someone chose again since: only our entry leaves.
            entries.erase(ours);
            if (entries.empty())
                list.RemoveKey(kSection, type);
            else
                list.SetLine(kSection, type, CMimeAppsList::JoinEntries(type, entries));
        }
    }
    if (haveState && state.sectionAdded)
        list.RemoveSectionIfEmpty(kSection, state.blankBeforeSection);
    if (haveState && state.fileExisted)
        list.SetEndsWithNewline(state.endedWithNewline);

    if (changed) {
        outcome = RemoveOutcome::kRemoved;
        if (haveState && !state.fileExisted && list.IsBlank()) {
            if (!RemoveWithReason(MimeAppsPath(), error))
                return false;
        } else if (!WriteWithReason(MimeAppsPath(), list.Text(), error)) {
            return false;
        }
    }
    if (CFileUtil::Exists(DesktopEntryPath())) {
        outcome = RemoveOutcome::kRemoved;
        if (!RemoveWithReason(DesktopEntryPath(), error))
            return false;
    }
    if (haveState) {
        outcome = RemoveOutcome::kRemoved;
        if (!RemoveWithReason(SavedStatePath(), error))
            return false;
        // Our folder goes too when nothing else of ours is in it.
        std::error_code ec;
        const fs::path folder = fs::path(SavedStatePath()).parent_path();
        if (fs::is_empty(folder, ec) && !ec)
            fs::remove(folder, ec);
    }
    return true;
}
