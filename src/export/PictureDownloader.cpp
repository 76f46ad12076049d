#include "export/PictureDownloader.h"

#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "platform/fs/FileUtil.h"
#include "reader/FeedFetcher.h"

#include <filesystem>

CPictureDownloader::CPictureDownloader(CPictureDownloadObserver& observer) : m_observer(observer) {}

CPictureDownloader::~CPictureDownloader() {
    Cancel();
    Join();
}

bool CPictureDownloader::Start(std::vector<EbookPicture> pictures) {
    if (m_running)
        return false;
    Join();
    m_cancel = std::make_unique<CCancelToken>();
    m_downloaded = 0;
    m_failed = 0;
    m_running = true;
    m_runner.Submit([this, pictures = std::move(pictures)](const CCancelToken&) mutable {
        Run(std::move(pictures));
    });
    return true;
}

void CPictureDownloader::Cancel() {
    if (m_cancel)
        m_cancel->Cancel();
}

void CPictureDownloader::Join() {
    m_runner.Wait();
}

bool CPictureDownloader::IsRunning() const {
    return m_running;
}

void CPictureDownloader::Run(std::vector<EbookPicture> pictures) {
    CHttpClient client;
    client.SetExitFlag(&g_bAppExiting);
    client.SetLimits(m_limits);
    client.SetProxy(m_proxy ? *m_proxy : CProxySetup::Read(ProxyFallback::kEnvironment));
    const int total = static_cast<int>(pictures.size());
    int done = 0;
    bool cancelled = false;
    for (const EbookPicture& picture : pictures) {
        if (m_cancel->IsCancelled() || g_bAppExiting) {
            cancelled = true;
            break;
        }
        m_observer.OnDownloadLog(">>下载图片 " + picture.source + " 中...");
        HttpRequest request{.url = picture.source, .cancel = m_cancel.get()};
        const HttpResponse response = client.Perform(request);
        const std::string path = CEbookBuilder::PictureFilePath(picture);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        if (response.IsSuccess() && CFileUtil::WriteFile(path, response.body)) {
            ++m_downloaded;
            m_observer.OnDownloadLog(">>download complete.");
        } else {
            ++m_failed;
            if (response.result == HttpResult::kCancelled) {
                cancelled = true;
                break;
            }
            m_observer.OnDownloadLog(">>下载失败!");
        }
        m_observer.OnDownloadProgress(++done, total);
        // The pause, cut short by a cancel.
        for (auto waited = std::chrono::milliseconds(0); waited < m_pause;
             waited += std::chrono::milliseconds(10)) {
            if (m_cancel->IsCancelled() || g_bAppExiting)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    m_running = false;
    m_observer.OnDownloadsDone(cancelled);
}
