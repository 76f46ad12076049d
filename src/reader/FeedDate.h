#pragma once

#include <string>
#include <string_view>

// A calendar date and clock time as a feed writes it; no zone is attached or applied.
struct FeedDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Dates of feed items and weblog posts, brought to the one form that the stores sort and the
// lists show: "YYYY-MM-DD HH:MM:SS" (the clock time written in the source, no zone conversion).
class CFeedDate {
public:
    // Rewrites the text in place:
    //  1. every "GMT" is removed;
    //  2. everything up to and including the first "," is removed (a leading weekday);
    //  3. a zone offset after the clock time is removed, "+0800" and "-0500" alike;
    //  4. if a "Z" is left, every "Z" is removed and every "T" becomes a blank;
    //  5. if a "T" is left, every "T" becomes a blank;
    //  6. the rest is read by Parse;
    //  7. failing that, "-" is put at positions 4 and 7 ("20060307 09:05:00") and it is read
    //     again;
    //  8. failing that, the date becomes the current local time.
    static void Normalize(std::string& text);

    // Reads a date and time once steps 1 to 5 have run. Accepted: "2006-03-07 09:05:00",
    // "2006/3/7 9:05", "2006年3月7日 9:05", "07 Mar 2006 09:05:00", "7-Mar-06 9:05 PM",
    // "Mar 07 2006 09:05", "3/7/2006 09:05", with the time optional (midnight), seconds
    // optional, fractions of a second ignored, a weekday name and a trailing zone name
    // ("UTC", "EST", ...) skipped. Two-digit years are 1950 to 2049. False for anything else,
    // including a time without a date and a date that does not exist (2006-02-30).
    static bool Parse(std::string_view text, FeedDateTime& out);

    static std::string Format(const FeedDateTime& date);
    static std::string Now();
    // A stored date as RSS and OPML files write it (RFC 822), the clock time taken as local
    // time with this machine's offset: "Mon, 07 Dec 2026 03:04:05 +0800". "" when the text is
    // no date Parse reads.
    static std::string ToRfc822(std::string_view stored);
};

// The name the rest of the program calls it by.
inline void NormalizeFeedDate(std::string& text) {
    CFeedDate::Normalize(text);
}
