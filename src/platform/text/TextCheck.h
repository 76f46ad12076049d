#pragma once

#include <initializer_list>
#include <string_view>

// The check that every value typed by the user passes before it goes into a file or a store:
// the text must be valid UTF-8 and hold no control character other than tab and newline (XML
// cannot hold the others, so a file that took one could never be read again).
class CTextCheck {
public:
    static bool IsCleanText(std::string_view text);
    // True when every text is clean.
    static bool AreCleanTexts(std::initializer_list<std::string_view> texts);

    // What the windows and the command line show for a refused value.
    static constexpr const char* kInvalidCharactersText = "您输入了无效的字符!";
};
