#include "blogclient/XmlRpcTransport.h"

#include "platform/text/ReasonText.h"

#include "app/AppPaths.h"
#include "app/ErrorCatalog.h"
#include "app/ProxySetup.h"
#include "app/Reporter.h"
#include "blogclient/XmlRpcAnswer.h"
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"

#include <cctype>
#include <ctime>
#include <mutex>
#include <strings.h>

namespace {

// The text of an element's content as it reads, its character references decoded by the XML
// parser; "" when it is no element content.
std::string DecodeContent(std::string_view raw) {
    CXmlDocument value;
    if (!value.LoadText("<v>" + std::string(raw) + "</v>"))
        return {};
    return value.Root().GetText();
}

// Adds one exchange to the trace file, the password masked.
void Trace(const XmlRpcCall& call, const std::string& address, const std::string& outcome,
           const std::string& request, const std::string* answer) {
    std::string body = "---- 请求\n" + CXmlRpcTransport::MaskSecret(request, call.secret) + "\n";
    if (answer)
        body += "---- 回应\n" + *answer + "\n";
    CXmlRpcTransport::AppendTrace(call.debugPath, address + ": " + outcome, body);
}

} // namespace

void CXmlRpcTransport::AppendTrace(const std::string& path, const std::string& heading,
                                   const std::string& body) {
    static std::mutex lock;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &local);
    const std::string record = "==== " + std::string(time) + " " + heading + "\n" + body + "\n";
    std::lock_guard guard(lock);
    if (CFileUtil::FileSize(path) > kMaxTraceBytes)
        CFileUtil::WriteFile(path, "");
    CFileUtil::AppendFile(path, record);
}

bool CXmlRpcTransport::SplitEndpoint(const std::string& url, const std::string& portText,
                                     XmlRpcEndpoint& endpoint) {
    endpoint = XmlRpcEndpoint();
    endpoint.secure = url.size() >= 5 && strncasecmp(url.c_str(), "https", 5) == 0;
    size_t slashes = url.find("//");
    if (slashes == std::string::npos)
        return false;
    size_t hostStart = slashes + 2;
    size_t pathStart = url.find('/', hostStart);
    std::string host = url.substr(
        hostStart, pathStart == std::string::npos ? std::string::npos : pathStart - hostStart);
    endpoint.path = pathStart == std::string::npos ? "/" : url.substr(pathStart);
    // Credentials in the address are not ours to send; a port written in it only stands in
    // when the account gives none.
    if (size_t at = host.rfind('@'); at != std::string::npos)
        host.erase(0, at + 1);
    int urlPort = 0;
    size_t colon = host.rfind(':');
    size_t bracket = host.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        for (size_t i = colon + 1; i < host.size() && std::isdigit((unsigned char)host[i]); ++i)
            urlPort = urlPort * 10 + (host[i] - '0');
        host.erase(colon);
    }
    endpoint.host = host;

    int port = 0;
    for (size_t i = 0; i < portText.size() && std::isdigit((unsigned char)portText[i]); ++i) {
        port = port * 10 + (portText[i] - '0');
        if (port > 65535) {
            port = 0;
            break;
        }
    }
    if (port == 0)
        port = urlPort > 0 && urlPort <= 65535 ? urlPort : (endpoint.secure ? 443 : 80);
    endpoint.port = port;
    return !endpoint.host.empty();
}

std::string CXmlRpcTransport::EndpointUrl(const XmlRpcEndpoint& endpoint) {
    return std::string(endpoint.secure ? "https://" : "http://") + endpoint.host + ":" +
           std::to_string(endpoint.port) + endpoint.path;
}

std::vector<HttpHeader> CXmlRpcTransport::Headers(bool msnSpaces) {
    if (msnSpaces)
        return {{"User-Agent", "quill-spaces"},
                {"Content-Type", "text/xml; charset=UTF-8"},
                {"Accept-Language", "zh-cn"}};
    return {{"User-Agent", "quill"}, {"Content-Type", "text/xml"}};
}

HttpLimits CXmlRpcTransport::CallLimits() {
    HttpLimits limits;
    limits.connectTimeoutMs = kConnectTimeoutMs;
    limits.totalTimeoutMs = kTotalTimeoutMs;
    limits.maxBodyBytes = kMaxAnswerBytes;
    // The client's stall rule stays on: a server that takes the request and then says nothing
    // fails after that window, not after the five minutes a large upload may need.
    return limits;
}

