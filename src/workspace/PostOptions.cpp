#include "workspace/PostOptions.h"

#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "platform/fs/HexFileName.h"

PostOptionSupport PostOptionSupport::For(const std::string& type) {
    if (type == "Blogger") {
        const std::string none = "Blogger 接口没有";
        return {.categories = none + "分类",
                .tags = none + "标签",
                .excerpt = none + "摘要",
                .slug = none + "文章网址 (slug)",
                .date = "Blogger 接口总以服务器收到文章的时间为发布时间",
                .comments = none + "评论设置"};
    }
    if (type == "MovableType" || type == "MSN Spaces") {
        const std::string none = type + " 接口不发送";
        return {.tags = none + "标签",
                .excerpt = none + "摘要",
                .slug = none + "文章网址 (slug)",
                .comments = none + "评论设置"};
    }
    return {};
}

CCategoryCache::CCategoryCache(std::string folder) : m_folder(std::move(folder)) {}

std::string CCategoryCache::FolderOf(const CAppContext& context) {
    return context.FilePath("Storage\\Categories");
}

std::string CCategoryCache::FileFor(const std::string& account) const {
    return m_folder + "/" + HexFileName(account) + ".txt";
}

bool CCategoryCache::Load(const std::string& account, std::vector<std::string>& names) const {
    std::string text;
    if (!CFileUtil::ReadFile(FileFor(account), text))
        return false;
    names.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

bool CCategoryCache::Store(const std::string& account, const std::vector<std::string>& names,
                           std::string& reason) const {
    std::string text;
    for (const std::string& name : names) {
        if (name.find('\n') == std::string::npos)
            text += name + "\n";
    }
    if (!CFileUtil::CreateDirectories(m_folder) ||
        !CFileUtil::WriteFileAtomic(FileFor(account), text)) {
        reason = "无法保存分类列表: " + CFileUtil::LastErrorText();
        return false;
    }
    return true;
}
