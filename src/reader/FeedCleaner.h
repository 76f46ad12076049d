#pragma once

#include <string>
#include <vector>

class CChannelTree;
class CFeedDatabase;

// Which items the cleaning wizard removes from the chosen channels.
enum class CleanItems { kAll, kReadOnly };

struct CleanRequest {
    std::vector<int> channels; // tree indexes of the chosen channels (directories are skipped)
    int days = 0;              // older than this many days; 0: whatever their date
    CleanItems which = CleanItems::kAll;
};

// The cleaning of stored items, shared by the wizard and the cli.
class CFeedCleaner {
public:
    CFeedCleaner(CChannelTree& tree, CFeedDatabase& store);

    // The check of the wizard's age field: "" or the message to show.
    static std::string CheckDays(const std::string& text, int& days);
    static constexpr int kMaxDays = 365;
    static constexpr const char* kDaysText = "请输入 0 ~ 365 间的数字";
    static constexpr const char* kNoChannelText = "请选择至少一个要清理的频道!";

    // Removes the items in one statement over the channels' feed ids. Then every channel's
    // unread count (not only the cleaned ones') is set to 0 under the tree's lock: the counts
    // are taken again at the next receive. False with the reason in Error() when the store
    // failed; the counts are reset all the same, as the wizard ends the same way.
    bool Clean(const CleanRequest& request, int* removed = nullptr);
    const std::string& Error() const { return m_error; }

private:
    CChannelTree& m_tree;
    CFeedDatabase& m_store;
    std::string m_error;
};
