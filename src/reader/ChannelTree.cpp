#include "reader/ChannelTree.h"
#include "app/AppContext.h"
#include "platform/xml/HtmlSanitizer.h"

#include "app/AppSettings.h"
#include "app/ErrorCatalog.h"
#include "app/Reporter.h"
#include "platform/text/AsciiText.h"
#include "platform/text/TextCheck.h"
#include "reader/FeedAddress.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <set>

namespace {

// Notes that a read failed, and the first catalogue id, instead of showing it: the tree reports
// its own message when its settings cannot be read.
class CFailureNote : public CReporter {
public:
    void ReportError(int id) override {
        if (!failed)
            firstError = id;
        failed = true;
    }
    void ReportFault(int, int, const std::string&, const std::string&) override { failed = true; }
    void ReportMessage(const std::string&) override { failed = true; }
    bool failed = false;
    int firstError = 0;
};

bool HasMarkup(const std::string& text) {
    return text.find_first_of("<>") != std::string::npos;
}

// The five channel settings, between records, store rows and property sheets (they name the
// fields alike).
template <typename To, typename From> void CopyChannelSettings(To& to, const From& from) {
    to.rssRank = from.rssRank;
    to.storageType = from.storageType;
    to.storageNum = from.storageNum;
    to.autoUpdate = from.autoUpdate;
    to.newItemShowTip = from.newItemShowTip;
}

// The file opened, then the change made: done, or the reason of the first that failed.
StoreResult OpenAnd(CRssChannelFile& file, const std::function<StoreResult()>& change) {
    StoreResult opened = file.Open();
    return opened ? change() : opened;
}

} // namespace

ChannelProperties ChannelProperties::Of(const ChannelRecord& record) {
    ChannelProperties properties;
    properties.title = record.title;
    properties.xmlUrl = record.xmlUrl;
    properties.htmlUrl = record.htmlUrl;
    CopyChannelSettings(properties, record);
    return properties;
}

CChannelTree::CChannelTree(const CAppContext& context)
    : CChannelTree(context, context.FilePath("Storage\\rssreader.opml")) {}

CChannelTree::CChannelTree(const CAppContext& context, std::string filePath)
    : m_context(context), m_filePath(std::move(filePath)) {}

void CChannelTree::LoadOptions() {
    ChannelTreeOptions options;
    ReceiveSettings receive;
    StorageSettings storage;
    CFailureNote note;
    {
        const CAppContext noted = m_context.WithReporter(note);
        if (noted.Settings().ReadReceiveSettings(receive) &&
            noted.Settings().ReadStorageSettings(storage)) {
            options.startupReceive = receive.startupAutoReceive;
            options.autoReceive = receive.autoReceive;
            options.autoReceiveType = receive.autoReceiveType;
            options.autoReceiveMinutes = receive.autoReceiveTime;
            options.receiveOnClick = receive.clickChannelAutoReceive;
            options.markReadOnSwitch = receive.switchChannelAutoMakeRead;
            options.rememberUnread = receive.whenExitRememberUnreadNum;
            options.pageSize = receive.paginationNum;
            options.defaultStorageType = static_cast<StorageRule>(storage.storageType);
            options.defaultStorageNum = storage.storageNum;
        }
    }
    if (note.failed) {
        // Said once, however many of the reads failed. A file that cannot be loaded is left as
        // it is for the user to repair: nothing here writes it.
        if (note.firstError == kErrSettingsLoad)
            m_context.Reporter().ReportError(kErrSettingsLoad);
        else
            m_context.Reporter().ReportMessage("rss reader配置文件错误");
        options = ChannelTreeOptions{};
        options.settingsUnreadable = true;
    }
    // A settings file from before the reading pane's keys were kept has none of them: the
    // built-in values serve then, without a word.
    std::string hosts, noImages, perHost;
    CSilentReporter silent;
    {
        const CAppContext quiet = m_context.WithReporter(silent);
        if (quiet.Settings().ReadAppValue("rss/videohosts", hosts) &&
            CSettingsChecks::CheckKeyValue("rss/videohosts", hosts).empty())
            options.videoHosts = CHtmlSanitizer::ParseHostList(hosts);
        if (quiet.Settings().ReadAppValue("rss/noremoteimages", noImages))
            options.noRemoteImages = noImages == "1" ? 1 : 0;
        if (quiet.Settings().ReadAppValue("rss/hostfetches", perHost) &&
            CSettingsChecks::CheckKeyValue("rss/hostfetches", perHost).empty())
            options.fetchesPerHost = CAppSettings::ToInt(perHost);
    }
    std::lock_guard lock(m_lock);
    m_options = options;
}

