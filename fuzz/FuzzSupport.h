#pragma once
// What every fuzz target shares: a reporter that keeps nothing (the readers report failures as
// they would to the user; the fuzzer only cares that they end cleanly), and a program directory
// of the target's own, so that nothing reads or writes the developer's settings.

#include "app/Reporter.h"

#include <cstdlib>
#include <string>

class CDiscardingReporter : public CReporter {
public:
    void ReportError(int) override {}
    void ReportFault(int, int, const std::string&, const std::string&) override {}
    void ReportMessage(const std::string&) override {}
};

// Installs the discarding reporter for the process and points the program directory at a fresh
// temporary folder. Returns that folder.
inline std::string SetUpFuzzProcess() {
    static CDiscardingReporter reporter;
    SetReporter(&reporter);
    char pattern[] = "/tmp/quill-fuzz-XXXXXX";
    const char* dir = mkdtemp(pattern);
    std::string home = dir ? dir : "/tmp";
    setenv("QUILLMARK_HOME", home.c_str(), 1);
    return home;
}
