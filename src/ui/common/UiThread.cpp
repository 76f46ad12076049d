#include "ui/common/UiThread.h"

#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>

bool IsUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void PostToUi(QObject* context, std::function<void()> work) {
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

void RunOnUi(QObject* context, std::function<void()> work, const std::atomic<bool>* abandon) {
    if (IsUiThread()) {
        work();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QMetaObject::invokeMethod(
        context,
        [work = std::move(work), done, abandon] {
            if (!g_bAppExiting.load() && !(abandon && abandon->load()))
                work();
            done->set_value();
        },
        Qt::QueuedConnection);
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (g_bAppExiting.load() || (abandon && abandon->load()))
            return;
    }
}
