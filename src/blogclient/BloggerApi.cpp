#include "blogclient/BloggerApi.h"

#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "blogclient/XmlRpcAnswer.h"
#include "blogclient/XmlRpcRequest.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/xml/XmlDocument.h"

#include <cctype>

namespace {

bool Place(CXmlDocument& doc,
           std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    for (const auto& [pattern, text] : values) {
        if (!CXmlRpcRequest::SetText(doc, pattern, text))
            return false;
    }
    return true;
}

// The content of a Blogger post: the article's title in a title element, then the body. The
// title goes in as typed: servers take the element's text literally (WordPress stores what
// stands between <title> and </title>), and the XML-RPC layer escapes it once, as every value.
// An empty title has no element (WordPress would leave an empty one in the body).
std::string BloggerContent(const PostRequest& request) {
    std::string content;
    if (!request.title.empty())
        content = "<title>" + request.title + "</title>";
    return content + "<p>" + request.description + "</p>";
}

// Servers give the title back inside the content, as sent, and may add the post's category
// ids in a category element after it; both are taken out of the body, the title as it stands.
void SplitBloggerContent(const std::string& content, std::string& title, std::string& body) {
    body = content;
    title.clear();
    auto take = [&body](const char* open, const char* close, std::string* out) {
        if (body.compare(0, std::char_traits<char>::length(open), open) != 0)
            return;
        size_t end = body.find(close);
        if (end == std::string::npos)
            return;
        size_t start = std::char_traits<char>::length(open);
        if (out)
            *out = body.substr(start, end - start);
        body.erase(0, end + std::char_traits<char>::length(close));
    };
    take("<title>", "</title>", &title);
    take("<category>", "</category>", nullptr);
}

} // namespace

CBloggerApi::CBloggerApi() : m_transport(std::make_shared<CXmlRpcTransport>()) {}

CBloggerApi::~CBloggerApi() = default;

void CBloggerApi::Bind(const AccountRecord& account, const BlogConnection& connection) {
    m_account = account;
    m_request = PostRequest();
    m_request.userName = account.username;
    m_request.password = account.password;
    m_programDir = connection.programDir;
    m_proxy = connection.proxy;
    m_debugPath = connection.debugPath;
    m_bound = true;
}

std::string CBloggerApi::TemplateName(const char* kind, const char* method) {
    return std::string("res://BlogApi.dll/") + kind + "_" + method + ".xml";
}

bool CBloggerApi::CheckArticle(const PostRequest& request) const {
    const std::pair<const char*, const std::string*> fields[] = {
        {"标题", &request.title},        {"正文", &request.description},
        {"分类", &request.category},     {"第二分类", &request.category2},
        {"标签", &request.tags},         {"摘要", &request.abstract},
        {"引用通告", &request.trackback}};
    for (const auto& [name, text] : fields) {
        std::string problem = CXmlRpcRequest::TextProblem(*text);
        if (!problem.empty()) {
            GetReporter().ReportMessage(std::string("文章不能发送: ") + name + "中" + problem +
                                        "。除制表符和换行外, 控制字符和无效的字节不能发往服务器, "
                                        "请删去后再发布。");
            return false;
        }
    }
    if (TitleInContent()) {
        std::string lower = request.title;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("</title>") != std::string::npos) {
            GetReporter().ReportMessage("文章不能发送: Blogger 接口把标题放在 <title> 元素中, "
                                        "标题里不能有 </title>。");
            return false;
        }
    }
    return true;
}

int CBloggerApi::Call(const std::string& templateName, int errorId, const Filler& fill,
                      std::string& answer, const PostRequest* article) {
    if (!m_bound)
        return 0;
    if (article && !CheckArticle(*article))
        return 0;
    CXmlDocument doc;
    if (!CXmlRpcRequest::LoadTemplate(m_programDir, templateName, doc)) {
        GetReporter().ReportError(kErrTemplateLoad);
        return 0;
    }
    if (!fill(doc)) {
        GetReporter().ReportError(errorId);
        return 0;
    }
    return Transport(CXmlRpcRequest::Serialize(doc, Encoding()), answer);
}

