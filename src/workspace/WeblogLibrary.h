#pragma once

#include "blogclient/BlogTypes.h"
#include "workspace/MediaFile.h"
#include "workspace/PostOptions.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAppContext;
class CBloggerApi;
class CMetaWeblogApi;

// Makes the interface object bound to an account (nullptr after reporting why not).
using WeblogApiFactory = std::function<std::unique_ptr<CBloggerApi>(const std::string& account)>;

// The categories a weblog gave.
struct CategoriesResult {
    bool ok = false;
    std::string reason;
    CategoryList categories; // as the server lists them (name and, when it gives one, id)

    // The names, each once, without empty ones: what the editor's panel offers.
    std::vector<std::string> Names() const;
};

// Where an uploaded file went.
struct UploadResult {
    bool ok = false;
    std::string reason;
    std::string url;
    MediaType type; // what it was sent as
};

// An account's weblog beside its posts: the categories it offers and its media library. Written
// once for quillmark-cli (categories, media upload) and the editor (the category list, the
// pictures a publish uploads).
//
// Both calls talk to the server and take their time: the windows run them on a worker. They use
// only the factory and the cache folder, so several may run at once.
class CWeblogLibrary {
public:
    // The names are kept between starts in the context's program directory; factory:
    // CBlogApiFactory::CreateForAccount over the context unless given.
    explicit CWeblogLibrary(const CAppContext& context, WeblogApiFactory factory = {});

    // The account's categories from its weblog (MetaWeblog and its kin, WordPress REST). Their
    // names are kept for the next start, which lists them before the server answers. False with
    // the reason when the interface has no categories or the server cannot be asked.
    CategoriesResult FetchCategories(const std::string& account) const;
    // The names kept by the last FetchCategories; false when none are kept.
    bool CachedCategories(const std::string& account, std::vector<std::string>& names) const {
        return m_cache.Load(account, names);
    }

    // Stores a file in the weblog's media library (newMediaObject, or the REST media route) and
    // gives its address. The file is read and checked first (CMediaFile: its type by its first
    // bytes, its size); nothing is sent when it cannot be.
    UploadResult Upload(const std::string& account, const std::string& filePath) const;

    static constexpr const char* kNoCategoriesText = "Blogger 接口没有分类";
    static constexpr const char* kNoMediaText = "Blogger 接口不能上传文件";

private:
    // The account's interface when it is one with categories and media (nullptr with the
    // reason: none is the reason when it is not).
    std::unique_ptr<CBloggerApi> MakeApi(const std::string& account, const char* none,
                                         CMetaWeblogApi*& metaWeblog, std::string& reason) const;

    WeblogApiFactory m_factory;
    CCategoryCache m_cache;
};
