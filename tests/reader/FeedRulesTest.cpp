#include "reader/FeedRules.h"
#include "app/AppPaths.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(FeedRules, TheFileKeepsRulesThatWorkAndRefusesTheOthersWithTheirReason) {
    CTempHome home;
    const std::string path = home.File("config/feedrules.json");
    CFeedRules rules(path);
    std::string error;
    ASSERT_TRUE(rules.Load(error)) << "no file: no rules";
    int id = 0;
    ASSERT_EQ(rules.Add({.scope = RuleScope::kDirectory,
                         .scopePath = "新闻/国内",
                         .field = RuleField::kDescription,
                         .match = RuleMatch::kRegex,
                         .pattern = "广告|推广",
                         .action = RuleAction::kCopyToFavorites,
                         .box = "收藏/待看"},
                        &id),
              "");
    EXPECT_EQ(id, 1);
    const std::string saved = ReadAll(path);

    // The engine's own words for a bad expression; nothing is written.
    std::string engine;
    try {
        std::regex("a(b", std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error& e) {
        engine = e.what();
    }
    EXPECT_EQ(rules.Add({.match = RuleMatch::kRegex, .pattern = "a(b"}),
              "正则表达式无效: " + engine);
    EXPECT_EQ(rules.Add({.pattern = ""}), "规则需要一个要匹配的文字");
    EXPECT_EQ(rules.Add({.pattern = "x", .action = RuleAction::kCopyToFavorites}),
              "复制到收藏需要一个收藏节点");
    EXPECT_EQ(ReadAll(path), saved);

    CFeedRules again(path);
    ASSERT_TRUE(again.Load(error)) << error;
    ASSERT_EQ(again.Rules().size(), 1u);
    const FeedRule& rule = again.Rules()[0];
    EXPECT_EQ(rule.scopePath, "新闻/国内");
    EXPECT_EQ(rule.field, RuleField::kDescription);
    EXPECT_EQ(rule.pattern, "广告|推广");
    EXPECT_EQ(rule.box, "收藏/待看");
    EXPECT_EQ(again.Remove(7), "没有编号为 7 的规则");
    EXPECT_EQ(again.Remove(1), "");
    EXPECT_TRUE(CFeedRules(path).Load(error));

    // A file edited by hand into something unreadable says where and why.
    WriteAll(path, R"({"rules": [{"id": 1, "field": "title", "match": "regex", "pattern": "(",
                     "action": "read"}]})");
    EXPECT_FALSE(again.Load(error));
    EXPECT_NE(error.find("正则表达式无效"), std::string::npos) << error;
}
