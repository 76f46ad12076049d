#pragma once

#include <initializer_list>
#include <optional>

// The words every helper program of Quillmark takes: --home DIR (the program directory),
// --help or -h (the usage), and a few switches of its own.
class CProgramOptions {
public:
    struct Switch {
        const char* name; // "--console"
        bool* set;        // becomes true when the word is given
    };

    // Reads the words; --home fixes the program directory for this process (SetModuleDir).
    // Empty: go on with the work. Otherwise the program ends at once with the code given: 0 after
    // the usage was printed for --help, 2 (the usage on standard error, nothing done) for a
    // word it does not know or --home without a folder.
    static std::optional<int> Read(int argc, char** argv, const char* usage,
                                   std::initializer_list<Switch> switches = {});
};
