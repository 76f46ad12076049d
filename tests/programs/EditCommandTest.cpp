// quillmark-cli article edit: the hand-off for the article, then the editor beside the program.
#include "platform/process/ProgramRunner.h"
#include "platform/text/TextCodec.h"
#include "support/CliRunner.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

class EditCommandTest : public CCliTest {
protected:
    void SetUp() override {
        // A copy of the program in a folder of its own, so that the test decides what lies
        // beside it.
        std::filesystem::create_directories(m_bin);
        std::filesystem::copy_file(QUILL_CLI_PATH, m_cli);
        ASSERT_EQ(Run(AccountAddArgs("甲")).exitCode, 0);
        WriteAll(m_dir + "/body.html", "<p>正文</p>");
        ASSERT_EQ(
            Run({"article", "new", "甲", "--title", "t", "--content-file", m_dir + "/body.html"})
                .out,
            "1\n");
    }

    ProgramResult Edit(const std::string& id) {
        return CProgramRunner::Run(m_cli, {"--home", m_dir + "/q", "article", "edit", id});
    }
    std::string HandOff() {
        return CTextCodec::GbkToUtf8(ReadAll(m_dir + "/q/Temp/subprocess.xml"));
    }

    std::string m_bin = m_dir + "/bin";
    std::string m_cli = m_bin + "/quillmark-cli";
};

TEST_F(EditCommandTest, WritesTheHandOffAndSaysWhenTheEditorIsMissing) {
    ProgramResult missing = Edit("1");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output, "找不到编辑器程序: " + m_bin + "/quillmark-editor\n");
    EXPECT_NE(HandOff().find("<processtype>3</processtype><account>甲</account><index>1</index>"
                             "<publishfoldertreeid>1020</publishfoldertreeid>"),
              std::string::npos)
        << HandOff();

    // Bad ids are refused before anything is written.
    ProgramResult word = Edit("x");
    EXPECT_EQ(word.exitCode, 1);
    EXPECT_EQ(word.output, "文章编号无效: x\n");
    ProgramResult absent = Edit("99");
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_FALSE(absent.output.empty());
}

TEST_F(EditCommandTest, StartsTheEditorBesideTheProgramOnTheArticleOfTheTrash) {
    ASSERT_EQ(Run({"article", "rm", "1"}).exitCode, 0); // to 垃圾箱
    const std::string seen = m_dir + "/seen.xml";
    // The editor finds the hand-off in the program directory it is given (--home), not in the
    // one it would find by itself.
    ::unsetenv("QUILLMARK_HOME");
    WriteAll(m_bin + "/quillmark-editor",
             "#!/bin/sh\n[ \"$1\" = --home ] && cp \"$2/Temp/subprocess.xml\" '" + seen +
                 ".part' && mv '" + seen + ".part' '" + seen + "'\n");
    std::filesystem::permissions(m_bin + "/quillmark-editor", std::filesystem::perms::owner_all);
    ProgramResult started = Edit("1");
    EXPECT_EQ(started.exitCode, 0) << started.output;
    EXPECT_EQ(started.output, "");
    for (int i = 0; i < 200 && !std::filesystem::exists(seen); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string text = CTextCodec::GbkToUtf8(ReadAll(seen));
    EXPECT_NE(text.find("<processtype>4</processtype><account>甲</account><index>1</index>"),
              std::string::npos)
        << text;
}

} // namespace
