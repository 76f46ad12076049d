#pragma once

#include <string>
#include <vector>

class CReporter;

struct ProxySettings {
    int use = 0;
    int localProxyUse = 0;
    std::string server;
    std::string port;
    std::string userName;
    std::string password;
};

struct DebugSettings {
    int use = 0;
    std::string out; // folder of the XML-RPC trace file
};

struct WindowPlacement {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int leftFrameWidth = 0;
    int topFrameHeight = 0;
};

// How the start-up and timer receives choose channels. The settings file holds 0 for by weight
// and 1 for every channel (any other number reads as every channel).
enum class ReceiveMode {
    kByWeight = 0, // only the channels whose weight says they are due
    kEvery = 1,    // the whole tree, once per autoReceiveTime minutes
};

struct ReceiveSettings {
    int startupAutoReceive = 0;
    int autoReceive = 0;
    ReceiveMode autoReceiveType = ReceiveMode::kByWeight;
    int autoReceiveTime = 30;
    int clickChannelAutoReceive = 0;
    int switchChannelAutoMakeRead = 0;
    int whenExitRememberUnreadNum = 0;
    int paginationNum = 50;
};

struct StorageSettings {
    int storageType = 1; // 1 keep what the source lists, 2 keep storageNum, 3 keep everything
    int storageNum = 200;
};

struct AppearanceSettings {
    int titleUnreadColor = 0;
    int titleReadColor = 0;
    int dateAndAuthorColor = 0;
    int useBigTitleFont = 0;
    int useBoldTitleFont = 0;
};

struct StartupOptions {
    int enableAutoUpdate = 1;
    int enableMinimizeToNotifyArea = 0;
};

// The settings file config/appConfig.xml of one program directory. Nothing is cached: each read
// loads the file, each write replaces it atomically. Every key ships in the file and the program
// never creates one. A read or write returns 1, or reports the failure and returns 0: 7000 when
// the file cannot be loaded, 7001 when a key of the group is missing or the file cannot be
// written. Outputs filled before a missing key keep their new values.
class CAppSettings {
public:
    // reporter: whom a failure is told; null for the one in force on the calling thread.
    explicit CAppSettings(std::string programDir, CReporter* reporter = nullptr);

    int ReadProxySettings(ProxySettings& settings) const;
    int WriteProxySettings(const ProxySettings& settings) const;
    int ReadDebugSettings(DebugSettings& settings) const;
    int WriteDebugSettings(const DebugSettings& settings) const;
    int ReadWindowPlacement(WindowPlacement& placement) const;
    int WriteWindowPlacement(const WindowPlacement& placement) const;
    int ReadReceiveSettings(ReceiveSettings& settings) const;
    int WriteReceiveSettings(const ReceiveSettings& settings) const;
    int ReadStorageSettings(StorageSettings& settings) const;
    int WriteStorageSettings(const StorageSettings& settings) const;
    int ReadAppearanceSettings(AppearanceSettings& settings) const;
    int WriteAppearanceSettings(const AppearanceSettings& settings) const;
    int ReadStartupOptions(StartupOptions& options) const;
    int WriteStartupOptions(const StartupOptions& options) const;

    // One value by its path after "/app/" ("viewframemode", "rss/articlestyle", ...).
    int ReadAppValue(const std::string& key, std::string& value) const;
    int WriteAppValue(const std::string& key, const std::string& value) const;

    // A group by name (proxy, debug, wndpos, receive, storage, appearance, startup): its keys
    // (paths after "/app/") in the group's order, and their texts.
    static bool GroupKeys(const std::string& group, std::vector<std::string>& keys);
    int ReadGroup(const std::string& group, std::vector<std::string>& values) const;

    // Several values at once; every key must exist.
    int ReadValues(const std::vector<std::string>& keys, std::vector<std::string>& values) const;
    int WriteValues(const std::vector<std::string>& keys,
                    const std::vector<std::string>& values) const;

    // A value for one key as `quillmark-cli settings set` receives it; reads the other values
    // that the key's check depends on. Returns the message, or "" when the value is good.
    std::string CheckValue(const std::string& key, const std::string& value) const;

    // The trace file of the weblog interfaces in the folder the debug settings name; without a
    // folder of the user's it goes to the program's scratch folder (Temp), never to the root of
    // the file system.
    std::string DebugFilePath(const std::string& folder) const;

    // A plain decimal conversion: leading blanks, a sign and digits; anything else reads as 0.
    static int ToInt(const std::string& text);

private:
    CReporter& Reporter() const;

    std::string m_programDir;
    std::string m_file;
    CReporter* m_reporter = nullptr;
};

// The checks that the settings pages make on confirm. Each returns the message to show, or an
// empty text when the values may be written. Checks run in the order of the page's fields.
class CSettingsChecks {
public:
    static std::string CheckReceivePage(int autoReceiveTime, int paginationNum);
    // storageType 0 means that no choice is made.
    static std::string CheckStoragePage(int storageType, long long storageNum);
    static std::string CheckProxyPage(bool use, const std::string& server, const std::string& port);
    // The debug page shows folder + "/quill_debug.html"; the folder is what stands before the
    // first occurrence of that file name (either slash).
    static std::string DebugFolderFromText(const std::string& text);
    // The value against its key's type and range alone (flags 0 or 1, integers as decimal text
    // within the key's range, texts without control characters or broken UTF-8); every write
    // makes this check. Returns the message, or "" when the value is good.
    static std::string CheckKeyValue(const std::string& key, const std::string& value);
    // The file name of the XML-RPC trace file inside the debug folder.
    static constexpr const char* kDebugFileName = "quill_debug.html";
};
