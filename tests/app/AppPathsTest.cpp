#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "app/ProgramOptions.h"
#include "platform/fs/FileUtil.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

TEST(AppPaths, FoldsTheTwoSpellingsOfEachFolder) {
    CTempHome home({.seed = false, .processDir = true});
    EXPECT_EQ(GetAppFilePath("Storage\\blog.db"), home.Path() + "/Storage/blog.db");
    EXPECT_EQ(GetAppFilePath("storage\\rssreader.opml"), home.Path() + "/Storage/rssreader.opml");
    EXPECT_EQ(GetAppFilePath("plugin\\hha.dll"), home.Path() + "/Plugin/hha.dll");
    EXPECT_EQ(GetAppFilePath("Plugin\\itcc.dll"), home.Path() + "/Plugin/itcc.dll");
    EXPECT_EQ(GetAppFilePath("\\Data\\Editor\\默认\\index.html"),
              home.Path() + "/Data/Editor/默认/index.html");
    // Only the top folder is folded; names below it are the user's.
    EXPECT_EQ(GetAppFilePath("Temp/storage/x"), home.Path() + "/Temp/storage/x");
}

TEST(AppPaths, ProgramDirectoryFollowsTheEnvironment) {
    const std::string before = GetModuleDir();
    SetModuleDir("");
    ::setenv("QUILLMARK_HOME", "/tmp/quill-env-home/", 1);
    EXPECT_EQ(GetModuleDir(), "/tmp/quill-env-home");
    ::unsetenv("QUILLMARK_HOME");
    SetModuleDir("");
    ::setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(GetModuleDir(), "/tmp/xdg/quillmark");
    ::unsetenv("XDG_DATA_HOME");
    SetModuleDir(before);
}

TEST(AppPaths, TextFilesRoundTripEveryByte) {
    CTempHome home({.processDir = true});
    const std::string text("http://example.com/rss?a=1\0tail", 31);
    ASSERT_EQ(WriteTextFile(text, "Temp\\addrss.txt"), 1);
    std::string back;
    ASSERT_EQ(ReadTextFile(home.File("Temp/addrss.txt"), back), 1);
    EXPECT_EQ(back, text);
    EXPECT_EQ(ReadTextFile(home.File("Temp/none.txt"), back), 0);
    EXPECT_EQ(WriteTextFile("x", "NoSuchFolder\\f.txt"), 0);
}

