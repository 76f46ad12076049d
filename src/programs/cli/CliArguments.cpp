#include "cli/CliArguments.h"

#include <algorithm>
#include <charconv>

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

std::optional<long long> CCliArguments::ParseNumber(std::string_view text, long long min,
                                                    long long max) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    // from_chars takes a "-" but no "+" and no blank, and says when the value overflows.
    long long value = 0;
    auto [rest, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || rest != end || value < min || value > max)
        return std::nullopt;
    return value;
}

bool CCliArguments::ParseNumber(std::string_view text, int min, int max, int& value) {
    const std::optional<long long> number =
        ParseNumber(text, static_cast<long long>(min), static_cast<long long>(max));
    if (!number)
        return false;
    value = static_cast<int>(*number);
    return true;
}
