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

// What a cleaning would remove.
struct CleanCount {
    int items = 0;
    int unread = 0; // of those items
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

    // How many items Clean would remove, and how many of them are unread; false with the
    // reason in Error() when the store cannot say.
    bool Count(const CleanRequest& request, CleanCount& count);
    // The question the wizard asks before it removes them.
    static std::string QuestionText(const CleanCount& count);
    static constexpr const char* kQuestionCaption = "清理确认";
    static constexpr const char* kNothingText = "所选频道中没有符合条件的文章, 无需清理";

    // Removes the items in one statement over the channels' feed ids, then takes the cleaned
    // channels' unread counts again from the store (the other channels keep theirs). False
    // with the reason in Error() when the store failed.
    bool Clean(const CleanRequest& request, int* removed = nullptr);
    const std::string& Error() const { return m_error; }

private:
    // The feed ids of the request's channels, with the tree indexes they belong to.
    bool FeedIds(const CleanRequest& request, std::vector<int>& feedIds,
                 std::vector<int>& channels);

    CChannelTree& m_tree;
    CFeedDatabase& m_store;
    std::string m_error;
};
