// Local search over a large store of mixed Chinese and English items: 50 channels, the first page
// of 50 results and the total count, for each kind of keyword, with the search index (FTS5 with
// the "quill" tokenizer); in the same run, interleaved, as the previous version read them (the
// count and the page each a statement of their own) and with the trigram index of earlier
// versions over the same rows (three characters or more looked up, shorter keywords scanned).
// Also the size of both indexes and the time to fill them.
//
//   QUILL_SEARCH_ITEMS=200000 build/bin/quill_bench --benchmark_filter=BM_SearchClasses
//
// The store is built once per size into /tmp/quillmark-searchbench/ and reused.
#include "storage/FeedDatabase.h"
#include "storage/FeedSearchIndex.h"
#include "storage/SqlDatabase.h"
#include "storage/StoreSql.h"
#include "storage/Transaction.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

constexpr int kChannels = 50;

int ItemCount() {
    const char* items = std::getenv("QUILL_SEARCH_ITEMS");
    return items ? std::atoi(items) : 1000000;
}

// Words of Chinese technology and general news, and English ones, drawn with a skew (a few words
// very often, most rarely), as real feeds read.
const std::vector<std::string> kChinese = {
    "我们",     "今天",     "时间",     "工作", "学习",     "生活",   "问题",   "方法",   "技术",
    "系统",     "软件",     "硬件",     "网络", "数据",     "信息",   "开发",   "设计",   "测试",
    "发布",     "版本",     "更新",     "功能", "用户",     "服务",   "平台",   "项目",   "社区",
    "开源",     "代码",     "程序",     "文件", "目录",     "配置",   "数据库", "服务器", "客户端",
    "浏览器",   "编辑器",   "操作",     "管理", "安全",     "性能",   "优化",   "内存",   "磁盘",
    "缓存",     "线程",     "进程",     "接口", "手机",     "苹果",   "中国",   "疫情",   "经济",
    "市场",     "公司",     "企业",     "政府", "政策",     "教育",   "学生",   "老师",   "医院",
    "医生",     "健康",     "城市",     "北京", "上海",     "深圳",   "广州",   "国际",   "美国",
    "日本",     "欧洲",     "新闻",     "记者", "报道",     "消息",   "发展",   "研究",   "科学",
    "人工智能", "机器学习", "操作系统", "芯片", "电动汽车", "新能源", "互联网", "视频",   "游戏",
    "音乐",     "电影",     "体育",     "足球", "篮球",     "天气",   "旅游",   "文化",   "历史",
    "的",       "了",       "在",       "是",   "和",       "有",     "也",     "就",     "都",
    "而",       "及",       "与",       "着",   "或",       "一个",   "没有",   "我们的", "这个",
    "可以",     "已经"};
const std::vector<std::string> kEnglish = {
    "the",       "of",        "and",         "to",       "in",      "is",       "for",
    "on",        "with",      "Linux",       "release",  "Python",  "kernel",   "update",
    "security",  "data",      "server",      "client",   "browser", "Apple",    "Google",
    "Android",   "iPhone",    "open",        "source",   "project", "version",  "network",
    "cloud",     "storage",   "database",    "model",    "AI",      "GPU",      "chip",
    "market",    "report",    "news",        "China",    "Beijing", "Shanghai", "team",
    "community", "developer", "performance", "memory",   "cache",   "thread",   "process",
    "interface", "2024",      "2025",        "v1.2",     "API",     "HTTP",     "JSON",
    "Rust",      "compiler",  "library",     "framework"};

std::string Sentence(std::mt19937& random, int words) {
    // A skewed pick: the square of a uniform number favours the start of the lists.
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const auto pick = [&](const std::vector<std::string>& from) -> const std::string& {
        const double u = uniform(random);
        return from[static_cast<size_t>(u * u * static_cast<double>(from.size()))];
    };
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (random() % 4 == 0) {
            text += " " + pick(kEnglish) + " ";
        } else {
            text += pick(kChinese);
            if (random() % 6 == 0)
                text += "，";
        }
    }
    return text;
}

struct BuiltStore {
    std::string path;
    double fillSeconds = 0;
    double trigramFillSeconds = 0;
};

// The trigram index as earlier versions kept it, beside the present one.
constexpr const char* kTrigramTable =
    "CREATE VIRTUAL TABLE old_search USING fts5(item_title, item_description, "
    "content='rss_data', content_rowid='item_id', tokenize='trigram case_sensitive 0', "
    "detail='column', columnsize=0);";