ChannelTreeOptions CChannelTree::Options() const {
    std::lock_guard lock(m_lock);
    return m_options;
}

void CChannelTree::SetOptions(const ChannelTreeOptions& options) {
    std::lock_guard lock(m_lock);
    m_options = options;
}

bool CChannelTree::Build() {
    LoadOptions();
    CRssChannelFile file(m_filePath);
    if (!file.Open()) {
        m_context.Reporter().ReportError(kErrChannelFileLoad);
        return false;
    }
    const bool remember = Options().rememberUnread != 0;
    std::lock_guard lock(m_lock);
    m_records.clear();
    m_roots.clear();

    // Depth-first in document order, as the items are inserted.
    struct Pending {
        CXmlNode node;
        int parent;
    };
    std::vector<Pending> stack;
    std::vector<CXmlNode> top;
    for (CXmlNode child = file.Body().Child("outline"); child; child = child.NextSibling())
        if (child.GetName() == "outline")
            top.push_back(child);
    for (auto it = top.rbegin(); it != top.rend(); ++it)
        stack.push_back({*it, -1});
    while (!stack.empty()) {
        Pending pending = stack.back();
        stack.pop_back();
        CXmlNode node = pending.node;
        ChannelRecord record;
        record.title =
            node.HasAttribute("title") ? node.GetAttribute("title") : node.GetAttribute("text");
        record.htmlUrl = node.GetAttribute("htmlUrl");
        record.xmlUrl = node.GetAttribute("xmlUrl");
        std::vector<CXmlNode> children;
        for (CXmlNode child = node.Child("outline"); child; child = child.NextSibling())
            if (child.GetName() == "outline")
                children.push_back(child);
        record.directory = !children.empty() || record.xmlUrl.empty();
        record.expanded = record.directory && node.GetAttribute("expanded") == "1";
        record.image = record.directory ? kImageDirectory : kImageChannel;
        // The remembered count is shown only when the user asked for it.
        record.unreadCount = remember ? CAppSettings::ToInt(node.GetAttribute("unreadnum")) : 0;
        int index = AddRecord(std::move(record), pending.parent);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, index});
    }
    return true;
}

int CChannelTree::AddRecord(ChannelRecord record, int parent) {
    record.index = static_cast<int>(m_records.size());
    record.parent = parent;
    m_records.push_back(std::move(record));
    int index = m_records.back().index;
    if (parent >= 0)
        m_records[parent].children.push_back(index);
    else
        m_roots.push_back(index);
    return index;
}

std::vector<int> CChannelTree::Roots() const {
    std::lock_guard lock(m_lock);
    return m_roots;
}

int CChannelTree::RecordCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_records.size());
}

bool CChannelTree::IsValid(int index) const {
    std::lock_guard lock(m_lock);
    return index >= 0 && index < static_cast<int>(m_records.size()) && m_records[index].alive;
}

ChannelRecord CChannelTree::Record(int index) const {
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_records.size()))
        return {};
    return m_records[index];
}

void CChannelTree::CollectChannels(int index, std::vector<int>& out) const {
    const ChannelRecord& record = m_records[index];
    if (!record.directory) {
        out.push_back(index);
        return;
    }
    for (int child : record.children)
        CollectChannels(child, out);
}

