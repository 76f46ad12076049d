// The weblog commands of quillmark-cli that need no server (or one on 127.0.0.1).
#include "app/AppContext.h"
#include "support/CliRunner.h"
#include "workspace/EditorSession.h"
#include "workspace/MediaFile.h"
#include "workspace/WeblogLibrary.h"
#include "workspace/WorkspaceTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class BlogCommandsTest : public CCliTest {};

TEST_F(BlogCommandsTest, AccountAddChecksInTheWizardsOrder) {
    struct Case {
        std::string name;
        std::string type;
        std::string port;
        std::string message;
    };
    // Every check and its order are the set-up's own (AccountSetupTest); here each kind once.
    const Case cases[] = {
        {"  ", "MetaWeblog", "80", "请输入账户名称"},
        {"ok", "LiveJournal", "80", "无匹配的blog类型!"},
        {"ok", "Blogger", "", "请输入端口号!"},
        {"ok", "Blogger", "65536", "请输入有效的端口号!(0 - 65535)"},
    };
    for (const Case& c : cases) {
        CliResult r = Run(AccountAddArgs(c.name, c.type, c.port));
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_EQ(r.err, c.message + "\n");
    }
    ASSERT_EQ(Run(AccountAddArgs("一二三四五六七八九十", "Blogger", "65535")).exitCode, 0);
    CliResult again = Run(AccountAddArgs("一二三四五六七八九十"));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "已经有这个账户名了!\n");
}

TEST_F(BlogCommandsTest, AccountsAndDraftsAreListedAndRemovedTogether) {
    ASSERT_EQ(Run(AccountAddArgs("甲")).exitCode, 0);
    ASSERT_EQ(Run(AccountAddArgs("乙", "MovableType")).exitCode, 0);
    CliResult list = Run({"account", "list", "--json"});
    EXPECT_EQ(list.out.find("[{\"name\": \"甲\", \"description\": \"描述\", \"type\": "
                            "\"MetaWeblog\""),
              0u)
        << list.out;
    EXPECT_EQ(list.out.find("pw"), std::string::npos); // no password is printed

    WriteAll(m_dir + "/body.html", "<p>正文 & \"引号\"</p>");
    CliResult draft = Run({"article", "new", "甲", "--title", "标题 'a' & <b>", "--category",
                           "技术", "--content-file", m_dir + "/body.html"});
    ASSERT_EQ(draft.exitCode, 0) << draft.err;
    EXPECT_EQ(draft.out, "1\n");
    ASSERT_EQ(
        Run({"article", "new", "乙", "--title", "别的", "--content-file", m_dir + "/body.html"})
            .exitCode,
        0);
    CliResult drafts = Run({"articles", "甲", "--folder", "3", "--json"});
    ASSERT_EQ(drafts.exitCode, 0) << drafts.err;
    EXPECT_EQ(
        drafts.out.rfind(
            "[{\"id\": 1, \"title\": \"标题 'a' & <b>\", \"category\": \"技术\", \"tags\": \"\", "
            "\"pubDate\": \"",
            0),
        0u)
        << drafts.out;
    EXPECT_NE(drafts.out.find("\"guid\": \"\"}]"), std::string::npos);
    EXPECT_EQ(Run({"articles", "甲", "--folder", "1", "--json"}).out, "[]\n");

    ASSERT_EQ(Run({"account", "rm", "甲"}).exitCode, 0);
    EXPECT_NE(Run({"articles", "甲", "--folder", "3"}).err.find("错误 6001"), std::string::npos);
    // The other account keeps its draft; the removed account's article left the store.
    EXPECT_NE(Run({"articles", "乙", "--folder", "3"}).out.find("别的"), std::string::npos);
    CliResult publish = Run({"article", "publish", "1"});
    EXPECT_EQ(publish.exitCode, 1);
    EXPECT_EQ(publish.err, "没有对应id的文章\n");
}

