#include "reader/FeedDate.h"

#include "platform/text/AsciiText.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos)) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

// Position of the first ":" that stands between two digits (the clock time), npos when none.
size_t ClockColon(std::string_view text) {
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == ':' && IsDigit(text[i - 1]) && IsDigit(text[i + 1]))
            return i;
    }
    return std::string_view::npos;
}

// Position of a "-hh", "-hhmm" or "-hh:mm" zone offset after the clock time (right after its
// digits or after a blank), npos when there is none. Hyphens of a date are never taken.
size_t NegativeOffset(std::string_view text) {
    size_t colon = ClockColon(text);
    if (colon == std::string_view::npos)
        return std::string_view::npos;
    for (size_t minus = text.find('-', colon); minus != std::string_view::npos;
         minus = text.find('-', minus + 1)) {
        char before = text[minus - 1];
        if (!IsDigit(before) && before != ' ')
            continue;
        size_t i = minus + 1;
        size_t digits = 0;
        while (i < text.size() && (IsDigit(text[i]) || (text[i] == ':' && digits == 2))) {
            digits += IsDigit(text[i]) ? 1 : 0;
            ++i;
        }
        if ((digits == 2 || digits == 4) && (i == text.size() || !IsDigit(text[i])))
            return minus;
    }
    return std::string_view::npos;
}

int MonthFromWord(const std::string& word) {
    static const std::array<const char*, 12> kShort = {"jan", "feb", "mar", "apr", "may", "jun",
                                                       "jul", "aug", "sep", "oct", "nov", "dec"};
    static const std::array<const char*, 12> kLong = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    for (int m = 0; m < 12; ++m) {
        if (word == kShort[m] || word == kLong[m])
            return m + 1;
    }
    if (word == "sept")
        return 9;
    return 0;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

struct Number {
    int value;
    size_t digits;
};

int FullYear(const Number& n) {
    if (n.digits <= 2)
        return n.value < 50 ? 2000 + n.value : 1900 + n.value;
    return n.value;
}

bool LooksLikeYear(const Number& n) {
    return n.digits >= 3 || n.value > 31;
}

// Reads "H:MM[:SS[.fff]] [AM|PM]" at the colon; on success blanks it out of the text.
bool TakeTime(std::string& text, FeedDateTime& out) {
    size_t colon = ClockColon(text);
    if (colon == std::string::npos)
        return true; // no clock time: midnight
    size_t start = colon;
    while (start > 0 && IsDigit(text[start - 1]) && colon - start < 2)
        --start;
    if (start > 0 && IsDigit(text[start - 1]))
        return false; // three or more digits before the colon
    auto readTwo = [&](size_t at, int& value) {
        if (at >= text.size() || !IsDigit(text[at]))
            return size_t(0);
        size_t n = 0;
        value = 0;
        while (at + n < text.size() && IsDigit(text[at + n]) && n < 2) {
            value = value * 10 + (text[at + n] - '0');
            ++n;
        }
        if (at + n < text.size() && IsDigit(text[at + n]))
            return size_t(0);
        return n;
    };
    int hour = 0;
    for (size_t i = start; i < colon; ++i)
        hour = hour * 10 + (text[i] - '0');
    int minute = 0;
    int second = 0;
    size_t end = colon + 1;
    size_t n = readTwo(end, minute);
    if (n != 2)
        return false;
    end += n;
    if (end + 1 < text.size() && text[end] == ':' && IsDigit(text[end + 1])) {
        n = readTwo(end + 1, second);
        if (n != 2)
            return false;
        end += 1 + n;
        if (end + 1 < text.size() && (text[end] == '.' || text[end] == ',') &&
            IsDigit(text[end + 1])) {
            ++end;
            while (end < text.size() && IsDigit(text[end]))
                ++end;
        }
    }
    // An AM/PM marker, after optional blanks.
    size_t marker = end;
    while (marker < text.size() && text[marker] == ' ')
        ++marker;
    if (marker + 1 < text.size() &&
        (marker + 2 == text.size() || !IsAsciiLetter(text[marker + 2]))) {
        std::string word = AsciiLower(std::string_view(text).substr(marker, 2));
        if (word == "am" || word == "pm") {
            if (hour < 1 || hour > 12)
                return false;
            hour = hour % 12 + (word == "pm" ? 12 : 0);
            end = marker + 2;
        }
    }
    if (hour > 23 || minute > 59 || second > 60)
        return false;
    out.hour = hour;
    out.minute = minute;
    out.second = second == 60 ? 59 : second; // a leap second stays in its minute
    text.replace(start, end - start, end - start, ' ');
    return true;
}

} // namespace

