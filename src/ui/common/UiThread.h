#pragma once

#include <QObject>
#include <atomic>
#include <functional>

// Hands work from a worker thread to the interface thread.
//
// PostToUi queues the work and returns at once; it never runs when the context object is gone.
// RunOnUi waits until the work has run, and runs it directly on the interface thread. A worker
// stops waiting as soon as the exit flag is set, so the interface thread may join workers during
// shutdown without a deadlock (the work is then dropped).
void PostToUi(QObject* context, std::function<void()> work);
// abandon, when given, stops the wait as well (a component that is shutting down its workers).
void RunOnUi(QObject* context, std::function<void()> work,
             const std::atomic<bool>* abandon = nullptr);
bool IsUiThread();
