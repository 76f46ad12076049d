#include "platform/jobs/JobRunner.h"

#include <algorithm>

CJobRunner::CJobRunner(int maxThreads) : m_maxThreads(std::max(maxThreads, 1)) {}

CJobRunner::~CJobRunner() {
    Shutdown();
}

bool CJobRunner::Submit(Job job) {
    JoinEnded();
    std::lock_guard lock(m_lock);
    if (m_shutDown)
        return false;
    ++m_running;
    if (AliveLocked() >= m_maxThreads) {
        m_queue.push_back(std::move(job));
        return true;
    }
    auto self = m_workers.emplace(m_workers.end());
    self->thread = std::thread(&CJobRunner::Run, this, self, std::move(job));
    return true;
}

void CJobRunner::Run(std::list<Worker>::iterator self, Job first) {
    Job job = std::move(first);
    for (;;) {
        job(m_cancel);
        job = nullptr; // what the job holds goes before the next one runs
        std::lock_guard lock(m_lock);
        --m_running;
        if (m_queue.empty()) {
            self->ended = true;
            m_idle.notify_all();
            return;
        }
        job = std::move(m_queue.front());
        m_queue.pop_front();
        m_idle.notify_all();
    }
}

int CJobRunner::AliveLocked() const {
    return static_cast<int>(std::count_if(m_workers.begin(), m_workers.end(),
                                          [](const Worker& worker) { return !worker.ended; }));
}

int CJobRunner::ThreadCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_workers.size());
}

int CJobRunner::Pending() const {
    std::lock_guard lock(m_lock);
    return m_running;
}

void CJobRunner::Wait() {
    {
        std::unique_lock lock(m_lock);
        m_idle.wait(lock, [this] { return m_running == 0; });
    }
    JoinEnded();
}

void CJobRunner::Shutdown() {
    {
        std::lock_guard lock(m_lock);
        m_shutDown = true;
        m_cancel.Cancel();
    }
    Wait();
}

void CJobRunner::JoinEnded() {
    std::list<Worker> ended;
    {
        std::lock_guard lock(m_lock);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (it->ended)
                ended.splice(ended.end(), m_workers, it);
            it = next;
        }
    }
    for (Worker& worker : ended)
        worker.thread.join();
}
