#pragma once

// The command identifiers of menus, toolbars and context menus; each action carries its id as
// its data, so a command means the same wherever it is chosen.
enum CommandId : int {
    // Weblog side.
    kCmdFetchPosts = 300,
    kCmdComposePost = 302,
    kCmdImportPosts = 304,
    kCmdAccountSettings = 306,
    kCmdPostCount1 = 32772,
    kCmdPostCount3 = 32773,
    kCmdPostCount5 = 32774,
    kCmdPostCount10 = 32795,
    kCmdPostCount20 = 32796,
    kCmdPostCount999 = 32780,
    kCmdPostCountCustom = 32791,
    kCmdBlogSettings = 32836,
    kCmdNewAccount = 32850,
    kCmdCompactBlogDb = 32900,
    kCmdSystemSettings = 32908,
    // The account tree's menus.
    kCmdAccountProperties = 32891,
    kCmdExportFolder = 32798,
    kCmdImportFolder = 32801,
    kCmdOpenMyBlog = 32806,
    kCmdClearFolder = 32787,
    kCmdFolderEbook = 32788,
    // The article list's menus.
    kCmdPublishOrDeleteRemote = 32783,
    kCmdCopyArticles = 32784,
    kCmdMoveArticles = 32785,
    kCmdDeleteArticle = 32786,
    kCmdDeleteArticles = 32851,
    kCmdEditArticle = 32794,
    kCmdPublishToSeveral = 32802,
    kCmdCollapseGroups = 32998,
    // The feed item list's 发布到博客: an article about the item, in the editor.
    kCmdPublishItemToBlog = 32889,
    kCmdExpandGroups = 32997,

    // Feed reader.
    kCmdReceiveChannel = 32807,
    kCmdNewDirectory = 32808,
    kCmdReceiveBranch = 32809,
    kCmdReceiveAll = 32810,
    kCmdReceiveDirectoryAll = 32895,
    kCmdAddSubscription = 32833,
    kCmdDeleteChannel = 32831,
    kCmdDeleteDirectory = 32832,
    kCmdChannelProperties = 32834,
    kCmdDirectoryProperties = 32835,
    kCmdMoveUp = 32860,
    kCmdMoveToTop = 32862,
    kCmdOpenSiteInPane = 32838,
    kCmdOpenSiteOutside = 32839,
    kCmdClearChannel = 32789,
    kCmdClearDirectory = 32840,
    kCmdMarkChannelRead = 32883,
    kCmdMarkRead = 32885,
    kCmdExportChannel = 32845,
    kCmdExportDirectory = 32846, // 导出该目录: the directory's menu names the same export
    kCmdExportAll = 32844,
    kCmdImportOpml = 32842,
    kCmdReaderSettings = 32882,
    kCmdCompactRssDb = 32884,
    kCmdCleanWizard = 32903,
    kCmdSearch = 32894,
    kCmdItemFilter = 32905,
    kCmdChannelEbook = 32909,
    kCmdQuickReading = 32893,
    kCmdPreviousArticle = 32828,
    kCmdNextArticle = 32827,
    kCmdRename = 32999, // in-place rename, offered in the context menu as well
    // Reading with the keyboard.
    kCmdNextUnread = 32950,
    kCmdPreviousUnread = 32951,
    kCmdOpenItemLink = 32952,
    kCmdToggleItemRead = 32953,
    kCmdKeepItem = 32954,
    kCmdShortcutHelp = 32955,
    kCmdFeedRules = 32956,
    kCmdToggleItemImportant = 32957,

    // Browser pane.
    kCmdBack = 32812,
    kCmdForward = 32813,
    kCmdStop = 32814,
    kCmdRefresh = 32815,
    kCmdBlankPage = 32816,
    kCmdGoAddress = 32824,
    kCmdBrowseDirectly = 32853,

    // Favorites.
    kCmdNewFavorite = 32876,
    kCmdNewFavoriteFolder = 32877,
    kCmdAddFavoriteItem = 32869,
    kCmdImportFavorites = 32897,
    // The favorites tree's context menus: a box or folder where the menu was opened.
    kCmdNewFavoriteBox = 32863,
    kCmdNewFavoriteFolderHere = 32864,
    kCmdExportFavoriteFeed = 32881,
    kCmdFavoriteEbook = 32865,
    kCmdDeleteFavorite = 32866,
    kCmdFavoriteProperties = 32867,
    kCmdFavoriteMoveUp = 32868,
    kCmdFavoriteMoveToTop = 32870,
    kCmdFavoriteSiteInPane = 32871,
    kCmdFavoriteSiteOutside = 32872,
    kCmdOrganizeFavorites = 32859,
    kCmdBrowserMenuAdd = 32890,
    kCmdBrowserMenuRemove = 32892,

    // Help and the window.
    kCmdHelpPage = 32901,
    kCmdSupportForum = 32898,
    kCmdSupportSite = 32910,
    kCmdShowMainWindow = 32902,
    kCmdCheckUpdate = 32904,
    kCmdAbout = 57664,
    kCmdExit = 57665,
};

// Private messages between the windows, and from a second start of the program.
enum WindowMessage : int {
    WM_ACCOUNT_TREE_UPDATE = 0x876,
    WM_PREVIEW_STYLE_CHANGED = 0x877,
    WM_BLOG_RESULT = 0x878,
    WM_RSS_NEW_ITEMS = 0x879,
    WM_ADDRSS_NOTIFY = 0x87E,
};

// What WM_BLOG_RESULT carries as its second value: which weblog operation ended well.
enum BlogResultKind : int {
    kBlogResultFetched = 0,
    kBlogResultDeleted = 1,
    kBlogResultPublished = 2,
};
