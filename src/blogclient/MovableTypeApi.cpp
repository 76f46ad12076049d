#include "blogclient/MovableTypeApi.h"

#include "app/ErrorCatalog.h"
#include "blogclient/XmlRpcAnswer.h"
#include "platform/xml/XmlDocument.h"

int CMovableTypeApi::SetMetaWeblogParams(CXmlDocument& doc, const PostRequest& request, int code) {
    if (code == kOpNewPost)
        return PlaceNewPost(doc, request, false);
    return CMetaWeblogApi::SetMetaWeblogParams(doc, request, code);
}

int CMovableTypeApi::ReadPostList(const std::string& answer, PostList& list) {
    return ReadPosts(answer, list, true);
}

int CMovableTypeApi::GetCategories(CategoryList& list) {
    std::string answer;
    if (!Call(
            TemplateName("MOVABLETYPE", "getCategoryList"), kErrMetaWeblogGetCategories,
            [&](CXmlDocument& doc) {
                return SetMetaWeblogParams(doc, m_request, kOpGetCategories);
            },
            answer))
        return 0;
    return ReadCategories(answer, list);
}

int CMovableTypeApi::ReadCategories(const std::string& answer, CategoryList& list) {
    int sequence = 0;
    return ReadStructArray(
        answer,
        [&](const CXmlNode& category) {
            CategoryEntry entry;
            entry.sequence = ++sequence;
            entry.name = CXmlRpcAnswer::MemberText(category, {"categoryName"});
            entry.id = CXmlRpcAnswer::MemberText(category, {"categoryId", "categoryid"});
            list.push_back(std::move(entry));
        },
        false, false);
}
