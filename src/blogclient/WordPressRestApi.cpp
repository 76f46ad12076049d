#include "blogclient/WordPressRestApi.h"

#include "app/AppPaths.h"
#include "app/ErrorCatalog.h"
#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "blogclient/XmlRpcAnswer.h"
#include "blogclient/XmlRpcRequest.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/text/AsciiText.h"
#include "platform/text/ReasonText.h"

#include <nlohmann/json.hpp>

#include "platform/fs/FileUtil.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <mutex>

using json = nlohmann::json;

namespace {

constexpr int kPageSize = 100;

std::string PercentEncode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
    bytes.clear();
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        int digit;
        if (c >= 'A' && c <= 'Z')
            digit = c - 'A';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            digit = c - '0' + 52;
        else if (c == '+')
            digit = 62;
        else if (c == '/')
            digit = 63;
        else if (c == '=' || c == '\r' || c == '\n' || c == ' ')
            continue;
        else
            return false;
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return true;
}

// The names of a comma-separated list (Chinese commas too), trimmed, without empty ones.
std::vector<std::string> SplitNames(const std::string& text) {
    std::string plain = text;
    for (size_t pos; (pos = plain.find("，")) != std::string::npos;)
        plain.replace(pos, std::char_traits<char>::length("，"), ",");
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= plain.size()) {
        size_t end = plain.find(',', start);
        if (end == std::string::npos)
            end = plain.size();
        std::string name(Trim(std::string_view(plain).substr(start, end - start)));
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

std::string Text(const json& value) {
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_integer())
        return std::to_string(value.get<long long>());
    if (value.is_object() && value.contains("raw"))
        return Text(value["raw"]);
    if (value.is_object() && value.contains("rendered"))
        return Text(value["rendered"]);
    return {};
}

// WordPress gives term names HTML-escaped ("News &amp; Views"); a name typed by the user is
// compared with the text it stands for.
std::string Unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#039;", "'"}};
    for (const auto& [entity, plain] : entities) {
        for (size_t pos = 0; (pos = text.find(entity, pos)) != std::string::npos; ++pos)
            text.replace(pos, std::char_traits<char>::length(entity), plain);
    }
    return text;
}

// Adds one exchange to the trace file, as the XML-RPC transport does: the time, the method and
// address with the outcome, the body sent (a media file only by its size) and the answer. The
// password travels in the Authorization header alone, which is not written.
void Trace(const std::string& path, const HttpRequest& http, const HttpResponse& response) {
    const bool binary = !http.body.empty() && http.body.front() != '{'; // not JSON: a file
    std::string body =
        "---- 请求\n" +
        (binary ? "(" + std::to_string(http.body.size()) + " 字节的文件)" : http.body) + "\n";
    if (response.Ok())
        body += "---- 回应\n" + response.body + "\n";
    CXmlRpcTransport::AppendTrace(
        path, http.method + " " + http.url + ": " + CXmlRpcTransport::FailureReason(response, http.url),
        body);
}

void ReportNotJson(const RestReply& reply, const std::string& detail) {
    GetReporter().ReportFault(
        kErrServerFault, 1, CXmlRpcAnswer::kFaultSummary,
        CXmlRpcAnswer::FaultDescription("HTTP " + std::to_string(reply.status),
                                        "服务器的回应不是 WordPress REST 接口的 JSON 回答" +
                                            (detail.empty() ? "" : ": " + detail)));
}

} // namespace

std::string
CWordPressRestApi::RouteUrl(const std::string& base, const std::string& route,
                            const std::vector<std::pair<std::string, std::string>>& query) {
    std::string url;
    std::string separator = "?";
    if (size_t param = base.find("rest_route="); param != std::string::npos) {
        size_t end = base.find('&', param);
        // The base's own value of the parameter ("/" or "%2F") gives way to the route.
        const std::string rest = end == std::string::npos ? "" : base.substr(end);
        url = base.substr(0, param) + "rest_route=" + PercentEncode(route) + rest;
        separator = "&";
    } else {
        std::string prefix = base;
        while (!prefix.empty() && prefix.back() == '/')
            prefix.pop_back();
        url = prefix + route;
        if (url.find('?') != std::string::npos)
            separator = "&";
    }
    for (const auto& [name, value] : query) {
        url += separator + PercentEncode(name) + "=" + PercentEncode(value);
        separator = "&";
    }
    return url;
}

