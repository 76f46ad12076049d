#pragma once

#include "platform/http/CancelToken.h"

#include <chrono>
#include <string>
#include <vector>

// Why Run stopped a program before it ended by itself.
enum class ProgramStop {
    kNone,      // it ended by itself (or never started)
    kCancelled, // the caller's cancel token was raised
    kTimedOut,  // it ran longer than its time limit
};

// What a running program may take: the caller may cancel it, and it may run only so long.
struct ProgramLimits {
    const CCancelToken* cancel = nullptr; // read by Run; raising it stops the program
    std::chrono::seconds timeout{0};      // 0: no limit
    // A program being stopped is asked to end (SIGTERM) and killed (SIGKILL) when it has not
    // ended after this long.
    std::chrono::milliseconds grace{2000};
};

// What a program that ran said and how it ended.
struct ProgramResult {
    bool started = false; // false when the program could not be started at all
    int exitCode = -1;    // its exit status; -1 when it was killed by a signal
    int signal = 0;       // the signal that ended it, 0 when it exited
    ProgramStop stopped = ProgramStop::kNone;
    std::string output; // what it wrote to stdout and stderr, interleaved as written
    std::string error;  // why it could not be started, or why it was stopped

    bool Succeeded() const { return started && signal == 0 && exitCode == 0; }
};

// Runs a program without a shell: the arguments reach it exactly as given, and nothing in them is
// interpreted. The program is looked up in PATH when its name holds no "/".
class CProgramRunner {
public:
    // Waits for the program to end. workDir, when not empty, is its working directory. The
    // program runs in a process group of its own; when the limits' token is raised or its time
    // is up, the whole group is asked to end, killed after the grace, and reaped, and the
    // result says why, after the program's name ("chmcmd 已取消", "chmcmd 超过 N 秒没有结束").
    // The token is looked at every few dozen milliseconds.
    static ProgramResult Run(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& workDir = {}, const ProgramLimits& limits = {});
    // Starts the program and returns as soon as it runs, without waiting for it to end: it runs
    // in a session of its own with stdin, stdout and stderr on /dev/null (so it holds none of
    // the caller's pipes) and is no child of the caller, so it leaves no zombie behind whenever
    // it ends. Only the start is limited: when the program has not begun to run within the
    // limits' time (kStartTimeout when none is given) or the token is raised before, it is
    // stopped; once it runs, it is left alone however long it runs. False with the reason when it
    // could not be started (not found, not executable, exec failed, too slow to start).
    static bool Start(const std::string& program, const std::vector<std::string>& arguments,
                      std::string* error, const ProgramLimits& limits = {});
    static constexpr std::chrono::seconds kStartTimeout{10};
    // The full path of a program found in PATH, "" when there is none.
    static std::string FindInPath(const std::string& program);
};
