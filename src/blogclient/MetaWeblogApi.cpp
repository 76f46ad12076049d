#include "blogclient/MetaWeblogApi.h"

#include "app/ErrorCatalog.h"
#include "blogclient/XmlRpcAnswer.h"
#include "blogclient/XmlRpcRequest.h"
#include "platform/xml/XmlDocument.h"

namespace {

const std::string kParam = "/methodCall/params/param";
const std::string kStruct = "/methodCall/params/param[3]/value/struct";
const std::string kMember = kStruct + "/member";

std::string MemberPath(const char* name, const char* rest) {
    return kMember + "[name=\"" + name + "\"]/value/" + rest;
}

// The options beside the texts (categories after the first, slug, comments, status) that the
// full interface sends on newPost and editPost.
bool PlaceOptions(CXmlDocument& doc, const PostRequest& request) {
    if (!request.moreCategories.empty()) {
        CXmlNode data = doc.SelectNode(kMember + "[name=\"categories\"]/value/array/data");
        if (!data)
            return false;
        for (const std::string& name : request.moreCategories)
            data.AppendChild("value").AppendChild("string", name);
    }
    if (!request.slug.empty() &&
        !CXmlRpcRequest::SetMember(doc, kStruct, "wp_slug", "string", request.slug))
        return false;
    if (request.allowComments &&
        !CXmlRpcRequest::SetMember(doc, kStruct, "mt_allow_comments", "int",
                                   *request.allowComments ? "1" : "0"))
        return false;
    return CXmlRpcRequest::SetText(doc, kParam + "[4]/value/boolean",
                                   request.serverDraft ? "0" : "1");
}

bool Place(CXmlDocument& doc,
           std::initializer_list<std::pair<std::string, std::string_view>> values) {
    for (const auto& [pattern, text] : values) {
        if (!CXmlRpcRequest::SetText(doc, pattern, text))
            return false;
    }
    return true;
}

} // namespace

int CMetaWeblogApi::PlaceNewPost(CXmlDocument& doc, const PostRequest& request, bool full) {
    const std::time_t when = request.postTime ? request.postTime : Now();
    // dateCreated is read as the server's local time, which the weblog does not tell: it is the
    // writer's clock, as the editor showed it. date_created_gmt carries the same instant
    // exactly to the servers that read it (WordPress prefers it to dateCreated).
    const std::string pubDate = CXmlRpcRequest::FormatPubDate(when);
    const std::string isoDate = CXmlRpcRequest::FormatIsoDate(when);
    if (!Place(doc, {{kParam + "[1]/value/string", request.userName},
                     {kParam + "[2]/value/string", request.password},
                     {MemberPath("title", "string"), request.title},
                     {MemberPath("categories", "array/data/value/string"), request.category}}))
        return 0;
    if (full &&
        (!Place(doc, {{MemberPath("categories2", "array/data/value/string"), request.category2}}) ||
         !PlaceOptions(doc, request)))
        return 0;
    if (!Place(doc, {{MemberPath("description", "string"), request.description}}))
        return 0;
    // Tags and abstract go both under the names this program always used and under the ones
    // that MetaWeblog servers read (mt_keywords, mt_excerpt).
    if (full && !Place(doc, {{MemberPath("tags", "string"), request.tags},
                             {MemberPath("mt_keywords", "string"), request.tags},
                             {MemberPath("abstract", "string"), request.abstract},
                             {MemberPath("mt_excerpt", "string"), request.abstract},
                             {MemberPath("trackback", "string"), request.trackback}}))
        return 0;
    return Place(doc, {{MemberPath("pubDate", "string"), pubDate},
                       {MemberPath("dateCreated", "dateTime.iso8601"), isoDate}}) &&
           CXmlRpcRequest::SetMember(doc, kStruct, "date_created_gmt", "dateTime.iso8601",
                                     CXmlRpcRequest::FormatGmtIsoDate(when));
}

int CMetaWeblogApi::SetMetaWeblogParams(CXmlDocument& doc, const PostRequest& request, int code) {
    switch (code) {
    case kOpNewPost:
        return PlaceNewPost(doc, request, true);
    case kOpGetCategories:
        return Place(doc, {{kParam + "[1]/value/string", m_request.userName},
                           {kParam + "[2]/value/string", m_request.password}});
    case kOpGetRecentPosts:
        return Place(doc, {{kParam + "[1]/value/string", m_request.userName},
                           {kParam + "[2]/value/string", m_request.password},
                           {kParam + "[3]/value/int", request.postId}});
    case kOpEditPost:
        if (!Place(doc, {{kParam + "[0]/value/string", request.postId},
                         {kParam + "[1]/value/string", request.userName},
                         {kParam + "[2]/value/string", request.password},
                         {MemberPath("title", "string"), request.title},
                         {MemberPath("categories", "array/data/value/string"), request.category},
                         {MemberPath("description", "string"), request.description}}))
            return 0;
        // The tags go along (WordPress drops every tag of a post edited without them), the
        // excerpt when there is one.
        if (!CXmlRpcRequest::SetMember(doc, kStruct, "mt_keywords", "string", request.tags) ||
            (!request.abstract.empty() &&
             !CXmlRpcRequest::SetMember(doc, kStruct, "mt_excerpt", "string", request.abstract)) ||
            !PlaceOptions(doc, request))
            return 0;
        // An edit keeps the post's date unless one is given.
        return !request.postTime ||
               (CXmlRpcRequest::SetMember(doc, kStruct, "dateCreated", "dateTime.iso8601",
                                          CXmlRpcRequest::FormatIsoDate(request.postTime)) &&
                CXmlRpcRequest::SetMember(doc, kStruct, "date_created_gmt", "dateTime.iso8601",
                                          CXmlRpcRequest::FormatGmtIsoDate(request.postTime)));
    case kOpNewMediaObject:
        return Place(doc, {{kParam + "[1]/value/string", m_request.userName},
                           {kParam + "[2]/value/string", m_request.password},
                           {MemberPath("name", "string"), request.title},
                           {MemberPath("type", "string"), request.category},
                           {MemberPath("bits", "base64"), request.description}});
    default:
        return 0;
    }
}

