#include "platform/text/AsciiText.h"

#include <gtest/gtest.h>

TEST(AsciiText, LowersOnlyAsciiLettersAndTrimsAsciiSpace) {
    EXPECT_EQ(AsciiLower("GB2312 Text/HTML"), "gb2312 text/html");
    // The bytes of a multibyte character stay as they are, whatever the locale.
    EXPECT_EQ(AsciiLower("\xC3\x89T\xE6\x96\x87"), "\xC3\x89t\xE6\x96\x87");
    EXPECT_EQ(Trim(" \t\r\n 名称 x \f\v"), "名称 x");
    EXPECT_EQ(Trim(" \n\t "), "");
    EXPECT_EQ(Trim("\xC2\xA0"
                   "a"),
              "\xC2\xA0"
              "a")
        << "a no-break space is text, not ASCII space";
}
