#include "cli/CliCommands.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ProgramDir.h"
#include "app/Reporter.h"
#include "cli/BackupCommands.h"
#include "cli/BlogCommands.h"
#include "cli/CliJson.h"
#include "cli/FavoriteCommands.h"
#include "cli/FeedCommands.h"
#include "cli/SearchCommands.h"
#include "cli/ShellCommands.h"
#include "platform/fs/FileUtil.h"
#include "storage/LocalStores.h"

#include <cstdio>
#include <ostream>

namespace {

const char* kUsage = R"(用法: quillmark-cli [--home 目录] 命令 [参数]

命令:
  init                        创建并初始化程序目录, 输出其路径
  settings get 组 [--json]    输出一组设置 (proxy, debug, wndpos, receive,
                              storage, appearance, startup), 每行 键=值
  settings set 键 值          修改一项设置, 键为 /app/ 之后的路径, 例如 rss/paginationnum
)";

} // namespace

CCliCommands::CCliCommands(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

int CCliCommands::Usage() {
    m_err << kUsage;
    return 1;
}

int CCliCommands::Run(const std::vector<std::string>& argsIn) {
    std::vector<std::string> args;
    for (size_t i = 0; i < argsIn.size(); ++i) {
        if (argsIn[i] == "--home") {
            if (i + 1 >= argsIn.size())
                return Usage();
            // An empty folder name would quietly mean the default program directory.
            if (argsIn[i + 1].empty()) {
                m_err << "--home 需要一个目录, 不能为空\n";
                return 1;
            }
            SetModuleDir(argsIn[++i]);
        } else if (argsIn[i] == "--json") {
            m_json = true;
        } else if (argsIn[i] == "--help" || argsIn[i] == "-h") {
            m_out << kUsage << CFeedCommands::UsageText() << CFavoriteCommands::UsageText()
                  << CBlogCommands::UsageText() << CSearchCommands::UsageText()
                  << CBackupCommands::UsageText() << CShellCommands::UsageText();
            return 0;
        } else {
            args.push_back(argsIn[i]);
        }
    }
    if (args.empty())
        return Usage();
    const std::string command = args.front();
    args.erase(args.begin());
    // Every command of this run works in the one program directory (--home or the default).
    const CAppContext context = CAppContext::Process();
    if (command == "init")
        return args.empty() ? Init(context) : Usage();
    // The desktop registration needs no program directory of its own.
    if (CShellCommands::Handles(command))
        return CShellCommands(context, m_out).Run(args);
    const bool known = command == "settings" || CBlogCommands::Handles(command) ||
                       CFeedCommands::Handles(command) || CBackupCommands::Handles(command) ||
                       CFavoriteCommands::Handles(command) || CSearchCommands::Handles(command);
    if (!known) {
        m_err << "未知的命令: " << command << "\n";
        return Usage();
    }
    if (!PrepareHome(context, HomeSeeding::kWhenMissing))
        return 1;
    if (command == "settings")
        return Settings(context, args);
    if (CBlogCommands::Handles(command))
        return CBlogCommands(context, m_out, m_err, m_json).Run(command, args);
    if (CBackupCommands::Handles(command))
        return CBackupCommands(context, m_out, m_err).Run(command, args);
    if (CFavoriteCommands::Handles(command))
        return CFavoriteCommands(context, m_out, m_json).Run(command, args);
    if (CSearchCommands::Handles(command))
        return CSearchCommands(context, m_out, m_json).Run(command, args);
    return CFeedCommands(context, m_out, m_json).Run(command, args);
}

// The program directory is seeded when it does not exist yet (the first start), and by init.
bool CCliCommands::PrepareHome(const CAppContext& context, HomeSeeding seeding) {
    if (seeding == HomeSeeding::kWhenMissing && CFileUtil::IsDirectory(context.Dir())) {
        CProgramDir::RemoveStaleTempFiles(context);
        return true;
    }
    std::string error;
    if (!CProgramDir::Prepare(context, error) || !CLocalStores::CreateStores(context, error)) {
        context.Reporter().ReportMessage("无法创建程序目录: " + error);
        return false;
    }
    return true;
}

int CCliCommands::Init(const CAppContext& context) {
    if (!PrepareHome(context, HomeSeeding::kAlways))
        return 1;
    m_out << context.Dir() << "\n";
    return 0;
}

void CCliCommands::PrintPairs(const std::vector<std::string>& keys,
                              const std::vector<std::string>& values) {
    if (m_json) {
        CliJson pairs = CliJson::object();
        for (size_t i = 0; i < keys.size(); ++i)
            pairs[keys[i]] = values[i];
        PrintJson(m_out, pairs);
        return;
    }
    for (size_t i = 0; i < keys.size(); ++i)
        m_out << keys[i] << "=" << values[i] << "\n";
}

int CCliCommands::Settings(const CAppContext& context, const std::vector<std::string>& args) {
    if (args.size() == 2 && args[0] == "get") {
        std::vector<std::string> keys;
        if (!CAppSettings::GroupKeys(args[1], keys)) {
            m_err << "未知的设置组: " << args[1] << "\n";
            return Usage();
        }
        std::vector<std::string> values;
        if (!context.Settings().ReadValues(keys, values))
            return 1;
        // Keys are printed as the element names inside their group.
        for (std::string& key : keys)
            key = key.substr(key.find_last_of('/') + 1);
        PrintPairs(keys, values);
        return 0;
    }
    if (args.size() == 3 && args[0] == "set") {
        const std::string& key = args[1];
        std::string value = args[2];
        if (key == "debug/out")
            value = CSettingsChecks::DebugFolderFromText(value);
        std::string message = context.Settings().CheckValue(key, value);
        if (!message.empty()) {
            context.Reporter().ReportMessage(message);
            return 1;
        }
        return context.Settings().WriteAppValue(key, value) ? 0 : 1;
    }
    return Usage();
}
