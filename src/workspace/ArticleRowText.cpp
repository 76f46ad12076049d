#include "workspace/ArticleRowText.h"

#include "platform/text/TextCodec.h"

#include <cstdio>

namespace {

void EraseAll(std::string& text, std::string_view what, std::string_view with = {}) {
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The start of the character before pos (UTF-8), or 0.
std::size_t PreviousCharacter(const std::string& text, std::size_t pos) {
    if (pos == 0)
        return 0;
    std::size_t at = pos - 1;
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
        --at;
    return at;
}

} // namespace

std::string CArticleRowText::Summary(std::string_view input, std::size_t limit) {
    std::string text = CTextCodec::GbkByteLength(input) > 100 ? CTextCodec::CutGbkBytes(input, 100)
                                                              : std::string(input);
    // A tag goes from "<" through the next ">"; one without an end takes the rest. The search
    // goes on one character before the cut, where the joined text may now open a tag.
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string::npos) {
        const std::size_t end = text.find('>', pos);
        if (end == std::string::npos) {
            text.erase(pos);
            break;
        }
        text.erase(pos, end - pos + 1);
        pos = PreviousCharacter(text, pos);
    }
    EraseAll(text, "&nbsp;");
    EraseAll(text, "&lt;");
    EraseAll(text, "&gt;");
    EraseAll(text, "&quot;", "\"");
    EraseAll(text, "\n");
    if (CTextCodec::GbkByteLength(text) > limit)
        text = CTextCodec::CutGbkBytes(text, limit) + ". . .";
    return text;
}

std::string CArticleRowText::DateGroup(const std::string& pubDate, std::time_t now) {
    std::tm when{};
    char rest = 0;
    if (std::sscanf(pubDate.c_str(), "%d-%d-%d %d:%d:%d%c", &when.tm_year, &when.tm_mon,
                    &when.tm_mday, &when.tm_hour, &when.tm_min, &when.tm_sec, &rest) < 6 ||
        when.tm_mon < 1 || when.tm_mon > 12 || when.tm_mday < 1 || when.tm_mday > 31)
        return "最近";
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    when.tm_isdst = -1;
    const std::time_t at = std::mktime(&when);
    if (at == static_cast<std::time_t>(-1))
        return "最近";
    // Whole days, cut toward zero: a time later today is still today.
    const long long days = static_cast<long long>(std::difftime(now, at)) / 86400;
    if (days < 0)
        return "将来";
    if (days == 0)
        return "今天";
    if (days <= 5)
        return "一周内";
    return "最近";
}

std::string CArticleRowText::LocalTimeText(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}
