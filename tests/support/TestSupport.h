#pragma once

#include "app/AppContext.h"
#include "app/Reporter.h"

#include <string>
#include <vector>

struct TempHomeOptions {
    // Filled from data/ as a first start fills it.
    bool seed = true;
    // Also made this process's program directory, for what takes it from there rather than
    // from a context: the windows and programs that make theirs with CAppContext::Process(),
    // and the error catalogue (summaries in reports and dialogs).
    bool processDir = false;
};

// A fresh program directory under /tmp for one test, removed afterwards. The use-cases are given
// Context(); the process's program directory is left alone unless asked for.
class CTempHome {
public:
    explicit CTempHome(TempHomeOptions options = {});
    ~CTempHome();
    CTempHome(const CTempHome&) = delete;
    CTempHome& operator=(const CTempHome&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& relative) const { return m_path + "/" + relative; }
    // What a use-case is given to work in this directory.
    CAppContext Context() const { return CAppContext(m_path); }

private:
    std::string m_path;
    // The process's directory before this home took its place ("" when it did not).
    std::string m_processDirBefore;
};

// Remembers what the logic reported, instead of showing it.
class CRecordingReporter : public CReporter {
public:
    void ReportError(int id) override { errors.push_back(id); }
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override {
        errors.push_back(id);
        messages.push_back(summary);
    }
    void ReportMessage(const std::string& text) override { messages.push_back(text); }

    std::vector<int> errors;
    std::vector<std::string> messages;
};

// The file's bytes; "" when it cannot be read (for files the code under test writes).
std::string ReadAll(const std::string& path);
// A file of tests/data/ (relative to that folder), read whole. A file that is missing or cannot
// be read throws std::runtime_error naming its path, so the test fails loudly instead of
// working on an empty text.
std::string TestDataPath(const std::string& relative);
std::string ReadTestData(const std::string& relative);
// The shared folder of the project (corpus, peers) as the environment variable
// QUILL_SHARED_DIR names it at run time; "" when it is unset or empty. Suites that need it skip
// without it (see SharedSkipReason).
std::string SharedDir();
// "" when QUILL_SHARED_DIR is set and holds the file or folder `relative`; otherwise the
// one-line reason for GTEST_SKIP().
std::string SharedSkipReason(const std::string& relative);
void WriteAll(const std::string& path, const std::string& contents);
// A unique folder under /tmp, created empty.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
// The threads of this process now.
int ThreadCount();
