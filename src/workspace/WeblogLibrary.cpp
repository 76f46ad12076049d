#include "workspace/WeblogLibrary.h"

#include "app/AppContext.h"
#include "blogclient/BlogApiFactory.h"
#include "blogclient/MetaWeblogApi.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/fs/FileUtil.h"
#include "platform/text/TextCodec.h"
#include "workspace/ReasonRecorder.h"

#include <algorithm>

std::vector<std::string> CategoriesResult::Names() const {
    std::vector<std::string> names;
    for (const CategoryEntry& entry : categories) {
        if (!entry.name.empty() && std::find(names.begin(), names.end(), entry.name) == names.end())
            names.push_back(entry.name);
    }
    return names;
}

CWeblogLibrary::CWeblogLibrary(const CAppContext& context, WeblogApiFactory factory)
    : m_factory(factory ? std::move(factory) : CBlogApiFactory::AccountFactory(context)),
      m_cache(CCategoryCache::FolderOf(context)) {}

std::unique_ptr<CBloggerApi> CWeblogLibrary::MakeApi(const std::string& account, const char* none,
                                                     CMetaWeblogApi*& metaWeblog,
                                                     std::string& reason) const {
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    std::unique_ptr<CBloggerApi> api = m_factory(account);
    if (!api) {
        reason = recorder.TakeOr("无法读取账户: " + account);
        return nullptr;
    }
    metaWeblog = dynamic_cast<CMetaWeblogApi*>(api.get());
    if (!metaWeblog) {
        reason = none;
        return nullptr;
    }
    return api;
}

CategoriesResult CWeblogLibrary::FetchCategories(const std::string& account) const {
    CategoriesResult result;
    CMetaWeblogApi* metaWeblog = nullptr;
    std::unique_ptr<CBloggerApi> api =
        MakeApi(account, kNoCategoriesText, metaWeblog, result.reason);
    if (!api)
        return result;
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (!metaWeblog->GetCategories(result.categories)) {
        result.reason = recorder.TakeOr("无法获取分类");
        return result;
    }
    result.ok = true;
    // The names are only a head start for the next editor: a cache that cannot be written
    // costs the wait for the server, nothing else.
    std::string ignored;
    m_cache.Store(account, result.Names(), ignored);
    return result;
}

UploadResult CWeblogLibrary::Upload(const std::string& account, const std::string& filePath) const {
    UploadResult result;
    const std::string fileName =
        CTextCodec::ToUtf8Lenient(filePath.substr(filePath.find_last_of('/') + 1));
    // Refused before it is read: a file of gigabytes is not taken into memory to be refused.
    if (!CMediaFile::FitsSize(CFileUtil::FileSize(filePath), fileName, "文件", result.reason))
        return result;
    std::string data;
    if (!CFileUtil::ReadFile(filePath, data)) {
        result.reason = "无法读取文件: " + filePath + ": " + CFileUtil::LastErrorText();
        return result;
    }
    if (!CMediaFile::Check(data, fileName, result.type, result.reason))
        return result;
    CMetaWeblogApi* metaWeblog = nullptr;
    std::unique_ptr<CBloggerApi> api = MakeApi(account, kNoMediaText, metaWeblog, result.reason);
    if (!api)
        return result;
    CReasonRecorder recorder;
    CScopedReporter scope(recorder);
    if (!metaWeblog->NewMediaObject(fileName, result.type.mime, CXmlRpcRequest::Base64Encode(data),
                                    result.url)) {
        result.reason = recorder.TakeOr("上传失败: " + fileName);
        return result;
    }
    if (result.url.empty()) {
        result.reason = "服务器没有给出 " + fileName + " 的地址";
        return result;
    }
    result.ok = true;
    return result;
}