bool CWordPressRestApi::ErrorText(const RestReply& reply, std::string& code, std::string& message) {
    json answer = json::parse(reply.body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object() || !answer.contains("code"))
        return false;
    code = Text(answer["code"]);
    message = answer.contains("message") ? Text(answer["message"]) : std::string();
    // "Invalid parameter(s): status" says which; the reason for each is in data.params.
    if (answer.contains("data") && answer["data"].is_object() &&
        answer["data"].contains("params") && answer["data"]["params"].is_object()) {
        for (const auto& [name, reason] : answer["data"]["params"].items())
            message += " — " + name + ": " + Text(reason);
    }
    return !code.empty();
}

std::string CWordPressRestApi::IsoDate(const std::string& restDate) {
    // "YYYY-MM-DDThh:mm:ss" -> "YYYYMMDDThh:mm:ss"; anything else stays as it came.
    if (restDate.size() >= 19 && restDate[4] == '-' && restDate[7] == '-' && restDate[10] == 'T')
        return restDate.substr(0, 4) + restDate.substr(5, 2) + restDate.substr(8, 2) +
               restDate.substr(10, 9);
    return restDate;
}

void CWordPressRestApi::Abort() {
    m_cancel.Cancel();
}

int CWordPressRestApi::Exchange(const RestCall& call, RestReply& reply) {
    XmlRpcEndpoint endpoint;
    if (!CXmlRpcTransport::SplitEndpoint(m_account.xmlrpcurl, m_account.port, endpoint)) {
        ReportErrorWithReason(kErrNetwork, "REST 地址中没有主机: " + m_account.xmlrpcurl);
        return 0;
    }
    m_client.SetProxy(CProxySetup::FromSettings(m_proxy, ProxyFallback::kDirect));
    m_client.SetCaFile(m_caFile);
    m_client.SetExitFlag(&g_bAppExiting);
    m_client.SetLimits(m_limits ? *m_limits : CXmlRpcTransport::CallLimits());

    HttpRequest http;
    http.method = call.method;
    http.url = RouteUrl(CXmlRpcTransport::EndpointUrl(endpoint), call.route, call.query);
    http.headers = {
        {"User-Agent", "quill"},
        {"Accept", "application/json"},
        {"Authorization",
         "Basic " + CXmlRpcRequest::Base64Encode(m_request.userName + ":" + m_request.password)}};
    if (!call.contentType.empty())
        http.headers.push_back({"Content-Type", call.contentType});
    for (const HttpHeader& header : call.headers)
        http.headers.push_back(header);
    http.body = call.body;
    http.cancel = &m_cancel;
    HttpResponse response = m_client.Perform(http);
    if (!m_debugPath.empty())
        Trace(m_debugPath, http, response);
    if (!response.Ok()) {
        ReportErrorWithReason(kErrNetwork, CXmlRpcTransport::FailureReason(response, http.url));
        return 0;
    }
    reply.status = response.status;
    reply.body = std::move(response.body);
    reply.contentType = response.contentType;
    return 1;
}

