#include "workspace/WeblogDiscovery.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "blogclient/WordPressRestApi.h"
#include "blogclient/XmlRpcTransport.h"
#include "platform/text/AsciiText.h"
#include "platform/text/ReasonText.h"
#include "platform/xml/HtmlLinks.h"
#include "platform/xml/XmlDocument.h"
#include "workspace/AccountSetup.h"

#include <algorithm>

namespace {

constexpr const char* kRestRel = "https://api.w.org/";

// A call that every XML-RPC server answers, with a fault at least; nothing of the user's.
constexpr const char* kProbeCall = "<?xml version=\"1.0\"?><methodCall><methodName>"
                                   "system.listMethods</methodName><params/></methodCall>";

int Rank(const std::string& type) {
    static const char* const order[] = {CWordPressRestApi::kTypeName, "MetaWeblog", "MovableType",
                                        "Blogger"};
    for (int i = 0; i < 4; ++i) {
        if (type == order[i])
            return i;
    }
    return 4;
}

std::string Size(std::size_t bytes) {
    return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MB"
                               : std::to_string(bytes >> 10) + " KB";
}

} // namespace

CWeblogDiscovery::CWeblogDiscovery(const CAppContext& context) {
    // Like the weblog interfaces it looks for, the discovery goes direct unless the settings
    // name a proxy.
    m_client.SetProxy(CProxySetup::Read(context, ProxyFallback::kDirect));
    m_client.SetExitFlag(&g_bAppExiting);
}

std::string CWeblogDiscovery::HostOf(const std::string& url) {
    XmlRpcEndpoint endpoint;
    if (!CXmlRpcTransport::SplitEndpoint(url, "", endpoint))
        return {};
    std::string host = endpoint.host;
    if (const size_t cut = host.find_first_of("?#"); cut != std::string::npos)
        host.erase(cut);
    return AsciiLower(host);
}

std::string CWeblogDiscovery::HomeAddress(const std::string& typed, std::string& reason) {
    std::string text(Trim(typed));
    if (text.empty() || text == "http://" || text == "https://") {
        reason = "请输入博客首页的地址";
        return {};
    }
    const size_t colon = text.find(':');
    const size_t slash = text.find_first_of("/?#");
    const bool hasScheme = colon != std::string::npos &&
                           (slash == std::string::npos || colon < slash) &&
                           text.compare(colon, 3, "://") == 0;
    if (hasScheme && !CHtmlLinks::IsWebAddress(text)) {
        reason = "只能读取 http 或 https 地址: " + text;
        return {};
    }
    if (!hasScheme) {
        // "javascript:…", "mailto:…" are no host names either.
        if (colon != std::string::npos && (slash == std::string::npos || colon < slash) &&
            text.find_first_not_of("0123456789", colon + 1) < std::min(slash, text.size())) {
            reason = "只能读取 http 或 https 地址: " + text;
            return {};
        }
        text = "https://" + text;
    }
    if (HostOf(text).empty()) {
        reason = "地址中没有主机: " + text;
        return {};
    }
    return text;
}

std::vector<DiscoveredInterface> CWeblogDiscovery::ReadRsd(const std::string& rsd,
                                                           const std::string& rsdUrl) {
    std::vector<DiscoveredInterface> found;
    CXmlDocument doc;
    if (!doc.LoadText(rsd) || !doc.Root().HasName("rsd"))
        return found;
    CXmlNode apis = doc.Root().Child("service").Child("apis");
    if (!apis)
        return found;
    for (const CXmlNode& api : apis.Children()) {
        if (!api.HasName("api"))
            continue;
        const std::string name = AsciiLower(api.GetAttribute("name"));
        std::string type;
        if (name == "wp-api")
            type = CWordPressRestApi::kTypeName;
        else if (name == "metaweblog" || name == "wordpress")
            type = "MetaWeblog";
        else if (name == "movable type" || name == "movabletype")
            type = "MovableType";
        else if (name == "blogger")
            type = "Blogger";
        const std::string link =
            CXmlDocument::ResolveUri(Trim(api.GetAttribute("apiLink")), rsdUrl);
        if (type.empty() || !CHtmlLinks::IsWebAddress(link))
            continue;
        if (std::any_of(found.begin(), found.end(),
                        [&](const DiscoveredInterface& i) { return i.blogapitype == type; }))
            continue;
        found.push_back({.blogapitype = type, .address = link, .source = "RSD"});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return Rank(a.blogapitype) < Rank(b.blogapitype);
    });
    return found;
}

