#pragma once

#include <string>
#include <string_view>

// Guesses the encoding of text that does not say which one it is in (or says it wrongly), with
// uchardet. Only for text that needs it: a guess reads the whole text once more.
class CEncodingDetector {
public:
    // The iconv name of the encoding the bytes most likely use. Chinese text is read as GB18030,
    // the superset of GB2312 and GBK, whenever the detector names a simplified Chinese encoding
    // (or EUC-TW, which it names for short GB texts) or has no guess; Big5 stays Big5 (as CP950,
    // its superset). Japanese, Korean and Latin-1 guesses are widened the same way (CP932,
    // CP949, windows-1252).
    static std::string Detect(std::string_view bytes);
};