BuiltStore Build(int items) {
    const std::string folder = "/tmp/quillmark-searchbench";
    BuiltStore built{.path = folder + "/rss-" + std::to_string(items) + ".db"};
    const std::string timings = built.path + ".fill";
    if (fs::exists(built.path) && fs::exists(timings)) {
        std::FILE* file = std::fopen(timings.c_str(), "r");
        if (file &&
            std::fscanf(file, "%lf %lf", &built.fillSeconds, &built.trigramFillSeconds) != 2)
            built.fillSeconds = 0;
        if (file)
            std::fclose(file);
        return built;
    }
    fs::create_directories(folder);
    for (const char* suffix : {"", "-wal", "-shm"})
        fs::remove(built.path + suffix);
    std::fprintf(stderr, "building %s (once)...\n", built.path.c_str());
    {
        CFeedDatabase store(built.path);
        if (const StoreResult open = store.OpenStore(); !open)
            throw std::runtime_error(open.reason);
        CSqlDatabase& db = store.Db();
        db.ExecuteUpdate("PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;");
        CTransaction transaction(db);
        CSqlStatement feed = db.CompileStatement("INSERT INTO feed_data (feed_url) VALUES (?1);");
        for (int c = 1; c <= kChannels; ++c)
            feed.Bind(1, "http://feed" + std::to_string(c) + ".example.com/rss.xml").ExecDML();
        CSqlStatement insert = db.CompileStatement(
            "INSERT INTO rss_data (item_feedid, item_read, item_link, item_title, item_author, "
            "item_description, item_pubDate) VALUES (?1, 1, ?2, ?3, ?4, ?5, ?6);");
        std::mt19937 random(2024);
        for (int k = 0; k < items; ++k) {
            std::string title = Sentence(random, 6);
            // Three items in ten carry the word that the "30%" keyword looks for.
            if (k % 10 < 3)
                title += " 头条";
            const std::string description = "<p>" + Sentence(random, 40) +
                                            "</p><p><a href=\"http://example.com/a/" +
                                            std::to_string(k) + "\">" + Sentence(random, 4) +
                                            "</a> &amp; " + Sentence(random, 20) + "</p>";
            insert.Bind(1, 1 + k % kChannels)
                .Bind(2, "http://feed.example.com/" + std::to_string(k))
                .Bind(3, title)
                .Bind(4, "记者")
                .Bind(5, description)
                .Bind(6, "2024-05-01 08:00:00")
                .ExecDML();
        }
        transaction.Commit();
        const auto fill = Clock::now();
        if (const StoreResult caught = store.CatchUpSearchIndex(items); !caught)
            throw std::runtime_error(caught.reason);
        store.Exec("INSERT INTO rss_search (rss_search) VALUES ('optimize');");
        built.fillSeconds = Seconds(fill);
        const auto trigram = Clock::now();
        db.ExecuteUpdate(kTrigramTable);
        db.ExecuteUpdate("INSERT INTO old_search (old_search) VALUES ('rebuild');"
                         "INSERT INTO old_search (old_search) VALUES ('optimize');");
        built.trigramFillSeconds = Seconds(trigram);
        store.Exec("PRAGMA wal_checkpoint(TRUNCATE);");
    }
    std::FILE* file = std::fopen(timings.c_str(), "w");
    std::fprintf(file, "%f %f\n", built.fillSeconds, built.trigramFillSeconds);
    std::fclose(file);
    return built;
}

// The search as the trigram index served it: a keyword of three or more characters narrowed by
// all of its trigrams, a shorter one scanned; the LIKE test decides either way.
void TrigramPage(CSqlDatabase& db, const std::string& keyword, std::vector<int>& ids, int& total) {
    std::vector<std::string> characters;
    for (size_t i = 0; i < keyword.size();) {
        size_t end = i + 1;
        while (end < keyword.size() && (static_cast<unsigned char>(keyword[end]) & 0xC0) == 0x80)
            ++end;
        characters.push_back(keyword.substr(i, end - i));
        i = end;
    }
    std::string terms;
    for (size_t i = 0; i + 3 <= characters.size(); ++i) {
        std::string term = "\"";
        for (size_t k = i; k < i + 3; ++k) {
            for (char c : characters[k]) {
                term += c;
                if (c == '"')
                    term += '"';
            }
        }
        terms += (terms.empty() ? "" : " AND ") + term + "\"";
    }
    std::string where = "(item_title LIKE ?1 ESCAPE '\\' OR item_description LIKE ?1 ESCAPE '\\')";
    if (!terms.empty())
        where = "item_id IN (SELECT rowid FROM old_search WHERE old_search MATCH ?2) AND " + where;
    const auto bind = [&](CSqlStatement& statement) {
        statement.Bind(1, CStoreSql::ContainsPattern(keyword));
        if (!terms.empty())
            statement.Bind(2, "(" + terms + ")");
    };
    CSqlStatement count = db.CompileStatement("SELECT count(*) FROM rss_data WHERE " + where);
    bind(count);
    total = static_cast<int>(count.ExecScalar().value_or(0));
    CSqlStatement page = db.CompileStatement("SELECT item_id, item_title FROM rss_data WHERE " +
                                             where + " ORDER BY item_id DESC LIMIT 50;");
    bind(page);
    ids.clear();
    for (CSqlQuery rows = page.ExecQuery(); !rows.IsEnd(); rows.Next())
        ids.push_back(rows.GetInt(0));
}

