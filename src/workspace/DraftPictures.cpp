#include "workspace/DraftPictures.h"

#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "workspace/MediaFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <filesystem>

namespace {

// The src values of img elements: [position of the value, its length] as written.
struct SrcValue {
    size_t at;
    size_t length;
};

std::vector<SrcValue> ImageSources(const std::string& html) {
    std::vector<SrcValue> values;
    size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string::npos) {
        ++pos;
        if (html.compare(pos, 3, "img") != 0 && html.compare(pos, 3, "IMG") != 0)
            continue;
        const size_t end = html.find('>', pos);
        if (end == std::string::npos)
            break;
        for (size_t at = pos + 3; at + 4 < end; ++at) {
            if ((html.compare(at, 4, "src=") != 0 && html.compare(at, 4, "SRC=") != 0) ||
                !std::isspace(static_cast<unsigned char>(html[at - 1])))
                continue;
            const char quote = html[at + 4];
            if (quote != '"' && quote != '\'')
                break;
            const size_t close = html.find(quote, at + 5);
            if (close != std::string::npos && close < end)
                values.push_back({at + 5, close - at - 5});
            break;
        }
        pos = end;
    }
    return values;
}

std::string FirstFile(const std::string& folder) {
    std::string found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && !CFileUtil::IsTempFileName(name)) {
                found = folder + "/" + name;
                break;
            }
        }
        ::closedir(dir);
    }
    return found;
}

std::string Unescape(std::string text) {
    for (size_t at = 0; (at = text.find("&amp;", at)) != std::string::npos; ++at)
        text.erase(at + 1, 4);
    return text;
}

} // namespace

CDraftPictures::CDraftPictures(std::string folder) : m_folder(std::move(folder)) {}

std::string CDraftPictures::FolderOf(const CAppContext& context) {
    return context.FilePath("Storage\\Pictures");
}

bool CDraftPictures::KeepFile(const std::string& path, std::string& address,
                              std::string& reason) const {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (!CMediaFile::FitsSize(CFileUtil::FileSize(path), name, "图片", reason))
        return false;
    std::string bytes;
    if (!CFileUtil::ReadFile(path, bytes)) {
        reason = "无法读取图片文件 " + path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    return KeepBytes(bytes, name, address, reason);
}

bool CDraftPictures::KeepBytes(std::string_view bytes, const std::string& name,
                               std::string& address, std::string& reason) const {
    if (!CMediaFile::FitsSize(bytes.size(), name, "图片", reason))
        return false;
    const MediaType type = CMediaFile::Sniff(bytes);
    const std::string& ending = type.ending;
    if (!type.picture) {
        reason = name + " 不是图片 (只能插入 PNG, JPEG, GIF, WebP 或 BMP 图片)";
        return false;
    }
    // Named by the content (FNV-1a): the same picture twice is one file and one upload.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    // Kept under its own name (which the upload gives the weblog); the same picture under
    // another name is the copy kept first.
    const std::string folder = m_folder + "/" + hex;
    std::string copy = FirstFile(folder);
    if (copy.empty()) {
        std::string fileName = name.find('.') == std::string::npos ? name + "." + ending : name;
        if (fileName.empty() || fileName[0] == '.' || fileName.find('/') != std::string::npos)
            fileName = "picture." + ending;
        copy = folder + "/" + fileName;
    }
    if (!CFileUtil::Exists(copy) &&
        (!CFileUtil::CreateDirectories(folder) || !CFileUtil::WriteFileAtomic(copy, bytes))) {
        reason = "无法把图片 " + name + " 存入 " + m_folder + ": " + CFileUtil::LastErrorText();
        return false;
    }
    address = FileAddress(copy);
    return true;
}

bool CDraftPictures::Holds(const std::string& address) const {
    const std::string path = FilePath(address);
    if (path.empty())
        return false;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(path, error);
    if (error || !std::filesystem::is_regular_file(file, error))
        return false;
    const std::filesystem::path folder = std::filesystem::canonical(m_folder, error);
    // Each picture lies in a folder of its own below the pictures' folder.
    return !error && file.parent_path().parent_path() == folder;
}

std::vector<std::string> CDraftPictures::LocalPictures(const std::string& html) {
    std::vector<std::string> addresses;
    for (const SrcValue& value : ImageSources(html)) {
        const std::string address = Unescape(html.substr(value.at, value.length));
        if (address.starts_with("file://") &&
            std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    return addresses;
}

std::string CDraftPictures::ReplaceAddresses(const std::string& html,
                                             const std::map<std::string, std::string>& urls) {
    std::string out;
    size_t copied = 0;
    for (const SrcValue& value : ImageSources(html)) {
        auto found = urls.find(Unescape(html.substr(value.at, value.length)));
        if (found == urls.end())
            continue;
        out.append(html, copied, value.at - copied);
        for (char c : found->second)
            out += c == '&'   ? std::string("&amp;")
                   : c == '"' ? std::string("&quot;")
                              : std::string(1, c);
        copied = value.at + value.length;
    }
    out.append(html, copied);
    return out;
}

std::string CDraftPictures::FilePath(const std::string& address) {
    if (!address.starts_with("file://"))
        return {};
    std::string path;
    for (size_t i = 7; i < address.size(); ++i) {
        if (address[i] == '%' && i + 2 < address.size() &&
            std::isxdigit(static_cast<unsigned char>(address[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(address[i + 2]))) {
            path += static_cast<char>(std::stoi(address.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += address[i];
        }
    }
    return path;
}

std::string CDraftPictures::FileAddress(const std::string& path) {
    std::string address = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            address += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            address += escaped;
        }
    }
    return address;
}
