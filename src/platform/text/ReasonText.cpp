#include "platform/text/ReasonText.h"


namespace {

struct ReasonEntry {
    Reason reason;
    const char* text;
};

constexpr ReasonEntry kReasons[] = {
    {Reason::kCancelled, "已取消"},
    {Reason::kNoConnectionWithin, "{0} 秒内没有连上服务器"},
    {Reason::kNoAnswerWithin, "服务器 {0} 秒内没有回答"},
    {Reason::kTransferStalled, "传输停滞: {1} 秒内每秒不到 {0} 字节"},
    {Reason::kNoWholeAnswerWithin, "{0} 秒内没有收到完整的回答"},
    {Reason::kAnswerTooLarge, "回答超过 {0}"},
    {Reason::kNotHttpAddress, "不是 http 或 https 地址: {0}"},
    {Reason::kHttpUnavailable, "网络库无法初始化 (libcurl)"},
    {Reason::kHostNotFound, "找不到主机: {0}"},
    {Reason::kProxyNotFound, "找不到代理服务器"},
    {Reason::kCannotConnect, "无法连接到 {0}"},
    {Reason::kCertificateNotForHost, "证书不属于 {0}"},
    {Reason::kCertificateNotTrusted, "证书不受信任: {0}"},
    {Reason::kSecureConnectionFailed, "安全连接 (TLS) 失败: {0}"},
    {Reason::kTooManyRedirects, "重定向次数太多"},
    {Reason::kTransferFailed, "传输失败: {0}"},
    {Reason::kNotAFeed, "不是 feed ({0})"},
    {Reason::kNoContentType, "没有内容类型"},
    {Reason::kNoItemsInFeed, "feed 中没有条目"},
    {Reason::kEmptyAnswer, "服务器的回答是空的"},
    {Reason::kMalformedJson, "JSON 格式错误"},
    {Reason::kMalformedJsonAt, "JSON 格式错误 (第 {0} 字节)"},
    {Reason::kNotJsonFeed, "JSON 但不是 JSON Feed (缺少 version)"},
    {Reason::kEntityBomb, "实体展开超出解析器的限制"},
    {Reason::kStore, "数据库出错: {0}"},
    {Reason::kChannelGone, "收取期间频道已被删除"},
    {Reason::kFeedGoneForGood, "频道已不存在 (HTTP 410), 已停止自动收取; 单独更新此频道可重新启用"},
    {Reason::kHostAsksToWait, "{0} 要求稍后再来 (Retry-After), 还需等 {1} 秒"},
    {Reason::kNoNetworkForWebSearch, "无法访问网络, 不能进行网上搜索"},
    {Reason::kXmlNoDocument, "没有打开的文档"},
    {Reason::kXmlNoRootElement, "文档没有根元素"},
    {Reason::kXmlNotWellFormed, "文档不是格式正确的 XML"},
    {Reason::kXmlReaderUnavailable, "无法创建 XML 读取器"},
    {Reason::kNotXslStyleSheet, "不是 XSL 样式表"},
    {Reason::kNothingToTransform, "没有要转换的文档"},
    {Reason::kStyleSheetFailed, "样式表执行失败"},
    {Reason::kNoOutlineAt, "位置 {0} 没有节点"},
    {Reason::kNoOutlineToMove, "没有要移动的节点"},
    {Reason::kOutlineBelowItself, "节点不能移到它自己的下面"},
    {Reason::kImportNotBegun, "导入尚未开始"},
    {Reason::kProgramTimedOut, "超过 {0} 秒没有结束"},
    {Reason::kXmlRpcRefused, "服务器拒绝了 XML-RPC 接口 ({0}), 可以改用 WordPress REST 接口"},
};

struct StatusEntry {
    long status;
    const char* meaning;
};

constexpr StatusEntry kStatuses[] = {
    {400, "请求无效"},           {401, "需要登录"},
    {402, "需要付费"},           {403, "禁止访问"},
    {404, "页面不存在"},         {405, "不允许此方法"},
    {406, "无法接受"},           {407, "代理需要登录"},
    {408, "请求超时"},           {409, "冲突"},
    {410, "已永久删除"},         {411, "需要长度"},
    {413, "请求太大"},           {414, "地址太长"},
    {415, "不支持的类型"},       {429, "请求过于频繁"},
    {451, "因法律原因不可用"},   {500, "服务器内部错误"},
    {501, "服务器不支持"},       {502, "网关错误"},
    {503, "服务暂时不可用"},     {504, "网关超时"},
    {505, "不支持的 HTTP 版本"}, {508, "检测到循环"},
    {520, "服务器返回未知错误"}, {521, "服务器已关闭"},
    {522, "连接超时"},           {523, "源站不可达"},
    {524, "源站超时"},
};

} // namespace

std::string CReasonText::Text(Reason reason, std::initializer_list<std::string_view> args) {
    std::string_view pattern = "原因未知";
    for (const ReasonEntry& entry : kReasons) {
        if (entry.reason == reason) {
            pattern = entry.text;
            break;
        }
    }
    std::string out;
    out.reserve(pattern.size() + 32);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            pattern[i + 1] >= '0' && pattern[i + 1] <= '9') {
            const size_t n = static_cast<size_t>(pattern[i + 1] - '0');
            if (n < args.size())
                out.append(*(args.begin() + n));
            i += 2;
            continue;
        }
        out.push_back(pattern[i]);
    }
    return out;
}

std::string CReasonText::HttpStatus(long status) {
    const std::string number = "HTTP " + std::to_string(status);
    for (const StatusEntry& entry : kStatuses) {
        if (entry.status == status)
            return number + " (" + entry.meaning + ")";
    }
    if (status >= 500 && status < 600)
        return number + " (服务器出错)";
    if (status >= 400 && status < 500)
        return number + " (请求被拒绝)";
    if (status >= 300 && status < 400)
        return number + " (未跟随的重定向)";
    return number;
}
