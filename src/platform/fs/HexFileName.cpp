#include "platform/fs/HexFileName.h"

std::string HexFileName(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name;
    name.reserve(text.size() * 2);
    for (unsigned char c : text) {
        name += kDigits[c >> 4];
        name += kDigits[c & 0x0f];
    }
    return name;
}
