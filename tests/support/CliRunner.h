#pragma once

#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <vector>

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the real quillmark-cli on the program directory dir + "/q" (no shell sees the words:
// each is quoted).
inline CliResult RunCli(const std::string& dir, const std::vector<std::string>& args) {
    auto quote = [](const std::string& arg) {
        std::string out = "'";
        for (char c : arg)
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    };
    std::string command = std::string(QUILL_CLI_PATH) + " --home " + quote(dir + "/q");
    for (const std::string& arg : args)
        command += " " + quote(arg);
    command += " 2>" + quote(dir + "/stderr");
    CliResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.out.append(buffer.data(), n);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadAll(dir + "/stderr");
    return result;
}

// The words of `account add` for a MetaWeblog (or the given type) account whose server,
// 127.0.0.1:9, never answers.
inline std::vector<std::string> AccountAddArgs(const std::string& name,
                                               const std::string& type = "MetaWeblog",
                                               const std::string& port = "9") {
    return {"account", "add",        "--name", name,    "--description",
            "描述",    "--type",     type,     "--url", "http://127.0.0.1:9/xmlrpc.php",
            "--port",  port,         "--user", "admin", "--password",
            "pw",      "--encoding", "GB2312"};
}

// A test with a program directory of its own (m_dir + "/q"), removed afterwards.
class CCliTest : public ::testing::Test {
protected:
    void TearDown() override { RemoveTree(m_dir); }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(m_dir, args); }

    std::string m_dir = MakeTempDir();
};
