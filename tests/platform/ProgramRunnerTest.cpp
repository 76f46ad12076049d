#include "platform/process/ProgramRunner.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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

} // namespace
