#pragma once

#include "app/AppContext.h"

#include <iosfwd>
#include <string>
#include <vector>

// The feed reader's search and cleaning in quillmark-cli: search (local or on-line) and clean.
class CSearchCommands {
public:
    CSearchCommands(const CAppContext& context, std::ostream& out, bool json);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // Runs one of the commands; returns the exit code.
    int Run(const std::string& command, const std::vector<std::string>& args);

private:
    int Search(const std::vector<std::string>& args);
    int Clean(const std::vector<std::string>& args);

    CAppContext m_context;
    std::ostream& m_out;
    bool m_json;
};
