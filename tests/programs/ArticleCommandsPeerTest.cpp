// quillmark-cli's article publish --to, move, copy and rm against the WordPress peer.
#include "blogclient/peer/PeerSupport.h"
#include "support/CliRunner.h"

#include <ctime>
#include <unistd.h>

namespace {

class ArticleCommandsPeerTest : public CCliTest {
protected:
    void SetUp() override { SKIP_WITHOUT_PEER(); }

    void Add(const std::string& name, const std::string& password,
             const std::string& user = "admin") {
        CliResult added = Run({"account", "add", "--name", name, "--description", "测试 " + name,
                               "--type", "MetaWeblog", "--url", kPeerUrl, "--port", "8080",
                               "--user", user, "--password", password});
        ASSERT_EQ(added.exitCode, 0) << added.err;
    }

    // A new draft of the account; its id.
    std::string Draft(const std::string& account, const std::string& title) {
        WriteAll(m_dir + "/body.html", "<p>正文 & \"引号\"</p>");
        CliResult draft = Run({"article", "new", account, "--title", title, "--category", "技术",
                               "--content-file", m_dir + "/body.html"});
        EXPECT_EQ(draft.exitCode, 0) << draft.err;
        return draft.out.substr(0, draft.out.find('\n'));
    }

    const std::string m_run = std::to_string(::getpid()) + "-" + std::to_string(std::time(nullptr));
};

// One line per account: its post id, or its failure with the reason; non-zero exit when one
// failed. The posts are on the server and in each account's 已发日志.
TEST_F(ArticleCommandsPeerTest, PublishToSeveralAccountsGivesALinePerAccount) {
    Add("一", "quill-pass-1");
    Add("二", "quill-pass-1");
    Add("三", "quill-pass-1");
    Add("坏", "wrong-password");
    const std::string id = Draft("一", "多处发布 " + m_run);

    CliResult six = Run({"article", "publish", id, "--to", "一,二,三,坏,五,六"});
    EXPECT_EQ(six.exitCode, 1);
    EXPECT_EQ(six.err, "您最多只能选择同时发布到 5 个账户!\n");
    EXPECT_EQ(six.out, "");

    CliResult publish = Run({"article", "publish", id, "--to", "一, 二,坏,三"});
    EXPECT_EQ(publish.exitCode, 1) << publish.err;
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = publish.out.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(publish.out.substr(start, end - start));
    ASSERT_EQ(lines.size(), 4u) << publish.out;
    EXPECT_EQ(lines[2].rfind("坏\t发送失败!\t错误 4000", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find("Incorrect username or password."), std::string::npos);
    std::vector<std::string> postIds;
    for (int i : {0, 1, 3}) {
        size_t tab = lines[i].find('\t');
        ASSERT_NE(tab, std::string::npos) << lines[i];
        std::string postId = lines[i].substr(tab + 1);
        EXPECT_GT(std::atoi(postId.c_str()), 0) << lines[i];
        postIds.push_back(postId);
        const std::string account = lines[i].substr(0, tab);
        CliResult sent = Run({"articles", account, "--folder", "2", "--json"});
        EXPECT_NE(sent.out.find("\"guid\": \"" + postId + "\""), std::string::npos) << sent.out;
        EXPECT_NE(sent.out.find("多处发布 " + m_run), std::string::npos);
    }
    EXPECT_EQ(Run({"articles", "坏", "--folder", "2", "--json"}).out, "[]\n");
    EXPECT_EQ(Run({"articles", "一", "--folder", "3", "--json"}).out, "[]\n");

    // The three posts are on the server: fetching finds each one.
    CliResult fetch = Run({"posts", "fetch", "二", "--count", "30"});
    ASSERT_EQ(fetch.exitCode, 0) << fetch.err;
    CliResult received = Run({"articles", "二", "--folder", "1", "--json"});
    for (const std::string& postId : postIds)
        EXPECT_NE(received.out.find("\"guid\": \"" + postId + "\""), std::string::npos);

    // Tidy the server: each account's sent article is deleted there.
    for (const char* account : {"一", "二", "三"}) {
        std::string sent = Run({"articles", account, "--folder", "2"}).out;
        CliResult removed = Run({"article", "delete-remote", sent.substr(0, sent.find('\t'))});
        EXPECT_EQ(removed.exitCode, 0) << removed.err;
    }
}

// Move and copy between folders and accounts keep the article whole; rm moves to 垃圾箱 and
// deletes from there for good.
TEST_F(ArticleCommandsPeerTest, MoveCopyAndRemoveLocally) {
    Add("一", "quill-pass-1");
    Add("二", "quill-pass-1");
    const std::string id = Draft("一", "搬动 'x' " + m_run);
    const std::string before = Run({"articles", "一", "--folder", "3", "--json"}).out;

    CliResult copy = Run({"article", "copy", id, "--to", "二", "--folder", "4"});
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    const std::string copyId = copy.out.substr(0, copy.out.find('\n'));
    EXPECT_NE(copyId, id);
    std::string copied = Run({"articles", "二", "--folder", "4", "--json"}).out;
    std::string expected = before;
    expected.replace(expected.find("\"id\": " + id), 6 + id.size(), "\"id\": " + copyId);
    EXPECT_EQ(copied, expected);

    CliResult move = Run({"article", "move", id, "--to", "二", "--folder", "3"});
    ASSERT_EQ(move.exitCode, 0) << move.err;
    EXPECT_EQ(Run({"articles", "一", "--folder", "3", "--json"}).out, "[]\n");
    EXPECT_EQ(Run({"articles", "二", "--folder", "3", "--json"}).out, before);

    CliResult nowhere = Run({"article", "move", id, "--to", "无此账户", "--folder", "3"});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_EQ(nowhere.err, "没有这个账户: 无此账户\n");
    EXPECT_EQ(Run({"article", "move", id, "--to", "一", "--folder", "7"}).exitCode, 1);
    EXPECT_EQ(Run({"articles", "二", "--folder", "3", "--json"}).out, before);

    ASSERT_EQ(Run({"article", "rm", id}).exitCode, 0);
    EXPECT_NE(Run({"articles", "二", "--folder", "4"}).out.find(id + "\t"), std::string::npos);
    ASSERT_EQ(Run({"article", "rm", id}).exitCode, 0);
    EXPECT_EQ(Run({"article", "rm", id}).err, "没有对应id的文章\n");
    EXPECT_EQ(Run({"articles", "二", "--folder", "4", "--json"}).out, copied);
}

// A sent article moved within its account still names its post: publishing it edits that
// post. Moved to another account it is a new article there: publishing it makes a new post and
// leaves the old one alone.
TEST_F(ArticleCommandsPeerTest, AMoveToAnotherAccountPublishesANewPost) {
    Add("一", "quill-pass-1");
    Add("二", "quill-pass-2", "editor2");
    const std::string id = Draft("一", "转移 " + m_run);
    const auto publish = [&] {
        CliResult published = Run({"article", "publish", id});
        EXPECT_EQ(published.exitCode, 0) << published.err;
        return published.out;
    };
    const std::string post = publish();
    ASSERT_GT(std::atoi(post.c_str()), 0) << post;

    ASSERT_EQ(Run({"article", "move", id, "--to", "一", "--folder", "3"}).exitCode, 0);
    EXPECT_EQ(publish(), post);

    ASSERT_EQ(Run({"article", "move", id, "--to", "二", "--folder", "3"}).exitCode, 0);
    const std::string other = publish();
    EXPECT_GT(std::atoi(other.c_str()), 0) << other;
    EXPECT_NE(other, post);

    // Tidy the server: the new post through the moved article, the first one through its copy
    // fetched into 已收日志.
    EXPECT_EQ(Run({"article", "delete-remote", id}).exitCode, 0);
    EXPECT_EQ(Run({"posts", "fetch", "一", "--count", "30"}).exitCode, 0);
    // Lines of id, date, post id and title.
    const std::string received = "\n" + Run({"articles", "一", "--folder", "1"}).out;
    const size_t row = received.find("\t" + post.substr(0, post.size() - 1) + "\t");
    if (row != std::string::npos) { // among the newest 30 posts unless others posted meanwhile
        const size_t start = received.rfind('\n', row) + 1;
        const std::string copy = received.substr(start, received.find('\t', start) - start);
        EXPECT_EQ(Run({"article", "delete-remote", copy}).exitCode, 0);
    }
}

} // namespace
