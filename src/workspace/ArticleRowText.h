#pragma once

#include <ctime>
#include <string>
#include <string_view>

// The texts a row of the weblog article list shows, worked out from an article's fields.
class CArticleRowText {
public:
    static constexpr std::size_t kTitleLimit = 40;   // GBK bytes of a title
    static constexpr std::size_t kPreviewLimit = 60; // GBK bytes of the preview line

    // Cut to 100 GBK bytes, tags removed, "&nbsp;" "&lt;" "&gt;" dropped, "&quot;" made a
    // quote, line feeds dropped; longer than the limit: the first limit bytes and ". . .".
    static std::string Summary(std::string_view text, std::size_t limit);

    // The date group of a pubDate ("YYYY-MM-DD HH:MM:SS", local time) seen at the time now:
    // "将来" before 0 whole days, "今天" 0, "一周内" 1 to 5, "最近" 6 and more or unreadable.
    static std::string DateGroup(const std::string& pubDate, std::time_t now);

    // The current local time as "%Y-%m-%d %H:%M:%S".
    static std::string LocalTimeText(std::time_t now);
};
