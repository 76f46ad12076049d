#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class CAppContext;

// quillmark-cli: the program's logic from a terminal. Each command prints its result on the
// output stream; failures go through the reporter (stderr) and give exit code 1.
class CCliCommands {
public:
    CCliCommands(std::ostream& out, std::ostream& err);

    // The arguments after the program name; returns the exit code.
    int Run(const std::vector<std::string>& args);

private:
    // Whether PrepareHome seeds a program directory that exists already (init does).
    enum class HomeSeeding { kWhenMissing, kAlways };

    int Init(const CAppContext& context);
    int Settings(const CAppContext& context, const std::vector<std::string>& args);
    int Usage();
    bool PrepareHome(const CAppContext& context, HomeSeeding seeding);
    // Prints a list of key/value pairs, as lines or (with --json) as one JSON object.
    void PrintPairs(const std::vector<std::string>& keys, const std::vector<std::string>& values);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json = false;
};
