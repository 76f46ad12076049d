#include "app/AppSettings.h"

#include "app/AppPaths.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "platform/text/TextCheck.h"
#include "platform/xml/HtmlSanitizer.h"
#include "platform/xml/XmlDocument.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <map>
#include <utility>

namespace {

const char* kSettingsFile = "config\\appConfig.xml";

const std::map<std::string, std::vector<std::string>>& Groups() {
    static const std::map<std::string, std::vector<std::string>> groups = {
        {"proxy",
         {"proxy/use", "proxy/localporxyuse", "proxy/server", "proxy/port", "proxy/username",
          "proxy/password"}},
        {"debug", {"debug/use", "debug/out"}},
        {"wndpos",
         {"wndpos/left", "wndpos/top", "wndpos/right", "wndpos/bottom", "wndpos/leftframewidth",
          "wndpos/topframeheight"}},
        {"receive",
         {"rss/startupautoreceive", "rss/autoreceive", "rss/autoreceivetype", "rss/autoreceivetime",
          "rss/clickchannelautoreceive", "rss/switchchannelautomakeread",
          "rss/whenexitrememberunreadnum", "rss/paginationnum"}},
        {"storage", {"rss/storagetype", "rss/storagenum"}},
        {"appearance",
         {"rss/titleunreadcolor", "rss/titlereadcolor", "rss/dateandauthorcolor",
          "rss/usebigtitlefont", "rss/useboldtitlefont"}},
        {"startup", {"rss/enableautoupdate", "rss/enableminimizetonotifyarea"}},
    };
    return groups;
}

const std::vector<std::string>& Keys(const char* group) {
    return Groups().at(group);
}

std::string Num(int value) {
    return std::to_string(value);
}

bool LoadSettings(CReporter& reporter, const std::string& file, CXmlDocument& doc) {
    if (!doc.LoadFile(file)) {
        reporter.ReportError(kErrSettingsLoad);
        return false;
    }
    return true;
}

// A key is a plain element path below /app/; anything else could select outside the settings.
bool IsPlainKey(const std::string& key) {
    if (key.empty() || key.front() == '/' || key.back() == '/')
        return false;
    for (char c : key) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '_'))
            return false;
    }
    return key.find("//") == std::string::npos;
}

CXmlNode SelectKey(const CXmlDocument& doc, const std::string& key) {
    if (!IsPlainKey(key))
        return {};
    return doc.SelectNode("/app/" + key);
}

} // namespace

CAppSettings::CAppSettings(std::string programDir, CReporter* reporter)
    : m_programDir(std::move(programDir)), m_file(ProgramFilePath(m_programDir, kSettingsFile)),
      m_reporter(reporter) {}

CReporter& CAppSettings::Reporter() const {
    return m_reporter ? *m_reporter : GetReporter();
}

int CAppSettings::ToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
        ++i;
    }
    return static_cast<int>(negative ? -value : value);
}

int CAppSettings::ReadValues(const std::vector<std::string>& keys,
                             std::vector<std::string>& values) const {
    values.clear();
    CXmlDocument doc;
    if (!LoadSettings(Reporter(), m_file, doc))
        return 0;
    for (const std::string& key : keys) {
        CXmlNode node = SelectKey(doc, key);
        if (!node) {
            Reporter().ReportError(kErrSettingsValue);
            return 0;
        }
        values.push_back(node.GetText());
    }
    return 1;
}

int CAppSettings::WriteValues(const std::vector<std::string>& keys,
                              const std::vector<std::string>& values) const {
    CXmlDocument doc;
    if (!LoadSettings(Reporter(), m_file, doc))
        return 0;
    // Every value is checked before anything is written: a value of the wrong type or out of
    // range, or one that the file could not hold, leaves the file as it is.
    for (size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        if (std::string message = CSettingsChecks::CheckKeyValue(keys[i], values[i]);
            !message.empty()) {
            Reporter().ReportMessage(message);
            return 0;
        }
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        CXmlNode node = SelectKey(doc, keys[i]);
        if (!node || i >= values.size()) {
            Reporter().ReportError(kErrSettingsValue);
            return 0;
        }
        node.SetText(values[i]);
    }
    if (!doc.SaveFile(m_file)) {
        Reporter().ReportError(kErrSettingsValue);
        return 0;
    }
    return 1;
}

