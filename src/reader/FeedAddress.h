#pragma once

#include <string>

// The addresses a channel may subscribe to: http and https addresses that parse (by libcurl's
// URL parser, the one that later fetches them), and the feed: forms that browsers hand over.
class CFeedAddress {
public:
    // The address to store, or false when the text is none of these. "feed://host/x" becomes
    // "http://host/x" and "feed:https://host/x" becomes "https://host/x"; an http or https
    // address is kept as typed.
    static bool Normalize(const std::string& text, std::string& address);

    static constexpr const char* kInvalidAddressText =
        "无效的RSS地址! 只能订阅 http, https 或 feed: 地址";
};
