// The search index's tokenizer on any bytes, as a received item (HTML) and as a keyword.

#include "storage/SearchTokenizer.h"

#include <cstddef>
#include <cstdint>
#include <sqlite3.h>
#include <string_view>

namespace {

// One in-memory connection for the run: the tokenizer borrows its FTS5 word splitter.
sqlite3* Connection() {
    static sqlite3* db = [] {
        sqlite3* opened = nullptr;
        sqlite3_open(":memory:", &opened);
        return opened;
    }();
    return db;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const CSearchTokenizer tokenizer(Connection());
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto purpose : {CSearchTokenizer::Purpose::kDocument, CSearchTokenizer::Purpose::kQuery})
        tokenizer.Tokenize(text, purpose,
                           [](const CSearchTokenizer::Token&) { return SQLITE_OK; });
    CSearchTokenizer::VisibleText(text);
    return 0;
}
