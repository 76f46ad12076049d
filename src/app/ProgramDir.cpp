#include "app/ProgramDir.h"

#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string CProgramDir::FindDataDir() {
    const auto holdsData = [](const std::string& dir) {
        return CFileUtil::Exists(dir + "/config/appConfig.xml");
    };
    if (const char* env = std::getenv("QUILLMARK_DATA_DIR"); env && *env)
        return env;
    std::string exeDir = GetExecutableDir();
    if (!exeDir.empty()) {
        std::string installed = exeDir + "/../share/quillmark";
        if (holdsData(installed))
            return fs::weakly_canonical(installed).string();
    }
    if (holdsData(QUILL_SOURCE_DATA_DIR))
        return QUILL_SOURCE_DATA_DIR;
    return QUILL_INSTALL_DATA_DIR;
}

bool CProgramDir::Prepare(std::string& error) {
    const std::string home = GetModuleDir();
    for (const char* folder : {"", "config", "Storage", "Data", "Temp", "Plugin"}) {
        std::string path = *folder ? GetAppFilePath(folder) : home;
        if (!CFileUtil::CreateDirectories(path)) {
            error = path + ": " + CFileUtil::LastErrorText();
            return false;
        }
    }

    RemoveStaleTempFiles();

    const std::string dataDir = FindDataDir();
    std::error_code ec;
    if (!fs::is_directory(dataDir, ec)) {
        error = "找不到程序数据目录: " + dataDir;
        return false;
    }
    for (auto it = fs::recursive_directory_iterator(dataDir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = fs::relative(it->path(), dataDir, ec);
        const std::string target = GetAppFilePath(relative.string());
        if (it->is_directory()) {
            if (!CFileUtil::CreateDirectories(target)) {
                error = target + ": " + CFileUtil::LastErrorText();
                return false;
            }
            continue;
        }
        if (CFileUtil::Exists(target))
            continue;
        std::string contents;
        // The account file holds passwords: only its owner may read it.
        const bool ownerOnly = relative == fs::path("config/userConfig.xml");
        if (!CFileUtil::ReadFile(it->path().string(), contents) ||
            !CFileUtil::WriteFileAtomic(target, contents, ownerOnly)) {
            error = target + ": " + CFileUtil::LastErrorText();
            return false;
        }
    }
    if (ec) {
        error = dataDir + ": " + ec.message();
        return false;
    }
    return true;
}

int CProgramDir::RemoveStaleTempFiles() {
    int removed = 0;
    for (const char* folder : {"config", "Storage", "Temp", "Data\\RssSkin"})
        removed += CFileUtil::RemoveStaleTempFiles(GetAppFilePath(folder));
    return removed;
}