TEST_F(BlogCommandsTest, CommandsRefuseWhatTheyCannotDo) {
    ASSERT_EQ(Run(AccountAddArgs("b", "Blogger")).exitCode, 0);
    WriteAll(m_dir + "/body.html", "x");
    ASSERT_EQ(Run({"article", "new", "b", "--title", "t", "--content-file", m_dir + "/body.html"})
                  .exitCode,
              0);
    // A draft has no post on the server yet.
    EXPECT_EQ(Run({"article", "delete-remote", "1"}).err, "这篇文章不在服务器上\n");
    EXPECT_EQ(Run({"categories", "b"}).err, "Blogger 接口没有分类\n");
    // Nothing listens on port 9: a network failure, and the draft stays a draft.
    CliResult publish = Run({"article", "publish", "1"});
    EXPECT_EQ(publish.exitCode, 1);
    EXPECT_NE(publish.err.find("错误 3001"), std::string::npos) << publish.err;
    // with what went wrong below it
    EXPECT_NE(publish.err.find("\n原因: 连接被拒绝或找不到主机: 无法连接到 "
                               "http://127.0.0.1:9/xmlrpc.php ("),
              std::string::npos)
        << publish.err;
    EXPECT_NE(Run({"articles", "b", "--folder", "3"}).out.find("\tt\n"), std::string::npos);

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"posts", "fetch"},
                                                {"articles", "b"},
                                                {"articles", "b", "--folder", "5"},
                                                {"article", "new", "b", "--title", "t"},
                                                {"account", "add", "--bogus", "1"},
                                                {"media", "upload", "b"}}) {
        CliResult r = Run(bad);
        EXPECT_EQ(r.exitCode, 1) << bad.front();
        EXPECT_NE(r.err.find("用法"), std::string::npos) << r.err;
    }
    CliResult missing =
        Run({"article", "new", "b", "--title", "t", "--content-file", m_dir + "/no-such-file"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("无法读取文件"), std::string::npos);
}

// A control character in an article is refused before anything is sent (nothing listens on
// port 9, so a request would have failed with 3001); the draft stays a draft.
TEST_F(BlogCommandsTest, PublishRefusesControlCharactersBeforeSending) {
    for (const char* type : {"Blogger", "MetaWeblog"}) {
        SCOPED_TRACE(type);
        RemoveTree(m_dir);
        m_dir = MakeTempDir();
        ASSERT_EQ(Run(AccountAddArgs("b", type)).exitCode, 0);
        WriteAll(m_dir + "/body.html", "<p>正文</p>");
        WriteAll(m_dir + "/bell.html", "<p>响\a铃</p>");
        ASSERT_EQ(Run({"article", "new", "b", "--title", "坏\x01标题", "--content-file",
                       m_dir + "/body.html"})
                      .exitCode,
                  0);
        ASSERT_EQ(Run({"article", "new", "b", "--title", "好标题", "--category", "分\x1F类",
                       "--content-file", m_dir + "/bell.html"})
                      .exitCode,
                  0);
        CliResult title = Run({"article", "publish", "1"});
        EXPECT_EQ(title.exitCode, 1);
        EXPECT_EQ(title.err.rfind("文章不能发送: 标题中第 2 个字符是控制字符 U+0001。", 0), 0u)
            << title.err;
        EXPECT_EQ(title.err.find("错误 3001"), std::string::npos) << title.err;
        CliResult body = Run({"article", "publish", "2"});
        EXPECT_EQ(body.exitCode, 1);
        EXPECT_EQ(body.err.rfind("文章不能发送: 正文中第 5 个字符是控制字符 U+0007。", 0), 0u)
            << body.err;
        CliResult drafts = Run({"articles", "b", "--folder", "3"});
        EXPECT_NE(drafts.out.find("坏\x01标题"), std::string::npos) << drafts.out;
        EXPECT_NE(drafts.out.find("好标题"), std::string::npos) << drafts.out;
        EXPECT_EQ(Run({"articles", "b", "--folder", "2", "--json"}).out, "[]\n");
    }
}