HttpResponse CWeblogDiscovery::Fetch(const std::string& url, std::size_t maxBytes,
                                     const std::string& method, const std::string& body) {
    HttpLimits limits;
    limits.connectTimeoutMs = kTimeoutMs;
    limits.totalTimeoutMs = kTimeoutMs;
    limits.maxBodyBytes = maxBytes;
    limits.maxRedirects = kMaxRedirects;
    m_client.SetLimits(limits);
    HttpRequest request{.method = method, .url = url, .body = body, .cancel = &m_cancel};
    request.headers = {{"User-Agent", "quill"}};
    if (method == "POST")
        request.headers.push_back({"Content-Type", "text/xml"});
    return m_client.Perform(request);
}

void CWeblogDiscovery::Probe(DiscoveredInterface& found) {
    if (found.blogapitype == CWordPressRestApi::kTypeName) {
        HttpResponse response =
            Fetch(CWordPressRestApi::RouteUrl(found.address, "/", {{"_fields", "name,namespaces"}}),
                  kMaxPageBytes);
        if (!response.Ok()) {
            found.note = CXmlRpcTransport::FailureReason(response, found.address);
        } else if (response.status != 200) {
            found.note = "REST 接口没有回答: " + CReasonText::HttpStatus(response.status);
        } else if (response.body.find("wp/v2") == std::string::npos &&
                   response.body.find("wp\\/v2") == std::string::npos) {
            found.note = "回答中没有 wp/v2 (不是 WordPress 的 REST 接口)";
        } else {
            found.answers = true;
            found.note =
                "可用, 需要 WordPress 的应用程序密码 (后台 用户 → 个人资料 → 应用程序密码)";
        }
        return;
    }
    HttpResponse response = Fetch(found.address, kMaxRsdBytes, "POST", kProbeCall);
    if (!response.Ok()) {
        found.note = CXmlRpcTransport::FailureReason(response, found.address);
    } else if (std::string refused = CXmlRpcTransport::RefusalReason(response); !refused.empty()) {
        found.note = refused;
    } else if (response.status >= 400) {
        found.note = "XML-RPC 接口没有回答: " + CReasonText::HttpStatus(response.status);
    } else if (response.body.find("methodResponse") == std::string::npos) {
        found.note = "回答不是 XML-RPC 文档";
    } else {
        found.answers = true;
        found.note = "可用, 使用博客的用户名和密码";
    }
}

