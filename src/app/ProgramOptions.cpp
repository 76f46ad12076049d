#include "app/ProgramOptions.h"

#include "app/AppPaths.h"

#include <cstdio>
#include <cstring>

std::optional<int> CProgramOptions::Read(int argc, char** argv, const char* usage,
                                         std::initializer_list<Switch> switches) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc && *argv[i + 1]) {
            SetModuleDir(argv[++i]);
            continue;
        }
        bool known = false;
        for (const Switch& option : switches) {
            if (std::strcmp(argv[i], option.name) == 0) {
                *option.set = true;
                known = true;
            }
        }
        if (!known) {
            // A word it does not know (or --home without a folder) must not start the work.
            std::fprintf(stderr, "无效的参数: %s\n%s", argv[i], usage);
            return 2;
        }
    }
    return std::nullopt;
}
