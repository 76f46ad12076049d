#include "blogclient/BlogApiFactory.h"

#include "app/AppContext.h"
#include "app/Reporter.h"
#include "blogclient/MovableTypeApi.h"
#include "blogclient/MsnSpacesApi.h"
#include "blogclient/WordPressRestApi.h"

std::unique_ptr<CBloggerApi> CBlogApiFactory::Create(const std::string& blogapitype) {
    if (blogapitype == "Blogger")
        return std::make_unique<CBloggerApi>();
    if (blogapitype == "MetaWeblog")
        return std::make_unique<CMetaWeblogApi>();
    if (blogapitype == "MovableType")
        return std::make_unique<CMovableTypeApi>();
    if (blogapitype == "MSN Spaces")
        return std::make_unique<CMsnSpacesApi>();
    if (blogapitype == CWordPressRestApi::kTypeName)
        return std::make_unique<CWordPressRestApi>();
    return nullptr;
}

std::unique_ptr<CBloggerApi> CBlogApiFactory::CreateForAccount(const CAppContext& context,
                                                               const std::string& accountName) {
    AccountRecord account;
    if (!context.Accounts().GetAccount(accountName, account))
        return nullptr;
    std::unique_ptr<CBloggerApi> api = Create(account.blogapitype);
    if (!api) {
        context.Reporter().ReportMessage(kUnknownTypeText);
        return nullptr;
    }
    api->Bind(account, ReadConnection(context));
    return api;
}

std::function<std::unique_ptr<CBloggerApi>(const std::string& account)>
CBlogApiFactory::AccountFactory(const CAppContext& context) {
    return [context](const std::string& account) { return CreateForAccount(context, account); };
}

BlogConnection CBlogApiFactory::ReadConnection(const CAppContext& context) {
    BlogConnection connection{.programDir = context.Dir()};
    CSilentReporter silent;
    const CAppContext quiet = context.WithReporter(silent);
    const CAppSettings& settings = quiet.Settings();
    if (!settings.ReadProxySettings(connection.proxy))
        connection.proxy = ProxySettings();
    DebugSettings debug;
    if (settings.ReadDebugSettings(debug) && debug.use != 0)
        connection.debugPath = settings.DebugFilePath(debug.out);
    return connection;
}
