#include "shell/ShellRegistration.h"
#include "shell/MimeAppsList.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// Runs a program on one file (no shell), its output going to a file; the exit status.
int RunOn(const std::string& program, const std::string& argument, const std::string& output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string a0 = program;
    std::string a1 = argument;
    char* argv[] = {a0.data(), a1.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A user's XDG folders in a temporary folder.
class ShellRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = MakeTempDir();
        m_folders = {.dataHome = m_root + "/data", .configHome = m_root + "/config"};
        fs::create_directories(m_folders.configHome);
    }
    void TearDown() override { RemoveTree(m_root); }

    std::string MimeApps() const { return m_folders.configHome + "/mimeapps.list"; }
    HandlerProgram Program() const {
        return {.executable = "/opt/quill mark/bin/quillmark", .programDir = m_root + "/home"};
    }
    void Add(CShellRegistration& registration) {
        std::string error;
        ASSERT_TRUE(registration.Register(Program(), error)) << error;
    }
    RemoveOutcome Remove(CShellRegistration& registration) {
        RemoveOutcome outcome{};
        std::string error;
        EXPECT_TRUE(registration.Unregister(outcome, error)) << error;
        return outcome;
    }

    std::string m_root;
    XdgFolders m_folders;
};

} // namespace

TEST_F(ShellRegistrationTest, RemoveRestoresTheFileExactlyAndLeavesOthersAlone) {
    // Another program owns the feed types and the http scheme; comments and odd spacing stay.
    const std::string before = "# my associations\n"
                               "[Added Associations]\n"
                               "application/rss+xml=liferea.desktop;\n"
                               "\n"
                               "[Default Applications]\n"
                               "text/html=firefox-esr.desktop\n"
                               "application/rss+xml = liferea.desktop;akregator.desktop;\n"
                               "x-scheme-handler/http=firefox-esr.desktop\n"
                               "\n"
                               "[Removed Associations]\n"
                               "image/png=gimp.desktop;";
    WriteAll(MimeApps(), before);
    CShellRegistration registration(m_folders);
    Add(registration);

    for (const std::string& type : CShellRegistration::HandledTypes())
        EXPECT_EQ(registration.DefaultFor(type), CShellRegistration::kDesktopId) << type;
    const CMimeAppsList during(ReadAll(MimeApps()));
    // The previous handler stays behind ours as the next choice; others are untouched.
    EXPECT_EQ(during.Line("Default Applications", "application/rss+xml").value(),
              "application/rss+xml=quillmark-handler.desktop;liferea.desktop;akregator.desktop;");
    EXPECT_EQ(registration.DefaultFor("x-scheme-handler/http"), "firefox-esr.desktop");
    EXPECT_EQ(during.Line("Added Associations", "application/rss+xml").value(),
              "application/rss+xml=liferea.desktop;");
    const std::string entry = ReadAll(registration.DesktopEntryPath());
    EXPECT_NE(
        entry.find("MimeType=x-scheme-handler/quill;x-scheme-handler/feed;application/rss+xml;"
                   "application/atom+xml;application/x-rss+xml;"),
        std::string::npos);
    EXPECT_NE(entry.find("Exec=\"/opt/quill mark/bin/quillmark\" --home " + m_root + "/home %u"),
              std::string::npos);

    // Adding twice must not make our own lines the "previous" ones.
    Add(registration);
    EXPECT_EQ(Remove(registration), RemoveOutcome::kRemoved);
    EXPECT_EQ(ReadAll(MimeApps()), before);
    EXPECT_FALSE(fs::exists(registration.DesktopEntryPath()));
    EXPECT_FALSE(fs::exists(registration.SavedStatePath()));
    EXPECT_FALSE(fs::exists(m_folders.configHome + "/quillmark"));
    EXPECT_EQ(Remove(registration), RemoveOutcome::kNothingToRemove);
}

