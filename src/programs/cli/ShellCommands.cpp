#include "cli/ShellCommands.h"

#include "app/AppPaths.h"
#include "app/Reporter.h"
#include "platform/fs/FileUtil.h"
#include "shell/ShellRegistration.h"

#include <ostream>

namespace {

int Fail(const std::string& message) {
    GetReporter().ReportMessage(message);
    return 1;
}

} // namespace

CShellCommands::CShellCommands(const CAppContext& context, std::ostream& out)
    : m_context(context), m_out(out) {}

bool CShellCommands::Handles(const std::string& command) {
    return command == "shell";
}

const char* CShellCommands::UsageText() {
    return R"(  shell register              让浏览器把 quill:// 链接和 RSS/Atom 订阅交给 quillmark
                              (写入 ~/.local/share/applications 和 mimeapps.list)
  shell unregister            移除 shell register 加入的内容, 恢复原来的关联
  shell status                每种类型一行: 类型, 默认程序
)";
}

int CShellCommands::Run(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Fail("用法: quillmark-cli shell register|unregister|status");
    if (args[0] == "register")
        return Register();
    if (args[0] == "unregister")
        return Unregister();
    if (args[0] == "status")
        return Status();
    return Fail("未知的子命令: shell " + args[0] + " (register|unregister|status)");
}

int CShellCommands::Register() {
    // The window program lives beside this one.
    const std::string program = GetExecutableDir() + "/quillmark";
    if (!CFileUtil::Exists(program))
        return Fail("加入失败: 找不到 " + program);
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    std::string error;
    if (!registration.Register({.executable = program, .programDir = m_context.Dir()}, error))
        return Fail("加入失败: " + error);
    m_out << CShellRegistration::kAddedText << "\n";
    return 0;
}

int CShellCommands::Unregister() {
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    RemoveOutcome outcome = RemoveOutcome::kNothingToRemove;
    std::string error;
    if (!registration.Unregister(outcome, error))
        return Fail("移除失败: " + error);
    m_out << (outcome == RemoveOutcome::kRemoved ? CShellRegistration::kRemovedText
                                                 : CShellRegistration::kNothingText)
          << "\n";
    return 0;
}

int CShellCommands::Status() {
    CShellRegistration registration(CShellRegistration::FoldersFromEnvironment());
    for (const std::string& type : CShellRegistration::HandledTypes()) {
        const std::string program = registration.DefaultFor(type);
        m_out << type << "\t" << (program.empty() ? "-" : program) << "\n";
    }
    return 0;
}
