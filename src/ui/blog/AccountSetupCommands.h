#pragma once

#include <functional>
#include <string>

class CAccountTreeCtrl;
class CCommandTable;
class QWidget;

// 新建账户 and 账户设置 (menu, toolbar and the account tree's context menu): the account wizard
// and the account settings sheet, with the tree told what changed.
class CAccountSetupCommands {
public:
    // tree: where the account is chosen (the accounts are those of its context); treeUpdate: what
    // WM_ACCOUNT_TREE_UPDATE does, with (node code or -1, update code); styleChanged: what
    // WM_PREVIEW_STYLE_CHANGED does (another preview style was chosen in the sheet, written
    // already).
    static void Register(CCommandTable& commands, QWidget* window, CAccountTreeCtrl* tree,
                         std::function<void(int, int)> treeUpdate,
                         std::function<void()> styleChanged = {});
};
