#include "ui/blog/AccountSetupCommands.h"

#include "ui/app/CommandTable.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/AccountWizard.h"
#include "ui/blog/PropertySheetAccountSetup.h"
#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"

void CAccountSetupCommands::Register(CCommandTable& commands, QWidget* window,
                                     std::function<std::string()> currentAccount,
                                     std::function<void(int, int)> treeUpdate) {
    commands.Handle(kCmdNewAccount, [window, treeUpdate] {
        CAccountWizard wizard(window);
        wizard.SetAddedHandler([treeUpdate](const std::string&) {
            treeUpdate(-1, CAccountTreeCtrl::kUpdateAccountAdded);
        });
        wizard.exec();
    });
    const auto openSheet = [window, currentAccount, treeUpdate] {
        const std::string account = currentAccount();
        if (account.empty())
            return;
        CPropertySheetAccountSetup sheet(account, treeUpdate, window);
        sheet.exec();
    };
    const auto needsAccount = [currentAccount] {
        return currentAccount().empty() ? QStringLiteral("请先在左侧选择一个账户") : QString();
    };
    for (int id : {kCmdAccountSettings, kCmdAccountProperties}) {
        commands.Handle(id, openSheet);
        commands.SetAvailability(id, needsAccount);
    }
}
