#include "platform/text/TextCodec.h"
#include "platform/text/TextCheck.h"

#include <gtest/gtest.h>

TEST(TextCodec, GbkRoundTripKeepsChineseAndAsciiAndBadBytesDoNotStopIt) {
    const std::string text = "中文标题 ABC-123 《书名》，句号。堃喆";
    std::string gbk = CTextCodec::Utf8ToGbk(text);
    EXPECT_EQ(gbk.substr(0, 2), "\xD6\xD0"); // 中
    EXPECT_FALSE(CTextCodec::IsValidUtf8(gbk));
    EXPECT_EQ(CTextCodec::GbkToUtf8(gbk), text);
    EXPECT_EQ(CTextCodec::ToUtf8Lenient(gbk), text);
    EXPECT_EQ(CTextCodec::ToUtf8Lenient(text), text);
    // 0xFF never starts a GBK character; what follows must still come through.
    EXPECT_EQ(CTextCodec::GbkToUtf8("a\xFF\xD6\xD0z"), "a\xEF\xBF\xBD中z");
}

TEST(TextCodec, CharactersOutsideGbkBecomeReferencesOrQuestionMarks) {
    const std::string text = "笑\xF0\x9F\x98\x80!"; // 笑😀!
    EXPECT_EQ(CTextCodec::Utf8ToGbk(text, true), "\xD0\xA6&#128512;!");
    EXPECT_EQ(CTextCodec::Utf8ToGbk(text, false), "\xD0\xA6?!");
    EXPECT_TRUE(CTextCodec::IsGbkEncodable(U'笑'));
    EXPECT_FALSE(CTextCodec::IsGbkEncodable(0x1F600));
    // GBK's one-byte euro sign cannot be read back as GB18030, the way "gb2312" files are read.
    EXPECT_EQ(CTextCodec::Utf8ToGbk("\xE2\x82\xAC 5", true), "&#8364; 5");
    EXPECT_FALSE(CTextCodec::IsGbkEncodable(0x20AC));
}

TEST(TextCodec, ByteLengthCountsTwoForEveryNonAsciiCharacterAndCutsKeepThemWhole) {
    EXPECT_EQ(CTextCodec::GbkByteLength(""), 0u);
    EXPECT_EQ(CTextCodec::GbkByteLength("ab"), 2u);
    EXPECT_EQ(CTextCodec::GbkByteLength("ab中文"), 6u);
    // A cut never splits a character.
    EXPECT_EQ(CTextCodec::CutGbkBytes("ab中文", 3), "ab");
    EXPECT_EQ(CTextCodec::CutGbkBytes("ab中文", 4), "ab中");
    EXPECT_EQ(CTextCodec::CutGbkBytes("ab中文", 5), "ab中");
    EXPECT_EQ(CTextCodec::CutGbkBytes("ab中文", 6), "ab中文");
    EXPECT_EQ(CTextCodec::CutGbkBytes("ab中文", 100), "ab中文");
    EXPECT_EQ(CTextCodec::CutGbkBytes("中", 1), "");
    // 40 bytes of a Chinese title are 20 characters.
    std::string title;
    for (int i = 0; i < 30; ++i)
        title += "字";
    EXPECT_EQ(CTextCodec::GbkByteLength(CTextCodec::CutGbkBytes(title, 40)), 40u);
}

TEST(TextCodec, Utf8ValidationRejectsMalformedSequences) {
    EXPECT_TRUE(CTextCodec::IsValidUtf8("plain"));
    EXPECT_TRUE(CTextCodec::IsValidUtf8("中文\xF0\x9F\x98\x80"));
    EXPECT_TRUE(CTextCodec::IsValidUtf8("\xEF\xBF\xBD"));  // U+FFFD written as such
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xC0\x80"));     // overlong NUL
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xE4\xB8"));     // cut short
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xE0\x80\xAF"));     // overlong in three bytes
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xF0\x8F\xBF\xBF")); // overlong in four bytes
    EXPECT_FALSE(CTextCodec::IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_TRUE(CTextCodec::IsValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF itself
    EXPECT_TRUE(CTextCodec::IsValidUtf8("\xED\x9F\xBF"));      // U+D7FF, just below them

    // Long ASCII runs are read a word at a time: a fault anywhere, also right after a run or
    // cut short at the very end, is still found, and a NUL byte is text like any other.
    const std::string run(37, 'a');
    for (size_t at = 0; at <= run.size(); ++at) {
        std::string text = run;
        text.insert(at, "\xC3\xA9");
        EXPECT_TRUE(CTextCodec::IsValidUtf8(text)) << at;
        text = run;
        text.insert(at, "\xC3");
        EXPECT_FALSE(CTextCodec::IsValidUtf8(text)) << at;
    }
    EXPECT_TRUE(CTextCodec::IsValidUtf8(std::string("abcdefgh\0ijklmnop", 17)));
    EXPECT_FALSE(CTextCodec::IsValidUtf8(run + "\xE4\xB8"));
}

TEST(TextCheck, RefusesControlCharactersAndBrokenUtf8) {
    for (const char* good : {"", "abc", "中文 标题", "tab\there", "two\nlines",
                             "笑\xF0\x9F\x98\x80", "\xEF\xBF\xBD", "<b>&amp;</b>"})
        EXPECT_TRUE(CTextCheck::IsCleanText(good)) << good;
    for (const char* bad : {"a\x01"
                            "b",
                            "cr\r", "esc\x1B", "del\x7F",
                            "k\xE9"
                            "ep",
                            "\xC2\x85", "\xED\xA0\x80", "\xEF\xBF\xBF", "cut\xE4\xB8", "\xC0\xAF"})
        EXPECT_FALSE(CTextCheck::IsCleanText(bad)) << bad;
    EXPECT_TRUE(CTextCheck::AreCleanTexts({"a", "b"}));
    EXPECT_FALSE(CTextCheck::AreCleanTexts({"a", "b\x02"}));
}
