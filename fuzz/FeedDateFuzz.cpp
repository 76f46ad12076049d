// The feed date normaliser: any text comes out in the one stored form.

#include "reader/FeedDate.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// "YYYY-MM-DD HH:MM:SS", the year of three or four digits (the parser takes 100 to 9999).
bool IsStoredForm(const std::string& text) {
    const std::string tail = "-00-00 00:00:00";
    size_t yearDigits = text.size() - tail.size();
    if (text.size() < tail.size() || yearDigits < 3 || yearDigits > 4)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char expected = i < yearDigits ? '0' : tail[i - yearDigits];
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (expected == '0' ? !digit : text[i] != expected)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    FeedDateTime parsed;
    CFeedDate::Parse(text, parsed);
    CFeedDate::Normalize(text);
    if (!IsStoredForm(text)) {
        std::fprintf(stderr, "normalised to \"%s\"\n", text.c_str());
        std::abort();
    }
    return 0;
}