bool CAppSettings::GroupKeys(const std::string& group, std::vector<std::string>& keys) {
    auto it = Groups().find(group);
    if (it == Groups().end())
        return false;
    keys = it->second;
    return true;
}

int CAppSettings::ReadGroup(const std::string& group, std::vector<std::string>& values) const {
    std::vector<std::string> keys;
    if (!GroupKeys(group, keys))
        return 0;
    return ReadValues(keys, values);
}

int CAppSettings::ReadAppValue(const std::string& key, std::string& value) const {
    std::vector<std::string> values;
    if (!ReadValues({key}, values))
        return 0;
    value = values.front();
    return 1;
}

int CAppSettings::WriteAppValue(const std::string& key, const std::string& value) const {
    return WriteValues({key}, {value});
}

namespace {

// Reads a group and hands each value to its output in order; outputs before a missing key
// keep the values they received.
template <typename Assign>
int ReadInto(CReporter& reporter, const std::string& file, const char* group, Assign assign) {
    CXmlDocument doc;
    if (!LoadSettings(reporter, file, doc))
        return 0;
    const auto& keys = Keys(group);
    for (size_t i = 0; i < keys.size(); ++i) {
        CXmlNode node = SelectKey(doc, keys[i]);
        if (!node) {
            reporter.ReportError(kErrSettingsValue);
            return 0;
        }
        assign(i, node.GetText());
    }
    return 1;
}

int AsInt(const std::string& text) {
    return CAppSettings::ToInt(text);
}

} // namespace

int CAppSettings::ReadProxySettings(ProxySettings& s) const {
    return ReadInto(Reporter(), m_file, "proxy", [&](size_t i, const std::string& v) {
        switch (i) {
        case 0:
            s.use = AsInt(v);
            break;
        case 1:
            s.localProxyUse = AsInt(v);
            break;
        case 2:
            s.server = v;
            break;
        case 3:
            s.port = v;
            break;
        case 4:
            s.userName = v;
            break;
        case 5:
            s.password = v;
            break;
        }
    });
}

int CAppSettings::WriteProxySettings(const ProxySettings& s) const {
    return WriteValues(Keys("proxy"), {Num(s.use), Num(s.localProxyUse), s.server, s.port,
                                       s.userName, s.password});
}

int CAppSettings::ReadDebugSettings(DebugSettings& s) const {
    return ReadInto(Reporter(), m_file, "debug", [&](size_t i, const std::string& v) {
        if (i == 0)
            s.use = AsInt(v);
        else
            s.out = v;
    });
}

int CAppSettings::WriteDebugSettings(const DebugSettings& s) const {
    return WriteValues(Keys("debug"), {Num(s.use), s.out});
}

