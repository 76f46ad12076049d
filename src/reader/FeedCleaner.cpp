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

bool CFeedCleaner::Clean(const CleanRequest& request, int* removed) {
    m_error.clear();
    if (removed)
        *removed = 0;
    std::vector<int> feedIds;
    bool ok = true;
    for (int index : request.channels) {
        if (!m_tree.IsValid(index) || m_tree.Record(index).directory)
            continue;
        int feedId = 0;
        if (m_tree.GetFeedId(index, feedId, m_store)) {
            feedIds.push_back(feedId);
        } else {
            ok = false;
            m_error = m_store.GetLastError();
        }
    }
    int before = 0, after = 0, feeds = 0;
    m_store.GetTotals(feeds, before);
    if (ok && !m_store.CleanItems(feedIds, request.days, request.which == CleanItems::kAll)) {
        ok = false;
        m_error = m_store.GetLastError();
    }
    if (ok && removed && m_store.GetTotals(feeds, after))
        *removed = before - after;
    m_tree.ResetUnreadCounts();
    return ok;
}
