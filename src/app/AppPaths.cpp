#include "app/AppPaths.h"

#include "platform/fs/FileUtil.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <strings.h>
#include <unistd.h>

std::atomic<int> g_bAppExiting{0};

namespace {

std::mutex g_moduleDirLock;
std::string g_moduleDir;

std::string TrimTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::string ComputeModuleDir() {
    if (const char* home = std::getenv("QUILLMARK_HOME"); home && *home)
        return TrimTrailingSlash(home);
    std::string exeDir = GetExecutableDir();
    if (!exeDir.empty() && CFileUtil::Exists(exeDir + "/config/appConfig.xml"))
        return exeDir;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return TrimTrailingSlash(xdg) + "/quillmark";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/quillmark";
}

} // namespace

std::string GetExecutableDir() {
    std::array<char, 4096> buffer{};
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    std::string path(buffer.data(), static_cast<size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string GetModuleDir() {
    std::lock_guard lock(g_moduleDirLock);
    if (g_moduleDir.empty())
        g_moduleDir = ComputeModuleDir();
    return g_moduleDir;
}

void SetModuleDir(const std::string& dir) {
    std::lock_guard lock(g_moduleDirLock);
    g_moduleDir = TrimTrailingSlash(dir);
}

std::string ProgramFilePath(const std::string& programDir, const std::string& relativePath) {
    static constexpr std::array<const char*, 5> kFolders = {"Storage", "Plugin", "Data", "Temp",
                                                            "config"};
    std::string rel = relativePath;
    for (char& c : rel) {
        if (c == '\\')
            c = '/';
    }
    size_t start = rel.find_first_not_of('/');
    rel = start == std::string::npos ? std::string() : rel.substr(start);
    size_t slash = rel.find('/');
    std::string top = rel.substr(0, slash);
    for (const char* folder : kFolders) {
        if (strcasecmp(top.c_str(), folder) == 0) {
            rel.replace(0, top.size(), folder);
            break;
        }
    }
    return programDir + "/" + rel;
}

std::string GetAppFilePath(const std::string& relativePath) {
    return ProgramFilePath(GetModuleDir(), relativePath);
}

int WriteTextFile(const std::string& text, const std::string& relativePath) {
    return CFileUtil::WriteFileAtomic(GetAppFilePath(relativePath), text) ? 1 : 0;
}

int ReadTextFile(const std::string& fullPath, std::string& text) {
    return CFileUtil::ReadFile(fullPath, text) ? 1 : 0;
}
