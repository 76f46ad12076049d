#include "support/TestSupport.h"

#include "app/AppPaths.h"
#include "app/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

std::string MakeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quilltest-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

int ThreadCount() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++count;
    }
    return count;
}

namespace {

// Until a test asks for one (TempHomeOptions::processDir), the process's program directory is a
// folder that does not exist: a test never works in the user's own directory, and one that
// leans on the process's directory without saying so fails wherever it runs.
class CNoProcessHome : public ::testing::Environment {
public:
    void SetUp() override { SetModuleDir("/nonexistent/quilltest-no-process-home"); }
};

[[maybe_unused]] const ::testing::Environment* const g_noProcessHome =
    ::testing::AddGlobalTestEnvironment(new CNoProcessHome);

} // namespace

CTempHome::CTempHome(TempHomeOptions options) : m_path(MakeTempDir()) {
    if (options.processDir) {
        m_processDirBefore = GetModuleDir();
        SetModuleDir(m_path);
    }
    if (options.seed) {
        std::string error;
        if (!CProgramDir::Prepare(Context(), error))
            ADD_FAILURE() << "seeding failed: " << error;
    }
}

CTempHome::~CTempHome() {
    // The next test finds the process's directory where it was, not in this deleted folder.
    if (!m_processDirBefore.empty())
        SetModuleDir(m_processDirBefore);
    RemoveTree(m_path);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TestDataPath(const std::string& relative) {
    return std::string(QUILL_SOURCE_DIR) + "/tests/data/" + relative;
}

std::string ReadTestData(const std::string& relative) {
    const std::string path = TestDataPath(relative);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("test data missing: " + path);
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        throw std::runtime_error("test data unreadable: " + path);
    return s.str();
}

std::string SharedDir() {
    const char* dir = std::getenv("QUILL_SHARED_DIR");
    return dir && *dir ? dir : "";
}

std::string SharedSkipReason(const std::string& relative) {
    const std::string dir = SharedDir();
    if (dir.empty())
        return "QUILL_SHARED_DIR is not set (the shared folder with the corpus and the peers)";
    std::error_code ec;
    if (!std::filesystem::exists(dir + "/" + relative, ec))
        return dir + "/" + relative + " not found (QUILL_SHARED_DIR=" + dir + ")";
    return {};
}

void WriteAll(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}
