#pragma once

#include <string>
#include <vector>

// What a program that ran said and how it ended.
struct ProgramResult {
    bool started = false; // false when the program could not be started at all
    int exitCode = -1;    // its exit status; -1 when it was killed by a signal
    int signal = 0;       // the signal that ended it, 0 when it exited
    std::string output;   // what it wrote to stdout and stderr, interleaved as written
    std::string error;    // why it could not be started

    bool Succeeded() const { return started && signal == 0 && exitCode == 0; }
};

// Runs a program without a shell: the arguments reach it exactly as given, and nothing in them is
// interpreted. The program is looked up in PATH when its name holds no "/".
class CProgramRunner {
public:
    // Waits for the program to end. workDir, when not empty, is its working directory.
    static ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workDir = {});
    // The full path of a program found in PATH, "" when there is none.
    static std::string FindInPath(const std::string& program);
};
