// The feed store under the load of a long-used reader: 1,000,000 items over 500 channels, one of
// them holding 10,000. Measures the merge of a download, the list pages and counts, a large
// batch against a plain sqlite3 insert loop (the floor), and the local search.
//
// The big store is built once into /tmp/quillmark-storebench-2/rss-1m.db and reused by later
// runs; delete the folder to build it again. Building it also measures the first open of a store
// of a million items from before the full-text index (which queues every row) and the catch-up
// that fills the index from the queue.
#include "storage/FeedDatabase.h"
#include "storage/FeedSearchIndex.h"
#include "storage/SqlDatabase.h"
#include "storage/StoreSql.h"
#include "storage/Transaction.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kItems = 1000000;
constexpr int kChannels = 500;
constexpr int kBigChannel = 1;   // 10,000 items (every 100th) for the lists
constexpr int kMergeChannel = 3; // 10,000 items for the merges
constexpr int kSmallChannel = 2; // about 1,960, like the other 497
// "-2": the titles hold a rare three-character word since the search index came.
const std::string kFolder = "/tmp/quillmark-storebench-2";
const std::string kBigStore = kFolder + "/rss-1m.db";

int ChannelOf(int k) {
    if (k % 100 == 0)
        return kBigChannel;
    if (k % 100 == 50)
        return kMergeChannel;
    const int other = k % (kChannels - 2); // channels 2 and 4 .. 500
    return other == 0 ? kSmallChannel : other + 3;
}

std::string Title(int k) {
    static const char* const kWords[] = {"经济", "科技", "体育", "文化", "国际", "新闻",
                                         "评论", "股市", "天气", "教育", "健康", "旅游"};
    std::string title = "第" + std::to_string(k) + "条：";
    for (int i = 0; i < 8; ++i)
        title += kWords[(k * 7 + i * 5) % 12];
    // A rare word in the titles, for the search (also found by its first two characters).
    if (k % 1000 == 7)
        title += " 妙笔生花";
    return title;
}

std::string Description(int k) {
    std::string text = "<p>这是第" + std::to_string(k) +
                       "条新闻的摘要，包含一些常见的文字和 some ASCII words, links and "
                       "numbers.</p><p>记者报道：今天的消息很多。</p>";
    if (k % 1000 == 3)
        text += "<p>Written with Quillmark.</p>";
    return text;
}

FeedItem MakeItem(int k, const std::string& prefix = "item") {
    FeedItem item;
    item.link = "http://feed" + std::to_string(ChannelOf(k)) + ".example.com/2024/" + prefix + "-" +
                std::to_string(k) + ".html";
    item.title = Title(k);
    item.author = "记者" + std::to_string(k % 50);
    item.description = Description(k);
    item.pubDate = "2024-05-01 08:00:00";
    return item;
}

// The statements of a plain insert, shared by the build and the floor.
constexpr const char* kInsertSql =
    "INSERT INTO rss_data (item_feedid, item_new, item_read, item_link, item_title, item_author, "
    "item_description, item_pubDate) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);";

