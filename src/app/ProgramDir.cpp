#include "app/ProgramDir.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "platform/fs/FileUtil.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// What each shipped file under Data/ looked like when it was last copied: "hash<TAB>path" lines.
constexpr const char* kShippedList = "Data\\shippedData.lst";

using ShippedHashes = std::map<std::string, std::size_t>;

std::size_t HashOf(const std::string& contents) {
    return std::hash<std::string>{}(contents);
}

ShippedHashes ReadShipped(const CAppContext& context) {
    ShippedHashes hashes;
    std::string text;
    if (!CFileUtil::ReadFile(context.FilePath(kShippedList), text))
        return hashes;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos)
            hashes[line.substr(tab + 1)] = std::strtoull(line.c_str(), nullptr, 10);
    }
    return hashes;
}

bool WriteShipped(const CAppContext& context, const ShippedHashes& hashes) {
    std::string text;
    for (const auto& [path, hash] : hashes)
        text += std::to_string(hash) + "\t" + path + "\n";
    return CFileUtil::WriteFileAtomic(context.FilePath(kShippedList), text);
}

} // namespace

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
    return Prepare(CAppContext::Process(), error);
}

bool CProgramDir::Prepare(const CAppContext& context, std::string& error) {
    for (const char* folder : {"", "config", "Storage", "Data", "Temp", "Plugin"}) {
        std::string path = *folder ? context.FilePath(folder) : context.Dir();
        if (!CFileUtil::CreateDirectories(path)) {
            error = path + ": " + CFileUtil::LastErrorText();
            return false;
        }
    }

    RemoveStaleTempFiles(context);

    const std::string dataDir = FindDataDir();
    std::error_code ec;
    if (!fs::is_directory(dataDir, ec)) {
        error = "找不到程序数据目录: " + dataDir;
        return false;
    }
    ShippedHashes shipped = ReadShipped(context);
    const ShippedHashes before = shipped;
    for (auto it = fs::recursive_directory_iterator(dataDir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = fs::relative(it->path(), dataDir, ec);
        const std::string target = context.FilePath(relative.string());
        if (it->is_directory()) {
            if (!CFileUtil::CreateDirectories(target)) {
                error = target + ": " + CFileUtil::LastErrorText();
                return false;
            }
            continue;
        }
        std::string contents;
        if (!CFileUtil::ReadFile(it->path().string(), contents)) {
            error = it->path().string() + ": " + CFileUtil::LastErrorText();
            return false;
        }
        // The styles and templates under Data/ that the user never edited follow a newer
        // program; every other file, and every edited one, stays as it is.
        const std::string key = relative.generic_string();
        const bool styles = key.rfind("Data/", 0) == 0;
        if (CFileUtil::Exists(target)) {
            std::string present;
            if (!styles || !CFileUtil::ReadFile(target, present))
                continue;
            const auto known = shipped.find(key);
            if (HashOf(present) == HashOf(contents)) {
                shipped[key] = HashOf(contents);
                continue;
            }
            if (known == shipped.end() || known->second != HashOf(present))
                continue;
        }
        // The account file holds passwords: only its owner may read it.
        const bool ownerOnly = relative == fs::path("config/userConfig.xml");
        if (!CFileUtil::WriteFileAtomic(target, contents, ownerOnly)) {
            error = target + ": " + CFileUtil::LastErrorText();
            return false;
        }
        if (styles)
            shipped[key] = HashOf(contents);
    }
    if (ec) {
        error = dataDir + ": " + ec.message();
        return false;
    }
    if (shipped != before && !WriteShipped(context, shipped)) {
        error = context.FilePath(kShippedList) + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}

int CProgramDir::RemoveStaleTempFiles(const CAppContext& context) {
    int removed = 0;
    for (const char* folder : {"config", "Storage", "Temp", "Data\\RssSkin"})
        removed += CFileUtil::RemoveStaleTempFiles(context.FilePath(folder));
    return removed;
}
