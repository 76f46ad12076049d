#include "platform/process/ProgramRunner.h"

#include "platform/text/ReasonText.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How often a running program's limits are looked at.
constexpr int kPollMilliseconds = 20;

// The program's path followed by its arguments, as exec wants them.
std::vector<std::string> ArgumentList(const std::string& path,
                                      const std::vector<std::string>& arguments) {
    std::vector<std::string> list{path};
    list.insert(list.end(), arguments.begin(), arguments.end());
    return list;
}

// exec's argv over the texts (which must outlive it), ended by a null pointer.
std::vector<char*> ArgvOf(std::vector<std::string>& texts) {
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    return argv;
}

// Asks the program's process group to end, gives it the grace to do so (reading what it still
// writes, so that a full pipe does not hold it up), then kills what is left of the group and
// reaps the program. The program is reaped only after that kill: until then its pid names the
// group and cannot be taken by another process.
void Terminate(pid_t pid, int outFd, std::chrono::milliseconds grace, int& status,
               std::string& output) {
    kill(-pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid)
            break;
        if (outFd < 0) {
            poll(nullptr, 0, kPollMilliseconds);
            continue;
        }
        pollfd readable{.fd = outFd, .events = POLLIN, .revents = 0};
        if (poll(&readable, 1, kPollMilliseconds) > 0) {
            const ssize_t n = read(outFd, buffer, sizeof buffer);
            if (n > 0)
                output.append(buffer, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                outFd = -1;
        }
    }
    kill(-pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Why a program was stopped, after its name.
std::string StopText(const std::string& program, ProgramStop stop, std::chrono::seconds timeout) {
    if (stop == ProgramStop::kCancelled)
        return program + " " + CReasonText::Text(Reason::kCancelled);
    return program + " " +
           CReasonText::Text(Reason::kProgramTimedOut, {std::to_string(timeout.count())});
}

} // namespace

std::string CProgramRunner::FindInPath(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return access(program.c_str(), X_OK) == 0 ? program : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        const std::string candidate = dir + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

ProgramResult CProgramRunner::Run(const std::string& program,
                                  const std::vector<std::string>& arguments,
                                  const std::string& workDir, const ProgramLimits& limits) {
    ProgramResult result;
    const std::string path = FindInPath(program);
    if (path.empty()) {
        result.error = "找不到程序 " + program;
        return result;
    }
    if (limits.cancel && limits.cancel->IsCancelled()) {
        result.stopped = ProgramStop::kCancelled;
        result.error = StopText(program, result.stopped, limits.timeout);
        return result;
    }
    int pipeFds[2];
    int statusFds[2]; // tells the parent why exec failed; closed on a successful exec
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        return result;
    }
    if (pipe2(statusFds, O_CLOEXEC) != 0) {
        result.error = std::strerror(errno);
        close(pipeFds[0]);
        close(pipeFds[1]);
        return result;
    }
    std::vector<std::string> argvText = ArgumentList(path, arguments);
    std::vector<char*> argv = ArgvOf(argvText);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        result.error = std::strerror(errno);
        close(pipeFds[0]);
        close(pipeFds[1]);
        close(statusFds[0]);
        close(statusFds[1]);
        return result;
    }
    if (pid == 0) {
        // Only async-signal-safe calls until exec: the caller has threads.
        setpgid(0, 0);
        // Out of the terminal's process group, an interrupt of the caller no longer reaches the
        // program: it goes when the caller goes instead.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        close(pipeFds[0]);
        close(statusFds[0]);
        dup2(pipeFds[1], STDOUT_FILENO); // dup2 clears close-on-exec on the copies
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[1]);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0)
            dup2(devNull, STDIN_FILENO);
        int failure = 0;
        if (!workDir.empty() && chdir(workDir.c_str()) != 0)
            failure = errno;
        if (failure == 0) {
            execv(path.c_str(), argv.data());
            failure = errno;
        }
        (void)!write(statusFds[1], &failure, sizeof failure);
        _exit(127);
    }
    // Also here, so that a kill of the group cannot come before the child has made it.
    setpgid(pid, pid);
    close(pipeFds[1]);
    close(statusFds[1]);

    using Clock = std::chrono::steady_clock;
    const bool limited = limits.timeout.count() > 0;
    const Clock::time_point deadline = Clock::now() + limits.timeout;
    const auto stopReason = [&] {
        if (limits.cancel && limits.cancel->IsCancelled())
            return ProgramStop::kCancelled;
        if (limited && Clock::now() >= deadline)
            return ProgramStop::kTimedOut;
        return ProgramStop::kNone;
    };
    int status = 0;
    bool reaped = false;
    bool pipeOpen = true;
    char buffer[4096];
    // Read until the output ends, then wait for the program, looking at the limits between.
    while (!reaped) {
        if (pipeOpen) {
            pollfd readable{.fd = pipeFds[0], .events = POLLIN, .revents = 0};
            const int ready = poll(&readable, 1, kPollMilliseconds);
            if (ready > 0) {
                const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
                if (n > 0)
                    result.output.append(buffer, static_cast<size_t>(n));
                else if (n == 0 || errno != EINTR)
                    pipeOpen = false;
            }
        } else {
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid || (done < 0 && errno != EINTR)) {
                reaped = true;
                break;
            }
            poll(nullptr, 0, kPollMilliseconds);
        }
        result.stopped = stopReason();
        if (result.stopped != ProgramStop::kNone)
            break;
    }
    if (!reaped) // the whole group: a shell's children go with it
        Terminate(pid, pipeOpen ? pipeFds[0] : -1, limits.grace, status, result.output);
    close(pipeFds[0]);
    int failure = 0;
    const bool execFailed = read(statusFds[0], &failure, sizeof failure) == sizeof failure;
    close(statusFds[0]);
    if (execFailed) {
        result.stopped = ProgramStop::kNone;
        result.error = program + ": " + std::strerror(failure);
        return result;
    }
    result.started = true;
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    if (result.stopped != ProgramStop::kNone)
        result.error = StopText(program, result.stopped, limits.timeout);
    return result;
}

