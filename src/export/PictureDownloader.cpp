#include "export/PictureDownloader.h"

#include "app/AppPaths.h"
#include "app/ProxySetup.h"
#include "platform/fs/FileUtil.h"

#include <filesystem>
#include <thread>

CPictureDownloader::CPictureDownloader(const CAppContext& context,
                                       CPictureDownloadObserver& observer)
    : m_context(context), m_observer(observer) {}

bool CPictureDownloader::Download(const std::vector<EbookPicture>& pictures,
                                  const CCancelToken* cancel) {
    m_downloaded = 0;
    m_failed = 0;
    const auto cancelled = [cancel] { return (cancel && cancel->IsCancelled()) || g_bAppExiting; };
    CHttpClient client;
    client.SetExitFlag(&g_bAppExiting);
    client.SetLimits(m_limits);
    client.SetProxy(m_proxy ? *m_proxy : CProxySetup::Read(m_context, ProxyFallback::kEnvironment));
    const int total = static_cast<int>(pictures.size());
    int done = 0;
    for (const EbookPicture& picture : pictures) {
        if (cancelled())
            return false;
        m_observer.OnLogLine(">>下载图片 " + picture.source + " 中...");
        HttpRequest request{.url = picture.source, .cancel = cancel};
        const HttpResponse response = client.Perform(request);
        const std::string path = CEbookBuilder::PictureFilePath(m_context, picture);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        if (response.IsSuccess() && CFileUtil::WriteFile(path, response.body)) {
            ++m_downloaded;
            m_observer.OnLogLine(">>download complete.");
        } else {
            ++m_failed;
            if (response.result == HttpResult::kCancelled)
                return false;
            m_observer.OnLogLine(">>下载失败!");
        }
        m_observer.OnDownloadProgress(++done, total);
        // The pause, cut short by a cancel.
        for (auto waited = std::chrono::milliseconds(0); waited < m_pause;
             waited += std::chrono::milliseconds(10)) {
            if (cancelled())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return !cancelled();
}
