#pragma once

#include "app/AccountStore.h"

#include <string>
#include <vector>

class CAppContext;

// The known weblog services the account wizard offers, read from Data/BSP.xml: one `bsp`
// element per service under `root`, each with name, blogapitype, encodetype, xml-rpc and port,
// and an empty `retired` element for a service that no longer answers (kept for the accounts
// that use it and for other servers that speak the same interface).
// Only name, blogapitype, encodetype, xmlrpcurl and port of each record are filled; the name of
// a retired service ends with kRetiredMark.
class CServicePresets {
public:
    // The presets in file order; a missing or unreadable file gives none.
    static std::vector<AccountRecord> Load(const std::string& path);
    // The same from the program directory's file.
    static std::vector<AccountRecord> LoadInstalled(const CAppContext& context);

    // Whether a preset's name carries the mark of a service that no longer answers.
    static bool IsRetired(const AccountRecord& preset);

    static constexpr const char* kFileName = "Data\\BSP.xml";
    static constexpr const char* kRetiredMark = " (已不再回答)";
    static constexpr const char* kRetiredHint =
        "这个服务已不再回答。已有的账户, 以及使用同一接口的其他服务器, 仍然可以使用";
};
