#pragma once

#include "app/AppContext.h"
#include "export/EbookBuilder.h"
#include "platform/http/HttpClient.h"

#include <chrono>
#include <optional>
#include <vector>

// What the downloads report: the lines of the status box (through CEbookLog) and the progress.
class CPictureDownloadObserver : public CEbookLog {
public:
    // done of total pictures handled (fetched or failed).
    virtual void OnDownloadProgress(int done, int total) = 0;
};

// Fetches the pictures of an e-book into the working folder, in list order, on the calling
// thread (a job's). A picture that cannot be fetched is logged and skipped; the book goes on
// without it. A raised token stops the transfer under way and the rest.
class CPictureDownloader {
public:
    // The pictures go into the working folder of the context's program directory.
    CPictureDownloader(const CAppContext& context, CPictureDownloadObserver& observer);

    // Without one, the proxy of the program's settings.
    void SetProxy(const HttpProxy& proxy) { m_proxy = proxy; }
    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    // The pause after each picture (100 ms), which keeps a server of many pictures from being
    // flooded.
    void SetPause(std::chrono::milliseconds pause) { m_pause = pause; }

    // Fetches every picture; false when the token stopped it.
    bool Download(const std::vector<EbookPicture>& pictures, const CCancelToken* cancel);

    int Downloaded() const { return m_downloaded; }
    int FailedCount() const { return m_failed; }

private:
    CAppContext m_context;
    CPictureDownloadObserver& m_observer;
    std::optional<HttpProxy> m_proxy;
    HttpLimits m_limits;
    std::chrono::milliseconds m_pause{100};
    int m_downloaded = 0;
    int m_failed = 0;
};