TEST_F(ShellRegistrationTest, RemoveLeavesTheFileAsBeforeWhetherNoneMissingOrALink) {
    CShellRegistration registration(m_folders);
    Add(registration);
    EXPECT_EQ(registration.DefaultFor("x-scheme-handler/quill"), CShellRegistration::kDesktopId);
    EXPECT_EQ(Remove(registration), RemoveOutcome::kRemoved);
    EXPECT_FALSE(fs::exists(MimeApps()));

    // A file without our section and without a final line end comes back the same.
    const std::string before = "[Added Associations]\ntext/plain=gedit.desktop;";
    WriteAll(MimeApps(), before);
    Add(registration);
    EXPECT_EQ(Remove(registration), RemoveOutcome::kRemoved);
    EXPECT_EQ(ReadAll(MimeApps()), before);

    // A linked file stays a link, and its target gets our lines and loses them again.
    const std::string target = m_root + "/dotfiles/mimeapps.list";
    fs::create_directories(m_root + "/dotfiles");
    WriteAll(target, "[Default Applications]\ntext/html=firefox-esr.desktop\n");
    fs::remove(MimeApps());
    fs::create_symlink(target, MimeApps());
    Add(registration);
    EXPECT_TRUE(fs::is_symlink(MimeApps()));
    EXPECT_EQ(registration.DefaultFor("application/rss+xml"), CShellRegistration::kDesktopId);
    Remove(registration);
    EXPECT_EQ(ReadAll(target), "[Default Applications]\ntext/html=firefox-esr.desktop\n");
}

TEST_F(ShellRegistrationTest, AChoiceMadeAfterAddingIsKept) {
    WriteAll(MimeApps(), "[Default Applications]\napplication/atom+xml=liferea.desktop;\n");
    CShellRegistration registration(m_folders);
    Add(registration);
    // The user picks another reader for Atom, and another program writes a line of its own.
    CMimeAppsList list(ReadAll(MimeApps()));
    list.SetLine("Default Applications", "application/atom+xml",
                 "application/atom+xml=newsflash.desktop;quillmark-handler.desktop;");
    list.SetLine("Default Applications", "text/html", "text/html=chromium.desktop;");
    WriteAll(MimeApps(), list.Text());

    EXPECT_EQ(Remove(registration), RemoveOutcome::kRemoved);
    EXPECT_EQ(ReadAll(MimeApps()), "[Default Applications]\n"
                                   "application/atom+xml=newsflash.desktop;\n"
                                   "text/html=chromium.desktop;\n");
}

TEST_F(ShellRegistrationTest, FailuresSayWhy) {
    // The config folder is a file: nothing can be written under it.
    RemoveTree(m_folders.configHome);
    WriteAll(m_folders.configHome, "not a folder");
    CShellRegistration registration(m_folders);
    std::string error;
    EXPECT_FALSE(registration.Register(Program(), error));
    EXPECT_NE(error.find(m_folders.configHome), std::string::npos) << error;
    EXPECT_FALSE(registration.Register({}, error));
    EXPECT_FALSE(error.empty());
}

TEST(DesktopEntryTest, ExecArgumentsAreQuotedAsTheFormatRequires) {
    EXPECT_EQ(CShellRegistration::QuoteExecArgument("/usr/bin/quillmark"), "/usr/bin/quillmark");
    EXPECT_EQ(CShellRegistration::QuoteExecArgument("/a b/q"), "\"/a b/q\"");
    EXPECT_EQ(CShellRegistration::QuoteExecArgument("/a$b"), "\"/a\\\\$b\"");
    EXPECT_EQ(CShellRegistration::QuoteExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
    EXPECT_EQ(CShellRegistration::QuoteExecArgument("/100%"), "/100%%");
    EXPECT_EQ(CShellRegistration::QuoteExecArgument(""), "\"\"");
}

TEST(DesktopEntryTest, TheWrittenEntryValidates) {
    const std::string validator = "/usr/bin/desktop-file-validate";
    if (!fs::exists(validator))
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    const std::string dir = MakeTempDir();
    const std::string path = dir + "/" + CShellRegistration::kDesktopId;
    WriteAll(path, CShellRegistration::DesktopEntryText(
                       {.executable = "/opt/a b/quillmark", .programDir = "/home/u/$q\\r"}));
    EXPECT_EQ(RunOn(validator, path, dir + "/out"), 0) << ReadAll(dir + "/out");
    // The validator passes an entry with hints; it must have nothing to say about ours.
    EXPECT_EQ(ReadAll(dir + "/out"), "");
    RemoveTree(dir);
}
