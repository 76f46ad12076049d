#pragma once

#include "platform/http/CancelToken.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// Runs background work on threads it owns, at most a fixed number at a time; what comes while
// they are all busy waits its turn. A thread whose work is done takes the next job or ends, and
// ended threads are joined by the next Submit and by Wait, so a program left open for weeks
// holds no more threads than its busiest moment needed and none outlives its work by more
// than a moment.
//
// Every job is handed the runner's cancel token: Shutdown raises it, lets the jobs that waited
// their turn run with it raised (so that they can give back what they hold) and joins every
// thread. A job must look at the token at least between its blocking steps.
//
// Submit, Wait and Shutdown may be called from any thread except the runner's
// own (a job that waits for its runner would wait for itself).
class CJobRunner {
public:
    using Job = std::function<void(const CCancelToken&)>;

    explicit CJobRunner(int maxThreads = 32);
    ~CJobRunner();
    CJobRunner(const CJobRunner&) = delete;
    CJobRunner& operator=(const CJobRunner&) = delete;

    // Queues the job; false once the runner was shut down (the job is not run).
    bool Submit(Job job);
    // Threads started and not joined yet.
    int ThreadCount() const;
    // Jobs queued or running.
    int Pending() const;
    const CCancelToken& Token() const { return m_cancel; }
    // Waits until no job is queued or running, and joins every thread.
    void Wait();
    // Raises the token, runs what waited with it raised, and joins every thread. Final.
    void Shutdown();

private:
    struct Worker {
        std::thread thread;
        bool ended = false;
    };
    void Run(std::list<Worker>::iterator self, Job first);
    int AliveLocked() const;
    // Joins the threads that ended; called without the lock held.
    void JoinEnded();

    const int m_maxThreads;
    CCancelToken m_cancel;
    mutable std::mutex m_lock;
    std::condition_variable m_idle; // a job ended or a thread ended
    std::deque<Job> m_queue;
    std::list<Worker> m_workers;
    int m_running = 0; // jobs queued or being run
    bool m_shutDown = false;
};
