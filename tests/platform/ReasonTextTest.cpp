#include "platform/text/ReasonText.h"

#include <gtest/gtest.h>

TEST(ReasonText, ArgumentsFillThePlacesAndStatusesSayWhatTheyMean) {
    EXPECT_EQ(CReasonText::Text(Reason::kTransferStalled, {"64", "30"}),
              "传输停滞: 30 秒内每秒不到 64 字节");
    // A missing argument leaves its place empty; extra ones are ignored.
    EXPECT_EQ(CReasonText::Text(Reason::kCannotConnect), "无法连接到 ");
    EXPECT_EQ(CReasonText::Text(Reason::kCancelled, {"x"}), "已取消");
    // The library's own words stay as they came, braces included.
    EXPECT_EQ(CReasonText::Text(Reason::kTransferFailed, {"{0} closed"}), "传输失败: {0} closed");

    EXPECT_EQ(CReasonText::HttpStatus(404), "HTTP 404 (页面不存在)");
    EXPECT_EQ(CReasonText::HttpStatus(599), "HTTP 599 (服务器出错)");
    EXPECT_EQ(CReasonText::HttpStatus(499), "HTTP 499 (请求被拒绝)");
    EXPECT_EQ(CReasonText::HttpStatus(304), "HTTP 304 (未跟随的重定向)");
    EXPECT_EQ(CReasonText::HttpStatus(0), "HTTP 0");
}