std::vector<int> CChannelTree::ChannelsBelow(int index) const {
    std::vector<int> out;
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()) && m_records[index].alive)
        CollectChannels(index, out);
    return out;
}

std::vector<int> CChannelTree::AllChannels() const {
    std::vector<int> out;
    std::lock_guard lock(m_lock);
    for (int root : m_roots)
        CollectChannels(root, out);
    return out;
}

int CChannelTree::UnreadTotal() const {
    std::vector<int> channels;
    std::lock_guard lock(m_lock);
    for (int root : m_roots)
        CollectChannels(root, channels);
    long long total = 0;
    for (int index : channels)
        total += std::max(m_records[index].unreadCount, 0);
    return static_cast<int>(std::min<long long>(total, INT_MAX));
}

void CChannelTree::MoveToEndOf(int index, int parent) {
    std::lock_guard lock(m_lock);
    std::vector<int>& siblings = SiblingsOf(index);
    siblings.erase(std::find(siblings.begin(), siblings.end(), index));
    m_records[index].parent = parent;
    (parent >= 0 ? m_records[parent].children : m_roots).push_back(index);
}

std::vector<int>& CChannelTree::SiblingsOf(int index) {
    int parent = m_records[index].parent;
    return parent >= 0 ? m_records[parent].children : m_roots;
}

OutlinePath CChannelTree::PathOfLocked(int index) const {
    OutlinePath path;
    for (int at = index; at >= 0; at = m_records[at].parent) {
        int parent = m_records[at].parent;
        const std::vector<int>& siblings = parent >= 0 ? m_records[parent].children : m_roots;
        auto it = std::find(siblings.begin(), siblings.end(), at);
        path.push_back(static_cast<int>(it - siblings.begin()));
    }
    std::reverse(path.begin(), path.end());
    return path;
}

OutlinePath CChannelTree::PathOf(int index) const {
    std::lock_guard lock(m_lock);
    if (index < 0 || index >= static_cast<int>(m_records.size()))
        return {};
    return PathOfLocked(index);
}

std::string CChannelTree::PathText(int index, const std::string& separator) const {
    std::lock_guard lock(m_lock);
    std::vector<std::string> titles;
    for (int at = index; at >= 0 && at < static_cast<int>(m_records.size());
         at = m_records[at].parent)
        titles.push_back(m_records[at].title);
    std::string text;
    for (auto it = titles.rbegin(); it != titles.rend(); ++it)
        text += (text.empty() ? "" : separator) + *it;
    return text;
}

int CChannelTree::FindByPath(const std::string& slashPath) const {
    std::lock_guard lock(m_lock);
    // Titles may hold "/" themselves: at each level the longest title that fits wins.
    const std::vector<int>* level = &m_roots;
    std::string rest = slashPath;
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    int found = -1;
    while (!rest.empty()) {
        int match = -1;
        size_t matchLength = 0;
        for (int child : *level) {
            const std::string& title = m_records[child].title;
            const bool matches = rest.compare(0, title.size(), title) == 0 &&
                                 (rest.size() == title.size() || rest[title.size()] == '/');
            if (matches && (match < 0 || title.size() > matchLength)) {
                match = child;
                matchLength = title.size();
            }
        }
        if (match < 0)
            return -1;
        found = match;
        rest.erase(0, matchLength);
        if (!rest.empty())
            rest.erase(0, 1);
        level = &m_records[match].children;
    }
    return found;
}

StoreResult CChannelTree::GetFeedId(int index, int& feedId, CFeedDatabase& store) {
    FeedSettings settings;
    {
        std::lock_guard lock(m_lock);
        if (index < 0 || index >= static_cast<int>(m_records.size()) || m_records[index].directory)
            return {.reason = kNotAChannelText};
        const ChannelRecord& record = m_records[index];
        if (record.feedId != 0) {
            feedId = record.feedId;
            return {.ok = true};
        }
        CopyChannelSettings(settings, record);
        settings.url = record.xmlUrl;
    }
    if (StoreResult read = store.GetFeedSettings(settings.url, settings); !read)
        return read;
    std::lock_guard lock(m_lock);
    ChannelRecord& record = m_records[index];
    record.feedId = settings.feedId;
    CopyChannelSettings(record, settings);
    record.gone = settings.gone;
    feedId = settings.feedId;
    return {.ok = true};
}