bool CProgramRunner::Start(const std::string& program, const std::vector<std::string>& arguments,
                           std::string* error, const ProgramLimits& limits) {
    const auto fail = [error](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const std::string path = FindInPath(program);
    if (path.empty())
        return fail("找不到程序 " + program);
    const std::chrono::seconds timeout =
        limits.timeout.count() > 0 ? limits.timeout : kStartTimeout;
    if (limits.cancel && limits.cancel->IsCancelled())
        return fail(StopText(program, ProgramStop::kCancelled, timeout));
    std::vector<std::string> argvText = ArgumentList(path, arguments);
    std::vector<char*> argv = ArgvOf(argvText);
    // The helpers' notes: the program's pid, or why it could not start. The pipe ends when the
    // program runs (exec closes it) or has failed to.
    struct Note {
        int kind; // kNotePid, kNoteFailure
        int value;
    };
    constexpr int kNotePid = 1;
    constexpr int kNoteFailure = 2;
    int notes[2];
    if (pipe2(notes, O_CLOEXEC) != 0)
        return fail(std::strerror(errno));

    // Two forks: the first child starts the program and ends at once, so the program is
    // adopted (and reaped) by init and this process waits only for that short-lived child.
    // Between fork and exec only async-signal-safe calls run, as the caller has threads.
    const pid_t child = fork();
    if (child < 0) {
        const int failure = errno;
        close(notes[0]);
        close(notes[1]);
        return fail(std::strerror(failure));
    }
    if (child == 0) {
        close(notes[0]);
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            const Note note = grandchild < 0 ? Note{.kind = kNoteFailure, .value = errno}
                                             : Note{.kind = kNotePid, .value = grandchild};
            (void)!write(notes[1], &note, sizeof note);
            _exit(0);
        }
        setsid();
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, STDIN_FILENO);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
            if (devNull > STDERR_FILENO)
                close(devNull);
        }
        execv(path.c_str(), argv.data());
        const Note note{.kind = kNoteFailure, .value = errno};
        (void)!write(notes[1], &note, sizeof note);
        _exit(127);
    }
    close(notes[1]);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    pid_t started = 0;
    int failure = 0;
    ProgramStop stop = ProgramStop::kNone;
    for (bool ended = false; !ended;) {
        if (limits.cancel && limits.cancel->IsCancelled()) {
            stop = ProgramStop::kCancelled;
            break;
        }
        if (Clock::now() >= deadline) {
            stop = ProgramStop::kTimedOut;
            break;
        }
        pollfd readable{.fd = notes[0], .events = POLLIN, .revents = 0};
        if (poll(&readable, 1, kPollMilliseconds) <= 0)
            continue;
        Note note{};
        const ssize_t n = read(notes[0], &note, sizeof note);
        if (n == sizeof note) {
            if (note.kind == kNotePid)
                started = note.value;
            else
                failure = note.value;
        } else if (n == 0 || errno != EINTR) {
            ended = true;
        }
    }
    // The first child only forks and writes its note, so it ends at once. A stop may come before
    // its note was read: once the child has ended, the note (when the program's process was
    // made) is in the pipe, and the program, which may not have begun yet, is stopped too
    // instead of being left to run after the caller was told it did not start.
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (stop != ProgramStop::kNone && started == 0) {
        Note note{};
        pollfd readable{.fd = notes[0], .events = POLLIN, .revents = 0};
        if (poll(&readable, 1, 0) > 0 && read(notes[0], &note, sizeof note) == sizeof note &&
            note.kind == kNotePid)
            started = note.value;
    }
    close(notes[0]);
    // It never began to run: nothing of it is worth a grace.
    if (stop != ProgramStop::kNone && started > 0)
        kill(started, SIGKILL);
    if (stop != ProgramStop::kNone)
        return fail(StopText(program, stop, timeout));
    if (failure != 0)
        return fail(program + ": " + std::strerror(failure));
    return true;
}
