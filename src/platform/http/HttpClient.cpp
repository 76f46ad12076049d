#include "platform/http/HttpClient.h"

#include "platform/text/ReasonText.h"

#include "platform/text/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <mutex>
#include <strings.h>

namespace {

// How long the transfer loop waits for the network before it looks at the abort flags again.
constexpr int kPollMs = 50;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Addresses copied from documents may hold blanks or raw UTF-8 in their path; those bytes are
// percent-encoded (the host is left alone).
std::string EncodeUrl(std::string_view url) {
    url = Trim(url);
    size_t scheme = url.find("://");
    size_t pathStart = scheme == std::string_view::npos ? 0 : url.find_first_of("/?#", scheme + 3);
    if (pathStart == std::string_view::npos)
        pathStart = url.size();
    std::string out(url.substr(0, pathStart));
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = pathStart; i < url.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= 0x20 || c >= 0x7F) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// Scheme and host of an address; false when it is not a well-formed http or https address.
bool SplitUrl(const std::string& url, std::string& host) {
    CURLU* parts = curl_url();
    if (!parts)
        return false;
    bool ok = false;
    if (curl_url_set(parts, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* name = nullptr;
        if (curl_url_get(parts, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(parts, CURLUPART_HOST, &name, 0) == CURLUE_OK) {
            ok = EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https");
            host = name;
        }
        curl_free(scheme);
        curl_free(name);
    }
    curl_url_cleanup(parts);
    return ok;
}

long PortNumber(std::string_view text) {
    text = Trim(text);
    long port = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || port > 65535)
            break;
        port = port * 10 + (c - '0');
    }
    return port > 65535 ? 0 : port;
}

struct Transfer {
    const CHttpClient* client = nullptr;
    std::string* body = nullptr;
    std::size_t limit = 0;
    bool tooLarge = false;
    std::vector<HttpHeader> headers;
    std::vector<long> statuses; // of every answer begun, redirects included
    bool answered = false; // any byte of an answer (status line, header or body) arrived
    // Set by the client: the abort test of this request.
    const HttpRequest* request = nullptr;
    bool (*aborted)(const Transfer&) = nullptr;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->answered = true;
    if (t->limit && t->body->size() + n > t->limit) {
        t->tooLarge = true;
        return n == 0 ? 1 : 0; // any count other than n ends the transfer
    }
    t->body->append(data, n);
    return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->answered = true;
    std::string_view line = Trim(std::string_view(data, n));
    if (line.substr(0, 5) == "HTTP/") {
        // A new answer begins (after a redirect, a 100 Continue or a proxy's CONNECT).
        t->headers.clear();
        const size_t blank = line.find(' ');
        long status = 0;
        for (size_t i = blank == std::string_view::npos ? line.size() : blank + 1;
             i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i)
            status = status * 10 + (line[i] - '0');
        t->statuses.push_back(status);
    } else if (size_t colon = line.find(':'); colon != std::string_view::npos && colon > 0) {
        t->headers.push_back(
            {std::string(Trim(line.substr(0, colon))), std::string(Trim(line.substr(colon + 1)))});
    }
    return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    return t->aborted(*t) ? 1 : 0;
}

HttpResult ResultOf(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return HttpResult::kOk;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return HttpResult::kBadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return HttpResult::kConnectFailed;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpResult::kTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return HttpResult::kTlsFailed;
    case CURLE_FILESIZE_EXCEEDED:
        return HttpResult::kTooLarge;
    case CURLE_TOO_MANY_REDIRECTS:
        return HttpResult::kTooManyRedirects;
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpResult::kCancelled;
    default:
        return HttpResult::kTransferFailed;
    }
}

void ApplyProxy(CURL* easy, const HttpProxy& proxy, const std::string& host) {
    switch (proxy.mode) {
    case HttpProxy::Mode::kSystem:
        return; // libcurl reads the environment
    case HttpProxy::Mode::kDirect:
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        return;
    case HttpProxy::Mode::kManual:
        break;
    }
    std::string_view server = Trim(proxy.server);
    if (server.empty() || (!proxy.useForLocalHosts && HttpProxy::IsLocalHost(host))) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
        return;
    }
    std::string address(server);
    if (long port = PortNumber(proxy.port); port > 0)
        address += ":" + std::to_string(port);
    curl_easy_setopt(easy, CURLOPT_PROXY, address.c_str());
    // The record decides alone: no_proxy from the environment does not apply.
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    if (!proxy.userName.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, proxy.userName.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    }
}

// Whole seconds of a window given in milliseconds, at least one.
long WholeSeconds(long ms) {
    return std::max(1L, (ms + 999) / 1000);
}

