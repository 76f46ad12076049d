#include "reader/FeedRules.h"

#include "app/AppContext.h"
#include "platform/fs/FileUtil.h"
#include "platform/http/CancelToken.h"
#include "platform/text/AsciiText.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

template <typename Enum, size_t N>
bool ParseName(const std::string& text, const std::pair<Enum, const char*> (&names)[N], Enum& out) {
    for (const auto& [value, name] : names) {
        if (text == name) {
            out = value;
            return true;
        }
    }
    return false;
}

template <typename Enum, size_t N>
const char* NameOf(Enum value, const std::pair<Enum, const char*> (&names)[N]) {
    for (const auto& [known, name] : names)
        if (known == value)
            return name;
    return "";
}

constexpr std::pair<RuleScope, const char*> kScopes[] = {{RuleScope::kAll, "all"},
                                                         {RuleScope::kDirectory, "directory"},
                                                         {RuleScope::kChannel, "channel"}};
constexpr std::pair<RuleField, const char*> kFields[] = {{RuleField::kTitle, "title"},
                                                         {RuleField::kAuthor, "author"},
                                                         {RuleField::kDescription, "description"},
                                                         {RuleField::kLink, "link"}};
constexpr std::pair<RuleMatch, const char*> kMatches[] = {{RuleMatch::kContains, "contains"},
                                                          {RuleMatch::kRegex, "regex"}};
constexpr std::pair<RuleAction, const char*> kActions[] = {
    {RuleAction::kMarkRead, "read"},
    {RuleAction::kDelete, "delete"},
    {RuleAction::kCopyToFavorites, "copy"},
    {RuleAction::kMarkImportant, "important"}};

const std::string& FieldOf(const FeedItem& item, RuleField field) {
    switch (field) {
    case RuleField::kTitle:
        return item.title;
    case RuleField::kAuthor:
        return item.author;
    case RuleField::kDescription:
        return item.description;
    case RuleField::kLink:
        return item.link;
    }
    return item.title;
}

std::regex::flag_type RegexFlags(const FeedRule& rule) {
    // Only whether it matches counts: no groups are kept.
    auto flags = std::regex::ECMAScript | std::regex::optimize | std::regex::nosubs;
    if (!rule.caseSensitive)
        flags |= std::regex::icase;
    return flags;
}

} // namespace

// ---- The rules file ----

std::string CFeedRules::DefaultPath(const CAppContext& context) {
    return context.FilePath("config\\feedrules.json");
}

CFeedRules::CFeedRules(std::string path) : m_path(std::move(path)) {}

const char* CFeedRules::ScopeName(RuleScope scope) {
    return NameOf(scope, kScopes);
}
const char* CFeedRules::FieldName(RuleField field) {
    return NameOf(field, kFields);
}
const char* CFeedRules::MatchName(RuleMatch match) {
    return NameOf(match, kMatches);
}
const char* CFeedRules::ActionName(RuleAction action) {
    return NameOf(action, kActions);
}
bool CFeedRules::ParseScope(const std::string& text, RuleScope& scope) {
    return ParseName(text, kScopes, scope);
}
bool CFeedRules::ParseField(const std::string& text, RuleField& field) {
    return ParseName(text, kFields, field);
}
bool CFeedRules::ParseMatch(const std::string& text, RuleMatch& match) {
    return ParseName(text, kMatches, match);
}
bool CFeedRules::ParseAction(const std::string& text, RuleAction& action) {
    return ParseName(text, kActions, action);
}

bool CFeedRules::Load(std::string& error) {
    m_rules.clear();
    if (!CFileUtil::Exists(m_path))
        return true;
    std::string text;
    if (!CFileUtil::ReadFile(m_path, text)) {
        error = m_path + ": " + CFileUtil::LastErrorText();
        return false;
    }
    std::vector<FeedRule> rules;
    try {
        const Json root = Json::parse(text);
        for (const Json& entry : root.at("rules")) {
            FeedRule rule;
            rule.id = entry.at("id").get<int>();
            rule.scopePath = entry.value("scopePath", "");
            rule.pattern = entry.at("pattern").get<std::string>();
            rule.caseSensitive = entry.value("caseSensitive", false);
            rule.box = entry.value("box", "");
            if (!ParseScope(entry.value("scope", "all"), rule.scope) ||
                !ParseField(entry.at("field").get<std::string>(), rule.field) ||
                !ParseMatch(entry.at("match").get<std::string>(), rule.match) ||
                !ParseAction(entry.at("action").get<std::string>(), rule.action))
                throw std::runtime_error("规则 " + std::to_string(rule.id) + " 的取值无效");
            if (std::string why = Check(rule); !why.empty())
                throw std::runtime_error("规则 " + std::to_string(rule.id) + ": " + why);
            rules.push_back(std::move(rule));
        }
    } catch (const std::exception& e) {
        error = m_path + ": " + e.what();
        return false;
    }
    m_rules = std::move(rules);
    return true;
}

