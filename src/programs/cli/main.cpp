#include "cli/CliCommands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CCliCommands commands(std::cout, std::cerr);
    return commands.Run(args);
}
