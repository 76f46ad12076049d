// JSON Feed documents: parsed as served as JSON and as found by their text alone, then read
// item by item.

#include "FuzzSupport.h"
#include "reader/FeedParser.h"
#include "reader/JsonFeed.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

class CCountingSink : public CFeedItemSink {
public:
    bool OnItems(std::vector<FeedItem>& items) override {
        m_count += items.size();
        return true;
    }
    void OnRestart() override { m_count = 0; }

private:
    size_t m_count = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUpFuzzProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool servedAsJson : {true, false}) {
        CJsonFeed feed;
        if (!feed.Load(text, servedAsJson, servedAsJson ? "" : "windows-1252"))
            continue;
        feed.Title();
        CCountingSink sink;
        size_t handed = 0;
        feed.ReadItems("http://feed.example/a/feed.json", servedAsJson, sink, 4, handed);
    }
    // Through the feed parser, as an answer served as application/feed+json.
    CFeedParser parser;
    parser.SetContentType("application/feed+json");
    std::vector<FeedItem> items;
    parser.ParseItems(text, items);
    return 0;
}
