// Feed parsing from memory: the 500 feeds that ../shared/bench/genfeeds.py writes (folder in
// $QUILL_BENCH_FEEDS, default /tmp/qm/r0/feeds; bench/compare_parse.sh makes them and sets it),
// a synthetic feed that needs no files, and date normalisation.
#include "platform/fs/FileUtil.h"
#include "platform/xml/XmlDocument.h"
#include "reader/FeedDate.h"
#include "reader/FeedParser.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct GeneratedFeeds {
    std::vector<std::string> texts;
    size_t bytes = 0;
};

const GeneratedFeeds& LoadGeneratedFeeds() {
    static const GeneratedFeeds feeds = [] {
        GeneratedFeeds out;
        const char* env = std::getenv("QUILL_BENCH_FEEDS");
        std::filesystem::path folder = env && *env ? env : "/tmp/qm/r0/feeds";
        std::error_code ec;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (entry.path().extension() == ".xml")
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::string text;
            if (CFileUtil::ReadFile(file.string(), text)) {
                out.bytes += text.size();
                out.texts.push_back(std::move(text));
            }
        }
        return out;
    }();
    return feeds;
}

// Parse and read every item of every generated feed, as a receive does after the download.
void BM_ParseGeneratedFeeds(benchmark::State& state) {
    const GeneratedFeeds& feeds = LoadGeneratedFeeds();
    if (feeds.texts.empty()) {
        state.SkipWithError("no feeds: run bench/compare_parse.sh or set QUILL_BENCH_FEEDS");
        return;
    }
    size_t items = 0;
    for (auto _ : state) {
        for (const std::string& text : feeds.texts) {
            std::vector<FeedItem> parsed;
            parsed.reserve(64);
            CFeedParser parser;
            parser.ParseItems(text, parsed);
            items += parsed.size();
            benchmark::DoNotOptimize(parsed.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(items));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feeds.bytes));
    state.counters["feeds"] = static_cast<double>(feeds.texts.size());
}
BENCHMARK(BM_ParseGeneratedFeeds)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The libxml2 document alone over the same feeds: what the walk over the items adds to it.
void BM_LoadGeneratedFeedsOnly(benchmark::State& state) {
    const GeneratedFeeds& feeds = LoadGeneratedFeeds();
    if (feeds.texts.empty()) {
        state.SkipWithError("no feeds: run bench/compare_parse.sh or set QUILL_BENCH_FEEDS");
        return;
    }
    for (auto _ : state) {
        for (const std::string& text : feeds.texts) {
            CXmlDocument doc;
            benchmark::DoNotOptimize(doc.LoadText(text));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feeds.bytes));
}
BENCHMARK(BM_LoadGeneratedFeedsOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

std::string SyntheticFeed(int items) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\" "
                      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>t</title>";
    for (int i = 0; i < items; ++i) {
        std::string n = std::to_string(i);
        xml += "<item><title>标题 " + n + " &amp; more</title><link>http://127.0.0.1/" + n +
               "</link><author>a@example.com</author><description><![CDATA[<p>" +
               std::string(1500, 'x') + "</p>]]></description>" +
               (i % 2 ? "<pubDate>Tue, 07 Mar 2006 09:05:00 +0800</pubDate>"
                      : "<dc:date>2006-03-07T09:05:00.25-05:00</dc:date>") +
               "</item>";
    }
    return xml + "</channel></rss>";
}

// One feed of N items: the cost per item must stay flat as N grows.
void BM_ParseSyntheticFeed(benchmark::State& state) {
    const std::string xml = SyntheticFeed(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<FeedItem> items;
        CFeedParser parser;
        parser.ParseItems(xml, items);
        benchmark::DoNotOptimize(items.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_ParseSyntheticFeed)->Arg(50)->Arg(5000);

void BM_NormalizeFeedDate(benchmark::State& state) {
    const char* forms[] = {"Tue, 07 Mar 2006 09:05:00 GMT", "2006-03-07T09:05:00-05:00",
                           "20060307 09:05:00", "not a date"};
    for (auto _ : state) {
        for (const char* form : forms) {
            std::string date = form;
            NormalizeFeedDate(date);
            benchmark::DoNotOptimize(date.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_NormalizeFeedDate);

} // namespace