int CWordPressRestApi::CallJson(const RestCall& call, std::string& text) {
    if (!m_bound)
        return 0;
    RestReply reply;
    if (!Exchange(call, reply))
        return 0;
    if (reply.status < 200 || reply.status > 299) {
        std::string code;
        std::string message;
        if (ErrorText(reply, code, message)) {
            GetReporter().ReportFault(
                kErrServerFault, 1, CXmlRpcAnswer::kFaultSummary,
                CXmlRpcAnswer::FaultDescription(code, message + " (HTTP " +
                                                          std::to_string(reply.status) + ")"));
        } else {
            ReportErrorWithReason(kErrHttpStatus,
                                  CReasonText::HttpStatus(reply.status) + ": " +
                                      RouteUrl(m_account.xmlrpcurl, call.route, {}));
        }
        return 0;
    }
    json answer = json::parse(reply.body, nullptr, false);
    if (answer.is_discarded()) {
        ReportNotJson(reply, RouteUrl(m_account.xmlrpcurl, call.route, {}));
        return 0;
    }
    text = std::move(reply.body);
    return 1;
}

int CWordPressRestApi::GetUsersBlogs(BlogInfo& info) {
    std::string text;
    if (!CallJson({.route = "/wp/v2/users/me", .query = {{"context", "edit"}}}, text))
        return 0;
    json user = json::parse(text, nullptr, false);
    if (!user.is_object() || !user.contains("id")) {
        ReportNotJson({.status = 200}, "没有用户的 id");
        return 0;
    }
    std::string siteText;
    if (!CallJson({.route = "/", .query = {{"_fields", "name,url,home"}}}, siteText))
        return 0;
    json site = json::parse(siteText, nullptr, false);
    info.blogId = Text(user["id"]);
    info.blogName = site.is_object() && site.contains("name") ? Text(site["name"]) : "";
    info.url = site.is_object() && site.contains("home")  ? Text(site["home"])
               : site.is_object() && site.contains("url") ? Text(site["url"])
                                                          : "";
    // The home page's address as XML-RPC gives it (home_url("/")).
    if (!info.url.empty() && info.url.back() != '/')
        info.url += '/';
    return 1;
}

int CWordPressRestApi::GetRecentPosts(PostList& list, int count) {
    list.clear();
    int sequence = 0;
    std::vector<std::string> categoryIds; // the first category of each post, as its id
    for (int page = 1; static_cast<int>(list.size()) < count; ++page) {
        const int want = std::min(kPageSize, count - static_cast<int>(list.size()));
        // A page past the first asks for the same page size, so that pages line up.
        const int perPage = page == 1 ? want : kPageSize;
        // Only the raw texts: WordPress then skips rendering every post for the answer.
        std::string text;
        if (!CallJson(
                {.route = "/wp/v2/posts",
                 .query = {{"context", "edit"},
                           {"status", "publish,future,draft,pending,private"},
                           {"per_page", std::to_string(perPage)},
                           {"page", std::to_string(page)},
                           {"_fields", "id,date,title.raw,content.raw,categories,author,link"}}},
                text))
            return 0;
        json posts = json::parse(text, nullptr, false);
        if (!posts.is_array()) {
            ReportNotJson({.status = 200}, "文章列表不是数组");
            return 0;
        }
        for (const json& post : posts) {
            if (!post.is_object() || static_cast<int>(list.size()) >= count)
                continue;
            PostEntry entry;
            entry.sequence = ++sequence;
            entry.title = post.contains("title") ? Text(post["title"]) : "";
            entry.description = post.contains("content") ? Text(post["content"]) : "";
            entry.dateCreated = post.contains("date") ? IsoDate(Text(post["date"])) : "";
            entry.postId = post.contains("id") ? Text(post["id"]) : "";
            entry.userId = post.contains("author") ? Text(post["author"]) : "";
            entry.link = post.contains("link") ? Text(post["link"]) : "";
            if (post.contains("categories") && post["categories"].is_array() &&
                !post["categories"].empty()) {
                entry.category = Text(post["categories"][0]);
                if (std::find(categoryIds.begin(), categoryIds.end(), entry.category) ==
                    categoryIds.end())
                    categoryIds.push_back(entry.category);
            }
            list.push_back(std::move(entry));
        }
        if (static_cast<int>(posts.size()) < perPage)
            break;
    }
    // The names of the categories, a hundred at a time.
    std::map<std::string, std::string> names;
    for (size_t first = 0; first < categoryIds.size(); first += kPageSize) {
        std::string include;
        for (size_t i = first; i < std::min(categoryIds.size(), first + kPageSize); ++i)
            include += (include.empty() ? "" : ",") + categoryIds[i];
        std::string text;
        if (!CallJson({.route = "/wp/v2/categories",
                       .query = {{"include", include},
                                 {"per_page", std::to_string(kPageSize)},
                                 {"_fields", "id,name"}}},
                      text))
            return 0;
        json terms = json::parse(text, nullptr, false);
        for (const json& term : terms.is_array() ? terms : json::array()) {
            if (term.is_object() && term.contains("id") && term.contains("name"))
                names[Text(term["id"])] = Unescaped(Text(term["name"]));
        }
    }
    for (PostEntry& entry : list) {
        if (auto name = names.find(entry.category); name != names.end())
            entry.category = name->second;
    }
    if (list.empty())
        GetReporter().ReportError(kErrEmptyPostList);
    return 1;
}

