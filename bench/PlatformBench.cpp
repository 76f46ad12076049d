// The platform layer's hot paths: code-page conversion of feed-sized text, and walking the
// items of a large document.
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string ChineseText(size_t characters) {
    std::string text;
    const char* sample = "新闻阅读器测试文本，含有 ASCII words 与标点。";
    while (CTextCodec::GbkByteLength(text) < characters * 2)
        text += sample;
    return text;
}

void BM_Utf8ToGbk(benchmark::State& state) {
    std::string text = ChineseText(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(CTextCodec::Utf8ToGbk(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToGbk)->Arg(1000)->Arg(100000);

void BM_GbkToUtf8(benchmark::State& state) {
    std::string gbk = CTextCodec::Utf8ToGbk(ChineseText(static_cast<size_t>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(CTextCodec::GbkToUtf8(gbk));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(BM_GbkToUtf8)->Arg(1000)->Arg(100000);

std::string FeedText(int items) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>t</title>";
    for (int i = 0; i < items; ++i) {
        xml += "<item><title>标题 " + std::to_string(i) + "</title><link>http://example.com/" +
               std::to_string(i) + "</link><description>" + ChineseText(200) +
               "</description></item>";
    }
    return xml + "</channel></rss>";
}

void BM_ParseAndWalkItems(benchmark::State& state) {
    std::string xml = FeedText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CXmlDocument doc;
        doc.LoadText(xml);
        size_t total = 0;
        CXmlNode channel = doc.SelectNode("/rss/channel");
        for (CXmlNode item = channel.Child("item"); item; item = item.NextSibling())
            total += item.Child("link").GetText().size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ParseAndWalkItems)->Arg(50)->Arg(1000);

} // namespace
