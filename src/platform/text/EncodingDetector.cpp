#include "platform/text/EncodingDetector.h"

#include "platform/text/AsciiText.h"
#include "platform/text/TextCodec.h"

#include <algorithm>
#include <memory>
#include <uchardet/uchardet.h>

namespace {

// What the detector sees at most: enough for a sure guess, and a bound on its time.
constexpr size_t kSampleBytes = 256 * 1024;

struct CDetectorDeleter {
    void operator()(uchardet_t detector) const { uchardet_delete(detector); }
};

// A few Chinese words look like Latin-1 to the detector. Chinese text in GB18030 has its bytes
// above 0x7F in pairs (or fours) that decode; a Western text has lone ones between letters.
bool PairedHighBytes(std::string_view bytes) {
    size_t run = 0;
    bool any = false;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ++run;
            any = true;
            continue;
        }
        if (run % 2 != 0)
            return false;
        run = 0;
    }
    std::string utf8;
    return any && run % 2 == 0 && CTextCodec::DecodeExactly(bytes, "GB18030", utf8);
}

} // namespace

std::string CEncodingDetector::Detect(std::string_view bytes) {
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, CDetectorDeleter> detector(uchardet_new());
    if (!detector)
        return "GB18030";
    const size_t length = std::min(bytes.size(), kSampleBytes);
    uchardet_handle_data(detector.get(), bytes.data(), length);
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    const std::string guess = AsciiLower(name ? name : "");

    if (guess.empty() || guess == "ascii" || guess == "gb2312" || guess == "gbk" ||
        guess == "gb18030" || guess == "euc-cn" || guess == "hz-gb-2312" ||
        guess == "iso-2022-cn" || guess == "euc-tw")
        return "GB18030";
    if (guess == "big5" || guess == "big5-hkscs")
        return "CP950";
    if (guess == "shift_jis" || guess == "sjis")
        return "CP932";
    if (guess == "euc-kr" || guess == "uhc")
        return "CP949";
    if (guess == "iso-8859-1" || guess == "iso-8859-15" || guess == "windows-1252")
        return PairedHighBytes(bytes) ? "GB18030" : "WINDOWS-1252";
    return name;
}