StoreResult CChannelTree::ChannelFeedsBelow(int index, CFeedDatabase& store,
                                            std::vector<ChannelFeed>& out) {
    out.clear();
    for (int channel : ChannelsBelow(index)) {
        int feedId = 0;
        if (StoreResult found = GetFeedId(channel, feedId, store); !found)
            return found;
        out.push_back({.channel = channel, .feedId = feedId});
    }
    return {.ok = true};
}

StoreResult CChannelTree::FeedIdsBelow(int index, CFeedDatabase& store, std::vector<int>& ids) {
    ids.clear();
    std::vector<ChannelFeed> channels;
    if (StoreResult found = ChannelFeedsBelow(index, store, channels); !found)
        return found;
    for (const ChannelFeed& channel : channels)
        ids.push_back(channel.feedId);
    return {.ok = true};
}

std::string CChannelTree::CheckSubscription(const std::string& url, const std::string& title) {
    if (url.empty())
        return "请输入RSS地址";
    if (title.empty())
        return "请输入频道名称";
    if (HasMarkup(url) || HasMarkup(title) || !CTextCheck::AreCleanTexts({url, title}))
        return CTextCheck::kInvalidCharactersText;
    if (std::string address; !CFeedAddress::Normalize(url, address))
        return CFeedAddress::kInvalidAddressText;
    return {};
}

std::string CChannelTree::CheckDirectoryName(const std::string& name) {
    if (name.empty())
        return "请输入目录名称";
    if (HasMarkup(name) || !CTextCheck::IsCleanText(name))
        return CTextCheck::kInvalidCharactersText;
    return {};
}

std::string CChannelTree::CheckChannelSettings(const ChannelProperties& p) {
    if (!CTextCheck::IsCleanText(p.htmlUrl))
        return CTextCheck::kInvalidCharactersText;
    if (p.rssRank != 0 && p.rssRank != 5)
        return "RssRank 只能是 0 或 5";
    const int rule = static_cast<int>(p.storageType);
    if (rule < 0 || rule > static_cast<int>(StorageRule::kKeepAll))
        return "请选择一个设置";
    // The count matters only under the rule that keeps a fixed number.
    if (p.storageType == StorageRule::kKeepNewest) {
        std::string message = CSettingsChecks::CheckStoragePage(rule, p.storageNum);
        if (!message.empty())
            return message;
    }
    if (p.autoUpdate != 0 && p.autoUpdate != 1)
        return "自动更新只能是 0 或 1";
    if (p.newItemShowTip != 0 && p.newItemShowTip != 1)
        return "新文章提示只能是 0 或 1";
    return {};
}

bool CChannelTree::AddOutline(int parent, ChannelRecord record, int* newIndex) {
    if (parent >= 0 && !(IsValid(parent) && Record(parent).directory))
        return Fail("添加失败!");
    CRssChannelFile file(m_filePath);
    if (const StoreResult added = OpenAnd(file,
                                          [&] {
                                              return file.AddOutline(PathOf(parent), record.title,
                                                                     record.xmlUrl, record.htmlUrl);
                                          });
        !added)
        return Fail("添加失败!", added.reason);
    record.image = record.directory ? kImageDirectory : kImageChannel;
    std::lock_guard lock(m_lock);
    int index = AddRecord(std::move(record), parent);
    // The new item is shown: its directory opens.
    if (parent >= 0)
        m_records[parent].expanded = true;
    if (newIndex)
        *newIndex = index;
    return true;
}

