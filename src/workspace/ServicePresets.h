#pragma once

#include "app/AccountStore.h"

#include <string>
#include <vector>

// The known weblog services the account wizard offers, read from Data/BSP.xml: one `bsp`
// element per service under `root`, each with name, blogapitype, encodetype, xml-rpc and port.
// Only name, blogapitype, encodetype, xmlrpcurl and port of each record are filled.
class CServicePresets {
public:
    // The presets in file order; a missing or unreadable file gives none.
    static std::vector<AccountRecord> Load(const std::string& path);
    // The same from the program directory's file.
    static std::vector<AccountRecord> LoadInstalled();

    static constexpr const char* kFileName = "Data\\BSP.xml";
};
