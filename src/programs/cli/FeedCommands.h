#pragma once

#include "app/AppContext.h"

#include <iosfwd>
#include <string>
#include <vector>

// The feed reader's commands of quillmark-cli: channel, receive, items, item, mark-read, rules.
// Channels are named by their path: the titles from the top level joined with "/".
class CFeedCommands {
public:
    CFeedCommands(const CAppContext& context, std::ostream& out, bool json);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // Runs one of the commands; returns the exit code.
    int Run(const std::string& command, const std::vector<std::string>& args);

private:
    int Channel(const std::vector<std::string>& args);
    int Receive(const std::vector<std::string>& args);
    int Items(const std::vector<std::string>& args);
    int Item(const std::vector<std::string>& args);
    int MarkRead(const std::vector<std::string>& args);
    int Rules(const std::vector<std::string>& args);

    CAppContext m_context;
    std::ostream& m_out;
    bool m_json;
};