// A window given in milliseconds, in seconds as a reason says it: "30", or "0.5".
std::string SecondsText(long ms) {
    if (ms % 1000 == 0)
        return std::to_string(std::max(1L, ms / 1000));
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ms) / 1000.0);
    return text;
}

// libcurl reports every timeout alike; the reason says which bound ended the transfer.
std::string TimeoutText(CURL* easy, const HttpLimits& limits, bool answered) {
    curl_off_t connectUs = 0;
    curl_off_t totalUs = 0;
    curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectUs);
    curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &totalUs);
    const curl_off_t totalMs = totalUs / 1000;
    if (connectUs == 0)
        return CReasonText::Text(Reason::kNoConnectionWithin,
                                 {SecondsText(limits.connectTimeoutMs)});
    const bool stalled = limits.lowSpeedTimeMs > 0 && limits.lowSpeedBytesPerSecond > 0 &&
                         (limits.totalTimeoutMs <= 0 || totalMs + 100 < limits.totalTimeoutMs);
    if (stalled && !answered)
        return CReasonText::Text(Reason::kNoAnswerWithin,
                                 {std::to_string(WholeSeconds(limits.lowSpeedTimeMs))});
    if (stalled)
        return CReasonText::Text(Reason::kTransferStalled,
                                 {std::to_string(limits.lowSpeedBytesPerSecond),
                                  std::to_string(WholeSeconds(limits.lowSpeedTimeMs))});
    if (!answered)
        return CReasonText::Text(Reason::kNoAnswerWithin, {SecondsText(limits.totalTimeoutMs)});
    return CReasonText::Text(Reason::kNoWholeAnswerWithin, {SecondsText(limits.totalTimeoutMs)});
}

