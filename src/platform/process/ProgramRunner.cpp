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
        result.error = CReasonText::Text(Reason::kCancelled);
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
    if (!reaped) {
        // The whole group: a shell's children go with it.
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
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
    if (result.stopped == ProgramStop::kCancelled)
        result.error = CReasonText::Text(Reason::kCancelled);
    else if (result.stopped == ProgramStop::kTimedOut)
        result.error =
            CReasonText::Text(Reason::kProgramTimedOut, {std::to_string(limits.timeout.count())});
    return result;
}

bool CProgramRunner::Start(const std::string& program, const std::vector<std::string>& arguments,
                           std::string* error) {
    const auto fail = [error](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const std::string path = FindInPath(program);
    if (path.empty())
        return fail("找不到程序 " + program);
    std::vector<std::string> argvText = ArgumentList(path, arguments);
    std::vector<char*> argv = ArgvOf(argvText);
    int statusFds[2]; // the program's errno when exec failed; closed unread by a good exec
    if (pipe2(statusFds, O_CLOEXEC) != 0)
        return fail(std::strerror(errno));

    // Two forks: the first child starts the program and ends at once, so the program is
    // adopted (and reaped) by init and this process waits only for that short-lived child.
    // Between fork and exec only async-signal-safe calls run, as the caller has threads.
    const pid_t child = fork();
    if (child < 0) {
        const int failure = errno;
        close(statusFds[0]);
        close(statusFds[1]);
        return fail(std::strerror(failure));
    }
    if (child == 0) {
        close(statusFds[0]);
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                const int failure = errno;
                (void)!write(statusFds[1], &failure, sizeof failure);
            }
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
        const int failure = errno;
        (void)!write(statusFds[1], &failure, sizeof failure);
        _exit(127);
    }
    close(statusFds[1]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int failure = 0;
    ssize_t n;
    while ((n = read(statusFds[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    close(statusFds[0]);
    if (n == sizeof failure)
        return fail(program + ": " + std::strerror(failure));
    return true;
}
