#pragma once

#include <atomic>

// A flag that one thread raises to stop work another thread is doing (a transfer, a receive).
// The worker only reads it; raising it is final.
class CCancelToken {
public:
    void Cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_cancelled{false};
};