int CAppSettings::ReadWindowPlacement(WindowPlacement& p) const {
    int* fields[] = {&p.left, &p.top, &p.right, &p.bottom, &p.leftFrameWidth, &p.topFrameHeight};
    return ReadInto(Reporter(), m_file, "wndpos",
                    [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteWindowPlacement(const WindowPlacement& p) const {
    return WriteValues(Keys("wndpos"), {Num(p.left), Num(p.top), Num(p.right), Num(p.bottom),
                                        Num(p.leftFrameWidth), Num(p.topFrameHeight)});
}

int CAppSettings::ReadReceiveSettings(ReceiveSettings& s) const {
    int mode = 0;
    int* fields[] = {&s.startupAutoReceive,
                     &s.autoReceive,
                     &mode,
                     &s.autoReceiveTime,
                     &s.clickChannelAutoReceive,
                     &s.switchChannelAutoMakeRead,
                     &s.whenExitRememberUnreadNum,
                     &s.paginationNum};
    const int read = ReadInto(Reporter(), m_file, "receive",
                              [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
    s.autoReceiveType = mode == 0 ? ReceiveMode::kByWeight : ReceiveMode::kEvery;
    return read;
}

int CAppSettings::WriteReceiveSettings(const ReceiveSettings& s) const {
    return WriteValues(Keys("receive"),
                       {Num(s.startupAutoReceive), Num(s.autoReceive),
                        Num(static_cast<int>(s.autoReceiveType)), Num(s.autoReceiveTime),
                        Num(s.clickChannelAutoReceive), Num(s.switchChannelAutoMakeRead),
                        Num(s.whenExitRememberUnreadNum), Num(s.paginationNum)});
}

int CAppSettings::ReadStorageSettings(StorageSettings& s) const {
    int* fields[] = {&s.storageType, &s.storageNum};
    return ReadInto(Reporter(), m_file, "storage",
                    [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteStorageSettings(const StorageSettings& s) const {
    return WriteValues(Keys("storage"), {Num(s.storageType), Num(s.storageNum)});
}

int CAppSettings::ReadAppearanceSettings(AppearanceSettings& s) const {
    int* fields[] = {&s.titleUnreadColor, &s.titleReadColor, &s.dateAndAuthorColor,
                     &s.useBigTitleFont, &s.useBoldTitleFont};
    return ReadInto(Reporter(), m_file, "appearance",
                    [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteAppearanceSettings(const AppearanceSettings& s) const {
    return WriteValues(Keys("appearance"),
                       {Num(s.titleUnreadColor), Num(s.titleReadColor), Num(s.dateAndAuthorColor),
                        Num(s.useBigTitleFont), Num(s.useBoldTitleFont)});
}

int CAppSettings::ReadStartupOptions(StartupOptions& o) const {
    int* fields[] = {&o.enableAutoUpdate, &o.enableMinimizeToNotifyArea};
    return ReadInto(Reporter(), m_file, "startup",
                    [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteStartupOptions(const StartupOptions& o) const {
    return WriteValues(Keys("startup"),
                       {Num(o.enableAutoUpdate), Num(o.enableMinimizeToNotifyArea)});
}

// ---------------------------------------------------------------------------------------------

std::string CSettingsChecks::CheckReceivePage(int autoReceiveTime, int paginationNum) {
    if (autoReceiveTime < 5 || autoReceiveTime > 1440)
        return "分钟数需在 5~1440 之间";
    if (paginationNum < 30 || paginationNum > 1000)
        return "分页数需在 30~1000 之间";
    return {};
}

std::string CSettingsChecks::CheckStoragePage(int storageType, long long storageNum) {
    if (storageNum < 10 || storageNum > 16000000)
        return "不是合理的存储数量!";
    if (storageType < 1 || storageType > 3)
        return "请选择一个设置";
    return {};
}

namespace {
bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return std::stoi(text) <= 65535;
}
} // namespace

std::string CSettingsChecks::CheckProxyPage(bool use, const std::string& server,
                                            const std::string& port) {
    if (use && server.empty())
        return "请输入代理服务器地址!";
    // An empty port is only a fault while the proxy is in use.
    if ((use || !port.empty()) && !IsPort(port))
        return "请输入有效的端口号!(0 - 65535)";
    return {};
}

std::string CSettingsChecks::DebugFolderFromText(const std::string& text) {
    size_t cut = std::string::npos;
    for (const char* separator : {"/", "\\"}) {
        size_t hit = text.find(std::string(separator) + kDebugFileName);
        cut = std::min(cut, hit);
    }
    return cut == std::string::npos ? text : text.substr(0, cut);
}

namespace {

enum class ValueKind { Flag, Integer, Text, HostList };

// The type and range of every key, and the message of a value outside them.
struct KeyRule {
    const char* key;
    ValueKind kind;
    long long min = INT_MIN;
    long long max = INT_MAX;
    const char* message = nullptr;
};

constexpr const char* kNotANumber = "取值必须是整数";
constexpr const char* kNotAFlag = "取值只能是 0 或 1";

const KeyRule* FindRule(const std::string& key) {
    static const KeyRule rules[] = {
        {"proxy/use", ValueKind::Flag},
        {"proxy/localporxyuse", ValueKind::Flag},
        {"proxy/server", ValueKind::Text},
        {"proxy/port", ValueKind::Text}, // a number while the proxy is used: the page's check
        {"proxy/username", ValueKind::Text},
        {"proxy/password", ValueKind::Text},
        {"debug/use", ValueKind::Flag},
        {"debug/out", ValueKind::Text},
        {"wndpos/left", ValueKind::Integer},
        {"wndpos/top", ValueKind::Integer},
        {"wndpos/right", ValueKind::Integer},
        {"wndpos/bottom", ValueKind::Integer},
        {"wndpos/leftframewidth", ValueKind::Integer, 0, INT_MAX, "取值不能小于 0"},
        {"wndpos/topframeheight", ValueKind::Integer, 0, INT_MAX, "取值不能小于 0"},
        {"viewframemode", ValueKind::Integer},
        {"splitterdirection", ValueKind::Integer, 0, 4, "取值需在 0~4 之间"},
        {"outbarmode", ValueKind::Integer, 0, 2, "取值需在 0~2 之间"},
        {"rss/articlestyle", ValueKind::Text},
        {"rss/startupautoreceive", ValueKind::Flag},
        {"rss/autoreceive", ValueKind::Flag},
        {"rss/autoreceivetype", ValueKind::Integer, 0, 1, "请选择一个设置"},
        {"rss/autoreceivetime", ValueKind::Integer, 5, 1440, "分钟数需在 5~1440 之间"},
        {"rss/clickchannelautoreceive", ValueKind::Flag},
        {"rss/switchchannelautomakeread", ValueKind::Flag},
        {"rss/whenexitrememberunreadnum", ValueKind::Flag},
        {"rss/paginationnum", ValueKind::Integer, 30, 1000, "分页数需在 30~1000 之间"},
        {"rss/storagetype", ValueKind::Integer, 1, 3, "请选择一个设置"},
        {"rss/storagenum", ValueKind::Integer, 10, 16000000, "不是合理的存储数量!"},
        {"rss/titleunreadcolor", ValueKind::Integer, 0, 0xFFFFFF, "颜色值需在 0~16777215 之间"},
        {"rss/titlereadcolor", ValueKind::Integer, 0, 0xFFFFFF, "颜色值需在 0~16777215 之间"},
        {"rss/dateandauthorcolor", ValueKind::Integer, 0, 0xFFFFFF, "颜色值需在 0~16777215 之间"},
        {"rss/usebigtitlefont", ValueKind::Flag},
        {"rss/useboldtitlefont", ValueKind::Flag},
        {"rss/enableautoupdate", ValueKind::Flag},
        {"rss/enableminimizetonotifyarea", ValueKind::Flag},
        {"rss/noremoteimages", ValueKind::Flag},
        {"rss/videohosts", ValueKind::HostList},
        {"rss/hostfetches", ValueKind::Integer, 1, 6, "取值需在 1~6 之间"},
        {"rss/newssearchhost", ValueKind::Text},
    };
    for (const KeyRule& rule : rules) {
        if (key == rule.key)
            return &rule;
    }
    return nullptr;
}

// Decimal digits with an optional minus sign, as the file writes integers; false for anything
// else or a number beyond 32 bits.
bool ParseInteger(const std::string& text, long long& value) {
    size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() - i > 10)
        return false;
    value = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        value = -value;
    return value >= INT_MIN && value <= INT_MAX;
}

} // namespace

std::string CSettingsChecks::CheckKeyValue(const std::string& key, const std::string& value) {
    if (!CTextCheck::IsCleanText(value))
        return CTextCheck::kInvalidCharactersText;
    const KeyRule* rule = FindRule(key);
    if (!rule || rule->kind == ValueKind::Text)
        return {};
    if (rule->kind == ValueKind::HostList)
        return CHtmlSanitizer::CheckHostList(value);
    long long number = 0;
    if (rule->kind == ValueKind::Flag)
        return value == "0" || value == "1" ? std::string() : kNotAFlag;
    if (!ParseInteger(value, number))
        return kNotANumber;
    if (number < rule->min || number > rule->max)
        return rule->message;
    return {};
}

std::string CAppSettings::CheckValue(const std::string& key, const std::string& value) const {
    if (std::string message = CSettingsChecks::CheckKeyValue(key, value); !message.empty())
        return message;
    if (key == "proxy/port" || key == "proxy/server" || key == "proxy/use") {
        ProxySettings proxy;
        if (!ReadProxySettings(proxy))
            return {}; // the read has reported why; the write will fail the same way
        if (key == "proxy/port")
            proxy.port = value;
        else if (key == "proxy/server")
            proxy.server = value;
        else
            proxy.use = ToInt(value);
        return CSettingsChecks::CheckProxyPage(proxy.use != 0, proxy.server, proxy.port);
    }
    return {};
}

std::string CAppSettings::DebugFilePath(const std::string& folder) const {
    return (folder.empty() ? ProgramFilePath(m_programDir, "Temp") : folder) + "/" +
           CSettingsChecks::kDebugFileName;
}
