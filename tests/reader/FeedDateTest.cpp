#include "reader/FeedDate.h"

#include <gtest/gtest.h>

namespace {

std::string Normalized(std::string text) {
    NormalizeFeedDate(text);
    return text;
}

void ExpectForms(const std::vector<std::pair<const char*, const char*>>& cases) {
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(Normalized(input), expected) << "from \"" << input << "\"";
}
// An unreadable date becomes the current local time (read before and after, in case the
// second turns between).
void ExpectNow(const std::string& input) {
    std::string before = CFeedDate::Now();
    std::string result = Normalized(input);
    std::string after = CFeedDate::Now();
    EXPECT_TRUE(result == before || result == after) << "from \"" << input << "\": " << result;
}

} // namespace

TEST(FeedDate, WrittenFormsKeepTheirClockTimeWithoutZoneOrFraction) {
    ExpectForms({
        // RFC 822, with zones, words and short years
        {"Tue, 07 Mar 2006 09:05:00 GMT", "2006-03-07 09:05:00"},
        {"Tue, 07 Mar 2006 09:05:00 +0800", "2006-03-07 09:05:00"},
        {"Tue, 07 Mar 2006 23:30:00 -0800", "2006-03-07 23:30:00"},
        {"Tue, 07 Mar 2006 23:30:00 -08:00", "2006-03-07 23:30:00"},
        {"Tue, 07 Mar 2006 09:05:00 EST", "2006-03-07 09:05:00"},
        {"Tue, 07 Mar 2006 09:05:00 UTC", "2006-03-07 09:05:00"},
        {"Tue, 7 Mar 2006 9:05 GMT", "2006-03-07 09:05:00"},
        {"Thu, 01 January 2004 19:48:21 GMT", "2004-01-01 19:48:21"},
        {"07 Mar 06 09:05:00 GMT", "2006-03-07 09:05:00"},
        {"07 Mar 99 09:05:00 GMT", "1999-03-07 09:05:00"},
        {"  \n Tue, 07 Mar 2006 09:05:00 GMT \n", "2006-03-07 09:05:00"},
        // ISO 8601
        {"2006-03-07T09:05:00Z", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05:00+08:00", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05:00-05:00", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05:00.123456Z", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05:00.5-05:00", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05Z", "2006-03-07 09:05:00"},
        {"2006-03-07T09:05:00", "2006-03-07 09:05:00"},
        {"2006-03-07", "2006-03-07 00:00:00"},
        // compact dates, and the local forms of the desktop
        {"20060307 09:05:00", "2006-03-07 09:05:00"},
        {"20060307T09:05:00Z", "2006-03-07 09:05:00"},
        {"2006-03-07 09:05:00", "2006-03-07 09:05:00"},
        {"2006/3/7 9:05:00", "2006-03-07 09:05:00"},
        {"2006年3月7日 09:05", "2006-03-07 09:05:00"},
        {"3/7/2006 9:05:00 PM", "2006-03-07 21:05:00"},
        {"25/12/2006 12:00 AM", "2006-12-25 00:00:00"},
        {"7-Mar-2006 12:30 pm", "2006-03-07 12:30:00"},
        {"Sat Mar 07 09:05:00 2009", "2009-03-07 09:05:00"},
        {"09:05 07-Mar-2006", "2006-03-07 09:05:00"},
        {"2004-02-29 23:59:59", "2004-02-29 23:59:59"},
        {"2006-12-31 23:59:60", "2006-12-31 23:59:59"},
    });
}

TEST(FeedDate, UnreadableDatesBecomeNow) {
    for (const char* input :
         {"", "   ", "yesterday", "09:05:00", "2006-02-30 10:00:00", "2005-02-29",
          "2006-13-01 10:00", "2006-03-07 24:00:00", "2006-03-07 10:61", "Mar 7, 2006 10:00",
          "\xE6\x98\x9F\xE6\x9C\x9F\xE4\xBA\x8C", "123456789012345678"})
        ExpectNow(input);
}

TEST(FeedDate, NormalFormStaysAsItIs) {
    std::string date = "2006-03-07 09:05:00";
    NormalizeFeedDate(date);
    NormalizeFeedDate(date);
    EXPECT_EQ(date, "2006-03-07 09:05:00");
    FeedDateTime parsed;
    ASSERT_TRUE(CFeedDate::Parse("0099-01-01", parsed) == false);
    ASSERT_TRUE(CFeedDate::Parse("9999-12-31 23:59:59", parsed));
    EXPECT_EQ(CFeedDate::Format(parsed), "9999-12-31 23:59:59");
}
