#pragma once

// Texts in other encodings, for the tests that read or write them.

#include "platform/text/TextCodec.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>

// UTF-8 text in another encoding (iconv's name for it); a failed conversion fails the test.
inline std::string Encode(const std::string& utf8, const char* encoding) {
    std::string out;
    EXPECT_TRUE(CTextCodec::Convert(utf8, "UTF-8", encoding, out)) << encoding;
    return out;
}

// A page with every decimal character reference (&#20013;) turned back into UTF-8.
inline std::string DecodeReferences(const std::string& html) {
    static const std::regex reference("&#([0-9]+);");
    std::string out;
    size_t last = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
         it != std::sregex_iterator(); ++it) {
        out.append(html, last, it->position() - last);
        CTextCodec::AppendUtf8(out, static_cast<char32_t>(std::stoul((*it)[1].str())));
        last = it->position() + it->length();
    }
    return out.append(html, last, std::string::npos);
}