int CWordPressRestApi::TermIds(const std::string& taxonomy, const std::vector<std::string>& names,
                               std::vector<long long>& ids) {
    for (const std::string& name : names) {
        std::string text;
        if (!CallJson({.route = "/wp/v2/" + taxonomy,
                       .query = {{"search", name}, {"per_page", "100"}, {"_fields", "id,name"}}},
                      text))
            return 0;
        json found = json::parse(text, nullptr, false);
        long long id = 0;
        if (found.is_array()) {
            for (const json& term : found) {
                if (term.is_object() && term.contains("id") && term.contains("name") &&
                    Unescaped(Text(term["name"])) == name)
                    id = term["id"].get<long long>();
            }
        }
        if (id == 0) {
            std::string made;
            if (!CallJson({.method = "POST",
                           .route = "/wp/v2/" + taxonomy,
                           .body = json{{"name", name}}.dump(),
                           .contentType = "application/json"},
                          made))
                return 0;
            json term = json::parse(made, nullptr, false);
            if (!term.is_object() || !term.contains("id") || !term["id"].is_number_integer()) {
                ReportNotJson({.status = 200}, "新建的分类或标签没有 id");
                return 0;
            }
            id = term["id"].get<long long>();
        }
        ids.push_back(id);
    }
    return 1;
}

int CWordPressRestApi::NewCategory(const std::string& name, std::string& id) {
    std::vector<long long> ids;
    if (!TermIds("categories", {name}, ids))
        return 0;
    id = std::to_string(ids.front());
    return 1;
}

int CWordPressRestApi::SendPost(const PostRequest& request, const std::string& route, PostSend kind,
                                std::string& postId) {
    if (!m_bound || !CheckArticle(request))
        return 0;
    json post = {{"title", request.title}, {"content", request.description}};
    std::vector<std::string> categories;
    std::vector<const std::string*> names{&request.category, &request.category2};
    for (const std::string& more : request.moreCategories)
        names.push_back(&more);
    for (const std::string* name : names) {
        if (kind == PostSend::kEdit && name == &request.category2)
            continue;
        std::string trimmed(Trim(*name));
        if (!trimmed.empty() &&
            std::find(categories.begin(), categories.end(), trimmed) == categories.end())
            categories.push_back(trimmed);
    }
    if (request.postTime) {
        // date_gmt is the instant itself; "date" would be read in the site's zone.
        const std::string gmt = CXmlRpcRequest::FormatGmtIsoDate(request.postTime);
        post["date_gmt"] = gmt.substr(0, 4) + "-" + gmt.substr(4, 2) + "-" + gmt.substr(6);
    }
    std::vector<long long> ids;
    if (!categories.empty()) {
        if (!TermIds("categories", categories, ids))
            return 0;
        post["categories"] = ids;
    }
    post["status"] = request.serverDraft ? "draft" : "publish";
    if (!request.slug.empty())
        post["slug"] = request.slug;
    if (request.allowComments)
        post["comment_status"] = *request.allowComments ? "open" : "closed";
    std::vector<long long> tagIds;
    if (!TermIds("tags", SplitNames(request.tags), tagIds))
        return 0;
    // An edit always sends its tags, none included: tags the user removed leave the post.
    if (!tagIds.empty() || kind == PostSend::kEdit)
        post["tags"] = tagIds;
    if (!request.abstract.empty())
        post["excerpt"] = request.abstract;
    std::string text;
    if (!CallJson({.method = "POST",
                   .route = route,
                   .query = {{"_fields", "id"}},
                   .body = post.dump(-1, ' ', false, json::error_handler_t::replace),
                   .contentType = "application/json"},
                  text))
        return 0;
    json answer = json::parse(text, nullptr, false);
    if (!answer.is_object() || !answer.contains("id")) {
        ReportNotJson({.status = 200}, "没有文章的 id");
        return 0;
    }
    postId = Text(answer["id"]);
    return 1;
}

