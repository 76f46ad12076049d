#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The desktop commands of quillmark-cli: `shell register` makes quillmark the user's handler of
// quill:// links and feed documents (what the window's 浏览器右键订阅 → 添加 does), `shell
// unregister` takes that back, `shell status` prints each handled type's default program.
class CShellCommands {
public:
    explicit CShellCommands(std::ostream& out);

    static bool Handles(const std::string& command);
    static const char* UsageText();
    // The arguments after "shell"; returns the exit code.
    int Run(const std::vector<std::string>& args);

private:
    int Register();
    int Unregister();
    int Status();

    std::ostream& m_out;
};