std::string CFeedRules::Save(const std::vector<FeedRule>& rules) const {
    Json list = Json::array();
    for (const FeedRule& rule : rules) {
        Json entry = {{"id", rule.id},
                      {"scope", ScopeName(rule.scope)},
                      {"scopePath", rule.scopePath},
                      {"field", FieldName(rule.field)},
                      {"match", MatchName(rule.match)},
                      {"pattern", rule.pattern},
                      {"caseSensitive", rule.caseSensitive},
                      {"action", ActionName(rule.action)}};
        if (rule.action == RuleAction::kCopyToFavorites)
            entry["box"] = rule.box;
        list.push_back(std::move(entry));
    }
    const std::string text = Json{{"rules", list}}.dump(2) + "\n";
    CFileUtil::CreateDirectories(std::filesystem::path(m_path).parent_path().string());
    if (!CFileUtil::WriteFileAtomic(m_path, text))
        return m_path + ": " + CFileUtil::LastErrorText();
    return {};
}

const FeedRule* CFeedRules::Find(int id) const {
    for (const FeedRule& rule : m_rules)
        if (rule.id == id)
            return &rule;
    return nullptr;
}

std::string CFeedRules::Check(const FeedRule& rule) {
    if (rule.pattern.empty())
        return "规则需要一个要匹配的文字";
    if (rule.scope != RuleScope::kAll && rule.scopePath.empty())
        return "规则需要它所作用的目录或频道";
    if (rule.action == RuleAction::kCopyToFavorites && rule.box.empty())
        return "复制到收藏需要一个收藏节点";
    if (rule.match == RuleMatch::kRegex) {
        try {
            std::regex check(rule.pattern, RegexFlags(rule));
        } catch (const std::regex_error& e) {
            return std::string("正则表达式无效: ") + e.what();
        }
    }
    return {};
}

std::string CFeedRules::Add(FeedRule rule, int* id) {
    if (std::string why = Check(rule); !why.empty())
        return why;
    int highest = 0;
    for (const FeedRule& known : m_rules)
        highest = std::max(highest, known.id);
    rule.id = highest + 1;
    std::vector<FeedRule> rules = m_rules;
    rules.push_back(rule);
    if (std::string why = Save(rules); !why.empty())
        return why;
    m_rules = std::move(rules);
    if (id)
        *id = rule.id;
    return {};
}

std::string CFeedRules::Replace(const FeedRule& rule) {
    if (std::string why = Check(rule); !why.empty())
        return why;
    std::vector<FeedRule> rules = m_rules;
    const auto at = std::find_if(rules.begin(), rules.end(),
                                 [&rule](const FeedRule& known) { return known.id == rule.id; });
    if (at == rules.end())
        return "没有编号为 " + std::to_string(rule.id) + " 的规则";
    *at = rule;
    if (std::string why = Save(rules); !why.empty())
        return why;
    m_rules = std::move(rules);
    return {};
}

std::string CFeedRules::Remove(int id) {
    std::vector<FeedRule> rules = m_rules;
    const auto gone = std::remove_if(rules.begin(), rules.end(),
                                     [id](const FeedRule& rule) { return rule.id == id; });
    if (gone == rules.end())
        return "没有编号为 " + std::to_string(id) + " 的规则";
    rules.erase(gone, rules.end());
    if (std::string why = Save(rules); !why.empty())
        return why;
    m_rules = std::move(rules);
    return {};
}

// ---- Applying them ----

CRuleFilter::Compiled CRuleFilter::Compile(const FeedRule& rule) {
    Compiled compiled{.rule = rule};
    if (rule.match == RuleMatch::kRegex)
        compiled.regex = std::make_shared<std::regex>(rule.pattern, RegexFlags(rule));
    else if (!rule.caseSensitive)
        compiled.lowered = AsciiLower(rule.pattern);
    return compiled;
}

