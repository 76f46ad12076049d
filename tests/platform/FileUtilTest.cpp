#include "platform/fs/FileUtil.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class FileUtilTest : public ::testing::Test {
protected:
    void TearDown() override { RemoveTree(m_dir); }
    mode_t ModeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 0777;
    }
    size_t EntriesIn(const std::string& dir) {
        size_t n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir))
            ++n;
        return n;
    }
    std::string m_dir = MakeTempDir();
};

} // namespace

TEST_F(FileUtilTest, ReadKeepsEveryByteIncludingNulAndFailsOnMissingFileOrFolder) {
    const std::string data("a\0b\0c", 5);
    ASSERT_TRUE(CFileUtil::WriteFile(m_dir + "/f", data));
    std::string back;
    ASSERT_TRUE(CFileUtil::ReadFile(m_dir + "/f", back));
    EXPECT_EQ(back, data);
    EXPECT_FALSE(CFileUtil::ReadFile(m_dir + "/missing", back));
    EXPECT_FALSE(CFileUtil::ReadFile(m_dir, back));
    EXPECT_FALSE(CFileUtil::LastErrorText().empty());
}

TEST_F(FileUtilTest, AtomicReplaceLeavesOnlyTheNewFileWithItsMode) {
    const std::string path = m_dir + "/settings.xml";
    ASSERT_TRUE(CFileUtil::WriteFile(path, "old"));
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(CFileUtil::WriteFileAtomic(path, "new contents"));
    EXPECT_EQ(ReadAll(path), "new contents");
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(EntriesIn(m_dir), 1u) << "no temporary file may stay behind";
    // An owner-only file becomes unreadable to others.
    ASSERT_TRUE(CFileUtil::WriteFileAtomic(path, "secret", true));
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST_F(FileUtilTest, FailedAtomicWriteKeepsTheOldFile) {
    const std::string path = m_dir + "/sub/file";
    EXPECT_FALSE(CFileUtil::WriteFileAtomic(path, "x")); // its folder does not exist
    // A folder in the way of the rename: the old contents stay and no temp file remains.
    const std::string blocked = m_dir + "/blocked";
    ASSERT_TRUE(CFileUtil::CreateDirectories(blocked + "/child"));
    EXPECT_FALSE(CFileUtil::WriteFileAtomic(blocked, "x"));
    EXPECT_TRUE(CFileUtil::IsDirectory(blocked));
    EXPECT_EQ(EntriesIn(m_dir), 1u);
}
