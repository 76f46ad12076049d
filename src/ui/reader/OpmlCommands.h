#pragma once

class CRssChannelTreeCtrl;

// The channel tree's OPML commands: 导入OPML频道 (the arrangement dialog, then the tree is built
// again from the new channel file), 所有频道 and 当前频道 (export).
class COpmlCommands {
public:
    static void Import(CRssChannelTreeCtrl& tree);
    static void ExportAll(CRssChannelTreeCtrl& tree);
    // index: the item on which the command was chosen (-1: none, nothing happens).
    static void ExportCurrent(CRssChannelTreeCtrl& tree, int index);
};
