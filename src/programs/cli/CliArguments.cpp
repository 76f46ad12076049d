#include "cli/CliArguments.h"

#include <algorithm>

bool CCliArguments::Parse(const std::vector<std::string>& args,
                          const std::vector<std::string>& valued,
                          const std::vector<std::string>& flags) {
    const auto listed = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() <= 2 || arg.compare(0, 2, "--") != 0) {
            positional.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        if (listed(flags, name)) {
            m_options[name];
        } else if (!listed(valued, name)) {
            m_error = "未知的选项: " + arg;
            return false;
        } else if (i + 1 >= args.size()) {
            m_error = "选项缺少值: " + arg;
            return false;
        } else {
            m_options[name] = args[++i];
        }
    }
    return true;
}

std::string CCliArguments::Get(const std::string& name, const std::string& fallback) const {
    auto it = m_options.find(name);
    return it == m_options.end() ? fallback : it->second;
}
