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

std::unique_ptr<CBloggerApi> CBlogApiFactory::CreateForAccount(const std::string& accountName) {
    AccountRecord account;
    if (!CAppContext::Process().Accounts().GetAccount(accountName, account))
        return nullptr;
    std::unique_ptr<CBloggerApi> api = Create(account.blogapitype);
    if (!api) {
        GetReporter().ReportMessage(kUnknownTypeText);
        return nullptr;
    }
    api->Bind(account);
    return api;
}