bool CChannelTree::AddSubscription(int parent, const std::string& url, const std::string& title,
                                   const std::string& htmlUrl, int* newIndex) {
    if (std::string message = CheckSubscription(url, title); !message.empty())
        return Fail(message);
    if (!CTextCheck::IsCleanText(htmlUrl))
        return Fail(CTextCheck::kInvalidCharactersText);
    ChannelRecord record;
    record.title = title;
    CFeedAddress::Normalize(url, record.xmlUrl);
    record.htmlUrl = htmlUrl;
    return AddOutline(parent, std::move(record), newIndex);
}

bool CChannelTree::AddEntry(int parent, const std::string& title, const std::string& xmlUrl,
                            const std::string& htmlUrl, int* newIndex) {
    ChannelRecord record;
    record.title = title;
    record.xmlUrl = xmlUrl;
    record.htmlUrl = htmlUrl;
    record.directory = xmlUrl.empty();
    return AddOutline(parent, std::move(record), newIndex);
}

bool CChannelTree::AddDirectory(int parent, const std::string& name, int* newIndex) {
    if (std::string message = CheckDirectoryName(name); !message.empty())
        return Fail(message);
    ChannelRecord record;
    record.title = name;
    record.directory = true;
    return AddOutline(parent, std::move(record), newIndex);
}

bool CChannelTree::Rename(int index, const std::string& title) {
    if (!IsValid(index) || title.empty())
        return false;
    if (!CTextCheck::IsCleanText(title))
        return Fail(CTextCheck::kInvalidCharactersText);
    CRssChannelFile file(m_filePath);
    if (const StoreResult saved =
            OpenAnd(file, [&] { return file.SetAttribute(PathOf(index), "title", title); });
        !saved)
        return Fail("保存属性失败!", saved.reason);
    std::lock_guard lock(m_lock);
    m_records[index].title = title;
    return true;
}

bool CChannelTree::MoveUp(int index) {
    if (!IsValid(index))
        return false;
    OutlinePath from = PathOf(index);
    if (from.back() == 0)
        return false; // already the first of its level
    OutlinePath before = from;
    --before.back();
    CRssChannelFile file(m_filePath);
    if (const StoreResult moved = OpenAnd(file, [&] { return file.MoveOutline(from, before, 1); });
        !moved)
        return Fail("移动失败!", moved.reason);
    std::lock_guard lock(m_lock);
    std::vector<int>& siblings = SiblingsOf(index);
    auto it = std::find(siblings.begin(), siblings.end(), index);
    std::iter_swap(it, it - 1);
    return true;
}

bool CChannelTree::MoveToTop(int index) {
    if (!IsValid(index))
        return false;
    CRssChannelFile file(m_filePath);
    if (const StoreResult moved =
            OpenAnd(file, [&] { return file.MoveOutline(PathOf(index), {}, 0); });
        !moved)
        return Fail("移动失败!", moved.reason);
    MoveToEndOf(index, -1);
    return true;
}

bool CChannelTree::MoveInto(int index, int directory) {
    if (!IsValid(index) || !IsValid(directory) || !Record(directory).directory)
        return Fail("移动失败!");
    {
        std::lock_guard lock(m_lock);
        for (int at = directory; at >= 0; at = m_records[at].parent)
            if (at == index)
                return Fail("移动失败!");
    }
    CRssChannelFile file(m_filePath);
    if (const StoreResult moved =
            OpenAnd(file, [&] { return file.MoveOutline(PathOf(index), PathOf(directory), 0); });
        !moved)
        return Fail("移动失败!", moved.reason);
    MoveToEndOf(index, directory);
    return true;
}