bool HasHeader(const std::vector<HttpHeader>& headers, std::string_view name) {
    for (const HttpHeader& h : headers) {
        if (EqualsNoCase(Trim(h.name), name))
            return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool HttpProxy::IsLocalHost(std::string_view host) {
    size_t dot = host.find('.');
    if (dot == std::string_view::npos)
        return true;
    std::string_view first = host.substr(0, dot);
    return first == "192" || first == "127" || first == "10";
}

std::string HttpResponse::Header(std::string_view name) const {
    for (const HttpHeader& h : headers) {
        if (EqualsNoCase(h.name, name))
            return h.value;
    }
    return {};
}

bool HttpResponse::MovedPermanently() const {
    if (redirects.empty())
        return false;
    return std::all_of(redirects.begin(), redirects.end(),
                       [](long status) { return status == 301 || status == 308; });
}

bool HttpResponse::LooksLikeHtml() const {
    if (AsciiLower(contentType).find("html") != std::string::npos)
        return true;
    const std::string head = AsciiLower(body.substr(0, 512));
    return head.find("<html") != std::string::npos ||
           head.find("<!doctype html") != std::string::npos ||
           head.find("<head") != std::string::npos;
}

long HttpResponse::RetryAfterSeconds() const {
    constexpr long kDay = 24 * 60 * 60;
    const std::string value(Trim(Header("Retry-After")));
    if (value.empty())
        return -1;
    if (std::all_of(value.begin(), value.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return value.size() > 6 ? kDay : std::min(std::stol(value), kDay);
    // An HTTP date: "Wed, 21 Oct 2015 07:28:00 GMT".
    const time_t at = curl_getdate(value.c_str(), nullptr);
    if (at < 0)
        return -1;
    return std::clamp<long>(static_cast<long>(at - std::time(nullptr)), 0, kDay);
}

void CHttpClient::GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const char* CHttpClient::DefaultUserAgent() {
    return "Quillmark/0.1 (Linux; feed reader and weblog client)";
}

CHttpClient::CHttpClient() : m_userAgent(DefaultUserAgent()) {
    GlobalInit();
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
}

CHttpClient::~CHttpClient() {
    if (m_easy)
        curl_easy_cleanup(static_cast<CURL*>(m_easy));
    if (m_multi)
        curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

bool CHttpClient::IsAborted(const HttpRequest& request) const {
    return (request.cancel && request.cancel->IsCancelled()) ||
           (m_exitFlag && m_exitFlag->load(std::memory_order_relaxed) != 0);
}

HttpResponse CHttpClient::Get(const std::string& url) {
    HttpRequest request;
    request.url = url;
    return Perform(request);
}

HttpResponse CHttpClient::Post(const std::string& url, std::string body,
                               std::vector<HttpHeader> headers) {
    HttpRequest request;
    request.method = "POST";
    request.url = url;
    request.body = std::move(body);
    request.headers = std::move(headers);
    return Perform(request);
}

HttpResponse CHttpClient::Perform(const HttpRequest& request) {
    HttpResponse response;
    auto* easy = static_cast<CURL*>(m_easy);
    auto* multi = static_cast<CURLM*>(m_multi);
    if (!easy || !multi) {
        response.errorText = CReasonText::Text(Reason::kHttpUnavailable);
        return response;
    }
    if (IsAborted(request)) {
        response.result = HttpResult::kCancelled;
        response.errorText = CReasonText::Text(Reason::kCancelled);
        return response;
    }
    const std::string url = EncodeUrl(request.url);
    std::string host;
    if (!SplitUrl(url, host)) {
        response.result = HttpResult::kBadUrl;
        response.errorText = CReasonText::Text(Reason::kNotHttpAddress, {request.url});
        return response;
    }

    curl_easy_reset(easy);
    char errorBuffer[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, m_limits.maxRedirects);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""); // every encoding libcurl can decode
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, m_limits.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, m_limits.totalTimeoutMs);
    if (m_limits.lowSpeedBytesPerSecond > 0 && m_limits.lowSpeedTimeMs > 0) {
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, m_limits.lowSpeedBytesPerSecond);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, WholeSeconds(m_limits.lowSpeedTimeMs));
    }
    if (m_limits.maxBodyBytes)
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(m_limits.maxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, m_caFile.c_str());

    Transfer transfer;
    transfer.client = this;
    transfer.body = &response.body;
    transfer.limit = m_limits.maxBodyBytes;
    transfer.request = &request;
    transfer.aborted = [](const Transfer& t) { return t.client->IsAborted(*t.request); };
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);

    const bool hasBody = !request.body.empty() || request.method == "POST";
    if (request.method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        if (hasBody) {
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
        }
        if (request.method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }

    curl_slist* headers = nullptr;
    for (const HttpHeader& h : request.headers) {
        // A blank around the name would make the header invalid, so names and values are
        // trimmed; an empty value is sent as "Name:" with nothing after it.
        std::string name(Trim(h.name));
        std::string value(Trim(h.value));
        if (name.empty())
            continue;
        std::string line = value.empty() ? name + ";" : name + ": " + value;
        headers = curl_slist_append(headers, line.c_str());
    }
    if (!HasHeader(request.headers, "User-Agent"))
        curl_easy_setopt(easy, CURLOPT_USERAGENT, m_userAgent.c_str());
    if (hasBody && !HasHeader(request.headers, "Expect"))
        headers = curl_slist_append(headers, "Expect:"); // no 100-continue round trip
    if (!request.ifNoneMatch.empty())
        headers = curl_slist_append(headers, ("If-None-Match: " + request.ifNoneMatch).c_str());
    if (!request.ifModifiedSince.empty())
        headers =
            curl_slist_append(headers, ("If-Modified-Since: " + request.ifModifiedSince).c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);

    ApplyProxy(easy, m_proxy, host);

    CURLcode code = CURLE_FAILED_INIT;
    bool cancelled = false;
    if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
        bool done = false;
        while (!done) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                    code = message->data.result;
                    done = true;
                }
            }
            if (done || running == 0)
                break;
            if (IsAborted(request)) {
                cancelled = true;
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        }
        curl_multi_remove_handle(multi, easy);
    }
    curl_slist_free_all(headers);

    if (cancelled)
        response.result = HttpResult::kCancelled;
    else if (transfer.tooLarge)
        response.result = HttpResult::kTooLarge;
    else
        response.result = ResultOf(code);

    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    response.status = status;
    char* effective = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        response.finalUrl = effective;
    char* contentType = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        response.contentType = contentType;
    response.headers = std::move(transfer.headers);
    if (!transfer.statuses.empty()) {
        // Every answer before the final one that was a redirect; 1xx answers and a proxy's
        // CONNECT are not.
        for (size_t i = 0; i + 1 < transfer.statuses.size(); ++i)
            if (transfer.statuses[i] >= 300 && transfer.statuses[i] <= 399)
                response.redirects.push_back(transfer.statuses[i]);
    }
    response.etag = response.Header("ETag");
    response.lastModified = response.Header("Last-Modified");

    if (response.result != HttpResult::kOk) {
        response.body.clear();
        switch (response.result) {
        case HttpResult::kCancelled:
            response.errorText = CReasonText::Text(Reason::kCancelled);
            break;
        case HttpResult::kTooLarge:
            response.errorText = CReasonText::Text(
                Reason::kAnswerTooLarge, {std::to_string(m_limits.maxBodyBytes) + " 字节"});
            break;
        case HttpResult::kTimeout:
            response.errorText = TimeoutText(easy, m_limits, transfer.answered);
            break;
        default:
            response.errorText = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
            break;
        }
    }
    // Nothing of this request may outlive it in the reused handle.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    return response;
}
