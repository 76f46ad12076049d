// The editor hand-off: the file's exact text and bytes, reading it back, and starting the
// editor on it.
#include "WorkspaceTestSupport.h"

#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "platform/text/TextCodec.h"
#include "storage/ArticleDatabase.h"
#include "workspace/EditorHandOff.h"
#include "workspace/EditorLauncher.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const std::vector<std::string> kThree = {"甲", "乙", "丙"};

std::string Utf8(const std::string& gbk) {
    return CTextCodec::GbkToUtf8(gbk);
}

// Waits (bounded) until the file exists.
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
        if (access(path.c_str(), F_OK) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(EditorHandOffFormat, ComposeForTheSecondOfThreeAccounts) {
    const EditorHandOff handOff =
        CEditorLauncher::MakeHandOff({.task = EditorTask::Compose, .account = "乙"}, kThree);
    EXPECT_EQ(Utf8(CEditorHandOff::Format(handOff)),
              "<?xml version=\"1.0\" encoding=\"gb2312\"?><root><processtype>0</processtype>"
              "<account>乙</account><publishfoldertreeid>1120</publishfoldertreeid>"
              "<draftfoldertreeid>1130</draftfoldertreeid><accounts>"
              "<account><name>甲</name><treeid>1000</treeid></account>"
              "<account><name>乙</name><treeid>1100</treeid></account>"
              "<account><name>丙</name><treeid>1200</treeid></account>"
              "</accounts></root>");
    // An index given to a compose is not written: the element is absent, not empty.
    const EditorHandOff withIndex = CEditorLauncher::MakeHandOff(
        {.task = EditorTask::Compose, .account = "乙", .index = 7}, kThree);
    EXPECT_EQ(CEditorHandOff::Format(withIndex).find("<index"), std::string::npos);
}

TEST(EditorHandOffFormat, EditsTakeTheirTypeFromTheFolderAndCarryTheId) {
    EXPECT_EQ(CEditorLauncher::EditTaskOf(kFolderReceived), EditorTask::EditReceived);
    EXPECT_EQ(CEditorLauncher::EditTaskOf(kFolderSent), EditorTask::EditSent);
    EXPECT_EQ(CEditorLauncher::EditTaskOf(kFolderDrafts), EditorTask::EditDraft);
    EXPECT_EQ(CEditorLauncher::EditTaskOf(kFolderTrash), EditorTask::EditDeleted);
    EXPECT_FALSE(CEditorLauncher::EditTaskOf(0));
    EXPECT_FALSE(CEditorLauncher::EditTaskOf(5));

    const std::string text = Utf8(CEditorHandOff::Format(CEditorLauncher::MakeHandOff(
        {.task = EditorTask::EditDeleted, .account = "丙", .index = 42}, kThree)));
    EXPECT_NE(text.find("<processtype>4</processtype><account>丙</account><index>42</index>"
                        "<publishfoldertreeid>1220</publishfoldertreeid>"
                        "<draftfoldertreeid>1230</draftfoldertreeid>"),
              std::string::npos)
        << text;
    // An account the tree does not hold takes the place after the last one.
    const EditorHandOff stranger = CEditorLauncher::MakeHandOff(
        {.task = EditorTask::WriteFromSearchResult, .account = "外人", .index = 9}, kThree);
    EXPECT_EQ(stranger.publishFolderTreeId, 1320);
    EXPECT_EQ(stranger.draftFolderTreeId, 1330);
    EXPECT_EQ(stranger.accounts.size(), 3u);
}

TEST(EditorHandOffFormat, AnyValueIsWrittenAsOneGbkLineAndReadBackWhole) {
    // "€" is in GBK only as Microsoft's one-byte extension; whichever way the codec goes, it
    // comes back.
    const std::string odd = "A&B<C>\"D'E 😀 € ]]> &amp;";
    const EditorHandOff handOff{
        .task = EditorTask::WriteFromFeedItem,
        .account = odd,
        .index = 1234567890123LL,
        .publishFolderTreeId = 1320,
        .draftFolderTreeId = 1330,
        .accounts = {{.name = odd, .treeId = 1000}, {.name = "博客<二>", .treeId = 1100}}};
    const std::string bytes = CEditorHandOff::Format(handOff);
    EXPECT_EQ(bytes.find_first_of("\r\n"), std::string::npos);
    std::string decoded;
    EXPECT_TRUE(CTextCodec::DecodeExactly(bytes, "GBK", decoded));
    EXPECT_NE(bytes.find("&#128512;"), std::string::npos);            // the emoji, as a reference
    EXPECT_NE(bytes.find("\xB2\xA9\xBF\xCD&lt;"), std::string::npos); // 博客 in GBK bytes
    EXPECT_NE(bytes.find("A&amp;B&lt;C&gt;&quot;D&apos;E"), std::string::npos);

    std::string reason;
    const std::optional<EditorHandOff> back = CEditorHandOff::Parse(bytes, &reason);
    ASSERT_TRUE(back) << reason;
    EXPECT_EQ(back->task, EditorTask::WriteFromFeedItem);
    EXPECT_EQ(back->account, odd);
    EXPECT_EQ(back->index, 1234567890123LL);
    EXPECT_EQ(back->publishFolderTreeId, 1320);
    EXPECT_EQ(back->draftFolderTreeId, 1330);
    ASSERT_EQ(back->accounts.size(), 2u);
    EXPECT_EQ(back->accounts[0].name, odd);
    EXPECT_EQ(back->accounts[1].name, "博客<二>");
    EXPECT_EQ(back->accounts[1].treeId, 1100);
}

TEST(EditorHandOffRead, ReadsTheFileAsTheOlderProgramWroteIt) {
    // Values raw, blanks and line breaks where a person editing it might put them.
    const std::string gbk = ReadTestData("workspace/subprocess-sent.xml");
    std::string reason;
    const std::optional<EditorHandOff> read = CEditorHandOff::Parse(gbk, &reason);
    ASSERT_TRUE(read) << reason;
    EXPECT_EQ(read->task, EditorTask::EditSent);
    EXPECT_EQ(read->account, "我的博客");
    EXPECT_EQ(read->index, 17);
    ASSERT_EQ(read->accounts.size(), 1u);
    EXPECT_EQ(read->accounts[0].name, "我的博客");

    // A compose: an index there is not read.
    const std::optional<EditorHandOff> compose = CEditorHandOff::Parse(
        "<root><processtype>0</processtype><account>a</account><index>x</index>"
        "<publishfoldertreeid>1020</publishfoldertreeid>"
        "<draftfoldertreeid>1030</draftfoldertreeid></root>",
        &reason);
    ASSERT_TRUE(compose) << reason;
    EXPECT_FALSE(compose->index);
    EXPECT_TRUE(compose->accounts.empty());
}

TEST(EditorHandOffRead, BadFilesAreRefusedWithTheirReason) {
    const std::string tail = "<publishfoldertreeid>1020</publishfoldertreeid>"
                             "<draftfoldertreeid>1030</draftfoldertreeid></root>";
    const std::pair<std::string, std::string> cases[] = {
        {"", "不是有效的 XML"},
        {"processtype=1", "不是有效的 XML"},
        {"<root><processtype>1</processtype>", "不是有效的 XML"},
        {"<rss><processtype>0</processtype></rss>", "根元素不是 root"},
        {"<root><account>a</account>" + tail, "缺少 processtype"},
        {"<root><processtype>7</processtype>" + tail, "processtype 无效: 7"},
        {"<root><processtype>-1</processtype>" + tail, "processtype 不是有效的数字: -1"},
        {"<root><processtype>1x</processtype>" + tail, "processtype 不是有效的数字: 1x"},
        {"<root><processtype></processtype>" + tail, "processtype 不是有效的数字"},
        {"<root><processtype>99999999999</processtype>" + tail, "processtype 不是有效的数字"},
        {"<root><processtype>3</processtype>" + tail, "缺少 index"},
        {"<root><processtype>6</processtype><index>9.5</index>" + tail,
         "index 不是有效的数字: 9.5"},
        {"<root><processtype>0</processtype></root>", "缺少 publishfoldertreeid"},
        {"<root><processtype>0</processtype><publishfoldertreeid>1</publishfoldertreeid>"
         "<draftfoldertreeid>x</draftfoldertreeid></root>",
         "draftfoldertreeid 不是有效的数字: x"},
        {"<root><processtype>0</processtype><publishfoldertreeid>1</publishfoldertreeid>"
         "<draftfoldertreeid>1</draftfoldertreeid><accounts><account><name>a</name>"
         "</account></accounts></root>",
         "缺少 treeid"},
        // No entity of a document type is expanded, nor a file read through one.
        {"<!DOCTYPE root [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><root><processtype>0"
         "</processtype><account>&x;</account></root>",
         ""},
    };
    for (const auto& [text, expected] : cases) {
        std::string reason = "unchanged";
        const std::optional<EditorHandOff> read = CEditorHandOff::Parse(text, &reason);
        EXPECT_FALSE(read) << text;
        EXPECT_NE(reason.find(expected), std::string::npos) << text << " -> " << reason;
        EXPECT_FALSE(reason.empty()) << text;
    }
    std::string reason;
    EXPECT_FALSE(CEditorHandOff::ReadHandOff("/nonexistent/subprocess.xml", &reason));
    EXPECT_NE(reason.find("/nonexistent/subprocess.xml"), std::string::npos) << reason;
}

class EditorLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& name : kThree) {
            AccountRecord account{.name = name,
                                  .description = name + "的博客",
                                  .xmlrpcurl = "http://127.0.0.1/xmlrpc.php",
                                  .port = "80",
                                  .blogapitype = "MetaWeblog",
                                  .username = "u",
                                  .password = "p",
                                  .encodetype = "UTF-8"};
            ASSERT_EQ(m_home.Context().Accounts().AddAccount(account), 1);
        }
        // The editor copies the file it was handed from the program directory it was given,
        // as the real one reads it on start; nothing else tells it where that directory is.
        ::unsetenv("QUILLMARK_HOME");
        m_editor = m_bin + "/quillmark-editor";
        // Every start leaves a line in m_starts, whether or not it finds its file.
        WriteAll(m_editor, "#!/bin/sh\necho started >> '" + m_starts +
                               "'\n[ \"$1\" = --home ] && cp \"$2/Temp/subprocess.xml\" '" + m_seen +
                               ".part' && mv '" + m_seen + ".part' '" + m_seen + "'\n");
        chmod(m_editor.c_str(), 0755);
    }
    void TearDown() override { RemoveTree(m_bin); }

    CTempHome m_home;
    CRecordingReporter m_reporter;
    CScopedReporter m_scope{m_reporter};
    std::string m_bin = MakeTempDir();
    std::string m_seen = m_bin + "/seen.xml";
    std::string m_starts = m_bin + "/starts";
    std::string m_editor;
};

