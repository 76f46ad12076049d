// The text codecs: GBK and UTF-8 both ways, the byte-length cuts, the lenient and exact
// decoders, the windows-1252 mending and the encoding guess.

#include "platform/text/EncodingDetector.h"
#include "platform/text/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::string utf8 = CTextCodec::GbkToUtf8(bytes);
    if (!CTextCodec::IsValidUtf8(utf8))
        std::abort(); // the decoder promises UTF-8
    std::string gbk = CTextCodec::Utf8ToGbk(utf8, true);
    CTextCodec::GbkByteLength(bytes);
    std::string cut = CTextCodec::CutGbkBytes(bytes, size / 2);
    if (CTextCodec::GbkByteLength(cut) > size / 2)
        std::abort();
    std::string lenient = CTextCodec::ToUtf8Lenient(bytes);
    CTextCodec::MapC1ToWindows1252(lenient);
    std::string out;
    CTextCodec::DecodeExactly(bytes, "windows-1252", out);
    CTextCodec::Convert(bytes, "EUC-JP", "UTF-8", out);
    size_t pos = 0;
    while (pos < bytes.size())
        CTextCodec::NextCodePoint(bytes, pos);
    CEncodingDetector::Detect(bytes);
    return 0;
}
