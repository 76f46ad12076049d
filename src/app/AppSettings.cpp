#include "app/AppSettings.h"

#include "app/AppPaths.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "platform/xml/XmlDocument.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <map>
#include <set>

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

bool LoadSettings(CXmlDocument& doc) {
    if (!doc.LoadFile(GetAppFilePath(kSettingsFile))) {
        GetReporter().ReportError(kErrSettingsLoad);
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
                             std::vector<std::string>& values) {
    values.clear();
    CXmlDocument doc;
    if (!LoadSettings(doc))
        return 0;
    for (const std::string& key : keys) {
        CXmlNode node = SelectKey(doc, key);
        if (!node) {
            GetReporter().ReportError(kErrSettingsValue);
            return 0;
        }
        values.push_back(node.GetText());
    }
    return 1;
}

int CAppSettings::WriteValues(const std::vector<std::string>& keys,
                              const std::vector<std::string>& values) {
    CXmlDocument doc;
    if (!LoadSettings(doc))
        return 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        CXmlNode node = SelectKey(doc, keys[i]);
        if (!node || i >= values.size()) {
            GetReporter().ReportError(kErrSettingsValue);
            return 0;
        }
        node.SetText(values[i]);
    }
    if (!doc.SaveFile(GetAppFilePath(kSettingsFile))) {
        GetReporter().ReportError(kErrSettingsValue);
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

int CAppSettings::ReadGroup(const std::string& group, std::vector<std::string>& values) {
    std::vector<std::string> keys;
    if (!GroupKeys(group, keys))
        return 0;
    return ReadValues(keys, values);
}

int CAppSettings::ReadAppValue(const std::string& key, std::string& value) {
    std::vector<std::string> values;
    if (!ReadValues({key}, values))
        return 0;
    value = values.front();
    return 1;
}

int CAppSettings::WriteAppValue(const std::string& key, const std::string& value) {
    return WriteValues({key}, {value});
}

namespace {

// Reads a group and hands each value to its output in order; outputs before a missing key
// keep the values they received.
template <typename Assign> int ReadInto(const char* group, Assign assign) {
    CXmlDocument doc;
    if (!LoadSettings(doc))
        return 0;
    const auto& keys = Keys(group);
    for (size_t i = 0; i < keys.size(); ++i) {
        CXmlNode node = SelectKey(doc, keys[i]);
        if (!node) {
            GetReporter().ReportError(kErrSettingsValue);
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

int CAppSettings::ReadProxySettings(ProxySettings& s) {
    return ReadInto("proxy", [&](size_t i, const std::string& v) {
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

int CAppSettings::WriteProxySettings(const ProxySettings& s) {
    return WriteValues(Keys("proxy"), {Num(s.use), Num(s.localProxyUse), s.server, s.port,
                                       s.userName, s.password});
}

int CAppSettings::ReadDebugSettings(DebugSettings& s) {
    return ReadInto("debug", [&](size_t i, const std::string& v) {
        if (i == 0)
            s.use = AsInt(v);
        else
            s.out = v;
    });
}

int CAppSettings::WriteDebugSettings(const DebugSettings& s) {
    return WriteValues(Keys("debug"), {Num(s.use), s.out});
}

int CAppSettings::ReadWindowPlacement(WindowPlacement& p) {
    int* fields[] = {&p.left, &p.top, &p.right, &p.bottom, &p.leftFrameWidth, &p.topFrameHeight};
    return ReadInto("wndpos", [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteWindowPlacement(const WindowPlacement& p) {
    return WriteValues(Keys("wndpos"), {Num(p.left), Num(p.top), Num(p.right), Num(p.bottom),
                                        Num(p.leftFrameWidth), Num(p.topFrameHeight)});
}

int CAppSettings::ReadReceiveSettings(ReceiveSettings& s) {
    int mode = 0;
    int* fields[] = {&s.startupAutoReceive,
                     &s.autoReceive,
                     &mode,
                     &s.autoReceiveTime,
                     &s.clickChannelAutoReceive,
                     &s.switchChannelAutoMakeRead,
                     &s.whenExitRememberUnreadNum,
                     &s.paginationNum};
    const int read =
        ReadInto("receive", [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
    s.autoReceiveType = mode == 0 ? ReceiveMode::kByWeight : ReceiveMode::kEvery;
    return read;
}

int CAppSettings::WriteReceiveSettings(const ReceiveSettings& s) {
    return WriteValues(Keys("receive"),
                       {Num(s.startupAutoReceive), Num(s.autoReceive),
                        Num(static_cast<int>(s.autoReceiveType)), Num(s.autoReceiveTime),
                        Num(s.clickChannelAutoReceive), Num(s.switchChannelAutoMakeRead),
                        Num(s.whenExitRememberUnreadNum), Num(s.paginationNum)});
}

int CAppSettings::ReadStorageSettings(StorageSettings& s) {
    int* fields[] = {&s.storageType, &s.storageNum};
    return ReadInto("storage", [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteStorageSettings(const StorageSettings& s) {
    return WriteValues(Keys("storage"), {Num(s.storageType), Num(s.storageNum)});
}

int CAppSettings::ReadAppearanceSettings(AppearanceSettings& s) {
    int* fields[] = {&s.titleUnreadColor, &s.titleReadColor, &s.dateAndAuthorColor,
                     &s.useBigTitleFont, &s.useBoldTitleFont};
    return ReadInto("appearance", [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteAppearanceSettings(const AppearanceSettings& s) {
    return WriteValues(Keys("appearance"),
                       {Num(s.titleUnreadColor), Num(s.titleReadColor), Num(s.dateAndAuthorColor),
                        Num(s.useBigTitleFont), Num(s.useBoldTitleFont)});
}

int CAppSettings::ReadStartupOptions(StartupOptions& o) {
    int* fields[] = {&o.enableAutoUpdate, &o.enableMinimizeToNotifyArea};
    return ReadInto("startup", [&](size_t i, const std::string& v) { *fields[i] = AsInt(v); });
}

int CAppSettings::WriteStartupOptions(const StartupOptions& o) {
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

std::string CSettingsChecks::CheckValue(const std::string& key, const std::string& value) {
    static const std::set<std::string> flags = {
        "proxy/use",
        "proxy/localporxyuse",
        "debug/use",
        "rss/startupautoreceive",
        "rss/autoreceive",
        "rss/clickchannelautoreceive",
        "rss/switchchannelautomakeread",
        "rss/whenexitrememberunreadnum",
        "rss/usebigtitlefont",
        "rss/useboldtitlefont",
        "rss/enableautoupdate",
        "rss/enableminimizetonotifyarea",
    };
    const int number = CAppSettings::ToInt(value);
    if (flags.count(key) && value != "0" && value != "1")
        return "取值只能是 0 或 1";
    if (key == "rss/autoreceivetime")
        return CheckReceivePage(number, 30);
    if (key == "rss/paginationnum")
        return CheckReceivePage(5, number);
    if (key == "rss/storagenum")
        return CheckStoragePage(1, number);
    if (key == "rss/storagetype")
        return CheckStoragePage(number, 10);
    if (key == "rss/autoreceivetype" && value != "0" && value != "1")
        return "请选择一个设置";
    if (key == "splitterdirection" && (number < 0 || number > 4))
        return "取值需在 0~4 之间";
    if (key == "outbarmode" && (number < 0 || number > 2))
        return "取值需在 0~2 之间";
    if (key == "proxy/port" || key == "proxy/server" || key == "proxy/use") {
        ProxySettings proxy;
        if (!CAppSettings::ReadProxySettings(proxy))
            return {}; // the read has reported why; the write will fail the same way
        if (key == "proxy/port")
            proxy.port = value;
        else if (key == "proxy/server")
            proxy.server = value;
        else
            proxy.use = number;
        return CheckProxyPage(proxy.use != 0, proxy.server, proxy.port);
    }
    return {};
}