int CWordPressRestApi::NewPost(const PostRequest& request, std::string& postId) {
    return SendPost(request, "/wp/v2/posts", PostSend::kNew, postId);
}

int CWordPressRestApi::EditPost(const PostRequest& request, int& result) {
    std::string postId;
    if (!SendPost(request, "/wp/v2/posts/" + request.postId, PostSend::kEdit, postId))
        return 0;
    result = 1;
    return 1;
}

int CWordPressRestApi::DeletePost(const PostRequest& request) {
    std::string text;
    return CallJson({.method = "DELETE",
                     .route = "/wp/v2/posts/" + request.postId,
                     .query = {{"_fields", "id"}}},
                    text);
}

int CWordPressRestApi::GetCategories(CategoryList& list) {
    int sequence = 0;
    for (int page = 1;; ++page) {
        std::string text;
        if (!CallJson({.route = "/wp/v2/categories",
                       .query = {{"per_page", std::to_string(kPageSize)},
                                 {"page", std::to_string(page)},
                                 {"_fields", "id,name"}}},
                      text))
            return 0;
        json terms = json::parse(text, nullptr, false);
        if (!terms.is_array()) {
            ReportNotJson({.status = 200}, "分类列表不是数组");
            return 0;
        }
        for (const json& term : terms) {
            if (!term.is_object())
                continue;
            list.push_back({.sequence = ++sequence,
                            .name = term.contains("name") ? Unescaped(Text(term["name"])) : "",
                            .id = term.contains("id") ? Text(term["id"]) : ""});
        }
        if (static_cast<int>(terms.size()) < kPageSize)
            return 1;
    }
}

int CWordPressRestApi::NewMediaObject(const std::string& fileName, const std::string& mimeType,
                                      const std::string& base64, std::string& url) {
    std::string bytes;
    if (!Base64Decode(base64, bytes)) {
        GetReporter().ReportMessage("图片数据不是有效的 Base64: " + fileName);
        return 0;
    }
    // WordPress reads the plain filename parameter as it comes, so the name goes there in
    // UTF-8 (as XML-RPC keeps it), without quotes, backslashes or control characters that could
    // end the header; filename* (RFC 6266) carries it exactly for servers that read that.
    std::string plain;
    for (unsigned char c : fileName)
        plain += c >= 0x20 && c != 0x7F && c != '"' && c != '\\' ? static_cast<char>(c) : '_';
    std::string text;
    if (!CallJson({.method = "POST",
                   .route = "/wp/v2/media",
                   .query = {{"_fields", "id,source_url"}},
                   .body = std::move(bytes),
                   .contentType = mimeType.empty() ? "application/octet-stream" : mimeType,
                   .headers = {{"Content-Disposition", "attachment; filename=\"" + plain +
                                                           "\"; filename*=UTF-8''" +
                                                           PercentEncode(fileName)}}},
                  text))
        return 0;
    json answer = json::parse(text, nullptr, false);
    url = answer.is_object() && answer.contains("source_url") ? Text(answer["source_url"]) : "";
    return 1;
}