// Which folders may be published or moved away is the window's rule: a post of the weblog is
// not sent again from 已发日志 (to its own account or others), a received copy is copied, not
// moved.
TEST_F(BlogCommandsTest, OnlyDraftsAndTrashArePublishedAndReceivedCopiesStay) {
    ASSERT_EQ(Run(AccountAddArgs("甲")).exitCode, 0);
    WriteAll(m_dir + "/body.html", "x");
    ASSERT_EQ(Run({"article", "new", "甲", "--title", "t", "--content-file", m_dir + "/body.html"})
                  .exitCode,
              0);
    ASSERT_EQ(Run({"article", "move", "1", "--to", "甲", "--folder", "2"}).exitCode, 0);
    for (const std::vector<std::string>& publish :
         {std::vector<std::string>{"article", "publish", "1"},
          {"article", "publish", "1", "--to", "甲"}}) {
        CliResult refused = Run(publish);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.err, "只能发布草稿箱或垃圾箱中的文章\n");
        EXPECT_EQ(refused.out, "");
    }
    ASSERT_EQ(Run({"article", "move", "1", "--to", "甲", "--folder", "1"}).exitCode, 0);
    CliResult stays = Run({"article", "move", "1", "--to", "甲", "--folder", "3"});
    EXPECT_EQ(stays.exitCode, 1);
    EXPECT_EQ(stays.err, "已收日志中的文章不能转移 (可以复制)\n");
    EXPECT_EQ(Run({"article", "copy", "1", "--to", "甲", "--folder", "3"}).exitCode, 0);
    EXPECT_NE(Run({"articles", "甲", "--folder", "1"}).out.find("\tt\n"), std::string::npos);
}

// Categories and uploads are the editor's use-case too: the categories the cli fetched are the
// list the editor offers at its next start, and a file either would refuse is refused by both in
// the same words, before anything is sent.
TEST_F(BlogCommandsTest, CategoriesAndUploadsAreTheEditorsToo) {
    CWeblogServer server;
    ASSERT_EQ(Run({"account", "add", "--name", "甲", "--description", "描述", "--type",
                   "MetaWeblog", "--url", server.Url("/ok"), "--port",
                   std::to_string(server.Port()), "--user", "admin", "--password", "pw"})
                  .exitCode,
              0);
    CliResult categories = Run({"categories", "甲"});
    ASSERT_EQ(categories.exitCode, 0) << categories.err;
    std::vector<std::string> cached;
    ASSERT_TRUE(CWeblogLibrary(CAppContext(m_dir + "/q")).CachedCategories("甲", cached));
    EXPECT_EQ(cached, (std::vector<std::string>{"News", "Uncategorized", "技术"}));

    WriteAll(m_dir + "/假.png", "纯文本, 不是图片");
    WriteAll(m_dir + "/大.gif", "GIF89a");
    ASSERT_EQ(::truncate((m_dir + "/大.gif").c_str(), CMediaFile::kMaxBytes + 1), 0);
    CTempHome home;
    CArticleObserver observer;
    CArticleOperations operations(home.Context(), observer);
    CEditorSession editor(operations);
    const std::pair<const char*, const char*> cases[] = {
        {"假.png", "文件 假.png 不是 image/png 文件 (开头的字节不对)"},
        {"大.gif", "文件 大.gif 太大 (21 MB), 最多 20 MB"}};
    for (const auto& [name, why] : cases) {
        const std::string file = m_dir + "/" + name;
        CliResult cli = Run({"media", "upload", "甲", file});
        EXPECT_EQ(cli.exitCode, 1);
        EXPECT_EQ(cli.err, std::string(why) + "\n");
        std::string url;
        std::string reason;
        EXPECT_FALSE(editor.UploadPicture(file, url, reason));
        EXPECT_EQ(reason, why);
    }
    EXPECT_EQ(server.Methods(), std::vector<std::string>{"metaWeblog.getCategories"});
}

} // namespace
