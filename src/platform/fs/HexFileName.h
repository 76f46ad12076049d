#pragma once

#include <string>
#include <string_view>

// A file name that stands for any text (an account name may hold slashes, dots, spaces and
// characters no file system takes): the bytes of the text in lower-case hexadecimal.
std::string HexFileName(std::string_view text);
