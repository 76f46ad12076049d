// quill_ui_bench: the main window on a large program directory.
//
//   quill_ui_bench --seed DIR   fills DIR with 500 channels in 25 directories and 1,000,000 items
//   quill_ui_bench DIR          starts the program on DIR and prints: process start to the first
//                               shown main window, switching channels, listing a directory, and
//                               the resident memory of the window process and its web engine
//
// Run it on a display (xvfb-run works); as root the web engine's switches are set as the
// program sets them.

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/AppSettings.h"
#include "app/ProgramDir.h"
#include "storage/FeedDatabase.h"
#include "storage/LocalStores.h"
#include "ui/app/MainFrame.h"
#include "ui/app/QuillApp.h"
#include "ui/reader/ArticlesReportView.h"
#include "ui/reader/RssChannelTreeCtrl.h"
#include "ui/reader/RssReader.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDirectories = 25;
constexpr int kChannelsPerDirectory = 20;
constexpr int kItems = 1000000;

bool Seed(const std::string& home) {
    SetModuleDir(home);
    std::string error;
    if (!CProgramDir::Prepare(error) ||
        !CLocalStores::CreateStores(CAppContext::Process(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    CAppContext::Process().Settings().WriteAppValue("rss/startupautoreceive", "0");
    CAppContext::Process().Settings().WriteAppValue("rss/autoreceive", "0");
    std::ofstream opml(GetAppFilePath("Storage\\rssreader.opml"), std::ios::trunc);
    opml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\"><body>\n";
    int channel = 0;
    for (int d = 0; d < kDirectories; ++d) {
        opml << "<outline title=\"目录" << d << "\" expanded=\"" << (d < 2 ? 1 : 0) << "\">\n";
        for (int c = 0; c < kChannelsPerDirectory; ++c) {
            ++channel;
            opml << "  <outline title=\"频道" << channel << "\" xmlUrl=\"http://127.0.0.1:9/feed"
                 << channel << ".xml\"/>\n";
        }
        opml << "</outline>\n";
    }
    opml << "</body></opml>\n";
    opml.close();

    sqlite3* db = nullptr;
    if (sqlite3_open(GetAppFilePath("Storage\\rss.db").c_str(), &db) != SQLITE_OK)
        return false;
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; BEGIN;", nullptr, nullptr, nullptr);
    const int channels = kDirectories * kChannelsPerDirectory;
    for (int id = 1; id <= channels; ++id) {
        std::string sql = "INSERT INTO feed_data (feed_id, feed_url) VALUES (" +
                          std::to_string(id) + ", 'http://127.0.0.1:9/feed" + std::to_string(id) +
                          ".xml');";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO rss_data (item_feedid, item_new, item_read, item_link, "
                       "item_title, item_author, item_description, item_pubDate) "
                       "VALUES (?1, 0, ?2, ?3, ?4, ?5, ?6, ?7);",
                       -1, &insert, nullptr);
    for (int n = 0; n < kItems; ++n) {
        const std::string link = "http://127.0.0.1:9/item/" + std::to_string(n);
        const std::string title = "第" + std::to_string(n) + "篇文章的标题：频道测试内容";
        const std::string author = "作者" + std::to_string(n % 17);
        const std::string description = "<p>这是第" + std::to_string(n) +
                                        "篇文章的正文，包含一些示例文字，用来让数据库的大小接近"
                                        "真实的使用情况。</p><p>More text for item " +
                                        std::to_string(n) + ".</p>";
        char date[32];
        std::snprintf(date, sizeof date, "2024-%02d-%02d %02d:%02d:00", 1 + (n / 80000) % 12,
                      1 + (n / 3000) % 28, (n / 100) % 24, n % 60);
        sqlite3_bind_int(insert, 1, n % channels + 1);
        sqlite3_bind_int(insert, 2, n % 3 == 0 ? 0 : 1);
        sqlite3_bind_text(insert, 3, link.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, author.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, description.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, date, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const int rc = sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::printf("seeded %s: %d channels, %d items\n", home.c_str(), channels, kItems);
    return rc == SQLITE_OK;
}

// Milliseconds since this process was started by the kernel.
double SinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22 (start time in clock ticks after boot) counts from after the command's ")".
    std::string rest = text.substr(text.rfind(')') + 2);
    long long startTicks = 0;
    for (int field = 3; field <= 22; ++field) {
        size_t space = rest.find(' ');
        if (field == 22)
            startTicks = std::stoll(rest.substr(0, space));
        rest.erase(0, space + 1);
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK);
}

long ResidentKb(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

long ChildrenResidentKb() {
    long total = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const int pid = entry.toInt(&number);
        if (!number)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        int parent = 0;
        char state = 0;
        std::sscanf(text.c_str() + close + 2, "%c %d", &state, &parent);
        if (parent == getpid())
            total += ResidentKb(pid);
    }
    return total;
}

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--seed")
        return Seed(argv[2]) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: quill_ui_bench --seed DIR | quill_ui_bench DIR\n");
        return 2;
    }
    ::setenv("QUILLMARK_HOME", argv[1], 1);
    int appArgc = 1;
    CQuillApp::PrepareProcess();
    CQuillApp app(appArgc, argv);
    const int exitCode = app.Start();
    if (exitCode >= 0)
        return exitCode;
    CMainFrame* frame = app.Frame();
    while (!(frame->windowHandle() && frame->windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    std::printf("start to shown window: %.0f ms\n", SinceProcessStart());

    QTimer::singleShot(1000, [&] {
        CRssReader* reader = frame->Reader();
        CRssChannelTreeCtrl* tree = frame->ChannelTree();
        const std::vector<int> channels = reader->Tree().AllChannels();
        std::vector<double> times;
        for (int k = 0; k < 40; ++k) {
            QElapsedTimer timer;
            timer.start();
            tree->SelectIndex(channels[(k * 37) % channels.size()]);
            times.push_back(timer.nsecsElapsed() / 1e6);
            Pump(30);
        }
        std::sort(times.begin(), times.end());
        std::printf("switching channels: median %.1f ms, slowest %.1f ms (%zu switches)\n",
                    times[times.size() / 2], times.back(), times.size());
        QElapsedTimer timer;
        timer.start();
        tree->SelectIndex(reader->Tree().Roots()[3]);
        std::printf("a directory of %d channels: %.1f ms, %d items listed\n", kChannelsPerDirectory,
                    timer.nsecsElapsed() / 1e6, frame->ItemList()->List()->model()->rowCount());
        Pump(1000);
        std::printf("resident memory: window process %ld MB, web engine processes %ld MB\n",
                    ResidentKb(getpid()) / 1024, ChildrenResidentKb() / 1024);
        std::fflush(stdout);
        frame->close();
        app.quit();
    });
    return app.exec();
}