TEST_F(EditorLauncherTest, WritesTheFileThenStartsTheEditorWithoutWaitingOrLeavingAZombie) {
    // The folder is made again when it is gone.
    RemoveTree(m_home.File("Temp"));
    CEditorLauncher launcher(m_home.Context(), CEditorLauncher::EditorBeside(m_bin));
    EXPECT_EQ(launcher.EditorPath(), m_editor);
    const HandOffResult result = launcher.Launch({.task = EditorTask::Compose, .account = "乙"});
    ASSERT_TRUE(result.ok) << result.reason;
    ASSERT_TRUE(WaitForFile(m_seen));
    const std::string seen = ReadAll(m_seen);
    EXPECT_EQ(seen, ReadAll(m_home.File("Temp/subprocess.xml")));
    std::string reason;
    const std::optional<EditorHandOff> read = CEditorHandOff::Parse(seen, &reason);
    ASSERT_TRUE(read) << reason;
    EXPECT_EQ(read->publishFolderTreeId, 1120);
    ASSERT_EQ(read->accounts.size(), 3u);
    EXPECT_EQ(read->accounts[2].name, "丙");
    EXPECT_EQ(read->accounts[2].treeId, 1200);
    // The editor was never this process's child: nothing is left to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(EditorLauncherTest, AnEditFromTheTrashNamesTheArticle) {
    CEditorLauncher launcher(m_home.Context(), m_editor);
    const HandOffResult result = launcher.EditArticle(31, "丙", kFolderTrash);
    ASSERT_TRUE(result.ok) << result.reason;
    const std::string text = Utf8(ReadAll(m_home.File("Temp/subprocess.xml")));
    EXPECT_NE(text.find("<processtype>4</processtype><account>丙</account><index>31</index>"),
              std::string::npos)
        << text;
    const HandOffResult bad = launcher.EditArticle(31, "丙", 5);
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.reason.find("文件夹无效"), std::string::npos) << bad.reason;
}

