#include "ui/blog/AccountSetupCommands.h"

#include "ui/app/CommandTable.h"
#include "ui/blog/AccountTreeCtrl.h"
#include "ui/blog/AccountWizard.h"
#include "ui/blog/PropertySheetAccountSetup.h"
#include "ui/common/CommandIds.h"
#include "ui/common/UiText.h"

void CAccountSetupCommands::Register(CCommandTable& commands, QWidget* window,
                                     CAccountTreeCtrl* tree,
                                     std::function<void(int, int)> treeUpdate,
                                     std::function<void()> styleChanged) {
    commands.Handle(kCmdNewAccount, [window, tree, treeUpdate] {
        CAccountWizard wizard(tree->Context(), window);
        wizard.SetAddedHandler([treeUpdate](const std::string&) {
            treeUpdate(-1, CAccountTreeCtrl::kUpdateAccountAdded);
        });
        wizard.exec();
    });
    const auto openSheet = [window, tree, treeUpdate, styleChanged] {
        const std::string account = tree->CurrentAccount();
        // The sheet shows the service password and can lift the protection: the account's
        // login check comes first.
        if (account.empty() || !tree->LocalLoginCheck(account))
            return;
        // The tree's update names the account's node.
        const int code = tree->FolderCode(account, CAccountTreeCtrl::kNodeAccount);
        CPropertySheetAccountSetup sheet(
            tree->Context(), account,
            [treeUpdate, code](int, int update) { treeUpdate(code, update); }, window);
        if (styleChanged)
            QObject::connect(&sheet, &CPropertySheetAccountSetup::PreviewStyleChanged, &sheet,
                             styleChanged);
        sheet.exec();
    };
    const auto needsAccount = [tree] {
        return tree->CurrentAccount().empty() ? QStringLiteral("请先在左侧选择一个账户")
                                              : QString();
    };
    for (int id : {kCmdAccountSettings, kCmdAccountProperties}) {
        commands.Handle(id, openSheet);
        commands.SetAvailability(id, needsAccount);
    }
}
