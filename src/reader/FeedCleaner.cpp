#include "reader/FeedCleaner.h"

#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"

CFeedCleaner::CFeedCleaner(CChannelTree& tree, CFeedDatabase& store)
    : m_tree(tree), m_store(store) {}

std::string CFeedCleaner::CheckDays(const std::string& text, int& days) {
    // Digits only: a sign, a blank or a number too long for the field is refused as well.
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return kDaysText;
    const int value = std::stoi(text);
    if (value > kMaxDays)
        return kDaysText;
    days = value;
    return {};
}

bool CFeedCleaner::FeedIds(const CleanRequest& request, std::vector<int>& feedIds,
                           std::vector<int>& channels) {
    bool ok = true;
    for (int index : request.channels) {
        if (!m_tree.IsValid(index) || m_tree.Record(index).directory)
            continue;
        int feedId = 0;
        if (const StoreResult found = m_tree.GetFeedId(index, feedId, m_store); found) {
            feedIds.push_back(feedId);
            channels.push_back(index);
        } else {
            ok = false;
            m_error = found.reason;
        }
    }
    return ok;
}

bool CFeedCleaner::Count(const CleanRequest& request, CleanCount& count) {
    m_error.clear();
    count = {};
    std::vector<int> feedIds, channels;
    if (!FeedIds(request, feedIds, channels))
        return false;
    if (const StoreResult counted = m_store.CountCleanItems(
            feedIds, request.days, request.which == CleanItems::kAll, count.items, count.unread);
        !counted) {
        m_error = counted.reason;
        return false;
    }
    return true;
}

std::string CFeedCleaner::QuestionText(const CleanCount& count) {
    std::string text = "将删除 " + std::to_string(count.items) + " 篇文章";
    if (count.unread > 0)
        text += ", 其中 " + std::to_string(count.unread) + " 篇未读";
    return text + "。\n删除后不可恢复, 确定要清理吗?";
}

bool CFeedCleaner::Clean(const CleanRequest& request, int* removed) {
    m_error.clear();
    if (removed)
        *removed = 0;
    std::vector<int> feedIds, channels;
    bool ok = FeedIds(request, feedIds, channels);
    int before = 0, after = 0, feeds = 0;
    m_store.GetTotals(feeds, before);
    if (ok) {
        const StoreResult cleaned =
            m_store.CleanItems(feedIds, request.days, request.which == CleanItems::kAll);
        ok = cleaned.ok;
        m_error = cleaned.reason;
    }
    if (ok && removed && m_store.GetTotals(feeds, after))
        *removed = before - after;
    // What is left of the cleaned channels is counted again; a count that cannot be read stays.
    for (std::size_t i = 0; i < channels.size(); ++i) {
        int unread = 0;
        if (m_store.GetUnreadCount(feedIds[i], unread))
            m_tree.SetUnreadCount(channels[i], unread);
    }
    return ok;
}
