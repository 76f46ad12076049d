#include "support/TestSupport.h"

#include "app/AppPaths.h"
#include "app/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

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

CTempHome::CTempHome(bool seed) : m_path(MakeTempDir()) {
    SetModuleDir(m_path);
    if (seed) {
        std::string error;
        if (!CProgramDir::Prepare(error))
            ADD_FAILURE() << "seeding failed: " << error;
    }
}

CTempHome::~CTempHome() {
    RemoveTree(m_path);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}