bool CChannelTree::Delete(int index, CFeedDatabase& store) {
    if (!IsValid(index))
        return false;
    // Every channel's row must be known: one left out would keep its items without a channel.
    std::vector<ChannelFeed> channels;
    if (const StoreResult found = ChannelFeedsBelow(index, store, channels); !found)
        return Fail("删除失败!", found.reason);
    std::vector<int> unused;
    {
        std::lock_guard lock(m_lock);
        std::vector<int> below;
        CollectChannels(index, below);
        std::vector<int> all;
        for (int root : m_roots)
            CollectChannels(root, all);
        // A feed that another channel of the tree still subscribes to keeps its items.
        std::set<std::string> stillUsed;
        for (int channel : all)
            if (std::find(below.begin(), below.end(), channel) == below.end())
                stillUsed.insert(m_records[channel].xmlUrl);
        for (const ChannelFeed& channel : channels)
            if (!stillUsed.count(m_records[channel.channel].xmlUrl))
                unused.push_back(channel.feedId);
    }
    // The store first: when it fails, nothing has changed yet.
    if (!unused.empty()) {
        if (const StoreResult deleted = store.DeleteFeeds(unused); !deleted)
            return Fail("删除失败!", deleted.reason);
    }
    if (!RemoveEntry(index)) {
        // The channels stay; their rows are gone, so the next use makes new ones.
        std::lock_guard lock(m_lock);
        for (const ChannelFeed& channel : channels)
            m_records[channel.channel].feedId = 0;
        return false;
    }
    return true;
}

bool CChannelTree::RemoveEntry(int index) {
    if (!IsValid(index))
        return false;
    CRssChannelFile file(m_filePath);
    if (const StoreResult deleted =
            OpenAnd(file, [&] { return file.DeleteOutline(PathOf(index)); });
        !deleted)
        return Fail("删除失败!", deleted.reason);
    std::lock_guard lock(m_lock);
    std::vector<int>& siblings = SiblingsOf(index);
    siblings.erase(std::find(siblings.begin(), siblings.end(), index));
    std::vector<int> stack{index};
    while (!stack.empty()) {
        ChannelRecord& record = m_records[stack.back()];
        stack.pop_back();
        record.alive = false;
        record.unreadCount = 0;
        stack.insert(stack.end(), record.children.begin(), record.children.end());
    }
    return true;
}

bool CChannelTree::Clear(int index, CFeedDatabase& store) {
    if (!IsValid(index))
        return false;
    std::vector<int> feedIds;
    if (const StoreResult found = FeedIdsBelow(index, store, feedIds); !found)
        return Fail("清空失败!", found.reason);
    if (const StoreResult emptied = store.DeleteFeedItems(feedIds); !emptied)
        return Fail("清空失败!", emptied.reason);
    std::lock_guard lock(m_lock);
    std::vector<int> channels;
    CollectChannels(index, channels);
    for (int channel : channels) {
        m_records[channel].unreadCount = 0;
        m_records[channel].image = kImageChannel;
    }
    m_records[index].unreadCount = 0;
    return true;
}

bool CChannelTree::SetChannelProperties(int index, const ChannelProperties& properties,
                                        CFeedDatabase& store) {
    if (!IsValid(index) || Record(index).directory)
        return false;
    if (std::string message = CheckSubscription(properties.xmlUrl, properties.title);
        !message.empty())
        return Fail(message);
    if (std::string message = CheckChannelSettings(properties); !message.empty())
        return Fail(message);
    if (std::string address;
        CFeedAddress::Normalize(properties.xmlUrl, address) && address != properties.xmlUrl) {
        ChannelProperties mapped = properties;
        mapped.xmlUrl = address; // a feed: address is stored as the web address it names
        return SetChannelProperties(index, mapped, store);
    }
    int feedId = 0;
    if (const StoreResult found = GetFeedId(index, feedId, store); !found)
        return Fail("设置失败!", found.reason);
    ChannelRecord old;
    OutlinePath path;
    {
        std::lock_guard lock(m_lock);
        old = m_records[index];
        path = PathOfLocked(index);
    }
    // The store row first: it can be put back when the file then fails, a saved file cannot.
    FeedSettings row{.feedId = feedId, .url = properties.xmlUrl};
    CopyChannelSettings(row, properties);
    if (const StoreResult written = store.UpdateFeed(row); !written)
        return Fail("设置失败!", written.reason);
    CRssChannelFile file(m_filePath);
    StoreResult saved = file.Open();
    if (saved) {
        file.BeginBatch();
        // Only what changed is written.
        if (properties.title != old.title)
            file.SetAttribute(path, "title", properties.title);
        if (properties.xmlUrl != old.xmlUrl)
            file.SetAttribute(path, "xmlUrl", properties.xmlUrl);
        if (properties.htmlUrl != old.htmlUrl)
            file.SetAttribute(path, "htmlUrl", properties.htmlUrl);
        saved = file.EndBatch();
    }
    if (!saved) {
        FeedSettings before{.feedId = feedId, .url = old.xmlUrl};
        CopyChannelSettings(before, old);
        store.UpdateFeed(before);
        return Fail("保存属性失败!", saved.reason);
    }
    std::lock_guard lock(m_lock);
    ChannelRecord& record = m_records[index];
    record.title = properties.title;
    record.xmlUrl = properties.xmlUrl;
    record.htmlUrl = properties.htmlUrl;
    CopyChannelSettings(record, properties);
    return true;
}