int CBloggerApi::Transport(const std::string& request, std::string& answer) {
    return Send(request, answer, false);
}

int CBloggerApi::Send(const std::string& request, std::string& answer, bool msnSpaces) {
    XmlRpcCall call;
    call.url = m_account.xmlrpcurl;
    call.port = m_account.port;
    call.proxy = m_proxy;
    call.debugPath = m_debugPath;
    call.secret = m_account.password;
    call.caFile = m_caFile;
    call.msnSpaces = msnSpaces;
    call.encodetype = m_account.encodetype;
    call.limits = m_limits;
    return m_transport->Post(call, request, answer);
}

void CBloggerApi::Abort() {
    m_transport->Abort();
}

void CBloggerApi::ShowFault(const std::string& answer) {
    std::string code;
    std::string text;
    CXmlRpcAnswer::ReadFault(answer, Encoding(), code, text);
    GetReporter().ReportFault(kErrServerFault, 1, CXmlRpcAnswer::kFaultSummary,
                              CXmlRpcAnswer::FaultDescription(code, text));
}

int CBloggerApi::SetParams(CXmlDocument& doc, const PostRequest& request, int code) {
    const std::string p = "/methodCall/params/param";
    switch (code) {
    case kOpGetUsersBlogs:
        return Place(doc, {{p + "[1]/value/string", m_request.userName},
                           {p + "[2]/value/string", m_request.password}});
    case kOpNewPost:
        return Place(doc, {{p + "[2]/value/string", request.userName},
                           {p + "[3]/value/string", request.password},
                           {p + "[4]/value/string", BloggerContent(request)}});
    case kOpGetCategories:
        return 1;
    case kOpGetRecentPosts:
        return Place(doc, {{p + "[2]/value/string", m_request.userName},
                           {p + "[3]/value/string", m_request.password},
                           {p + "[4]/value/int", request.postId}});
    case kOpEditPost:
        return Place(doc, {{p + "[1]/value/string", request.postId},
                           {p + "[2]/value/string", request.userName},
                           {p + "[3]/value/string", request.password},
                           {p + "[4]/value/string", BloggerContent(request)}});
    case kOpDeletePost:
        return Place(doc, {{p + "[1]/value/string", request.postId},
                           {p + "[2]/value/string", request.userName},
                           {p + "[3]/value/string", request.password}});
    default:
        return 0;
    }
}

int CBloggerApi::GetUsersBlogs(BlogInfo& info) {
    std::string answer;
    if (!Call(
            TemplateName("BLOGGER", "getUsersBlogs"), kErrBloggerGetUsersBlogs,
            [&](CXmlDocument& doc) { return SetParams(doc, m_request, kOpGetUsersBlogs); }, answer))
        return 0;
    return ReadBlogInfo(answer, info);
}

int CBloggerApi::NewPost(const PostRequest& request, std::string& postId) {
    std::string answer;
    if (!Call(
            TemplateName("BLOGGER", "newPost"), kErrBloggerNewPost,
            [&](CXmlDocument& doc) { return SetParams(doc, request, kOpNewPost); }, answer,
            &request))
        return 0;
    return ReadPostId(answer, postId);
}

int CBloggerApi::GetRecentPosts(PostList& list, int count) {
    PostRequest request = m_request;
    request.postId = std::to_string(count);
    std::string answer;
    if (!Call(
            TemplateName("BLOGGER", "getRecentPosts"), kErrBloggerGetRecentPosts,
            [&](CXmlDocument& doc) { return SetParams(doc, request, kOpGetRecentPosts); }, answer))
        return 0;
    return ReadPostList(answer, list);
}

int CBloggerApi::EditPost(const PostRequest& request, int& result) {
    std::string answer;
    if (!Call(
            TemplateName("BLOGGER", "editPost"), kErrBloggerEditPost,
            [&](CXmlDocument& doc) { return SetParams(doc, request, kOpEditPost); }, answer,
            &request))
        return 0;
    return ReadBoolean(answer, result);
}