void BuildBigStore() {
    if (fs::exists(kBigStore))
        return;
    fs::create_directories(kFolder);
    const std::string building = kFolder + "/building.db";
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(building + suffix);
    std::fprintf(stderr, "building %s (once)...\n", kBigStore.c_str());
    const auto start = std::chrono::steady_clock::now();
    {
        CFeedDatabase store(building);
        if (const StoreResult open = store.OpenStore(); !open)
            throw std::runtime_error(open.reason);
        CSqlDatabase& db = store.Db();
        // Indexes are made faster at the end than kept up row by row; reopening the store adds
        // them back.
        db.ExecuteUpdate("DROP INDEX rss_data_feed_item; DROP INDEX rss_data_feed_link;"
                         "DROP INDEX rss_data_feed_read; DROP INDEX rss_data_feed_new;"
                         "DROP TRIGGER rss_search_insert; DROP TRIGGER rss_search_delete;"
                         "DROP TRIGGER rss_search_update; DROP TABLE rss_search;"
                         "DROP TABLE rss_search_pending; DROP TABLE rss_search_gone;"
                         "PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;");
        CTransaction transaction(db);
        CSqlStatement feed = db.CompileStatement("INSERT INTO feed_data (feed_url) VALUES (?1);");
        for (int c = 1; c <= kChannels; ++c)
            feed.Bind(1, "http://feed" + std::to_string(c) + ".example.com/rss.xml").ExecDML();
        CSqlStatement insert = db.CompileStatement(kInsertSql);
        for (int k = 0; k < kItems; ++k) {
            const FeedItem item = MakeItem(k);
            // Older items read, the latest fifth partly unread, the last twentieth new.
            const int read = k < kItems * 4 / 5 ? 1 : (k / 7) % 3 == 0;
            const int isNew = k >= kItems * 19 / 20 && !read ? 1 : 0;
            insert.Bind(1, ChannelOf(k)).Bind(2, isNew).Bind(3, read).Bind(4, item.link);
            insert.Bind(5, item.title).Bind(6, item.author).Bind(7, item.description);
            insert.Bind(8, item.pubDate).ExecDML();
        }
        transaction.Commit();
    }
    const auto reopen = std::chrono::steady_clock::now();
    {
        // The open of a store without its indexes, as an older store's first open is.
        CFeedDatabase store(building);
        if (const StoreResult open = store.OpenStore(); !open)
            throw std::runtime_error(open.reason);
        std::fprintf(
            stderr,
            "first open (b-tree indexes, every row queued for the full-text index): %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - reopen).count());
        const auto catchUp = std::chrono::steady_clock::now();
        if (const StoreResult caught = store.CatchUpSearchIndex(kItems); !caught)
            throw std::runtime_error(caught.reason);
        store.Exec("INSERT INTO rss_search (rss_search) VALUES ('optimize');");
        std::fprintf(
            stderr, "full-text index caught up: %.1f s\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - catchUp).count());
        store.Exec("PRAGMA wal_checkpoint(TRUNCATE);");
    }
    fs::rename(building, kBigStore);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "built in %.1f s\n", seconds);
}

// The big store, opened once for the whole run.
CFeedDatabase& BigStore() {
    static CFeedDatabase* store = [] {
        BuildBigStore();
        auto* opened = new CFeedDatabase(kBigStore);
        if (const StoreResult open = opened->OpenStore(); !open)
            throw std::runtime_error(open.reason);
        return opened;
    }();
    return *store;
}

void Check(const StoreResult& done, benchmark::State& state) {
    if (!done)
        state.SkipWithError(done.reason.c_str());
}

// ---- The merge ----

// 50 new items arrive in the channel of 10,000, which keeps its newest 10,000.
void BM_MergeNewDownload(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<FeedItem> download;
        ++round;
        for (int i = 0; i < 50; ++i)
            download.push_back(MakeItem(i * 100 + 50, "round" + std::to_string(round)));
        state.ResumeTiming();
        Check(store.SaveReceivedItems(kMergeChannel, download, StorageRule::kKeepNewest, 10000),
              state);
    }
    int total = 0, unread = 0;
    store.GetFeedCounts(kMergeChannel, total, unread);
    state.counters["channel_items"] = total;
}
BENCHMARK(BM_MergeNewDownload)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The usual receive: the source lists nothing the channel does not hold.
void BM_MergeKnownDownload(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    std::vector<FeedItem> held;
    int total = 0;
    store.GetItemPage(kMergeChannel, ItemFilter::kAll, true, held, total, 50, 0);
    for (auto _ : state)
        Check(store.SaveReceivedItems(kMergeChannel, held, StorageRule::kKeepNewest, 10000), state);
}
BENCHMARK(BM_MergeKnownDownload)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// ---- Lists ----

