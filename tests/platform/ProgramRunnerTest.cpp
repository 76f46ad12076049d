#include "platform/process/ProgramRunner.h"
#include "support/TestSupport.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(ProgramRunner, ArgumentsReachTheProgramExactlyAndNoShellReadsThem) {
    const std::string dir = MakeTempDir();
    const ProgramResult result = CProgramRunner::Run(
        "sh", {"-c", "printf '%s|' \"$@\"; pwd; echo oops >&2; exit 3", "x", "a b", "$(id)", "';"},
        dir);
    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.output, "a b|$(id)|';|" + dir + "\noops\n");
    RemoveTree(dir);
}

TEST(ProgramRunner, AProgramThatCannotStartSaysWhy) {
    const ProgramResult missing = CProgramRunner::Run("quill-no-such-program", {});
    EXPECT_FALSE(missing.started);
    EXPECT_NE(missing.error.find("quill-no-such-program"), std::string::npos);
    const ProgramResult badDir = CProgramRunner::Run("true", {}, "/nonexistent/folder");
    EXPECT_FALSE(badDir.started);
    EXPECT_FALSE(badDir.error.empty());
    const ProgramResult killed = CProgramRunner::Run("sh", {"-c", "kill -9 $$"});
    EXPECT_TRUE(killed.started);
    EXPECT_EQ(killed.signal, 9);
    EXPECT_TRUE(CProgramRunner::Run("true", {}).Succeeded());
}

// True once the process is gone or has died (a zombie that its new parent has not reaped yet);
// waits a bounded time for the kill to land.
bool Ended(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string pidText, name, state;
        if (!(stat >> pidText >> name >> state) || state == "Z")
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(ProgramRunner, AProgramThatNeverEndsIsStoppedByItsTimeLimitAndReaped) {
    const ProgramResult result = CProgramRunner::Run("sh", {"-c", "echo $$; exec sleep 1000"}, {},
                                                     {.timeout = std::chrono::seconds(1)});
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.Succeeded());
    EXPECT_EQ(result.stopped, ProgramStop::kTimedOut);
    EXPECT_EQ(result.error, "sh 超过 1 秒没有结束");
    EXPECT_EQ(result.signal, SIGTERM) << "asked to end first";
    // Reaped: not even a zombie is left of the child.
    const pid_t pid = std::stoi(result.output);
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);

    // One that will not hear of ending is killed after the grace; what it said on the way
    // still arrives.
    const ProgramResult deaf = CProgramRunner::Run(
        "sh", {"-c", "trap 'echo not yet' TERM; echo $$; while :; do sleep 0.05; done"}, {},
        {.timeout = std::chrono::seconds(1), .grace = std::chrono::milliseconds(500)});
    EXPECT_EQ(deaf.stopped, ProgramStop::kTimedOut);
    EXPECT_EQ(deaf.signal, SIGKILL);
    EXPECT_NE(deaf.output.find("not yet"), std::string::npos) << deaf.output;
    EXPECT_EQ(kill(std::stoi(deaf.output), 0), -1);
}

TEST(ProgramRunner, ACancelledProgramEndsWithItsChildren) {
    const std::string dir = MakeTempDir();
    CCancelToken cancel;
    ProgramResult result;
    // The shell's own child holds the output open: it has to go too.
    std::thread runner([&] {
        result = CProgramRunner::Run("sh",
                                     {"-c", "sleep 1000 & echo $! > child.tmp; "
                                            "mv child.tmp child; wait"},
                                     dir, {.cancel = &cancel, .timeout = std::chrono::seconds(60)});
    });
    std::string child;
    for (int i = 0; i < 1000 && child.empty(); ++i) {
        child = ReadAll(dir + "/child");
        if (child.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    cancel.Cancel();
    runner.join();
    ASSERT_FALSE(child.empty());
    EXPECT_EQ(result.stopped, ProgramStop::kCancelled);
    EXPECT_EQ(result.error, "sh 已取消");
    EXPECT_TRUE(Ended(std::stoi(child)));
    // A token raised before the start starts nothing.
    const ProgramResult late = CProgramRunner::Run("true", {}, {}, {.cancel = &cancel});
    EXPECT_FALSE(late.started);
    EXPECT_EQ(late.error, "true 已取消");
    std::string why;
    EXPECT_FALSE(CProgramRunner::Start("true", {}, &why, {.cancel = &cancel}));
    EXPECT_EQ(why, "true 已取消");
    RemoveTree(dir);
}

TEST(ProgramRunner, AStartedProgramIsLeftRunningAndAFailedStartSaysWhy) {
    // An editor the user keeps open: Start returns once it runs, and nothing stops it later.
    const std::string dir = MakeTempDir();
    std::string why;
    ASSERT_TRUE(CProgramRunner::Start("sh",
                                      {"-c", "echo $$ > " + dir + "/pid.tmp; mv " + dir +
                                                 "/pid.tmp " + dir + "/pid; " + "exec sleep 1000"},
                                      &why, {.timeout = std::chrono::seconds(1)}))
        << why;
    std::string pid;
    for (int i = 0; i < 1000 && pid.empty(); ++i) {
        pid = ReadAll(dir + "/pid");
        if (pid.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(pid.empty());
    // Past the start's time limit, which bounds the start only.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(kill(std::stoi(pid), 0), 0) << "left running once started";
    kill(std::stoi(pid), SIGKILL);
    EXPECT_FALSE(CProgramRunner::Start(dir, {}, &why));
    EXPECT_NE(why.find(dir + ": "), std::string::npos) << why;
    RemoveTree(dir);
}

} // namespace