bool CChannelTree::SetDirectoryProperties(int index, const std::string& title,
                                          const std::string& htmlUrl) {
    if (!IsValid(index) || !Record(index).directory)
        return false;
    if (std::string message = CheckDirectoryName(title); !message.empty())
        return Fail(message);
    if (!CTextCheck::IsCleanText(htmlUrl))
        return Fail(CTextCheck::kInvalidCharactersText);
    return SetNames(index, title, htmlUrl);
}

bool CChannelTree::SetNames(int index, const std::string& title, const std::string& htmlUrl) {
    if (!IsValid(index))
        return false;
    ChannelRecord old = Record(index);
    OutlinePath path = PathOf(index);
    CRssChannelFile file(m_filePath);
    if (const StoreResult opened = file.Open(); !opened)
        return Fail("保存属性失败!", opened.reason);
    file.BeginBatch();
    if (title != old.title)
        file.SetAttribute(path, "title", title);
    if (htmlUrl != old.htmlUrl)
        file.SetAttribute(path, "htmlUrl", htmlUrl);
    if (const StoreResult saved = file.EndBatch(); !saved)
        return Fail("保存属性失败!", saved.reason);
    std::lock_guard lock(m_lock);
    m_records[index].title = title;
    m_records[index].htmlUrl = htmlUrl;
    return true;
}

bool CChannelTree::ApplyToChannelsBelow(int index, FeedSettingsGroup what,
                                        const ChannelProperties& values, CFeedDatabase& store) {
    if (!IsValid(index))
        return false;
    if (std::string message = CheckChannelSettings(values); !message.empty())
        return Fail(message);
    std::vector<int> channels = ChannelsBelow(index);
    std::vector<int> feedIds;
    for (int channel : channels) {
        int feedId = 0;
        if (const StoreResult found = GetFeedId(channel, feedId, store); !found)
            return Fail("设置失败!", found.reason);
        feedIds.push_back(feedId);
    }
    FeedSettings row;
    CopyChannelSettings(row, values);
    if (const StoreResult written = store.UpdateFeedsSettings(feedIds, what, row); !written)
        return Fail("设置失败!", written.reason);
    const auto writes = [what](FeedSettingsGroup group) {
        return what == FeedSettingsGroup::kAll || what == group;
    };
    std::lock_guard lock(m_lock);
    for (int channel : channels) {
        ChannelRecord& record = m_records[channel];
        if (writes(FeedSettingsGroup::kRank))
            record.rssRank = values.rssRank;
        if (writes(FeedSettingsGroup::kStorage)) {
            record.storageType = values.storageType;
            record.storageNum = values.storageNum;
        }
        if (writes(FeedSettingsGroup::kAutoUpdate))
            record.autoUpdate = values.autoUpdate;
        if (writes(FeedSettingsGroup::kNewItemTip))
            record.newItemShowTip = values.newItemShowTip;
    }
    return true;
}

