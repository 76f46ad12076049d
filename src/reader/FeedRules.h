#pragma once

#include "storage/MergeFilter.h"

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

class CAppContext;

class CCancelToken;
class CChannelTree;
class CFeedDatabase;

enum class RuleScope {
    kAll,       // every channel
    kDirectory, // the channels at and below a directory
    kChannel,   // one channel
};
enum class RuleField { kTitle, kAuthor, kDescription, kLink };
enum class RuleMatch {
    kContains, // the text holds the pattern
    kRegex,    // the pattern, a regular expression (ECMAScript), matches somewhere in the text
};
enum class RuleAction {
    kMarkRead,        // stored read
    kDelete,          // not stored
    kCopyToFavorites, // stored, and copied into a favorites box
    kMarkImportant,   // stored marked important
};

// One filter rule (过滤规则): which channels, which items, what happens to them when they come
// new.
struct FeedRule {
    int id = 0;
    RuleScope scope = RuleScope::kAll;
    std::string scopePath; // the directory's or the channel's path, titles joined by "/"
    RuleField field = RuleField::kTitle;
    RuleMatch match = RuleMatch::kContains;
    std::string pattern;
    bool caseSensitive = false; // letters of either case match unless set
    RuleAction action = RuleAction::kMarkRead;
    std::string box; // the favorites box's path, for kCopyToFavorites
};

// The rules of the program directory (config/feedrules.json), in the order they were added.
// The file is replaced atomically; a rule that cannot work (no pattern, a regular expression
// the engine refuses, no box to copy to) is never stored.
class CFeedRules {
public:
    // config/feedrules.json of the context's program directory.
    static std::string DefaultPath(const CAppContext& context);
    explicit CFeedRules(std::string path);

    // A missing file holds no rules. False with the reason when the file cannot be read.
    bool Load(std::string& error);
    const std::vector<FeedRule>& Rules() const { return m_rules; }
    const FeedRule* Find(int id) const;
    // Checks the rule, gives it the next id and saves; "" on success, else why not (nothing
    // is changed then).
    std::string Add(FeedRule rule, int* id = nullptr);
    // Puts the rule in the place of the stored rule with its id, after the same checks; "" on
    // success, else why not (nothing is changed then).
    std::string Replace(const FeedRule& rule);
    // "" on success, else why not.
    std::string Remove(int id);

    // Why the rule cannot work, "" when it can. An invalid regular expression is refused with
    // the engine's own message.
    static std::string Check(const FeedRule& rule);

    static const char* ScopeName(RuleScope scope);
    static const char* FieldName(RuleField field);
    static const char* MatchName(RuleMatch match);
    static const char* ActionName(RuleAction action);
    static bool ParseScope(const std::string& text, RuleScope& scope);
    static bool ParseField(const std::string& text, RuleField& field);
    static bool ParseMatch(const std::string& text, RuleMatch& match);
    static bool ParseAction(const std::string& text, RuleAction& action);

private:
    std::string Save(const std::vector<FeedRule>& rules) const;

    std::string m_path;
    std::vector<FeedRule> m_rules;
};

// The rules compiled once for a walk; Focus picks those that cover the channel being merged.
class CRuleFilter : public CMergeFilter {
public:
    // boxId: the favorites folder id of a box path, 0 when there is none (a rule copying there
    // rests then).
    CRuleFilter(const std::vector<FeedRule>& rules,
                const std::function<int(const std::string& box)>& boxId);
    // The rules that cover the channel are the ones Judge applies; false when there are none.
    bool Focus(const CChannelTree& tree, int channel);
    MergeVerdict Judge(const FeedItem& item) const override;

    // Whether the rule covers the channel.
    static bool Covers(const FeedRule& rule, const CChannelTree& tree, int channel);
    // How many of the stored items of the channels it covers the rule would hit; -1 with the
    // reason when the store fails, the rule cannot work or the count was cancelled. Reads one
    // channel at a time, so it may run on a worker with its own store over a shared tree.
    static int CountHits(const FeedRule& rule, CChannelTree& tree, CFeedDatabase& store,
                         std::string& error, const CCancelToken* cancel = nullptr);

private:
    struct Compiled {
        FeedRule rule;
        std::shared_ptr<std::regex> regex; // for kRegex
        std::string lowered;               // for kContains without case
        int folderId = 0;
    };
    static constexpr int kFieldCount = 4;
    static Compiled Compile(const FeedRule& rule);
    // lowered: the item's fields lower-cased, by RuleField, filled as rules need them.
    static bool Holds(const Compiled& compiled, const FeedItem& item, std::string* lowered);

    std::vector<Compiled> m_rules;
    std::vector<const Compiled*> m_focus;
};