// The first page and the count as the previous version read them: the count and the page
// each a statement of their own, so that a keyword that the LIKE test decides has its
// candidates named and tested twice.
void CountThenPage(CSqlDatabase& db, const std::string& keyword, std::vector<int>& ids,
                   int& total) {
    const std::optional<CFeedSearchIndex::Match> match =
        CFeedSearchIndex::MatchQuery(db, keyword, true);
    std::string where = "(item_title LIKE ?1 ESCAPE '\\' OR item_description LIKE ?1 ESCAPE '\\')";
    std::string countSql;
    std::string pageSql;
    if (match && match->exact) {
        // As now: the index alone counts and gives the page.
        countSql = "SELECT count(*) FROM rss_search WHERE rss_search MATCH ?2";
        pageSql = "SELECT item_id, item_title FROM rss_data WHERE item_id IN (SELECT rowid FROM "
                  "rss_search WHERE rss_search MATCH ?2 ORDER BY rowid DESC LIMIT 50) ORDER BY "
                  "item_id DESC;";
    } else if (match)
        where = "item_id IN (SELECT rowid FROM rss_search WHERE rss_search MATCH ?2) AND " + where;
    const auto bind = [&](CSqlStatement& statement) {
        if (!match || !match->exact)
            statement.Bind(1, CStoreSql::ContainsPattern(keyword));
        if (match)
            statement.Bind(2, match->query);
    };
    if (countSql.empty()) {
        countSql = "SELECT count(*) FROM rss_data WHERE " + where;
        pageSql = "SELECT item_id, item_title FROM rss_data WHERE " + where +
                  " ORDER BY item_id DESC LIMIT 50;";
    }
    CSqlStatement count = db.CompileStatement(countSql);
    bind(count);
    total = static_cast<int>(count.ExecScalar().value_or(0));
    CSqlStatement page = db.CompileStatement(pageSql);
    bind(page);
    ids.clear();
    for (CSqlQuery rows = page.ExecQuery(); !rows.IsEnd(); rows.Next())
        ids.push_back(rows.GetInt(0));
}

struct KeywordClass {
    const char* name;
    std::vector<std::string> keywords;
};

const std::vector<KeywordClass> kClasses = {
    {"one ideograph", {"网", "据", "芯"}},
    {"two ideographs", {"数据", "手机", "疫情"}},
    {"four ideographs", {"人工智能", "操作系统", "电动汽车"}},
    {"Latin word", {"Linux", "kernel", "Rust"}},
    {"Latin prefix", {"perf", "secur", "comp"}},
    {"mixed", {"Linux 系统", "Python 开发", "iPhone 手机"}},
    {"no match", {"量子纠缠", "zyxwvut", "妙笔生花"}},
    {"30% match", {"头条"}},
};

struct Figures {
    double median = 0;
    double p95 = 0;
};

Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1,
                                static_cast<size_t>(q * static_cast<double>(samples.size())))];
    };
    return {.median = at(0.5), .p95 = at(0.95)};
}

int64_t Bytes(CSqlDatabase& db, const std::string& like) {
    CSqlStatement select =
        db.CompileStatement("SELECT coalesce(sum(pgsize), 0) FROM dbstat WHERE name LIKE ?1;");
    return select.Bind(1, like).ExecScalar().value_or(0);
}

