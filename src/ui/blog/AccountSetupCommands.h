#pragma once

#include <functional>
#include <string>

class CCommandTable;
class QWidget;

// 新建账户 and 账户设置 (menu, toolbar and the account tree's context menu): the account wizard
// and the account settings sheet, with the tree told what changed.
class CAccountSetupCommands {
public:
    // currentAccount: the account chosen in the tree ("" for none); treeUpdate: what
    // WM_ACCOUNT_TREE_UPDATE does, with (node code or -1, update code).
    static void Register(CCommandTable& commands, QWidget* window,
                         std::function<std::string()> currentAccount,
                         std::function<void(int, int)> treeUpdate);
};
