// The feed parser on arbitrary bytes: RSS, RDF and Atom through the strict reading and, when it
// refuses, the lenient one; once whole and once streamed in small parts, as receiving does.

#include "FuzzSupport.h"
#include "reader/FeedParser.h"

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

    CFeedParser whole;
    whole.SetBaseUrl("http://feed.example/dir/feed.xml");
    whole.SetKeepItemsWithoutLink(true);
    std::vector<FeedItem> items;
    whole.ParseItems(text, items);
    whole.ParseTitle(text);

    // Streamed, with the answer claiming a charset of its own, as a server may.
    CFeedParser streamed;
    streamed.SetBaseUrl("http://feed.example/");
    streamed.SetTransportCharset(size % 2 ? "ISO-8859-1" : "gb2312");
    CCountingSink sink;
    streamed.ParseItems(text, sink, 3);
    return 0;
}