void BM_SearchClasses(benchmark::State& state) {
    const int items = ItemCount();
    const BuiltStore built = Build(items);
    CFeedDatabase store(built.path);
    if (const StoreResult open = store.OpenStore(); !open) {
        state.SkipWithError(open.reason.c_str());
        return;
    }
    constexpr int kRounds = 7;
    // QUILL_SEARCH_TRIGRAM=0 leaves the trigram index's searches out (seconds each).
    const char* trigram = std::getenv("QUILL_SEARCH_TRIGRAM");
    const bool withTrigram = !trigram || std::string(trigram) != "0";
    for (auto _ : state) {
        std::fprintf(stderr,
                     "\n%d items, %d channels: first page of 50 + count, in titles and "
                     "descriptions, ms (median / p95 of %d runs per keyword)\n",
                     items, kChannels, kRounds);
        std::fprintf(stderr, "| %-16s | %-19s | %-19s | %-19s | %s |\n", "keyword class",
                     "quill index", "count, then page", "trigram index", "hits");
        for (const KeywordClass& kind : kClasses) {
            std::vector<double> fresh;
            std::vector<double> before;
            std::vector<double> old;
            int hits = 0;
            for (const std::string& keyword : kind.keywords) {
                // The three ways are interleaved, round by round, so that the load of the
                // machine falls on each alike.
                for (int round = 0; round < kRounds; ++round) {
                    std::vector<FeedItem> page;
                    int total = 0;
                    auto start = Clock::now();
                    if (const StoreResult found =
                            store.SearchItemPage({.text = keyword}, 0, 50, page, total);
                        !found) {
                        state.SkipWithError(found.reason.c_str());
                        return;
                    }
                    fresh.push_back(Seconds(start) * 1000);
                    std::vector<int> ids;
                    int beforeTotal = 0;
                    start = Clock::now();
                    store.Run(
                        [&](CSqlDatabase& db) { CountThenPage(db, keyword, ids, beforeTotal); });
                    before.push_back(Seconds(start) * 1000);
                    int oldTotal = total;
                    if (withTrigram) {
                        start = Clock::now();
                        store.Run(
                            [&](CSqlDatabase& db) { TrigramPage(db, keyword, ids, oldTotal); });
                        old.push_back(Seconds(start) * 1000);
                    }
                    hits = std::max(hits, total);
                    if (round == 0 && (oldTotal != total || beforeTotal != total))
                        std::fprintf(stderr, "  (%s: %d found, count then page %d, trigram %d)\n",
                                     keyword.c_str(), total, beforeTotal, oldTotal);
                }
            }
            const Figures a = Summarise(fresh);
            const Figures b = Summarise(before);
            const Figures c = withTrigram ? Summarise(old) : Figures{};
            std::fprintf(stderr,
                         "| %-16s | %7.1f / %-9.1f | %7.1f / %-9.1f | %7.1f / %-9.1f | %d |\n",
                         kind.name, a.median, a.p95, b.median, b.p95, c.median, c.p95, hits);
        }
        store.Run([&](CSqlDatabase& db) {
            const int64_t total = Bytes(db, "%");
            const int64_t fresh = Bytes(db, "rss_search%");
            const int64_t old = Bytes(db, "old_search%");
            const int64_t without = total - fresh - old;
            std::fprintf(stderr,
                         "store without an index %.1f MB; quill index %.1f MB (%.0f%%), filled "
                         "in %.1f s; trigram index %.1f MB (%.0f%%), filled in %.1f s\n",
                         static_cast<double>(without) / 1e6, static_cast<double>(fresh) / 1e6,
                         100.0 * static_cast<double>(fresh) / static_cast<double>(without),
                         built.fillSeconds, static_cast<double>(old) / 1e6,
                         100.0 * static_cast<double>(old) / static_cast<double>(without),
                         built.trigramFillSeconds);
        });
    }
}
BENCHMARK(BM_SearchClasses)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

namespace {

// 50 new items merged into a channel of the large store that keeps its newest 20,000 (arg 0:
// the merge alone, which only queues the rows for the index; arg 1: the merge and the fold of
// what it queued, as a receive round does at its end).
void BM_MergeIntoLargeChannel(benchmark::State& state) {
    const BuiltStore built = Build(ItemCount());
    CFeedDatabase store(built.path);
    if (const StoreResult open = store.OpenStore(); !open) {
        state.SkipWithError(open.reason.c_str());
        return;
    }
    store.CatchUpSearchIndex(1000000);
    std::mt19937 random(static_cast<unsigned>(state.range(0)) + 7);
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<FeedItem> download;
        ++round;
        for (int i = 0; i < 50; ++i) {
            FeedItem item;
            item.link = "http://merge.example.com/" + std::to_string(round) + "/" +
                        std::to_string(i) + "/" + std::to_string(state.range(0));
            item.title = Sentence(random, 6);
            item.description = "<p>" + Sentence(random, 40) + "</p>";
            item.pubDate = "2024-05-01 08:00:00";
            download.push_back(std::move(item));
        }
        state.ResumeTiming();
        StoreResult done =
            store.SaveReceivedItems(1, download, StorageRule::kKeepNewest, ItemCount() / kChannels);
        if (done && state.range(0) == 1)
            done = store.CatchUpSearchIndex(1000000);
        if (!done) {
            state.SkipWithError(done.reason.c_str());
            break;
        }
    }
}
BENCHMARK(BM_MergeIntoLargeChannel)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

} // namespace
