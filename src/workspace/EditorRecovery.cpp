#include "workspace/EditorRecovery.h"

#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr const char* kNoteEnding = ".xml";
constexpr const char* kLockEnding = ".lock";

std::atomic<int> g_editorsInProcess{0};

bool EndsWith(const std::string& text, const std::string& ending) {
    return text.size() > ending.size() &&
           text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

std::string Format(const EditorRecord& r) {
    auto element = [](const char* name, const std::string& text) {
        return std::string("<") + name + ">" + CXmlText::Escape(text) + "</" + name + ">";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><editor>" + element("account", r.account) +
           element("article", std::to_string(r.articleId)) + element("window", r.windowTitle) +
           element("saved", std::to_string(r.savedAt)) + element("title", r.title) +
           element("category", r.category) + element("tags", r.tags) +
           element("content", r.content) +
           element("format", r.format == EditorFormat::kMarkdown ? "markdown" : "rich") +
           element("markdown", r.markdown) + "</editor>";
}

} // namespace

CEditorRecovery::CEditorRecovery(std::string folder) : m_folder(std::move(folder)) {}

CEditorRecovery::~CEditorRecovery() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::string CEditorRecovery::FolderOf(const CAppContext& context) {
    return context.FilePath("Temp\\Editor");
}

bool CEditorRecovery::Write(const EditorRecord& record, std::string& reason) {
    if (m_fd < 0) {
        if (!CFileUtil::CreateDirectories(m_folder)) {
            reason = "无法建立编辑器的恢复文件夹 " + m_folder + ": " + CFileUtil::LastErrorText();
            return false;
        }
        // One note per editor: its process and, for windows of one process, a count. A key
        // whose files are there belongs to an editor that died with the same process id (ids
        // come round again, after a restart soon): its note waits for its own article.
        std::string key;
        do {
            key = std::to_string(::getpid()) + "-" + std::to_string(++g_editorsInProcess);
        } while (CFileUtil::Exists(m_folder + "/" + key + kLockEnding) ||
                 CFileUtil::Exists(m_folder + "/" + key + kNoteEnding));
        const std::string lockPath = m_folder + "/" + key + kLockEnding;
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            reason = "无法锁定编辑器的恢复文件 " + lockPath + ": " + std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        m_fd = fd;
        m_key = key;
    }
    if (!CFileUtil::WriteFileAtomic(m_folder + "/" + m_key + kNoteEnding, Format(record), true)) {
        reason = "无法写入编辑器的恢复文件: " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}

void CEditorRecovery::End() {
    if (m_fd < 0)
        return;
    CFileUtil::RemoveFile(m_folder + "/" + m_key + kNoteEnding);
    CFileUtil::RemoveFile(m_folder + "/" + m_key + kLockEnding);
    ::close(m_fd);
    m_fd = -1;
    m_key.clear();
}

CEditorRecovery::Owner CEditorRecovery::OwnerOf(const std::string& key) const {
    if (key == m_key)
        return Owner::kAlive;
    const std::string lockPath = m_folder + "/" + key + kLockEnding;
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Owner::kGone;
    // The lock is free only when its editor is gone; taken here for a moment, it is let go at
    // once.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free ? Owner::kGone : Owner::kAlive;
}

std::vector<EditorRecord> CEditorRecovery::ReadAll(Owner owner) const {
    std::vector<EditorRecord> records;
    DIR* dir = ::opendir(m_folder.c_str());
    if (!dir)
        return records;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!EndsWith(name, kNoteEnding) || CFileUtil::IsTempFileName(name))
            continue;
        const std::string key = name.substr(0, name.size() - std::strlen(kNoteEnding));
        if (key == m_key || OwnerOf(key) != owner)
            continue;
        CXmlDocument doc;
        if (!doc.LoadFile(m_folder + "/" + name))
            continue;
        auto text = [&](const char* element) {
            return doc.SelectNode(std::string("/editor/") + element).GetText();
        };
        EditorRecord record{.key = key,
                            .account = text("account"),
                            .windowTitle = text("window"),
                            .title = text("title"),
                            .category = text("category"),
                            .tags = text("tags"),
                            .content = text("content"),
                            .format = text("format") == "markdown" ? EditorFormat::kMarkdown
                                                                   : EditorFormat::kRich,
                            .markdown = text("markdown")};
        record.articleId = std::atoi(text("article").c_str());
        record.savedAt = std::atoll(text("saved").c_str());
        records.push_back(std::move(record));
    }
    ::closedir(dir);
    return records;
}

std::vector<EditorRecord> CEditorRecovery::Interrupted(const std::string& account) const {
    std::vector<EditorRecord> records = ReadAll(Owner::kGone);
    std::erase_if(records, [&](const EditorRecord& r) { return r.account != account; });
    std::sort(records.begin(), records.end(),
              [](const EditorRecord& a, const EditorRecord& b) { return a.savedAt > b.savedAt; });
    return records;
}

std::optional<EditorRecord> CEditorRecovery::Holder(const std::string& account,
                                                    int articleId) const {
    if (articleId == 0)
        return std::nullopt;
    for (EditorRecord& record : ReadAll(Owner::kAlive)) {
        if (record.account == account && record.articleId == articleId)
            return std::move(record);
    }
    return std::nullopt;
}

void CEditorRecovery::Discard(const EditorRecord& record) const {
    if (record.key.empty() || record.key == m_key || OwnerOf(record.key) != Owner::kGone)
        return;
    CFileUtil::RemoveFile(m_folder + "/" + record.key + kNoteEnding);
    CFileUtil::RemoveFile(m_folder + "/" + record.key + kLockEnding);
}
