#pragma once

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "app/Reporter.h"
#include "reader/RssChannelFile.h"
#include "storage/FeedDatabase.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

// One item of the channel tree: a directory or a channel (a subscribed feed).
struct ChannelRecord {
    std::string title;
    std::string htmlUrl;
    std::string xmlUrl;
    int index = 0;  // the record's own index; never reused while the tree lives
    int feedId = 0; // 0 until looked up in the feed store
    int unreadCount = 0;
    int rssRank = 0;                                 // 0 receive by weight, 5 always receive
    StorageRule storageType = StorageRule::kDefault; // kDefault: the tree-wide rule applies
    int storageNum = 200;
    int autoUpdate = 1;     // 1: part of "all channels"
    int newItemShowTip = 0; // 1: announce new items
    int rankLevel = 1;      // weight level 1..5 of by-weight receiving
    int rankCounter = 10;   // minutes left before the next by-weight receive

    int parent = -1; // index of the directory above, -1 at the top level
    std::vector<int> children;
    bool directory = false;
    bool expanded = false;
    bool alive = true; // false once deleted from the tree
    int image = 3;
    std::string receiveError; // why the last receive failed; "" after a success
    // The server said the feed is gone for good (410): walks leave it out until a receive of
    // the channel alone brings it back.
    bool gone = false;
};

// A channel of the tree with its feed id in the store.
struct ChannelFeed {
    int channel = -1;
    int feedId = 0;
};

// The tree images.
enum ChannelImage : int {
    kImageReceivingOne = 0,
    kImageDirectory = 1,
    kImageReceived = 2,
    kImageChannel = 3,
    kImageFailed = 4,
    kImageReceiving = 5,
};

// Tree-wide values from the settings.
struct ChannelTreeOptions {
    int startupReceive = 0;
    int autoReceive = 0;
    ReceiveMode autoReceiveType = ReceiveMode::kByWeight;
    int autoReceiveMinutes = 30;
    int receiveOnClick = 0;
    int markReadOnSwitch = 1;
    int rememberUnread = 0;
    int pageSize = 50;
    StorageRule defaultStorageType = StorageRule::kSyncWithSource;
    int defaultStorageNum = 200;
    // The hosts whose https players an item may embed (rss/videohosts).
    std::vector<std::string> videoHosts = {"www.youtube.com", "www.youtube-nocookie.com",
                                           "player.vimeo.com", "player.bilibili.com"};
    // Remote images in items wait behind a placeholder until asked for (rss/noremoteimages).
    int noRemoteImages = 0;
    // How many fetches of a walk may go to one host (host and port) at once (rss/hostfetches).
    int fetchesPerHost = 2;
    // The settings could not be read and the values above are the built-in defaults: no rule
    // the user chose is known, so receiving removes nothing.
    bool settingsUnreadable = false;
};

// What the channel property sheet edits.
struct ChannelProperties {
    std::string title;
    std::string xmlUrl;
    std::string htmlUrl;
    int rssRank = 0;
    StorageRule storageType = StorageRule::kDefault;
    int storageNum = 200;
    int autoUpdate = 1;
    int newItemShowTip = 0;

    // What the sheet starts with for a channel.
    static ChannelProperties Of(const ChannelRecord& record);
};

// The channel tree: the records of Storage/rssreader.opml and the commands on them. The window
// shows it and calls these operations. Failures are reported through the reporter with the
// program's messages.
//
// Threads. The structure of the tree (adding, renaming, moving and deleting items, channel and
// directory properties, Build) is changed only by the thread that owns the tree: the interface
// thread of the window, or the cli's main thread. Receive workers only read records and write a
// channel's unread count, image, receive error, weight, gone mark and the settings cached by
// GetFeedId, and - rarely - the address of a channel whose feed moved for good
// (MoveChannelAddress, which writes that one attribute to the file).
// Every access takes the tree's lock; an operation that reads or writes several records takes it
// once for the whole step, so it sees one state of the tree. The lock is never held across file
// or store work. Records are never removed (a deleted item's record stays, not alive), so an
// index a worker holds stays valid.
class CChannelTree {
public:
    // The channel file of the context's program directory, or another file of that shape (the
    // favorites). The tree-wide options come from the context's settings, and failures go to
    // its reporter.
    explicit CChannelTree(const CAppContext& context);
    CChannelTree(const CAppContext& context, std::string filePath);

    // Reads the tree-wide settings and loads the channel file. False when the file cannot be
    // loaded (reported as catalogue error 8000).
    bool Build();
    // The file the tree is read from and written to.
    const std::string& FilePath() const { return m_filePath; }
    void LoadOptions();
    ChannelTreeOptions Options() const;
    void SetOptions(const ChannelTreeOptions& options);

    // The live top-level items, and the count of records ever made.
    std::vector<int> Roots() const;
    int RecordCount() const;
    bool IsValid(int index) const;
    // A copy of the record, taken under the lock.
    ChannelRecord Record(int index) const;
    // The channels at and below the item, in tree order.
    std::vector<int> ChannelsBelow(int index) const;
    // Every live channel, in tree order.
    std::vector<int> AllChannels() const;
    // The unread items of every live channel, as the tree last counted them.
    int UnreadTotal() const;

