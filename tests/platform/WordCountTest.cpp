#include "platform/text/WordCount.h"

#include <gtest/gtest.h>

TEST(WordCount, ChineseCharactersAreWordsAndOtherWordsAreRuns) {
    struct Case {
        const char* text;
        WordCounts counts;
    };
    const Case cases[] = {
        {"", {}},
        {"  \n\t", {}},
        {"你好,世界", {.words = 4, .characters = 5}},
        {"Hello world, don't e-mail me", {.words = 5, .characters = 24}},
        {"我用Linux写了3篇 blog", {.words = 8, .characters = 15}},
        {"café 2026 年", {.words = 3, .characters = 9}},
        {"全角　空格", {.words = 4, .characters = 4}},
        {"\xff\xfe ok", {.words = 2, .characters = 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CWordCount::Count(c.text), c.counts) << c.text;
}
