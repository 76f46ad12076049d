#include "workspace/AccountOperations.h"

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "storage/ArticleDatabase.h"

#include <algorithm>
#include <vector>

bool CAccountOperations::RemoveAccount(const std::string& name, CArticleDatabase& store) {
    // The account must be there, and its file readable, before anything is removed.
    std::vector<AccountRecord> accounts;
    if (!CAppContext::Process().Accounts().ListAccounts(accounts))
        return false;
    if (std::none_of(accounts.begin(), accounts.end(),
                     [&](const AccountRecord& account) { return account.name == name; })) {
        GetReporter().ReportError(kErrAccountDelete);
        return false;
    }
    if (StoreResult removed = store.DeleteAccountArticles(name); !removed) {
        GetReporter().ReportMessage(std::string(kRemoveFailedText) + " " + removed.reason);
        return false;
    }
    return CAppContext::Process().Accounts().DeleteAccount(name) != 0;
}