int CBloggerApi::DeletePost(const PostRequest& request) {
    std::string answer;
    if (!Call(
            TemplateName("BLOGGER", "deletePost"), kErrBloggerDeletePost,
            [&](CXmlDocument& doc) { return SetParams(doc, request, kOpDeletePost); }, answer))
        return 0;
    int result = 0;
    return ReadBoolean(answer, result);
}

int CBloggerApi::ReadPostId(const std::string& answer, std::string& postId) {
    CXmlDocument doc;
    std::string text;
    if (!CXmlRpcAnswer::Load(doc, answer, Encoding()) ||
        !CXmlRpcAnswer::Scalar(CXmlRpcAnswer::ResultValue(doc), text)) {
        ShowFault(answer);
        return 0;
    }
    postId = text;
    return 1;
}

int CBloggerApi::ReadBoolean(const std::string& answer, int& value) {
    CXmlDocument doc;
    std::string text;
    if (!CXmlRpcAnswer::Load(doc, answer, Encoding()) ||
        !CXmlRpcAnswer::Scalar(CXmlRpcAnswer::ResultValue(doc), text)) {
        ShowFault(answer);
        return 0;
    }
    value = CXmlRpcAnswer::ToInt(text);
    return 1;
}

int CBloggerApi::ReadBlogInfo(const std::string& answer, BlogInfo& info) {
    CXmlDocument doc;
    CXmlNode blog;
    if (CXmlRpcAnswer::Load(doc, answer, Encoding())) {
        auto values = CXmlRpcAnswer::ArrayValues(CXmlRpcAnswer::ResultValue(doc));
        if (!values.empty())
            blog = CXmlRpcAnswer::Struct(values.front());
    }
    std::string url;
    std::string id;
    std::string name;
    if (!blog || !CXmlRpcAnswer::Scalar(CXmlRpcAnswer::Member(blog, {"url"}), url) ||
        !CXmlRpcAnswer::Scalar(CXmlRpcAnswer::Member(blog, {"blogid"}), id) ||
        !CXmlRpcAnswer::Scalar(CXmlRpcAnswer::Member(blog, {"blogName"}), name)) {
        ShowFault(answer);
        return 0;
    }
    info.url = url;
    info.blogId = id;
    info.blogName = name;
    return 1;
}

int CBloggerApi::ReadStructArray(const std::string& answer, const StructReader& read,
                                 bool noListIsEmpty, bool emptyNotice) {
    auto empty = [&] {
        if (emptyNotice)
            GetReporter().ReportError(kErrEmptyPostList);
        return 1;
    };
    if (answer.empty())
        return empty();
    CXmlDocument doc;
    if (!CXmlRpcAnswer::Load(doc, answer, Encoding())) {
        ShowFault(answer);
        return 0;
    }
    CXmlNode value = CXmlRpcAnswer::ResultValue(doc);
    if (!CXmlRpcAnswer::Array(value)) {
        if (noListIsEmpty && !CXmlRpcAnswer::IsFault(doc))
            return empty();
        ShowFault(answer);
        return 0;
    }
    int readCount = 0;
    for (const CXmlNode& item : CXmlRpcAnswer::ArrayValues(value)) {
        CXmlNode structNode = CXmlRpcAnswer::Struct(item);
        if (!structNode)
            continue;
        read(structNode);
        ++readCount;
    }
    return readCount ? 1 : empty();
}

int CBloggerApi::ReadPostList(const std::string& answer, PostList& list) {
    if (answer.empty())
        list.clear();
    int sequence = 0;
    return ReadStructArray(
        answer,
        [&](const CXmlNode& post) {
            PostEntry entry;
            entry.sequence = ++sequence;
            SplitBloggerContent(CXmlRpcAnswer::MemberText(post, {"content"}), entry.title,
                                entry.description);
            entry.dateCreated = CXmlRpcAnswer::MemberText(post, {"dateCreated"});
            entry.postId = CXmlRpcAnswer::MemberText(post, {"postid"});
            entry.userId = CXmlRpcAnswer::MemberText(post, {"userid"});
            list.push_back(std::move(entry));
        },
        false);
}