// One page of 50 list rows and the count of its filter; args: channel, filter.
void BM_ItemPage(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    const int channel = static_cast<int>(state.range(0));
    const auto filter = static_cast<ItemFilter>(state.range(1));
    std::vector<FeedItem> items;
    int total = 0;
    for (auto _ : state) {
        Check(store.GetItemPage(channel, filter, false, items, total, 50, 0), state);
        benchmark::DoNotOptimize(items.data());
    }
    state.counters["rows"] = static_cast<double>(items.size());
    state.counters["total"] = total;
}
BENCHMARK(BM_ItemPage)
    ->ArgsProduct({{kSmallChannel, kBigChannel}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMicrosecond);

void BM_UnreadCount(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    const int channel = static_cast<int>(state.range(0));
    int count = 0;
    for (auto _ : state)
        Check(store.GetUnreadCount(channel, count), state);
    state.counters["unread"] = count;
}
BENCHMARK(BM_UnreadCount)->Arg(kSmallChannel)->Arg(kBigChannel)->Unit(benchmark::kMicrosecond);

// ---- A batch of 100,000 items into a new store ----

constexpr int kBatch = 100000;

const std::vector<FeedItem>& BatchItems() {
    static const std::vector<FeedItem> items = [] {
        std::vector<FeedItem> list;
        list.reserve(kBatch);
        for (int k = 0; k < kBatch; ++k)
            list.push_back(MakeItem(k, "batch"));
        return list;
    }();
    return items;
}

// A store file with the tables and indexes and nothing else.
std::string FreshStore() {
    fs::create_directories(kFolder);
    const std::string path = kFolder + "/batch.db";
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(path + suffix);
    CFeedDatabase store(path);
    store.OpenStore();
    return path;
}

double g_floorRowsPerSecond = 0;

// The floor: the same rows with the same settings, by a plain prepared-statement loop on
// sqlite3 itself in one transaction. Arg 0: into the store's own tables and indexes (with the
// full-text index); arg 1: into the bare table, to show what the indexes cost on this machine;
// arg 2: the store's b-tree indexes without the full-text index.
void BM_BatchInsertFloor(benchmark::State& state) {
    const std::vector<FeedItem>& items = BatchItems();
    const bool bare = state.range(0) == 1;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = FreshStore();
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA "
                     "cache_size=-8192; PRAGMA temp_store=MEMORY;",
                     nullptr, nullptr, nullptr);
        if (bare)
            sqlite3_exec(db,
                         "DROP INDEX rss_data_feed_item; DROP INDEX rss_data_feed_link;"
                         "DROP INDEX rss_data_feed_read; DROP INDEX rss_data_feed_new;",
                         nullptr, nullptr, nullptr);
        if (bare || state.range(0) == 2)
            sqlite3_exec(db,
                         "DROP TRIGGER rss_search_insert; DROP TRIGGER rss_search_delete;"
                         "DROP TRIGGER rss_search_update;",
                         nullptr, nullptr, nullptr);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        sqlite3_exec(db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, kInsertSql, -1, &insert, nullptr);
        const auto text = [insert](int index, const std::string& value) {
            sqlite3_bind_text(insert, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_STATIC);
        };
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            sqlite3_bind_int(insert, 1, 1);
            sqlite3_bind_int(insert, 2, 1);
            sqlite3_bind_int(insert, 3, 0);
            text(4, it->link);
            text(5, it->title);
            text(6, it->author);
            text(7, it->description);
            text(8, it->pubDate);
            if (sqlite3_step(insert) != SQLITE_DONE)
                state.SkipWithError(sqlite3_errmsg(db));
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        sqlite3_close(db);
        state.ResumeTiming();
    }
    const double rowsPerSecond = kBatch * static_cast<double>(state.iterations()) / seconds;
    if (state.range(0) == 0)
        g_floorRowsPerSecond = rowsPerSecond;
    state.counters["rows_per_s"] = rowsPerSecond;
}
BENCHMARK(BM_BatchInsertFloor)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The merge of a download of 100,000 new items into an empty channel: every link is looked up
// before the rows go in.
void BM_BatchInsertMerge(benchmark::State& state) {
    const std::vector<FeedItem>& items = BatchItems();
    double seconds = 0;
    double catchUpSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CFeedDatabase store(FreshStore());
        store.OpenStore();
        // The merge stores items only for a channel that exists.
        int feedId = 0;
        store.AddFeed("http://batch.example.com/rss.xml", feedId);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (const StoreResult saved =
                store.SaveReceivedItems(feedId, items, StorageRule::kKeepAll, 0);
            !saved) {
            state.SkipWithError(saved.reason.c_str());
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        // The rows wait in the search index's queue; folding them in is measured apart, as
        // the reader does it after the receive round.
        const auto catchUp = std::chrono::steady_clock::now();
        int64_t pending = 0;
        if (const StoreResult caught = store.CatchUpSearchIndex(kBatch, &pending);
            !caught || pending != 0) {
            state.SkipWithError(("catch-up failed: " + caught.reason).c_str());
            break;
        }
        catchUpSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - catchUp).count();
        store.CloseStore();
        state.ResumeTiming();
    }
    const double rowsPerSecond = kBatch * static_cast<double>(state.iterations()) / seconds;
    state.counters["rows_per_s"] = rowsPerSecond;
    state.counters["catch_up_rows_per_s"] =
        kBatch * static_cast<double>(state.iterations()) / catchUpSeconds;
    if (g_floorRowsPerSecond > 0)
        state.counters["of_floor"] = rowsPerSecond / g_floorRowsPerSecond;
}
BENCHMARK(BM_BatchInsertMerge)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- Search over the million ----