int CMetaWeblogApi::NewPost(const PostRequest& request, std::string& postId) {
    std::string answer;
    if (!Call(
            TemplateName("METAWEBLOG", "newPost"), kErrMetaWeblogNewPost,
            [&](CXmlDocument& doc) { return SetMetaWeblogParams(doc, request, kOpNewPost); },
            answer, &request))
        return 0;
    return ReadPostId(answer, postId);
}

int CMetaWeblogApi::EditPost(const PostRequest& request, int& result) {
    std::string answer;
    if (!Call(
            TemplateName("METAWEBLOG", "editPost"), kErrMetaWeblogEditPost,
            [&](CXmlDocument& doc) { return SetMetaWeblogParams(doc, request, kOpEditPost); },
            answer, &request))
        return 0;
    return ReadBoolean(answer, result);
}

int CMetaWeblogApi::GetRecentPosts(PostList& list, int count) {
    PostRequest request = m_request;
    request.postId = std::to_string(count);
    std::string answer;
    if (!Call(
            TemplateName("METAWEBLOG", "getRecentPosts"), kErrMetaWeblogGetRecentPosts,
            [&](CXmlDocument& doc) { return SetMetaWeblogParams(doc, request, kOpGetRecentPosts); },
            answer))
        return 0;
    return ReadPostList(answer, list);
}

int CMetaWeblogApi::GetCategories(CategoryList& list) {
    std::string answer;
    if (!Call(
            TemplateName("METAWEBLOG", "getCategories"), kErrMetaWeblogGetCategories,
            [&](CXmlDocument& doc) {
                return SetMetaWeblogParams(doc, m_request, kOpGetCategories);
            },
            answer))
        return 0;
    return ReadCategories(answer, list);
}

int CMetaWeblogApi::NewMediaObject(const std::string& fileName, const std::string& mimeType,
                                   const std::string& base64, std::string& url) {
    PostRequest request = m_request;
    request.title = fileName;
    request.category = mimeType;
    request.description = base64;
    std::string answer;
    if (!Call(
            TemplateName("METAWEBLOG", "newMediaObject"), kErrMetaWeblogNewMediaObject,
            [&](CXmlDocument& doc) { return SetMetaWeblogParams(doc, request, kOpNewMediaObject); },
            answer))
        return 0;
    return ReadMediaUrl(answer, url);
}

int CMetaWeblogApi::ReadMediaUrl(const std::string& answer, std::string& url) {
    CXmlDocument doc;
    std::string text;
    if (!CXmlRpcAnswer::Load(doc, answer, Encoding()) ||
        !CXmlRpcAnswer::Scalar(
            CXmlRpcAnswer::Member(CXmlRpcAnswer::Struct(CXmlRpcAnswer::ResultValue(doc)), {"url"}),
            text)) {
        ShowFault(answer);
        return 0;
    }
    url = text;
    return 1;
}

int CMetaWeblogApi::ReadPosts(const std::string& answer, PostList& list, bool noListIsEmpty) {
    if (answer.empty())
        list.clear();
    int sequence = 0;
    return ReadStructArray(
        answer,
        [&](const CXmlNode& post) {
            PostEntry entry;
            entry.sequence = ++sequence;
            entry.title = CXmlRpcAnswer::MemberText(post, {"title"});
            entry.description = CXmlRpcAnswer::MemberText(post, {"description"});
            entry.dateCreated = CXmlRpcAnswer::MemberText(post, {"dateCreated"});
            entry.category =
                CXmlRpcAnswer::FirstArrayText(CXmlRpcAnswer::Member(post, {"categories"}));
            entry.postId = CXmlRpcAnswer::MemberText(post, {"postid"});
            entry.userId = CXmlRpcAnswer::MemberText(post, {"userid"});
            entry.link = CXmlRpcAnswer::MemberText(post, {"link"});
            entry.tags = CXmlRpcAnswer::MemberText(post, {"mt_keywords"});
            list.push_back(std::move(entry));
        },
        noListIsEmpty);
}

int CMetaWeblogApi::ReadPostList(const std::string& answer, PostList& list) {
    return ReadPosts(answer, list, false);
}

int CMetaWeblogApi::ReadCategories(const std::string& answer, CategoryList& list) {
    int sequence = 0;
    // Servers name a category by "title", by "categoryName" or (the MetaWeblog API itself)
    // by "description".
    return ReadStructArray(
        answer,
        [&](const CXmlNode& category) {
            CategoryEntry entry;
            entry.sequence = ++sequence;
            entry.name =
                CXmlRpcAnswer::MemberText(category, {"title", "categoryName", "description"});
            entry.id = CXmlRpcAnswer::MemberText(category, {"categoryId", "categoryid"});
            list.push_back(std::move(entry));
        },
        false, false);
}
