// Every window test starts with the program's exit flag down.
#include "app/AppPaths.h"

#include <gtest/gtest.h>

namespace {

// A main window that closes raises the exit flag, and the workers of the tests after it would take
// it for the program ending (an e-book build stops at once): whichever test ran before, each one
// starts as a program that is not ending.
class CExitFlagReset : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { g_bAppExiting = 0; }
};

const bool g_exitFlagResetAdded = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CExitFlagReset);
    return true;
}();

} // namespace
