#pragma once

#include "app/AppContext.h"

#include <iosfwd>
#include <string>
#include <vector>

// The desktop commands of quillmark-cli: `shell register` makes quillmark the user's handler of
// quill:// links and feed documents (what the window's 浏览器右键订阅 → 添加 does), `shell
// unregister` takes that back, `shell status` prints each handled type's default program.
class CShellCommands {
public:
    // Registers the context's program directory.
    CShellCommands(const CAppContext& context, std::ostream& out);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // The arguments after "shell"; returns the exit code.
    int Run(const std::vector<std::string>& args);

private:
    int Register();
    int Unregister();
    int Status();

    CAppContext m_context;
    std::ostream& m_out;
};
