#pragma once

#include "blogclient/MetaWeblogApi.h"

// The MovableType flavour of the MetaWeblog API: categories come from mt.getCategoryList with
// their ids, a new post carries only title, category, body and dates, and a post list answer
// that is neither a list nor a fault counts as empty.
class CMovableTypeApi : public CMetaWeblogApi {
public:
    using CMetaWeblogApi::CMetaWeblogApi;

    int ReadPostList(const std::string& answer, PostList& list) override;
    int GetCategories(CategoryList& list) override;
    int ReadCategories(const std::string& answer, CategoryList& list) override;
    int SetMetaWeblogParams(CXmlDocument& doc, const PostRequest& request, int code) override;
};
