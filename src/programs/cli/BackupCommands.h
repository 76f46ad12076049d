#pragma once

#include "app/AppContext.h"

#include <iosfwd>
#include <string>
#include <vector>

// The export commands of quillmark-cli: `backup export` writes a folder of an account as an RSS
// backup file, `backup import` stores the articles of such a file (or of a weblog engine's
// feed) as drafts, `ebook` binds a weblog folder, a feed channel or a favorites box into a .chm.
class CBackupCommands {
public:
    // Works on the context's program directory and accounts.
    CBackupCommands(const CAppContext& context, std::ostream& out, std::ostream& err);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // The command word and the arguments after it; returns the exit code.
    int Run(const std::string& command, const std::vector<std::string>& args);

private:
    int Export(const std::vector<std::string>& args);
    int Import(const std::vector<std::string>& args);
    int Ebook(const std::vector<std::string>& args);
    int Error(const std::string& text);

    CAppContext m_context;
    std::ostream& m_out;
    std::ostream& m_err;
};
