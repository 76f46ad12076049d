#pragma once

#include "blogclient/BloggerApi.h"

#include <memory>
#include <string>

// Makes the interface object for an account's service type.
class CBlogApiFactory {
public:
    // "Blogger", "MetaWeblog", "MovableType", "MSN Spaces" or "WordPress REST"; nullptr for any
    // other text.
    static std::unique_ptr<CBloggerApi> Create(const std::string& blogapitype);
    // The object for a stored account, bound to it. nullptr when the account cannot be read
    // (reported by the account store) or its type is unknown (reported as kUnknownTypeText).
    static std::unique_ptr<CBloggerApi> CreateForAccount(const std::string& accountName);

    static constexpr const char* kUnknownTypeText = "无匹配的blog类型!";
};