bool CRuleFilter::Holds(const Compiled& compiled, const FeedItem& item, std::string* lowered) {
    const std::string& text = FieldOf(item, compiled.rule.field);
    if (compiled.regex)
        return std::regex_search(text, *compiled.regex);
    if (compiled.rule.caseSensitive)
        return text.find(compiled.rule.pattern) != std::string::npos;
    // The field lower-cased once for every rule that looks at it.
    std::string& lower = lowered[static_cast<int>(compiled.rule.field)];
    if (lower.empty() && !text.empty())
        lower = AsciiLower(text);
    return lower.find(compiled.lowered) != std::string::npos;
}

bool CRuleFilter::Covers(const FeedRule& rule, const CChannelTree& tree, int channel) {
    if (rule.scope == RuleScope::kAll)
        return true;
    const int scope = tree.FindByPath(rule.scopePath);
    if (scope < 0)
        return false; // the directory or channel is gone: the rule rests
    for (int at = channel; at >= 0; at = tree.Record(at).parent) {
        if (at == scope)
            return rule.scope == RuleScope::kDirectory || at == channel;
    }
    return false;
}

CRuleFilter::CRuleFilter(const std::vector<FeedRule>& rules,
                         const std::function<int(const std::string& box)>& boxId) {
    for (const FeedRule& rule : rules) {
        if (!CFeedRules::Check(rule).empty())
            continue;
        Compiled compiled = Compile(rule);
        if (rule.action == RuleAction::kCopyToFavorites) {
            compiled.folderId = boxId ? boxId(rule.box) : 0;
            if (compiled.folderId == 0)
                continue;
        }
        m_rules.push_back(std::move(compiled));
    }
}

bool CRuleFilter::Focus(const CChannelTree& tree, int channel) {
    m_focus.clear();
    for (const Compiled& compiled : m_rules)
        if (Covers(compiled.rule, tree, channel))
            m_focus.push_back(&compiled);
    // The cheap tests first: a plain text before an expression.
    std::stable_partition(m_focus.begin(), m_focus.end(),
                          [](const Compiled* compiled) { return !compiled->regex; });
    return !m_focus.empty();
}

MergeVerdict CRuleFilter::Judge(const FeedItem& item) const {
    MergeVerdict verdict;
    std::string lowered[kFieldCount];
    for (const Compiled* rule : m_focus) {
        const Compiled& compiled = *rule;
        // What is decided already needs no second rule.
        if ((compiled.rule.action == RuleAction::kDelete && verdict.drop) ||
            (compiled.rule.action == RuleAction::kMarkRead && (verdict.markRead || verdict.drop)) ||
            (compiled.rule.action == RuleAction::kMarkImportant &&
             (verdict.important || verdict.drop)))
            continue;
        if (!Holds(compiled, item, lowered))
            continue;
        switch (compiled.rule.action) {
        case RuleAction::kMarkRead:
            verdict.markRead = true;
            break;
        case RuleAction::kDelete:
            verdict.drop = true;
            break;
        case RuleAction::kMarkImportant:
            verdict.important = true;
            break;
        case RuleAction::kCopyToFavorites:
            if (std::find(verdict.favoriteFolders.begin(), verdict.favoriteFolders.end(),
                          compiled.folderId) == verdict.favoriteFolders.end())
                verdict.favoriteFolders.push_back(compiled.folderId);
            break;
        }
    }
    return verdict;
}

int CRuleFilter::CountHits(const FeedRule& rule, CChannelTree& tree, CFeedDatabase& store,
                           std::string& error, const CCancelToken* cancel) {
    if (std::string why = CFeedRules::Check(rule); !why.empty()) {
        error = why;
        return -1;
    }
    const Compiled compiled = Compile(rule);
    // The list columns hold the title and the author; the other fields need whole rows.
    const bool full = rule.field == RuleField::kDescription || rule.field == RuleField::kLink;
    int hits = 0;
    for (int channel : tree.AllChannels()) {
        if (cancel && cancel->IsCancelled()) {
            error = "已取消";
            return -1;
        }
        if (!Covers(rule, tree, channel))
            continue;
        int feedId = 0;
        std::vector<FeedItem> items;
        int total = 0;
        if (const StoreResult found = tree.GetFeedId(channel, feedId, store); !found) {
            error = found.reason;
            return -1;
        }
        if (const StoreResult read =
                store.GetItemPage(feedId, ItemFilter::kAll, full, items, total, -1, 0);
            !read) {
            error = read.reason;
            return -1;
        }
        for (const FeedItem& item : items) {
            std::string lowered[kFieldCount];
            hits += Holds(compiled, item, lowered) ? 1 : 0;
        }
    }
    return hits;
}