TEST_F(EditorLauncherTest, FailuresSayWhy) {
    // No editor beside the program: the file is written, the start fails with the path.
    CEditorLauncher missing(m_home.Context(), m_bin + "/nowhere/quillmark-editor");
    HandOffResult result = missing.Launch({.task = EditorTask::Compose, .account = "甲"});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "找不到编辑器程序: " + m_bin + "/nowhere/quillmark-editor");
    EXPECT_NE(ReadAll(m_home.File("Temp/subprocess.xml")), "");

    // A file that is no program.
    const std::string notProgram = m_bin + "/text";
    WriteAll(notProgram, "\x01\x02 not a program");
    chmod(notProgram.c_str(), 0755);
    result = CEditorLauncher(m_home.Context(), notProgram).StartEditor();
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("无法启动编辑器程序"), std::string::npos) << result.reason;

    // The hand-off cannot be written: the editor is not started.
    RemoveTree(m_home.File("Temp"));
    WriteAll(m_home.File("Temp"), "a file where the folder belongs");
    result = CEditorLauncher(m_home.Context(), m_editor)
                 .Launch({.task = EditorTask::Compose, .account = "甲"});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("Temp"), std::string::npos) << result.reason;
    // Once the folder is back, the next launch is the first start the editor sees.
    RemoveTree(m_home.File("Temp"));
    ASSERT_TRUE(CEditorLauncher(m_home.Context(), m_editor)
                    .Launch({.task = EditorTask::Compose, .account = "甲"})
                    .ok);
    ASSERT_TRUE(WaitForFile(m_seen));
    EXPECT_EQ(ReadAll(m_starts), "started\n");

    // A type that names an article needs its id.
    result = CEditorLauncher(m_home.Context(), m_editor)
                 .Launch({.task = EditorTask::EditDraft, .account = "甲"});
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.reason.empty());

    // The account file cannot be read.
    WriteAll(m_home.File("config/userConfig.xml"), "<not xml");
    result = CEditorLauncher(m_home.Context(), m_editor)
                 .Launch({.task = EditorTask::Compose, .account = "甲"});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason.rfind("载入帐户信息失败!", 0), 0u) << result.reason;
}

} // namespace