    OutlinePath PathOf(int index) const;
    // The item's place as text: the directories above it, outermost first, then its own title.
    std::string PathText(int index, const std::string& separator = " → ") const;
    // The item whose titles from the top, joined by "/", are the text; -1 when none.
    int FindByPath(const std::string& slashPath) const;

    // The channel's feed id; the first call reads (or creates) its settings row in the store
    // and keeps the values in the record. Fails with the store's reason, or kNotAChannelText
    // when the item is no channel.
    StoreResult GetFeedId(int index, int& feedId, CFeedDatabase& store);
    static constexpr const char* kNotAChannelText = "所选项目不是频道";
    // The feed ids of the channels at and below the item; the reason of the first lookup that
    // fails (then ids is empty: a step over part of a directory would pass for the whole).
    StoreResult FeedIdsBelow(int index, CFeedDatabase& store, std::vector<int>& ids);
    // The channels at and below the item, each with its feed id; the reason of the first lookup
    // that fails.
    StoreResult ChannelFeedsBelow(int index, CFeedDatabase& store, std::vector<ChannelFeed>& out);

    // The checks of the subscription dialog: the message to show, or "".
    static std::string CheckSubscription(const std::string& url, const std::string& title);
    static std::string CheckDirectoryName(const std::string& name);
    // The site address and the five settings of a channel: rank 0 or 5, storage rule 0 to 3
    // (with a count of 10 to 16000000 under rule 2), and 0/1 flags.
    static std::string CheckChannelSettings(const ChannelProperties& properties);

    // Structural commands. Each returns true on success; on failure the program's message is
    // reported and the tree is as it was. parent is a directory's index or -1 for the top level.
    bool AddSubscription(int parent, const std::string& url, const std::string& title,
                         const std::string& htmlUrl, int* newIndex = nullptr);
    bool AddDirectory(int parent, const std::string& name, int* newIndex = nullptr);
    bool Rename(int index, const std::string& title);
    // A childless outline with the address as given, unchecked (the favorites tree keeps a
    // box's id there); without an address it is an empty directory. "添加失败!" on failure.
    bool AddEntry(int parent, const std::string& title, const std::string& xmlUrl,
                  const std::string& htmlUrl, int* newIndex = nullptr);
    // Takes the item and everything below it out of the file and the tree, nothing else.
    // "删除失败!" on failure.
    bool RemoveEntry(int index);
    // Writes the changed name and site address of any item. "保存属性失败!" on failure.
    bool SetNames(int index, const std::string& title, const std::string& htmlUrl);
    bool MoveUp(int index);
    bool MoveToTop(int index);
    bool MoveInto(int index, int directory);
    // Removes the item and its channels' items and settings rows. The store goes first: when it
    // fails, the file and the tree are as they were.
    bool Delete(int index, CFeedDatabase& store);
    // Removes the stored items of the channels at and below the item.
    bool Clear(int index, CFeedDatabase& store);
    // Writes the changed names and addresses to the file and the settings to the store; on
    // failure of either, the file, the store row and the record are as they were.
    bool SetChannelProperties(int index, const ChannelProperties& properties, CFeedDatabase& store);
    bool SetDirectoryProperties(int index, const std::string& title, const std::string& htmlUrl);
    // Gives every channel at and below the item one group of settings (or all of them) in one
    // store update; the channels keep their other settings. "设置失败!" when the store fails.
    bool ApplyToChannelsBelow(int index, FeedSettingsGroup what, const ChannelProperties& values,
                              CFeedDatabase& store);

    // Writes every directory's expanded state and, when unread counts are remembered, every
    // item's count: at exit and before an import.
    bool SaveTreeState();

    // Updates from the receive and the item list.
    void SetExpanded(int index, bool expanded);
    void SetUnreadCount(int index, int count);
    void SetImage(int index, int image);
    void SetRank(int index, int level, int counter);
    void SetReceiveError(int index, const std::string& reason);
    void SetGone(int index, bool gone);
    // A receive worker's change of a channel's address after the server moved the feed for
    // good: the store row, the file and the record, or nothing when one fails or another
    // channel has that address already (false, with the reason).
    bool MoveChannelAddress(int index, const std::string& address, CFeedDatabase& store,
                            std::string& reason);

    // A start address handed over by the browser: "quill://rssurl=ADDRESS&rsstitle=NAME", or an
    // address with "quill://" in front. False when nothing is left of it.
    static bool ParseStartAddress(const std::string& text, std::string& url, std::string& title);

private:
    int AddRecord(ChannelRecord record, int parent);
    // Writes the outline under the parent and adds its record.
    bool AddOutline(int parent, ChannelRecord record, int* newIndex);
    // Moves the item's record to the end of the parent's children (-1: the top level).
    void MoveToEndOf(int index, int parent);
    OutlinePath PathOfLocked(int index) const;
    void CollectChannels(int index, std::vector<int>& out) const;
    std::vector<int>& SiblingsOf(int index);
    // Reports the message, with what went wrong below it when that is known; false.
    bool Fail(const std::string& message, const std::string& reason = {}) const {
        return ReportFailure(m_context.Reporter(), message, reason);
    }

    CAppContext m_context;
    std::string m_filePath;
    mutable std::mutex m_lock;
    std::deque<ChannelRecord> m_records;
    std::vector<int> m_roots;
    ChannelTreeOptions m_options;
};
