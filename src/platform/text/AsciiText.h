#pragma once

#include <string>
#include <string_view>

// ASCII-only helpers for protocol words, names of encodings and markers: they never look at the
// locale and leave every byte of a multibyte character as it is.

// The text with A-Z turned into a-z.
std::string AsciiLower(std::string_view text);

// The text without the blanks, tabs, line ends, form feeds and vertical tabs at either end.
std::string_view Trim(std::string_view text);
