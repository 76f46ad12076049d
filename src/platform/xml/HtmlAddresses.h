#pragma once

#include <string>
#include <string_view>

// The addresses inside a piece of HTML (an item's description): href and src attributes that are
// relative are made absolute against a base, so that the piece still leads where its author
// meant when it is shown away from the page it came from.
class CHtmlAddresses {
public:
    // True when some href or src attribute in the text holds a relative address. A quick look
    // at the text, without parsing it: most descriptions have none and stay as they are.
    static bool HasRelative(std::string_view html);
    // The piece with its relative href and src values resolved against base (RFC 3986), read
    // and written back by libxml2's HTML parser. The piece as it is when base is empty, when it
    // holds nothing relative, or when it cannot be read.
    static std::string Resolve(std::string_view html, std::string_view base);
    // True when the address names a scheme ("http:", "mailto:", "data:").
    static bool HasScheme(std::string_view url);
};
