// Filter rules over the items of a receive: the 500 feeds that ../shared/bench/genfeeds.py writes
// (folder in $QUILL_BENCH_FEEDS, default /tmp/qm/r0/feeds), judged by 20 rules of the kinds
// people write (plain texts in titles and descriptions, a few expressions). The time per
// round set against the CPU time of `quillmark-cli receive --all` over the same feeds is what
// the rules add to a receive.
#include "platform/fs/FileUtil.h"
#include "reader/ChannelTree.h"
#include "reader/FeedParser.h"
#include "reader/FeedRules.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace {

const std::vector<FeedItem>& ReceivedItems() {
    static const std::vector<FeedItem> items = [] {
        std::vector<FeedItem> out;
        const char* env = std::getenv("QUILL_BENCH_FEEDS");
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(env && *env ? env : "/tmp/qm/r0/feeds", ec)) {
            std::string text;
            if (entry.path().extension() == ".xml" &&
                CFileUtil::ReadFile(entry.path().string(), text))
                CFeedParser().ParseItems(text, out);
        }
        return out;
    }();
    return items;
}

std::vector<FeedRule> TwentyRules() {
    std::vector<FeedRule> rules;
    for (const char* text : {"广告", "推广", "招聘", "震惊", "sponsored", "Giveaway", "webinar",
                             "优惠", "抽奖", "限时", "独家", "转载"})
        rules.push_back({.pattern = text});
    for (const char* text : {"点击领取", "unsubscribe", "affiliate link", "本文由"})
        rules.push_back({.field = RuleField::kDescription, .pattern = text});
    for (const char* expression :
         {R"(^\[(AD|PR)\])", "(免费|特价).*(下载|领取)", R"(\bv\d+\.\d+\.\d+-rc\d+\b)"})
        rules.push_back(
            {.match = RuleMatch::kRegex, .pattern = expression, .action = RuleAction::kDelete});
    rules.push_back({.field = RuleField::kLink,
                     .match = RuleMatch::kRegex,
                     .pattern = "utm_source=|/ads?/",
                     .action = RuleAction::kDelete});
    return rules;
}

void BM_TwentyRulesOverAReceive(benchmark::State& state) {
    const std::vector<FeedItem>& items = ReceivedItems();
    if (items.empty()) {
        state.SkipWithError("no feeds: run genfeeds.py or set QUILL_BENCH_FEEDS");
        return;
    }
    CChannelTree tree(CAppContext("/nonexistent"));
    CRuleFilter filter(TwentyRules(), {});
    filter.Focus(tree, 0);
    for (auto _ : state) {
        int hits = 0;
        for (const FeedItem& item : items) {
            const MergeVerdict verdict = filter.Judge(item);
            hits += verdict.drop || verdict.markRead;
        }
        benchmark::DoNotOptimize(hits);
    }
    state.counters["items"] = static_cast<double>(items.size());
}
BENCHMARK(BM_TwentyRulesOverAReceive)->Unit(benchmark::kMillisecond);

} // namespace