DiscoveryResult CWeblogDiscovery::Discover(const std::string& typed) {
    DiscoveryResult result;
    const std::string home = HomeAddress(typed, result.reason);
    if (home.empty())
        return result;
    result.typedHost = HostOf(home);
    HttpResponse page = Fetch(home, kMaxPageBytes);
    // A bare host typed without a scheme that does not speak https is tried over http.
    const std::string trimmed(Trim(typed));
    if (!page.Ok() && page.result != HttpResult::kCancelled && !CHtmlLinks::IsWebAddress(trimmed))
        page = Fetch("http://" + trimmed, kMaxPageBytes);
    if (!page.Ok()) {
        result.reason = page.result == HttpResult::kTooLarge
                            ? "首页太大 (超过 " + Size(kMaxPageBytes) + "), 没有读完: " + home
                            : "无法读取首页: " + CXmlRpcTransport::FailureReason(page, home);
        return result;
    }
    result.pageUrl = page.finalUrl.empty() ? home : page.finalUrl;
    if (page.status >= 400) {
        result.reason =
            "无法读取首页: " + CReasonText::HttpStatus(page.status) + ": " + result.pageUrl;
        return result;
    }
    std::vector<HtmlLink> links = CHtmlLinks::FromHeader(page.Header("Link"), result.pageUrl);
    const bool html = page.LooksLikeHtml();
    if (html) {
        std::vector<HtmlLink> pageLinks = CHtmlLinks::FromPage(page.body, result.pageUrl);
        links.insert(links.end(), pageLinks.begin(), pageLinks.end());
    }

    std::string rsdNote;
    for (const HtmlLink& link : CHtmlLinks::WithRel(links, "EditURI")) {
        if (HostOf(link.href) != HostOf(result.pageUrl) && HostOf(link.href) != result.typedHost) {
            rsdNote = "EditURI 指向另一个主机 (" + HostOf(link.href) + ") 的 RSD 文档, 没有读取";
            continue;
        }
        HttpResponse rsd = Fetch(link.href, kMaxRsdBytes);
        if (!rsd.IsSuccess()) {
            rsdNote = "无法读取 RSD 文档 " + link.href + ": " +
                      CXmlRpcTransport::FailureReason(rsd, link.href);
            continue;
        }
        for (DiscoveredInterface& found : ReadRsd(rsd.body, link.href))
            result.interfaces.push_back(std::move(found));
        if (result.interfaces.empty())
            rsdNote = "RSD 文档中没有本程序能用的接口: " + link.href;
        break;
    }
    // The REST base from the Link header or the page, unless the RSD gave it already.
    std::vector<HtmlLink> rest = CHtmlLinks::WithRel(links, kRestRel);
    if (!rest.empty()) {
        auto known =
            std::find_if(result.interfaces.begin(), result.interfaces.end(), [](const auto& i) {
                return i.blogapitype == CWordPressRestApi::kTypeName;
            });
        const std::string source =
            page.Header("Link").find(kRestRel) != std::string::npos ? "Link 头" : "<link>";
        if (known == result.interfaces.end())
            result.interfaces.insert(result.interfaces.begin(),
                                     {.blogapitype = CWordPressRestApi::kTypeName,
                                      .address = rest.front().href,
                                      .source = source});
        else
            known->address = rest.front().href; // the site's own link wins over the RSD's
    }
    std::stable_sort(
        result.interfaces.begin(), result.interfaces.end(),
        [](const auto& a, const auto& b) { return Rank(a.blogapitype) < Rank(b.blogapitype); });

    if (result.interfaces.empty()) {
        result.reason =
            !html ? "首页不是 HTML 网页 (内容类型 " +
                        (page.contentType.empty() ? std::string("未知") : page.contentType) +
                        "), 其中找不到博客接口"
            : !rsdNote.empty() ? rsdNote
                               : "首页中没有 EditURI (RSD) 或 WordPress REST 链接";
        return result;
    }
    result.found = true;
    // Only the interfaces this program would use are asked: REST and the first XML-RPC one.
    bool xmlRpcProbed = false;
    for (DiscoveredInterface& found : result.interfaces) {
        found.port = CAccountSetup::PortForUrl(found.address, "80");
        const std::string host = HostOf(found.address);
        found.otherHost = host != result.typedHost;
        const bool rest = found.blogapitype == CWordPressRestApi::kTypeName;
        if (!rest && xmlRpcProbed) {
            found.note = "未测试";
            continue;
        }
        xmlRpcProbed = xmlRpcProbed || !rest;
        Probe(found);
        if (found.otherHost)
            found.note += "; 注意: 它在另一个主机 " + host + " 上, 用户名和密码会发往那里";
    }
    for (size_t i = 0; i < result.interfaces.size(); ++i) {
        if (result.interfaces[i].answers) {
            result.chosen = static_cast<int>(i);
            break;
        }
    }
    if (result.chosen < 0) {
        result.chosen = 0;
    }
    if (!rsdNote.empty())
        result.interfaces.front().note += "; " + rsdNote;
    return result;
}

std::vector<std::string> DiscoveryResult::Explanation() const {
    std::vector<std::string> lines;
    if (!pageUrl.empty())
        lines.push_back("读取了首页 " + pageUrl);
    for (const DiscoveredInterface& found : interfaces)
        lines.push_back("找到 " + found.blogapitype + " 接口 (" + found.source +
                        "): " + found.address + " — " + found.note);
    if (const DiscoveredInterface* use = Chosen()) {
        std::string line =
            "将使用 " + use->blogapitype + " 接口: " + use->address + ", 端口 " + use->port;
        if (!use->answers)
            line += " (它没有正常回答, 请检查后再测试连接)";
        lines.push_back(line);
    } else {
        lines.push_back("没有找到博客接口: " + reason + "。请手工填写服务类型和接口地址。");
    }
    return lines;
}