TEST(ProgramDir, SeedsANewDirectoryAndNeverOverwrites) {
    // The process's own directory, as a program's start prepares it.
    CTempHome home({.processDir = true});
    for (const char* file : {"config/appConfig.xml", "config/userConfig.xml", "ErrorMsg.xml"})
        EXPECT_FALSE(ReadAll(home.File(file)).empty()) << file;
    for (const char* folder : {"Storage", "Data", "Temp", "Plugin"}) {
        struct stat st {};
        EXPECT_EQ(::stat(home.File(folder).c_str(), &st), 0) << folder;
    }
    struct stat st {};
    ASSERT_EQ(::stat(home.File("config/userConfig.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the account file holds passwords";

    WriteAll(home.File("config/appConfig.xml"), "<app>mine</app>");
    std::string error;
    ASSERT_TRUE(CProgramDir::Prepare(error)) << error;
    EXPECT_EQ(ReadAll(home.File("config/appConfig.xml")), "<app>mine</app>");
}

// A newer program brings newer styles: a shipped style the user left as it was follows it, an
// edited one and every settings file stay the user's.
TEST(ProgramDir, UneditedShippedStylesFollowANewerProgram) {
    const std::string data = MakeTempDir();
    const auto ship = [&](const std::string& relative, const std::string& text) {
        CFileUtil::CreateDirectories(data + "/" + relative.substr(0, relative.rfind('/')));
        WriteAll(data + "/" + relative, text);
    };
    ship("config/appConfig.xml", "<app>1</app>");
    ship("Data/LogSkin/默认.xsl", "style 1");
    ship("Data/Editor/默认/index.html", "template 1");
    ::setenv("QUILLMARK_DATA_DIR", data.c_str(), 1);
    {
        CTempHome home({.seed = false});
        std::string error;
        ASSERT_TRUE(CProgramDir::Prepare(home.Context(), error)) << error;
        WriteAll(home.File("Data/Editor/默认/index.html"), "my template");
        ship("config/appConfig.xml", "<app>2</app>");
        ship("Data/LogSkin/默认.xsl", "style 2");
        ship("Data/Editor/默认/index.html", "template 2");
        ASSERT_TRUE(CProgramDir::Prepare(home.Context(), error)) << error;
        EXPECT_EQ(ReadAll(home.File("Data/LogSkin/默认.xsl")), "style 2");
        EXPECT_EQ(ReadAll(home.File("Data/Editor/默认/index.html")), "my template");
        EXPECT_EQ(ReadAll(home.File("config/appConfig.xml")), "<app>1</app>");
        // Edited after the update too: kept from then on.
        WriteAll(home.File("Data/LogSkin/默认.xsl"), "my style");
        ship("Data/LogSkin/默认.xsl", "style 3");
        ASSERT_TRUE(CProgramDir::Prepare(home.Context(), error)) << error;
        EXPECT_EQ(ReadAll(home.File("Data/LogSkin/默认.xsl")), "my style");
    }
    ::unsetenv("QUILLMARK_DATA_DIR");
    RemoveTree(data);
}

TEST(ProgramDir, StartRemovesWhatAKilledAtomicWriteLeft) {
    CTempHome home;
    const std::string leftover = home.File("config/appConfig.xml.quilltmp-a1B2c3");
    const std::string store = home.File("Storage/rssreader.opml.quilltmp-Zz9Yy8");
    const std::string busy = home.File("config/userConfig.xml.quilltmp-q1w2e3");
    const std::string mine = home.File("Storage/notes.quilltmp-kept");
    for (const std::string& path : {leftover, store, busy, mine})
        WriteAll(path, "<half");
    // A writer that is still at work holds its file locked.
    int fd = ::open(busy.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    std::string error;
    ASSERT_TRUE(CProgramDir::Prepare(home.Context(), error)) << error;
    EXPECT_FALSE(CFileUtil::Exists(leftover));
    EXPECT_FALSE(CFileUtil::Exists(store));
    EXPECT_TRUE(CFileUtil::Exists(busy)) << "a live writer's file stays";
    EXPECT_TRUE(CFileUtil::Exists(mine)) << "only the atomic write's own names are swept";
    ::close(fd);
    EXPECT_EQ(CProgramDir::RemoveStaleTempFiles(home.Context()), 1);
    EXPECT_FALSE(CFileUtil::Exists(busy));

    // The atomic write names its temporary file so that the sweep knows it.
    EXPECT_TRUE(CFileUtil::IsTempFileName("appConfig.xml.quilltmp-x1Y2z3"));
    EXPECT_FALSE(CFileUtil::IsTempFileName("appConfig.xml"));
    EXPECT_FALSE(CFileUtil::IsTempFileName(".quilltmp-x1Y2z3"));
}

TEST(ProgramOptions, HomeSwitchesHelpAndUnknownWords) {
    const std::string before = GetModuleDir();
    auto read = [](std::vector<std::string> words, bool* console) {
        words.insert(words.begin(), "program");
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        return CProgramOptions::Read(static_cast<int>(argv.size()), argv.data(), "usage\n",
                                     {{"--console", console}});
    };
    bool console = false;
    EXPECT_EQ(read({"--home", "/tmp/quill-options", "--console"}, &console), std::nullopt);
    EXPECT_TRUE(console);
    EXPECT_EQ(GetModuleDir(), "/tmp/quill-options");
    SetModuleDir(before);
    // Nothing may start on words it does not understand, and --help wins wherever it stands.
    for (const auto& words :
         std::vector<std::vector<std::string>>{{"--bogus"}, {"--home"}, {"--home", ""}}) {
        EXPECT_EQ(read(words, &console), 2) << words[0];
        EXPECT_EQ(GetModuleDir(), before);
    }
    EXPECT_EQ(read({"--console", "-h", "--bogus"}, &console), 0);
}