const char* const kKeywords[] = {"quillmark", "妙笔生", "妙笔"};

// args: keyword (0 an ASCII word in 1 of 1000 descriptions; 1 a Chinese word of three characters
// in 1 of 1000 titles; 2 its first two characters, one pair of the index), descriptions
// too (1) or titles only (0).
void BM_SearchItems(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    const std::string keyword = kKeywords[state.range(0)];
    std::vector<FeedItem> hits;
    for (auto _ : state)
        Check(store.SearchItems(keyword, hits, {}, true, state.range(1) == 1), state);
    state.counters["hits"] = static_cast<double>(hits.size());
}
BENCHMARK(BM_SearchItems)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// The same searches by the LIKE scan alone, as before the index: the figures to compare with.
void BM_SearchItemsByScan(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    const std::string pattern = CStoreSql::ContainsPattern(kKeywords[state.range(0)]);
    const bool inDescription = state.range(1) == 1;
    size_t hits = 0;
    for (auto _ : state) {
        CSqlStatement select = store.Db().CompileStatement(
            std::string("SELECT * FROM rss_data WHERE item_title LIKE ?1 ESCAPE '\\'") +
            (inDescription ? " OR item_description LIKE ?1 ESCAPE '\\'" : "") +
            " ORDER BY item_id DESC;");
        select.Bind(1, pattern);
        hits = 0;
        for (CSqlQuery rows = select.ExecQuery(); !rows.IsEnd(); rows.Next())
            ++hits;
    }
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(BM_SearchItemsByScan)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// What the index costs a merge: 50 new items into the channel of 10,000, with the index kept in
// step (arg 0) and with its triggers dropped (arg 1). Both run inside one outer transaction that
// is rolled back at the end, so the store keeps its index and its items.
void BM_MergeWithAndWithoutIndex(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    static int round = 0;
    store.Exec("BEGIN IMMEDIATE;");
    if (state.range(0) == 1)
        store.Exec("DROP TRIGGER rss_search_insert; DROP TRIGGER rss_search_delete;"
                   "DROP TRIGGER rss_search_update;");
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<FeedItem> download;
        ++round;
        for (int i = 0; i < 50; ++i)
            download.push_back(MakeItem(i * 100 + 50, "outer" + std::to_string(round)));
        state.ResumeTiming();
        if (const StoreResult saved =
                store.SaveReceivedItems(kMergeChannel, download, StorageRule::kKeepNewest, 10000);
            !saved) {
            state.SkipWithError(saved.reason.c_str());
            break;
        }
    }
    store.Exec("ROLLBACK;");
}
BENCHMARK(BM_MergeWithAndWithoutIndex)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The file and the share of it that the full-text index takes; and how long the first open of
// a store from before the index spends on it: queueing every row. It runs inside an outer
// transaction that is rolled back, so the store keeps its filled index.
void BM_SearchIndexQueueOnOpen(benchmark::State& state) {
    CFeedDatabase& store = BigStore();
    int64_t pending = 0;
    for (auto _ : state) {
        state.PauseTiming();
        store.Exec("BEGIN IMMEDIATE;");
        store.Exec("DROP TRIGGER rss_search_insert; DROP TRIGGER rss_search_delete;"
                   "DROP TRIGGER rss_search_update; DROP TABLE rss_search;"
                   "DROP TABLE rss_search_pending; DROP TABLE rss_search_gone;");
        state.ResumeTiming();
        if (const StoreResult made =
                store.Run([](CSqlDatabase& db) { CFeedSearchIndex::Ensure(db); });
            !made)
            state.SkipWithError(made.reason.c_str());
        state.PauseTiming();
        store.Run([&pending](CSqlDatabase& db) {
            pending = CFeedSearchIndex::PendingRows(db, INT64_MAX);
        });
        store.Exec("ROLLBACK;");
        state.ResumeTiming();
    }
    state.counters["queued"] = static_cast<double>(pending);
    const auto pages = [&store](const char* where) {
        return static_cast<double>(
            store.Db()
                .CompileStatement(std::string("SELECT sum(pgsize) FROM dbstat WHERE ") + where)
                .ExecScalar()
                .value_or(0));
    };
    state.counters["file_MB"] = pages("1") / 1e6;
    state.counters["index_MB"] = pages("name LIKE 'rss_search%'") / 1e6;
}
BENCHMARK(BM_SearchIndexQueueOnOpen)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
