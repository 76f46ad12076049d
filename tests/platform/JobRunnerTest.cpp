#include "platform/jobs/JobRunner.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// Holds the jobs until it is opened.
class CGate {
public:
    void Pass() {
        std::unique_lock lock(m_lock);
        ++m_waiting;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void Open() {
        std::lock_guard lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    bool AwaitWaiting(int count) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_waiting >= count; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_waiting = 0;
    bool m_open = false;
};

TEST(JobRunner, RunsEveryJobOnAtMostItsThreadsAndLeavesNoneBehind) {
    CJobRunner runner(2);
    CGate gate;
    std::atomic<int> ran{0};
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(runner.Submit([&](const CCancelToken& token) {
            EXPECT_FALSE(token.IsCancelled());
            gate.Pass();
            ++ran;
        }));
    ASSERT_TRUE(gate.AwaitWaiting(2));
    EXPECT_EQ(runner.ThreadCount(), 2) << "the others wait their turn";
    EXPECT_EQ(runner.Pending(), 6);
    gate.Open();
    runner.Wait();
    EXPECT_EQ(ran, 6);
    EXPECT_EQ(runner.Pending(), 0);
    EXPECT_EQ(runner.ThreadCount(), 0);
    // A job may start another one; Wait covers both.
    ASSERT_TRUE(runner.Submit([&](const CCancelToken&) {
        runner.Submit([&](const CCancelToken&) { ++ran; });
    }));
    runner.Wait();
    EXPECT_EQ(ran, 7);
}

TEST(JobRunner, ShutdownRaisesTheTokenRunsWhatWaitedAndRefusesMore) {
    CJobRunner runner(1);
    CGate gate;
    std::atomic<int> cancelledRuns{0};
    ASSERT_TRUE(runner.Submit([&](const CCancelToken& token) {
        gate.Pass();
        // A job that honours the token ends at once.
        while (!token.IsCancelled())
            std::this_thread::yield();
        ++cancelledRuns;
    }));
    ASSERT_TRUE(runner.Submit([&](const CCancelToken& token) {
        if (token.IsCancelled())
            ++cancelledRuns; // it gives back what it holds and ends
    }));
    ASSERT_TRUE(gate.AwaitWaiting(1));
    gate.Open();
    runner.Shutdown();
    EXPECT_EQ(cancelledRuns, 2);
    EXPECT_EQ(runner.ThreadCount(), 0);
    EXPECT_FALSE(runner.Submit([](const CCancelToken&) {}));
}

} // namespace
