#pragma once

#include "export/EbookBuilder.h"
#include "platform/http/HttpClient.h"
#include "platform/jobs/JobRunner.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// What the download worker reports, from its own thread.
class CPictureDownloadObserver {
public:
    virtual ~CPictureDownloadObserver() = default;
    // A line for the status box.
    virtual void OnDownloadLog(const std::string& line) = 0;
    // done of total pictures handled (fetched or failed).
    virtual void OnDownloadProgress(int done, int total) = 0;
    // The worker is finished (every picture handled, or cancelled); its last report.
    virtual void OnDownloadsDone(bool cancelled) = 0;
};

// Fetches the pictures of an e-book into the working folder on one worker thread, in list order.
// A picture that cannot be fetched is logged and skipped; the book goes on without it. The
// worker is owned: Cancel() stops it within a fraction of a second, and the destructor cancels
// and joins it.
class CPictureDownloader {
public:
    explicit CPictureDownloader(CPictureDownloadObserver& observer);
    ~CPictureDownloader();
    CPictureDownloader(const CPictureDownloader&) = delete;
    CPictureDownloader& operator=(const CPictureDownloader&) = delete;

    // Without one, the proxy of the program's settings.
    void SetProxy(const HttpProxy& proxy) { m_proxy = proxy; }
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    // The pause after each picture (100 ms), which keeps a server of many pictures from being
    // flooded.
    void SetPause(std::chrono::milliseconds pause) { m_pause = pause; }

    // Starts the worker; false when one is still running. A finished worker is joined first.
    bool Start(std::vector<EbookPicture> pictures);
    void Cancel();
    // Waits for the worker to end.
    void Join();
    bool IsRunning() const;

    int Downloaded() const { return m_downloaded; }
    int FailedCount() const { return m_failed; }

private:
    void Run(std::vector<EbookPicture> pictures);

    CPictureDownloadObserver& m_observer;
    std::optional<HttpProxy> m_proxy;
    HttpLimits m_limits;
    std::chrono::milliseconds m_pause{100};
    std::unique_ptr<CCancelToken> m_cancel;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_downloaded{0};
    std::atomic<int> m_failed{0};
    // Last, so that its thread is joined before anything it uses goes.
    CJobRunner m_runner{1};
};