std::string CXmlRpcTransport::FailureReason(const HttpResponse& response,
                                            const std::string& address) {
    auto with = [&response](std::string text) {
        if (!response.errorText.empty())
            text += " (" + response.errorText + ")";
        return text;
    };
    switch (response.result) {
    case HttpResult::kOk:
        return CReasonText::HttpStatus(response.status);
    case HttpResult::kTimeout:
        return with("连接超时: " + address + " 在限定的时间内没有回应");
    case HttpResult::kConnectFailed:
        return with("连接被拒绝或找不到主机: 无法连接到 " + address);
    case HttpResult::kTlsFailed:
        return with("无法验证服务器的证书 (TLS): " + address);
    case HttpResult::kBadUrl:
        return with("XML-RPC 地址无效: " + address);
    case HttpResult::kTooLarge:
        return with("服务器的回应太大");
    case HttpResult::kTooManyRedirects:
        return with("重定向次数太多");
    case HttpResult::kCancelled:
        return "传输已取消";
    case HttpResult::kTransferFailed:
        break;
    }
    return with("传输失败: " + address);
}

std::string CXmlRpcTransport::RefusalReason(const HttpResponse& response) {
    if (!response.Ok())
        return {};
    if (response.status == 403 || response.status == 405)
        return CReasonText::Text(Reason::kXmlRpcRefused,
                                 {"HTTP " + std::to_string(response.status)});
    if (response.status >= 300 || response.body.find("<methodResponse") != std::string::npos)
        return {};
    if (!response.LooksLikeHtml())
        return {};
    return CReasonText::Text(Reason::kXmlRpcRefused, {"HTTP " + std::to_string(response.status) +
                                                      ", 回应是网页而不是 XML-RPC 回答"});
}

std::string CXmlRpcTransport::MaskSecret(const std::string& request, const std::string& secret) {
    if (secret.empty())
        return request;
    std::string out;
    size_t copied = 0;
    for (size_t pos = 0; (pos = request.find('<', pos)) != std::string::npos;) {
        const size_t open = pos;
        pos = request.find('>', open);
        if (pos == std::string::npos)
            break;
        const std::string_view tag(request.data() + open, pos + 1 - open);
        if (tag != "<string>" && tag != "<value>")
            continue;
        const size_t start = pos + 1;
        const size_t end = request.find('<', start);
        if (end == std::string::npos)
            break;
        if (DecodeContent(std::string_view(request).substr(start, end - start)) == secret) {
            out.append(request, copied, start - copied);
            out += kMaskedSecret;
            copied = end;
        }
        pos = end;
    }
    out.append(request, copied, std::string::npos);
    return out;
}

int CXmlRpcTransport::Post(const XmlRpcCall& call, const std::string& request,
                           std::string& answer) {
    XmlRpcEndpoint endpoint;
    if (!SplitEndpoint(call.url, call.port, endpoint)) {
        ReportErrorWithReason(kErrNetwork, "XML-RPC 地址中没有主机: " + call.url);
        return 0;
    }
    m_client.SetProxy(CProxySetup::FromSettings(call.proxy, ProxyFallback::kDirect));
    m_client.SetCaFile(call.caFile);
    m_client.SetExitFlag(&g_bAppExiting);
    m_client.SetLimits(call.limits ? *call.limits : CallLimits());

    HttpRequest http;
    http.method = "POST";
    http.url = EndpointUrl(endpoint);
    http.headers = Headers(call.msnSpaces);
    http.body = request;
    http.cancel = &m_cancel;
    HttpResponse response = m_client.Perform(http);
    if (!call.debugPath.empty())
        Trace(call, http.url, FailureReason(response, http.url), request,
              response.Ok() ? &response.body : nullptr);
    if (!response.Ok()) {
        ReportErrorWithReason(kErrNetwork, FailureReason(response, http.url));
        return 0;
    }
    if (std::string refused = RefusalReason(response); !refused.empty()) {
        ReportErrorWithReason(kErrHttpStatus, refused + ": " + http.url);
        return 0;
    }
    if (response.status >= 400) {
        ReportErrorWithReason(kErrHttpStatus, FailureReason(response, http.url));
        return 0;
    }
    answer = call.msnSpaces ? CXmlRpcAnswer::CleanMsnAnswer(response.body, call.encodetype)
                            : std::move(response.body);
    return 1;
}
