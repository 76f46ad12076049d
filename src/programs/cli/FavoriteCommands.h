#pragma once

#include "app/AppContext.h"

#include <iosfwd>
#include <string>
#include <vector>

// The feed reader's favorites and OPML commands of quillmark-cli: fav list/mkbox/add/export/
// import and opml import/export. Boxes and channels are named by their path: the titles from the
// top level joined with "/".
class CFavoriteCommands {
public:
    CFavoriteCommands(const CAppContext& context, std::ostream& out, bool json);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // Runs one of the commands; returns the exit code.
    int Run(const std::string& command, const std::vector<std::string>& args);

private:
    int Favorites(const std::vector<std::string>& args);
    int Opml(const std::vector<std::string>& args);
    int OpmlImport(const std::vector<std::string>& args);
    int OpmlExport(const std::vector<std::string>& args);

    CAppContext m_context;
    std::ostream& m_out;
    bool m_json;
};