bool CChannelTree::SaveTreeState() {
    CRssChannelFile file(m_filePath);
    if (const StoreResult opened = file.Open(); !opened)
        return Fail("保存树状态失败!", opened.reason);
    file.BeginBatch();
    const bool remember = Options().rememberUnread != 0;
    {
        std::lock_guard lock(m_lock);
        for (const ChannelRecord& record : m_records) {
            if (!record.alive)
                continue;
            OutlinePath path = PathOfLocked(record.index);
            if (record.directory)
                file.SaveExpanded(path, record.expanded);
            if (remember)
                file.SaveUnreadCount(path, record.unreadCount);
        }
    }
    if (const StoreResult saved = file.EndBatch(); !saved)
        return Fail("保存树状态失败!", saved.reason);
    return true;
}

void CChannelTree::SetExpanded(int index, bool expanded) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()))
        m_records[index].expanded = expanded;
}

void CChannelTree::SetUnreadCount(int index, int count) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()))
        m_records[index].unreadCount = count;
}

void CChannelTree::SetImage(int index, int image) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()))
        m_records[index].image = image;
}

void CChannelTree::SetRank(int index, int level, int counter) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size())) {
        m_records[index].rankLevel = level;
        m_records[index].rankCounter = counter;
    }
}

void CChannelTree::SetReceiveError(int index, const std::string& reason) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()))
        m_records[index].receiveError = reason;
}

void CChannelTree::SetGone(int index, bool gone) {
    std::lock_guard lock(m_lock);
    if (index >= 0 && index < static_cast<int>(m_records.size()))
        m_records[index].gone = gone;
}

bool CChannelTree::MoveChannelAddress(int index, const std::string& address, CFeedDatabase& store,
                                      std::string& reason) {
    ChannelRecord old;
    OutlinePath path;
    {
        std::lock_guard lock(m_lock);
        if (index < 0 || index >= static_cast<int>(m_records.size()) ||
            m_records[index].directory || !m_records[index].alive)
            return false;
        for (const ChannelRecord& other : m_records) {
            if (other.alive && !other.directory && other.xmlUrl == address) {
                reason = "另一个频道已使用地址 " + address;
                return false;
            }
        }
        old = m_records[index];
        path = PathOfLocked(index);
    }
    if (const StoreResult moved = store.MoveFeed(old.feedId, address); !moved) {
        reason = moved.reason;
        return false;
    }
    CRssChannelFile file(m_filePath);
    if (const StoreResult saved =
            OpenAnd(file, [&] { return file.SetAttribute(path, "xmlUrl", address); });
        !saved) {
        reason = saved.reason;
        store.MoveFeed(old.feedId, old.xmlUrl);
        return false;
    }
    std::lock_guard lock(m_lock);
    m_records[index].xmlUrl = address;
    return true;
}

bool CChannelTree::ParseStartAddress(const std::string& text, std::string& url,
                                     std::string& title) {
    // The markers are matched in any letter case, but the address and the name keep theirs:
    // paths on most servers are case-sensitive.
    const std::string lower = AsciiLower(text);
    const std::string prefix = "quill://rssurl=";
    const std::string marker = "&rsstitle=";
    size_t at = lower.find(marker);
    if (at == std::string::npos) {
        url.clear();
        size_t pos = 0;
        const std::string protocol = "quill://";
        for (size_t hit; (hit = lower.find(protocol, pos)) != std::string::npos;
             pos = hit + protocol.size())
            url += text.substr(pos, hit - pos);
        url += text.substr(pos);
        title.clear();
    } else {
        size_t start = lower.rfind(prefix, 0) == 0 ? prefix.size() : 0;
        url = text.substr(start, at > start ? at - start : 0);
        title = text.substr(at + marker.size());
    }
    return !url.empty();
}
