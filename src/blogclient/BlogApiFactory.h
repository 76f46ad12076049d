#pragma once

#include "blogclient/BloggerApi.h"

#include <functional>
#include <memory>
#include <string>

class CAppContext;

// Makes the interface object for an account's service type.
class CBlogApiFactory {
public:
    // "Blogger", "MetaWeblog", "MovableType", "MSN Spaces" or "WordPress REST"; nullptr for any
    // other text.
    static std::unique_ptr<CBloggerApi> Create(const std::string& blogapitype);
    // The object for an account stored in the context's program directory, bound to it with
    // the directory's connection settings. nullptr when the account cannot be read (reported
    // by the account store) or its type is unknown (reported as kUnknownTypeText).
    static std::unique_ptr<CBloggerApi> CreateForAccount(const CAppContext& context,
                                                         const std::string& accountName);
    // CreateForAccount over a copy of the context, for the use-cases that take a factory.
    static std::function<std::unique_ptr<CBloggerApi>(const std::string& account)>
    AccountFactory(const CAppContext& context);
    // The program directory's templates, proxy and trace file, read without showing anything:
    // a directory without a settings file simply has no proxy and no trace file.
    static BlogConnection ReadConnection(const CAppContext& context);

    static constexpr const char* kUnknownTypeText = "无匹配的blog类型!";
};