bool CFeedDate::Parse(std::string_view input, FeedDateTime& out) {
    FeedDateTime result;
    std::string text(input);
    if (!TakeTime(text, result))
        return false;

    // What is left is the date: numbers, perhaps a month name; weekday and zone names and
    // separators (blanks, "-", "/", ".", ",", 年, 月, 日) are passed over.
    std::vector<Number> numbers;
    int month = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsDigit(c)) {
            Number n{0, 0};
            while (i < text.size() && IsDigit(text[i])) {
                if (n.digits >= 4)
                    return false; // "20060307" and longer runs are not dates here
                n.value = n.value * 10 + (text[i] - '0');
                ++n.digits;
                ++i;
            }
            numbers.push_back(n);
        } else if (IsAsciiLetter(c)) {
            size_t start = i;
            while (i < text.size() && IsAsciiLetter(text[i]))
                ++i;
            std::string word = AsciiLower(std::string_view(text).substr(start, i - start));
            if (int m = MonthFromWord(word)) {
                if (month)
                    return false;
                month = m;
            }
        } else {
            ++i;
        }
    }

    int year = 0;
    int day = 0;
    if (month) {
        if (numbers.size() != 2)
            return false;
        const Number& a = numbers[0];
        const Number& b = numbers[1];
        if (LooksLikeYear(a) && !LooksLikeYear(b)) {
            year = FullYear(a);
            day = b.value;
        } else {
            // "07 Mar 2006", "Mar 07 2006": the day comes first.
            year = FullYear(b);
            day = a.value;
        }
    } else {
        if (numbers.size() != 3)
            return false;
        const Number& a = numbers[0];
        const Number& b = numbers[1];
        const Number& c = numbers[2];
        if (LooksLikeYear(a) || !LooksLikeYear(c)) {
            year = FullYear(a);
            month = b.value;
            day = c.value;
        } else if (a.value > 12) {
            day = a.value;
            month = b.value;
            year = FullYear(c);
        } else {
            month = a.value;
            day = b.value;
            year = FullYear(c);
        }
    }
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysIn(year, month))
        return false;
    result.year = year;
    result.month = month;
    result.day = day;
    out = result;
    return true;
}

std::string CFeedDate::Format(const FeedDateTime& d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d-%.2d-%.2d %.2d:%.2d:%.2d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    return buffer;
}

std::string CFeedDate::Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string CFeedDate::ToRfc822(std::string_view stored) {
    FeedDateTime date;
    if (!Parse(stored, date))
        return {};
    std::tm local{.tm_sec = date.second,
                  .tm_min = date.minute,
                  .tm_hour = date.hour,
                  .tm_mday = date.day,
                  .tm_mon = date.month - 1,
                  .tm_year = date.year - 1900,
                  .tm_isdst = -1};
    // mktime fills in the weekday and the offset in force on that day.
    if (std::mktime(&local) == static_cast<std::time_t>(-1))
        return {};
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offset = local.tm_gmtoff / 60;
    const long minutes = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %.2d %s %.4d %.2d:%.2d:%.2d %c%.2ld%.2ld",
                  kDays[local.tm_wday], date.day, kMonths[date.month - 1], date.year, date.hour,
                  date.minute, date.second, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return buffer;
}

void CFeedDate::Normalize(std::string& text) {
    ReplaceAll(text, "GMT", "");
    if (size_t comma = text.find(','); comma != std::string::npos)
        text.erase(0, comma + 1);
    if (size_t plus = text.find('+'); plus != std::string::npos)
        text.erase(plus);
    // A negative offset is a zone as much as a positive one: the clock time stays as written.
    if (size_t minus = NegativeOffset(text); minus != std::string::npos)
        text.erase(minus);
    if (text.find('Z') != std::string::npos) {
        ReplaceAll(text, "Z", "");
        ReplaceAll(text, "T", " ");
    }
    ReplaceAll(text, "T", " ");

    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);

    FeedDateTime date;
    if (Parse(text, date)) {
        text = Format(date);
        return;
    }
    if (text.size() >= 7) {
        std::string hyphenated = text;
        hyphenated.insert(4, "-");
        hyphenated.insert(7, "-");
        if (Parse(hyphenated, date)) {
            text = Format(date);
            return;
        }
    }
    text = Now();
}
