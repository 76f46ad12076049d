#include "workspace/ServicePresets.h"

#include "app/AppContext.h"
#include "platform/xml/XmlDocument.h"

std::vector<AccountRecord> CServicePresets::Load(const std::string& path) {
    std::vector<AccountRecord> presets;
    CXmlDocument doc;
    if (!doc.LoadFile(path))
        return presets;
    // Positions count from 0 here; the document type turns them into XPath's.
    for (int i = 0;; ++i) {
        const std::string base = "/root/bsp[" + std::to_string(i) + "]";
        if (!doc.SelectNode(base))
            break;
        const auto text = [&](const char* child) {
            CXmlNode node = doc.SelectNode(base + child);
            return node ? node.GetText() : std::string();
        };
        std::string name = text("/name");
        if (doc.SelectNode(base + "/retired"))
            name += kRetiredMark;
        presets.push_back({.name = name,
                           .xmlrpcurl = text("/xml-rpc"),
                           .port = text("/port"),
                           .blogapitype = text("/blogapitype"),
                           .encodetype = text("/encodetype")});
    }
    return presets;
}

std::vector<AccountRecord> CServicePresets::LoadInstalled(const CAppContext& context) {
    return Load(context.FilePath(kFileName));
}

bool CServicePresets::IsRetired(const AccountRecord& preset) {
    return preset.name.ends_with(kRetiredMark);
}
