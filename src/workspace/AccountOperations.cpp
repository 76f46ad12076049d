#include "workspace/AccountOperations.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "storage/ArticleDatabase.h"

#include <algorithm>
#include <vector>

bool CAccountOperations::RemoveAccount(const CAppContext& context, const std::string& name,
                                       CArticleDatabase& store) {
    // The account must be there, and its file readable, before anything is removed.
    std::vector<AccountRecord> accounts;
    if (!context.Accounts().ListAccounts(accounts))
        return false;
    if (std::none_of(accounts.begin(), accounts.end(),
                     [&](const AccountRecord& account) { return account.name == name; })) {
        context.Reporter().ReportError(kErrAccountDelete);
        return false;
    }
    if (StoreResult removed = store.DeleteAccountArticles(name); !removed) {
        context.Reporter().ReportMessage(std::string(kRemoveFailedText) + " " + removed.reason);
        return false;
    }
    return context.Accounts().DeleteAccount(name) != 0;
}
